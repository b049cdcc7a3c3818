// Helpers shared by the FTP and SFTP tests: the bytes every upload test sends, and the
// server's log read since a test began.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

namespace pellvane::testing {

// Every byte value, line ends and NULs among them, and a bit of text.
inline std::string BinaryBytes() {
  using namespace std::string_literals;
  std::string bytes = "<html>\r\n\0\r\n'!!!***IP***!!!'\n\r\0"s;
  for (int i = 0; i < 256; ++i) bytes.push_back(static_cast<char>(i));
  return bytes + "\r\n</html>\0"s;
}

// How many of `lines` begin with `prefix`.
inline long Count(const std::vector<std::string>& lines, const std::string& prefix) {
  return std::count_if(lines.begin(), lines.end(),
                       [&](const std::string& l) { return l.rfind(prefix, 0) == 0; });
}

// What `server` logged after its first `seen` lines.
template <class Server>
std::vector<std::string> LoggedSince(const Server& server, std::size_t seen) {
  const auto all = server.Commands();
  return {all.begin() + static_cast<long>(std::min(seen, all.size())), all.end()};
}

}  // namespace pellvane::testing
