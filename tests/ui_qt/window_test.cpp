// What is the view's own, on Qt's offscreen platform over the real store: the link's hand,
// masking and one keystroke to the store, focus and Tab, the file chooser in German, repaints
// and message boxes during a check.
#include <gtest/gtest.h>

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>

#include "platform/program_folder.h"
#include "platform/run_lock.h"
#include "support/harness.h"
#include "support/servers.h"
#include "views/qt/main_view.h"
#include "views/qt/qt_dialogs.h"

namespace pellvane::testing {
namespace {

class WindowTest : public ::testing::Test {
 protected:
  WindowTest() {
    QObject::connect(&modal_poll_, &QTimer::timeout, [this] {
      QWidget* modal = QApplication::activeModalWidget();
      if (modal != nullptr && modal->isVisible()) answer_(modal);
    });
  }
  ~WindowTest() override { view_.reset(); }

  // Starts the window on the store as it is now, as pellvane-window does.
  void Open(const std::function<void(SettingsRecord&)>& edit = [](SettingsRecord&) {}) {
    box_.Seed(edit);
    view_.reset();
    model_ = std::make_unique<WindowModel>(dialogs_, box_);
    view_ = std::make_unique<MainView>(model_->window, dialogs_, model_->log);
    view_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(view_.get()));
  }
  template <typename W = QWidget>
  W* Widget(const Control& control) const {
    auto* widget = qobject_cast<W*>(view_->WidgetOf(control));
    EXPECT_NE(widget, nullptr) << control.name();
    return widget;
  }
  // Calls `answer` with every modal dialog that opens from now on, again while it stays open.
  void AnswerModals(std::function<void(QWidget*)> answer) {
    answer_ = std::move(answer);
    modal_poll_.start(10);
  }

  Sandbox box_;
  QtDialogs dialogs_;
  std::unique_ptr<WindowModel> model_;
  std::unique_ptr<MainView> view_;
  QTimer modal_poll_;
  std::function<void(QWidget*)> answer_;
};

TEST_F(WindowTest, TheMakerLinksHandAndMaskedPasswords) {
  Open([](SettingsRecord& r) {
    r.useftp = true;
    r.ftppass[1] = "geheim";
  });
  const QCursor cursor = Widget<QLabel>(model_->window.lblHREF)->cursor();
  EXPECT_EQ(std::pair(cursor.pixmap().size(), cursor.hotSpot()),
            std::pair(QSize(32, 32), QPoint(12, 1)));
  // Password boxes show stars; one keystroke reaches the store.
  Widget<QScrollBar>(model_->window.vscrFtpserver)->setValue(1);
  auto* edit = Widget<QLineEdit>(*model_->window.txtFTPPass[1]);
  EXPECT_EQ(edit->displayText(), "******");
  QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, QString::fromUtf8("ä"), {});
  QTest::keyClicks(edit, "1");
  EXPECT_EQ(box_.Stored().ftppass[1], "geheimä1");
  EXPECT_EQ(edit->displayText(), "********");
  EXPECT_EQ(Widget<QLineEdit>(model_->window.txtProxyPass)->echoMode(), QLineEdit::Password);
  QTest::mouseClick(Widget(model_->window.cmdEnd), Qt::LeftButton);
  EXPECT_TRUE(model_->window.unloaded());
  EXPECT_FALSE(view_->isVisible());
}

TEST_F(WindowTest, FocusFollowsTabAndThePagersArrows) {
  Open([](SettingsRecord& r) { r.useftp = true; });
  // Tab goes along the command row left to right, not in the order the buttons were made.
  Texts chain;
  for (QWidget* w = view_->findChild<QWidget*>("cmdNow"); chain.size() < 4;
       w = w->nextInFocusChain()) {
    if (w->focusPolicy() & Qt::TabFocus) chain.push_back(w->objectName().toStdString());
  }
  EXPECT_EQ(chain, (Texts{"cmdNow", "cmdEnd", "chkLOG", "cmdLOG"}));
  QApplication::setActiveWindow(view_.get());
  ASSERT_TRUE(QTest::qWaitForWindowActive(view_.get()));
  frmMain& m = model_->window;
  // A click on the lower arrow pages on and hands the focus to the shown slot's server box,
  // as Tab onto the scroll bar does, with nothing selected to type over.
  for (const auto& [bar, boxes] :
       {std::pair{&m.vscrWserver, &m.txtWserver}, std::pair{&m.vscrFtpserver, &m.txtFTPserver}}) {
    auto* scroll = Widget<QScrollBar>(*bar);
    QTest::mouseClick(scroll, Qt::LeftButton, {},
                      QPoint(scroll->width() / 2, scroll->height() - 3));
    QCoreApplication::processEvents();
    EXPECT_EQ(scroll->value(), 1) << bar->name();
    EXPECT_EQ(QApplication::focusWidget(), Widget(*(*boxes)[1])) << bar->name();
    EXPECT_FALSE(Widget<QLineEdit>(*(*boxes)[1])->hasSelectedText());
    scroll->setValue(2);
    Widget(*bar)->setFocus(Qt::TabFocusReason);
    QCoreApplication::processEvents();
    EXPECT_EQ(QApplication::focusWidget(), Widget(*(*boxes)[2])) << bar->name();
  }
}

