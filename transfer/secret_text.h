// Texts made fit for the log and message boxes: passwords masked, and control characters of
// texts that come from a server escaped. Not safe to change a SecretMask from two threads.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace pellvane {

class SecretMask {
 public:
  // A password as it was typed; its percent-decoded and percent-encoded spellings are masked
  // as well, since a server may echo any of them.
  void Add(std::string_view secret);
  // `text` with every spelling of every password replaced by "***" where it stands on its
  // own: not where its letters are part of a longer word ("e" in "failed"). A text that holds
  // no password comes back unchanged.
  std::string Apply(std::string text) const;

 private:
  std::vector<std::string> spellings_;  // longest first
};

// Control characters (below 0x20, DEL, and the UTF-8 C1 range) as \r, \n, \t or \xHH, so that
// a server's reply cannot start a line of its own or steer a terminal.
std::string EscapeControls(std::string_view text);

}  // namespace pellvane
