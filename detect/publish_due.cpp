#include "detect/publish_due.h"

#include "platform/safe_file.h"

namespace pellvane {

bool PublishDue::IsDue() const { return PathExists(path_); }

bool PublishDue::Set() {
  NewFile mark(path_, 0600);
  return mark.Commit();
}

void PublishDue::Clear() { RemoveFile(path_); }

}  // namespace pellvane
