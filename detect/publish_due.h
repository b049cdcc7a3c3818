// The mark that a changed address still waits for its publish. It is set, durably, before the
// new address is stored and cleared once the page is uploaded, so that a run killed, crashed or
// failed in between leaves it behind and the next check publishes although the address it finds
// is the stored one. Not safe from two threads; runs are kept apart by the run lock.
#pragma once

#include <string>

#include "platform/program_folder.h"

namespace pellvane {

class PublishDue {
 public:
  explicit PublishDue(const std::string& program_folder) : path_(program_folder + kDueFileName) {}

  bool IsDue() const;
  // False when the mark could not be made durable.
  bool Set();
  void Clear();

 private:
  std::string path_;
};

}  // namespace pellvane
