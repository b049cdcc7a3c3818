// The window model as the user drives it: the controls' events, what a start shows, saving on
// every edit, and "Jetzt Prüfen!" with the real transfer component against a local echo page
// and a local FTP server.
#include <gtest/gtest.h>

#include "support/harness.h"
#include "support/servers.h"

namespace pellvane {
namespace {

using namespace testing;

class WindowModelTest : public ::testing::Test {
 protected:
  std::unique_ptr<WindowModel> Open() {
    dialogs_.boxes.clear();
    return std::make_unique<WindowModel>(dialogs_, box_);
  }
  // Presses the button and returns the boxes it showed.
  Texts Check(frmMain& w) {
    dialogs_.boxes.clear();
    w.cmdNow.Click();
    EXPECT_TRUE(w.cmdNow.enabled());
    return dialogs_.Shown();
  }
  // Slot 1 asks the echo page; every FTP slot publishes slotN.html to the FTP server.
  void SeedServers() {
    echo_.Serve("/ip", "203.0.113.7");
    WriteFile(box_.File("t.htm"), "<p>'!!!***IP***!!!'</p>\r\n");
    box_.Seed([this](SettingsRecord& r) {
      r.proxycon = 1;
      r.wserver[1] = echo_.Url("/ip");
      r.wdefserver = 1;
      r.useftp = true;
      for (int i = 0; i < kSlots; ++i) {
        r.ftpserver[i] = ftp_.Url();
        r.ftpuser[i] = "pell";
        r.ftppass[i] = "vane";
        r.ftpremotefile[i] = "slot" + std::to_string(i) + ".html";
        r.htmltemplatefile[i] = box_.File("t.htm");
      }
    });
  }
  std::string Slot(int i) const {
    return ReadFile(ftp_.root() + "/slot" + std::to_string(i) + ".html");
  }