TEST_F(WindowTest, ChooserSpeaksGermanAndTheTypedFileLandsInTheShownSlot) {
  const std::string page = box_.File("seite.htm");
  WriteFile(page, "x");
  Open([](SettingsRecord& r) { r.useftp = true; });
  Widget<QScrollBar>(model_->window.vscrFtpserver)->setValue(3);
  AnswerModals([&](QWidget* modal) {
    auto* chooser = qobject_cast<QFileDialog*>(modal);
    ASSERT_NE(chooser, nullptr);
    EXPECT_EQ(chooser->windowTitle(), QString::fromUtf8("Templatefile auswählen"));
    EXPECT_EQ(
        chooser->nameFilters(),
        QStringList({"Alle Dateien (*.*)", "HTML-Dateien (*.htm; *.html)", "Textdateien (*.txt)"}));
    EXPECT_EQ(chooser->selectedNameFilter(), "HTML-Dateien (*.htm; *.html)");
    EXPECT_EQ(chooser->directory().absolutePath().toStdString(), box_.path());
    auto* buttons = chooser->findChild<QDialogButtonBox*>();
    ASSERT_NE(buttons, nullptr);
    EXPECT_EQ(buttons->button(QDialogButtonBox::Cancel)->text().remove(u'&'), "Abbrechen");
    auto* name = chooser->findChild<QLineEdit*>("fileNameEdit");
    name->setText(QString::fromStdString(page));  // typed and confirmed, as a user does
    QTest::keyClick(name, Qt::Key_Return);
  });
  QTest::mouseClick(Widget(model_->window.cmdSelectFile), Qt::LeftButton);
  modal_poll_.stop();
  EXPECT_EQ(Widget<QLineEdit>(*model_->window.txtHTMLTemplate[3])->text().toStdString(), page);
}

TEST_F(WindowTest, CheckShowsPlainOkBoxesAndRepaintsWhileItWaits) {
  EchoServer echo;
  echo.Serve("/ip", "203.0.113.7");
  Open([&](SettingsRecord& r) {
    r.wserver[2] = echo.Url("/ip");
    r.wserver[3] = echo.Url("/ip?delay_ms=1000");
    r.proxycon = 1;
  });
  Texts messages;
  AnswerModals([&](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->windowTitle(), "Pellvane");
    EXPECT_EQ(box->icon(), QMessageBox::NoIcon);
    EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);
    EXPECT_FALSE(Widget(model_->window.cmdNow)->isEnabled());
    messages.push_back(box->text().toStdString());
    box->button(QMessageBox::Ok)->click();
  });
  Widget<QScrollBar>(model_->window.vscrWserver)->setValue(2);
  QTest::mouseClick(Widget(model_->window.cmdNow), Qt::LeftButton);
  EXPECT_TRUE(Widget(model_->window.cmdNow)->isEnabled());
  EXPECT_EQ(messages, Texts{"Ihrer aktuelle IP-Adresse: 203.0.113.7"});
  // A slow echo page, logging off: the window keeps handling its timers meanwhile.
  int ticks = 0;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] {
    ticks += !Widget(model_->window.cmdNow)->isEnabled() && !QApplication::activeModalWidget();
  });
  timer.start(50);
  Widget<QScrollBar>(model_->window.vscrWserver)->setValue(3);
  QTest::mouseClick(Widget(model_->window.cmdNow), Qt::LeftButton);
  EXPECT_GE(ticks, 5);
}

// Another instance's check holds the run lock: the window keeps handling its events under the
// busy cursor meanwhile, and a close asked for then waits for the end of the check.
TEST_F(WindowTest, WaitingForAnotherCheckTheWindowStaysAliveBusyAndClosesAfterIt) {
  EchoServer echo;
  echo.Serve("/ip", "203.0.113.7");
  Open([&](SettingsRecord& r) {
    r.wserver[2] = echo.Url("/ip");
    r.wdefserver = 2;
    r.proxycon = 1;
  });
  auto other = std::make_unique<RunLock>(box_.path() + kRunLockFileName, std::chrono::seconds(0));
  ASSERT_FALSE(other->busy());
  Texts seen;
  const auto cursor = [] {
    const QCursor* c = QApplication::overrideCursor();
    return c == nullptr ? "usual" : c->shape() == Qt::WaitCursor ? "busy" : "arrow";
  };
  AnswerModals([&](QWidget* modal) {
    seen.push_back(std::string(cursor()) + " " +
                   qobject_cast<QMessageBox*>(modal)->text().toStdString());
    qobject_cast<QMessageBox*>(modal)->button(QMessageBox::Ok)->click();
  });
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] {
    if (!other) return;
    seen.push_back(cursor());
    if (seen.size() < 3) return;
    EXPECT_FALSE(view_->close());
    other.reset();
  });
  timer.start(20);
  QTest::mouseClick(Widget(model_->window.cmdNow), Qt::LeftButton);
  EXPECT_EQ(seen, (Texts{"busy", "busy", "busy", "arrow Ihrer aktuelle IP-Adresse: 203.0.113.7"}));
  EXPECT_EQ(std::string(cursor()), "usual");
  EXPECT_TRUE(model_->window.unloaded());
  EXPECT_FALSE(view_->isVisible());
}

// A text longer than Qt's usual limit shows whole and its first edit stores it whole; the end
// of the desktop session unloads the window.
TEST_F(WindowTest, LongTextsStayWholeAndTheSessionsEndUnloads) {
  const std::string long_text(40000, 'a');
  Open([&](SettingsRecord& r) {
    r.wserver[2] = long_text;
    r.wdefserver = 2;
    r.writelog = true;
  });
  auto* edit = Widget<QLineEdit>(*model_->window.txtWserver[2]);
  edit->end(false);
  QTest::keyClicks(edit, "b");
  EXPECT_TRUE(box_.Stored().wserver[2] == long_text + "b") << box_.Stored().wserver[2].size();
  // The event loop ends without closing the window first.
  QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
  QApplication::exec();
  EXPECT_TRUE(model_->window.unloaded());
  EXPECT_EQ(Count(LogTexts(box_.Log()), "Beende Programm"), 1);
}

}  // namespace
}  // namespace pellvane::testing
