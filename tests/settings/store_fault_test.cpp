// The settings store under faults: a process killed while saving, two instances saving at
// once, a store that cannot be written, files that are not a store, a full disk, and the
// permissions of what holds the passwords.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "platform/program_folder.h"
#include "platform/registry.h"
#include "platform/run_log.h"
#include "settings/backup.h"
#include "settings/hp_reg.h"
#include "settings/read_write_reg.h"
#include "support/env_registry.h"
#include "support/recording_dialogs.h"
#include "support/sample_record.h"
#include "support/store_home.h"

namespace pellvane {
namespace {

using testing::ReadFile;
using testing::RecordingDialogs;
using testing::SampleRecord;
using testing::StoreHome;
using testing::TempDir;
using testing::ValueTexts;
using testing::WriteFile;
using Texts = std::map<std::string, std::string>;

constexpr const char* kKey = "SOFTWARE\\Brackfell\\Pellvane";
constexpr uid_t kNobody = 65534;

int EnvCount(const char* name, int fallback) {
  const char* text = std::getenv(name);
  const int n = text == nullptr ? 0 : std::atoi(text);
  return n > 0 ? n : fallback;
}

// Runs `body` in a forked child; its result, or -1 when the child died by a signal.
int RunChild(const std::function<int()>& body) {
  const pid_t child = fork();
  if (child < 0) return -1;
  if (child == 0) _exit(body());
  int status = 0;
  if (waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

// The values of the settings key read with SQLite itself: lower-case name -> text without
// its NUL. `intact` tells whether the file passed SQLite's integrity check.
Texts StoredTexts(const std::string& file, bool* intact = nullptr) {
  Texts out;
  sqlite3* db = nullptr;
  bool ok = sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK;
  sqlite3_stmt* s = nullptr;
  ok = ok && sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &s, nullptr) == SQLITE_OK &&
       sqlite3_step(s) == SQLITE_ROW &&
       std::string(reinterpret_cast<const char*>(sqlite3_column_text(s, 0))) == "ok";
  sqlite3_finalize(s);
  s = nullptr;
  const char* sql =
      "SELECT lower(v.name), v.data FROM vals v JOIN keys k ON v.key = k.id "
      "WHERE k.name = 'Pellvane' COLLATE NOCASE";
  if (ok && sqlite3_prepare_v2(db, sql, -1, &s, nullptr) == SQLITE_OK) {
    while (sqlite3_step(s) == SQLITE_ROW) {
      const auto* p = static_cast<const char*>(sqlite3_column_blob(s, 1));
      const int n = sqlite3_column_bytes(s, 1);
      out[reinterpret_cast<const char*>(sqlite3_column_text(s, 0))] =
          n > 0 ? std::string(p, n - 1) : std::string();
    }
  }
  sqlite3_finalize(s);
  sqlite3_close(db);
  if (intact != nullptr) *intact = ok;
  return out;
}

// True when every value is whole and either its text in `a` or in `b`.
::testing::AssertionResult EachValueFrom(const Texts& got, const Texts& a, const Texts& b) {
  if (got.size() != a.size()) {
    return ::testing::AssertionFailure() << got.size() << " values instead of " << a.size();
  }
  for (const auto& [name, text] : got) {
    const auto ia = a.find(name);
    const auto ib = b.find(name);
    if ((ia == a.end() || ia->second != text) && (ib == b.end() || ib->second != text)) {
      return ::testing::AssertionFailure() << name << " holds \"" << text << "\"";
    }
  }
  return ::testing::AssertionSuccess();
}

// Saves `record` once in a process of its own, so that this one keeps no connection.
void SaveInChild(const SettingsRecord& record) {
  ASSERT_EQ(RunChild([&record] {
              RecordingDialogs dialogs;
              Settings settings(dialogs, StorePathFromEnvironment());
              if (!settings.InitSettingsKey()) return 1;
              settings.record() = record;
              settings.SaveSettings();
              return 0;
            }),
            0);
}

// Folds the write-ahead log into the file and removes it, as the last connection does.
void Checkpoint(const std::string& file) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
  sqlite3_exec(db, "PRAGMA wal_checkpoint(TRUNCATE)", nullptr, nullptr, nullptr);
  ASSERT_EQ(sqlite3_close(db), SQLITE_OK);
  ASSERT_FALSE(testing::FileExists(file + "-wal"));
}

TEST(StoreFaultTest, KilledInTheMiddleOfSavesLeavesEveryValueOldOrNew) {
  StoreHome home;
  const int rounds = EnvCount("PELLVANE_KILL_ROUNDS", 200);
  SaveInChild(SampleRecord("0"));
  Texts before = StoredTexts(home.StoreFile());
  ASSERT_EQ(before, ValueTexts(SampleRecord("0")));
  std::minstd_rand random(20261207);
  int cut_mid_save = 0;
  for (int round = 1; round <= rounds; ++round) {
    const SettingsRecord next = SampleRecord(std::to_string(round));
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      RecordingDialogs dialogs;
      Settings settings(dialogs, StorePathFromEnvironment());
      settings.record() = next;
      (void)!write(ready[1], "r", 1);
      while (true) settings.SaveSettings();
    }
    close(ready[1]);
    char c = 0;
    ASSERT_EQ(read(ready[0], &c, 1), 1);
    close(ready[0]);
    usleep(static_cast<useconds_t>(random() % 4000));
    kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);

