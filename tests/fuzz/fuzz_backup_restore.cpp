// Any bytes as the backup file through RestoreSettings: no crash; a refused file leaves the
// record as it was; an accepted one backs up again to exactly the bytes of its record.
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "fuzz_folder.h"
#include "platform/program_folder.h"
#include "platform/run_log.h"
#include "settings/backup.h"
#include "settings/hp_reg.h"
#include "support/recording_dialogs.h"

namespace {

// The program folder for the whole run, also the store's home.
const std::string& Folder() {
  static const std::string& folder = [] {
    setenv("PELLVANE_HOME", pellvane::fuzzing::FuzzFolder().c_str(), 1);
    return pellvane::fuzzing::FuzzFolder();
  }();
  return folder;
}

void Write(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

std::string Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const std::string sav = Folder() + pellvane::kBackupFileName;
  Write(sav, bytes);

  pellvane::SettingsRecord record = pellvane::DefaultRecord();
  record.lastip = "192.0.2.1";
  const pellvane::SettingsRecord before = record;
  pellvane::testing::RecordingDialogs dialogs;
  pellvane::FixedClock clock(0);
  pellvane::RunLog log("/dev/null", clock, record.writelog);
  if (!pellvane::RestoreSettings(record, Folder(), log, dialogs)) {
    if (!(record == before) || dialogs.boxes.size() != 1) std::abort();
    return 0;
  }
  if (!dialogs.boxes.empty()) std::abort();
  if (!pellvane::BackupSettings(record, Folder(), log, dialogs)) std::abort();
  const std::string again = Read(sav);
  // Bytes after the record are never read, so only the record's own bytes come back.
  if (again.size() > bytes.size() || bytes.compare(0, again.size(), again) != 0) std::abort();
  return 0;
}
