// The window model as the user drives it: the controls' events, what a start shows, saving on
// every edit, and "Jetzt Prüfen!" with the real transfer component against a local echo page
// and a local FTP server.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/program_folder.h"
#include "settings/settings_table.h"
#include "support/harness.h"
#include "support/servers.h"

namespace pellvane {
namespace {

using namespace testing;

class WindowModelTest : public ::testing::Test {
 protected:
  std::unique_ptr<WindowModel> Open() { return std::make_unique<WindowModel>(dialogs_, box_); }
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
    box_.SeedPublishing(echo_.Url("/ip"), ftp_.Url(), box_.File("t.htm"));
  }

  Sandbox box_;
  RecordingDialogs dialogs_;
  EchoServer echo_;
  FtpServer ftp_;
};

// A start shows the built-in echo URL and the stored defaults, out-of-range ones as the first;
// every edit and switch is stored at once and only its own value; paging stores nothing.
TEST_F(WindowModelTest, OpensOnTheStoredDefaultsAndStoresEveryEditAtOnce) {
  box_.Seed([](SettingsRecord& r) { r.wdefserver = 3, r.ftpdefserver = 9, r.proxycon = 7; });
  auto m = Open();
  frmMain& w = m->window;
  EXPECT_EQ(
      std::tuple(w.txtWserver[0]->text(), box_.Stored().wserver[0], w.optDefWserver[3]->value(),
                 w.optUseDefProxy[0]->value(), w.lblCurFTPSrv.caption(), w.txtProxyUser.visible()),
      std::tuple(kEchoUrl, kEchoUrl, true, true, "FTPServer 1", false));
  const std::vector<const Control*> switched = {w.txtFTPserver[0].get(), &w.vscrFtpserver,
                                                &w.txtProxySrv, &w.lblProxyPort, &w.cmdLOG};
  for (const Control* c : switched) EXPECT_FALSE(c->enabled()) << c->name();
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
  StoreText("ppass", "another instance's");
  w.txtWserver[2]->SetText("e");
  w.txtProxyPort.SetText("8");
  w.chkUseFTP.SetValue(1);
  w.optUseDefProxy[2]->Select();
  w.chkLOG.SetValue(1);
  for (const Control* c : switched) EXPECT_TRUE(c->enabled()) << c->name();
  SettingsRecord r = box_.Stored();
  EXPECT_EQ(
      std::tuple(r.wserver[2], r.proxyport, r.useftp, r.proxycon, r.writelog, r.wdefserver),
      std::tuple(std::string("e"), std::string("8"), true, std::int16_t{2}, true, std::int16_t{3}));
  EXPECT_EQ(r.ppass, "another instance's") << "an edit saves only its own value";
  m->settings.record().lastip = "unsaved";  // any save from here on would store it
  w.vscrWserver.SetValue(4);
  w.vscrWserver.SetValue(2);
  w.optUseDefProxy[2]->Select();  // already selected: no handler, no save
  EXPECT_EQ(std::tuple(w.txtWserver[2]->text(), box_.Stored().lastip), std::tuple("e", ""));
  w.chkLOG.SetValue(0);
  EXPECT_EQ(std::tuple(w.cmdLOG.enabled(), box_.Stored().writelog, dialogs_.boxes.size()),
            std::tuple(false, false, 0u));
}

// A changed address is published once to the visible FTP slot and stays due while the upload
// fails; servers typed without a scheme get it. What is uploaded is the page the run wrote,
// though tmp.htm is replaced once written (at the log's next yield).
TEST_F(WindowModelTest, CheckPublishesAChangedAddressOnceFromTheVisibleSlots) {
  SeedServers();
  echo_.Serve("/other", "203.0.113.99");
  const std::string bare = echo_.Url("/other").substr(7);
  box_.Seed([&](SettingsRecord& r) { r.wserver[3] = bare, r.ftpserver[2] = ftp_.Url().substr(6); });
  auto m = Open();
  frmMain& w = m->window;
  m->log.SetYieldHook([this] {
    if (ReadFile(box_.File("tmp.htm")).starts_with("<p>")) WriteFile(box_.File("tmp.htm"), "x");
  });
  // A refused login shows no password and leaves the change due.
  w.txtFTPPass[0]->SetText("Wrong-pw-0815");
  const Texts boxes = Check(w);
  ASSERT_FALSE(boxes.empty());
  EXPECT_TRUE(boxes.back().starts_with("530 : ")) << boxes.back();
  EXPECT_EQ(std::tuple(::testing::PrintToString(boxes).find("Wrong-"), box_.Stored().lastip),
            std::tuple(std::string::npos, "198.51.100.1"));
  w.txtFTPPass[0]->SetText("vane");
  EXPECT_EQ(Check(w), Texts{"Ihrer aktuelle IP-Adresse: 203.0.113.7"});
  EXPECT_EQ(std::tuple(box_.Stored().lastip, ReadFile(ftp_.root() + "/slot0.html")),
            std::tuple("203.0.113.7", "<p>203.0.113.7</p>\r\r\n"));
  EXPECT_EQ(Check(w),
            (Texts{"Keine Änderung der IP-Adresse", "Ihrer aktuelle IP-Adresse: 203.0.113.7"}));
  EXPECT_EQ(Count(ftp_.Commands(), "STOR"), 1);
  w.vscrFtpserver.SetValue(1);  // another slot: the same address goes there too
  EXPECT_EQ(Check(w), (Texts{"Seite wird neu veröffentlicht: anderer FTPServer",
                             "Ihrer aktuelle IP-Adresse: 203.0.113.7"}));
  EXPECT_EQ(ReadFile(ftp_.root() + "/slot1.html"), "<p>203.0.113.7</p>\r\r\n");
  w.vscrWserver.SetValue(3);
  w.vscrFtpserver.SetValue(2);
  EXPECT_EQ(Check(w), Texts{"Ihrer aktuelle IP-Adresse: 203.0.113.99"});
  EXPECT_EQ(
      std::tuple(ReadFile(ftp_.root() + "/slot2.html"), Count(ftp_.Commands(), "STOR"),
                 w.txtWserver[3]->text(), box_.Stored().ftpserver[2], box_.Stored().wdefserver),
      std::tuple("<p>203.0.113.99</p>\r\r\n", 3L, "http://" + bare, ftp_.Url(), 1))
      << "checking moves no default";
  // The built-in page without an answer (behind a dead proxy): the box adds a way out.
  w.optUseDefProxy[2]->Select();
  w.txtProxySrv.SetText("127.0.0.1");
  w.txtProxyPort.SetText("1");
  w.vscrWserver.SetValue(0);
  EXPECT_EQ(Check(w).back(), std::string("Keine gültige IP erhalten\n\n") + kOwnEchoPageHint);
}

// A full disk, a refused template, a failed rename in the program folder: nothing is
// uploaded, the log says why, and the change stays due. With the disk well, it is published.
TEST_F(WindowModelTest, AFailingDiskKeepsTheChangeDueUntilItIsWell) {
  SeedServers();
  const std::string page = "Seite nicht schreibbar: " + box_.path() + kPageFileName + " (";
  for (const auto& [faults, logged] : std::initializer_list<std::pair<FileFaults, std::string>>{
           {{.room = 0}, ""},
           {{.deny_open = true}, ""},
           {{.fail_commit = true}, page + kNotCommitted + ")"},
           {{.room = 0, .only = "tmp.htm"}, page + kDiskFull + ")"},
           {{.deny_open = true, .only = "t.htm"},
            "Template nicht lesbar: " + box_.File("t.htm") + " (" + kRefused + ")"}}) {
    FaultyFiles files(faults);
    auto m = std::make_unique<WindowModel>(dialogs_, box_, files);
    EXPECT_EQ(Check(m->window), Texts{"Ihrer aktuelle IP-Adresse: 203.0.113.7"});
    EXPECT_TRUE(logged.empty() || Count(LogTexts(box_.Log()), logged) == 1) << logged;
    EXPECT_EQ(std::tuple(Count(ftp_.Commands(), "STOR"), box_.Stored().lastip),
              std::tuple(0L, "198.51.100.1"));
  }
  Check(Open()->window);
  EXPECT_EQ(std::tuple(Count(ftp_.Commands(), "STOR"), ReadFile(ftp_.root() + "/slot0.html")),
            std::tuple(1L, "<p>203.0.113.7</p>\r\r\n"));
}

// A disabled button takes no click, whatever its handler would do; enabled, it does it.
TEST_F(WindowModelTest, ADisabledButtonTakesNoClick) {
  SeedServers();
  auto m = Open();
  frmMain& w = m->window;
  for (const auto& [button, ran] :
       std::initializer_list<std::pair<CommandButton*, std::function<bool()>>>{
           {&w.cmdLOG, [&] { return !dialogs_.opened.empty(); }},
           {&w.cmdNow, [&] { return !dialogs_.boxes.empty(); }},
           {&w.cmdEnd, [&] { return w.unloaded(); }}}) {
    for (const bool enabled : {false, true}) {
      button->SetEnabled(enabled);
      button->Click();
      EXPECT_EQ(ran(), enabled) << button->name();
    }
  }
}

// An edit the store refuses (another program took the settings key away) is not lost unsaid:
// the log names the values, and the next edit after the key is back saves them too.
TEST_F(WindowModelTest, AnEditTheStoreRefusesIsLoggedWithItsValues) {
  box_.Seed([](SettingsRecord& r) { r.writelog = true; });
  auto m = Open();
  ASSERT_EQ(EnvRegistry().RegDeleteKey(HKEY_LOCAL_MACHINE, kSettingsKeyPath), ERROR_SUCCESS);
  m->window.txtProxySrv.SetText("proxy");
  EXPECT_EQ(LogTexts(box_.Log()).back(),
            "Einstellungen nicht gespeichert: " + m->settings.registry().store_path() +
                " nicht schreibbar (proxysrv)");
  StoreText("lastip", "198.51.100.1");
  m->window.txtProxyPort.SetText("8080");
  EXPECT_EQ(std::tuple(box_.Stored().proxysrv, box_.Stored().proxyport),
            std::tuple("proxy", "8080"));
}

// A lock that cannot be taken (a full folder planted at it) skips the check as a busy one
// does and says why.
TEST_F(WindowModelTest, ALockThatCannotBeTakenSkipsTheCheckAndSaysWhy) {
  SeedServers();
  const std::string lock = box_.path() + kRunLockFileName;
  std::filesystem::create_directories(lock + "/inside");
  auto m = Open();
  m->window.run_lock_wait = std::chrono::milliseconds(0);
  EXPECT_EQ(Check(m->window), Texts{kCheckBusy});
  const std::string why = "Sperrdatei nicht nutzbar: " + lock + " (ein Ordner)";
  EXPECT_EQ(std::tuple(m->window.failure(), Count(LogTexts(box_.Log()), why),
                       Count(ftp_.Commands(), "STOR")),
            std::tuple(why, 1L, 0L));
}

// The window's check sees what a scheduled -now published since the window opened; a box of it
// left open while the next -now runs keeps that run waiting for nothing: it publishes the newer
// address, and page and address agree at the end.
TEST_F(WindowModelTest, ABoxLeftOpenKeepsNoScheduledRunWaiting) {
  SeedServers();
  auto m = Open();
  ASSERT_EQ(box_.Run(PELLVANE_BIN, {"-now"}).status, 0);
  int status = -1;
  dialogs_.while_open = [&] {
    if (status == -1)
      echo_.Serve("/ip", "203.0.113.8"), status = box_.Run(PELLVANE_BIN, {"-now"}).status;
  };
  EXPECT_EQ(Check(m->window),
            (Texts{"Keine Änderung der IP-Adresse", "Ihrer aktuelle IP-Adresse: 203.0.113.7"}));
  EXPECT_EQ(std::tuple(status, ReadFile(ftp_.root() + "/slot0.html"), box_.Stored().lastip),
            std::tuple(0, "<p>203.0.113.8</p>\r\r\n", "203.0.113.8"));
}

}  // namespace
}  // namespace pellvane
