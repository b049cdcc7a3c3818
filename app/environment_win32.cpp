#include "app/environment.h"

#include "platform/program_folder.h"
#include "platform/registry.h"
#include "settings/settings_table.h"

namespace pellvane {

const char* const kEnvironmentHelp =
    "PELLVANE_CONNECT_TIMEOUT und PELLVANE_REQUEST_TIMEOUT (Sekunden)";

std::string StorePathFromEnvironment() {
  return Registry(std::string("HKEY_LOCAL_MACHINE\\") + kSettingsKeyPath).store_path();
}

std::string ProgramFolderFromEnvironment() { return ExecutableFolder(); }

}  // namespace pellvane
