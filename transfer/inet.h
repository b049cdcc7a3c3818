// The Internet transfer component: HTTP(S) fetches and FTP operations, with the members the
// check and the publish use and a state-change event. On libcurl (Linux: also FTPS and SFTP)
// or on WinINet (Windows: ftp:// only).
// Not safe from two threads, except Cancel, which may come from any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace pellvane {

struct InetState;

// StateChanged states the program tells apart.
inline constexpr std::int16_t icError = 11;
inline constexpr std::int16_t icResponseCompleted = 12;

// The component's time-outs unless its settings change them: to connect, and for a whole request.
inline constexpr long kConnectTimeoutMs = 15000;
inline constexpr long kRequestTimeoutMs = 60000;
// The largest echo page body OpenURL accepts.
inline constexpr std::size_t kMaxBodyBytes = 64 * 1024;

// Protocol values.
inline constexpr int icDefault = 1;  // taken from the URL
inline constexpr int icFTP = 2;

// How requests reach their servers (the stored proxy mode): the system's proxy settings,
// directly, or through the Proxy text.
enum class ProxyMode { kSystem = 0, kDirect = 1, kNamed = 2 };

// A stored proxy mode; a number outside 0..2 means the system's proxy settings.
ProxyMode ProxyModeFrom(int stored);

// What the component is handed by whoever starts the program.
struct TransferSettings {
  long connect_timeout_ms = kConnectTimeoutMs;  // never 0: libcurl reads that as no limit
  long request_timeout_ms = kRequestTimeoutMs;
  std::string ca_file;           // certificates to trust; empty: the system's own
  std::string known_hosts_file;  // an SFTP server's key must be in it
  // The proxies the environment names (http_proxy and the like), whose logins are masked.
  std::vector<std::string> proxy_logins;
};

class Inet {
 public:
  explicit Inet(TransferSettings settings = {});
  ~Inet();
  Inet(const Inet&) = delete;
  Inet& operator=(const Inet&) = delete;

  // Stops whatever is under way (from another thread, or between operations).
  void Cancel();

  void SetURL(std::string url);
  const std::string& URL() const;
  void SetAccessType(ProxyMode mode);
  ProxyMode AccessType() const;
  void SetProxy(std::string proxy);
  const std::string& Proxy() const;
  void SetProtocol(int protocol);
  int Protocol() const;
  void SetUserName(std::string user);
  void SetPassword(std::string password);

  // GET of URL(); the whole body, or empty when the fetch failed.
  std::string OpenURL();
  // One FTP command on URL() ("put <local> <remote>", "dir", "close"); returns when done,
  // true when it succeeded. `url` empty means URL().
  bool Execute(std::string_view url, std::string_view operation);
  // What a later "put" of `local` sends instead of reading that file: the page this run wrote
  // there, which may have been replaced since. Sent once.
  void HoldFile(std::string local, std::string bytes);
  // After a "put" that succeeded: true when the server told the size of the file it kept (it
  // matched, or the put would have failed); false when it could not tell and was taken at its
  // word.
  bool PutVerified() const;

  // 0 after a request without error; otherwise the code and a text a user can act on.
  std::int32_t ResponseCode() const;
  const std::string& ResponseInfo() const;
  // The next part of the last response's data, at most `size` bytes; empty when all is read.
  std::string GetChunk(std::size_t size);

  // Raised on the caller's thread after every request: 12 when it completed, 11 on error.
  void SetStateChanged(std::function<void(std::int16_t)> handler);

  // Runs on the caller's thread again and again while a request is under way (every
  // few milliseconds), so that a window can repaint meanwhile; it must not start a request.
  void SetYieldHook(std::function<void()> hook);

 private:
  // The library's own part, in the backend's file, over what all libraries share.
  struct Impl;
  static std::unique_ptr<InetState> MakeImpl();
  std::unique_ptr<InetState> impl_;
};

// Sets the component up before a request: URL emptied, the access type `mode`, and with a named
// proxy whose server and port are both given, Proxy "server:port"; else Proxy stays as it was.
void ApplyProxy(Inet& inet, ProxyMode mode, const std::string& server, const std::string& port);

}  // namespace pellvane
