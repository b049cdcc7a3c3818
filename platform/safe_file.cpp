#include "platform/safe_file.h"

namespace pellvane {

SafeFile& SafeFile::operator=(SafeFile&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = other.fd_;
    other.fd_ = -1;
  }
  return *this;
}

SafeFile::~SafeFile() { Close(); }

bool NewFile::Write(std::string_view bytes) {
  if (!is_open() || failed_) return false;
  failed_ = !file_.WriteAll(bytes);
  return !failed_;
}

}  // namespace pellvane