    bool intact = false;
    const Texts after = StoredTexts(home.StoreFile(), &intact);
    ASSERT_TRUE(intact) << "round " << round;
    const Texts wanted = ValueTexts(next);
    ASSERT_TRUE(EachValueFrom(after, before, wanted)) << "round " << round;
    if (after != wanted && after != before) ++cut_mid_save;
    before = after;
  }
  RecordProperty("rounds_cut_mid_save", cut_mid_save);

  // The store goes on working for the program itself.
  RecordingDialogs dialogs;
  Settings settings(dialogs, StorePathFromEnvironment());
  ASSERT_TRUE(settings.InitSettingsKey());
  settings.LoadSettings();
  settings.record().lastip = "10.1.1.1";
  settings.SaveSettings();
  EXPECT_EQ(StoredTexts(home.StoreFile()).at("lastip"), "10.1.1.1");
}

// One instance for the other test: saves its whole record again and again and writes a value
// of its own after each save, reading it back at once; watches the other instance's value
// never go back. Ends at `until` with its tag and the number of its last round on `result_fd`.
int SaveAlongside(int tag, int other, std::chrono::steady_clock::time_point until, int go_fd,
                  int result_fd) {
  RecordingDialogs dialogs;
  Settings settings(dialogs, StorePathFromEnvironment());
  CReadWriteReg own(testing::EnvRegistry(), dialogs);
  char c = 0;
  (void)!read(go_fd, &c, 1);  // both start together, on a store that may not exist yet
  if (!settings.InitSettingsKey()) return 10;
  if (!own.OpenRegistry(HKEY_LOCAL_MACHINE, kKey)) return 11;
  const std::string own_name = "own" + std::to_string(tag);
  const std::string other_name = "own" + std::to_string(other);
  int seen = 0;
  int n = 0;
  while (std::chrono::steady_clock::now() < until) {
    ++n;
    settings.record() = SampleRecord(std::to_string(tag) + "-" + std::to_string(n));
    settings.SaveSettings();
    if (!own.CreateValue(own_name, std::to_string(n), static_cast<std::int32_t>(REG_SZ))) {
      return 12;
    }
    if (own.GetValue(own_name) != Variant(std::to_string(n))) return 13;
    const Variant theirs = own.GetValue(other_name);
    if (!theirs.IsNothing()) {
      const std::string* text = theirs.Text();
      const int value = text == nullptr ? -1 : std::atoi(text->c_str());
      if (value < seen || value <= 0) return 14;
      seen = value;
    }
    Settings view(dialogs, StorePathFromEnvironment());
    view.LoadSettings();
    if (view.record().lastip.rfind("10.0.0.", 0) != 0) return 15;
  }
  const int line[2] = {tag, n};
  (void)!write(result_fd, line, sizeof line);
  return 0;
}

