// The dynamically typed value the registry access class takes and gives: nothing, null, a
// 16- or 32-bit integer, a Boolean, a text, or an array of such values.
// A plain value: not safe to change from two threads.
#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace pellvane {

struct Null {
  bool operator==(const Null&) const = default;
};

struct Variant;
using VariantArray = std::vector<Variant>;

struct Variant {
  std::variant<std::monostate, Null, std::int16_t, std::int32_t, bool, std::string, VariantArray>
      value;

  Variant() = default;  // nothing
  Variant(Null n) : value(n) {}
  Variant(std::int16_t n) : value(n) {}
  Variant(std::int32_t n) : value(n) {}
  Variant(bool b) : value(b) {}
  Variant(std::string s) : value(std::move(s)) {}
  Variant(const char* s) : value(std::string(s)) {}
  Variant(VariantArray a) : value(std::move(a)) {}

  bool IsNothing() const { return std::holds_alternative<std::monostate>(value); }
  bool IsNull() const { return std::holds_alternative<Null>(value); }
  bool IsArray() const { return std::holds_alternative<VariantArray>(value); }
  const std::string* Text() const { return std::get_if<std::string>(&value); }
  const VariantArray* Array() const { return std::get_if<VariantArray>(&value); }

  bool operator==(const Variant&) const = default;
};

// The text form: a number as decimal text, a Boolean as "True" or "False", null and nothing
// as the empty text. An array has none: std::invalid_argument.
std::string ToText(const Variant& v);

}  // namespace pellvane
