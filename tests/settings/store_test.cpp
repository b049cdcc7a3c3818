// The settings in the store: the 41 values saved and loaded, grouped reads, listings, and files
// that are no store.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include "platform/registry.h"
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

class StoreTest : public ::testing::Test {
 protected:
  Sandbox box_;
  RecordingDialogs dialogs_;
};

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
  const std::string keys = "CREATE TABLE keys(id INTEGER PRIMARY KEY, parent INTEGER, name TEXT);";
  std::vector<std::pair<std::string, std::string>> cases = {
      {"an SQLite header alone", "SQLite format 3"},
      {"other tables", Database("CREATE TABLE t(x); INSERT INTO t VALUES(1);")},
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

}  // namespace
}  // namespace pellvane
