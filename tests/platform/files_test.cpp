// The local files: where the program folder is, the run log's lines, and the filled template.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <clocale>
#include <filesystem>
#include <optional>

#include "platform/program_folder.h"
#include "platform/run_lock.h"
#include "publish/template_fill.h"
#include "support/harness.h"

namespace pellvane {
namespace {

using namespace testing;

// The program folder: home, then a writable program folder, then the data folder.
TEST(ProgramFolderTest, HomeThenAWritableProgramFolderThenTheDataFolder) {
  Sandbox box;
  const std::string data = box.File("data");
  mkdir(data.c_str(), 0777);
  EXPECT_EQ(ResolveProgramFolder({(box.path() + "/").c_str(), nullptr, nullptr, box.path()}),
            box.path());
  EXPECT_EQ(ResolveProgramFolder({"", nullptr, nullptr, box.path()}), box.path()) << "empty: unset";
  EXPECT_EQ(ResolveProgramFolder({nullptr, nullptr, box.path().c_str(), ""}),
            box.File(".local/share/pellvane"));
  mkdir(box.File("bin").c_str(), 0700);
  EXPECT_EQ(ResolveProgramFolder({nullptr, data.c_str(), nullptr, box.File("bin")}),
            data + "/pellvane")
      << "an installed program's writable folder is not used";
}

// Timestamped CR LF lines, each written whole or not at all; a full disk loses only its line.
TEST(RunLogTest, AppendsTimestampedCrLfLines) {
  Env utc(EnvVars{{"TZ", "UTC"}});
  tzset();
  std::setlocale(LC_ALL, "C");
  Sandbox box;
  FixedClock clock(1796565909);  // 2026-12-06 14:05:09 UTC
  bool on = true;
  int yields = 0;
  FaultyFiles files({.room = 77});  // the first three lines
  RunLog log(box.File("pellvane.log"), clock, on, files);
  log.SetYieldHook([&] { ++yields; });
  log.WriteLog("Checke IP");
  log.WriteLog("");
  clock.Set(1796515200);  // midnight
  log.WriteLog("Backup beendet...\rEinstellungen");
  log.WriteLog("cut short by the full disk");
  EXPECT_EQ(ReadFile(log.path()),
            "12/06/26 14:05:09 - Checke IP\r\n\r\n"
            "12/06/26 - Backup beendet...\rEinstellungen\r\n");
  EXPECT_EQ(yields, 4) << "every line lets the window repaint";
}

TEST(FillTemplateTest, ReplacesEveryMarkerEndsEachLineCrCrLfAndFailsLeavingTheOldPage) {
  Sandbox box;
  const std::string t = box.File("t.html"), page = box.File("tmp.htm");
  const std::string a(65536 - 5, 'a'), b(65536 - 1, 'b');
  for (const auto& [in, out] : std::initializer_list<std::pair<std::string, std::string>>{
           {"", ""},
           {"a\r\nb", "a\r\r\nb\r\r\n"},
           {"a\rb\r", "a\r\r\nb\r\r\n"},
           {"a\nb\n", "a\nb\n\r\r\n"},
           {"\r\n\r\n", "\r\r\n\r\r\n"},
           {"a\r\r\n", "a\r\r\n\r\r\n"},
           {"<b>'!!!***IP***!!!'</b>\r\n'!!!***IP***!!!''!!!***IP***!!!'",
            "<b>1.2.3.4</b>\r\r\n1.2.3.41.2.3.4\r\r\n"},
           {"!!!***IP***!!! '!!!***ip***!!!'", "!!!***IP***!!! '!!!***ip***!!!'\r\r\n"},
           {"'!!!***IP***!!!'x'!!!***IP***!!!", "1.2.3.4x'!!!***IP***!!!\r\r\n"},
           {std::string(70000, 'x') + "'!!!***IP***!!!'",
            std::string(70000, 'x') + "1.2.3.4\r\r\n"},
           {std::string("\xe4\xf6\0\xff\r\n\xc3\xa4", 8),
            std::string("\xe4\xf6\0\xff\r\r\n\xc3\xa4\r\r\n", 12)},
           // Markers and line ends across the edge of one 64 KiB read.
           {a + "'!!!***IP***!!!'\r\n", a + "1.2.3.4\r\r\n"},
           {b + "\r\nx", b + "\r\r\nx\r\r\n"},
           {b + "\ry", b + "\r\r\ny\r\r\n"},
           {a + "'!!!***", a + "'!!!***\r\r\n"}}) {
    WriteFile(t, in);
    ASSERT_EQ(FillTemplate(RealFileSystem(), t, page, "1.2.3.4", kIpMarker), FillResult::kOk);
    EXPECT_EQ(ReadFile(page), out) << ::testing::PrintToString(in.substr(0, 60));
    std::string line = in;  // without a CR one line, filled in place alike
    EXPECT_TRUE(in.find('\r') != std::string::npos ||
                ReplaceMarker(line, "1.2.3.4", kIpMarker) + (in.empty() ? "" : "\r\r\n") == out);
  }
  // Failures leave the old page and nothing beside it.
  for (const auto& [in, out, faults, result] :
       std::initializer_list<std::tuple<std::string, std::string, FileFaults, FillResult>>{
           {box.File("missing.html"), page, {}, FillResult::kTemplateUnreadable},
           {box.path(), page, {}, FillResult::kTemplateUnreadable},
           {t, page, {.deny_open = true}, FillResult::kTemplateUnreadable},
           {t, box.path(), {}, FillResult::kOutputUnwritable},
           {t, page, {.room = 0}, FillResult::kOutputUnwritable},
           {t, page, {.room = 5}, FillResult::kOutputUnwritable},
           {t, page, {.fail_commit = true}, FillResult::kOutputUnwritable}}) {
    WriteFile(t, "a\r\nb\r\n");
    WriteFile(page, "old page");
    FaultyFiles files(faults);
    EXPECT_EQ(FillTemplate(files, in, out, "1.2.3.4", kIpMarker), result) << in << out;
    EXPECT_EQ(ReadFile(page), "old page");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(box.path()), {}), 2);
  }
}

