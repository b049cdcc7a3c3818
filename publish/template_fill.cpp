#include "publish/template_fill.h"

#include <algorithm>

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

Filled FillTemplate(FileSystem& files, const std::string& template_path,
                    const std::string& output_path, std::string_view value,
                    std::string_view marker) {
  const Opened<InputFile> input = files.OpenForReading(template_path);
  if (!input) return {FillResult::kTemplateUnreadable, input.error};
  const Opened<ReplacementFile> output = files.Replace(output_path, 0644);
  if (!output) return {FillResult::kOutputUnwritable, output.error};
  LineFiller filler(value, marker);
  std::string out;
  char buffer[kChunk];
  for (long n; (n = input->Read(buffer, sizeof buffer)) != 0;) {
    if (n < 0) return {FillResult::kTemplateUnreadable, input->Error()};
    filler.Feed(std::string_view(buffer, static_cast<std::size_t>(n)), out);
    if (!output->Write(out)) return {FillResult::kOutputUnwritable, output->Error()};
    out.clear();
  }
  filler.Finish(out);
  if (!output->Write(out) || !output->Commit())
    return {FillResult::kOutputUnwritable, output->Error()};
  return {};
}

}  // namespace pellvane