TEST(StoreFaultTest, TwoInstancesSavingAtOnceLoseNothing) {
  StoreHome home;
  const auto until = std::chrono::steady_clock::now() +
                     std::chrono::seconds(EnvCount("PELLVANE_CONCURRENCY_SECONDS", 3));
  int go[2];
  int result[2];
  ASSERT_EQ(pipe(go), 0);
  ASSERT_EQ(pipe(result), 0);
  pid_t children[2];
  for (int tag = 1; tag <= 2; ++tag) {
    children[tag - 1] = fork();
    ASSERT_GE(children[tag - 1], 0);
    if (children[tag - 1] == 0) {
      close(go[1]);
      _exit(SaveAlongside(tag, 3 - tag, until, go[0], result[1]));
    }
  }
  close(go[0]);
  close(go[1]);  // the start signal: both reads return
  close(result[1]);
  for (pid_t child : children) {
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    // 10/11 open refused, 12 write refused, 13 own value lost, 14 other's value went back,
    // 15 a settings read failed.
    EXPECT_EQ(WEXITSTATUS(status), 0) << "instance " << child;
  }
  int last[3] = {0, 0, 0};  // by tag
  for (int i = 0; i < 2; ++i) {
    int line[2] = {0, 0};
    ASSERT_EQ(read(result[0], line, sizeof line), static_cast<ssize_t>(sizeof line));
    ASSERT_TRUE(line[0] == 1 || line[0] == 2);
    last[line[0]] = line[1];
  }
  close(result[0]);
  RecordProperty("rounds", last[1] + last[2]);

  bool intact = false;
  Texts stored = StoredTexts(home.StoreFile(), &intact);
  ASSERT_TRUE(intact);
  EXPECT_EQ(stored["own1"], std::to_string(last[1]));
  EXPECT_EQ(stored["own2"], std::to_string(last[2]));
  stored.erase("own1");
  stored.erase("own2");
  // Each instance's last save wrote every value; each value holds one of them whole.
  EXPECT_TRUE(EachValueFrom(stored, ValueTexts(SampleRecord("1-" + std::to_string(last[1]))),
                            ValueTexts(SampleRecord("2-" + std::to_string(last[2])))));
}

// Two first starts at the same moment on a machine with no store yet: both get the key and
// both saves arrive whole.
TEST(StoreFaultTest, TwoFirstStartsAtOnceBothGetTheKey) {
  const int rounds = EnvCount("PELLVANE_KILL_ROUNDS", 200) / 4;
  for (int round = 0; round < rounds; ++round) {
    StoreHome home;
    int go[2];
    ASSERT_EQ(pipe(go), 0);
    pid_t children[2];
    for (int tag = 1; tag <= 2; ++tag) {
      children[tag - 1] = fork();
      ASSERT_GE(children[tag - 1], 0);
      if (children[tag - 1] == 0) {
        close(go[1]);
        char c = 0;
        (void)!read(go[0], &c, 1);
        RecordingDialogs dialogs;
        Settings settings(dialogs, StorePathFromEnvironment());
        if (!settings.InitSettingsKey()) _exit(1);
        settings.record() = SampleRecord(std::to_string(tag));
        settings.SaveSettings();
        _exit(0);
      }
    }
    close(go[0]);
    close(go[1]);
    for (pid_t child : children) {
      int status = 0;
      ASSERT_EQ(waitpid(child, &status, 0), child);
      ASSERT_TRUE(WIFEXITED(status));
      EXPECT_EQ(WEXITSTATUS(status), 0) << "round " << round << ": the key was refused";
    }
    EXPECT_TRUE(EachValueFrom(StoredTexts(home.StoreFile()), ValueTexts(SampleRecord("1")),
                              ValueTexts(SampleRecord("2"))))
        << "round " << round;
  }
}

struct ReadOnlyCase {
  const char* what;
  bool keep_journal_files;  // the -wal and -shm beside the file, read-only too
  mode_t folder_mode;
  // SQLite reads a file in WAL mode only where it has or can make the -shm beside it.
  bool readable;
};

