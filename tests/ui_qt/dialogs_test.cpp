// The desktop dialogs: the template file chooser over the window, the filter translation.
#include <QFileDialog>
#include <QTest>

#include "window_fixture.h"

namespace pellvane::testing {
namespace {

TEST(QtNameFiltersTest, EntriesKeepTheirTextsAndGetQtPatterns) {
  using F = QtNameFilter;
  EXPECT_EQ(QtNameFilters("Alle Dateien (*.*)|*.*|HTML-Dateien (*.htm; *.html)|*.htm;*.html|"
                          "Textdateien (*.txt)|*.txt"),
            (std::vector<F>{F{"Alle Dateien (*.*)", {"*"}},
                            F{"HTML-Dateien (*.htm; *.html)", {"*.htm", "*.html"}},
                            F{"Textdateien (*.txt)", {"*.txt"}}}));
  EXPECT_EQ(QtNameFilters("Ohne Muster"), std::vector<F>{});
}

class ChooserTest : public WindowTest {
 protected:
  // Clicks "..." with FTP slot `slot` visible; `answer` handles the chooser.
  void Choose(int slot, std::function<void(QFileDialog*)> answer) {
    Widget<QScrollBar>(window_->vscrFtpserver)->setValue(slot);
    AnswerModals([this, answer](QWidget* modal) {
      auto* chooser = qobject_cast<QFileDialog*>(modal);
      ASSERT_NE(chooser, nullptr);
      seen_title_ = chooser->windowTitle();
      seen_filter_ = chooser->selectedNameFilter();
      seen_folder_ = chooser->directory().absolutePath();
      answer(chooser);
    });
    QTest::mouseClick(Widget(window_->cmdSelectFile), Qt::LeftButton);
  }

  // Types the full path into the chooser's name box and confirms, as a user does.
  static void Type(QFileDialog* chooser, const std::string& path) {
    auto* name = chooser->findChild<QLineEdit*>("fileNameEdit");
    ASSERT_NE(name, nullptr);
    name->setText(QString::fromStdString(path));
    QTest::keyClick(name, Qt::Key_Return);
  }

  QString seen_title_, seen_filter_, seen_folder_;
};

TEST_F(ChooserTest, ChosenFileLandsInTheVisibleFtpSlot) {
  Store([](SettingsRecord& r) { r.useftp = true; });
  Open();
  const std::string page = dir_.File("seite.htm");
  WriteFile(page, "<p>'!!!***IP***!!!'</p>");
  Choose(3, [&page](QFileDialog* chooser) { Type(chooser, page); });
  EXPECT_EQ(seen_title_, QString::fromUtf8("Templatefile auswählen"));
  EXPECT_EQ(seen_filter_, "HTML-Dateien (*.htm; *.html)");
  EXPECT_EQ(seen_folder_.toStdString(), dir_.path());
  EXPECT_EQ(Widget<QLineEdit>(*window_->txtHTMLTemplate[3])->text().toStdString(), page);
  EXPECT_EQ(Stored().htmltemplatefile[3], page);
  EXPECT_EQ(Stored().htmltemplatefile[0], "");
}

TEST_F(ChooserTest, WithFtpOffTheChosenFileStillLandsAndIsSaved) {
  Open();
  const std::string page = dir_.File("aus.html");
  WriteFile(page, "x");
  Choose(0, [&page](QFileDialog* chooser) { Type(chooser, page); });
  auto* box = Widget<QLineEdit>(*window_->txtHTMLTemplate[0]);
  EXPECT_FALSE(box->isEnabled());
  EXPECT_EQ(box->text().toStdString(), page);
  EXPECT_EQ(Stored().htmltemplatefile[0], page);
}

TEST_F(ChooserTest, CancelChangesNothing) {
  Store([](SettingsRecord& r) {
    r.useftp = true;
    r.htmltemplatefile[1] = "/alt.htm";
  });
  Open();
  Choose(1, [](QFileDialog* chooser) { chooser->reject(); });
  EXPECT_EQ(Widget<QLineEdit>(*window_->txtHTMLTemplate[1])->text(), "/alt.htm");
  EXPECT_EQ(Stored().htmltemplatefile[1], "/alt.htm");
}

}  // namespace
}  // namespace pellvane::testing
