// A Dialogs that records every message box instead of showing it; choosing and opening do
// nothing.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "platform/dialogs.h"

namespace pellvane::testing {

class RecordingDialogs final : public Dialogs {
 public:
  void MsgBox(const std::string& text, MsgKind kind) override { boxes.emplace_back(text, kind); }
  std::optional<std::string> ChooseFile(const FileChooserRequest&) override { return std::nullopt; }
  void OpenUrl(const std::string&) override {}
  void OpenInEditor(const std::string&) override {}

  std::vector<std::pair<std::string, MsgKind>> boxes;
};

}  // namespace pellvane::testing
