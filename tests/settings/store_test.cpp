// The settings in the store: the 41 values saved and loaded, grouped reads, and files that are
// no store.
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

// The bytes of a new database file after `sql` ran on it.
std::string Database(const std::string& sql) {
  const Sandbox box;
  sqlite3* db = nullptr;
  sqlite3_open(box.File("db").c_str(), &db);
  EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sql;
  sqlite3_close(db);
  return ReadFile(box.File("db"));
}

// The stored values as name=text in the order they were made, as another program reads them.
Texts StoredValues(const std::string& file) {
  sqlite3* db = nullptr;
  sqlite3_stmt* rows = nullptr;
  sqlite3_open(file.c_str(), &db);
  sqlite3_prepare_v2(db, "SELECT name || '=' || data FROM vals ORDER BY rowid", -1, &rows, nullptr);
  Texts values;
  while (sqlite3_step(rows) == SQLITE_ROW)
    values.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(rows, 0)));
  sqlite3_finalize(rows);
  sqlite3_close(db);
  return values;
}

class StoreTest : public ::testing::Test {
 protected:
  Sandbox box_;
  RecordingDialogs dialogs_;
};

TEST_F(StoreTest, SavingWritesOnlyWhatThisInstanceChanged) {
  box_.Seed([](SettingsRecord& r) { r = SampleRecord("7"); });
  EXPECT_EQ(box_.Stored(), SampleRecord("7")) << "a load gives back what a save stored";
  Texts values = StoredValues(box_.StoreFile());  // the names and order the Windows record has
  ASSERT_EQ(values.size(), 41u);
  EXPECT_EQ(values[0] + values[5] + values[33] + values[40],
            "wserver0=http://w0.7htmltemplatefile0=/home/t07.htmlproxyPort=317writelog=True");
  Settings settings(dialogs_, StorePath());
  settings.LoadSettings();
  StoreText("lastip", "198.51.100.9");  // another instance, meanwhile
  settings.SaveSettings();
  settings.record().ftpuser[2] = "u";
  EXPECT_EQ(settings.SaveSettings(), "");
  values = StoredValues(box_.StoreFile());
  EXPECT_EQ(values[36], "lastip=198.51.100.9") << "another instance's value survives";
  EXPECT_EQ(box_.Stored().ftpuser[2], "u") << "every save writes its changes";
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

TEST_F(StoreTest, FileThatIsNoStoreIsNeverWrittenAndReadsAsEmpty) {
  const std::string keys = "CREATE TABLE keys(id INTEGER PRIMARY KEY, parent INTEGER, name TEXT);";
  for (const auto& [what, bytes] : std::initializer_list<std::pair<std::string, std::string>>{
           {"an SQLite header alone", "SQLite format 3"},
           {"other tables", Database("CREATE TABLE t(x); INSERT INTO t VALUES(1);")},
           {"a column missing",
            Database(keys + "CREATE TABLE vals(key INTEGER, name TEXT, data BLOB);")}}) {
    SCOPED_TRACE(what);
    Sandbox box;
    WriteFile(box.StoreFile(), bytes);
    Settings settings(dialogs_, StorePath());
    EXPECT_FALSE(settings.InitSettingsKey());
    settings.record() = SampleRecord("1");
    settings.LoadSettings();
    EXPECT_EQ(settings.record(), DefaultRecord());
    settings.record() = SampleRecord("2");
    EXPECT_EQ(settings.SaveSettings(), StorePath() + " war beim Start nicht lesbar");
    EXPECT_TRUE(ReadFile(box.StoreFile()) == bytes) << "the file changed";
    EXPECT_FALSE(FileExists(box.StoreFile() + "-wal"));
  }
  EXPECT_TRUE(dialogs_.boxes.empty());
}

}  // namespace
}  // namespace pellvane
