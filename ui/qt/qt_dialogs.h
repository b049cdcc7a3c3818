// The desktop dialogs on Qt: message boxes with only OK, the open-file dialog, and opening
// URLs and files with the desktop's default handlers.
#pragma once

#include <QPointer>
#include <QStringList>
#include <QWidget>

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

// "Name (*.a)|*.a|Name (*.b; *.c)|*.b;*.c" as Qt name filters: "Name (*.a)", "Name (*.b *.c)".
QStringList QtNameFilters(const std::string& filter);

}  // namespace pellvane
