// Passwords stay secret: a failed publish names neither the FTP password nor one typed into
// the server URL, in the log, on the terminal or in a message; the files that hold them are
// the owner's alone, whatever the umask.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "e2e/log_texts.h"
#include "platform/clock.h"
#include "settings/hp_reg.h"
#include "support/env_registry.h"
#include "support/recording_dialogs.h"
#include "support/run_program.h"
#include "support/servers.h"
#include "support/temp_dir.h"
#include "ui/frm_main.h"

namespace pellvane {
namespace {

using testing::FtpOptions;
using testing::FtpServer;
using testing::ReadFile;
using testing::RecordingDialogs;
using testing::TempDir;

struct Leak {
  const char* name;
  bool read_only;     // the server refuses the upload; else it refuses the login
  bool in_url;        // the login is typed into the URL as user:password@host
  const char* typed;  // the password the user typed
};

void PrintTo(const Leak& c, std::ostream* os) { *os << c.name; }

constexpr char kServerPassword[] = "Server-pw-4711";

class SecretsTest : public ::testing::TestWithParam<Leak> {
 protected:
  SecretsTest()
      : ftp_(FtpOptions{.user = "pell",
                        .password = kServerPassword,
                        .read_only = GetParam().read_only,
                        .root = {}}) {
    setenv("PELLVANE_HOME", home_.path().c_str(), 1);
    testing::WriteFile(home_.File("template.htm"), "<b>'!!!***IP***!!!'</b>\r\n");
    echo_.Serve("/ip", "203.0.113.7");
    const Leak& c = GetParam();
    const std::string host = ftp_.Url().substr(6);
    HeadlessDialogs dialogs;
    Settings s(dialogs, StorePathFromEnvironment());
    s.InitSettingsKey();
    SettingsRecord& r = s.record();
    r.wserver[1] = echo_.Url("/ip");
    r.wdefserver = 1;
    r.useftp = true;
    r.ftpserver[0] = c.in_url ? "ftp://pell:" + std::string(c.typed) + "@" + host : ftp_.Url();
    r.ftpuser[0] = c.in_url ? "" : "pell";
    r.ftppass[0] = c.in_url ? "" : c.typed;
    r.ftpremotefile[0] = "ip.html";
    r.htmltemplatefile[0] = home_.File("template.htm");
    r.writelog = true;
    s.SaveSettings();
  }

  void ExpectSecret(const std::string& where, const std::string& text) const {
    EXPECT_EQ(text.find(GetParam().typed), std::string::npos) << where << ": " << text;
  }

  TempDir home_;
  testing::EchoServer echo_;
  FtpServer ftp_;
};

TEST_P(SecretsTest, UnattendedRunNamesNoPassword) {
  const auto r = testing::RunProgram({PELLVANE_BIN, "-now"}, {{"PELLVANE_HOME", home_.path()}});
  ASSERT_EQ(r.status, 2) << "the publish fails";
  const std::string log = ReadFile(home_.File("pellvane.log"));
  const std::string refusal = GetParam().read_only ? "550 : " : "530 : ";
  EXPECT_NE(log.find(refusal), std::string::npos) << log;
  if (GetParam().in_url) {
    const std::string server = "Starte FTP Verbindung mit ftp://pell:***@" + ftp_.Url().substr(6);
    EXPECT_NE(log.find(server + "\r\n"), std::string::npos) << "the server is still named";
  }
  ExpectSecret("log", log);
  ExpectSecret("stdout", r.out);
  ExpectSecret("stderr", r.err);
}

TEST_P(SecretsTest, WindowRunShowsNoPassword) {
  RecordingDialogs dialogs;
  Settings settings(dialogs, StorePathFromEnvironment());
  FixedClock clock(0);
  RunLog log(home_.File("pellvane.log"), clock, settings.record().writelog);
  Inet inet;
  frmMain window(settings, dialogs, log, inet, home_.path(), "");
  ASSERT_EQ(window.Form_Load(), std::nullopt);
  window.cmdNow_Click();

  bool refused = false;
  for (const auto& [text, kind] : dialogs.boxes) {
    ExpectSecret("message", text);
    refused = refused || text.rfind(GetParam().read_only ? "550 : " : "530 : ", 0) == 0;
  }
  EXPECT_TRUE(refused) << "the refusal is shown with the server's code";
  ExpectSecret("ResponseInfo", inet.ResponseInfo());
  ExpectSecret("log", ReadFile(home_.File("pellvane.log")));
}

INSTANTIATE_TEST_SUITE_P(
    Refusals, SecretsTest,
    ::testing::Values(Leak{"WrongPassword", false, false, "Wrong-pw-0815"},
                      Leak{"WrongPasswordInUrl", false, true, "Wrong-url-0815"},
                      Leak{"RefusedUpload", true, false, kServerPassword},
                      Leak{"RefusedUploadPasswordInUrl", true, true, kServerPassword}),
    [](const auto& info) { return std::string(info.param.name); });

// Owner-only modes of the store (with its journal files) and the backup, each file made by the
// program itself under umask 0; a backup that was readable by all before is made private.
TEST(SecretFiles, StoreAndBackupAreOwnerOnlyUnderUmaskZero) {
  TempDir dir;
  const std::string home = dir.File("new");
  const auto run = [&] {
    const mode_t saved = umask(0);
    const auto r = testing::RunProgram({PELLVANE_BIN, "-backup"}, {{"PELLVANE_HOME", home}});
    umask(saved);
    return r.status;
  };
  const auto mode = [](const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
  };

  ASSERT_EQ(run(), 0);
  EXPECT_EQ(mode(home), 0700u);
  for (const char* name :
       {"registry.sqlite3", "registry.sqlite3-wal", "registry.sqlite3-shm", "pellvane.sav"}) {
    const std::string path = home + "/" + name;
    if (testing::FileExists(path)) {
      EXPECT_EQ(mode(path), 0600u) << name;
    }
  }
  EXPECT_EQ(mode(home + "/registry.sqlite3"), 0600u);

  chmod((home + "/pellvane.sav").c_str(), 0666);
  ASSERT_EQ(run(), 0);
  EXPECT_EQ(mode(home + "/pellvane.sav"), 0600u);
}

}  // namespace
}  // namespace pellvane
