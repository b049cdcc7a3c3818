#include "support/servers.h"

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

namespace pellvane::testing {
namespace {

int FreePort() {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  if (bind(fd, reinterpret_cast<sockaddr*>(&a), len) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
    throw std::runtime_error("no free port on 127.0.0.1");
  }
  close(fd);
  return ntohs(a.sin_port);
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

std::vector<std::string> ChildServer::Commands() const {
  return Lines(ReadFile(dir_ + "/commands"));
}

EchoServer::EchoServer() : ChildServer("http") {
  std::filesystem::create_directories(dir_ + "/pages");
  Start({"/usr/bin/python3", PELLVANE_TEST_SERVERS "/echo_server.py", "--pages", dir_ + "/pages"});
}

void EchoServer::Serve(const std::string& path, const std::string& body, int status) {
  std::string name = path;  // the page's file: the path with its slashes as "%2F"
  for (std::size_t at; (at = name.find('/')) != std::string::npos;) name.replace(at, 1, "%2F");
  const std::string file = dir_ + "/pages/" + name;
  WriteFile(file + ".part", std::to_string(status) + "\n" + body);
  std::filesystem::rename(file + ".part", file);
}

FtpServer::FtpServer(FtpOptions o) : ChildServer(o.tls ? "ftps" : "ftp") {
  std::vector<std::string> argv = {"/usr/bin/python3", PELLVANE_TEST_SERVERS "/ftp_server.py",
                                   "--root",           root_,
                                   "--user",           o.user,
                                   "--password",       o.password};
  if (o.tls) {
    const auto made = RunProgram({"openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt",
                                  "ec_paramgen_curve:prime256v1", "-nodes", "-days", "2", "-subj",
                                  "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1",
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
                                   "--root",           root_,
                                   "--password",       o.password,
                                   "--known-hosts",    KnownHosts()};
  if (o.read_only) argv.push_back("--read-only");
  Start(argv);
}

ProxyServer::ProxyServer() : ChildServer("http") {
  const int port = FreePort();
  WriteFile(dir_ + "/tinyproxy.conf", "Port " + std::to_string(port) +
                                          "\nListen 127.0.0.1\nTimeout 30\nMaxClients 16\n"
                                          "Allow 127.0.0.1\nLogLevel Info\nLogFile \"" +
                                          dir_ + "/commands\"\n");
  WriteFile(dir_ + "/port", std::to_string(port));
  Start({"tinyproxy", "-d", "-c", dir_ + "/tinyproxy.conf"});
}

}  // namespace pellvane::testing
