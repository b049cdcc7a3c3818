// "Jetzt Prüfen!" on the window model: the check and the publish with the real transfer
// component against a local echo page and a local FTP server, judged by the message boxes,
// the store, the uploaded page and the commands the FTP server received.
#include <gtest/gtest.h>

#include <algorithm>

#include "support/servers.h"
#include "ui/frm_main_fixture.h"

namespace pellvane {
namespace {

using Texts = std::vector<std::string>;

class CheckCycleTest : public FrmMainTest {
 protected:
  CheckCycleTest() {
    testing::WriteFile(dir_.File("t.htm"), "<p>'!!!***IP***!!!'</p>\r\n");
    echo_.Serve("/ip", "203.0.113.7");
    Store([this](SettingsRecord& r) {
      r.proxycon = 1;
      r.wserver[1] = echo_.Url("/ip");
      r.wdefserver = 1;
      r.useftp = true;
      for (int i = 0; i < kSlots; ++i) {
        r.ftpserver[i] = ftp_.Url();
        r.ftpuser[i] = "pell";
        r.ftppass[i] = "vane";
        r.ftpremotefile[i] = "slot" + std::to_string(i) + ".html";
        r.htmltemplatefile[i] = dir_.File("t.htm");
      }
    });
  }

  // Presses the button and returns the boxes it showed.
  Texts Check(frmMain& w) {
    dialogs_.messages.clear();
    w.cmdNow.Click();
    EXPECT_TRUE(w.cmdNow.enabled());
    return dialogs_.messages;
  }

  std::size_t Uploads() const {
    const Texts c = ftp_.Commands();
    return static_cast<std::size_t>(std::count_if(
        c.begin(), c.end(), [](const std::string& l) { return l.rfind("STOR", 0) == 0; }));
  }

  testing::EchoServer echo_;
  testing::FtpServer ftp_;
};

TEST_F(CheckCycleTest, FirstCheckPublishesThenAnUnchangedAddressUploadsNothing) {
  auto w = Open();
  EXPECT_EQ(Check(*w), Texts{"Ihrer aktuelle IP-Adresse: 203.0.113.7"});
  EXPECT_EQ(Stored().lastip, "203.0.113.7");
  EXPECT_EQ(testing::ReadFile(ftp_.root() + "/slot0.html"), "<p>203.0.113.7</p>\r\r\n");

  EXPECT_EQ(Check(*w),
            (Texts{"Keine Änderung der IP-Adresse", "Ihrer aktuelle IP-Adresse: 203.0.113.7"}));
  EXPECT_EQ(Uploads(), 1u);
}

TEST_F(CheckCycleTest, InvalidAnswersKeepTheLastAddress) {
  Store([](SettingsRecord& r) { r.lastip = "198.51.100.1"; });
  auto w = Open();
  for (const char* body : {"203.0.113.7\n", " 203.0.113.7", "203.0.113", "<html>", ""}) {
    echo_.Serve("/ip", body);
    EXPECT_EQ(Check(*w), Texts{"Keine gültige IP erhalten"}) << body;
  }
  EXPECT_EQ(Stored().lastip, "198.51.100.1");
  EXPECT_EQ(Uploads(), 0u);
}

TEST_F(CheckCycleTest, FailedFetchShowsTheComponentsReportFirst) {
  echo_.Serve("/ip", "gone", 404);
  auto w = Open();
  EXPECT_EQ(Check(*w), (Texts{"404 : HTTP/1.1 404 Not Found", "Keine gültige IP erhalten"}));
}

TEST_F(CheckCycleTest, ChangedWithFtpOffStoresTheAddressOnly) {
  Store([](SettingsRecord& r) {
    r.lastip = "198.51.100.1";
    r.useftp = false;
  });
  auto w = Open();
  EXPECT_EQ(Check(*w), Texts{"Ihrer aktuelle IP-Adresse: 203.0.113.7"});
  EXPECT_EQ(Stored().lastip, "203.0.113.7");
  EXPECT_TRUE(ftp_.Commands().empty());
}

TEST_F(CheckCycleTest, TheVisibleSlotsAreUsedNotTheDefaults) {
  echo_.Serve("/other", "203.0.113.99");
  Store([this](SettingsRecord& r) { r.wserver[3] = echo_.Url("/other"); });
  auto w = Open();
  w->vscrWserver.SetValue(3);
  w->vscrFtpserver.SetValue(2);
  EXPECT_EQ(Check(*w), Texts{"Ihrer aktuelle IP-Adresse: 203.0.113.99"});
  EXPECT_EQ(testing::ReadFile(ftp_.root() + "/slot2.html"), "<p>203.0.113.99</p>\r\r\n");
  EXPECT_FALSE(testing::FileExists(ftp_.root() + "/slot0.html"));
  EXPECT_EQ(Stored().wdefserver, 1) << "checking does not move the default";
}

TEST_F(CheckCycleTest, SchemeIsAddedWhenMissingAndKeptInAnyCase) {
  const std::string bare = echo_.Url("/ip").substr(7);
  Store([&](SettingsRecord& r) {
    r.wserver[1] = bare;
    r.wserver[2] = "HTTPS://127.0.0.1:1/ip";
    r.ftpserver[0] = ftp_.Url().substr(6);
  });
  auto w = Open();
  EXPECT_EQ(Check(*w), Texts{"Ihrer aktuelle IP-Adresse: 203.0.113.7"});
  EXPECT_EQ(w->txtWserver[1]->text(), "http://" + bare);
  EXPECT_EQ(Stored().wserver[1], "http://" + bare);
  EXPECT_EQ(Stored().ftpserver[0], ftp_.Url());
  EXPECT_EQ(Uploads(), 1u);

  w->vscrWserver.SetValue(2);
  const Texts boxes = Check(*w);
  EXPECT_EQ(w->txtWserver[2]->text(), "HTTPS://127.0.0.1:1/ip");
  EXPECT_EQ(boxes.back(), "Keine gültige IP erhalten");
}

TEST_F(CheckCycleTest, FailedUploadLeavesTheChangeDueForTheNextCheck) {
  Store([](SettingsRecord& r) {
    r.lastip = "198.51.100.1";
    r.ftppass[0] = "wrong";
  });
  auto w = Open();
  const Texts boxes = Check(*w);
  ASSERT_FALSE(boxes.empty());
  EXPECT_EQ(boxes.back().rfind("530 : ", 0), 0u) << boxes.back();
  EXPECT_EQ(boxes.back().find("wrong"), std::string::npos) << "no password in a message";
  EXPECT_EQ(Stored().lastip, "198.51.100.1");

  w->txtFTPPass[0]->SetText("vane");
  EXPECT_EQ(Check(*w), Texts{"Ihrer aktuelle IP-Adresse: 203.0.113.7"});
  EXPECT_EQ(Stored().lastip, "203.0.113.7");
  EXPECT_EQ(testing::ReadFile(ftp_.root() + "/slot0.html"), "<p>203.0.113.7</p>\r\r\n");
}

}  // namespace
}  // namespace pellvane
