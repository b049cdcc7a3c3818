#include "settings/hp_reg.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/run_log.h"
#include "platform/registry.h"
#include "support/recording_dialogs.h"
#include "support/store_home.h"

namespace pellvane {
namespace {

using testing::ReadFile;
using testing::RecordingDialogs;
using testing::StoreHome;
using testing::WriteFile;

constexpr const char* kKey = "SOFTWARE\\Brackfell\\Pellvane";

// A record in which every field differs from the defaults and carries `tag`.
SettingsRecord Sample(const std::string& tag) {
  SettingsRecord r;
  for (int i = 0; i < kSlots; ++i) {
    const std::string n = std::to_string(i);
    r.wserver[i] = "http://w" + n + "." + tag;
    r.ftpserver[i] = "ftp" + n + "." + tag;
    r.ftpuser[i] = "user" + n + tag;
    r.ftppass[i] = "pass" + n + tag;
    r.ftpremotefile[i] = "/www/" + n + tag + ".htm";
    r.htmltemplatefile[i] = "/home/t" + n + tag + ".html";
  }
  r.wdefserver = 3;
  r.proxycon = 2;
  r.proxysrv = "proxy." + tag;
  r.proxyport = "31" + tag;
  r.puser = "pu" + tag;
  r.ppass = "pp" + tag;
  r.lastip = "10.0.0." + tag;
  r.useftp = true;
  r.ftpdefserver = 4;
  r.inettimeout = 45;
  r.writelog = true;
  return r;
}

// Every value of the settings key in creation order, as name=data without the NUL.
std::vector<std::string> StoredValues() {
  std::vector<std::string> out;
  HKEY key = 0;
  if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, kKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return out;
  char name[256];
  std::uint8_t data[256];
  for (std::uint32_t i = 0;; ++i) {
    std::uint32_t name_size = sizeof name;
    std::uint32_t data_size = sizeof data;
    std::uint32_t type = 0;
    if (RegEnumValue(key, i, name, &name_size, &type, data, &data_size) != ERROR_SUCCESS) break;
    out.push_back(std::string(name) + "=" +
                  std::string(reinterpret_cast<char*>(data), data_size ? data_size - 1 : 0) +
                  (type == REG_SZ && data_size > 0 && data[data_size - 1] == 0 ? "" : "!"));
  }
  RegCloseKey(key);
  return out;
}

void StoreText(const std::string& name, const std::string& text) {
  HKEY key = 0;
  ASSERT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, kKey, 0, KEY_ALL_ACCESS, &key, nullptr),
            ERROR_SUCCESS);
  const std::string data = text + '\0';
  RegSetValueEx(key, name, REG_SZ, reinterpret_cast<const std::uint8_t*>(data.data()),
                static_cast<std::uint32_t>(data.size()));
  RegCloseKey(key);
}

class SettingsTest : public ::testing::Test {
 protected:
  StoreHome home_;
  RecordingDialogs dialogs_;
};

TEST_F(SettingsTest, FirstStartCreatesTheKeyAndLoadsDefaults) {
  Settings settings(dialogs_);
  settings.record() = Sample("x");
  EXPECT_TRUE(settings.InitSettingsKey());
  EXPECT_TRUE(testing::FileExists(home_.StoreFile()));
  settings.LoadSettings();
  EXPECT_EQ(settings.record(), SettingsRecord());
  EXPECT_EQ(settings.record().inettimeout, 20);
  EXPECT_TRUE(settings.InitSettingsKey());  // an existing key is fine
  EXPECT_TRUE(StoredValues().empty());
}

TEST_F(SettingsTest, SaveWritesAll41ValuesInOrder) {
  Settings settings(dialogs_);
  ASSERT_TRUE(settings.InitSettingsKey());
  settings.record() = Sample("7");
  settings.record().useftp = false;
  settings.record().wdefserver = 2;
  settings.SaveSettings();
  std::vector<std::string> expected;
  for (int i = 0; i < kSlots; ++i) {
    const std::string n = std::to_string(i);
    expected.push_back("wserver" + n + "=http://w" + n + ".7");
    expected.push_back("ftpserver" + n + "=ftp" + n + ".7");
    expected.push_back("ftpuser" + n + "=user" + n + "7");
    expected.push_back("ftppass" + n + "=pass" + n + "7");
    expected.push_back("ftpremotefile" + n + "=/www/" + n + "7.htm");
    expected.push_back("htmltemplatefile" + n + "=/home/t" + n + "7.html");
  }
  for (const char* v :
       {"wdefserver=2", "proxycon=2", "proxysrv=proxy.7", "proxyPort=317", "puser=pu7", "ppass=pp7",
        "lastip=10.0.0.7", "useftp=False", "ftpdefserver=4", "inettimeout=45", "writelog=True"}) {
    expected.push_back(v);
  }
  EXPECT_EQ(StoredValues(), expected);

  Settings again(dialogs_);
  again.LoadSettings();
  EXPECT_EQ(again.record(), settings.record());
  EXPECT_TRUE(dialogs_.boxes.empty());
}

