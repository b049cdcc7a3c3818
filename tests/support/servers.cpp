#include "support/servers.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "support/run_program.h"
#include "support/temp_dir.h"

namespace pellvane::testing {
namespace {

std::string MakeFolder() {
  char name[] = "/tmp/pellvane-server.XXXXXX";
  if (mkdtemp(name) == nullptr) throw std::runtime_error("mkdtemp failed");
  return name;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

bool Connectable(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<std::uint16_t>(port));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
  close(fd);
  return ok;
}

int FreePort() {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
    close(fd);
    throw std::runtime_error("no free port");
  }
  close(fd);
  return ntohs(a.sin_port);
}

// %XX escapes of a query value as bytes.
std::string Unescape(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size()) {
      out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

const char* Reason(int status) {
  switch (status) {
    case 200:
      return "OK";
    case 302:
      return "Found";
    case 404:
      return "Not Found";
    case 500:
      return "Internal Server Error";
    default:
      return "Status";
  }
}

}  // namespace

// ---- EchoServer

struct EchoServer::Impl {
  int listen_fd = -1;
  int stop_pipe[2] = {-1, -1};
  int port = 0;
  std::thread acceptor;
  mutable std::mutex mu;
  std::vector<std::thread> connections;
  std::map<std::string, std::pair<std::string, int>> pages;
  std::vector<std::vector<std::string>> requests;

