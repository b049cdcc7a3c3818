// Percent-encoding of URL parts, the same on every platform. Safe from two threads.
#pragma once

#include <string>
#include <string_view>

namespace pellvane {

// Every byte outside [A-Za-z0-9-._~] as %XX; with `keep` also the bytes of `keep` as they are
// ("/" for a path, "%" for one typed already escaped).
std::string PercentEncode(std::string_view text, std::string_view keep = "");
// Every %XX as its byte; a "%" not followed by two hexadecimal digits stays.
std::string PercentDecode(std::string_view text);

}  // namespace pellvane