// Runs unprivileged: writing is refused with 5, reading works where SQLite can, and the
// program runs on the values of an empty store.
int UseReadOnlyStore(void* arg) {
  const auto& c = *static_cast<const ReadOnlyCase*>(arg);
  HKEY key = 0;
  if (testing::EnvRegistry().RegOpenKeyEx(HKEY_LOCAL_MACHINE, kKey, 0, kReadWriteAccess, &key) !=
      ERROR_ACCESS_DENIED) {
    return 1;
  }
  if (testing::EnvRegistry().RegCreateKeyEx(HKEY_LOCAL_MACHINE, kKey, 0, KEY_ALL_ACCESS, &key,
                                            nullptr) != ERROR_ACCESS_DENIED) {
    return 2;
  }
  const LSTATUS read =
      testing::EnvRegistry().RegOpenKeyEx(HKEY_LOCAL_MACHINE, kKey, 0, KEY_READ, &key);
  if (read != (c.readable ? ERROR_SUCCESS : ERROR_ACCESS_DENIED)) return 3;
  if (c.readable) {
    std::uint8_t data[64];
    std::uint32_t size = sizeof data;
    std::uint32_t type = 0;
    if (testing::EnvRegistry().RegQueryValueEx(key, "lastip", &type, data, &size) != ERROR_SUCCESS)
      return 4;
    if (std::string(reinterpret_cast<char*>(data), size) != std::string("10.0.0.ro\0", 10)) {
      return 5;
    }
    testing::EnvRegistry().RegCloseKey(key);
  }
  RecordingDialogs dialogs;
  Settings settings(dialogs, StorePathFromEnvironment());
  if (settings.InitSettingsKey()) return 6;
  settings.LoadSettings();
  if (!(settings.record() == DefaultRecord())) return 7;
  settings.record() = SampleRecord("x");
  settings.SaveSettings();
  return 0;
}

TEST(StoreFaultTest, ReadOnlyStoreRefusesWritesAndStaysReadable) {
  const ReadOnlyCase cases[] = {
      {"file, -wal and -shm read-only", true, 0755, true},
      {"file alone, folder writable", false, 0755, true},
      {"file alone, folder read-only", false, 0555, false},
  };
  for (const ReadOnlyCase& c : cases) {
    SCOPED_TRACE(c.what);
    StoreHome home;
    SaveInChild(SampleRecord("ro"));
    if (!c.keep_journal_files) Checkpoint(home.StoreFile());
    const std::string before = ReadFile(home.StoreFile());
    // The owner's own file without write permission; as root, the owner is "nobody".
    for (const char* suffix : {"", "-wal", "-shm"}) {
      const std::string f = home.StoreFile() + suffix;
      if (!testing::FileExists(f)) continue;
      if (geteuid() == 0) {
        ASSERT_EQ(chown(f.c_str(), kNobody, kNobody), 0);
      }
      chmod(f.c_str(), 0444);
    }
    if (geteuid() == 0) {
      ASSERT_EQ(chown(home.path().c_str(), kNobody, kNobody), 0);
    }
    chmod(home.path().c_str(), c.folder_mode);
    EXPECT_EQ(testing::RunUnprivileged(UseReadOnlyStore, const_cast<ReadOnlyCase*>(&c)), 0);
    EXPECT_TRUE(ReadFile(home.StoreFile()) == before) << "the store file changed";
  }
}

// A store of our own, folded into one file, cut after each of its pages but the last.
std::vector<std::string> TruncatedStores() {
  StoreHome home;
  SettingsRecord big = SampleRecord("t");
  big.htmltemplatefile[0] = std::string(9000, 'h');
  SaveInChild(big);
  Checkpoint(home.StoreFile());
  const std::string whole = ReadFile(home.StoreFile());
  std::vector<std::string> cuts;
  for (std::size_t size = 4096; size < whole.size(); size += 4096) {
    cuts.push_back(whole.substr(0, size));
  }
  return cuts;
}

// The bytes of an SQLite file made by `sql`.
std::string Database(const std::string& sql) {
  TempDir dir;
  sqlite3* db = nullptr;
  EXPECT_EQ(sqlite3_open(dir.File("db").c_str(), &db), SQLITE_OK);
  EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sql;
  sqlite3_close(db);
  return ReadFile(dir.File("db"));
}

