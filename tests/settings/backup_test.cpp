// The backup file pellvane.sav: its bytes, backups that fail on the way, and restores of whole,
// cut, broken and missing files.
#include "settings/backup.h"

#include <gtest/gtest.h>

#include <clocale>
#include <filesystem>

#include "settings/hp_reg.h"
#include "support/harness.h"

namespace pellvane {
namespace {

using namespace testing;

class BackupTest : public ::testing::Test {
 protected:
  BackupTest() {
    tzset();
    std::setlocale(LC_ALL, "C");
    record_.writelog = true;
  }
  bool Backup(FileSystem& files = RealFileSystem()) {
    return BackupSettings(record_, box_.path(), log_, dialogs_, files);
  }
  bool Restore() { return RestoreSettings(record_, box_.path(), log_, dialogs_, RealFileSystem()); }
  std::string Sav() const { return box_.File("pellvane.sav"); }

  Env utc_{{{"TZ", "UTC"}}};
  Sandbox box_;
  FixedClock clock_{1796565909};  // 12/06/26 14:05:09 UTC
  RecordingDialogs dialogs_;
  SettingsRecord record_ = DefaultRecord();
  RunLog log_{box_.File("pellvane.log"), clock_, record_.writelog, RealFileSystem()};
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
  r.writelog = true;
  return r;
}

TEST_F(BackupTest, FieldsAreWrittenInOrderByteForByteAndSaidSo) {
  record_ = Filled();
  ASSERT_TRUE(Backup());
  const auto text = [](const std::string& s) {
    return std::string{static_cast<char>(s.size()), static_cast<char>(s.size() >> 8)} + s;
  };
  const std::string z = text("");
  std::string expected = text("http://a/ip.shtml") + z + text("w2") + z + text("w4") +
                         std::string("\x02\x00\xff\xff", 4) + text("proxy") + text("8080") + z +
                         text("geheim") + text("84.123.45.67") + std::string("\xff\xff", 2) +
                         text("ftp.a") + z + z + z + text("ftp.e") + z + z + z + z + z + z +
                         text("pässwort") + z + z + z + z + z + z + z + z + z + z + z + z +
                         text("/home/u/t.html") + std::string("\x04\x00\x2c\x01\xff\xff", 6);
  EXPECT_EQ(ReadFile(Sav()), expected);
  EXPECT_EQ(std::filesystem::status(Sav()).permissions(),
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  const std::string message = "Backup beendet...\rEinstellungen in " + Sav() + " gesichert.";
  EXPECT_EQ(box_.Log(),
            "12/06/26 14:05:09 - Starte Backup...\r\n12/06/26 14:05:09 - " + message + "\r\n");
  EXPECT_EQ(dialogs_.boxes, (decltype(dialogs_.boxes){{message, MsgKind::kInfo}}));
  record_ = DefaultRecord();
  ASSERT_TRUE(Backup());
  EXPECT_EQ(ReadFile(Sav()), std::string(78, '\0') + "\x14" + std::string(3, '\0'))
      << "a shorter record leaves no old tail";
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(box_.path()), {}), 2)
      << "no temporary file is left";
}

// A text too long for its count, a refused file, a full disk, a failed rename: the old backup
// stays whole, nothing is left beside it, and the next backup with room works.
TEST_F(BackupTest, AFailedBackupKeepsTheOldOneWhole) {
  WriteFile(Sav(), "old backup");
  record_.ftppass[2] = std::string(65536, 'p');
  for (const auto& [faults, reason] : std::initializer_list<std::pair<FileFaults, std::string>>{
           {{}, "ein Text ist länger als 65535 Bytes"},
           {{.deny_open = true}, kRefused},
           {{.room = 0}, kDiskFull},
           {{.room = 81}, kDiskFull},
           {{.fail_commit = true}, kNotCommitted}}) {
    FaultyFiles files(faults);
    EXPECT_FALSE(Backup(files));
    EXPECT_EQ(ReadFile(Sav()), "old backup");
    EXPECT_EQ(
        dialogs_.boxes.back(),
        std::make_pair("Backup fehlgeschlagen: " + Sav() + " (" + reason + ")", MsgKind::kError));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(box_.path()), {}), 2);
    record_.ftppass[2].resize(65535);  // fits
  }
  EXPECT_TRUE(Backup());
  EXPECT_EQ(ReadFile(Sav()).size(), 82u + 65535u);
}

TEST_F(BackupTest, RestoreTakesAWholeFileAndRefusesCutBrokenOrMissingOnes) {
  record_ = Filled();
  ASSERT_TRUE(Backup());
  const std::string whole = ReadFile(Sav());
  Texts files = {std::string(78, '\0') + std::string("\x14\x00\x01\x00", 4)};  // flag not 0/-1
  for (std::size_t n = 0; n < whole.size(); ++n) files.push_back(whole.substr(0, n));
  SettingsRecord current;
  current.lastip = "1.1.1.1";
  current.writelog = true;
  for (const std::string& bytes : files) {
    WriteFile(Sav(), bytes);
    record_ = current;
    dialogs_.boxes.clear();
    EXPECT_FALSE(Restore()) << bytes.size();
    EXPECT_EQ(record_, current) << bytes.size();
    EXPECT_EQ(dialogs_.Shown(), Texts{"Wiederherstellung fehlgeschlagen: " + Sav()});
  }
  std::remove(Sav().c_str());
  EXPECT_FALSE(Restore());
  EXPECT_EQ(LogTexts(box_.Log()).back(), "Wiederherstellung fehlgeschlagen: " + Sav());
  WriteFile(Sav(), whole + "stale tail of an older, longer record");
  record_.writelog = false;
  std::remove(box_.File("pellvane.log").c_str());
  EXPECT_TRUE(Restore());
  EXPECT_EQ(record_, Filled());
  // The closing line follows the switch just read; the opening line the one before.
  EXPECT_EQ(LogTexts(box_.Log()), Texts{"Wiederherstellung beendet..."});
}

}  // namespace
}  // namespace pellvane
