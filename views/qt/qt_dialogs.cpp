#include "views/qt/qt_dialogs.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QTranslator>
#include <QUrl>

namespace pellvane {

void QtDialogs::MsgBox(const std::string& text, MsgKind) {
  QMessageBox box(owner_);
  box.setWindowTitle(kProductName);
  box.setIcon(QMessageBox::NoIcon);
  box.setTextFormat(Qt::PlainText);
  box.setText(QString::fromStdString(text));
  box.setStandardButtons(QMessageBox::Ok);
  // A box waits for the user: the usual pointer over it, even in the middle of a check.
  const bool busy = QApplication::overrideCursor() != nullptr;
  if (busy) QApplication::setOverrideCursor(Qt::ArrowCursor);
  box.exec();
  if (busy) QApplication::restoreOverrideCursor();
}

std::optional<std::string> QtDialogs::ChooseFile(const FileChooserRequest& request) {
  QFileDialog dialog(owner_, QString::fromStdString(request.title),
                     QString::fromStdString(request.start_folder));
  // Qt's own dialog: a desktop's dialog would read the patterns from the entries' texts.
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  const std::vector<QtNameFilter> filters = QtNameFilters(request.filter);
  QStringList shown;
  for (const QtNameFilter& f : filters) shown << f.shown;
  dialog.setNameFilters(shown);
  // Qt takes the patterns from the text in brackets, where "*.htm;" would match no file; the
  // entry's own patterns replace them whenever an entry is chosen.
  const auto use = [&dialog, &filters](const QString& text) {
    auto* model = dialog.findChild<QFileSystemModel*>();
    for (const QtNameFilter& f : filters) {
      if (f.shown == text && model != nullptr) model->setNameFilters(f.patterns);
    }
  };
  QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, use);
  if (request.selected_filter >= 1 && request.selected_filter <= static_cast<int>(filters.size())) {
    dialog.selectNameFilter(shown[request.selected_filter - 1]);
  }
  use(dialog.selectedNameFilter());
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().first().toStdString();
}

void QtDialogs::OpenUrl(const std::string& url) {
  QDesktopServices::openUrl(QUrl(QString::fromStdString(url)));
}

void QtDialogs::OpenInEditor(const std::string& path) {
  QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(path)));
}

std::vector<QtNameFilter> QtNameFilters(const std::string& filter) {
  const QStringList parts = QString::fromStdString(filter).split(u'|');
  std::vector<QtNameFilter> filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QtNameFilter f{parts[i], parts[i + 1].split(u';', Qt::SkipEmptyParts)};
    for (QString& p : f.patterns) {
      p = p.trimmed();
      if (p == "*.*") p = "*";
    }
    filters.push_back(std::move(f));
  }
  return filters;
}

void UseGermanQtTexts(QCoreApplication& app) {
  auto* german = new QTranslator(&app);
  if (german->load(QLocale(QLocale::German), "qtbase", "_",
                   QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    app.installTranslator(german);
  }
}

}  // namespace pellvane
