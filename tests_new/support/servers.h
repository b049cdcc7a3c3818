// Real servers on 127.0.0.1 for the tests, each on a free port, started by the constructor and
// stopped by the destructor: an HTTP echo page of our own that misbehaves on request, an FTP
// server (pyftpdlib) that can replay scripted replies, an SFTP server (paramiko) and an HTTP
// proxy (tinyproxy). Nothing listens beyond loopback. Each object is for one thread; the echo
// server answers from threads of its own.
#pragma once

#include <sys/types.h>

#include <memory>
#include <string>
#include <vector>

namespace pellvane::testing {

// A path answers what Serve() gave it (404 otherwise); the query asks for faults: delay_ms=N
// before the answer, status=N, size=N (a body of N digits instead), trickle_ms=N (one byte
// every N ms), close_after=N (hang up after N body bytes), redirect=PATH (a 302), hang=1 (never
// answer), nolength=1 (no Content-Length, the end is the close), chunked=1 (chunked encoding).
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

// A child process in a folder of its own that names its port in a file and logs what it got.
class ChildServer {
 public:
  virtual ~ChildServer();
  ChildServer(const ChildServer&) = delete;
  ChildServer& operator=(const ChildServer&) = delete;
  int port() const { return port_; }
  std::string Url() const { return scheme_ + "://127.0.0.1:" + std::to_string(port_); }
  // The served folder; the client's "/".
  const std::string& root() const { return root_; }
  // Every command (FTP) or operation (SFTP) or request line (proxy) so far, in order.
  std::vector<std::string> Commands() const;

 protected:
  explicit ChildServer(std::string scheme);
  // Starts the server with `argv` plus --port-file and --commands, and waits for its port.
  void Start(std::vector<std::string> argv);
  std::string dir_, root_, scheme_;

 private:
  pid_t pid_ = -1;
  int port_ = 0;
};

struct FtpOptions {
  std::string user = "pell";
  std::string password = "vane";
  bool tls = false;  // explicit TLS (ftps://), with the certificate in Certificate()
  // Lines "<COMMAND> <delay ms> <reply>": that command waits, then gets the reply instead of
  // being carried out; the reply "exit" ends the server unanswered. "STOR 0 550 No." refuses
  // every upload.
  std::vector<std::string> script;
  bool exit_after_upload = false;  // ends, unanswered, at the first command after an upload
};

class FtpServer : public ChildServer {
 public:
  explicit FtpServer(FtpOptions options = {});
  std::string Certificate() const { return dir_ + "/cert.pem"; }  // for CURL_CA_BUNDLE
};

struct SftpOptions {
  std::string password = "vane";  // for the user "pell"
  bool read_only = false;         // every write refused with "permission denied"
};

// The login's home folder is /home; a fresh host key is in KnownHosts().
class SftpServer : public ChildServer {
 public:
  explicit SftpServer(SftpOptions options = {});
  // "[127.0.0.1]:<port> ssh-rsa ..."
  std::string KnownHosts() const { return dir_ + "/known_hosts"; }
};

class ProxyServer : public ChildServer {
 public:
  ProxyServer();
  std::string HostPort() const { return "127.0.0.1:" + std::to_string(port()); }
};

}  // namespace pellvane::testing
