#include "platform/run_log.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <clocale>
#include <cstdlib>

#include "support/temp_dir.h"

namespace pellvane {
namespace {

using testing::FileExists;
using testing::ReadFile;
using testing::TempDir;

// 2026-12-06 14:05:09 and midnight of the same day, in UTC.
constexpr std::time_t kAfternoon = 1796565909;
constexpr std::time_t kMidnight = 1796515200;

class RunLogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("TZ", "UTC", 1);
    tzset();
    std::setlocale(LC_ALL, "C");
  }
  TempDir dir_;
  FixedClock clock_{kAfternoon};
  bool writelog_ = true;
  RunLog log_{dir_.File("pellvane.log"), clock_, writelog_};
};

TEST_F(RunLogTest, AppendsTimestampedLinesWithCrLf) {
  log_.WriteLog("Checke IP");
  log_.WriteLog("");
  clock_.Set(kMidnight);
  log_.WriteLog("Backup beendet...\rEinstellungen");
  EXPECT_EQ(ReadFile(log_.path()),
            "12/06/26 14:05:09 - Checke IP\r\n"
            "\r\n"
            "12/06/26 - Backup beendet...\rEinstellungen\r\n");
}

TEST_F(RunLogTest, OffWritesNothingAndCreatesNoFile) {
  writelog_ = false;
  int yields = 0;
  log_.SetYieldHook([&] { ++yields; });
  log_.WriteLog("Checke IP");
  log_.WriteLog("");
  EXPECT_FALSE(FileExists(log_.path()));
  EXPECT_EQ(yields, 0);
  writelog_ = true;  // the switch is read at every call
  log_.WriteLog("x");
  EXPECT_TRUE(FileExists(log_.path()));
  EXPECT_EQ(yields, 1);
}

TEST_F(RunLogTest, FailureLosesTheLineButStillYields) {
  mkdir(log_.path().c_str(), 0700);  // a folder in the log file's place
  int yields = 0;
  log_.SetYieldHook([&] { ++yields; });
  log_.WriteLog("lost");
  EXPECT_EQ(yields, 1);
}

int WriteIntoReadOnlyFolder(void* arg) {
  const auto* folder = static_cast<const std::string*>(arg);
  const FixedClock clock(kAfternoon);
  const bool on = true;
  RunLog(*folder + "/pellvane.log", clock, on).WriteLog("Checke IP");
  return 0;
}

TEST_F(RunLogTest, ReadOnlyFolderLosesLinesQuietly) {
  std::string folder = dir_.File("ro");
  mkdir(folder.c_str(), 0555);
  EXPECT_EQ(testing::RunUnprivileged(WriteIntoReadOnlyFolder, &folder), 0);
  EXPECT_FALSE(FileExists(folder + "/pellvane.log"));
}

TEST(FormatTimestamp, FollowsTheLocale) {
  setenv("TZ", "UTC", 1);
  tzset();
  if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr) GTEST_SKIP() << "no German locale";
  EXPECT_EQ(FormatTimestamp(kAfternoon), "06.12.2026 14:05:09");
  EXPECT_EQ(FormatTimestamp(kMidnight), "06.12.2026");
  std::setlocale(LC_ALL, "C");
}

}  // namespace
}  // namespace pellvane