  Sandbox box_;
  RecordingDialogs dialogs_;
  EchoServer echo_;
  FtpServer ftp_;
};

TEST_F(WindowModelTest, FirstStartShowsTheEchoUrlTheFirstSlotsAndEverythingOff) {
  auto m = Open();
  frmMain& w = m->window;
  EXPECT_EQ(w.txtWserver[0]->text(), kEchoUrl);
  EXPECT_EQ(box_.Stored().wserver[0], kEchoUrl);
  EXPECT_EQ(w.lblCurWebsrv.caption(), "Webserver 1");
  EXPECT_EQ(w.lblCurFTPSrv.caption(), "FTPServer 1");
  EXPECT_TRUE(w.txtHTMLTemplate[0]->visible());
  EXPECT_FALSE(w.txtHTMLTemplate[1]->visible());
  EXPECT_FALSE(w.txtProxyUser.visible());
  EXPECT_TRUE(w.optUseDefProxy[0]->value());
  for (const Control* c : {(Control*)w.txtFTPserver[0].get(), (Control*)&w.vscrFtpserver,
                           (Control*)&w.txtProxySrv, (Control*)&w.cmdLOG}) {
    EXPECT_FALSE(c->enabled()) << c->name();
  }
  EXPECT_TRUE(w.cmdSelectFile.enabled());
}

TEST_F(WindowModelTest, OpensOnTheStoredDefaultsAndPagesTheSlots) {
  box_.Seed([](SettingsRecord& r) {
    r.wdefserver = 3;
    r.ftpdefserver = 9;  // out of range: the first slot
    r.proxycon = 7;      // out of range: as 0
    r.useftp = true;
  });
  auto m = Open();
  frmMain& w = m->window;
  EXPECT_TRUE(w.optDefWserver[3]->value());
  EXPECT_TRUE(w.optUseDefProxy[0]->value());
  EXPECT_FALSE(w.txtProxySrv.enabled());
  EXPECT_EQ(w.lblCurFTPSrv.caption(), "FTPServer 1");
  for (const auto& [bar, caption, boxes, prefix] :
       {std::tuple{&w.vscrWserver, &w.lblCurWebsrv, &w.txtWserver, "Webserver "},
        std::tuple{&w.vscrFtpserver, &w.lblCurFTPSrv, &w.txtHTMLTemplate, "FTPServer "}}) {
    for (int v : {3, 0, 4, 2}) {
      bar->SetValue(v);
      EXPECT_EQ(caption->caption(), prefix + std::to_string(v + 1));
      for (int i = 0; i < kSlots; ++i)
        EXPECT_EQ((*boxes)[i]->visible(), i == v) << prefix << v << i;
    }
  }
  EXPECT_EQ(box_.Stored().wdefserver, 3) << "paging moves no default";
}

TEST_F(WindowModelTest, EditsAndSwitchesAreStoredAtOncePagingStoresNothing) {
  auto m = Open();
  frmMain& w = m->window;
  StoreText("ppass", "another instance's");
  w.vscrWserver.SetValue(2);
  w.txtWserver[2]->SetText("e");
  w.txtProxyPort.SetText("8");
  w.chkUseFTP.SetValue(1);
  w.optUseDefProxy[2]->Select();
  w.chkLOG.SetValue(1);
  EXPECT_TRUE(w.txtFTPserver[0]->enabled());
  EXPECT_TRUE(w.vscrFtpserver.enabled());
  EXPECT_TRUE(w.txtProxySrv.enabled());
  EXPECT_TRUE(w.lblProxyPort.enabled());
  EXPECT_TRUE(w.cmdLOG.enabled());
  SettingsRecord r = box_.Stored();
  EXPECT_EQ(std::tuple(r.wserver[2], r.proxyport, r.useftp, r.proxycon, r.writelog),
            std::tuple(std::string("e"), std::string("8"), true, std::int16_t{2}, true));
  m->settings.record().lastip = "unsaved";  // any save from here on would store it
  w.vscrWserver.SetValue(4);
  w.vscrWserver.SetValue(2);
  w.optUseDefProxy[2]->Select();  // already selected: no handler, no save
  EXPECT_EQ(w.txtWserver[2]->text(), "e");
  EXPECT_EQ(box_.Stored().lastip, "");
  w.chkLOG.SetValue(0);
  EXPECT_FALSE(w.cmdLOG.enabled());
  EXPECT_FALSE(box_.Stored().writelog);
  EXPECT_EQ(box_.Stored().ppass, "another instance's") << "an edit saves only its own value";
}

TEST_F(WindowModelTest, ChosenTemplateLandsInTheVisibleFtpSlotEvenWithFtpOff) {
  auto m = Open();
  frmMain& w = m->window;
  w.chkUseFTP.SetValue(1);
  w.vscrFtpserver.SetValue(2);
  w.chkUseFTP.SetValue(0);
  dialogs_.answers.push_back("/srv/page.html");
  w.cmdSelectFile.Click();
  w.cmdSelectFile.Click();  // cancelled
  EXPECT_EQ(w.txtHTMLTemplate[2]->text(), "/srv/page.html");
  EXPECT_EQ(box_.Stored().htmltemplatefile[2], "/srv/page.html");
  EXPECT_EQ(dialogs_.requests.size(), 2u);
  EXPECT_TRUE(dialogs_.boxes.empty());
}

TEST_F(WindowModelTest, CheckPublishesAChangedAddressOnceAndNeverAnInvalidOne) {
  SeedServers();
  box_.Seed([](SettingsRecord& r) { r.lastip = "198.51.100.1"; });
  auto m = Open();
  for (const char* body : {"203.0.113.7\n", " 203.0.113.7", "203.0.113", "<html>", ""}) {
    echo_.Serve("/ip", body);
    EXPECT_EQ(Check(m->window), Texts{"Keine gültige IP erhalten"}) << body;
  }
  echo_.Serve("/ip", "gone", 404);
  EXPECT_EQ(Check(m->window), (Texts{"404 : HTTP/1.1 404 Not Found", "Keine gültige IP erhalten"}));
  EXPECT_EQ(box_.Stored().lastip, "198.51.100.1");
  EXPECT_EQ(Count(ftp_.Commands(), "STOR"), 0);
  echo_.Serve("/ip", "203.0.113.7");
  EXPECT_EQ(Check(m->window), Texts{"Ihrer aktuelle IP-Adresse: 203.0.113.7"});
  EXPECT_EQ(box_.Stored().lastip, "203.0.113.7");
  EXPECT_EQ(Slot(0), "<p>203.0.113.7</p>\r\r\n");
  EXPECT_EQ(Check(m->window),
            (Texts{"Keine Änderung der IP-Adresse", "Ihrer aktuelle IP-Adresse: 203.0.113.7"}));
  EXPECT_EQ(Count(ftp_.Commands(), "STOR"), 1);
}

TEST_F(WindowModelTest, CheckUsesTheVisibleSlotsAndAddsMissingSchemes) {
  SeedServers();
  echo_.Serve("/other", "203.0.113.99");
  const std::string bare = echo_.Url("/other").substr(7);
  box_.Seed([&](SettingsRecord& r) {
    r.wserver[3] = bare;
    r.wserver[2] = "HTTPS://127.0.0.1:1/ip";
    r.ftpserver[2] = ftp_.Url().substr(6);
  });
  auto m = Open();
  frmMain& w = m->window;
  w.vscrWserver.SetValue(3);
  w.vscrFtpserver.SetValue(2);
  EXPECT_EQ(Check(w), Texts{"Ihrer aktuelle IP-Adresse: 203.0.113.99"});
  EXPECT_EQ(Slot(2), "<p>203.0.113.99</p>\r\r\n");
  EXPECT_FALSE(FileExists(ftp_.root() + "/slot0.html"));
  EXPECT_EQ(w.txtWserver[3]->text(), "http://" + bare);
  EXPECT_EQ(box_.Stored().wserver[3], "http://" + bare);
  EXPECT_EQ(box_.Stored().ftpserver[2], ftp_.Url());
  EXPECT_EQ(box_.Stored().wdefserver, 1) << "checking moves no default";
  w.vscrWserver.SetValue(2);
  EXPECT_EQ(Check(w).back(), "Keine gültige IP erhalten");
  EXPECT_EQ(w.txtWserver[2]->text(), "HTTPS://127.0.0.1:1/ip") << "a scheme in any case is kept";
}

TEST_F(WindowModelTest, FailedUploadShowsNoPasswordAndLeavesTheChangeDue) {
  SeedServers();
  const std::string host = ftp_.Url().substr(6);
  for (const auto& [server, password] : {std::pair{ftp_.Url(), "Wrong-pw-0815"},
                                         std::pair{"ftp://pell:Wrong-url-0815@" + host, ""}}) {
    box_.Seed([&](SettingsRecord& r) {
      r.lastip = "198.51.100.1";
      r.ftpserver[0] = server;
      r.ftppass[0] = password;
      r.writelog = true;
    });
    auto m = Open();
    const Texts boxes = Check(m->window);
    ASSERT_FALSE(boxes.empty());
    EXPECT_EQ(boxes.back().rfind("530 : ", 0), 0u) << boxes.back();
    for (const std::string& text :
         {::testing::PrintToString(boxes), box_.Log(), m->inet.ResponseInfo()}) {
      EXPECT_EQ(text.find("Wrong-"), std::string::npos) << text;
    }
    EXPECT_EQ(box_.Stored().lastip, "198.51.100.1");
  }
  auto m = Open();
  m->window.txtFTPserver[0]->SetText(ftp_.Url());
  m->window.txtFTPPass[0]->SetText("vane");
  EXPECT_EQ(Check(m->window), Texts{"Ihrer aktuelle IP-Adresse: 203.0.113.7"});
  EXPECT_EQ(Slot(0), "<p>203.0.113.7</p>\r\r\n");
}

}  // namespace
}  // namespace pellvane
