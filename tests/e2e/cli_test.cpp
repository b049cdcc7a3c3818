// The built program, run as a user or a scheduler runs it.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "e2e/log_texts.h"
#include "platform/dialogs.h"
#include "settings/hp_reg.h"
#include "support/env_registry.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

namespace pellvane {
namespace {

using testing::LogTexts;
using testing::ReadFile;
using testing::RunProgram;
using testing::TempDir;

class CliTest : public ::testing::Test {
 protected:
  CliTest() { setenv("PELLVANE_HOME", dir_.path().c_str(), 1); }

  void EnableLog() {
    HeadlessDialogs dialogs;
    Settings s(dialogs, StorePathFromEnvironment());
    s.InitSettingsKey();
    s.record().writelog = true;
    s.SaveSettings();
  }

  testing::ProgramResult Run(const std::vector<std::string>& args,
                             std::map<std::string, std::optional<std::string>> env = {}) {
    std::vector<std::string> argv{PELLVANE_BIN};
    argv.insert(argv.end(), args.begin(), args.end());
    env.emplace("PELLVANE_HOME", dir_.path());
    return RunProgram(argv, env);
  }

  TempDir dir_;
};

TEST_F(CliTest, HelpAndVersionStartNothing) {
  auto version = Run({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, std::string("pellvane ") + PELLVANE_VERSION + "\n");
  auto help = Run({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find(dir_.path()), std::string::npos);
  EXPECT_FALSE(testing::FileExists(dir_.File("registry.sqlite3")));
}

TEST_F(CliTest, BackupWritesTheFileLogsAndSaysSo) {
  EnableLog();
  auto r = Run({"-BACKUP"});
  EXPECT_EQ(r.status, 0);
  const std::string message =
      "Backup beendet...\rEinstellungen in " + dir_.path() + "/pellvane.sav gesichert.";
  EXPECT_EQ(r.out, message + "\n");
  struct stat st {};
  ASSERT_EQ(stat(dir_.File("pellvane.sav").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_EQ(LogTexts(ReadFile(dir_.File("pellvane.log"))),
            (std::vector<std::string>{"Starte Programm mit Parameter \"-BACKUP\"",
                                      "Starte Backup...", message, "Beende Programm", ""}));
}

TEST_F(CliTest, InteractiveStartWithoutDisplayEndsWithOne) {
  auto r = Run({"-restore"}, {{"DISPLAY", std::nullopt},
                              {"WAYLAND_DISPLAY", std::nullopt},
                              {"QT_QPA_PLATFORM", std::nullopt}});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("keine grafische Anzeige"), std::string::npos);
}

TEST_F(CliTest, HeadlessProgramLinksNoQt) {
  auto r = RunProgram({"/usr/bin/ldd", PELLVANE_BIN}, {});
  ASSERT_EQ(r.status, 0);
  EXPECT_EQ(r.out.find("libQt"), std::string::npos) << r.out;
}

}  // namespace
}  // namespace pellvane
