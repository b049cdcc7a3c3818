#include "transfer/inet.h"

#include <curl/curl.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <optional>

#include "platform/safe_file.h"
#include "transfer/inet_state.h"
#include "transfer/secret_text.h"
#include "transfer/server_url.h"

namespace pellvane {
namespace {

// A "dir" listing is read away and dropped; beyond this much it is cut short.
constexpr std::size_t kMaxListingBytes = 1 << 20;
// More than any certificate bundle holds (Debian's has some 200 KiB).
constexpr std::size_t kMaxCaBytes = 16 << 20;

}  // namespace

struct Inet::Impl : InetState {
  Impl() {
    static const CURLcode global = curl_global_init(CURL_GLOBAL_DEFAULT);
    (void)global;
  }
  ~Impl() override { EndConnections(); }

  // The handle for the next request, options back to their defaults; its connections (and
  // an FTP login) are kept. Null when there is none: the request has failed then.
  CURL* Begin(std::size_t limit, bool limit_fails);
  // Runs the request on the handle, letting the yield hook run every few milliseconds.
  CURLcode Perform(CURL* h);
  // Ends the handle and its connections, with a QUIT on an FTP one.
  void EndConnections();
  // Sets ResponseCode and ResponseInfo from a finished request; true when it succeeded.
  bool Finish(CURLcode rc, bool http);
  bool Login(const ServerUrl& server) override;
  bool Put(const ServerUrl& server, std::string bytes, const std::string& remote) override;
  long long RemoteSize(const ServerUrl& server, const std::string& remote) override;
  bool Dir(const ServerUrl& server) override;
  bool Close() override;
  // False when the login must not be tried: the request has failed then.
  bool ApplyLogin(CURL* h, const ServerUrl& server);

  static std::size_t OnBody(char* ptr, std::size_t size, std::size_t n, void* self);
  static std::size_t OnUpload(char* buffer, std::size_t size, std::size_t n, void* self);
  static std::size_t OnHeader(char* ptr, std::size_t size, std::size_t n, void* self);
  static int OnProgress(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t);
  static int OnHostKey(CURL*, const curl_khkey*, const curl_khkey*, curl_khmatch match, void* self);

  CURL* easy = nullptr;
  CURLM* multi = nullptr;  // holds the connections, so one FTP login serves several requests

  // Of the request under way.
  std::string body;
  std::string_view upload;  // what a put has still to send
  std::size_t body_limit = 0;
  bool limit_fails = false;
  bool over_limit = false;
  std::string last_reply;      // the server's last reply line (FTP) or status line (HTTP)
  std::string known_hosts;     // the file an SFTP server's key is checked against
  std::string host_key_fault;  // why that check refused the key
  // The certificates to trust, read once by the program itself: a FIFO or a device named there
  // would block libcurl's own open. `ca_fault` says why they could not be read.
  std::optional<std::string> ca_bytes;
  std::string ca_fault;
  char error[CURL_ERROR_SIZE] = {};
};

std::size_t Inet::Impl::OnBody(char* ptr, std::size_t size, std::size_t n, void* self) {
  auto& d = *static_cast<Impl*>(self);
  const std::size_t len = size * n;
  const std::size_t room = d.body_limit - d.body.size();
  if (len > room) {
    if (d.limit_fails) {
      d.over_limit = true;
      return 0;  // ends the transfer with a write error
    }
    d.body.append(ptr, room);
    return len;
  }
  d.body.append(ptr, len);
  return len;
}

std::size_t Inet::Impl::OnUpload(char* buffer, std::size_t size, std::size_t n, void* self) {
  auto& d = *static_cast<Impl*>(self);
  const std::size_t len = std::min(size * n, d.upload.size());
  std::memcpy(buffer, d.upload.data(), len);
  d.upload.remove_prefix(len);
  return len;
}

std::size_t Inet::Impl::OnHeader(char* ptr, std::size_t size, std::size_t n, void* self) {
  auto& d = *static_cast<Impl*>(self);
  std::string line(ptr, size * n);
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
  if (IsReplyLine(line) || line.rfind("HTTP/", 0) == 0) d.last_reply = line;
  return size * n;
}

int Inet::Impl::OnProgress(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  return static_cast<Impl*>(self)->cancel.load() ? 1 : 0;
}

int Inet::Impl::OnHostKey(CURL*, const curl_khkey*, const curl_khkey*, curl_khmatch match,
                          void* self) {
  if (match == CURLKHMATCH_OK) return CURLKHSTAT_FINE;
  // A host the file does not name is refused as well: it may be anyone.
  auto& d = *static_cast<Impl*>(self);
  d.host_key_fault = (match == CURLKHMATCH_MISMATCH ? "Schlüssel des Servers passt nicht zu "
                                                    : "Schlüssel des Servers fehlt in ") +
                     d.known_hosts;
  return CURLKHSTAT_REJECT;
}

CURL* Inet::Impl::Begin(std::size_t limit, bool fails) {
  if (easy == nullptr) {
    easy = curl_easy_init();
  } else {
    curl_easy_reset(easy);
  }
  cancel = false;
  body.clear();
  body_limit = limit;
  limit_fails = fails;
  over_limit = false;
  last_reply.clear();
  known_hosts.clear();
  host_key_fault.clear();
  error[0] = '\0';
  data.clear();
  data_pos = 0;
  if (easy == nullptr) {
    Fail(CURLE_OUT_OF_MEMORY, curl_easy_strerror(CURLE_OUT_OF_MEMORY));
    return nullptr;
  }

  curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, settings.connect_timeout_ms);
  curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, settings.request_timeout_ms);
  // Also for the reply to the QUIT that ends an FTP session, which no request time-out bounds.
  curl_easy_setopt(easy, CURLOPT_SERVER_RESPONSE_TIMEOUT,
                   std::max(1L, (settings.request_timeout_ms + 999) / 1000));
  curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, error);
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &Impl::OnBody);
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, this);
  curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &Impl::OnHeader);
  curl_easy_setopt(easy, CURLOPT_HEADERDATA, this);
  curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, &Impl::OnProgress);
  curl_easy_setopt(easy, CURLOPT_XFERINFODATA, this);
  // The system's proxy leaves libcurl to the environment's variables; an empty text goes direct.
  if (access_type == ProxyMode::kDirect) curl_easy_setopt(easy, CURLOPT_PROXY, "");
  if (access_type == ProxyMode::kNamed) curl_easy_setopt(easy, CURLOPT_PROXY, proxy.c_str());
  // Trust for a server with a certificate of its own, as the curl tool takes it. Unreadable,
  // it trusts nothing: a TLS connection fails, a plain one goes ahead.
  if (!settings.ca_file.empty()) {
    if (!ca_bytes && !ReadRegularFile(settings.ca_file, &ca_bytes.emplace(), kMaxCaBytes)) {
      ca_bytes->clear();
      ca_fault = "Datei nicht lesbar: " + settings.ca_file;
    }
    curl_blob blob{ca_bytes->data(), ca_bytes->size(), CURL_BLOB_NOCOPY};
    curl_easy_setopt(easy, CURLOPT_CAINFO_BLOB, &blob);
  }
  return easy;
}

