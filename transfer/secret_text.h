// Texts made fit for the log and message boxes: passwords masked, and control characters of
// texts that come from a server escaped. Not safe to change a SecretMask from two threads.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace pellvane {

class SecretMask {
 public:
  // A password as it was typed; its percent-decoded and percent-encoded spellings are masked
  // as well, since a server may echo any of them.
  void Add(std::string_view secret);
  // A login sent to an HTTP server or proxy: the password as Add takes it, and the Basic
  // spelling of user and password (base64 of "user:password", as typed and as decoded).
  void AddLogin(std::string_view user, std::string_view password);
  // `text` with every spelling of every password replaced by "***" where it stands on its
  // own: not where its letters are part of a longer word ("e" in "failed"). A text that holds
  // no password comes back unchanged.
  std::string Apply(std::string text) const;

 private:
  void Remember(std::initializer_list<std::string> spellings);

  std::vector<std::string> spellings_;  // longest first
};

// False for a password no server would get as typed: a line end or a NUL in it, which the
// server would take as the end of the login or of the password.
bool SendableAsTyped(std::string_view password);

// Control characters (below 0x20, DEL, and the UTF-8 C1 range) as \r, \n, \t or \xHH, so that
// a server's reply cannot start a line of its own or steer a terminal.
std::string EscapeControls(std::string_view text);

}  // namespace pellvane
