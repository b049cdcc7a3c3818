#include "transfer/server_url.h"

#include <cctype>

namespace pellvane {
namespace {

// Every byte outside [A-Za-z0-9-._~/] as %XX; with `keep_escapes` a "%" stays, so that a
// folder typed already escaped ("my%20site") is not escaped twice.
std::string Escape(const std::string& path, bool keep_escapes = false) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (const char ch : path) {
    const auto c = static_cast<unsigned char>(ch);
    if (std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~' || c == '/' ||
        (keep_escapes && c == '%')) {
      out += ch;
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

}  // namespace

ServerUrl::ServerUrl(const std::string& text) {
  std::string rest = text;
  const std::size_t sep = text.find("://");
  if (sep != std::string::npos) {
    for (std::size_t i = 0; i < sep; ++i) {
      scheme_ += static_cast<char>(std::tolower(static_cast<unsigned char>(text[i])));
    }
    rest = text.substr(sep + 3);
  } else {
    scheme_ = "ftp";
  }
  if (scheme_ == "ftps") {
    scheme_ = "ftp";
    tls_ = true;
  }
  const std::size_t slash = rest.find('/');
  const std::string authority = rest.substr(0, slash);
  path_ = slash == std::string::npos ? "" : rest.substr(slash);
  while (!path_.empty() && path_.back() == '/') path_.pop_back();
  path_ = Escape(path_, true);
  origin_ = scheme_ + "://" + authority;
  if (const std::size_t at = authority.rfind('@'); at != std::string::npos) {
    const std::size_t colon = authority.find(':');
    if (colon < at) password_ = authority.substr(colon + 1, at - colon - 1);
  }
}

std::string ServerUrl::StartFolder() const {
  // libcurl starts FTP paths in the login folder; SFTP paths at the root, "~" is home.
  if (!path_.empty() || !Sftp()) return origin_ + path_;
  return origin_ + "/~";
}

std::string ServerUrl::FileUrl(const std::string& remote) const {
  if (!remote.empty() && remote.front() == '/') {
    return origin_ + (Sftp() ? "/" : "/%2F") + Escape(remote.substr(1));
  }
  return StartFolder() + "/" + Escape(remote);
}

std::string ServerUrl::FolderUrl() const { return StartFolder() + "/"; }

}  // namespace pellvane
