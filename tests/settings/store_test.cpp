// The settings in the store: the 41 values saved and loaded, grouped reads, and files that are
// no store or were planted in its place.
#include <gtest/gtest.h>
#include <unistd.h>

#include "platform/registry.h"
#include "settings/hp_reg.h"
#include "settings/read_write_reg.h"
#include "settings/settings_table.h"
#include "support/harness.h"

namespace pellvane {
namespace {

using namespace testing;

// The stored values as name=text in the order they were made, as another program reads them.
Texts StoredValues(const std::string& file) {
  return Lines(
      RunProgram({"sqlite3", file, "SELECT name || '=' || data FROM vals ORDER BY rowid"}).out);
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

// Whatever stands at the store ($S) and is no store of this account is never opened for
// writing: the settings read as empty, saving them writes nothing anywhere. $G is a good
// store, $V another file.
TEST_F(StoreTest, FileThatIsNoStoreIsNeverWrittenAndReadsAsEmpty) {
  const Sandbox good;
  ASSERT_EQ(good.Run(PELLVANE_BIN, {"--set", "ftppass0=geheim"}).status, 0);
  const std::string tables = "python3 -c \"import sqlite3; sqlite3.connect('$S').executescript('";
  for (const char* plant : {
           "printf 'SQLite format 3' > $S",
           "CREATE TABLE t(x); INSERT INTO t VALUES(1);')\"",
           "CREATE TABLE keys(id INTEGER PRIMARY KEY, parent INTEGER, name TEXT); "
           "CREATE TABLE vals(key INTEGER, name TEXT, data BLOB);')\"",
           // The pages of the values and their index.
           "cp $G $S; dd if=/dev/zero of=$S bs=4096 seek=3 count=2 conv=notrunc 2>/dev/null",
           "cp $G $V; ln -s $V $S",
           ": > $V; ln -s $V $S",
           "cp $G $S; : > $V; ln -s $V $S-wal",
           "cp $G $S; : > $V; ln -s $V $S-shm",
           "cp $G $S; chown 65534 $S",
       }) {
    SCOPED_TRACE(plant);
    if (std::string_view(plant).find("chown") != std::string_view::npos && geteuid() != 0) continue;
    Sandbox box;
    const std::string shell = plant[0] == 'C' ? tables + plant : plant;
    ASSERT_EQ(
        RunProgram({"/bin/sh", "-c", shell},
                   {{"S", box.StoreFile()}, {"G", good.StoreFile()}, {"V", box.File("victim")}})
            .status,
        0);
    // Every entry: its kind, size, time of change and a link's target.
    const Texts find = {"/usr/bin/find", box.path(),         "-mindepth", "1",
                        "-printf",       "%y %s %C@ %l %p\n"};
    const std::string before = RunProgram(find).out;
    Settings settings(dialogs_, StorePath());
    EXPECT_FALSE(settings.InitSettingsKey());
    settings.record() = SampleRecord("1");
    settings.LoadSettings();
    EXPECT_TRUE(!settings.loaded() && settings.record() == DefaultRecord());
    settings.record() = SampleRecord("2");
    EXPECT_EQ(settings.SaveSettings(), StorePath() + " war beim Start nicht lesbar");
    EXPECT_EQ(RunProgram(find).out, before);
  }
  EXPECT_TRUE(dialogs_.boxes.empty());
}

}  // namespace
}  // namespace pellvane
