// The desktop dialogs on Qt: message boxes with only OK, the open-file dialog, and opening
// URLs and files with the desktop's default handlers. Qt objects: the window's thread only.
#pragma once

#include <QCoreApplication>
#include <QPointer>
#include <QStringList>
#include <QWidget>
#include <vector>

#include "platform/dialogs.h"

namespace pellvane {

class QtDialogs final : public Dialogs {
 public:
  // Boxes and the chooser open modal over `owner` (null: on their own).
  void SetOwner(QWidget* owner) { owner_ = owner; }

  void MsgBox(const std::string& text, MsgKind kind) override;
  std::optional<std::string> ChooseFile(const FileChooserRequest& request) override;
  void OpenUrl(const std::string& url) override;
  void OpenInEditor(const std::string& path) override;

 private:
  QPointer<QWidget> owner_;
};

// One entry of the file chooser's filter list: its text as given, and the patterns Qt matches.
struct QtNameFilter {
  QString shown;
  QStringList patterns;
  bool operator==(const QtNameFilter&) const = default;
};

// "Name (*.a)|*.a|Name (*.b; *.c)|*.b;*.c" as entries: the names as they stand, the patterns
// split at ";" ("*.*" becomes "*", every file, also one without a dot in its name).
std::vector<QtNameFilter> QtNameFilters(const std::string& filter);

// Qt's own words in its dialogs (buttons, the file chooser's labels) in German, from Qt's
// translations where they are installed. Call once, after the QApplication exists.
void UseGermanQtTexts(QCoreApplication& app);

}  // namespace pellvane
