#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include "platform/run_lock.h"
#include "platform/wide_text.h"

namespace pellvane {
namespace {

// The lock file at `path`, made when missing; a link or a folder there is opened as itself and
// refused. No delete sharing: while any run has it open, nobody removes it.
HANDLE OpenLockFile(const std::wstring& path) {
  const HANDLE h =
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                  OPEN_ALWAYS, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  BY_HANDLE_FILE_INFORMATION info{};
  if (h != INVALID_HANDLE_VALUE &&
      (GetFileType(h) != FILE_TYPE_DISK || !GetFileInformationByHandle(h, &info) ||
       (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0)) {
    CloseHandle(h);
    return INVALID_HANDLE_VALUE;
  }
  return h;
}

// Removes a link (not its target), an empty folder or a file this account cannot open. False
// when nothing was removed, with `fault` set.
bool Clear(const std::wstring& path, std::string* fault) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    if (GetLastError() == ERROR_FILE_NOT_FOUND) return true;
    *fault = "nicht anlegbar";
    return false;
  }
  const bool folder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  if (folder ? RemoveDirectoryW(path.c_str()) : DeleteFileW(path.c_str())) return true;
  *fault =
      folder && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0 ? "ein Ordner" : "nicht ersetzbar";
  return false;
}

}  // namespace

RunLock::State RunLock::TryOnce(const std::string& path) {
  fault_.clear();
  const std::wstring wide = Widen(path);
  HANDLE h = OpenLockFile(wide);
  if (h == INVALID_HANDLE_VALUE) {
    if (!Clear(wide, &fault_)) return State::kUnusable;
    h = OpenLockFile(wide);
    if (h == INVALID_HANDLE_VALUE) return State::kBusy;
  }
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), _O_RDONLY | _O_BINARY);
  if (fd < 0) {
    CloseHandle(h);
    return State::kBusy;
  }
  SafeFile file(fd);
  // The whole possible length of the file, so that every holder locks the same range.
  OVERLAPPED at{};
  if (!LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD, MAXDWORD,
                  &at)) {
    return State::kBusy;
  }
  file_ = std::move(file);
  return State::kTaken;
}

}  // namespace pellvane
