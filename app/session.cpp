#include "app/session.h"

#include "platform/program_folder.h"

namespace pellvane {

Session::Session(Dialogs& dialogs, const Clock& clock, const SessionConfig& config,
                 FileSystem& files)
    : settings(dialogs, config.store_path),
      log(config.program_folder + kLogFileName, clock, settings.record().writelog, files),
      inet(config.transfer),
      window(settings, dialogs, log, inet, config.program_folder, config.command_line, files) {}

}  // namespace pellvane
