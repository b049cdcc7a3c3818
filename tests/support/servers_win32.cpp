// Starting and ending the server processes under Wine: the Linux programs are started by the
// server broker (tests/servers/broker.py) that scripts/test-windows runs beside the tests, at
// the port that PELLVANE_SERVER_BROKER names. Drive Z: is the Linux root for both.
#include "support/harness.h"
#include "support/servers.h"
// Windows' headers after ours: its registry macros must not meet our constants' declarations.
#include <winsock2.h>

#include <filesystem>
#include <random>
#include <stdexcept>

namespace pellvane::testing {
namespace {

// One socket on 127.0.0.1, closed when it goes.
class Socket {
 public:
  Socket() {
    static const bool started = [] {
      WSADATA data;
      return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    if (started) s_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  }
  ~Socket() {
    if (s_ != INVALID_SOCKET) closesocket(s_);
  }
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;
  SOCKET get() const { return s_; }

 private:
  SOCKET s_ = INVALID_SOCKET;
};

sockaddr_in Loopback(int port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<u_short>(port));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return a;
}

// The Linux path of a path on drive Z:.
std::string LinuxPath(std::string path) {
  if (path.size() < 2 || (path.rfind("Z:", 0) != 0 && path.rfind("z:", 0) != 0)) return path;
  path.erase(0, 2);
  for (char& c : path) c = c == '\\' ? '/' : c;
  return path;
}

// Sends one request to the broker and gives its answer.
std::string AskBroker(const std::vector<std::string>& fields) {
  const char* broker = std::getenv("PELLVANE_SERVER_BROKER");
  if (broker == nullptr) throw std::runtime_error("PELLVANE_SERVER_BROKER is not set");
  Socket s;
  const sockaddr_in a = Loopback(std::atoi(broker));
  if (connect(s.get(), reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0) {
    throw std::runtime_error("no server broker at port " + std::string(broker));
  }
  std::string request;
  for (const std::string& f : fields) request += (request.empty() ? "" : "\x1f") + f;
  request += "\n";
  send(s.get(), request.data(), static_cast<int>(request.size()), 0);
  std::string answer;
  char buf[4096];
  for (int n; (n = recv(s.get(), buf, sizeof buf, 0)) > 0;) answer.append(buf, std::size_t(n));
  while (!answer.empty() && answer.back() == '\n') answer.pop_back();
  return answer;
}

}  // namespace

int FreePort() {
  Socket s;
  sockaddr_in a = Loopback(0);
  int len = sizeof a;
  if (bind(s.get(), reinterpret_cast<sockaddr*>(&a), len) != 0 ||
      getsockname(s.get(), reinterpret_cast<sockaddr*>(&a), &len) != 0) {
    throw std::runtime_error("no free port on 127.0.0.1");
  }
  return ntohs(a.sin_port);
}

ChildServer::ChildServer(std::string scheme) : scheme_(std::move(scheme)) {
  static std::mt19937_64 random{std::random_device{}()};
  dir_ = "Z:/tmp/pellvane-server." + std::to_string(random());
  root_ = dir_ + "/root";
  std::filesystem::create_directories(root_);
}

void ChildServer::Launch(std::vector<std::string> argv, const std::string& log,
                         const std::string& port_file) {
  std::vector<std::string> fields{"start", LinuxPath(log), LinuxPath(port_file)};
  for (const std::string& arg : argv) fields.push_back(LinuxPath(arg));
  const std::string answer = AskBroker(fields);
  if (answer.rfind("ok ", 0) != 0) throw std::runtime_error(answer);
  const std::size_t blank = answer.find(' ', 3);
  pid_ = std::stoi(answer.substr(3, blank - 3));
  port_ = std::stoi(answer.substr(blank + 1));
}

ChildServer::~ChildServer() {
  if (pid_ > 0) AskBroker({"stop", std::to_string(pid_)});
  std::error_code ec;
  std::filesystem::remove_all(dir_, ec);
}

}  // namespace pellvane::testing
