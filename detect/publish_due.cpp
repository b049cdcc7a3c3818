#include "detect/publish_due.h"

namespace pellvane {

bool PublishDue::IsDue() const { return files_.Exists(path_); }

bool PublishDue::Set() {
  const std::unique_ptr<ReplacementFile> mark = files_.Replace(path_, 0600);
  return mark && mark->Commit();
}

void PublishDue::Clear() { files_.Remove(path_); }

}  // namespace pellvane
