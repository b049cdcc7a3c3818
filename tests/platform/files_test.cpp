// The local files: where the program folder is, the run log's lines, and the filled template.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <clocale>
#include <cstring>
#include <filesystem>
#include <optional>

#include "platform/program_folder.h"
#include "platform/run_lock.h"
#include "platform/run_log.h"
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

// The log stays under 1 MiB: the line that would pass it moves the log to pellvane.log.1 over
// an older one (a link there is replaced, not followed) and begins a new one. A log that is a
// link is neither moved nor written through.
TEST(RunLogTest, AFullLogBecomesTheOldOneAndANewOneBegins) {
  Sandbox box;
  FixedClock clock(0);
  bool on = true;
  RunLog log(box.File("pellvane.log"), clock, on, RealFileSystem());
  const std::string line = log.Line("x") + "\r\n", old_log = log.path() + ".1";
  for (const auto& [size, planted, moved] : {std::tuple{kMaxLogSize - line.size(), "", false},
                                             std::tuple{kMaxLogSize - line.size() + 1, "", true},
                                             std::tuple{kMaxLogSize, "pellvane.log.1", true},
                                             std::tuple{kMaxLogSize, "pellvane.log", false}}) {
    const std::string old(size, 'o');
    WriteFile(box.File("victim"), old);
    for (const std::string& f : {log.path(), old_log})
      std::remove(f.c_str()), WriteFile(f, "older");
    if (*planted) std::remove(box.File(planted).c_str());
    ASSERT_TRUE(!*planted || symlink(box.File("victim").c_str(), box.File(planted).c_str()) == 0);
    if (std::string(planted) != "pellvane.log") WriteFile(log.path(), old);
    log.WriteLog("x");
    EXPECT_EQ(std::tuple(ReadFile(log.path()), ReadFile(old_log), ReadFile(box.File("victim"))),
              std::tuple(moved ? line : old + (*planted ? "" : line), moved ? old : "older", old))
        << size << planted;
  }
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
    ASSERT_EQ(FillTemplate(RealFileSystem(), t, page, "1.2.3.4", kIpMarker).result,
              FillResult::kOk);
    EXPECT_EQ(ReadFile(page), out) << ::testing::PrintToString(in.substr(0, 60));
    std::string line = in;  // without a CR one line, filled in place alike
    EXPECT_TRUE(in.find('\r') != std::string::npos ||
                ReplaceMarker(line, "1.2.3.4", kIpMarker) + (in.empty() ? "" : "\r\r\n") == out);
  }
  // Failures leave the old page and nothing beside it, and say why.
  using R = FillResult;
  for (const auto& [in, out, faults, result, why] :
       std::initializer_list<std::tuple<std::string, std::string, FileFaults, R, std::string>>{
           {box.File("missing.html"), page, {}, R::kTemplateUnreadable, std::strerror(ENOENT)},
           {box.path(), page, {}, R::kTemplateUnreadable, "keine Datei"},
           {t, page, {.deny_open = true}, R::kTemplateUnreadable, kRefused},
           {t, box.path(), {}, R::kOutputUnwritable, "keine Datei"},
           {t, box.File("no/tmp.htm"), {}, R::kOutputUnwritable, std::strerror(ENOENT)},
           {t, page, {.room = 0}, R::kOutputUnwritable, kDiskFull},
           {t, page, {.room = 5}, R::kOutputUnwritable, kDiskFull},
           {t, page, {.fail_commit = true}, R::kOutputUnwritable, kNotCommitted}}) {
    WriteFile(t, "a\r\nb\r\n");
    WriteFile(page, "old page");
    FaultyFiles files(faults);
    const Filled filled = FillTemplate(files, in, out, "1.2.3.4", kIpMarker);
    EXPECT_EQ(std::tie(filled.result, filled.error), std::tie(result, why)) << in << out;
    EXPECT_EQ(ReadFile(page), "old page");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(box.path()), {}), 2);
  }
}

// Whatever is planted at the lock ($L, in a folder of root's with mode $M), no run goes ahead
// without the lock, and none is shut out for ever by what it may replace: a link (its target
// kept), a FIFO, an empty folder, a second name of a file, root's file that the user cannot
// open where the user may replace it. A root run's lock is the user's too. Each case tries
// once, without waiting, in a child as root (0) or as nobody.
TEST(RunLockTest, PlantedFilesAreReplacedOrRefusedNeverLockedAround) {
  Sandbox box;
  chmod(box.path().c_str(), 0711);
  const std::string folder = box.File("run"), lock = folder + "/pellvane.lock";
  const Texts outcomes = {"taken", "busy", "ein Ordner", "nicht ersetzbar", "nicht anlegbar"};
  for (const auto& [plant, uid, outcome] :
       std::initializer_list<std::tuple<std::string, uid_t, std::string>>{
           {"ln -s ../victim $L", 0, "taken"},
           {"mkfifo $L", 0, "taken"},
           {"mkdir $L", 0, "taken"},
           {"ln ../victim $L", 0, "taken"},
           {"mkdir $L; touch $L/x", 0, "ein Ordner"},
           {"chmod 1777 $D; : held", 65534, "busy"},
           {"chmod 777 $D; touch $L; chmod 600 $L", 65534, "taken"},
           {"chmod 1777 $D; touch $L; chmod 600 $L", 65534, "nicht ersetzbar"},
           {"chmod 1777 $D; touch $L; chown 65533 $L", 65534, "nicht ersetzbar"},
           {"chmod 555 $D", 65534, "nicht anlegbar"}}) {
    SCOPED_TRACE(plant + " as " + std::to_string(uid));
    if (uid != 0 && geteuid() != 0) continue;  // only root can take another account's part
    std::filesystem::remove_all(folder);
    mkdir(folder.c_str(), 0700);
    WriteFile(box.File("victim"), "keep");
    ASSERT_EQ(RunProgram({"/bin/sh", "-c", "cd $D; " + plant}, {{"D", folder}, {"L", lock}}).status,
              0);
    std::optional<RunLock> holder;
    if (plant.ends_with("held")) holder.emplace(lock, std::chrono::seconds(0));
    EXPECT_EQ(outcomes.at(InChild([&] {
      if (uid != 0 && (setgid(uid) != 0 || setuid(uid) != 0)) return 9;
      const RunLock run(lock, std::chrono::milliseconds(0));
      const auto fault = std::find(outcomes.begin(), outcomes.end(), run.fault());
      return static_cast<int>(run.fault().empty() ? static_cast<long>(run.state())
                                                  : fault - outcomes.begin());
    })),
              outcome);
    EXPECT_EQ(ReadFile(box.File("victim")), "keep");
    struct stat st {};
    EXPECT_TRUE(outcome != "taken" || (lstat(lock.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
                                       st.st_nlink == 1 && (st.st_mode & 0777) == 0644));
  }
}

}  // namespace
}  // namespace pellvane
