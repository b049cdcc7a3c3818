// Small text helpers shared by the layers above: letter case for decisions on names, modes and
// URL schemes.
// Safe from two threads.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace pellvane {

// The text lower-cased, for the mode decision.
std::string Lowered(std::string text);

// True when the texts are equal but for the letter case of ASCII letters.
bool EqualsNoCase(std::string_view a, std::string_view b);

// True when the text begins with `head` but for the letter case of ASCII letters.
bool StartsWithNoCase(std::string_view text, std::string_view head);

// True when the text starts with one of the schemes ("ftp://"), in any letter case.
bool HasScheme(std::string_view text, std::initializer_list<std::string_view> schemes);

}  // namespace pellvane
