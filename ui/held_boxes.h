// Message boxes held back while a check holds its turn (the run lock) and shown, in their
// order, once it has given the turn back: no box waits for the user while another instance
// waits for its turn. Everything else goes straight through. Not safe from two threads.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "platform/dialogs.h"

namespace pellvane {

class HeldBoxes final : public Dialogs {
 public:
  explicit HeldBoxes(Dialogs& dialogs) : dialogs_(dialogs) {}

  void Hold() { holding_ = true; }
  // Shows what was held, then lets boxes through again.
  void Release() {
    holding_ = false;
    std::vector<std::pair<std::string, MsgKind>> held;
    held.swap(held_);
    for (const auto& [text, kind] : held) dialogs_.MsgBox(text, kind);
  }

  void MsgBox(const std::string& text, MsgKind kind) override {
    if (holding_) {
      held_.emplace_back(text, kind);
    } else {
      dialogs_.MsgBox(text, kind);
    }
  }
  std::optional<std::string> ChooseFile(const FileChooserRequest& request) override {
    return dialogs_.ChooseFile(request);
  }
  void OpenUrl(const std::string& url) override { dialogs_.OpenUrl(url); }
  void OpenInEditor(const std::string& path) override { dialogs_.OpenInEditor(path); }

 private:
  Dialogs& dialogs_;
  bool holding_ = false;
  std::vector<std::pair<std::string, MsgKind>> held_;
};

}  // namespace pellvane