bool Inet::Impl::Finish(CURLcode rc, bool http) {
  long status = 0;
  curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
  if (rc == CURLE_OK && !(http && status >= 400)) {
    code = 0;
    info.clear();
    return true;
  }
  if (over_limit || rc == CURLE_FILESIZE_EXCEEDED) {
    return Fail(CURLE_FILESIZE_EXCEEDED, "Antwort größer als 64 KiB");
  }
  if (rc == CURLE_ABORTED_BY_CALLBACK) return Fail(rc, "Abgebrochen");
  if (!host_key_fault.empty()) return Fail(rc, host_key_fault);
  if (rc == CURLE_SSL_CACERT_BADFILE && !ca_fault.empty()) return Fail(rc, ca_fault);
  if (status >= 400 && !last_reply.empty())
    return Fail(static_cast<std::int32_t>(status), last_reply);
  return Fail(rc, error[0] != '\0' ? error : curl_easy_strerror(rc));
}

bool Inet::Impl::ApplyLogin(CURL* h, const ServerUrl& server) {
  curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "ftp,ftps,sftp");
  // Through an HTTP proxy an FTP session needs a tunnel.
  curl_easy_setopt(h, CURLOPT_HTTPPROXYTUNNEL, 1L);
  if (server.ExplicitTls()) curl_easy_setopt(h, CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_ALL));
  if (!user.empty()) {
    curl_easy_setopt(h, CURLOPT_USERNAME, user.c_str());
    curl_easy_setopt(h, CURLOPT_PASSWORD, password.c_str());
  }
  if (server.Sftp()) {
    // The login is the user and password: no key from ~/.ssh or an agent is offered, which
    // would show the server who this is and can use up its tries before the password.
    curl_easy_setopt(h, CURLOPT_SSH_AUTH_TYPES,
                     static_cast<long>(CURLSSH_AUTH_PASSWORD | CURLSSH_AUTH_KEYBOARD));
    // The server's key must be in known_hosts. Without a file to check it against the password
    // is not sent: any server could be asking. Looked at first, without waiting: libssh2's own
    // open would block on a FIFO.
    known_hosts = settings.known_hosts_file;
    if (known_hosts.empty() || !OpenForReading(known_hosts).is_open()) {
      return Fail(CURLE_PEER_FAILED_VERIFICATION,
                  "Schlüssel des Servers nicht prüfbar, Datei nicht lesbar: " +
                      (known_hosts.empty() ? std::string("~/.ssh/known_hosts") : known_hosts));
    }
    curl_easy_setopt(h, CURLOPT_SSH_KNOWNHOSTS, known_hosts.c_str());
    curl_easy_setopt(h, CURLOPT_SSH_KEYFUNCTION, &Impl::OnHostKey);
    curl_easy_setopt(h, CURLOPT_SSH_KEYDATA, this);
  }
  return true;
}

