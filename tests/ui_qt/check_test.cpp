// "Jetzt Prüfen!" in the window: the check runs with the real transfer component and its
// message boxes (only OK, no icon, the product name as title) are answered by the test.
#include <QMessageBox>
#include <QTest>

#include "support/servers.h"
#include "window_fixture.h"

namespace pellvane::testing {
namespace {

class CheckTest : public WindowTest {
 protected:
  // Presses "Jetzt Prüfen!" with web slot `slot` visible and closes every box with OK.
  void CheckNow(int slot) {
    Widget<QScrollBar>(window_->vscrWserver)->setValue(slot);
    AnswerModals([this](QWidget* modal) {
      auto* box = qobject_cast<QMessageBox*>(modal);
      ASSERT_NE(box, nullptr);
      EXPECT_EQ(box->windowTitle(), "Pellvane");
      EXPECT_EQ(box->icon(), QMessageBox::NoIcon);
      EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);
      EXPECT_FALSE(Widget(window_->cmdNow)->isEnabled());
      messages_.push_back(box->text().toStdString());
      box->button(QMessageBox::Ok)->click();
    });
    QTest::mouseClick(Widget(window_->cmdNow), Qt::LeftButton);
    EXPECT_TRUE(Widget(window_->cmdNow)->isEnabled());
  }

  std::vector<std::string> messages_;
};

TEST_F(CheckTest, NoAnswerFromTheEchoServerEndsWithItsMessage) {
  Store([](SettingsRecord& r) {
    r.wserver[1] = "http://127.0.0.1:1/ip.shtml";
    r.proxycon = 1;
    r.writelog = true;
  });
  Open();
  CheckNow(1);
  ASSERT_FALSE(messages_.empty());
  EXPECT_EQ(messages_.back(), "Keine gültige IP erhalten");
  EXPECT_EQ(Stored().lastip, "");
  EXPECT_NE(ReadFile(dir_.File("pellvane.log")).find("Keine gültige IP erhalten"),
            std::string::npos);
}

// The window keeps handling its events (repaints, timers) while the echo page is slow to
// answer, with logging off, so not only between log lines.
TEST_F(CheckTest, WindowKeepsRepaintingDuringTheFetch) {
  EchoServer echo;
  echo.Serve("/ip", "203.0.113.7");
  Store([&](SettingsRecord& r) {
    r.wserver[1] = echo.Url("/ip?delay_ms=1000");
    r.proxycon = 1;
  });
  Open();
  int ticks = 0;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] {
    if (!Widget(window_->cmdNow)->isEnabled() && messages_.empty() &&
        QApplication::activeModalWidget() == nullptr) {
      ++ticks;
    }
  });
  timer.start(50);
  CheckNow(1);
  EXPECT_GE(ticks, 5);
}

TEST_F(CheckTest, AnsweringEchoPageShowsTheAddressThenThatItIsUnchanged) {
  EchoServer echo;
  echo.Serve("/ip", "203.0.113.7");
  Store([&](SettingsRecord& r) {
    r.wserver[2] = echo.Url("/ip");
    r.proxycon = 1;
  });
  Open();
  CheckNow(2);
  EXPECT_EQ(messages_, std::vector<std::string>{"Ihrer aktuelle IP-Adresse: 203.0.113.7"});
  EXPECT_EQ(Stored().lastip, "203.0.113.7");
  messages_.clear();
  CheckNow(2);
  EXPECT_EQ(messages_, (std::vector<std::string>{"Keine Änderung der IP-Adresse",
                                                 "Ihrer aktuelle IP-Adresse: 203.0.113.7"}));
}

}  // namespace
}  // namespace pellvane::testing
