// Starting and ending the server processes on Linux: each a child of the test.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <stdexcept>
#include <thread>

#include "support/harness.h"
#include "support/servers.h"

namespace pellvane::testing {

namespace {
// A TCP socket bound to 127.0.0.1:`port` (0: any free port), or connected there; -1 when not.
int Loopback(int port, bool connected) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<std::uint16_t>(port));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const auto* address = reinterpret_cast<const sockaddr*>(&a);
  if ((connected ? connect(fd, address, sizeof a) : bind(fd, address, sizeof a)) == 0) return fd;
  close(fd);
  return -1;
}
}  // namespace

int FreePort() {
  const int fd = Loopback(0, false);
  sockaddr_in a{};
  socklen_t len = sizeof a;
  if (fd < 0 || getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
    throw std::runtime_error("no free port on 127.0.0.1");
  }
  close(fd);
  return ntohs(a.sin_port);
}

ChildServer::ChildServer(std::string scheme) : scheme_(std::move(scheme)) {
  char name[] = "/tmp/pellvane-server.XXXXXX";
  if (mkdtemp(name) == nullptr) throw std::runtime_error("mkdtemp failed");
  dir_ = name;
  root_ = dir_ + "/root";
  std::filesystem::create_directories(root_);
}

void ChildServer::Launch(std::vector<std::string> argv, const std::string& log,
                         const std::string& port_file) {
  const pid_t parent = getpid();
  pid_ = fork();
  if (pid_ < 0) throw std::runtime_error("fork failed");
  if (pid_ == 0) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);  // the server goes when the test goes, however it ends
    if (getppid() != parent) _exit(127);
    const int fd = open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    dup2(fd, 1);
    dup2(fd, 2);
    execvp(argv[0].c_str(), ExecArgs(argv).data());
    _exit(127);
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
  while (std::chrono::steady_clock::now() < deadline) {
    if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
      pid_ = -1;
      throw std::runtime_error(argv[0] + " ended at start:\n" + ReadFile(log));
    }
    if (port_ == 0 && FileExists(port_file)) port_ = std::stoi(ReadFile(port_file));
    if (const int fd = port_ != 0 ? Loopback(port_, true) : -1; fd >= 0) return void(close(fd));
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

}  // namespace pellvane::testing
