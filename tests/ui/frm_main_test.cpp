#include "ui/frm_main.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include "platform/registry.h"
#include "support/env_registry.h"
#include "ui/frm_main_fixture.h"

namespace pellvane {
namespace {

// Runs `sql` on the store file and returns the first column of its first row (-1: none).
int OnStore(const char* sql) {
  sqlite3* db = nullptr;
  sqlite3_open_v2(StorePathFromEnvironment().c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(db, sql, -1, &st, nullptr);
  const int n = sqlite3_step(st) == SQLITE_ROW ? sqlite3_column_int(st, 0) : -1;
  sqlite3_finalize(st);
  sqlite3_close(db);
  return n;
}

TEST_F(FrmMainTest, FirstStartShowsEmptyFieldsTheEchoUrlAndTheFirstSlots) {
  auto w = Open();
  EXPECT_EQ(w->txtWserver[0]->text(), kEchoUrl);
  EXPECT_EQ(w->txtWserver[1]->text(), "");
  EXPECT_EQ(w->txtFTPPass[2]->text(), "");
  EXPECT_EQ(w->txtProxyPass.text(), "");
  EXPECT_EQ(w->lblCurWebsrv.caption(), "Webserver 1");
  EXPECT_EQ(w->lblCurFTPSrv.caption(), "FTPServer 1");
  EXPECT_TRUE(w->txtHTMLTemplate[0]->visible());
  EXPECT_FALSE(w->txtHTMLTemplate[1]->visible());
  EXPECT_FALSE(w->txtProxyUser.visible());
  // FTP, proxy fields and the log viewer are off on a fresh store.
  EXPECT_FALSE(w->txtFTPserver[0]->enabled());
  EXPECT_FALSE(w->vscrFtpserver.enabled());
  EXPECT_TRUE(w->cmdSelectFile.enabled());
  EXPECT_FALSE(w->txtProxySrv.enabled());
  EXPECT_TRUE(w->optUseDefProxy[0]->value());
  EXPECT_FALSE(w->cmdLOG.enabled());
  EXPECT_EQ(Stored().wserver[0], kEchoUrl);
}

TEST_F(FrmMainTest, OpensOnTheStoredDefaultsAndFallsBackForBadIndices) {
  Store([](SettingsRecord& r) {
    r.wdefserver = 3;
    r.ftpdefserver = 9;
    r.proxycon = 7;
    r.wserver[3] = "http://echo.test/ip";
    r.useftp = true;
  });
  auto w = Open();
  EXPECT_EQ(w->lblCurWebsrv.caption(), "Webserver 4");
  EXPECT_TRUE(w->optDefWserver[3]->value());
  for (int i = 0; i < kSlots; ++i) EXPECT_EQ(w->txtWserver[i]->visible(), i == 3) << i;
  EXPECT_EQ(w->lblCurFTPSrv.caption(), "FTPServer 1");
  EXPECT_TRUE(w->txtFTPserver[0]->enabled());
  EXPECT_TRUE(w->optUseDefProxy[0]->value()) << "a proxy mode outside 0..2 acts as 0";
  EXPECT_FALSE(w->txtProxySrv.enabled());
}

TEST_F(FrmMainTest, TypingStoresAtOnceAndScrollingStoresNothing) {
  auto w = Open();
  OnStore("DELETE FROM vals");
  w->txtProxyPort.SetText("8");
  EXPECT_EQ(OnStore("SELECT count(*) FROM vals"), 1) << "one typed character saves its value";
  w->vscrWserver.SetValue(2);
  w->txtWserver[2]->SetText("e");
  EXPECT_EQ(Stored().wserver[2], "e");

  settings_->record().lastip = "unsaved";  // any save from here on would store it
  w->vscrWserver.SetValue(4);
  w->vscrWserver.SetValue(0);
  EXPECT_EQ(w->lblCurWebsrv.caption(), "Webserver 1");
  w->vscrWserver.SetValue(2);
  EXPECT_EQ(w->txtWserver[2]->text(), "e");  // a slot keeps its text while hidden
  EXPECT_FALSE(w->optDefWserver[2]->value());
  EXPECT_EQ(Stored().lastip, "");
  w->optUseDefProxy[0]->Select();  // already selected: no handler, no save
  EXPECT_EQ(Stored().lastip, "");
}

TEST_F(FrmMainTest, SwitchesEnableTheirControlsAndAreStored) {
  auto w = Open();
  w->chkUseFTP.SetValue(1);
  EXPECT_TRUE(w->txtFTPserver[0]->enabled());
  EXPECT_TRUE(w->vscrFtpserver.enabled());
  w->optUseDefProxy[2]->Select();
  EXPECT_TRUE(w->txtProxySrv.enabled());
  EXPECT_TRUE(w->lblProxyPort.enabled());
  w->chkLOG.SetValue(1);
  EXPECT_TRUE(w->cmdLOG.enabled());
  SettingsRecord r = Stored();
  EXPECT_TRUE(r.useftp);
  EXPECT_EQ(r.proxycon, 2);
  EXPECT_TRUE(r.writelog);
  w->chkLOG.SetValue(0);
  EXPECT_FALSE(w->cmdLOG.enabled());
  EXPECT_FALSE(Stored().writelog);
}

TEST_F(FrmMainTest, ChosenTemplateLandsInTheVisibleFtpSlotEvenWithFtpOff) {
  auto w = Open();
  w->chkUseFTP.SetValue(1);
  w->vscrFtpserver.SetValue(2);
  w->chkUseFTP.SetValue(0);
  dialogs_.answers.push_back("/srv/page.html");
  w->cmdSelectFile.Click();
  EXPECT_EQ(w->txtHTMLTemplate[2]->text(), "/srv/page.html");
  EXPECT_EQ(Stored().htmltemplatefile[2], "/srv/page.html");
  ASSERT_EQ(dialogs_.requests.size(), 1u);
  EXPECT_EQ(dialogs_.requests[0].title, "Templatefile auswählen");
  EXPECT_EQ(dialogs_.requests[0].selected_filter, 2);
  EXPECT_EQ(dialogs_.requests[0].start_folder, dir_.path());

  w->cmdSelectFile.Click();  // cancelled
  EXPECT_EQ(w->txtHTMLTemplate[2]->text(), "/srv/page.html");
  EXPECT_TRUE(dialogs_.messages.empty());
}

}  // namespace
}  // namespace pellvane
