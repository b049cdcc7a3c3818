// pellvane -now and -restore as a scheduler and a user run them: the built program against a
// local echo page and a local FTP server, checked by its log, the uploaded page and the store.
#include <strings.h>

#include <gtest/gtest.h>

#include <functional>

#include "e2e/log_texts.h"
#include "platform/dialogs.h"
#include "settings/hp_reg.h"
#include "support/env_registry.h"
#include "support/run_program.h"
#include "support/servers.h"
#include "support/temp_dir.h"

namespace pellvane {
namespace {

using testing::EchoServer;
using testing::FtpServer;
using testing::LogTexts;
using testing::ReadFile;
using testing::TempDir;
using Texts = std::vector<std::string>;

constexpr char kTemplate[] = "<html>\r\n<b>'!!!***IP***!!!'</b>\r\n</html>\r\n";

std::string Page(const std::string& ip) {
  return "<html>\r\r\n<b>" + ip + "</b>\r\r\n</html>\r\r\n";
}

class NowTest : public ::testing::Test {
 protected:
  NowTest() {
    setenv("PELLVANE_HOME", home_.path().c_str(), 1);
    testing::WriteFile(home_.File("template.htm"), kTemplate);
    echo_.Serve("/ip", "203.0.113.7");
    Seed([this](SettingsRecord& r) {
      r.wserver[0] = "http://127.0.0.1:1/unused";
      r.wserver[1] = echo_.Url("/ip");
      r.wdefserver = 1;
      r.useftp = true;
      r.ftpserver[0] = ftp_.Url();
      r.ftpuser[0] = "pell";
      r.ftppass[0] = "vane";
      r.ftpremotefile[0] = "ip.html";
      r.htmltemplatefile[0] = home_.File("template.htm");
      r.writelog = true;
    });
  }

  // Changes the stored settings the way the window would.
  void Seed(const std::function<void(SettingsRecord&)>& change) {
    HeadlessDialogs dialogs;
    Settings s(dialogs, StorePathFromEnvironment());
    s.InitSettingsKey();
    s.LoadSettings();
    change(s.record());
    s.SaveSettings();
  }

  SettingsRecord Stored() {
    HeadlessDialogs dialogs;
    Settings s(dialogs, StorePathFromEnvironment());
    s.LoadSettings();
    return s.record();
  }

  // Runs the program and returns its status; the log of this run alone lands in `log_`.
  int Run(const std::string& args, std::map<std::string, std::optional<std::string>> env = {}) {
    std::remove(home_.File("pellvane.log").c_str());
    env.emplace("PELLVANE_HOME", home_.path());
    const auto r = testing::RunProgram({PELLVANE_BIN, args}, env);
    log_ = LogTexts(ReadFile(home_.File("pellvane.log")));
    if (strcasecmp(args.c_str(), "-now") == 0) {
      EXPECT_EQ(r.out, "") << "an unattended run shows no message, not on stdout";
    }
    return r.status;
  }

  std::string Uploaded() const { return ReadFile(ftp_.root() + "/ip.html"); }

  Texts CheckLines(const std::string& old_ip, const std::string& new_ip) const {
    return {"Starte Programm mit Parameter \"-now\"", "Checke IP", "...alte IP-Adresse: " + old_ip,
            "Prüfe IP-Adresse mit " + echo_.Url("/ip") + "...", "...neue IP-Adresse: " + new_ip};
  }

  Texts PublishLines() const {
    return {"Starte FTP Verbindung mit " + ftp_.Url(),
            "...put " + home_.File("tmp.htm") + " ip.html", "FTP Fertig"};
  }

  static Texts Join(Texts a, const Texts& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
  }

