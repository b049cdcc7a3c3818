#include "platform/dialogs.h"

#include <cstdio>

namespace pellvane {

void HeadlessDialogs::MsgBox(const std::string& text, MsgKind kind) {
  if (ShowInSystemBox(text)) return;
  std::FILE* out = kind == MsgKind::kError ? stderr : stdout;
  std::fprintf(out, "%s\n", text.c_str());
  std::fflush(out);
}

std::optional<std::string> HeadlessDialogs::ChooseFile(const FileChooserRequest&) {
  return std::nullopt;
}

void HeadlessDialogs::OpenUrl(const std::string& url) { OpenDetached(url); }

void HeadlessDialogs::OpenInEditor(const std::string& path) { OpenDetached(path); }

}  // namespace pellvane
