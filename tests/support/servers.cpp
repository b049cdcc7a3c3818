#include "support/servers.h"

#include <filesystem>
#include <stdexcept>

#include "support/harness.h"

namespace pellvane::testing {

std::vector<std::string> ChildServer::Commands() const {
  return Lines(ReadFile(dir_ + "/commands"));
}

void ChildServer::Start(std::vector<std::string> argv) {
  const std::string port_file = dir_ + "/port";
  if (argv[0] == "/usr/bin/python3")
    argv.insert(argv.end(), {"--port-file", port_file, "--commands", dir_ + "/commands"});
  Launch(std::move(argv), dir_ + "/server.log", port_file);
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
  if (!o.login_folder.empty()) {
    std::filesystem::create_directories(root_ + o.login_folder);
    argv.insert(argv.end(), {"--login-folder", o.login_folder});
  }
  if (o.keep_bytes >= 0) argv.insert(argv.end(), {"--keep-bytes", std::to_string(o.keep_bytes)});
  Start(argv);
}

SftpServer::SftpServer(const std::string& password) : ChildServer("sftp") {
  std::filesystem::create_directories(root_ + "/home");
  Start({"/usr/bin/python3", PELLVANE_TEST_SERVERS "/sftp_server.py", "--root", root_, "--password",
         password, "--known-hosts", KnownHosts()});
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
