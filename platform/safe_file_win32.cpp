#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <random>

#include "platform/safe_file.h"
#include "platform/wide_text.h"

namespace pellvane {
namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// What one call of the C runtime's _read or _write takes of `size` bytes: at most 1 GiB.
unsigned Part(std::size_t size) { return size > 1u << 30 ? 1u << 30 : static_cast<unsigned>(size); }

// Keeps the handle only when it names a regular file on a disk (no device, pipe or console,
// and not a link: links are opened as themselves and refused), as a C runtime descriptor.
SafeFile RegularOnly(HANDLE h, int flags) {
  if (h == INVALID_HANDLE_VALUE) return SafeFile();
  BY_HANDLE_FILE_INFORMATION info{};
  if (GetFileType(h) != FILE_TYPE_DISK || !GetFileInformationByHandle(h, &info) ||
      (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) {
    CloseHandle(h);
    return SafeFile();
  }
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), flags | _O_BINARY);
  if (fd < 0) CloseHandle(h);
  return SafeFile(fd);
}

// Only a regular file or a link may be replaced: never a folder or a device.
bool Replaceable(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(Widen(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return GetLastError() == ERROR_FILE_NOT_FOUND;
  return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ||
         (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) == 0;
}

std::string RandomSuffix() {
  static std::mt19937_64 random{std::random_device{}()};
  static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::string suffix = ".";
  for (int i = 0; i < 8; ++i) suffix += kLetters[random() % (sizeof kLetters - 1)];
  return suffix;
}

}  // namespace

long SafeFile::Read(char* buffer, std::size_t size) { return _read(fd_, buffer, Part(size)); }

long long SafeFile::Size() const {
  struct _stati64 st {};
  return _fstati64(fd_, &st) == 0 ? static_cast<long long>(st.st_size) : -1;
}

long SafeFile::WriteSome(const char* data, std::size_t size) {
  return _write(fd_, data, Part(size));
}

bool SafeFile::CloseDescriptor(int fd) { return _close(fd) == 0; }

SafeFile OpenForReading(const std::string& path) {
  return RegularOnly(CreateFileW(Widen(path).c_str(), GENERIC_READ, kShareAll, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr),
                     _O_RDONLY);
}

SafeFile OpenForAppend(const std::string& path, int) {
  // Append rights only: every write lands at the end, also with another process appending.
  return RegularOnly(CreateFileW(Widen(path).c_str(), FILE_APPEND_DATA | SYNCHRONIZE, kShareAll,
                                 nullptr, OPEN_ALWAYS, FILE_FLAG_OPEN_REPARSE_POINT, nullptr),
                     _O_WRONLY);
}

NewFile::NewFile(const std::string& path, int) : path_(path) {
  if (!Replaceable(path)) return;
  // CREATE_NEW makes the name exclusively; nothing planted under it is opened.
  for (int attempt = 0; attempt < 16 && !file_.is_open(); ++attempt) {
    temp_ = path + RandomSuffix();
    const HANDLE h = CreateFileW(Widen(temp_).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) break;
    if (h != INVALID_HANDLE_VALUE) file_ = RegularOnly(h, _O_WRONLY);
  }
  if (!file_.is_open()) temp_.clear();
}

NewFile::~NewFile() {
  file_.Close();
  if (!temp_.empty()) DeleteFileW(Widen(temp_).c_str());
}

bool NewFile::Commit() {
  if (!is_open() || failed_) return false;
  const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(file_.fd()));
  if (!FlushFileBuffers(handle) || !file_.Close() || !Replaceable(path_)) return false;
  // A link at the path is replaced itself; its target is left alone.
  if (!MoveFileExW(Widen(temp_).c_str(), Widen(path_).c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return false;
  }
  temp_.clear();
  return true;
}

bool PathExists(const std::string& path) {
  return GetFileAttributesW(Widen(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace pellvane
