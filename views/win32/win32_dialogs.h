// The desktop dialogs on Win32: message boxes with only OK, the open-file dialog, the shell
// for the maker's page and Notepad for the log. The window's thread only.
#pragma once

#include <string>

#include "platform/dialogs.h"

// After the program's own headers, whose names (Yield, the registry's) its macros would replace.
#include <windows.h>

namespace pellvane {

class Win32Dialogs final : public Dialogs {
 public:
  // The maker's page opens with `program_folder` as its working folder.
  explicit Win32Dialogs(std::string program_folder) : program_folder_(std::move(program_folder)) {}
  // Boxes and the chooser open modal over `owner` (null: on their own).
  void SetOwner(HWND owner) { owner_ = owner; }

  void MsgBox(const std::string& text, MsgKind kind) override;
  std::optional<std::string> ChooseFile(const FileChooserRequest& request) override;
  void OpenUrl(const std::string& url) override;
  void OpenInEditor(const std::string& path) override;

 private:
  std::string program_folder_;
  HWND owner_ = nullptr;
};

// "Name|*.a|Name|*.b;*.c" as the open-file dialog takes it: each part ended by a null
// character, the list by a second one.
std::wstring FilterList(const std::string& filter);

}  // namespace pellvane
