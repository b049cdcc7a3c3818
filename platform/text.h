// Small text helpers shared by the layers above: letter case for decisions on names and modes.
// Safe from two threads.
#pragma once

#include <string>
#include <string_view>

namespace pellvane {

// The text lower-cased, for the mode decision.
std::string Lowered(std::string text);

// True when the texts are equal but for the letter case of ASCII letters.
bool EqualsNoCase(std::string_view a, std::string_view b);

}  // namespace pellvane