TEST(StoreFaultTest, FileThatIsNoStoreIsNeverWrittenAndReadsAsEmpty) {
  std::minstd_rand random(7);
  std::string noise(8192, '\0');
  for (char& ch : noise) ch = static_cast<char>(random());
  std::vector<std::pair<std::string, std::string>> cases = {
      {"random bytes", noise},
      {"other tables", Database("CREATE TABLE t(x); INSERT INTO t VALUES(1);")},
      {"our tables and one more",
       Database("CREATE TABLE keys(id INTEGER PRIMARY KEY, parent INTEGER, name TEXT);"
                "CREATE TABLE vals(key INTEGER, name TEXT, type INTEGER, data BLOB);"
                "CREATE TABLE extra(x);")},
      {"our table names, other columns",
       Database("CREATE TABLE keys(a, b); CREATE TABLE vals(c); INSERT INTO keys VALUES(1, 2);")},
      {"our table names, a column missing",
       Database("CREATE TABLE keys(id INTEGER PRIMARY KEY, parent INTEGER, name TEXT);"
                "CREATE TABLE vals(key INTEGER, name TEXT, data BLOB);")},
  };
  for (const std::string& cut : TruncatedStores()) {
    cases.emplace_back("store cut at " + std::to_string(cut.size()), cut);
  }
  for (const auto& [what, bytes] : cases) {
    SCOPED_TRACE(what);
    StoreHome home;
    WriteFile(home.StoreFile(), bytes);
    RecordingDialogs dialogs;
    Settings settings(dialogs, StorePathFromEnvironment());
    EXPECT_FALSE(settings.InitSettingsKey());
    settings.record() = SampleRecord("1");
    settings.LoadSettings();
    EXPECT_EQ(settings.record(), DefaultRecord());
    settings.record() = SampleRecord("2");
    settings.SaveSettings();
    EXPECT_TRUE(ReadFile(home.StoreFile()) == bytes) << "the file changed";
    EXPECT_TRUE(dialogs.boxes.empty());
  }
}

enum class Filler { kTmpfs, kFileSizeLimit };
enum class Operation { kSave, kBackup };

constexpr int kNoMount = 77;

// Makes writes in `folder` fail for lack of room: a small tmpfs mounted there (in a mount
// namespace of this process, gone when it ends) filled to the last byte, or a file size
// limit of 0 bytes.
class FullDisk {
 public:
  FullDisk(Filler how, std::string folder) : how_(how), folder_(std::move(folder)) {}
  bool Mount() {
    return how_ != Filler::kTmpfs ||
           (unshare(CLONE_NEWNS) == 0 &&
            mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
            mount("tmpfs", folder_.c_str(), "tmpfs", 0, "size=1m,mode=0700") == 0);
  }
  bool Fill() {
    if (how_ == Filler::kFileSizeLimit) {
      signal(SIGXFSZ, SIG_IGN);
      getrlimit(RLIMIT_FSIZE, &saved_);
      const rlimit none{0, saved_.rlim_max};
      return setrlimit(RLIMIT_FSIZE, &none) == 0;
    }
    const int fd = open((folder_ + "/filler").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const std::string block(4096, 'f');
    while (write(fd, block.data(), block.size()) > 0) {
    }
    while (write(fd, block.data(), 1) > 0) {
    }
    const bool full = errno == ENOSPC;
    close(fd);
    return full;
  }
  void Release() {
    if (how_ == Filler::kFileSizeLimit) {
      setrlimit(RLIMIT_FSIZE, &saved_);
    } else {
      unlink((folder_ + "/filler").c_str());
    }
  }

 private:
  Filler how_;
  std::string folder_;
  rlimit saved_{};
};

// In the child: old values (or an old backup) in place, the disk full, the new record saved
// (or backed up); the old state must have stayed whole, and with room again the new one goes
// in. Returns 0, kNoMount, or the number of the check that failed.
int SaveOnFullDisk(Filler how, Operation op, const std::string& folder) {
  FullDisk disk(how, folder);
  if (!disk.Mount()) return kNoMount;
  setenv("PELLVANE_HOME", folder.c_str(), 1);
  const std::string store = folder + "/registry.sqlite3";
  const std::string sav = folder + kBackupFileName;
  RecordingDialogs dialogs;
  Settings settings(dialogs, StorePathFromEnvironment());
  FixedClock clock(0);
  RunLog log(folder + "/pellvane.log", clock, settings.record().writelog);
  const SettingsRecord old_record = SampleRecord("old");
  SettingsRecord new_record = SampleRecord("new");
  new_record.writelog = false;
  if (!settings.InitSettingsKey()) return 1;
  settings.record() = old_record;
  settings.SaveSettings();
  if (!BackupSettings(settings.record(), folder, log, dialogs)) return 2;
  settings.record().writelog = false;
  const std::string old_backup = ReadFile(sav);
  const std::size_t boxes = dialogs.boxes.size();
  if (!disk.Fill()) return 3;

  settings.record() = new_record;
  if (op == Operation::kSave) {
    settings.SaveSettings();
    settings.SaveSettings();
    bool intact = false;
    if (!EachValueFrom(StoredTexts(store, &intact), ValueTexts(old_record),
                       ValueTexts(new_record))) {
      return 4;
    }
    if (!intact) return 5;
  } else {
    if (BackupSettings(settings.record(), folder, log, dialogs)) return 6;
    if (dialogs.boxes.size() != boxes + 1 ||
        dialogs.boxes.back().first != "Backup fehlgeschlagen: " + sav) {
      return 7;
    }
    if (ReadFile(sav) != old_backup) return 8;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
      if (entry.path().filename().string().rfind("pellvane.sav.", 0) == 0) return 9;
    }
  }