TEST_F(SettingsTest, ProxyPortIsOneValueWhateverItsCase) {
  StoreText("PROXYPORT", "8080");
  Settings settings(dialogs_);
  settings.LoadSettings();
  EXPECT_EQ(settings.record().proxyport, "8080");
  settings.record().proxyport = "3128";
  settings.SaveSettings();
  const auto values = StoredValues();
  EXPECT_EQ(values.size(), 41u);
  EXPECT_EQ(values[0], "PROXYPORT=3128");
}

TEST_F(SettingsTest, StoredTextsThatDoNotFitReadAsDefaults) {
  struct Case {
    const char* name;
    const char* text;
    std::int16_t SettingsRecord::*number;
    std::int16_t expected;
  };
  const Case numbers[] = {
      {"inettimeout", "0", &SettingsRecord::inettimeout, 20},
      {"inettimeout", "35", &SettingsRecord::inettimeout, 35},
      {"inettimeout", "abc", &SettingsRecord::inettimeout, 20},
      {"wdefserver", "7", &SettingsRecord::wdefserver, 7},  // loaded as it is
      {"wdefserver", "-1", &SettingsRecord::wdefserver, -1},
      {"wdefserver", " 2 ", &SettingsRecord::wdefserver, 2},
      {"wdefserver", "70000", &SettingsRecord::wdefserver, 0},
      {"proxycon", "2x", &SettingsRecord::proxycon, 0},
      {"proxycon", "", &SettingsRecord::proxycon, 0},
      {"ftpdefserver", "1.5", &SettingsRecord::ftpdefserver, 0},
  };
  for (const Case& c : numbers) {
    StoreText(c.name, c.text);
    Settings settings(dialogs_);
    settings.LoadSettings();
    EXPECT_EQ(settings.record().*c.number, c.expected) << c.name << "=" << c.text;
  }
  const std::pair<const char*, bool> flags[] = {{"True", true},   {"tRUE", true}, {"-1", true},
                                                {"False", false}, {"0", false},   {"yes", false},
                                                {"", false}};
  for (const auto& [text, expected] : flags) {
    StoreText("useftp", text);
    StoreText("writelog", text);
    Settings settings(dialogs_);
    settings.LoadSettings();
    EXPECT_EQ(settings.record().useftp, expected) << text;
    EXPECT_EQ(settings.record().writelog, expected) << text;
  }
}

TEST_F(SettingsTest, RunLogFollowsTheLoadedSwitch) {
  StoreText("writelog", "True");
  Settings settings(dialogs_);
  FixedClock clock(0);
  RunLog log(home_.path() + "/pellvane.log", clock, settings.record().writelog);
  log.WriteLog("before");
  EXPECT_FALSE(testing::FileExists(log.path()));
  settings.LoadSettings();
  log.WriteLog("after");
  EXPECT_NE(ReadFile(log.path()).find(" - after\r\n"), std::string::npos);
}

// A store that is not ours to write: the program runs on the values of an empty store and
// the file is left as it was.
TEST_F(SettingsTest, CorruptStoreIsLeftUntouched) {
  const std::string garbage = "this is no database\n" + std::string(5000, '\x5a');
  WriteFile(home_.StoreFile(), garbage);
  Settings settings(dialogs_);
  EXPECT_FALSE(settings.InitSettingsKey());
  settings.record() = Sample("1");
  settings.LoadSettings();
  EXPECT_EQ(settings.record(), SettingsRecord());
  settings.record() = Sample("2");
  settings.SaveSettings();
  EXPECT_EQ(ReadFile(home_.StoreFile()), garbage);
  EXPECT_FALSE(testing::FileExists(home_.StoreFile() + "-wal"));
}

int LoadAndSaveUnprivileged(void*) {
  RecordingDialogs dialogs;
  Settings settings(dialogs);
  if (settings.InitSettingsKey()) return 1;
  settings.LoadSettings();
  if (!(settings.record() == SettingsRecord())) return 2;
  settings.record() = Sample("9");
  settings.SaveSettings();
  return 0;
}

TEST_F(SettingsTest, ReadOnlyStoreStartsEmptyAndStoresNothing) {
  {
    Settings settings(dialogs_);
    settings.InitSettingsKey();
    settings.record() = Sample("1");
    settings.SaveSettings();
  }
  const auto before = StoredValues();
  chmod(home_.path().c_str(), 0755);
  for (const char* suffix : {"", "-wal", "-shm"}) {
    chmod((home_.StoreFile() + suffix).c_str(), 0644);
  }
  EXPECT_EQ(testing::RunUnprivileged(LoadAndSaveUnprivileged, nullptr), 0);
  EXPECT_EQ(StoredValues(), before);
}

// Saves the tag's two records in turn until killed; says "ready" on `ready_fd` first.
[[noreturn]] void SaveForever(const std::string& tag, int ready_fd) {
  RecordingDialogs dialogs;
  Settings settings(dialogs);
  settings.InitSettingsKey();
  const char c = 'r';
  (void)!write(ready_fd, &c, 1);
  for (int i = 0;; ++i) {
    settings.record() = Sample(tag + (i % 2 == 0 ? "b" : ""));
    settings.SaveSettings();
  }
}

