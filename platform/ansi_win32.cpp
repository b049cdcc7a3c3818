#include "platform/ansi.h"

#include <windows.h>

#include "platform/wide_text.h"

namespace pellvane {

std::optional<std::string> ToAnsi(std::string_view utf8) {
  bool lossless = true;
  std::string ansi = ToCodePage(Widen(utf8), CP_ACP, &lossless);
  if (!lossless) return std::nullopt;
  return ansi;
}

std::string ToAnsiLossy(std::string_view utf8) { return ToCodePage(Widen(utf8), CP_ACP, nullptr); }

std::string FromAnsi(std::string_view ansi) {
  if (ansi.empty()) return {};
  const int size = static_cast<int>(ansi.size());
  const int n = MultiByteToWideChar(CP_ACP, 0, ansi.data(), size, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_ACP, 0, ansi.data(), size, wide.data(), n);
  return Narrow(wide);
}

}  // namespace pellvane
