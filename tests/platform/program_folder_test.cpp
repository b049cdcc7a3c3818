#include "platform/program_folder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "support/temp_dir.h"

namespace pellvane {
namespace {

using testing::TempDir;

TEST(ProgramFolder, PellvaneHomeWinsAndLosesItsTrailingSlash) {
  TempDir dir;
  FolderSources s;
  const std::string home = dir.path() + "/";
  s.pellvane_home = home.c_str();
  s.executable_folder = dir.path();
  EXPECT_EQ(ResolveProgramFolder(s), dir.path());
}

TEST(ProgramFolder, WritableExecutableFolderComesNext) {
  TempDir dir;
  FolderSources s;
  s.pellvane_home = "";  // set but empty counts as unset
  s.executable_folder = dir.path();
  EXPECT_EQ(ResolveProgramFolder(s), dir.path());
}

struct Paths {
  std::string exe, data;
};

int ResolveFromReadOnlyExe(void* arg) {
  auto* p = static_cast<Paths*>(arg);
  FolderSources s;
  s.executable_folder = p->exe;
  s.xdg_data_home = p->data.c_str();
  const std::string folder = ResolveProgramFolder(s);
  struct stat st {};
  if (folder != p->data + "/pellvane") return 1;
  if (stat(folder.c_str(), &st) != 0 || (st.st_mode & 0777) != 0700) return 2;
  return 0;
}

TEST(ProgramFolder, ReadOnlyExecutableFolderFallsBackToTheDataFolder) {
  TempDir dir;
  chmod(dir.path().c_str(), 0755);  // the unprivileged child must reach into it
  Paths p{dir.File("portable"), dir.File("data")};
  mkdir(p.exe.c_str(), 0555);
  mkdir(p.data.c_str(), 0777);
  chmod(p.data.c_str(), 0777);
  EXPECT_EQ(testing::RunUnprivileged(ResolveFromReadOnlyExe, &p), 0);
}

TEST(ProgramFolder, AnInstalledProgramsWritableFolderIsNotUsed) {
  TempDir dir;
  mkdir(dir.File("bin").c_str(), 0700);
  FolderSources s;
  s.executable_folder = dir.File("bin");
  s.xdg_data_home = dir.path().c_str();
  EXPECT_EQ(ResolveProgramFolder(s), dir.path() + "/pellvane");
}

TEST(ProgramFolder, DataFolderDefaultsBelowHome) {
  TempDir dir;
  FolderSources s;
  const std::string home = dir.path();
  s.home = home.c_str();
  EXPECT_EQ(ResolveProgramFolder(s), dir.path() + "/.local/share/pellvane");
}

}  // namespace
}  // namespace pellvane
