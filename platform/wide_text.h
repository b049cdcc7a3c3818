// UTF-8 and the UTF-16 of the Windows API, for the Windows backends only.
// Safe from two threads.
#pragma once

#include <string>
#include <string_view>

namespace pellvane {

std::wstring Widen(std::string_view utf8);  // invalid bytes become U+FFFD
std::string Narrow(std::wstring_view wide);

// The text in `code_page`; `lossless` (may be null) false when a character had no form there.
std::string ToCodePage(std::wstring_view wide, unsigned code_page, bool* lossless);

}  // namespace pellvane
