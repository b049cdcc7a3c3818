#include "platform/ansi.h"

namespace pellvane {

std::optional<std::string> ToAnsi(std::string_view utf8) { return std::string(utf8); }

std::string ToAnsiLossy(std::string_view utf8) { return std::string(utf8); }

std::string FromAnsi(std::string_view ansi) { return std::string(ansi); }

}  // namespace pellvane
