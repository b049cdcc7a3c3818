// Starting and ending the server processes under Wine, which cannot start Linux programs: the
// server broker (tests/servers/broker.py) that scripts/test-windows runs beside the tests, at
// the port in PELLVANE_SERVER_BROKER, starts them. Drive Z: is the Linux root for both.
#include "support/harness.h"
#include "support/servers.h"
// Windows' headers after ours: its registry macros must not meet our constants' declarations.
#include <winsock2.h>

#include <filesystem>
#include <random>
#include <stdexcept>

namespace pellvane::testing {
namespace {

// A TCP socket bound to 127.0.0.1:`port` (0: any free port), or connected there.
SOCKET Loopback(int port, bool connected) {
  static const bool ready = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  const SOCKET s = ready ? socket(AF_INET, SOCK_STREAM, IPPROTO_TCP) : INVALID_SOCKET;
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<u_short>(port));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const auto* address = reinterpret_cast<const sockaddr*>(&a);
  if (s == INVALID_SOCKET ||
      (connected ? connect(s, address, sizeof a) : bind(s, address, sizeof a)) != 0)
    throw std::runtime_error("no socket on 127.0.0.1:" + std::to_string(port));
  return s;
}

std::string LinuxPath(std::string path) {
  if (path.rfind("Z:", 0) != 0) return path;
  path.erase(0, 2);
  for (char& c : path) c = c == '\\' ? '/' : c;
  return path;
}

// One request to the broker, and its answer.
std::string AskBroker(const std::vector<std::string>& fields) {
  const char* broker = std::getenv("PELLVANE_SERVER_BROKER");
  const SOCKET s = Loopback(broker != nullptr ? std::atoi(broker) : 0, true);
  std::string request;  // the fields apart by US, paths as Linux names them
  for (const std::string& f : fields) request += (request.empty() ? "" : "\x1f") + LinuxPath(f);
  request += "\n";
  send(s, request.data(), static_cast<int>(request.size()), 0);
  std::string answer;
  char buf[4096];
  for (int n; (n = recv(s, buf, sizeof buf, 0)) > 0;) answer.append(buf, std::size_t(n));
  closesocket(s);
  return answer.substr(0, answer.find('\n'));
}

}  // namespace

int FreePort() {
  const SOCKET s = Loopback(0, false);
  sockaddr_in a{};
  int len = sizeof a;
  getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
  closesocket(s);
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
  argv.insert(argv.begin(), {"start", log, port_file});
  const std::string answer = AskBroker(argv);
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
