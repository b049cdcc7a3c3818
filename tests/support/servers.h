// Real servers on 127.0.0.1 for the tests, each a child process on a free port, started by the
// constructor and killed by the destructor: an HTTP echo page of our own that misbehaves on
// request, an FTP server (pyftpdlib) that can replay scripted replies, an SFTP server (paramiko)
// and an HTTP proxy (tinyproxy). Nothing listens beyond loopback. Each object is for one thread.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace pellvane::testing {

// A port on 127.0.0.1 that nothing listens on right now.
int FreePort();

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
  // Every request line (HTTP), command (FTP) or login (SFTP) so far, in order; the
  // proxy's log.
  std::vector<std::string> Commands() const;

 protected:
  explicit ChildServer(std::string scheme);
  // Starts the server with `argv` plus --port-file and --commands, and waits for its port.
  void Start(std::vector<std::string> argv);
  std::string dir_, root_, scheme_;

 private:
  // Runs `argv` with its output in `log` and waits until the port named in `port_file` takes
  // connections: a child of this process on Linux, one of the server broker under Wine.
  void Launch(std::vector<std::string> argv, const std::string& log, const std::string& port_file);
  pid_t pid_ = -1;
  int port_ = 0;
};

// Our own HTTP echo page (see echo_server.py for the faults its query asks for).
class EchoServer : public ChildServer {
 public:
  EchoServer();
  std::string Url(const std::string& path) const { return ChildServer::Url() + path; }
  void Serve(const std::string& path, const std::string& body, int status = 200);
};

struct FtpOptions {
  std::string user = "pell";
  std::string password = "vane";
  bool tls = false;               // explicit TLS (ftps://), with the certificate in Certificate()
  std::string login_folder = "";  // where a login starts, as "/home"; the root when empty
  // Lines "<COMMAND> <delay ms> <reply>": that command waits, then gets the reply instead of
  // being carried out. "STOR 0 550 No." refuses every upload.
  std::vector<std::string> script = {};
  bool exit_after_upload = false;  // ends, unanswered, at the first command after an upload
  long keep_bytes = -1;            // keeps only so many bytes of an upload, and says 226
};

class FtpServer : public ChildServer {
 public:
  explicit FtpServer(FtpOptions options = {});
  std::string Certificate() const { return dir_ + "/cert.pem"; }  // for CURL_CA_BUNDLE
};

// The user "pell" logs in with `password`; its home folder is /home. A fresh host key is in
// KnownHosts().
class SftpServer : public ChildServer {
 public:
  explicit SftpServer(const std::string& password);
  // "[127.0.0.1]:<port> ssh-rsa ..."
  std::string KnownHosts() const { return dir_ + "/known_hosts"; }
};

class ProxyServer : public ChildServer {
 public:
  ProxyServer();
  std::string HostPort() const { return "127.0.0.1:" + std::to_string(port()); }
};

}  // namespace pellvane::testing
