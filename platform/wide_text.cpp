#include "platform/wide_text.h"

#include <windows.h>

namespace pellvane {

std::wstring Widen(std::string_view utf8) {
  if (utf8.empty()) return {};
  const int n =
      MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
  return out;
}

std::string Narrow(std::wstring_view wide) { return ToCodePage(wide, CP_UTF8, nullptr); }

std::string ToCodePage(std::wstring_view wide, unsigned code_page, bool* lossless) {
  if (lossless != nullptr) *lossless = true;
  if (wide.empty()) return {};
  BOOL used_default = FALSE;
  // UTF-8 takes no default character; every other code page reports what it could not map.
  BOOL* report = code_page == CP_UTF8 ? nullptr : &used_default;
  const int size = static_cast<int>(wide.size());
  const int n = WideCharToMultiByte(code_page, 0, wide.data(), size, nullptr, 0, nullptr, report);
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(code_page, 0, wide.data(), size, out.data(), n, nullptr, report);
  if (lossless != nullptr) *lossless = used_default == FALSE;
  return out;
}

}  // namespace pellvane
