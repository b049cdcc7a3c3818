// pellvane-window as a process: no display, and a whole start to the first paint and out.
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/dialogs.h"
#include "settings/hp_reg.h"
#include "support/env_registry.h"
#include "support/run_program.h"
#include "support/temp_dir.h"
#include "ui/frm_main.h"

namespace pellvane::testing {
namespace {

TEST(WindowProgramTest, WithoutADisplayItSaysSoAndEndsWithOne) {
  TempDir home;
  const ProgramResult r = RunProgram({PELLVANE_WINDOW_BIN}, {{"DISPLAY", std::nullopt},
                                                             {"WAYLAND_DISPLAY", std::nullopt},
                                                             {"QT_QPA_PLATFORM", std::nullopt},
                                                             {"PELLVANE_HOME", home.path()}});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("keine grafische Anzeige"), std::string::npos) << r.err;
  EXPECT_FALSE(FileExists(home.File("registry.sqlite3")));
}

TEST(WindowProgramTest, StartsPaintsSavesItsPictureAndEndsThroughUnload) {
  TempDir home;
  const std::string picture = home.File("fenster.png");
  const ProgramResult r = RunProgram({PELLVANE_WINDOW_BIN}, {{"QT_QPA_PLATFORM", "offscreen"},
                                                             {"PELLVANE_HOME", home.path()},
                                                             {"PELLVANE_SCREENSHOT", picture}});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadFile(picture).substr(0, 8), "\x89PNG\r\n\x1a\n");
  // Start-up stored the built-in echo URL as web server 1.
  setenv("PELLVANE_HOME", home.path().c_str(), 1);
  HeadlessDialogs dialogs;
  Settings settings(dialogs, StorePathFromEnvironment());
  settings.LoadSettings();
  EXPECT_EQ(settings.record().wserver[0], kEchoUrl);
}

}  // namespace
}  // namespace pellvane::testing
