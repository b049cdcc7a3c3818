#include "ui/qt/qt_dialogs.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QRegularExpression>
#include <QUrl>

namespace pellvane {

void QtDialogs::MsgBox(const std::string& text, MsgKind) {
  QMessageBox box(owner_);
  box.setWindowTitle(kProductName);
  box.setIcon(QMessageBox::NoIcon);
  box.setTextFormat(Qt::PlainText);
  box.setText(QString::fromStdString(text));
  box.setStandardButtons(QMessageBox::Ok);
  box.exec();
}

std::optional<std::string> QtDialogs::ChooseFile(const FileChooserRequest& request) {
  QFileDialog dialog(owner_, QString::fromStdString(request.title),
                     QString::fromStdString(request.start_folder));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  const QStringList filters = QtNameFilters(request.filter);
  dialog.setNameFilters(filters);
  if (request.selected_filter >= 1 && request.selected_filter <= filters.size()) {
    dialog.selectNameFilter(filters[request.selected_filter - 1]);
  }
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().first().toStdString();
}

void QtDialogs::OpenUrl(const std::string& url) {
  QDesktopServices::openUrl(QUrl(QString::fromStdString(url)));
}

void QtDialogs::OpenInEditor(const std::string& path) {
  QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(path)));
}

QStringList QtNameFilters(const std::string& filter) {
  const QStringList parts = QString::fromStdString(filter).split(u'|');
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QString name = parts[i].trimmed();
    // Qt takes the patterns from a trailing "(...)" and separates them by blanks.
    name.remove(QRegularExpression(R"(\s*\([^()]*\)$)"));
    QStringList patterns = parts[i + 1].split(u';', Qt::SkipEmptyParts);
    for (QString& p : patterns) {
      p = p.trimmed();
      // "*.*" means every file, also those without a dot in their name.
      if (p == "*.*") p = "*";
    }
    filters << name + " (" + patterns.join(u' ') + ")";
  }
  return filters;
}

}  // namespace pellvane
