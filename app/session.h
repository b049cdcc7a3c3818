// What one run of the program holds: the settings, the run log, the transfer component and
// the window model, set up alike for runs with and without a window. Not safe from two threads.
#pragma once

#include <string>

#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/file_system.h"
#include "platform/run_log.h"
#include "settings/hp_reg.h"
#include "transfer/inet.h"
#include "ui/frm_main.h"

namespace pellvane {

// Where a run keeps its files and settings, what it was started with, and how it transfers.
struct SessionConfig {
  std::string program_folder;  // the run log, the backup and tmp.htm
  std::string store_path;      // the settings store file
  std::string command_line;    // the arguments as one text
  TransferSettings transfer;
};

struct Session {
  // `dialogs`, `clock` and `files` must outlive the session; `files` holds the run log, the
  // backup and the filled page.
  Session(Dialogs& dialogs, const Clock& clock, const SessionConfig& config,
          FileSystem& files = RealFileSystem());

  Settings settings;
  RunLog log;
  Inet inet;
  frmMain window;
};

}  // namespace pellvane
