// Any text through SplitCommand and ServerUrl: no crash; split words quoted and joined again
// split back to themselves; a remote name lands in the URL only escaped, and unescapes back.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "transfer/ftp_command.h"
#include "transfer/server_url.h"

namespace {

bool Unreserved(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '.' || c == '_' || c == '~' || c == '/';
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The escaped text decoded; aborts on any byte that is neither unreserved nor %XX.
std::string Unescape(const std::string& escaped) {
  std::string out;
  for (std::size_t i = 0; i < escaped.size(); ++i) {
    if (Unreserved(escaped[i])) {
      out += escaped[i];
      continue;
    }
    if (escaped[i] != '%' || i + 2 >= escaped.size() || HexDigit(escaped[i + 1]) < 0 ||
        HexDigit(escaped[i + 2]) < 0) {
      std::abort();
    }
    out += static_cast<char>(HexDigit(escaped[i + 1]) * 16 + HexDigit(escaped[i + 2]));
    i += 2;
  }
  return out;
}

void CheckSplit(const std::string& text) {
  const auto words = pellvane::SplitCommand(text);
  if (!words) return;
  std::string joined;
  for (const std::string& w : *words) {
    if (w.find('"') != std::string::npos) std::abort();
    joined += (joined.empty() ? "\"" : " \"") + w + "\"";
  }
  if (pellvane::SplitCommand(joined) != words) std::abort();
}

// The first line is the server as typed, the rest a remote file name.
void CheckUrl(const std::string& text) {
  const std::size_t nl = text.find('\n');
  const std::string server = text.substr(0, nl);
  const std::string remote = nl == std::string::npos ? "" : text.substr(nl + 1);
  const pellvane::ServerUrl url(server);
  const std::string relative =
      remote.substr(std::min(remote.find_first_not_of('/'), remote.size()));
  const std::string folder = url.FolderUrl();
  const std::string file = url.FileUrl(relative);
  if (file.compare(0, folder.size(), folder) != 0) std::abort();
  const std::string tail = file.substr(folder.size());
  if (Unescape(tail) != relative) std::abort();
  const std::string absolute = url.FileUrl("/" + relative);
  const std::string root = (url.Sftp() ? "/" : "/%2F") + tail;
  if (absolute.size() < root.size() ||
      absolute.compare(absolute.size() - root.size(), root.size(), root) != 0) {
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  CheckSplit(text);
  CheckUrl(text);
  return 0;
}
