// Files opened without surprises: no open blocks (a FIFO or a device is refused, not waited
// on), only regular files are read or written, and nothing is written through a symbolic link.
// Every file the program reads or writes goes through here. Objects are not shared between
// threads; distinct objects may be used from different threads.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pellvane {

// The system's words for one of its error codes (errno on Linux, GetLastError on Windows), or
// ours for kNotAFile.
std::string SystemErrorText(int code);
// A path that holds something else than a regular file: a folder, a device, a FIFO, a link.
inline constexpr int kNotAFile = -1;

// An open file descriptor, closed when the object goes.
class SafeFile {
 public:
  SafeFile() = default;
  explicit SafeFile(int fd) : fd_(fd) {}
  // A file that could not be opened, for the system's error `error`.
  static SafeFile Failed(int error);
  SafeFile(SafeFile&& other) noexcept : fd_(other.fd_), error_(other.error_) { other.fd_ = -1; }
  SafeFile& operator=(SafeFile&& other) noexcept;
  SafeFile(const SafeFile&) = delete;
  SafeFile& operator=(const SafeFile&) = delete;
  ~SafeFile();

  bool is_open() const { return fd_ >= 0; }
  int fd() const { return fd_; }
  // Reads up to `size` bytes; 0 at the end, -1 on an error.
  long Read(char* buffer, std::size_t size);
  // The file's size in bytes; -1 when the system cannot tell it.
  long long Size() const;
  bool WriteAll(std::string_view bytes);
  // Closes now; false when the close reported a late write error.
  bool Close();
  // Why the open, or the last read, write or close, failed.
  std::string ErrorText() const { return SystemErrorText(error_); }
  // The system's error code of the call that just failed on this thread.
  static int LastError();

 private:
  // One write of up to `size` bytes, as much as the platform takes at once: the count
  // written, or -1.
  long WriteSome(const char* data, std::size_t size);
  static bool CloseDescriptor(int fd);

  int fd_ = -1;
  int error_ = 0;
};

// A regular file opened for reading; closed (not open) for anything else or on failure.
SafeFile OpenForReading(const std::string& path);

// The whole of a regular file, read without waiting (see OpenForReading); false for anything
// else, on a read error, or when it holds more than `limit` bytes.
bool ReadRegularFile(const std::string& path, std::string* bytes, std::size_t limit);

// A regular file opened for appending, created with `mode` when missing; refused when the path
// is a symbolic link or not a regular file.
SafeFile OpenForAppend(const std::string& path, int mode);

// A new file beside `path`, written whole and then renamed over `path`; dropped without
// Commit, it leaves nothing behind. A link at `path` is replaced, never followed; a device,
// FIFO or folder there is left alone and the file cannot be made.
class NewFile {
 public:
  NewFile(const std::string& path, int mode);
  NewFile(const NewFile&) = delete;
  NewFile& operator=(const NewFile&) = delete;
  ~NewFile();

  bool is_open() const { return file_.is_open(); }
  bool Write(std::string_view bytes);
  // Flushes the file to disk and renames it over the path; false when any step failed.
  bool Commit();
  // Why the file could not be made, or the step that failed, failed.
  std::string ErrorText() const { return SystemErrorText(error_); }

 private:
  // Notes the error of the step that just failed; returns false.
  bool Fail(int error);

  std::string path_;
  std::string temp_;
  SafeFile file_;
  bool failed_ = false;
  int error_ = 0;
};

// The size of the regular file at `path`; nothing for a link (not followed) or anything else.
std::optional<std::uint64_t> RegularFileSize(const std::string& path);
// Renames what is at `from` (a link itself, never its target) over a file or link at `to`,
// durably; false when it did not happen.
bool RenameFile(const std::string& from, const std::string& to);

// True when anything (a link included, not followed) stands at `path`.
bool PathExists(const std::string& path);

}  // namespace pellvane
