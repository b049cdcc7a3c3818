#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/run_lock.h"

namespace pellvane {
namespace {

constexpr int kOpenFlags = O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// A lock file every run may share: a regular file with no second name, of this account, of
// root or of the folder's owner (who may replace anything in it anyway). Anything else may be
// planted, and held by someone else for ever.
bool Usable(const std::string& path, const struct stat& st) {
  struct stat folder {};
  const bool trusted = st.st_uid == geteuid() || st.st_uid == 0 ||
                       (stat(FolderOf(path).c_str(), &folder) == 0 && st.st_uid == folder.st_uid);
  return S_ISREG(st.st_mode) && st.st_nlink == 1 && trusted;
}

// The lock file at `path`, made when missing (readable by all: a lock needs no more, and the
// runs of root and of the user share it); not open when what is there is no usable lock file.
SafeFile OpenLockFile(const std::string& path, bool create, struct stat* st) {
  SafeFile file(open(path.c_str(), kOpenFlags | (create ? O_CREAT : 0), 0644));
  if (!file.is_open() || fstat(file.fd(), st) != 0 || !Usable(path, *st)) return SafeFile();
  // A root run's file, made under a strict umask, would shut the user's runs out.
  if (st->st_uid == geteuid() && (st->st_mode & 07777) != 0644) fchmod(file.fd(), 0644);
  return file;
}

// Removes what stands at `path` and is no usable lock file. Under a lock on the folder, and
// only while it is still unusable: two runs that both found it so must not remove the lock
// file one of them has made meanwhile. False when nothing was removed, with `fault` set when
// it cannot be.
bool Clear(const std::string& path, std::string* fault) {
  SafeFile folder(open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  struct stat st {};
  if (!folder.is_open() || flock(folder.fd(), LOCK_EX | LOCK_NB) != 0) return false;
  if (lstat(path.c_str(), &st) != 0) return errno == ENOENT;
  struct stat usable {};
  if (OpenLockFile(path, false, &usable).is_open()) return true;
  if (S_ISDIR(st.st_mode) ? rmdir(path.c_str()) == 0 : unlink(path.c_str()) == 0) return true;
  *fault = S_ISDIR(st.st_mode) ? "ein Ordner" : "nicht ersetzbar";
  return false;
}

}  // namespace

RunLock::State RunLock::TryOnce(const std::string& path) {
  fault_.clear();
  struct stat st {};
  SafeFile file = OpenLockFile(path, true, &st);
  if (!file.is_open()) {
    if (!PathExists(path)) {
      fault_ = "nicht anlegbar";
      return State::kUnusable;
    }
    if (!Clear(path, &fault_)) return fault_.empty() ? State::kBusy : State::kUnusable;
    file = OpenLockFile(path, true, &st);
    if (!file.is_open()) return State::kBusy;
  }
  if (flock(file.fd(), LOCK_EX | LOCK_NB) != 0) {
    if (errno == EWOULDBLOCK) return State::kBusy;
    fault_ = "nicht sperrbar";
    return State::kUnusable;
  }
  // Held only while the path still names the locked file: one removed or replaced meanwhile
  // is no lock for the next run.
  struct stat now {};
  if (lstat(path.c_str(), &now) != 0 || now.st_dev != st.st_dev || now.st_ino != st.st_ino) {
    return State::kBusy;
  }
  file_ = std::move(file);
  return State::kTaken;
}

}  // namespace pellvane
