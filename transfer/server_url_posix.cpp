#include <curl/curl.h>

#include <memory>

#include "platform/text.h"
#include "transfer/server_url.h"

namespace pellvane {
namespace {

struct UrlDeleter {
  void operator()(CURLU* u) const { curl_url_cleanup(u); }
};
using Url = std::unique_ptr<CURLU, UrlDeleter>;

// A part as stored (escapes as typed); `found` false when the URL has none.
std::string Part(CURLU* url, CURLUPart part, bool* found = nullptr) {
  char* text = nullptr;
  const bool ok = curl_url_get(url, part, &text, 0) == CURLUE_OK && text != nullptr;
  if (found != nullptr) *found = ok;
  std::string out = ok ? text : "";
  curl_free(text);
  return out;
}

}  // namespace

ServerUrl::ServerUrl(const std::string& text) : shown_(text) {
  const Url url(curl_url());
  if (!url || curl_url_set(url.get(), CURLUPART_URL, text.c_str(),
                           CURLU_NON_SUPPORT_SCHEME | CURLU_DEFAULT_SCHEME | CURLU_ALLOW_SPACE) !=
                  CURLUE_OK) {
    if (const std::size_t at = text.rfind('@'); at != std::string::npos) {
      shown_ = "***" + text.substr(at);
    }
    return;
  }
  // The parser reads a scheme only where "name:/" begins the text; otherwise it put in its
  // own default, and a text without a scheme means FTP here.
  scheme_ = Part(url.get(), CURLUPART_SCHEME);
  const bool typed_scheme = StartsWithNoCase(text, scheme_ + ":/");
  if (!typed_scheme) scheme_ = "ftp";
  if (scheme_ == "ftps") {
    scheme_ = "ftp";
    tls_ = true;
  }
  curl_url_set(url.get(), CURLUPART_SCHEME, scheme_.c_str(), CURLU_NON_SUPPORT_SCHEME);

  // A "?" or "#" typed into the folder belongs to the folder's name.
  bool found = false;
  path_ = Part(url.get(), CURLUPART_PATH);
  if (const std::string query = Part(url.get(), CURLUPART_QUERY, &found); found) {
    path_ += "?" + query;
  }
  if (const std::string fragment = Part(url.get(), CURLUPART_FRAGMENT, &found); found) {
    path_ += "#" + fragment;
  }
  while (!path_.empty() && path_.back() == '/') path_.pop_back();
  path_ = EscapePath(path_, true);
  curl_url_set(url.get(), CURLUPART_PATH, "/", 0);
  curl_url_set(url.get(), CURLUPART_QUERY, nullptr, 0);
  curl_url_set(url.get(), CURLUPART_FRAGMENT, nullptr, 0);
  origin_ = Part(url.get(), CURLUPART_URL);
  if (!origin_.empty() && origin_.back() == '/') origin_.pop_back();

  password_ = Part(url.get(), CURLUPART_PASSWORD);
  if (password_.empty()) return;
  // The parser takes the host part's first "@" and, before it, the first ":".
  std::size_t start = 0;
  if (typed_scheme) {
    start = text.find(':') + 1;
    while (start < text.size() && text[start] == '/') ++start;
  }
  const std::size_t at = text.find('@', start);
  const std::size_t colon = text.find(':', start);
  if (colon < at && at != std::string::npos &&
      text.compare(colon + 1, at - colon - 1, password_) == 0) {
    shown_.replace(colon + 1, password_.size(), "***");
  } else {
    shown_ = text.substr(0, start) + "***" + text.substr(at == std::string::npos ? start : at);
  }
}

}  // namespace pellvane
