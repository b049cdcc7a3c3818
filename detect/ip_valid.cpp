#include "detect/ip_valid.h"

namespace pellvane {

bool IsIPValid(std::string_view text) {
  int numbers[4] = {};
  int pieces = 0;
  std::size_t start = 0;
  while (true) {
    const std::size_t dot = text.find('.', start);
    const std::string_view piece =
        text.substr(start, dot == std::string_view::npos ? std::string_view::npos : dot - start);
    if (pieces == 4 || piece.empty() || piece.size() > 3) return false;
    int value = 0;
    for (const char c : piece) {
      if (c < '0' || c > '9') return false;
      value = value * 10 + (c - '0');
    }
    if (value > 255) return false;
    numbers[pieces++] = value;
    if (dot == std::string_view::npos) break;
    start = dot + 1;
  }
  return pieces == 4 && numbers[0] != 0 && numbers[3] != 0;
}

}  // namespace pellvane
