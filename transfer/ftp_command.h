// Splits an FTP command of the transfer component ("put <local> <remote>", "dir", "close")
// into its words; a word in double quotes may hold blanks.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pellvane {

// Words separated by blanks; "..." groups a word (the quotes are dropped, "" is an empty
// word). Nothing when a quote is left open or a quoted word runs straight into another.
std::optional<std::vector<std::string>> SplitCommand(std::string_view command);

}  // namespace pellvane
