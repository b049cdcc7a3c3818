// The program folder: where the run log, the backup file and tmp.htm live, and the file
// names appended to it. Safe from two threads.
#pragma once

#include <string>

namespace pellvane {

// Appended to the program folder as they stand, with the platform's separator.
inline constexpr const char* kLogFileName = PELLVANE_SEPARATOR "pellvane.log";
inline constexpr const char* kBackupFileName = PELLVANE_SEPARATOR "pellvane.sav";
inline constexpr const char* kPageFileName = PELLVANE_SEPARATOR "tmp.htm";
// The lock held while a check and its publish run.
inline constexpr const char* kRunLockFileName = PELLVANE_SEPARATOR "pellvane.lock";

// The folder of the running executable, without a trailing separator; empty when unknown.
std::string ExecutableFolder();

// What the folder is chosen from; each pointer may be null when the variable is unset.
struct FolderSources {
  const char* pellvane_home = nullptr;
  const char* xdg_data_home = nullptr;
  const char* home = nullptr;
  std::string executable_folder;  // empty when unknown
};

// Linux: $PELLVANE_HOME when set; else the executable's folder when it is writable and not an
// installed program's folder (one named "bin"); else ${XDG_DATA_HOME:-$HOME/.local/share}/pellvane,
// created (0700) when missing.
// The result has no trailing slash, except for the root itself.
std::string ResolveProgramFolder(const FolderSources& sources);

}  // namespace pellvane
