#include "settings/variant.h"

#include <stdexcept>
#include <type_traits>

namespace pellvane {

std::string ToText(const Variant& v) {
  return std::visit(
      [](const auto& x) -> std::string {
        using T = std::decay_t<decltype(x)>;
        if constexpr (std::is_same_v<T, bool>) {
          return x ? "True" : "False";
        } else if constexpr (std::is_same_v<T, std::int16_t> || std::is_same_v<T, std::int32_t>) {
          return std::to_string(x);
        } else if constexpr (std::is_same_v<T, std::string>) {
          return x;
        } else if constexpr (std::is_same_v<T, VariantArray>) {
          throw std::invalid_argument("an array has no text form");
        } else {
          return std::string();
        }
      },
      v.value);
}

}  // namespace pellvane
