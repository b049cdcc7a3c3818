#include <cctype>

#include "platform/text.h"
#include "transfer/server_url.h"

namespace pellvane {
namespace {

bool ValidHost(const std::string& host_port) {
  if (host_port.empty() || host_port.front() == ':') return false;
  const std::size_t colon = host_port.rfind(':');
  for (std::size_t i = 0; i < host_port.size(); ++i) {
    const auto c = static_cast<unsigned char>(host_port[i]);
    if (c <= ' ' || c == '\\' || c == '@' ||
        (i > colon && colon != std::string::npos && !std::isdigit(c))) {
      return false;
    }
  }
  return colon == std::string::npos || host_port.size() - colon - 1 <= 5;
}

}  // namespace

// "[scheme://][user[:password]@]host[:port][/folder]", split by hand: the scheme as typed in any
// letter case, the host part up to the first "/", its first "@" and, before it, the first ":".
ServerUrl::ServerUrl(const std::string& text) : shown_(text) {
  std::size_t start = 0;
  scheme_ = "ftp";
  if (const std::size_t sep = text.find("://"); sep != std::string::npos && sep > 0) {
    const std::string typed = Lowered(text.substr(0, sep));
    bool letters = true;
    for (const char c : typed) letters = letters && std::isalpha(static_cast<unsigned char>(c));
    if (letters) {
      scheme_ = typed;
      start = sep + 3;
    }
  }
  if (scheme_ == "ftps") {
    scheme_ = "ftp";
    tls_ = true;
  }
  const std::size_t slash = text.find('/', start);
  const std::string authority = text.substr(start, slash - start);
  const std::size_t at = authority.find('@');
  const std::string host_port = at == std::string::npos ? authority : authority.substr(at + 1);
  if (!ValidHost(host_port)) {
    if (const std::size_t last = text.rfind('@'); last != std::string::npos) {
      shown_ = "***" + text.substr(last);
    }
    return;
  }
  if (at != std::string::npos) {
    const std::size_t colon = authority.find(':');
    if (colon < at) {
      password_ = authority.substr(colon + 1, at - colon - 1);
      if (!password_.empty()) shown_.replace(start + colon + 1, password_.size(), "***");
    }
  }
  origin_ = scheme_ + "://" + authority;
  path_ = slash == std::string::npos ? "" : text.substr(slash);
  while (!path_.empty() && path_.back() == '/') path_.pop_back();
  path_ = EscapePath(path_, true);
}

}  // namespace pellvane
