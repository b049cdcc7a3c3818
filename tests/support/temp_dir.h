// A fresh folder under /tmp for one test, removed with everything in it afterwards;
// and small file helpers for byte-exact checks.
#pragma once

#include <string>

namespace pellvane::testing {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

void WriteFile(const std::string& path, const std::string& bytes);
std::string ReadFile(const std::string& path);  // empty when missing
bool FileExists(const std::string& path);

}  // namespace pellvane::testing

namespace pellvane::testing {

// Runs body in a forked child that, when the tests run as root, first drops to the user
// "nobody", so that read-only files and folders really refuse writes. Returns body's result
// (its exit status), or -1 when the child died otherwise.
int RunUnprivileged(int (*body)(void*), void* arg);

}  // namespace pellvane::testing
