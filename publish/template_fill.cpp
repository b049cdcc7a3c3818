#include "publish/template_fill.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace pellvane {
namespace {

// Appends text up to the end of its last marker to out, each marker replaced by value;
// returns where the text after that marker begins. An empty marker matches nowhere.
std::size_t AppendUpToLastMarker(std::string& out, std::string_view text, std::string_view value,
                                 std::string_view marker) {
  std::size_t from = 0;
  if (marker.empty()) return from;
  for (std::size_t at = text.find(marker); at != std::string_view::npos;
       at = text.find(marker, from)) {
    out.append(text, from, at - from);
    out += value;
    from = at + marker.size();
  }
  return from;
}

// Appends text to out with every marker replaced by value.
void AppendFilled(std::string& out, std::string_view text, std::string_view value,
                  std::string_view marker) {
  out.append(text, AppendUpToLastMarker(out, text, value, marker));
}

constexpr std::size_t kChunk = 1 << 16;

// Fills a template handed over in pieces of any size. Only the current line's last bytes
// that may still begin a marker are held back, so memory stays bounded whatever the size of
// the template or of one line.
class LineFiller {
 public:
  LineFiller(std::string_view value, std::string_view marker) : value_(value), marker_(marker) {}

  void Feed(std::string_view chunk, std::string& out) {
    std::size_t i = 0;
    if (after_cr_ && !chunk.empty()) {
      after_cr_ = false;
      if (chunk[0] == '\n') i = 1;  // the LF of a CR LF line end
    }
    while (i < chunk.size()) {
      const std::size_t cr = chunk.find('\r', i);
      const std::size_t end = cr == std::string_view::npos ? chunk.size() : cr;
      pending_.append(chunk, i, end - i);
      in_line_ = in_line_ || end > i;
      if (cr == std::string_view::npos) {
        Flush(out, false);
        return;
      }
      EndLine(out);
      i = cr + 1;
      if (i == chunk.size()) {
        after_cr_ = true;
      } else if (chunk[i] == '\n') {
        ++i;
      }
    }
  }

  // The last line, when it has no line end of its own.
  void Finish(std::string& out) {
    if (in_line_) EndLine(out);
  }

 private:
  void EndLine(std::string& out) {
    Flush(out, true);
    out += "\r\r\n";
    in_line_ = false;
  }

  // Writes the filled pending text; before the line's end, keeps back what may start a marker.
  void Flush(std::string& out, bool line_end) {
    const std::size_t from = AppendUpToLastMarker(out, pending_, value_, marker_);
    const std::size_t rest = pending_.size() - from;
    const std::size_t keep = line_end || marker_.empty() ? 0 : std::min(rest, marker_.size() - 1);
    out.append(pending_, from, rest - keep);
    pending_.erase(0, pending_.size() - keep);
  }

  std::string_view value_;
  std::string_view marker_;
  std::string pending_;
  bool in_line_ = false;
  bool after_cr_ = false;
};

}  // namespace

std::string ReplaceMarker(std::string& text, std::string_view value, std::string_view marker) {
  std::string filled;
  filled.reserve(text.size());
  AppendFilled(filled, text, value, marker);
  text = std::move(filled);
  return text;
}

void PageDigest::Add(std::string_view bytes) {
  for (const char c : bytes) {
    hash_ ^= static_cast<unsigned char>(c);
    hash_ *= 1099511628211ull;
  }
  size_ += bytes.size();
}

std::string PageDigest::Text() const {
  char text[48];
  std::snprintf(text, sizeof text, "%016llx:%llu", static_cast<unsigned long long>(hash_),
                static_cast<unsigned long long>(size_));
  return text;
}

namespace {

constexpr const char* kTooLarge = "größer als 16 MiB";

// The template open for reading, unless it cannot be opened or is too large; `filled` then
// says why not.
std::unique_ptr<InputFile> OpenTemplate(FileSystem& files, const std::string& path,
                                        Filled& filled) {
  Opened<InputFile> input = files.OpenForReading(path);
  if (!input) {
    filled = {FillResult::kTemplateUnreadable, input.error};
  } else if (input->Size() > kMaxTemplateBytes) {
    filled = {FillResult::kTemplateTooLarge, kTooLarge};
  } else {
    return std::move(input.file);
  }
  return nullptr;
}

// An output that refuses a piece gives kOutputUnwritable without a reason: its owner knows it.
Filled FillFrom(InputFile& input, std::string_view value, std::string_view marker,
                const std::function<bool(std::string_view)>& out) {
  LineFiller filler(value, marker);
  std::string filled;
  std::vector<char> buffer(kChunk);
  long long total = 0;
  for (long n; (n = input.Read(buffer.data(), buffer.size())) != 0;) {
    if (n < 0) return {FillResult::kTemplateUnreadable, input.Error()};
    // A file that grows while it is read is held to the bound all the same.
    if ((total += n) > kMaxTemplateBytes) return {FillResult::kTemplateTooLarge, kTooLarge};
    filler.Feed(std::string_view(buffer.data(), static_cast<std::size_t>(n)), filled);
    if (!out(filled)) return {FillResult::kOutputUnwritable, ""};
    filled.clear();
  }
  filler.Finish(filled);
  return out(filled) ? Filled{} : Filled{FillResult::kOutputUnwritable, ""};
}

}  // namespace

Filled FillPieces(FileSystem& files, const std::string& template_path, std::string_view value,
                  std::string_view marker, const std::function<bool(std::string_view)>& out) {
  Filled filled;
  const std::unique_ptr<InputFile> input = OpenTemplate(files, template_path, filled);
  return input ? FillFrom(*input, value, marker, out) : filled;
}

Filled FillTemplate(FileSystem& files, const std::string& template_path,
                    const std::string& output_path, std::string_view value, std::string_view marker,
                    std::string* page) {
  Filled filled;
  const std::unique_ptr<InputFile> input = OpenTemplate(files, template_path, filled);
  if (!input) return filled;
  const Opened<ReplacementFile> output = files.Replace(output_path, 0644);
  if (!output) return {FillResult::kOutputUnwritable, output.error};
  // The page is about as large as its template: held whole, it is not copied as it grows.
  if (page) page->reserve(static_cast<std::size_t>(std::max(0LL, input->Size())) + kChunk);
  filled = FillFrom(*input, value, marker, [&](std::string_view piece) {
    if (page) page->append(piece);
    return output->Write(piece);
  });
  if (filled.result == FillResult::kOk && !output->Commit()) {
    filled.result = FillResult::kOutputUnwritable;
  }
  if (filled.result == FillResult::kOutputUnwritable) filled.error = output->Error();
  return filled;
}

}  // namespace pellvane
