// The backup file pellvane.sav: the settings record as one binary image, written by -backup
// and read back by -restore. Not safe from two threads.
#pragma once

#include <string>

#include "platform/dialogs.h"
#include "platform/file_system.h"
#include "platform/run_log.h"
#include "settings/settings_record.h"

namespace pellvane {

// Writes the record to folder + "/pellvane.sav" through `files`, whole or not at all, logs and
// shows the closing message. False (and the failure message) when it could not be written.
bool BackupSettings(const SettingsRecord& record, const std::string& folder, const RunLog& log,
                    Dialogs& dialogs, FileSystem& files);

// Logs and shows the failure message of a backup, with `reason` in brackets; returns false.
bool BackupFailed(const std::string& folder, const std::string& reason, const RunLog& log,
                  Dialogs& dialogs);

// Reads folder + "/pellvane.sav" into the record. A missing, short or broken file leaves the
// record untouched, logs and shows the failure message and returns false.
bool RestoreSettings(SettingsRecord& record, const std::string& folder, const RunLog& log,
                     Dialogs& dialogs, FileSystem& files);

}  // namespace pellvane
