// What the program asks of the desktop: message boxes, the template file chooser, opening
// the maker's page and the log. Each view implements it (Qt, Win32); headless runs use
// HeadlessDialogs.
// Not safe from two threads: the window's thread only.
#pragma once

#include <optional>
#include <string>

namespace pellvane {

// The product name: the title of every message box.
inline constexpr const char* kProductName = "Pellvane";

// How a headless run should route a message: info to standard output, errors to standard error.
enum class MsgKind { kInfo, kError };

struct FileChooserRequest {
  std::string title;
  std::string filter;       // "Name (*.a)|*.a|Name (*.b)|*.b" pairs
  int selected_filter = 1;  // counted from 1
  std::string start_folder;
};

class Dialogs {
 public:
  virtual ~Dialogs() = default;
  // A modal box with only an OK button, no icon and the product name as title.
  virtual void MsgBox(const std::string& text, MsgKind kind = MsgKind::kInfo) = 0;
  // The chosen file's full path, or nothing when the user cancelled.
  virtual std::optional<std::string> ChooseFile(const FileChooserRequest& request) = 0;
  // Opens a URL with the desktop's default handler; never waits for it.
  virtual void OpenUrl(const std::string& url) = 0;
  // Opens a text file in the desktop's editor; never waits for it.
  virtual void OpenInEditor(const std::string& path) = 0;
};

// For runs without a window: messages go to standard output or standard error, the file
// chooser answers "cancelled", and opening hands the target to the desktop (OpenDetached).
class HeadlessDialogs final : public Dialogs {
 public:
  void MsgBox(const std::string& text, MsgKind kind) override;
  std::optional<std::string> ChooseFile(const FileChooserRequest& request) override;
  void OpenUrl(const std::string& url) override;
  void OpenInEditor(const std::string& path) override;
};

// Opens `target` with the desktop's handler (xdg-open started detached; ShellExecute on
// Windows), so the caller never waits; failures are silent.
void OpenDetached(const std::string& target);

}  // namespace pellvane
