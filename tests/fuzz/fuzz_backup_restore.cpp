// Any bytes as the backup file through RestoreSettings: no crash; a refused file leaves the
// record as it was; an accepted one backs up again to exactly the bytes of its record.
#include <cstdlib>

#include "settings/backup.h"
#include "support/harness.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace pellvane;
  static const testing::Sandbox box;
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  testing::WriteFile(box.File("pellvane.sav"), bytes);
  SettingsRecord record = DefaultRecord();
  record.lastip = "192.0.2.1";
  const SettingsRecord before = record;
  testing::RecordingDialogs dialogs;
  FixedClock clock(0);
  RunLog log("/dev/null", clock, record.writelog, RealFileSystem());
  if (!RestoreSettings(record, box.path(), log, dialogs, RealFileSystem())) {
    if (!(record == before) || dialogs.boxes.size() != 1) std::abort();
    return 0;
  }
  if (!dialogs.boxes.empty() || !BackupSettings(record, box.path(), log, dialogs, RealFileSystem()))
    std::abort();
  const std::string again = testing::ReadFile(box.File("pellvane.sav"));
  // Bytes after the record are never read, so only the record's own bytes come back.
  if (again.size() > bytes.size() || bytes.compare(0, again.size(), again) != 0) std::abort();
  return 0;
}
