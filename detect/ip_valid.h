// The IPv4 address test applied to every echo page body before it is believed.
// Safe from two threads.
#pragma once

#include <string_view>

namespace pellvane {

// True for four dot-separated pieces of one to three ASCII digits each, every number 0..255,
// the first and the last not 0. Anything else (blanks, signs, line ends, empty pieces) is false.
bool IsIPValid(std::string_view text);

}  // namespace pellvane