// Whatever is planted at the lock, by anyone, no run goes ahead without the lock, and none is
// shut out for ever by what it may replace: a link (its target kept), a FIFO, an empty folder,
// a second name of a file, root's file that the user cannot open where the user may replace
// it. A root run's lock is the user's too. Each case tries once, without waiting, in a child of
// its own as root (0) or as nobody.
TEST(RunLockTest, PlantedFilesAreReplacedOrRefusedNeverLockedAround) {
  Sandbox box;
  chmod(box.path().c_str(), 0711);
  const std::string victim = box.File("victim");
  const Texts faults = {"", "ein Ordner", "nicht ersetzbar", "nicht anlegbar"};
  using State = RunLock::State;
  struct Case {
    const char* plant;
    uid_t uid;
    mode_t folder_mode;  // of the folder the lock is in, owned by root
    State state;
    const char* fault = "";
  };
  for (const Case& c :
       std::initializer_list<Case>{{"nothing", 0, 0700, State::kTaken},
                                   {"link", 0, 0700, State::kTaken},
                                   {"dangling link", 0, 0700, State::kTaken},
                                   {"fifo", 0, 0700, State::kTaken},
                                   {"empty folder", 0, 0700, State::kTaken},
                                   {"folder", 0, 0700, State::kUnusable, "ein Ordner"},
                                   {"hard link", 0, 0700, State::kTaken},
                                   {"held", 0, 0700, State::kBusy},
                                   {"root 0600", 65534, 0777, State::kTaken},
                                   {"root 0600", 65534, 01777, State::kUnusable, "nicht ersetzbar"},
                                   {"held", 65534, 01777, State::kBusy},
                                   {"other's", 65534, 01777, State::kUnusable, "nicht ersetzbar"},
                                   {"fifo", 65534, 01777, State::kUnusable, "nicht ersetzbar"},
                                   {"nothing", 65534, 0555, State::kUnusable, "nicht anlegbar"}}) {
    const std::string plant = c.plant;
    SCOPED_TRACE(plant + " as " + std::to_string(c.uid));
    const std::string folder = box.File("run");
    std::filesystem::remove_all(folder);
    mkdir(folder.c_str(), 0700);
    const std::string lock = folder + "/pellvane.lock";
    WriteFile(victim, "keep");
    if (plant == "link") symlink(victim.c_str(), lock.c_str());
    if (plant == "dangling link") symlink(box.File("nowhere").c_str(), lock.c_str());
    if (plant == "fifo") mkfifo(lock.c_str(), 0666);
    if (plant.ends_with("folder")) mkdir(lock.c_str(), 0777);
    if (plant == "folder") WriteFile(lock + "/inside", "x");
    if (plant == "hard link") link(victim.c_str(), lock.c_str());
    if (plant == "root 0600" || plant == "other's") WriteFile(lock, "");
    if (plant == "root 0600") chmod(lock.c_str(), 0600);
    if (plant == "other's") chown(lock.c_str(), 65533, 65533);
    chmod(folder.c_str(), c.folder_mode);
    std::optional<RunLock> holder;
    if (plant == "held") holder.emplace(lock, std::chrono::milliseconds(0));
    ASSERT_TRUE(!holder || holder->taken());
    const int got = InChild([&] {
      if (c.uid != 0 && (setgid(c.uid) != 0 || setuid(c.uid) != 0)) return 99;
      const RunLock run(lock, std::chrono::milliseconds(0));
      const auto fault = std::find(faults.begin(), faults.end(), run.fault());
      return static_cast<int>(run.state()) * 8 + static_cast<int>(fault - faults.begin());
    });
    const auto want_fault = std::find(faults.begin(), faults.end(), std::string(c.fault));
    EXPECT_EQ(got, static_cast<int>(c.state) * 8 + (want_fault - faults.begin()));
    EXPECT_EQ(ReadFile(victim), "keep");
    EXPECT_FALSE(FileExists(box.File("nowhere")));
    struct stat st {};
    if (c.state == State::kTaken) {
      EXPECT_TRUE(lstat(lock.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_nlink == 1 &&
                  (st.st_mode & 0777) == 0644);
    }
  }
}

}  // namespace
}  // namespace pellvane