// libcurl logs in with each request; what can fail before it is the URL.
bool Inet::Impl::Login(const ServerUrl& server) {
  return server.Valid() || Fail(CURLE_URL_MALFORMAT, curl_easy_strerror(CURLE_URL_MALFORMAT));
}

bool Inet::Impl::Put(const ServerUrl& server, std::string bytes, const std::string& remote) {
  CURL* h = Begin(0, false);
  if (h == nullptr || !ApplyLogin(h, server)) return false;
  const std::string target = server.FileUrl(remote);
  upload = bytes;
  curl_easy_setopt(h, CURLOPT_URL, target.c_str());
  curl_easy_setopt(h, CURLOPT_UPLOAD, 1L);
  curl_easy_setopt(h, CURLOPT_READFUNCTION, &Impl::OnUpload);
  curl_easy_setopt(h, CURLOPT_READDATA, this);
  curl_easy_setopt(h, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(bytes.size()));
  const bool ok = Finish(Perform(h), false);
  upload = {};
  return ok;
}

long long Inet::Impl::RemoteSize(const ServerUrl& server, const std::string& remote) {
  CURL* h = Begin(0, false);
  if (h == nullptr || !ApplyLogin(h, server)) return -1;
  const std::string target = server.FileUrl(remote);
  curl_easy_setopt(h, CURLOPT_URL, target.c_str());
  // FTP asks SIZE, SFTP the file's attributes; nothing is transferred.
  curl_easy_setopt(h, CURLOPT_NOBODY, 1L);
  curl_off_t size = -1;
  if (Perform(h) != CURLE_OK ||
      curl_easy_getinfo(h, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &size) != CURLE_OK) {
    size = -1;
  }
  return size;
}

bool Inet::Impl::Dir(const ServerUrl& server) {
  CURL* h = Begin(kMaxListingBytes, false);
  if (h == nullptr || !ApplyLogin(h, server)) return false;
  const std::string target = server.FolderUrl();
  curl_easy_setopt(h, CURLOPT_URL, target.c_str());
  const bool ok = Finish(Perform(h), false);
  if (ok) data = std::move(body);
  return ok;
}

CURLcode Inet::Impl::Perform(CURL* h) {
  // How long the window may go without a turn of its event loop during a request.
  constexpr int kYieldMs = 40;
  if (multi == nullptr) multi = curl_multi_init();
  if (multi == nullptr || curl_multi_add_handle(multi, h) != CURLM_OK) return CURLE_OUT_OF_MEMORY;
  int running = 1;
  CURLMcode mc = curl_multi_perform(multi, &running);
  while (mc == CURLM_OK && running > 0) {
    mc = curl_multi_poll(multi, nullptr, 0, kYieldMs, nullptr);
    if (yield) yield();
    if (mc == CURLM_OK) mc = curl_multi_perform(multi, &running);
  }
  CURLcode rc = mc == CURLM_OK ? CURLE_OK : CURLE_RECV_ERROR;
  int left = 0;
  while (CURLMsg* msg = curl_multi_info_read(multi, &left)) {
    if (msg->msg == CURLMSG_DONE && msg->easy_handle == h) rc = msg->data.result;
  }
  curl_multi_remove_handle(multi, h);
  return rc;
}

void Inet::Impl::EndConnections() {
  if (easy != nullptr) curl_easy_cleanup(easy);
  if (multi != nullptr) curl_multi_cleanup(multi);
  easy = nullptr;
  multi = nullptr;
}

bool Inet::Impl::Close() {
  EndConnections();
  ClearResponse();
  return true;
}

std::unique_ptr<InetState> Inet::MakeImpl() { return std::make_unique<Impl>(); }

std::string Inet::OpenURL() {
  Impl& d = static_cast<Impl&>(*impl_);
  bool ok = false;
  if (CURL* h = d.Begin(kMaxBodyBytes, true); h != nullptr) {
    curl_easy_setopt(h, CURLOPT_URL, d.url.c_str());
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(h, CURLOPT_MAXREDIRS, 5L);
    curl_easy_setopt(h, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(kMaxBodyBytes));
    ok = d.Finish(d.Perform(h), true);
  }
  std::string body = ok ? std::move(d.body) : std::string();
  d.body.clear();
  d.Raise(ok);
  return body;
}

}  // namespace pellvane
