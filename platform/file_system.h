// The files a run reads and writes beside the store: the template and the page filled from it,
// the backup and the run log (and the one before it), behind one small interface so that a full
// disk, a refused open or a failed rename can be put in their way. The real one works over
// platform/safe_file and may be used from several threads; the files it hands out may not.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace pellvane {

// A regular file open for reading.
class InputFile {
 public:
  virtual ~InputFile() = default;
  // Reads up to `size` bytes; 0 at the end, -1 on an error.
  virtual long Read(char* buffer, std::size_t size) = 0;
  // Why the last Read failed, in the system's words.
  virtual std::string Error() const = 0;
  // The file's size in bytes as it stands now; -1 when it cannot be told.
  virtual long long Size() const = 0;
};

// A new file beside its path that replaces the file at the path only when committed; dropped
// without Commit, it leaves nothing behind.
class ReplacementFile {
 public:
  virtual ~ReplacementFile() = default;
  virtual bool Write(std::string_view bytes) = 0;
  // Flushes the file to disk and renames it over the path; false when any step failed.
  virtual bool Commit() = 0;
  // Why the last Write or Commit failed, in the system's words.
  virtual std::string Error() const = 0;
};

// A file a FileSystem opened, or why it could not; used like the pointer it holds. A caller
// that needs no reason takes the pointer alone.
template <typename File>
struct Opened {
  std::unique_ptr<File> file;  // null when the open failed
  std::string error;           // then the system's words for why
  explicit operator bool() const { return file != nullptr; }
  File* operator->() const { return file.get(); }
  operator std::unique_ptr<File>() && { return std::move(file); }
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // Nothing when the path is no regular file or cannot be opened; never waits on a FIFO.
  virtual Opened<InputFile> OpenForReading(const std::string& path) = 0;
  // Appends the bytes in one write, creating the file with `mode`; a link or anything but a
  // regular file at the path is refused. False when not all of them were written.
  virtual bool Append(const std::string& path, std::string_view bytes, int mode) = 0;
  // Nothing when the new file cannot be made (a folder, FIFO or device at the path).
  virtual Opened<ReplacementFile> Replace(const std::string& path, int mode) = 0;
  // The size of the regular file at the path; nothing for a link or anything else.
  virtual std::optional<std::uint64_t> SizeOf(const std::string& path) = 0;
  // Renames a file over another, durably, never following a link; false when it did not happen.
  virtual bool Rename(const std::string& from, const std::string& to) = 0;
};

// The program's own files, through platform/safe_file.
FileSystem& RealFileSystem();

}  // namespace pellvane
