// When the last check and the last publish of a run without a window happened and how they
// ended, kept in pellvane.status in the program folder (written whole, the safe way), and
// --status, which shows it with the stored address and the published page's state.
// Not safe from two threads.
#pragma once

#include <cstdio>
#include <ctime>
#include <string>

#include "platform/file_system.h"

namespace pellvane {

inline constexpr const char* kStatusFileName = PELLVANE_SEPARATOR "pellvane.status";

struct RunStatus {
  std::time_t checked = 0;  // 0: never
  std::string check_result;
  std::time_t published = 0;  // the last publish begun; 0: never
  std::string publish_result;
  bool operator==(const RunStatus&) const = default;
};

// Replaces the check's entry, and the publish's when one was begun, in pellvane.status:
// `address` is the valid address the check got (empty: none), `failure` the run's reason when
// it did not end with 0.
void RecordRun(const std::string& address, bool publish_begun, bool ok, const std::string& failure,
               std::time_t now, FileSystem& files, const std::string& folder);

// What pellvane.status in `folder` holds; a missing or unreadable file reads as never.
RunStatus ReadRunStatus(FileSystem& files, const std::string& folder);
// Replaces pellvane.status whole; false when it could not be written.
bool WriteRunStatus(FileSystem& files, const std::string& folder, const RunStatus& status);

// --status: name: value lines on `out`; always 0.
int PrintStatus(const std::string& program_folder, const std::string& store_path, std::FILE* out);

}  // namespace pellvane