TEST_F(SettingsTest, TwoProcessesSavingAtOnceLoseNothing) {
  {
    Settings settings(dialogs_);
    ASSERT_TRUE(settings.InitSettingsKey());
  }
  constexpr int kRounds = 60;  // even: each ends on its own first record
  pid_t children[2];
  const char* tags[2] = {"1", "2"};
  for (int c = 0; c < 2; ++c) {
    children[c] = fork();
    ASSERT_GE(children[c], 0);
    if (children[c] == 0) {
      // Each child also writes values of its own, so that every single write can be checked.
      RecordingDialogs dialogs;
      HKEY key = 0;
      if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, kKey, 0, kReadWriteAccess, &key) != ERROR_SUCCESS) {
        _exit(100);
      }
      int failed = 0;
      for (int i = 0; i < kRounds; ++i) {
        Settings settings(dialogs);
        settings.record() = Sample(tags[c]);
        settings.SaveSettings();
        const std::string name = std::string("own") + tags[c] + "_" + std::to_string(i);
        const std::string data = std::to_string(i) + '\0';
        if (RegSetValueEx(key, name, REG_SZ, reinterpret_cast<const std::uint8_t*>(data.data()),
                          static_cast<std::uint32_t>(data.size())) != ERROR_SUCCESS) {
          ++failed;
        }
      }
      _exit(failed);
    }
  }
  for (pid_t child : children) {
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "failed writes";
  }
  const auto values = StoredValues();
  EXPECT_EQ(values.size(), 41u + 2 * kRounds);
  for (const char* tag : {"1", "2"}) {
    for (int i = 0; i < kRounds; ++i) {
      const std::string v =
          std::string("own") + tag + "_" + std::to_string(i) + "=" + std::to_string(i);
      EXPECT_NE(std::find(values.begin(), values.end(), v), values.end()) << v;
    }
  }
  // Every settings value holds one writer's text whole.
  Settings settings(dialogs_);
  settings.LoadSettings();
  for (int i = 0; i < kSlots; ++i) {
    const std::string& w = settings.record().wserver[i];
    EXPECT_TRUE(w == Sample("1").wserver[i] || w == Sample("2").wserver[i]) << w;
  }
}

TEST_F(SettingsTest, KilledDuringSavesLeavesEveryValueOldOrNew) {
  const SettingsRecord old_record = Sample("1");
  const SettingsRecord new_record = Sample("1b");
  {
    Settings settings(dialogs_);
    ASSERT_TRUE(settings.InitSettingsKey());
    settings.record() = old_record;
    settings.SaveSettings();
  }
  for (int round = 0; round < 4; ++round) {
    int pipe_fds[2];
    ASSERT_EQ(pipe(pipe_fds), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      close(pipe_fds[0]);
      SaveForever("1", pipe_fds[1]);
    }
    close(pipe_fds[1]);
    char c = 0;
    ASSERT_EQ(read(pipe_fds[0], &c, 1), 1);
    close(pipe_fds[0]);
    usleep(3000 + 7000 * round);
    kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);

    Settings settings(dialogs_);
    ASSERT_TRUE(settings.InitSettingsKey());
    settings.LoadSettings();
    const SettingsRecord& r = settings.record();
    const auto old_or_new = [](const std::string& got, const std::string& a, const std::string& b) {
      return got == a || got == b;
    };
    for (int i = 0; i < kSlots; ++i) {
      EXPECT_TRUE(old_or_new(r.wserver[i], old_record.wserver[i], new_record.wserver[i]));
      EXPECT_TRUE(old_or_new(r.ftpserver[i], old_record.ftpserver[i], new_record.ftpserver[i]));
      EXPECT_TRUE(old_or_new(r.ftpuser[i], old_record.ftpuser[i], new_record.ftpuser[i]));
      EXPECT_TRUE(old_or_new(r.ftppass[i], old_record.ftppass[i], new_record.ftppass[i]));
      EXPECT_TRUE(
          old_or_new(r.ftpremotefile[i], old_record.ftpremotefile[i], new_record.ftpremotefile[i]));
      EXPECT_TRUE(old_or_new(r.htmltemplatefile[i], old_record.htmltemplatefile[i],
                             new_record.htmltemplatefile[i]));
    }
    for (auto field : {&SettingsRecord::proxysrv, &SettingsRecord::proxyport,
                       &SettingsRecord::puser, &SettingsRecord::ppass, &SettingsRecord::lastip}) {
      EXPECT_TRUE(old_or_new(r.*field, old_record.*field, new_record.*field)) << r.*field;
    }
    EXPECT_EQ(r.wdefserver, 3);
    EXPECT_EQ(r.inettimeout, 45);
    EXPECT_TRUE(r.useftp && r.writelog);
    EXPECT_EQ(StoredValues().size(), 41u);
  }
}

}  // namespace
}  // namespace pellvane
