#include "publish/template_fill.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <optional>

namespace pellvane {
namespace {

// Closes the descriptor on every way out.
class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  ~Fd() {
    if (fd_ >= 0) close(fd_);
  }
  int get() const { return fd_; }
  // Closes now and tells whether the close succeeded (a late write error shows here).
  bool Close() {
    const int fd = fd_;
    fd_ = -1;
    return close(fd) == 0;
  }

 private:
  int fd_;
};

std::optional<std::string> ReadWholeFile(const std::string& path) {
  Fd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) return std::nullopt;
  struct stat st {};
  if (fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  std::string data;
  data.reserve(static_cast<std::size_t>(st.st_size));
  char buf[1 << 16];
  while (true) {
    const ssize_t n = read(fd.get(), buf, sizeof buf);
    if (n < 0) return std::nullopt;
    if (n == 0) break;
    data.append(buf, static_cast<std::size_t>(n));
  }
  return data;
}

bool WriteAll(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t n = write(fd, data.data(), data.size());
    if (n <= 0) return false;
    data.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

// Appends text to out with every marker replaced by value.
void AppendFilled(std::string& out, std::string_view text, std::string_view value,
                  std::string_view marker) {
  if (marker.empty()) {
    out += text;
    return;
  }
  std::size_t from = 0;
  for (std::size_t at = text.find(marker); at != std::string_view::npos;
       at = text.find(marker, from)) {
    out.append(text, from, at - from);
    out += value;
    from = at + marker.size();
  }
  out.append(text, from);
}

}  // namespace

std::string ReplaceMarker(std::string& text, std::string_view value, std::string_view marker) {
  std::string filled;
  filled.reserve(text.size());
  AppendFilled(filled, text, value, marker);
  text = std::move(filled);
  return text;
}

FillResult FillTemplate(const std::string& template_path, const std::string& output_path,
                        std::string_view value, std::string_view marker) {
  const std::optional<std::string> input = ReadWholeFile(template_path);
  if (!input) return FillResult::kTemplateUnreadable;
  const std::string_view in = *input;

  std::string out;
  out.reserve(in.size() + in.size() / 16 + 3);
  std::size_t start = 0;
  while (start < in.size()) {
    const std::size_t cr = in.find('\r', start);
    const std::size_t end = cr == std::string_view::npos ? in.size() : cr;
    AppendFilled(out, in.substr(start, end - start), value, marker);
    out += "\r\r\n";
    start = end + 1;
    if (cr != std::string_view::npos && start < in.size() && in[start] == '\n') ++start;
  }

  Fd fd(open(output_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
  if (fd.get() < 0) return FillResult::kOutputUnwritable;
  if (!WriteAll(fd.get(), out) || !fd.Close()) return FillResult::kOutputUnwritable;
  return FillResult::kOk;
}

}  // namespace pellvane