  const Texts kEnd{"Beende Programm", ""};
  TempDir home_;
  EchoServer echo_;
  FtpServer ftp_;
  Texts log_;
};

TEST_F(NowTest, PublishesOnceThenOnlyAgainWhenTheAddressChanges) {
  EXPECT_EQ(Run("-now"), 0);
  EXPECT_EQ(log_, Join(Join(CheckLines("", "203.0.113.7"), PublishLines()), kEnd));
  EXPECT_EQ(Uploaded(), Page("203.0.113.7"));
  EXPECT_EQ(ReadFile(home_.File("tmp.htm")), Page("203.0.113.7"));
  EXPECT_EQ(Stored().lastip, "203.0.113.7");

  const std::size_t commands = ftp_.Commands().size();
  EXPECT_EQ(Run("-NOW"), 0);
  Texts unchanged = CheckLines("203.0.113.7", "203.0.113.7");
  unchanged[0] = "Starte Programm mit Parameter \"-NOW\"";
  unchanged.push_back("......keine Änderung der IP-Adresse");
  EXPECT_EQ(log_, Join(unchanged, kEnd));
  EXPECT_EQ(ftp_.Commands().size(), commands) << "an unchanged address uploads nothing";

  echo_.Serve("/ip", "203.0.113.8");
  EXPECT_EQ(Run("-now"), 0);
  EXPECT_EQ(log_, Join(Join(CheckLines("203.0.113.7", "203.0.113.8"), PublishLines()), kEnd));
  EXPECT_EQ(Uploaded(), Page("203.0.113.8"));
}

TEST_F(NowTest, NoValidAddressEndsWithOneAndKeepsTheLastAddress) {
  Seed([](SettingsRecord& r) { r.lastip = "198.51.100.1"; });
  struct Case {
    std::string body;
    int status;
  };
  for (const Case& c : {Case{"203.0.113.7\n", 200}, Case{"<html>203.0.113.7</html>", 200},
                        Case{"203.0.113", 200}, Case{"", 200}, Case{"203.0.113.7", 500}}) {
    SCOPED_TRACE(c.body + " / " + std::to_string(c.status));
    echo_.Serve("/ip", c.body, c.status);
    EXPECT_EQ(Run("-now"), 1);
    ASSERT_GE(log_.size(), 4u);
    EXPECT_EQ(log_[log_.size() - 3], "Keine gültige IP erhalten");
    EXPECT_EQ(Stored().lastip, "198.51.100.1");
  }
  EXPECT_TRUE(ReadFile(home_.File("tmp.htm")).empty());
  EXPECT_TRUE(Uploaded().empty());
}

TEST_F(NowTest, RefusedLoginEndsWithTwoAndTheNextRunPublishes) {
  Seed([](SettingsRecord& r) {
    r.lastip = "198.51.100.1";
    r.ftppass[0] = "wrong-secret";
  });
  EXPECT_EQ(Run("-now"), 2);
  ASSERT_GE(log_.size(), 3u);
  EXPECT_EQ(log_[log_.size() - 3], "FTP fehlgeschlagen");
  EXPECT_EQ(Stored().lastip, "198.51.100.1") << "the change stays due";
  EXPECT_TRUE(Uploaded().empty());

  Seed([](SettingsRecord& r) { r.ftppass[0] = "vane"; });
  EXPECT_EQ(Run("-now"), 0);
  EXPECT_EQ(log_, Join(Join(CheckLines("198.51.100.1", "203.0.113.7"), PublishLines()), kEnd));
  EXPECT_EQ(Uploaded(), Page("203.0.113.7"));
}

TEST_F(NowTest, UnreadableTemplateUploadsNothing) {
  Seed([this](SettingsRecord& r) { r.htmltemplatefile[0] = home_.File("missing.htm"); });
  testing::WriteFile(ftp_.root() + "/ip.html", "old page");
  EXPECT_EQ(Run("-now"), 2);
  Texts expected = CheckLines("", "203.0.113.7");
  expected.push_back("Starte FTP Verbindung mit " + ftp_.Url());
  expected.push_back("Template nicht lesbar: " + home_.File("missing.htm"));
  expected.push_back("FTP fehlgeschlagen");
  EXPECT_EQ(log_, Join(expected, kEnd));
  EXPECT_EQ(Uploaded(), "old page");
  EXPECT_EQ(Stored().lastip, "");
}

TEST_F(NowTest, FtpOffStoresTheAddressAndTouchesNoServer) {
  Seed([](SettingsRecord& r) { r.useftp = false; });
  EXPECT_EQ(Run("-now"), 0);
  EXPECT_EQ(log_, Join(CheckLines("", "203.0.113.7"), kEnd));
  EXPECT_EQ(Stored().lastip, "203.0.113.7");
  EXPECT_FALSE(testing::FileExists(home_.File("tmp.htm")));
  EXPECT_TRUE(ftp_.Commands().empty());
}

TEST_F(NowTest, SlotsWithoutSchemeGetItAndKeepIt) {
  const std::string echo_bare = echo_.Url("/ip").substr(7);
  const std::string ftp_bare = ftp_.Url().substr(6);
  Seed([&](SettingsRecord& r) {
    r.wserver[1] = echo_bare;
    r.ftpserver[0] = ftp_bare;
  });
  EXPECT_EQ(Run("-now"), 0);
  EXPECT_EQ(Uploaded(), Page("203.0.113.7"));
  const SettingsRecord stored = Stored();
  EXPECT_EQ(stored.wserver[1], "http://" + echo_bare);
  EXPECT_EQ(stored.ftpserver[0], "ftp://" + ftp_bare);
  ASSERT_GT(log_.size(), 6u);
  EXPECT_EQ(log_[5], "Starte FTP Verbindung mit " + ftp_bare);
}

TEST_F(NowTest, RestoreWritesTheBackupToTheStoreBeforeTheWindowOpens) {
  ASSERT_EQ(Run("-backup"), 0);
  Seed([](SettingsRecord& r) {
    r.wserver[1] = "changed after the backup";
    r.lastip = "198.51.100.1";
  });
  const int status = Run("-restore", {{"QT_QPA_PLATFORM", "offscreen"},
                                      {"PELLVANE_SCREENSHOT", home_.File("window.png")}});
  EXPECT_EQ(status, 0);
  EXPECT_EQ(Stored().wserver[1], echo_.Url("/ip"));
  EXPECT_EQ(Stored().lastip, "");
  EXPECT_EQ(log_,
            (Texts{"Starte Programm mit Parameter \"-restore\"", "Starte Wiederherstellung...",
                   "Wiederherstellung beendet...", "Beende Programm", ""}));
  EXPECT_TRUE(testing::FileExists(home_.File("window.png")));
}

}  // namespace
}  // namespace pellvane
