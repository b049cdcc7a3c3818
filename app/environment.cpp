#include "app/environment.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace pellvane {
namespace {

bool IsSet(const char* value) { return value != nullptr && *value != '\0'; }

// A time-out in seconds from the environment, in milliseconds and never below one: libcurl
// reads 0 as no time-out at all. `fallback` when unset or not a positive number.
long TimeoutFromEnvironment(const char* name, long fallback) {
  const char* text = std::getenv(name);
  if (text == nullptr) return fallback;
  char* end = nullptr;
  const double seconds = std::strtod(text, &end);
  if (end == text || *end != '\0' || !(seconds > 0) || seconds > 86400) return fallback;
  return std::max(1L, std::lround(seconds * 1000));
}

}  // namespace

TransferSettings TransferFromEnvironment() {
  TransferSettings t;
  t.connect_timeout_ms = TimeoutFromEnvironment("PELLVANE_CONNECT_TIMEOUT", kConnectTimeoutMs);
  t.request_timeout_ms = TimeoutFromEnvironment("PELLVANE_REQUEST_TIMEOUT", kRequestTimeoutMs);
  // Trust for a server with a certificate of its own, as the curl tool takes it.
  if (const char* ca = std::getenv("CURL_CA_BUNDLE"); IsSet(ca)) t.ca_file = ca;
  if (const std::string home = HomeFolder(); !home.empty()) {
    t.known_hosts_file = home + "/.ssh/known_hosts";
  }
  for (const char* name : {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY", "ftp_proxy",
                           "FTP_PROXY", "all_proxy", "ALL_PROXY"}) {
    if (const char* proxy = std::getenv(name); IsSet(proxy)) t.proxy_logins.emplace_back(proxy);
  }
  return t;
}

SessionConfig ConfigFromEnvironment(std::string command_line) {
  return {ProgramFolderFromEnvironment(), StorePathFromEnvironment(), std::move(command_line),
          TransferFromEnvironment()};
}

}  // namespace pellvane
