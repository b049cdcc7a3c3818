#include "detect/check_ip.h"

#include "detect/ip_valid.h"
#include "platform/text.h"
#include "transfer/secret_text.h"
#include "transfer/server_url.h"

namespace pellvane {
namespace {

constexpr std::size_t kShownAnswerChars = 80;
constexpr const char* kNoAddress = "Keine gültige IP erhalten";

// Blanks, tabs, CR and LF around the text dropped.
std::string_view Trimmed(std::string_view text) {
  constexpr std::string_view kAround = " \t\r\n";
  const std::size_t first = text.find_first_not_of(kAround);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kAround) - first + 1);
}

// Asks one slot; true when it gave a valid address, which cur_ip then holds bare.
bool AskSlot(const CheckContext& ctx, TextField& slot, std::string& failure) {
  if (!HasScheme(slot.text(), {"http://", "https://"})) slot.SetText("http://" + slot.text());
  ctx.inet.SetURL(slot.text());
  ctx.log.WriteLog("Prüfe IP-Adresse mit " + ServerUrl(ctx.inet.URL()).WithoutPassword() + "...");
  const std::string answer = ctx.inet.OpenURL();
  ctx.cur_ip = Trimmed(answer);
  if (IsIPValid(ctx.cur_ip)) return true;
  // A failed request has said why through its own line; an answer that came is shown.
  std::string cause = ctx.reported;
  if (cause.empty()) {
    cause = "...Antwort: \"" + ShownAnswer(answer) + "\"";
    ctx.log.WriteLog(cause);
    cause.erase(0, 3);
  }
  ctx.log.WriteLog(kNoAddress);
  failure = std::string(kNoAddress) + " (" + cause + ")";
  ctx.cur_ip = answer;
  return false;
}

}  // namespace

std::string ShownAnswer(std::string_view answer) {
  std::string shown;
  std::size_t chars = 0;
  for (std::size_t i = 0; i < answer.size();) {
    // One character: a byte and the UTF-8 continuation bytes after it.
    std::size_t n = 1;
    while (i + n < answer.size() && (static_cast<unsigned char>(answer[i + n]) & 0xC0) == 0x80) ++n;
    const std::string piece = EscapeControls(answer.substr(i, n));
    const std::size_t width = piece.size() == n ? 1 : piece.size();
    if (chars + width > kShownAnswerChars) return shown + "…";
    shown += piece;
    chars += width;
    i += n;
  }
  return shown;
}

CheckResult CheckIP(const CheckContext& ctx) {
  SettingsRecord& record = ctx.settings.record();
  ctx.log.WriteLog("Checke IP");
  ctx.cur_ip.clear();
  ctx.inet.Cancel();
  ApplyProxy(ctx.inet, ProxyModeFrom(record.proxycon), record.proxysrv, record.proxyport);
  ctx.inet.SetProtocol(icDefault);
  ctx.log.WriteLog("...alte IP-Adresse: " + record.lastip);
  CheckResult result;
  for (TextField* slot : ctx.web_slots) {
    result.valid = AskSlot(ctx, *slot, result.failure);
    result.only_builtin = result.only_builtin && slot->text() == kEchoUrl;
    if (result.valid) break;
  }
  if (!result.valid) {
    if (!ctx.unattended) {
      ctx.dialogs.MsgBox(result.only_builtin ? std::string(kNoAddress) + "\n\n" + kOwnEchoPageHint
                                             : std::string(kNoAddress));
    }
    return result;
  }
  result.failure.clear();
  ctx.log.WriteLog("...neue IP-Adresse: " + ctx.cur_ip);
  const bool changed = ctx.cur_ip != record.lastip;
  const std::optional<std::string> why = ctx.why_publish(ctx.cur_ip);
  result.publish = why.has_value();
  if (!changed) {
    const std::string line = why ? "Seite wird neu veröffentlicht: " + *why
                                 : std::string("keine Änderung der IP-Adresse");
    ctx.log.WriteLog("......" + line);
    if (!ctx.unattended) ctx.dialogs.MsgBox(why ? line : "Keine Änderung der IP-Adresse");
  }
  if (!ctx.unattended) ctx.dialogs.MsgBox("Ihrer aktuelle IP-Adresse: " + ctx.cur_ip);
  // Without a durable mark the new address is not stored either, so that the next run still
  // sees the change and publishes, whatever becomes of this one.
  if (result.publish && !ctx.state.status().due && !ctx.state.SetDue()) return result;
  record.lastip = ctx.cur_ip;
  ctx.settings.SaveSettings();
  return result;
}

}  // namespace pellvane
