#include "detect/publish_due.h"

#include <sys/stat.h>
#include <unistd.h>

#include "platform/safe_file.h"

namespace pellvane {

bool PublishDue::IsDue() const {
  struct stat st {};
  return lstat(path_.c_str(), &st) == 0;
}

bool PublishDue::Set() {
  NewFile mark(path_, 0600);
  return mark.Commit();
}

void PublishDue::Clear() {
  if (unlink(path_.c_str()) == 0) SyncFolderOf(path_);
}

}  // namespace pellvane
