#include "app/failure_reason.h"

#include <cctype>

namespace pellvane {
namespace {

// "<code> : <text>", the line of a failed request.
bool IsResponseLine(std::string_view line) {
  std::size_t digits = 0;
  while (digits < line.size() && std::isdigit(static_cast<unsigned char>(line[digits]))) ++digits;
  return digits > 0 && line.substr(digits).starts_with(" : ");
}

}  // namespace

void FailureReason::Observe(std::string_view line) {
  if (line == "Checke IP" || line.starts_with("Starte FTP Verbindung mit ")) cause_.clear();
  // The first failure of a step says why; what fails after it ("dir", "close") follows from it.
  if (cause_.empty() && (IsResponseLine(line) || line.starts_with("Template nicht lesbar: ") ||
                         line.starts_with("Seite nicht schreibbar: ") ||
                         line.starts_with("Einstellungen nicht lesbar: ") ||
                         line.starts_with("Sperrdatei nicht nutzbar: "))) {
    cause_ = line;
  }
}

std::string FailureReason::For(RunOutcome outcome) const {
  std::string reason;
  if (outcome == RunOutcome::kNoAddress) reason = "Keine gültige IP erhalten";
  if (outcome == RunOutcome::kPublishFailed) reason = "FTP fehlgeschlagen";
  if (reason.empty() || cause_.empty()) return reason;
  return reason + " (" + cause_ + ")";
}

}  // namespace pellvane