  disk.Release();
  if (op == Operation::kSave) {
    settings.SaveSettings();
    if (StoredTexts(store) != ValueTexts(new_record)) return 10;
  } else if (!BackupSettings(settings.record(), folder, log, dialogs) ||
             ReadFile(sav) == old_backup) {
    return 11;
  }
  return 0;
}

struct FullDiskCase {
  Filler how;
  Operation op;
};

class FullDiskTest : public ::testing::TestWithParam<FullDiskCase> {};

TEST_P(FullDiskTest, OldStateStaysWholeAndTheNextTryWorks) {
  TempDir dir;
  const FullDiskCase c = GetParam();
  const int result = RunChild([&] { return SaveOnFullDisk(c.how, c.op, dir.path()); });
  if (result == kNoMount) GTEST_SKIP() << "cannot mount a tmpfs here";
  EXPECT_EQ(result, 0);
}

INSTANTIATE_TEST_SUITE_P(Faults, FullDiskTest,
                         ::testing::Values(FullDiskCase{Filler::kTmpfs, Operation::kSave},
                                           FullDiskCase{Filler::kTmpfs, Operation::kBackup},
                                           FullDiskCase{Filler::kFileSizeLimit, Operation::kSave},
                                           FullDiskCase{Filler::kFileSizeLimit,
                                                        Operation::kBackup}),
                         [](const auto& info) {
                           return std::string(info.param.how == Filler::kTmpfs ? "Tmpfs"
                                                                               : "FileSizeLimit") +
                                  (info.param.op == Operation::kSave ? "Save" : "Backup");
                         });

TEST(StoreFaultTest, StoreAndBackupAreOwnerOnlyEvenWithUmaskZero) {
  TempDir dir;
  const std::string home = dir.File("config/pellvane");
  setenv("PELLVANE_HOME", home.c_str(), 1);
  WriteFile(dir.File("pellvane.sav"), "old");
  chmod(dir.File("pellvane.sav").c_str(), 0644);
  const mode_t saved = umask(0);
  RecordingDialogs dialogs;
  Settings settings(dialogs, StorePathFromEnvironment());
  ASSERT_TRUE(settings.InitSettingsKey());
  settings.record() = SampleRecord("p");
  settings.SaveSettings();
  FixedClock clock(0);
  const bool off = false;
  RunLog log(dir.File("pellvane.log"), clock, off);
  EXPECT_TRUE(BackupSettings(settings.record(), dir.path(), log, dialogs));
  umask(saved);
  unsetenv("PELLVANE_HOME");

  const auto mode = [](const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 01000;
  };
  const std::string store = home + "/registry.sqlite3";
  for (const std::string& f : {store, store + "-wal", store + "-shm", dir.File("pellvane.sav")}) {
    EXPECT_EQ(mode(f), 0600u) << f;
  }
  EXPECT_EQ(mode(home), 0700u);
  EXPECT_EQ(mode(dir.File("config")), 0700u);
}

}  // namespace
}  // namespace pellvane
