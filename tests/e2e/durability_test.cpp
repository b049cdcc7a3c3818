// pellvane -now when things go wrong around it: killed mid-upload, odd templates, planted
// links, a second run, a locked store, edits from another instance. The page and lastip must
// always end up agreeing, and nothing stored may be lost.
#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <memory>
#include <thread>

#include "platform/dialogs.h"
#include "platform/run_lock.h"
#include "settings/hp_reg.h"
#include "support/env_registry.h"
#include "support/run_program.h"
#include "support/servers.h"
#include "support/store_home.h"
#include "support/temp_dir.h"

namespace pellvane {
namespace {

using testing::ReadFile;
using testing::WriteFile;
using namespace std::chrono_literals;

constexpr char kIp[] = "203.0.113.7";
constexpr char kNewIp[] = "203.0.113.8";

std::string Page(const std::string& ip) { return "<b>" + ip + "</b>\r\r\n"; }

// Runs body in a child process; its result is the child's exit status. This test process
// itself must not open the store while another one locks it.
pid_t InChild(const std::function<int()>& body) {
  const pid_t pid = fork();
  if (pid == 0) _exit(body());
  return pid;
}

int Waited(pid_t pid) {
  int status = -1;
  return waitpid(pid, &status, 0) == pid && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class DurabilityTest : public ::testing::Test {
 protected:
  DurabilityTest() {
    WriteFile(File("template.htm"), "<b>'!!!***IP***!!!'</b>\r\n");
    echo_.Serve("/ip", kIp);
    Seed([this](SettingsRecord& r) {
      r.wserver[1] = echo_.Url("/ip");
      r.wdefserver = 1;
      r.useftp = r.writelog = true;
      r.ftpserver[0] = ftp_.Url();
      r.ftpuser[0] = "pell";
      r.ftppass[0] = "vane";
      r.ftpremotefile[0] = "ip.html";
      r.htmltemplatefile[0] = File("template.htm");
    });
  }

  std::string File(const std::string& name) const { return home_.path() + "/" + name; }
  std::string Uploaded() const { return ReadFile(ftp_.root() + "/ip.html"); }

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

  testing::ProgramResult Run(const char* mode = "-now",
                             std::map<std::string, std::optional<std::string>> env = {}) {
    env.emplace("PELLVANE_HOME", home_.path());
    return testing::RunProgram({PELLVANE_BIN, mode}, env);
  }

  // A publish of the stored address that is still due: the next run uploads it.
  void ExpectNextRunPublishes() {
    Seed([this](SettingsRecord& r) { r.ftpserver[0] = ftp_.Url(); });
    EXPECT_EQ(Run().status, 0);
    EXPECT_EQ(Uploaded(), Page(kIp));
    EXPECT_EQ(Stored().lastip, kIp);
  }

  testing::StoreHome home_;
  testing::EchoServer echo_;
  testing::FtpServer ftp_;
};

class KilledDuringUpload : public DurabilityTest, public ::testing::WithParamInterface<int> {};

TEST_P(KilledDuringUpload, NextRunPublishes) {
  // An "FTP server" that never greets: the HTTP echo server waits for a request line.
  Seed([this](SettingsRecord& r) {
    r.ftpserver[0] = "ftp://127.0.0.1:" + std::to_string(echo_.port());
  });
  const pid_t pid = InChild([] { return execl(PELLVANE_BIN, PELLVANE_BIN, "-now", nullptr); });
  for (int i = 0; i < 500 && ReadFile(File("pellvane.log")).find("...put") == std::string::npos;
       ++i) {
    std::this_thread::sleep_for(20ms);
  }
  kill(pid, GetParam());
  Waited(pid);
  EXPECT_EQ(Stored().lastip, kIp);
  ExpectNextRunPublishes();
}

INSTANTIATE_TEST_SUITE_P(Signals, KilledDuringUpload, ::testing::Values(SIGTERM, SIGKILL));

TEST_F(DurabilityTest, FifoTemplateEndsAtOnceAndLeavesThePublishDue) {
  ASSERT_EQ(mkfifo(File("fifo.htm").c_str(), 0600), 0);
  Seed([this](SettingsRecord& r) { r.htmltemplatefile[0] = File("fifo.htm"); });
  EXPECT_EQ(Run().status, 2);
  EXPECT_NE(ReadFile(File("pellvane.log")).find("Template nicht lesbar: " + File("fifo.htm")),
            std::string::npos);
  Seed([this](SettingsRecord& r) { r.htmltemplatefile[0] = File("template.htm"); });
  ExpectNextRunPublishes();
}

TEST_F(DurabilityTest, HugeTemplateIsFilledInBoundedMemory) {
  constexpr off_t kSize = 64 << 20;  // one line of zero bytes
  WriteFile(File("template.htm"), "");
  ASSERT_EQ(truncate(File("template.htm").c_str(), kSize), 0);
  const auto r = Run();
  EXPECT_EQ(r.status, 0);
  EXPECT_LT(r.max_rss_kb, testing::kSmallRunKb);
  EXPECT_EQ(Uploaded().size(), kSize + 3);
}

TEST_F(DurabilityTest, PlantedLinksAreReplacedNotFollowed) {
  for (const char* name : {"tmp.htm", "pellvane.log", "pellvane.due"}) {
    WriteFile(File(std::string("victim-") + name), "keep");
    ASSERT_EQ(symlink(File(std::string("victim-") + name).c_str(), File(name).c_str()), 0);
  }
  EXPECT_EQ(Run().status, 0);
  EXPECT_EQ(Uploaded(), Page(kIp));
  for (const char* name : {"tmp.htm", "pellvane.log", "pellvane.due"}) {
    EXPECT_EQ(ReadFile(File(std::string("victim-") + name)), "keep") << name;
  }
}

TEST_F(DurabilityTest, SecondRunWaitsForTheFirstAndPublishesTheNewerAddress) {
  auto first = std::make_unique<RunLock>(File("pellvane.lock"), 0ms);
  ASSERT_FALSE(first->busy());
  std::thread second([this] { EXPECT_EQ(Run().status, 0); });
  std::this_thread::sleep_for(1s);
  EXPECT_FALSE(testing::FileExists(ftp_.root() + "/ip.html")) << "ran beside the first";
  echo_.Serve("/ip", kNewIp);
  first.reset();
  second.join();
  EXPECT_EQ(Uploaded(), Page(kNewIp));
  EXPECT_EQ(Stored().lastip, kNewIp);
}

TEST(StoreLockedAtStart, EverySettingAndTheBackupAreKept) {
  testing::StoreHome home;
  HeadlessDialogs dialogs;
  const auto seed = [](SettingsRecord& r) { r.ftpuser[1] = r.lastip = r.proxysrv = "kept"; };
  ASSERT_EQ(Waited(InChild([&] {
              Settings s(dialogs, StorePathFromEnvironment());
              s.InitSettingsKey();
              seed(s.record());
              s.SaveSettings();
              return 0;
            })),
            0);
  WriteFile(home.path() + "/pellvane.sav", "a good backup");
  int locked[2], go[2];
  ASSERT_EQ(pipe(locked) | pipe(go), 0);
  const pid_t locker = InChild([&] {
    sqlite3* db = nullptr;
    sqlite3_open(home.StoreFile().c_str(), &db);
    const int rc = sqlite3_exec(
        db, "PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE; UPDATE vals SET data = data;", nullptr,
        nullptr, nullptr);
    (void)!write(locked[1], &rc, sizeof rc);
    pause();
    return 0;
  });
  int rc = -1;
  ASSERT_EQ(read(locked[0], &rc, sizeof rc), static_cast<ssize_t>(sizeof rc));
  ASSERT_EQ(rc, SQLITE_OK);
  const pid_t locked_out = InChild([&] {
    Settings s(dialogs, StorePathFromEnvironment());
    s.InitSettingsKey();
    s.LoadSettings();
    char byte = 0;
    (void)!write(locked[1], &byte, 1);
    (void)!read(go[0], &byte, 1);  // the lock is gone now
    s.SaveSettings();
    return 0;
  });
  EXPECT_EQ(testing::RunProgram({PELLVANE_BIN, "-backup"}, {}).status, 1);
  char byte = 0;
  ASSERT_EQ(read(locked[0], &byte, 1), 1);
  kill(locker, SIGKILL);
  Waited(locker);
  (void)!write(go[1], "g", 1);
  EXPECT_EQ(Waited(locked_out), 0);
  EXPECT_EQ(ReadFile(home.path() + "/pellvane.sav"), "a good backup");
  Settings stored(dialogs, StorePathFromEnvironment());
  stored.LoadSettings();
  SettingsRecord expected = DefaultRecord();
  seed(expected);
  EXPECT_EQ(stored.record(), expected);
}

TEST_F(DurabilityTest, EditMadeDuringARunSurvivesItsSave) {
  Seed([this](SettingsRecord& r) { r.wserver[1] = echo_.Url("/ip?delay_ms=1500"); });
  std::thread run([this] { EXPECT_EQ(Run().status, 0); });
  std::this_thread::sleep_for(500ms);
  Seed([](SettingsRecord& r) { r.ftpuser[3] = "edited meanwhile"; });
  run.join();
  EXPECT_EQ(Stored().ftpuser[3], "edited meanwhile");
  EXPECT_EQ(Stored().lastip, kIp);
}

TEST_F(DurabilityTest, TimeOutsBelowAMillisecondStillEndTheWait) {
  Seed([this](SettingsRecord& r) { r.wserver[1] = echo_.Url("/ip?hang=1"); });
  EXPECT_EQ(
      Run("-now", {{"PELLVANE_REQUEST_TIMEOUT", "0.0001"}, {"PELLVANE_CONNECT_TIMEOUT", "0.0001"}})
          .status,
      1);
}

}  // namespace
}  // namespace pellvane
