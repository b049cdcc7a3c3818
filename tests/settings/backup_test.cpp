#include "settings/backup.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "settings/hp_reg.h"
#include "support/env_registry.h"
#include "support/recording_dialogs.h"
#include "support/store_home.h"

namespace pellvane {
namespace {

using testing::FileExists;
using testing::ReadFile;
using testing::RecordingDialogs;
using testing::TempDir;
using testing::WriteFile;

constexpr std::time_t kAfternoon = 1796565909;  // 12/06/26 14:05:09 UTC
constexpr const char* kStamp = "12/06/26 14:05:09 - ";

class BackupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("TZ", "UTC", 1);
    tzset();
    std::setlocale(LC_ALL, "C");
    record_.writelog = true;
  }
  std::string SavPath() const { return dir_.path() + "/pellvane.sav"; }
  std::string Log() const { return ReadFile(dir_.File("pellvane.log")); }
  bool Backup() { return BackupSettings(record_, dir_.path(), log_, dialogs_); }
  bool Restore() { return RestoreSettings(record_, dir_.path(), log_, dialogs_); }

  TempDir dir_;
  FixedClock clock_{kAfternoon};
  RecordingDialogs dialogs_;
  SettingsRecord record_ = DefaultRecord();
  RunLog log_{dir_.File("pellvane.log"), clock_, record_.writelog};
};

SettingsRecord Filled() {
  SettingsRecord r = DefaultRecord();
  r.wserver = {"http://a/ip.shtml", "", "w2", "", "w4"};
  r.wdefserver = 2;
  r.proxycon = -1;
  r.proxysrv = "proxy";
  r.proxyport = "8080";
  r.ppass = "geheim";
  r.lastip = "84.123.45.67";
  r.useftp = true;
  r.ftpserver = {"ftp.a", "", "", "", "ftp.e"};
  r.ftppass[1] = "pässwort";
  r.htmltemplatefile[4] = "/home/u/t.html";
  r.ftpdefserver = 4;
  r.inettimeout = 300;
  return r;
}

TEST_F(BackupTest, EmptyRecordIs82BytesWithTheTimeoutAt78) {
  record_.writelog = false;
  ASSERT_TRUE(Backup());
  EXPECT_EQ(ReadFile(SavPath()), std::string(78, '\0') + "\x14" + std::string(3, '\0'));
  struct stat st {};
  ASSERT_EQ(stat(SavPath().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.path()),
                          std::filesystem::directory_iterator()),
            1);  // no temporary file left, no log
}

TEST_F(BackupTest, FieldsAreWrittenInOrderByteForByte) {
  record_ = Filled();
  record_.writelog = true;
  ASSERT_TRUE(Backup());
  const auto text = [](const std::string& s) {
    return std::string{static_cast<char>(s.size()), static_cast<char>(s.size() >> 8)} + s;
  };
  const std::string z = text("");
  std::string expected = text("http://a/ip.shtml") + z + text("w2") + z + text("w4");
  expected += std::string("\x02\x00\xff\xff", 4);
  expected += text("proxy") + text("8080") + z + text("geheim") + text("84.123.45.67");
  expected += std::string("\xff\xff", 2);
  expected += text("ftp.a") + z + z + z + text("ftp.e");  // ftpserver
  expected += z + z + z + z + z;                          // ftpuser
  expected += z + text("pässwort") + z + z + z;           // ftppass, UTF-8
  expected += z + z + z + z + z;                          // ftpremotefile
  expected += z + z + z + z + text("/home/u/t.html");     // htmltemplatefile
  expected += std::string("\x04\x00\x2c\x01\xff\xff", 6);
  EXPECT_EQ(ReadFile(SavPath()), expected);

  const std::string message =
      "Backup beendet...\rEinstellungen in " + dir_.path() + "/pellvane.sav gesichert.";
  EXPECT_EQ(Log(), std::string(kStamp) + "Starte Backup...\r\n" + kStamp + message + "\r\n");
  ASSERT_EQ(dialogs_.boxes.size(), 1u);
  EXPECT_EQ(dialogs_.boxes[0].first, message);
  EXPECT_EQ(dialogs_.boxes[0].second, MsgKind::kInfo);
}

TEST_F(BackupTest, ASecondShorterBackupLeavesNoOldTail) {
  record_ = Filled();
  ASSERT_TRUE(Backup());
  record_ = DefaultRecord();
  ASSERT_TRUE(Backup());
  EXPECT_EQ(ReadFile(SavPath()).size(), 82u);
}

