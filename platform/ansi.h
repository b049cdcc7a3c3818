// Texts where they leave the program for the registry's neighbours, the run log and the
// backup file: the system's ANSI code page, and back to UTF-8, which the program holds inside.
// On Linux that code page is UTF-8 and the bytes pass unchanged. Safe from two threads.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace pellvane {

// The text in the ANSI code page; nothing when a character has no form there.
std::optional<std::string> ToAnsi(std::string_view utf8);
// The same, with such characters as "?": for the log, where a line must not be lost.
std::string ToAnsiLossy(std::string_view utf8);
std::string FromAnsi(std::string_view ansi);

}  // namespace pellvane
