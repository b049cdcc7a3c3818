// Splits an FTP command of the transfer component ("put <local> <remote>", "dir", "close")
// into its words; a word in double quotes may hold blanks and, doubled, quotes.
// Safe from two threads.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pellvane {

// Words separated by blanks. A word that begins with a quote runs to the next lone quote, ""
// inside it standing for one quote (so "" alone is an empty word); a quote inside any other
// word is part of it. Nothing when a quote is left open or a quoted word runs straight into
// another.
std::optional<std::vector<std::string>> SplitCommand(std::string_view command);

}  // namespace pellvane
