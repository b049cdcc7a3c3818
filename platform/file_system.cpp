#include "platform/file_system.h"

#include "platform/safe_file.h"

namespace pellvane {
namespace {

class RealInput final : public InputFile {
 public:
  explicit RealInput(SafeFile file) : file_(std::move(file)) {}
  long Read(char* buffer, std::size_t size) override { return file_.Read(buffer, size); }
  std::string Error() const override { return file_.ErrorText(); }
  long long Size() const override { return file_.Size(); }

 private:
  SafeFile file_;
};

class RealReplacement final : public ReplacementFile {
 public:
  RealReplacement(const std::string& path, int mode) : file_(path, mode) {}
  bool is_open() const { return file_.is_open(); }
  bool Write(std::string_view bytes) override { return file_.Write(bytes); }
  bool Commit() override { return file_.Commit(); }
  std::string Error() const override { return file_.ErrorText(); }

 private:
  NewFile file_;
};

class RealFiles final : public FileSystem {
 public:
  Opened<InputFile> OpenForReading(const std::string& path) override {
    SafeFile file = pellvane::OpenForReading(path);
    if (!file.is_open()) return {nullptr, file.ErrorText()};
    return {std::make_unique<RealInput>(std::move(file)), ""};
  }
  bool Append(const std::string& path, std::string_view bytes, int mode) override {
    return OpenForAppend(path, mode).WriteAll(bytes);
  }
  Opened<ReplacementFile> Replace(const std::string& path, int mode) override {
    auto file = std::make_unique<RealReplacement>(path, mode);
    if (!file->is_open()) return {nullptr, file->Error()};
    return {std::move(file), ""};
  }
  std::optional<std::uint64_t> SizeOf(const std::string& path) override {
    return RegularFileSize(path);
  }
  bool Rename(const std::string& from, const std::string& to) override {
    return RenameFile(from, to);
  }
};

}  // namespace

FileSystem& RealFileSystem() {
  static RealFiles files;
  return files;
}

}  // namespace pellvane
