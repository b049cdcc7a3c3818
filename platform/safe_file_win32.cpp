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
  if (h == INVALID_HANDLE_VALUE) return SafeFile::Failed(static_cast<int>(GetLastError()));
  BY_HANDLE_FILE_INFORMATION info{};
  if (GetFileType(h) != FILE_TYPE_DISK || !GetFileInformationByHandle(h, &info) ||
      (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) {
    CloseHandle(h);
    return SafeFile::Failed(kNotAFile);
  }
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), flags | _O_BINARY);
  if (fd >= 0) return SafeFile(fd);
  CloseHandle(h);
  return SafeFile::Failed(ERROR_TOO_MANY_OPEN_FILES);
}

// Only a regular file or a link may be replaced, never a folder or a device: 0 when the path
// may be replaced, else why not.
int NotReplaceable(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(Widen(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND ? 0 : static_cast<int>(error);
  }
  const bool file = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ||
                    (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) == 0;
  return file ? 0 : kNotAFile;
}

std::string RandomSuffix() {
  // One engine per thread: new files may be made on several threads at once.
  thread_local std::mt19937_64 random{std::random_device{}()};
  static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::string suffix = ".";
  for (int i = 0; i < 8; ++i) suffix += kLetters[random() % (sizeof kLetters - 1)];
  return suffix;
}

}  // namespace

long SafeFile::Read(char* buffer, std::size_t size) {
  const long n = _read(fd_, buffer, Part(size));
  if (n < 0) error_ = LastError();
  return n;
}

long long SafeFile::Size() const {
  struct _stati64 st {};
  return _fstati64(fd_, &st) == 0 ? static_cast<long long>(st.st_size) : -1;
}

long SafeFile::WriteSome(const char* data, std::size_t size) {
  return _write(fd_, data, Part(size));
}

bool SafeFile::CloseDescriptor(int fd) { return _close(fd) == 0; }

int SafeFile::LastError() { return static_cast<int>(GetLastError()); }

std::string SystemErrorText(int code) {
  if (code == kNotAFile) return "keine Datei";
  wchar_t* text = nullptr;
  const DWORD n = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string out = n > 0 ? Narrow(std::wstring_view(text, n)) : std::string();
  LocalFree(text);
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r' || out.back() == ' ')) {
    out.pop_back();
  }
  return out.empty() ? "Fehler " + std::to_string(code) : out;
}

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
  if (const int error = NotReplaceable(path); error != 0) {
    Fail(error);
    return;
  }
  // CREATE_NEW makes the name exclusively; nothing planted under it is opened.
  DWORD error = ERROR_FILE_EXISTS;
  for (int attempt = 0; attempt < 16 && !file_.is_open(); ++attempt) {
    temp_ = path + RandomSuffix();
    const HANDLE h = CreateFileW(Widen(temp_).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE && (error = GetLastError()) != ERROR_FILE_EXISTS) break;
    if (h != INVALID_HANDLE_VALUE) file_ = RegularOnly(h, _O_WRONLY);
  }
  if (!file_.is_open()) {
    Fail(static_cast<int>(error));
    temp_.clear();
  }
}

NewFile::~NewFile() {
  file_.Close();
  if (!temp_.empty()) DeleteFileW(Widen(temp_).c_str());
}

bool NewFile::Commit() {
  if (!is_open() || failed_) return false;
  const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(file_.fd()));
  if (!FlushFileBuffers(handle) || !file_.Close()) return Fail(SafeFile::LastError());
  if (const int error = NotReplaceable(path_); error != 0) return Fail(error);
  // A link at the path is replaced itself; its target is left alone.
  if (!MoveFileExW(Widen(temp_).c_str(), Widen(path_).c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return Fail(SafeFile::LastError());
  }
  temp_.clear();
  return true;
}

std::optional<std::uint64_t> RegularFileSize(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(Widen(path).c_str(), GetFileExInfoStandard, &data) ||
      (data.dwFileAttributes &
       (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE)) != 0) {
    return std::nullopt;
  }
  return std::uint64_t{data.nFileSizeHigh} << 32 | data.nFileSizeLow;
}

bool RenameFile(const std::string& from, const std::string& to) {
  return NotReplaceable(to) == 0 &&
         MoveFileExW(Widen(from).c_str(), Widen(to).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

bool PathExists(const std::string& path) {
  return GetFileAttributesW(Widen(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace pellvane
