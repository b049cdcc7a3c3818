// The settings in the store: the 41 values saved and loaded, texts that do not fit, listings,
// and the store under faults (two instances, files that are no store, a store that cannot be
// written, file modes).
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <random>

#include "platform/registry.h"
#include "platform/run_log.h"
#include "settings/backup.h"
#include "settings/hp_reg.h"
#include "settings/read_write_reg.h"
#include "settings/settings_table.h"
#include "support/harness.h"

namespace pellvane {
namespace {

using namespace testing;

// Saves `record` in a process of its own, so that this one keeps no connection.
void SaveInChild(const Sandbox& box, const SettingsRecord& record) {
  ASSERT_EQ(InChild([&] { return box.Seed([&](SettingsRecord& r) { r = record; }), 0; }), 0);
}

// What a save of `record` stores, read from a store of its own.
Texts ValueTexts(const SettingsRecord& record) {
  const Sandbox box;
  SaveInChild(box, record);
  return StoredValues();
}

class StoreTest : public ::testing::Test {
 protected:
  Sandbox box_;
  RecordingDialogs dialogs_;
};

TEST_F(StoreTest, FirstStartMakesAnOwnerOnlyStoreEvenUnderUmaskZero) {
  Env home({{"PELLVANE_HOME", box_.File("config/pellvane")}});
  const std::string store = box_.File("config/pellvane/registry.sqlite3");
  Settings settings(dialogs_, StorePath());
  settings.record() = SampleRecord("x");
  settings.LoadSettings();
  EXPECT_EQ(settings.record(), DefaultRecord()) << "a missing store reads as defaults";
  EXPECT_FALSE(FileExists(store)) << "reading writes nothing";
  WriteFile(box_.File("pellvane.sav"), "old");
  chmod(box_.File("pellvane.sav").c_str(), 0644);
  const mode_t saved = umask(0);
  EXPECT_TRUE(settings.InitSettingsKey());
  settings.record() = SampleRecord("p");
  settings.SaveSettings();
  FixedClock clock(0);
  RunLog log(box_.File("pellvane.log"), clock, settings.record().writelog, RealFileSystem());
  EXPECT_TRUE(BackupSettings(settings.record(), box_.path(), log, dialogs_, RealFileSystem()));
  umask(saved);
  for (const std::string& f : {store, store + "-wal", store + "-shm", box_.File("pellvane.sav")}) {
    EXPECT_EQ(Mode(f), 0600u) << f;
  }
  EXPECT_EQ(Mode(box_.File("config/pellvane")), 0700u);
  EXPECT_EQ(Mode(box_.File("config")), 0700u);
}

// Value names match whatever their case, and the first spelling stays; texts that do not fit
// their kind read as defaults.
TEST_F(StoreTest, StoredTextsLoadWhateverTheirNamesCase) {
  StoreText("PROXYPORT", "8080");
  EXPECT_EQ(box_.Stored().proxyport, "8080");
  box_.Seed([](SettingsRecord& r) { r.proxyport = "3128"; });
  EXPECT_EQ(StoredValues().size(), 41u);
  EXPECT_EQ(StoredValues().at(0), "PROXYPORT=3128");
  struct Case {
    const char* name;
    const char* text;
    std::int16_t SettingsRecord::*number;
    std::int16_t expected;
  };
  for (const Case& c : std::initializer_list<Case>{
           {"inettimeout", "0", &SettingsRecord::inettimeout, 20},
           {"inettimeout", "abc", &SettingsRecord::inettimeout, 20},
           {"wdefserver", "7", &SettingsRecord::wdefserver, 7},  // loaded as it is
           {"wdefserver", " 2 ", &SettingsRecord::wdefserver, 2},
           {"wdefserver", "70000", &SettingsRecord::wdefserver, 0},
           {"proxycon", "2x", &SettingsRecord::proxycon, 0}}) {
    StoreText(c.name, c.text);
    EXPECT_EQ(box_.Stored().*c.number, c.expected) << c.name << "=" << c.text;
  }
  for (const auto& [texts, expected] : {std::pair{Texts{"True", "tRUE", "-1"}, true},
                                        std::pair{Texts{"False", "0", "yes", ""}, false}}) {
    for (const std::string& text : texts) {
      StoreText("useftp", text);
      StoreText("writelog", text);
      EXPECT_EQ(std::pair(box_.Stored().useftp, box_.Stored().writelog),
                std::pair(expected, expected))
          << text;
    }
  }
}

TEST_F(StoreTest, SavingWritesOnlyWhatThisInstanceChanged) {
  box_.Seed([](SettingsRecord& r) { r = SampleRecord("7"); });
  EXPECT_EQ(box_.Stored(), SampleRecord("7")) << "a load gives back what a save stored";
  Texts values = StoredValues();  // the names and order the Windows record has
  ASSERT_EQ(values.size(), 41u);
  EXPECT_EQ(values[0] + values[5] + values[33] + values[40],
            "wserver0=http://w0.7htmltemplatefile0=/home/t07.htmlproxyPort=317writelog=True");
  Settings settings(dialogs_, StorePath());
  settings.LoadSettings();
  StoreText("lastip", "198.51.100.9");  // another instance, meanwhile
  settings.SaveSettings();
  settings.record().ftpuser[2] = "u";
  settings.SaveSettings();
  values = StoredValues();
  EXPECT_EQ(values[36], "lastip=198.51.100.9") << "another instance's value survives";
  EXPECT_EQ(box_.Stored().ftpuser[2], "u") << "every save writes its changes";
  // Texts that load as a value stay as they are until this instance changes that value.
  for (const auto& [name, text, saved] : {std::tuple{"useftp", "tRUE", "useftp=tRUE"},
                                          std::tuple{"inettimeout", "0", "inettimeout=0"},
                                          std::tuple{"wdefserver", " 2", "wdefserver= 2"}}) {
    StoreText(name, text);
    box_.Seed([](SettingsRecord&) {});
    values = StoredValues();
    EXPECT_NE(std::find(values.begin(), values.end(), saved), values.end()) << name;
  }
}

// Reads grouped into one read of the store (as a load groups its 41) still see and keep a
// write made among them, and see another instance's write once the group ends.
TEST_F(StoreTest, GroupedReadsSeeWritesMadeAmongThemAndAfter) {
  box_.Seed([](SettingsRecord& r) { r = SampleRecord("g"); });
  CReadWriteReg reg(EnvRegistry(), dialogs_);
  ASSERT_TRUE(reg.OpenRegistry(HKEY_LOCAL_MACHINE, kSettingsKeyPath));
  {
    const Registry::ReadGroup together(EnvRegistry());
    EXPECT_EQ(reg.GetValue("lastip"), Variant(std::string("10.0.0.g")));
    ASSERT_TRUE(reg.CreateValue("lastip", std::string("198.51.100.1"), REG_SZ));
    EXPECT_EQ(reg.GetValue("lastip"), Variant(std::string("198.51.100.1")));
  }
  EXPECT_EQ(InChild([] { return StoreText("lastip", "198.51.100.2"), 0; }), 0);  // another one
  EXPECT_EQ(reg.GetValue("lastip"), Variant(std::string("198.51.100.2")));
}

// Listing a key: the index is a signed 16-bit counter, so a key with more entries than it can
// count lists as null; a key deleted under an open handle answers a read with code 6.
TEST_F(StoreTest, ListingsEndAtTheSixteenBitIndexAndADeletedKeyAnswersSix) {
  CReadWriteReg reg(EnvRegistry(), dialogs_);
  ASSERT_TRUE(reg.OpenRegistry(HKEY_LOCAL_MACHINE, "SOFTWARE"));
  for (const int count : {32767, 32768}) {
    const std::string name = "Many" + std::to_string(count);
    ASSERT_TRUE(reg.CreateDirectory(name));
    sqlite3* db = nullptr;
    sqlite3_open(box_.StoreFile().c_str(), &db);
    const std::string key = "(SELECT id FROM keys WHERE name = '" + name + "')";
    const std::string sql =
        "BEGIN; CREATE TEMP TABLE n AS WITH RECURSIVE c(i) AS (SELECT 0 UNION "
        "ALL SELECT i + 1 FROM c WHERE i + 1 < " +
        std::to_string(count) + ") SELECT i FROM c; INSERT INTO keys(parent, name) SELECT " + key +
        ", 'k' || i FROM n; INSERT INTO vals(key, name, type, data) SELECT " + key +
        ", 'v' || i, 1, x'7800' FROM n; COMMIT;";
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
    CReadWriteReg many(EnvRegistry(), dialogs_);
    ASSERT_TRUE(many.OpenRegistry(HKEY_LOCAL_MACHINE, "SOFTWARE\\" + name));
    for (const Variant& listed : {many.GetAllSubDirectories(), many.GetAllValues()}) {
      const auto* names = std::get_if<VariantArray>(&listed.value);
      EXPECT_EQ(names ? names->size() : 0u, count <= 32767 ? std::size_t(count) : 0u) << count;
      EXPECT_EQ(listed.IsNull(), count > 32767) << count;
    }
  }
  ASSERT_TRUE(reg.CreateDirectory("Gone"));
  CReadWriteReg gone(EnvRegistry(), dialogs_);
  ASSERT_TRUE(gone.OpenRegistry(HKEY_LOCAL_MACHINE, "SOFTWARE\\Gone"));
  ASSERT_TRUE(gone.CreateValue("x", std::string("1"), REG_SZ));
  ASSERT_TRUE(reg.DeleteDirectory("Gone"));
  for (const char* name : {"x", "never"}) {
    EXPECT_EQ(gone.GetValue(name), Variant(std::string("RegQueryValueEx Returned : (6)")));
  }
}

// Two instances start together, each on a store that may not exist yet: both get the key, and
// each save arrives whole while the other saves.
TEST_F(StoreTest, TwoInstancesSavingAtOnceLoseNothing) {
  for (int round = 0; round < 10; ++round) {
    Sandbox box;
    int go[2];
    ASSERT_EQ(pipe(go), 0);
    std::vector<pid_t> children;
    for (const std::string tag : {"1", "2"}) {
      children.push_back(Spawn([&, tag] {
        close(go[1]);
        char c = 0;
        (void)!read(go[0], &c, 1);
        RecordingDialogs dialogs;
        Settings settings(dialogs, StorePath());
        if (!settings.InitSettingsKey()) return 10;
        for (int n = 0; n < 20; ++n) {
          settings.record() = SampleRecord(tag + "-" + std::to_string(n));
          settings.SaveSettings();
          if (StoredValues().empty()) return 11;
        }
        settings.record() = SampleRecord(tag);
        settings.SaveSettings();
        return 0;
      }));
    }
    close(go[0]);
    close(go[1]);  // both start now
    for (pid_t child : children) {
      EXPECT_EQ(Waited(child), 0) << "round " << round << ": 10 key refused, 11 store unreadable";
    }
    // Every value whole and as one of the two saved it.
    const Texts got = StoredValues(), a = ValueTexts(SampleRecord("1")),
                b = ValueTexts(SampleRecord("2"));
    EXPECT_EQ(got.size(), a.size());
    for (const std::string& v : got)
      EXPECT_TRUE(Count(a, v) + Count(b, v) > 0) << "round " << round << ": " << v;
  }
}

// The database file after `sql` ran on it; a new one in a folder of its own when not named.
std::string Database(const std::string& sql, std::string file = "") {
  const Sandbox box;
  if (file.empty()) file = box.File("db");
  sqlite3* db = nullptr;
  sqlite3_open(file.c_str(), &db);
  EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sql;
  sqlite3_close(db);
  return ReadFile(file);
}

TEST_F(StoreTest, FileThatIsNoStoreIsNeverWrittenAndReadsAsEmpty) {
  std::minstd_rand random(7);
  std::string noise(8192, '\0');
  for (char& ch : noise) ch = static_cast<char>(random());
  const std::string keys = "CREATE TABLE keys(id INTEGER PRIMARY KEY, parent INTEGER, name TEXT);";
  std::vector<std::pair<std::string, std::string>> cases = {
      {"random bytes", noise},
      {"an SQLite header alone", "SQLite format 3"},
      {"other tables", Database("CREATE TABLE t(x); INSERT INTO t VALUES(1);")},
      {"ours and one more", Database(keys + "CREATE TABLE vals(key INTEGER, name TEXT, type "
                                            "INTEGER, data BLOB); CREATE TABLE extra(x);")},
      {"our names, other columns", Database("CREATE TABLE keys(a, b); CREATE TABLE vals(c);")},
      {"a column missing",
       Database(keys + "CREATE TABLE vals(key INTEGER, name TEXT, data BLOB);")}};
  // A store of our own, folded into one file, cut after each of its pages but the last.
  SettingsRecord big = SampleRecord("t");
  big.htmltemplatefile[0] = std::string(9000, 'h');
  SaveInChild(box_, big);
  // Folded into its one file, as the last connection leaves it.
  const std::string whole = Database("PRAGMA wal_checkpoint(TRUNCATE)", box_.StoreFile());
  for (std::size_t size = 4096; size < whole.size(); size += 4096) {
    cases.emplace_back("store cut at " + std::to_string(size), whole.substr(0, size));
  }
  for (const auto& [what, bytes] : cases) {
    SCOPED_TRACE(what);
    Sandbox box;
    WriteFile(box.StoreFile(), bytes);
    Settings settings(dialogs_, StorePath());
    EXPECT_FALSE(settings.InitSettingsKey());
    settings.record() = SampleRecord("1");
    settings.LoadSettings();
    EXPECT_EQ(settings.record(), DefaultRecord());
    settings.record() = SampleRecord("2");
    settings.SaveSettings();
    EXPECT_TRUE(ReadFile(box.StoreFile()) == bytes) << "the file changed";
    EXPECT_FALSE(FileExists(box.StoreFile() + "-wal"));
  }
  EXPECT_TRUE(dialogs_.boxes.empty());
}

// Writing is refused, reading works, and the program runs on the defaults.
TEST_F(StoreTest, ReadOnlyStoreRefusesWritesAndStaysReadable) {
  SaveInChild(box_, SampleRecord("ro"));
  const std::string before = ReadFile(box_.StoreFile());
  // The owner's own files without write permission; as root, the owner is "nobody".
  const uid_t owner = geteuid() == 0 ? 65534 : geteuid();
  for (const std::string& f :
       {box_.StoreFile(), box_.StoreFile() + "-wal", box_.StoreFile() + "-shm", box_.path()}) {
    (void)!chown(f.c_str(), owner, owner);
    chmod(f.c_str(), f == box_.path() ? 0755 : 0444);
  }
  EXPECT_EQ(InChild(
                [&] {
                  if (Count(StoredValues(), "lastip=10.0.0.ro") != 1) return 1;
                  RecordingDialogs dialogs;
                  Settings settings(dialogs, StorePath());
                  if (settings.InitSettingsKey()) return 2;
                  settings.record() = SampleRecord("x");
                  settings.SaveSettings();
                  return 0;
                },
                true),
            0);
  EXPECT_TRUE(ReadFile(box_.StoreFile()) == before) << "the store file changed";
}

}  // namespace
}  // namespace pellvane
