#include "platform/safe_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace pellvane {
namespace {

// Keeps the descriptor only when it names a regular file; blocking again from then on.
SafeFile RegularOnly(int fd) {
  if (fd < 0) return SafeFile::Failed(errno);
  SafeFile file(fd);
  struct stat st {};
  if (fstat(fd, &st) != 0) return SafeFile::Failed(errno);
  if (!S_ISREG(st.st_mode)) return SafeFile::Failed(kNotAFile);
  const int flags = fcntl(fd, F_GETFL);
  if (flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) return SafeFile::Failed(errno);
  return file;
}

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// Only a regular file or a link may be replaced, never a device, a FIFO or a folder: 0 when
// the path may be replaced, else why not.
int NotReplaceable(const std::string& path) {
  struct stat st {};
  if (lstat(path.c_str(), &st) != 0) return errno == ENOENT ? 0 : errno;
  return S_ISREG(st.st_mode) || S_ISLNK(st.st_mode) ? 0 : kNotAFile;
}

// Makes the folder's entries (a rename, a removal) durable.
bool SyncFolderOf(const std::string& path) {
  SafeFile folder(open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  return folder.is_open() && fsync(folder.fd()) == 0;
}

}  // namespace

long SafeFile::Read(char* buffer, std::size_t size) {
  ssize_t n;
  do {
    n = read(fd_, buffer, size);
  } while (n < 0 && errno == EINTR);
  if (n < 0) error_ = errno;
  return static_cast<long>(n);
}

long long SafeFile::Size() const {
  struct stat st {};
  return fstat(fd_, &st) == 0 ? static_cast<long long>(st.st_size) : -1;
}

long SafeFile::WriteSome(const char* data, std::size_t size) {
  ssize_t n;
  do {
    n = write(fd_, data, size);
  } while (n < 0 && errno == EINTR);
  return static_cast<long>(n);
}

bool SafeFile::CloseDescriptor(int fd) { return close(fd) == 0; }

int SafeFile::LastError() { return errno; }

std::string SystemErrorText(int code) {
  return code == kNotAFile ? "keine Datei" : std::strerror(code);
}

SafeFile OpenForReading(const std::string& path) {
  return RegularOnly(open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
}

SafeFile OpenForAppend(const std::string& path, int mode) {
  return RegularOnly(
      open(path.c_str(),
           O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, mode));
}

NewFile::NewFile(const std::string& path, int mode) : path_(path) {
  if (const int error = NotReplaceable(path); error != 0) {
    Fail(error);
    return;
  }
  temp_ = path + ".XXXXXX";
  // mkstemp creates the name exclusively: no link or FIFO planted under it can be opened.
  const int fd = mkstemp(temp_.data());
  if (fd < 0) {
    Fail(errno);
    temp_.clear();
    return;
  }
  file_ = SafeFile(fd);
  if (fchmod(fd, static_cast<mode_t>(mode)) != 0) Fail(errno);
}

NewFile::~NewFile() {
  if (!temp_.empty()) unlink(temp_.c_str());
}

bool NewFile::Commit() {
  if (!is_open() || failed_) return false;
  if (fsync(file_.fd()) != 0 || !file_.Close()) return Fail(errno);
  if (const int error = NotReplaceable(path_); error != 0) return Fail(error);
  if (rename(temp_.c_str(), path_.c_str()) != 0) return Fail(errno);
  temp_.clear();
  return SyncFolderOf(path_) || Fail(errno);
}

std::optional<std::uint64_t> RegularFileSize(const std::string& path) {
  struct stat st {};
  if (lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  return static_cast<std::uint64_t>(st.st_size);
}

bool RenameFile(const std::string& from, const std::string& to) {
  if (rename(from.c_str(), to.c_str()) != 0) return false;
  SyncFolderOf(to);
  return true;
}

bool PathExists(const std::string& path) {
  struct stat st {};
  return lstat(path.c_str(), &st) == 0;
}

}  // namespace pellvane