  // Waits up to `ms` (-1: for ever) for the server to stop; true when it is stopping.
  bool Stopping(int ms) const {
    pollfd p{stop_pipe[0], POLLIN, 0};
    return poll(&p, 1, ms) > 0;
  }
  bool Send(int fd, const char* data, std::size_t n) const {
    while (n > 0) {
      const ssize_t sent = send(fd, data, n, MSG_NOSIGNAL);
      if (sent <= 0) return false;
      data += sent;
      n -= static_cast<std::size_t>(sent);
    }
    return true;
  }
  void Accept();
  void Answer(int fd);
};

void EchoServer::Impl::Accept() {
  for (;;) {
    pollfd p[2] = {{listen_fd, POLLIN, 0}, {stop_pipe[0], POLLIN, 0}};
    if (poll(p, 2, -1) < 0 || (p[1].revents & POLLIN) != 0) return;
    const int fd = accept(listen_fd, nullptr, nullptr);
    if (fd < 0) continue;
    std::lock_guard lock(mu);
    connections.emplace_back([this, fd] {
      Answer(fd);
      close(fd);
    });
  }
}

void EchoServer::Impl::Answer(int fd) {
  std::string head;
  char buf[4096];
  while (head.find("\r\n\r\n") == std::string::npos) {
    pollfd p[2] = {{fd, POLLIN, 0}, {stop_pipe[0], POLLIN, 0}};
    if (poll(p, 2, 10000) <= 0 || (p[1].revents & POLLIN) != 0) return;
    const ssize_t n = recv(fd, buf, sizeof buf, 0);
    if (n <= 0) return;
    head.append(buf, static_cast<std::size_t>(n));
  }
  std::vector<std::string> lines;
  for (const std::string& line : Lines(head.substr(0, head.find("\r\n\r\n")))) {
    lines.push_back(line.substr(0, line.find_last_not_of('\r') + 1));
  }
  std::string target = lines.at(0).substr(lines[0].find(' ') + 1);
  target = target.substr(0, target.find(' '));
  if (target.rfind("http://", 0) == 0) target = target.substr(target.find('/', 7));
  const std::size_t q = target.find('?');
  const std::string path = target.substr(0, q);
  std::map<std::string, std::string> query;
  if (q != std::string::npos) {
    std::istringstream in(target.substr(q + 1));
    for (std::string pair; std::getline(in, pair, '&');) {
      const std::size_t eq = pair.find('=');
      query[pair.substr(0, eq)] = eq == std::string::npos ? "" : pair.substr(eq + 1);
    }
  }
  const auto number = [&](const char* key) {
    return query.count(key) != 0 ? std::stol(query[key]) : -1L;
  };

  std::string body = "Not Found";
  int status = 404;
  {
    std::lock_guard lock(mu);
    requests.push_back(lines);
    if (const auto page = pages.find(path); page != pages.end()) {
      std::tie(body, status) = page->second;
    }
  }
  if (query.count("hang") != 0) {
    Stopping(-1);
    return;
  }
  if (number("delay_ms") >= 0 && Stopping(static_cast<int>(number("delay_ms")))) return;
  std::string extra;
  if (query.count("redirect") != 0) {
    status = 302;
    extra = "Location: " + query["redirect"] + "\r\n";
  }
  if (number("status") >= 0) status = static_cast<int>(number("status"));
  const std::string reason =
      query.count("reason") != 0 ? Unescape(query["reason"]) : Reason(status);
  // A size= body is made block by block, so that a huge one costs the test no memory.
  const bool digits = number("size") >= 0;
  const std::size_t length = digits ? static_cast<std::size_t>(number("size")) : body.size();
  const std::string header =
      "HTTP/1.1 " + std::to_string(status) + " " + reason + "\r\nContent-Type: text/plain\r\n" +
      (query.count("no_length") != 0 ? "" : "Content-Length: " + std::to_string(length) + "\r\n") +
      extra + "Connection: close\r\n\r\n";
  if (!Send(fd, header.data(), header.size())) return;
  const std::size_t end = number("close_after") >= 0
                              ? std::min(length, static_cast<std::size_t>(number("close_after")))
                              : length;
  const long trickle = number("trickle_ms");
  const std::size_t block = trickle >= 0 ? 1 : 64 * 1000;  // a multiple of 10 keeps digits aligned
  std::string digit_block(block + 10, '0');
  for (std::size_t i = 0; i < digit_block.size(); ++i)
    digit_block[i] = static_cast<char>('0' + i % 10);
  for (std::size_t at = 0; at < end; at += block) {
    const char* data = digits ? digit_block.data() + at % 10 : body.data() + at;
    if (!Send(fd, data, std::min(block, end - at))) return;
    if (trickle >= 0 && Stopping(static_cast<int>(trickle))) return;
  }
}

EchoServer::EchoServer() : impl_(std::make_unique<Impl>()) {
  if (pipe(impl_->stop_pipe) != 0) throw std::runtime_error("pipe failed");
  impl_->listen_fd = socket(AF_INET, SOCK_STREAM, 0);
  const int on = 1;
  setsockopt(impl_->listen_fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  if (bind(impl_->listen_fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
      listen(impl_->listen_fd, 64) != 0 ||
      getsockname(impl_->listen_fd, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
    throw std::runtime_error("echo server cannot listen");
  }
  impl_->port = ntohs(a.sin_port);
  impl_->acceptor = std::thread([this] { impl_->Accept(); });
}

EchoServer::~EchoServer() {
  [[maybe_unused]] const ssize_t n = write(impl_->stop_pipe[1], "x", 1);
  impl_->acceptor.join();
  std::vector<std::thread> connections;
  {
    std::lock_guard lock(impl_->mu);
    connections.swap(impl_->connections);
  }
  for (std::thread& t : connections) t.join();
  close(impl_->listen_fd);
  close(impl_->stop_pipe[0]);
  close(impl_->stop_pipe[1]);
}

int EchoServer::port() const { return impl_->port; }

std::string EchoServer::Url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(impl_->port) + path;
}

void EchoServer::Serve(const std::string& path, const std::string& body, int status) {
  std::lock_guard lock(impl_->mu);
  impl_->pages[path] = {body, status};
}

std::vector<std::vector<std::string>> EchoServer::Requests() const {
  std::lock_guard lock(impl_->mu);
  return impl_->requests;
}

// ---- ChildServer

void ChildServer::Start(const std::vector<std::string>& argv, const std::string& log,
                        const std::string& port_file) {
  const pid_t parent = getpid();
  pid_ = fork();
  if (pid_ < 0) throw std::runtime_error("fork failed");
  if (pid_ == 0) {
    // The server goes when the test process goes, however it ends.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(127);
    const int fd = open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    dup2(fd, 1);
    dup2(fd, 2);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
  while (std::chrono::steady_clock::now() < deadline) {
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      throw std::runtime_error(argv[0] + " ended at start:\n" + ReadFile(log));
    }
    if (port_ == 0 && FileExists(port_file)) port_ = std::stoi(ReadFile(port_file));
    if (port_ != 0 && Connectable(port_)) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  Stop();
  throw std::runtime_error(argv[0] + " did not come up:\n" + ReadFile(log));
}

void ChildServer::Stop() {
  if (pid_ <= 0) return;
  kill(pid_, SIGKILL);
  waitpid(pid_, nullptr, 0);
  pid_ = -1;
}

ChildServer::~ChildServer() {
  Stop();
  if (!dir_.empty()) std::filesystem::remove_all(dir_);
}

// ---- FtpServer

FtpServer::FtpServer(FtpOptions options) : options_(std::move(options)) {
  dir_ = MakeFolder();
  root_ = options_.root.empty() ? dir_ + "/root" : options_.root;
  std::filesystem::create_directories(root_);
  std::vector<std::string> argv = {"/usr/bin/python3", PELLVANE_TEST_SERVERS "/ftp_server.py",
                                   "--root",           root_,
                                   "--user",           options_.user,
                                   "--password",       options_.password,
                                   "--port-file",      dir_ + "/port",
                                   "--commands",       dir_ + "/commands"};
  if (options_.tls) {
    const auto made = RunProgram(
        {"openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
         "-nodes", "-days", "2", "-subj", "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1",
         "-keyout", dir_ + "/key.pem", "-out", Certificate()},
        {});
    if (made.status != 0) throw std::runtime_error("openssl: " + made.err);
    argv.insert(argv.end(), {"--cert", Certificate(), "--key", dir_ + "/key.pem"});
  }
  if (options_.read_only) argv.push_back("--read-only");
  if (options_.exit_after_upload) argv.push_back("--exit-after-upload");
  Start(argv, dir_ + "/server.log", dir_ + "/port");
}

FtpServer::~FtpServer() {
  Stop();
  // A root the test gave is the test's to remove.
  if (options_.root.empty()) std::filesystem::remove_all(root_);
}

std::string FtpServer::Url() const {
  return std::string(options_.tls ? "ftps" : "ftp") + "://127.0.0.1:" + std::to_string(port());
}

std::string FtpServer::Certificate() const { return dir_ + "/cert.pem"; }

std::vector<std::string> FtpServer::Commands() const { return Lines(ReadFile(dir_ + "/commands")); }

// ---- SftpServer

SftpServer::SftpServer(SftpOptions options) {
  dir_ = MakeFolder();
  root_ = dir_ + "/root";
  std::filesystem::create_directories(root_ + options.home);
  std::vector<std::string> argv = {"/usr/bin/python3", PELLVANE_TEST_SERVERS "/sftp_server.py",
                                   "--root",           root_,
                                   "--home",           options.home,
                                   "--user",           options.user,
                                   "--password",       options.password,
                                   "--port-file",      dir_ + "/port",
                                   "--known-hosts",    KnownHosts(),
                                   "--commands",       dir_ + "/commands"};
  if (options.read_only) argv.push_back("--read-only");
  Start(argv, dir_ + "/server.log", dir_ + "/port");
}

SftpServer::~SftpServer() = default;

std::string SftpServer::Url() const { return "sftp://127.0.0.1:" + std::to_string(port()); }

std::string SftpServer::KnownHosts() const { return dir_ + "/known_hosts"; }

std::vector<std::string> SftpServer::Commands() const {
  return Lines(ReadFile(dir_ + "/commands"));
}

// ---- ProxyServer

ProxyServer::ProxyServer() {
  dir_ = MakeFolder();
  const int port = FreePort();
  WriteFile(dir_ + "/tinyproxy.conf", "Port " + std::to_string(port) +
                                          "\nListen 127.0.0.1\nTimeout 30\nMaxClients 16\n"
                                          "Allow 127.0.0.1\nLogLevel Info\nLogFile \"" +
                                          dir_ + "/proxy.log\"\n");
  WriteFile(dir_ + "/port", std::to_string(port));
  Start({"tinyproxy", "-d", "-c", dir_ + "/tinyproxy.conf"}, dir_ + "/stderr.log", dir_ + "/port");
}

ProxyServer::~ProxyServer() = default;

std::string ProxyServer::HostPort() const { return "127.0.0.1:" + std::to_string(port()); }

std::vector<std::string> ProxyServer::Requests() const {
  std::vector<std::string> found;
  const std::string mark = "Request (file descriptor ";
  for (const std::string& line : Lines(ReadFile(dir_ + "/proxy.log"))) {
    const std::size_t at = line.find(mark);
    if (at == std::string::npos) continue;
    const std::size_t text = line.find("): ", at);
    if (text != std::string::npos) found.push_back(line.substr(text + 3));
  }
  return found;
}

}  // namespace pellvane::testing
