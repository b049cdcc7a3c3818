// The local files: where the program folder is, the run log's lines, and the filled template.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <clocale>

#include "app/environment.h"
#include "platform/program_folder.h"
#include "platform/registry.h"
#include "platform/run_log.h"
#include "publish/template_fill.h"
#include "support/harness.h"

namespace pellvane {
namespace {

using namespace testing;

// The program folder: home, then a writable program folder, then the data folder; the store
// follows the environment at every call.
TEST(ProgramFolderTest, HomeThenAWritableProgramFolderThenTheDataFolder) {
  Sandbox box;
  const std::string bin = box.File("portable"), data = box.File("data");
  mkdir(bin.c_str(), 0555);
  mkdir(data.c_str(), 0777);
  chmod(box.path().c_str(), 0755);  // the unprivileged child must reach into it
  chmod(data.c_str(), 0777);
  EXPECT_EQ(ResolveProgramFolder({(box.path() + "/").c_str(), nullptr, nullptr, box.path()}),
            box.path());
  EXPECT_EQ(ResolveProgramFolder({"", nullptr, nullptr, box.path()}), box.path()) << "empty: unset";
  EXPECT_EQ(ResolveProgramFolder({nullptr, nullptr, box.path().c_str(), ""}),
            box.File(".local/share/pellvane"));
  mkdir(box.File("bin").c_str(), 0700);
  EXPECT_EQ(ResolveProgramFolder({nullptr, data.c_str(), nullptr, box.File("bin")}),
            data + "/pellvane")
      << "an installed program's writable folder is not used";
  EXPECT_EQ(InChild(
                [&] {
                  const std::string f = ResolveProgramFolder({nullptr, data.c_str(), nullptr, bin});
                  return f == data + "/pellvane" && Mode(f) == 0700 ? 0 : 1;
                },
                true),
            0)
      << "a read-only program folder falls back to the data folder";
  for (const auto& [vars, path] : std::initializer_list<std::pair<EnvVars, const char*>>{
           {{{"PELLVANE_HOME", "/p"}, {"XDG_CONFIG_HOME", "/x"}}, "/p/registry.sqlite3"},
           {{{"PELLVANE_HOME", {}}, {"XDG_CONFIG_HOME", "/x"}}, "/x/pellvane/registry.sqlite3"},
           {{{"PELLVANE_HOME", ""}, {"XDG_CONFIG_HOME", ""}, {"HOME", "/h"}},
            "/h/.config/pellvane/registry.sqlite3"}}) {
    Env env(vars);
    EXPECT_EQ(StorePathFromEnvironment(), path);
  }
}

TEST(RunLogTest, AppendsTimestampedCrLfLines) {
  Env utc(EnvVars{{"TZ", "UTC"}});
  tzset();
  std::setlocale(LC_ALL, "C");
  Sandbox box;
  FixedClock clock(1796565909);  // 2026-12-06 14:05:09 UTC
  bool on = true;
  int yields = 0;
  RunLog log(box.File("pellvane.log"), clock, on);
  log.SetYieldHook([&] { ++yields; });
  log.WriteLog("Checke IP");
  log.WriteLog("");
  clock.Set(1796515200);  // midnight
  log.WriteLog("Backup beendet...\rEinstellungen");
  EXPECT_EQ(ReadFile(log.path()),
            "12/06/26 14:05:09 - Checke IP\r\n\r\n"
            "12/06/26 - Backup beendet...\rEinstellungen\r\n");
  std::remove(log.path().c_str());
  mkdir(log.path().c_str(), 0700);  // a folder in the log file's place: the line is lost
  log.WriteLog("lost");
  EXPECT_EQ(yields, 4) << "every line lets the window repaint";
  if (std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr) {
    EXPECT_EQ(FormatTimestamp(1796565909), "06.12.2026 14:05:09");
    std::setlocale(LC_ALL, "C");
  }
}

TEST(FillTemplateTest, ReplacesEveryMarkerEndsEachLineCrCrLfAndFailsLeavingTheOldPage) {
  Sandbox box;
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
           {std::string(70000, 'x') + "'!!!***IP***!!!'",
            std::string(70000, 'x') + "1.2.3.4\r\r\n"},
           {std::string("\xe4\xf6\0\xff\r\n\xc3\xa4", 8),
            std::string("\xe4\xf6\0\xff\r\r\n\xc3\xa4\r\r\n", 12)},
           // Markers and line ends across the edge of one 64 KiB read.
           {a + "'!!!***IP***!!!'\r\n", a + "1.2.3.4\r\r\n"},
           {b + "\r\nx", b + "\r\r\nx\r\r\n"},
           {b + "\ry", b + "\r\r\ny\r\r\n"},
           {a + "'!!!***", a + "'!!!***\r\r\n"}}) {
    WriteFile(box.File("t.html"), in);
    ASSERT_EQ(FillTemplate(box.File("t.html"), box.File("tmp.htm"), "1.2.3.4", kIpMarker),
              FillResult::kOk);
    EXPECT_EQ(ReadFile(box.File("tmp.htm")), out) << ::testing::PrintToString(in.substr(0, 60));
  }
  // Failures leave the old page.
  WriteFile(box.File("tmp.htm"), "old page");
  for (const std::string& t : {box.File("missing.html"), box.path()}) {
    EXPECT_EQ(FillTemplate(t, box.File("tmp.htm"), "1.2.3.4", kIpMarker),
              FillResult::kTemplateUnreadable);
  }
  EXPECT_EQ(ReadFile(box.File("tmp.htm")), "old page");
  WriteFile(box.File("t.html"), "x");
  for (const std::string& out : {box.path(), std::string("/dev/full")}) {
    EXPECT_EQ(FillTemplate(box.File("t.html"), out, "1.2.3.4", kIpMarker),
              FillResult::kOutputUnwritable);
  }
}

}  // namespace
}  // namespace pellvane
