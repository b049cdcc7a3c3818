// Any bytes into the address test: no crash, and a text that passes holds nothing but four runs
// of digits separated by three dots.
#include <algorithm>
#include <cstdlib>
#include <string_view>

#include "detect/ip_valid.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  if (pellvane::IsIPValid(text) &&
      (text.size() > 15 || std::count(text.begin(), text.end(), '.') != 3 ||
       text.find_first_not_of("0123456789.") != std::string_view::npos))
    std::abort();
  return 0;
}
