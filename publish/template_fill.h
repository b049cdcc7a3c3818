// Fills an HTML template with the current address: every marker is replaced, line by line,
// and the page is written with every line ending in CR CR LF.
// Not safe from two threads writing the same page.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/file_system.h"

namespace pellvane {

// The marker a template holds where the address goes; its single quotes belong to it.
inline constexpr std::string_view kIpMarker = "'!!!***IP***!!!'";

// The largest template filled; a larger one is refused before a byte of it is read.
inline constexpr long long kMaxTemplateBytes = 16LL << 20;

enum class FillResult {
  kOk,
  kTemplateUnreadable,  // the output file was not touched
  kTemplateTooLarge,    // nor here
  kOutputUnwritable,
};

// How a fill came out, and for a failure why, in the system's words where it gave them.
struct Filled {
  FillResult result = FillResult::kOk;
  std::string error;
};

// Tells pages apart by their bytes, handed over in pieces of any size: FNV-1a over the bytes,
// with their count.
class PageDigest {
 public:
  void Add(std::string_view bytes);
  std::string Text() const;

 private:
  std::uint64_t hash_ = 14695981039346656037ull;
  std::uint64_t size_ = 0;
};

// Replaces every occurrence of marker in text, left to right, by value; stores the filled line
// in text and returns it too. An empty marker leaves the text as it is.
std::string ReplaceMarker(std::string& text, std::string_view value, std::string_view marker);

// Fills the template piece by piece, handing each filled piece to `out`, which answers false
// when it cannot take it (kOutputUnwritable). A line ends at CR LF or a lone CR; a bare LF stays
// inside its line. Bytes pass through unchanged.
Filled FillPieces(FileSystem& files, const std::string& template_path, std::string_view value,
                  std::string_view marker, const std::function<bool(std::string_view)>& out);

// Copies the template into a new output file, through `files`, with each line filled; `page`,
// when given, gets the bytes written as well.
Filled FillTemplate(FileSystem& files, const std::string& template_path,
                    const std::string& output_path, std::string_view value, std::string_view marker,
                    std::string* page = nullptr);

}  // namespace pellvane