TEST_F(BackupTest, TextTooLongForItsCountRefusesTheBackup) {
  WriteFile(SavPath(), "old backup");
  record_.ftppass[2] = std::string(65536, 'p');
  EXPECT_FALSE(Backup());
  EXPECT_EQ(ReadFile(SavPath()), "old backup");
  const std::string message = "Backup fehlgeschlagen: " + SavPath();
  EXPECT_EQ(Log(), std::string(kStamp) + "Starte Backup...\r\n" + kStamp + message + "\r\n");
  ASSERT_EQ(dialogs_.boxes.size(), 1u);
  EXPECT_EQ(dialogs_.boxes[0], std::make_pair(message, MsgKind::kError));

  record_.ftppass[2].pop_back();  // 65535 bytes fit
  EXPECT_TRUE(Backup());
  SettingsRecord saved = record_;
  record_ = DefaultRecord();
  EXPECT_TRUE(Restore());
  EXPECT_EQ(record_, saved);
}

TEST_F(BackupTest, RestoreReadsTheRecordAndIgnoresAnOldTail) {
  SettingsRecord saved = Filled();
  saved.writelog = true;
  record_ = saved;
  ASSERT_TRUE(Backup());
  WriteFile(SavPath(), ReadFile(SavPath()) + "stale tail of an older, longer record");
  record_ = DefaultRecord();
  record_.writelog = false;
  ASSERT_TRUE(Restore());
  EXPECT_EQ(record_, saved);
  // The closing line follows the switch just read; the opening line the one before.
  const std::string log = Log();
  EXPECT_NE(log.find("Starte Backup..."), std::string::npos);
  EXPECT_EQ(log.substr(log.size() - 30), "Wiederherstellung beendet...\r\n");
  EXPECT_EQ(log.find("Starte Wiederherstellung..."), std::string::npos);
  EXPECT_EQ(dialogs_.boxes.size(), 1u);  // only the backup's
}

TEST_F(BackupTest, EveryCutOfAValidFileIsRefusedAndChangesNothing) {
  record_ = Filled();
  ASSERT_TRUE(Backup());
  const std::string whole = ReadFile(SavPath());
  SettingsRecord current = DefaultRecord();
  current.lastip = "1.1.1.1";
  for (std::size_t n = 0; n < whole.size(); ++n) {
    WriteFile(SavPath(), whole.substr(0, n));
    record_ = current;
    dialogs_.boxes.clear();
    EXPECT_FALSE(Restore()) << n;
    EXPECT_EQ(record_, current) << n;
    ASSERT_EQ(dialogs_.boxes.size(), 1u);
    EXPECT_EQ(dialogs_.boxes[0].first, "Wiederherstellung fehlgeschlagen: " + SavPath());
  }
  WriteFile(SavPath(), whole);
  EXPECT_TRUE(Restore());
  EXPECT_EQ(record_, Filled());
}

TEST_F(BackupTest, MissingOrBrokenFileIsRefused) {
  record_.lastip = "1.1.1.1";
  const SettingsRecord current = record_;
  EXPECT_FALSE(Restore());
  EXPECT_EQ(record_, current);
  const std::string message = "Wiederherstellung fehlgeschlagen: " + SavPath();
  EXPECT_EQ(Log(),
            std::string(kStamp) + "Starte Wiederherstellung...\r\n" + kStamp + message + "\r\n");
  // A flag that is neither false nor true.
  std::string bad(78, '\0');
  bad += std::string("\x14\x00\x01\x00", 4);
  WriteFile(SavPath(), bad);
  EXPECT_FALSE(Restore());
  EXPECT_EQ(record_, current);
}

TEST_F(BackupTest, RestoreThenSaveRewritesTheStore) {
  testing::StoreHome home;
  record_ = Filled();
  ASSERT_TRUE(Backup());
  Settings settings(dialogs_, StorePathFromEnvironment());
  ASSERT_TRUE(settings.InitSettingsKey());
  settings.SaveSettings();  // an empty record in the store
  RunLog log(dir_.File("pellvane.log"), clock_, settings.record().writelog);
  ASSERT_TRUE(RestoreSettings(settings.record(), dir_.path(), log, dialogs_));
  settings.SaveSettings();
  Settings reloaded(dialogs_, StorePathFromEnvironment());
  reloaded.LoadSettings();
  EXPECT_EQ(reloaded.record(), Filled());
}

}  // namespace
}  // namespace pellvane
