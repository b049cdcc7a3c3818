#include "app/environment.h"

#include <cstdlib>

#include "platform/program_folder.h"
#include "platform/registry.h"
#include "settings/settings_table.h"

namespace pellvane {

std::string HomeFolder() {
  const char* profile = std::getenv("USERPROFILE");
  return profile != nullptr ? profile : "";
}

std::string StorePathFromEnvironment() {
  return Registry(std::string("HKEY_LOCAL_MACHINE\\") + kSettingsKeyPath).store_path();
}

std::string ProgramFolderFromEnvironment() { return ExecutableFolder(); }

}  // namespace pellvane
