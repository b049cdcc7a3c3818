#include "platform/safe_file.h"

#include <utility>

namespace pellvane {

SafeFile SafeFile::Failed(int error) {
  SafeFile file;
  file.error_ = error;
  return file;
}

SafeFile& SafeFile::operator=(SafeFile&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = other.fd_;
    error_ = other.error_;
    other.fd_ = -1;
  }
  return *this;
}

SafeFile::~SafeFile() { Close(); }

bool SafeFile::WriteAll(std::string_view bytes) {
  while (!bytes.empty()) {
    const long n = WriteSome(bytes.data(), bytes.size());
    if (n <= 0) {
      error_ = LastError();
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

bool SafeFile::Close() {
  if (fd_ < 0) return true;
  if (CloseDescriptor(std::exchange(fd_, -1))) return true;
  error_ = LastError();
  return false;
}

bool NewFile::Fail(int error) {
  failed_ = true;
  error_ = error;
  return false;
}

bool ReadRegularFile(const std::string& path, std::string* bytes, std::size_t limit) {
  SafeFile file = OpenForReading(path);
  bytes->clear();
  char buffer[65536];
  long n = 0;
  while (file.is_open() && (n = file.Read(buffer, sizeof buffer)) > 0) {
    if (bytes->size() + static_cast<std::size_t>(n) > limit) return false;
    bytes->append(buffer, static_cast<std::size_t>(n));
  }
  return file.is_open() && n == 0;
}

bool NewFile::Write(std::string_view bytes) {
  if (!is_open() || failed_) return false;
  return file_.WriteAll(bytes) || Fail(SafeFile::LastError());
}

}  // namespace pellvane
