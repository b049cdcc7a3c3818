#include "transfer/server_url.h"

#include <algorithm>
#include <cstdlib>

#include "transfer/url_escape.h"

namespace pellvane {

std::string EscapePath(const std::string& path, bool keep_escapes) {
  return PercentEncode(path, keep_escapes ? "/%" : "/");
}

std::string ServerUrl::StartFolder() const {
  // libcurl starts FTP paths in the login folder; SFTP paths at the root, "~" is home.
  if (!path_.empty() || !Sftp()) return origin_ + path_;
  return origin_ + "/~";
}

std::string ServerUrl::FileUrl(const std::string& remote) const {
  if (!remote.empty() && remote.front() == '/') {
    return origin_ + (Sftp() ? "/" : "/%2F") + EscapePath(remote.substr(1));
  }
  return StartFolder() + "/" + EscapePath(remote);
}

std::string ServerUrl::FolderUrl() const { return StartFolder() + "/"; }

std::string ServerUrl::Host() const {
  std::string host = origin_.substr(origin_.find("://") + 3);
  host.erase(0, host.find('@') + 1);
  if (const std::size_t colon = host.rfind(':'); colon != std::string::npos && host.back() != ']') {
    host.resize(colon);
  }
  return PercentDecode(host);
}

int ServerUrl::Port() const {
  const std::string after = origin_.substr(
      origin_.rfind('@') == std::string::npos ? origin_.find("://") + 3 : origin_.rfind('@') + 1);
  const std::size_t colon = after.rfind(':');
  if (colon == std::string::npos || after.back() == ']') return 0;
  return std::atoi(after.c_str() + colon + 1);
}

std::string ServerUrl::User() const {
  const std::string after = origin_.substr(origin_.find("://") + 3);
  const std::size_t at = after.find('@');
  if (at == std::string::npos) return {};
  return PercentDecode(after.substr(0, std::min(at, after.find(':'))));
}

std::string ServerUrl::Folder() const { return PercentDecode(path_); }

}  // namespace pellvane
