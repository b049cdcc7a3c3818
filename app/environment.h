// What a run takes from its environment (PELLVANE_HOME, XDG_*, HOME, the time-out variables,
// CURL_CA_BUNDLE) and the executable's place: read here and handed down, never below app/.
// On Windows the program folder is the executable's and the store is the registry key.
// Not safe while another thread changes the environment.
#pragma once

#include <string>

#include "app/session.h"
#include "transfer/inet.h"

namespace pellvane {

// The account's home folder: HOME, or without it (a system service) the one the system names
// for the account. Windows: USERPROFILE. Empty when there is none.
std::string HomeFolder();

// $PELLVANE_HOME/registry.sqlite3, else ${XDG_CONFIG_HOME:-<home>/.config}/pellvane/
// registry.sqlite3. Windows: the settings key's full name, HKEY_LOCAL_MACHINE\SOFTWARE\...,
// or the same under HKEY_CURRENT_USER where the account may not write the machine's.
std::string StorePathFromEnvironment();

// The program folder chosen from PELLVANE_HOME, XDG_DATA_HOME, HOME (or the account's home
// folder) and the executable's folder; see ResolveProgramFolder. Windows: the executable's.
std::string ProgramFolderFromEnvironment();

// The time-outs from PELLVANE_CONNECT_TIMEOUT and PELLVANE_REQUEST_TIMEOUT (seconds; the
// built-in ones when unset or not a positive number), CURL_CA_BUNDLE, ~/.ssh/known_hosts in
// HomeFolder(), and the proxy variables.
TransferSettings TransferFromEnvironment();

// All of the above, with the command line as one text.
SessionConfig ConfigFromEnvironment(std::string command_line);

}  // namespace pellvane
