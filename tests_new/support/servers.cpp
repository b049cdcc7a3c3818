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
#include <filesystem>
#include <map>
#include <mutex>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "support/harness.h"

namespace pellvane::testing {
namespace {

// A socket listening on a free port of 127.0.0.1, and that port.
std::pair<int, int> Listen() {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const int on = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  if (bind(fd, reinterpret_cast<sockaddr*>(&a), len) != 0 || listen(fd, 64) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
    throw std::runtime_error("cannot listen on 127.0.0.1");
  }
  return {fd, ntohs(a.sin_port)};
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

}  // namespace

struct EchoServer::Impl {
  int listen_fd = -1, port = 0;
  int stop[2] = {-1, -1};
  std::thread acceptor;
  mutable std::mutex mu;
  std::vector<std::thread> connections;
  std::map<std::string, std::pair<std::string, int>> pages;
  std::vector<std::vector<std::string>> requests;

  // Waits up to `ms` (-1: for ever) for the server to stop; true when it is stopping.
  bool Stopping(int ms) const {
    pollfd p{stop[0], POLLIN, 0};
    return poll(&p, 1, ms) > 0;
  }
  static bool Send(int fd, const std::string& data) {
    for (std::size_t at = 0; at < data.size();) {
      const ssize_t n = send(fd, data.data() + at, data.size() - at, MSG_NOSIGNAL);
      if (n <= 0) return false;
      at += static_cast<std::size_t>(n);
    }
    return true;
  }
  void Accept() {
    for (;;) {
      pollfd p[2] = {{listen_fd, POLLIN, 0}, {stop[0], POLLIN, 0}};
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
  void Answer(int fd);
};

void EchoServer::Impl::Answer(int fd) {
  std::string head;
  char buf[4096];
  while (head.find("\r\n\r\n") == std::string::npos) {
    pollfd p[2] = {{fd, POLLIN, 0}, {stop[0], POLLIN, 0}};
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
  std::map<std::string, std::string> query;
  std::istringstream in(q == std::string::npos ? "" : target.substr(q + 1));
  for (std::string pair; std::getline(in, pair, '&');) {
    const std::size_t eq = pair.find('=');
    query[pair.substr(0, eq)] = eq == std::string::npos ? "" : pair.substr(eq + 1);
  }
  const auto number = [&](const char* key) { return query.count(key) ? std::stol(query[key]) : -1L; };
  std::string body = "Not Found";
  int status = 404;
  {
    std::lock_guard lock(mu);
    requests.push_back(lines);
    if (const auto page = pages.find(target.substr(0, q)); page != pages.end()) {
      std::tie(body, status) = page->second;
    }
  }
  if (query.count("hang") != 0 && Stopping(-1)) return;
  if (number("delay_ms") >= 0 && Stopping(static_cast<int>(number("delay_ms")))) return;
  std::string header = "Connection: close\r\n";
  if (query.count("redirect") != 0) {
    status = 302;
    header += "Location: " + query["redirect"] + "\r\n";
  }
  if (number("status") >= 0) status = static_cast<int>(number("status"));
  // A size= body is made block by block, so that a huge one costs the test no memory.
  const bool digits = number("size") >= 0;
  const std::size_t length = digits ? static_cast<std::size_t>(number("size")) : body.size();
  const bool chunked = query.count("chunked") != 0;
  if (chunked) header += "Transfer-Encoding: chunked\r\n";
  if (!chunked && query.count("nolength") == 0) {
    header += "Content-Length: " + std::to_string(length) + "\r\n";
  }
  const char* reason = status == 200 ? "OK" : status == 404 ? "Not Found"
                     : status == 500 ? "Internal Server Error" : status == 302 ? "Found" : "Status";
  if (!Send(fd, "HTTP/1.1 " + std::to_string(status) + " " + reason + "\r\n" + header + "\r\n")) {
    return;
  }
  const std::size_t end = std::min(length, static_cast<std::size_t>(number("close_after")));
  const long trickle = number("trickle_ms");
  const std::size_t block = trickle >= 0 ? 1 : 64 * 1000;  // a multiple of 10 keeps digits aligned
  std::string digit_block(block + 10, '0');
  for (std::size_t i = 0; i < digit_block.size(); ++i) digit_block[i] = char('0' + i % 10);
  for (std::size_t at = 0; at < end; at += block) {
    std::string piece = digits ? digit_block.substr(at % 10, std::min(block, end - at))
                               : body.substr(at, block);
    if (chunked) {
      std::ostringstream size;
      size << std::hex << piece.size();
      piece = size.str() + "\r\n" + piece + "\r\n";
    }
    if (!Send(fd, piece)) return;
    if (trickle >= 0 && Stopping(static_cast<int>(trickle))) return;
  }
  if (chunked && end == length) Send(fd, "0\r\n\r\n");
}

EchoServer::EchoServer() : impl_(std::make_unique<Impl>()) {
  if (pipe(impl_->stop) != 0) throw std::runtime_error("pipe failed");
  std::tie(impl_->listen_fd, impl_->port) = Listen();
  impl_->acceptor = std::thread([this] { impl_->Accept(); });
}

EchoServer::~EchoServer() {
  [[maybe_unused]] const ssize_t n = write(impl_->stop[1], "x", 1);
  impl_->acceptor.join();
  for (std::thread& t : impl_->connections) t.join();
  for (int fd : {impl_->listen_fd, impl_->stop[0], impl_->stop[1]}) close(fd);
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

ChildServer::ChildServer(std::string scheme) : scheme_(std::move(scheme)) {
  char name[] = "/tmp/pellvane-server.XXXXXX";
  if (mkdtemp(name) == nullptr) throw std::runtime_error("mkdtemp failed");
  dir_ = name;
  root_ = dir_ + "/root";
  std::filesystem::create_directories(root_);
}

void ChildServer::Start(std::vector<std::string> argv) {
  const std::string log = dir_ + "/server.log";
  const std::string port_file = dir_ + "/port";
  if (argv[0] == "/usr/bin/python3") {
    argv.insert(argv.end(), {"--port-file", port_file, "--commands", dir_ + "/commands"});
  }
  const pid_t parent = getpid();
  pid_ = fork();
  if (pid_ < 0) throw std::runtime_error("fork failed");
  if (pid_ == 0) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);  // the server goes when the test goes, however it ends
    if (getppid() != parent) _exit(127);
    const int fd = open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    dup2(fd, 1);
    dup2(fd, 2);
    std::vector<char*> args;
    for (std::string& a : argv) args.push_back(a.data());
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
  while (std::chrono::steady_clock::now() < deadline) {
    if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
      pid_ = -1;
      throw std::runtime_error(argv[0] + " ended at start:\n" + ReadFile(log));
    }
    if (port_ == 0 && FileExists(port_file)) port_ = std::stoi(ReadFile(port_file));
    if (port_ != 0 && Connectable(port_)) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  throw std::runtime_error(argv[0] + " did not come up:\n" + ReadFile(log));
}

ChildServer::~ChildServer() {
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  std::filesystem::remove_all(dir_);
}

std::vector<std::string> ChildServer::Commands() const { return Lines(ReadFile(dir_ + "/commands")); }

FtpServer::FtpServer(FtpOptions o) : ChildServer(o.tls ? "ftps" : "ftp") {
  std::vector<std::string> argv = {"/usr/bin/python3", PELLVANE_TEST_SERVERS "/ftp_server.py",
                                   "--root", root_, "--user", o.user, "--password", o.password};
  if (o.tls) {
    const auto made = RunProgram(
        {"openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
         "-nodes", "-days", "2", "-subj", "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1",
         "-keyout", dir_ + "/key.pem", "-out", Certificate()});
    if (made.status != 0) throw std::runtime_error("openssl: " + made.err);
    argv.insert(argv.end(), {"--cert", Certificate(), "--key", dir_ + "/key.pem"});
  }
  std::string script;
  for (const std::string& line : o.script) script += line + "\n";
  WriteFile(dir_ + "/script", script);
  argv.insert(argv.end(), {"--script", dir_ + "/script"});
  if (o.exit_after_upload) argv.push_back("--exit-after-upload");
  Start(argv);
}

SftpServer::SftpServer(SftpOptions o) : ChildServer("sftp") {
  std::filesystem::create_directories(root_ + "/home");
  std::vector<std::string> argv = {"/usr/bin/python3", PELLVANE_TEST_SERVERS "/sftp_server.py",
                                   "--root", root_, "--password", o.password,
                                   "--known-hosts", KnownHosts()};
  if (o.read_only) argv.push_back("--read-only");
  Start(argv);
}

ProxyServer::ProxyServer() : ChildServer("http") {
  auto [fd, port] = Listen();
  close(fd);
  WriteFile(dir_ + "/tinyproxy.conf", "Port " + std::to_string(port) +
                                          "\nListen 127.0.0.1\nTimeout 30\nMaxClients 16\n"
                                          "Allow 127.0.0.1\nLogLevel Info\nLogFile \"" + dir_ +
                                          "/commands\"\n");
  WriteFile(dir_ + "/port", std::to_string(port));
  Start({"tinyproxy", "-d", "-c", dir_ + "/tinyproxy.conf"});
}

}  // namespace pellvane::testing
