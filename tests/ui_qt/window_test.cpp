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

using namespace std::chrono_literals;

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
    r.ftpuser[1] = std::string(40000, 'u');  // longer than a line edit's usual limit
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
  QTest::keyClicks(Widget<QLineEdit>(*model_->window.txtFTPUser[1]), "v");
  EXPECT_TRUE(box_.Stored().ftpuser[1] == std::string(40000, 'u') + "v") << "cut";
  EXPECT_EQ(Widget<QLineEdit>(model_->window.txtProxyPass)->echoMode(), QLineEdit::Password);
  QTest::mouseClick(Widget(model_->window.cmdEnd), Qt::LeftButton);
  EXPECT_TRUE(model_->window.unloaded());
  EXPECT_FALSE(view_->isVisible());
}

TEST_F(WindowTest, FocusFollowsTabAndThePagersArrowsAndTheSessionsEndUnloads) {
  Open([](SettingsRecord& r) { r.useftp = r.writelog = true; });
  // Tab goes along the command row left to right, not in the order the buttons were made.
  Texts chain;
  for (QWidget* w = view_->findChild<QWidget*>("cmdNow"); chain.size() < 4;
       w = w->nextInFocusChain())
    if (w->focusPolicy() & Qt::TabFocus) chain.push_back(w->objectName().toStdString());
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
  // The desktop session's end: the event loop ends without closing the window first.
  QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
  QApplication::exec();
  EXPECT_EQ(Count(LogTexts(box_.Log()), "Beende Programm"), 1);
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

// While it waits for a slow echo page or for another instance's check, the window handles its
// timers under the busy pointer; its boxes have the usual one. A close asked for meanwhile
// closes it once the check has ended.
TEST_F(WindowTest, CheckShowsPlainOkBoxesAndStaysAliveAndBusyWhileItWaits) {
  EchoServer echo;
  echo.Serve("/ip", "203.0.113.7");
  Open([&](SettingsRecord& r) {
    r.wserver[2] = echo.Url("/ip?delay_ms=1000");
    r.wserver[3] = echo.Url("/ip");
    r.proxycon = 1;
  });
  const auto pointer = [] {
    const QCursor* c = QApplication::overrideCursor();
    return std::string(c == nullptr ? "usual" : c->shape() == Qt::WaitCursor ? "busy" : "arrow");
  };
  Texts messages;
  AnswerModals([&](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(std::tuple(box->windowTitle(), box->icon(), box->standardButtons()),
              std::tuple(QString("Pellvane"), QMessageBox::NoIcon, QMessageBox::Ok));
    EXPECT_FALSE(Widget(model_->window.cmdNow)->isEnabled());
    messages.push_back(pointer() + " " + box->text().toStdString());
    box->button(QMessageBox::Ok)->click();
  });
  std::unique_ptr<RunLock> other;
  Texts seen;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] {
    if (!model_->window.busy() || QApplication::activeModalWidget()) return;
    seen.push_back(pointer());
    if (other && seen.size() >= 3) {
      EXPECT_FALSE(view_->close());
      other.reset();
    }
  });
  timer.start(50);
  for (const int slot : {2, 3}) {
    if (slot == 3) other = std::make_unique<RunLock>(box_.path() + kRunLockFileName, 0ms);
    Widget<QScrollBar>(model_->window.vscrWserver)->setValue(slot);
    QTest::mouseClick(Widget(model_->window.cmdNow), Qt::LeftButton);
    EXPECT_GE(Count(std::exchange(seen, {}), "busy"), 3);
    EXPECT_EQ(std::exchange(messages, {}).back(), "arrow Ihrer aktuelle IP-Adresse: 203.0.113.7");
    EXPECT_EQ(pointer(), "usual");
    EXPECT_EQ(model_->window.unloaded(), slot == 3);
  }
  EXPECT_FALSE(view_->isVisible());
}

}  // namespace
}  // namespace pellvane::testing
