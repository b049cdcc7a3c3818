// Real servers on 127.0.0.1 for the tests, each on a free port, started by the constructor
// and stopped by the destructor: an HTTP echo page of our own that can misbehave on request,
// an FTP server (pyftpdlib), an SFTP server (paramiko) and an HTTP proxy (tinyproxy). Nothing
// listens beyond loopback.
#pragma once

#include <sys/types.h>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace pellvane::testing {

// An HTTP server in a thread of the test process. A path answers what Serve() gave it (404
// otherwise); the query asks for faults: delay_ms=N before the answer, status=N, size=N
// (a body of N digits instead), trickle_ms=N (one byte every N ms), close_after=N (hang up
// after N body bytes), redirect=PATH (a 302 to PATH), hang=1 (never answer), reason=TEXT (the
// status line's reason, %XX escapes decoded), no_length=1 (no Content-Length header).
class EchoServer {
 public:
  EchoServer();
  ~EchoServer();
  EchoServer(const EchoServer&) = delete;
  EchoServer& operator=(const EchoServer&) = delete;

  int port() const;
  std::string Url(const std::string& path) const;  // http://127.0.0.1:<port><path>
  void Serve(const std::string& path, const std::string& body, int status = 200);
  // Every request so far: its request line and header lines, CR LF removed.
  std::vector<std::vector<std::string>> Requests() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// A child process on a folder of its own, with one user.
class ChildServer {
 public:
  ChildServer(const ChildServer&) = delete;
  ChildServer& operator=(const ChildServer&) = delete;
  int port() const { return port_; }
  // Ends the server at once; the destructor does it too.
  void Stop();

 protected:
  ChildServer() = default;
  ~ChildServer();
  // Starts argv with its output into `log` and waits until it names its port in `port_file`.
  void Start(const std::vector<std::string>& argv, const std::string& log,
             const std::string& port_file);
  std::string dir_;

 private:
  pid_t pid_ = -1;
  int port_ = 0;
};

struct FtpOptions {
  std::string user = "pell";
  std::string password = "vane";
  bool tls = false;        // explicit TLS (ftps://); the certificate is in Certificate()
  bool read_only = false;  // every upload refused with 550
  // The server ends, without an answer, at the first command after a completed upload.
  bool exit_after_upload = false;
  std::string root;  // the served folder; empty means a fresh one
};

class FtpServer : public ChildServer {
 public:
  explicit FtpServer(FtpOptions options = {});
  ~FtpServer();
  std::string Url() const;  // ftp://127.0.0.1:<port>, ftps:// with TLS
  const std::string& root() const { return root_; }
  // The server's self-signed certificate, for CURL_CA_BUNDLE.
  std::string Certificate() const;
  // Every command line received so far, in order.
  std::vector<std::string> Commands() const;

 private:
  FtpOptions options_;
  std::string root_;
};

struct SftpOptions {
  std::string user = "pell";
  std::string password = "vane";
  // The login's home folder ("~") as the client sees it; "/" is the served root.
  std::string home = "/home";
  bool read_only = false;  // every write refused with "permission denied"
};

class SftpServer : public ChildServer {
 public:
  explicit SftpServer(SftpOptions options = {});
  ~SftpServer();
  std::string Url() const;  // sftp://127.0.0.1:<port>
  // The served folder, the client's "/".
  const std::string& root() const { return root_; }
  // A known_hosts file with this server's fresh key: "[127.0.0.1]:<port> ssh-rsa ...".
  std::string KnownHosts() const;
  // Every login and SFTP operation so far, in order ("open /home/x.htm write,create,truncate").
  std::vector<std::string> Commands() const;

 private:
  std::string root_;
};

class ProxyServer : public ChildServer {
 public:
  ProxyServer();
  ~ProxyServer();
  std::string HostPort() const;  // 127.0.0.1:<port>
  // The request lines the proxy handled ("GET http://... HTTP/1.1").
  std::vector<std::string> Requests() const;
};

}  // namespace pellvane::testing
