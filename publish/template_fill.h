// Fills an HTML template with the current address: every marker is replaced, line by line,
// and the page is written with every line ending in CR CR LF.
// Not safe from two threads writing the same page.
#pragma once

#include <string>
#include <string_view>

#include "platform/file_system.h"

namespace pellvane {

// The marker a template holds where the address goes; its single quotes belong to it.
inline constexpr std::string_view kIpMarker = "'!!!***IP***!!!'";

enum class FillResult {
  kOk,
  kTemplateUnreadable,  // the output file was not touched
  kOutputUnwritable,
};

// How a fill came out, and for a failure the system's words for why.
struct Filled {
  FillResult result = FillResult::kOk;
  std::string error;
};

// Replaces every occurrence of marker in text, left to right, by value; stores the filled line
// in text and returns it too. An empty marker leaves the text as it is.
std::string ReplaceMarker(std::string& text, std::string_view value, std::string_view marker);

// Copies the template into a new output file, through `files`, with each line filled. A line
// ends at CR LF or a lone CR; a bare LF stays inside its line. Bytes pass through unchanged.
Filled FillTemplate(FileSystem& files, const std::string& template_path,
                    const std::string& output_path, std::string_view value,
                    std::string_view marker);

}  // namespace pellvane
