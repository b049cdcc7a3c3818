#include "platform/text.h"

#include <algorithm>
#include <cctype>

namespace pellvane {

std::string Lowered(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  const auto lower = [](char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  };
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

bool StartsWithNoCase(std::string_view text, std::string_view head) {
  return text.size() >= head.size() && EqualsNoCase(text.substr(0, head.size()), head);
}

bool HasScheme(std::string_view text, std::initializer_list<std::string_view> schemes) {
  return std::any_of(schemes.begin(), schemes.end(),
                     [text](std::string_view scheme) { return StartsWithNoCase(text, scheme); });
}

}  // namespace pellvane
