// Any bytes into the address test: no crash, and a text that passes holds nothing but four runs
// of digits separated by three dots.
#include <cstdlib>
#include <string_view>

#include "detect/ip_valid.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  if (!pellvane::IsIPValid(text)) return 0;
  int dots = 0;
  for (char c : text) {
    if (c == '.')
      ++dots;
    else if (c < '0' || c > '9')
      std::abort();
  }
  if (dots != 3 || text.size() > 15) std::abort();
  return 0;
}
