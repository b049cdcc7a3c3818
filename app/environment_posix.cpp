#include "app/environment.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/program_folder.h"

namespace pellvane {
namespace {

bool IsSet(const char* value) { return value != nullptr && *value != '\0'; }

}  // namespace

std::string HomeFolder() {
  if (const char* home = std::getenv("HOME"); IsSet(home)) return home;
  // A system service may run without HOME; the account's own home folder stands in.
  const passwd* account = getpwuid(getuid());
  return account != nullptr && account->pw_dir != nullptr ? account->pw_dir : "";
}

std::string StorePathFromEnvironment() {
  const char* home = std::getenv("PELLVANE_HOME");
  if (IsSet(home)) return std::string(home) + "/registry.sqlite3";
  const char* config = std::getenv("XDG_CONFIG_HOME");
  const std::string folder = IsSet(config) ? std::string(config) : HomeFolder() + "/.config";
  return folder + "/pellvane/registry.sqlite3";
}

std::string ProgramFolderFromEnvironment() {
  FolderSources s;
  s.pellvane_home = std::getenv("PELLVANE_HOME");
  s.xdg_data_home = std::getenv("XDG_DATA_HOME");
  const std::string home = HomeFolder();
  s.home = home.c_str();
  s.executable_folder = ExecutableFolder();
  return ResolveProgramFolder(s);
}

}  // namespace pellvane
