// Inet's uploads and listings against real FTP, FTPS and SFTP servers on 127.0.0.1: over FTP
// and FTPS alike, bytes read back, where names land, one login per publish, the listing in
// chunks, failures with the server's code and text but never the password; refused commands and
// TLS trust; over SFTP, the home folder, the login and the host key check.
#include <curl/curl.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <optional>

#include <chrono>
#include <filesystem>
#include <memory>

#include "app/environment.h"
#include "publish/publish_ip.h"
#include "support/harness.h"
#include "support/servers.h"
#include "transfer/inet.h"

namespace pellvane {
namespace {

using namespace testing;
namespace fs = std::filesystem;
using States = std::vector<std::int16_t>;

void Login(Inet& inet, const ChildServer& server) {
  inet.SetProtocol(icFTP);
  inet.SetURL(server.Url());
  inet.SetUserName("pell");
  inet.SetPassword("Kennwort-7q");
}

class RemoteTest : public ::testing::TestWithParam<const char*> {
 protected:
  RemoteTest() : tls_(GetParam() == std::string("ftps")), server_(Start()) { Connect(*server_); }
  // A fresh component for `server`, trusting the certificate the environment names now.
  void Connect(const ChildServer& server) {
    inet_.emplace(TransferFromEnvironment());
    Login(*inet_, server);
    inet_->SetStateChanged([this](std::int16_t state) { states_.push_back(state); });
  }
  // A server of this test's scheme with these options, trusted; its logins start in /home.
  std::unique_ptr<ChildServer> Start(FtpOptions o = {}) {
    o.login_folder = "/home";
    o.password = "Kennwort-7q";
    o.tls = tls_;
    auto server = std::make_unique<FtpServer>(o);
    if (o.tls) env_.Set("CURL_CA_BUNDLE", server->Certificate());
    return server;
  }
  std::string Local(const std::string& bytes) {
    WriteFile(box_.File("tmp.htm"), bytes);
    return box_.File("tmp.htm");
  }
  std::string Served(const std::string& path) const { return ReadFile(server_->root() + path); }

  const bool tls_;
  Env env_{NoProxies()};
  Sandbox box_;
  std::unique_ptr<ChildServer> server_;
  std::optional<Inet> inet_;
  States states_;
};

TEST_P(RemoteTest, NamesStartInTheUrlFolderOrHomeAbsoluteOnesAtTheRoot) {
  fs::create_directories(server_->root() + "/home/ip");
  fs::create_directories(server_->root() + "/home/www/my site");
  fs::create_directories(box_.File("program \"folder\""));
  const std::string local = box_.File("program \"folder\"/tmp.htm");
  WriteFile(local, "page");
  struct Case {
    std::string url_folder, remote, served;
  };
  for (const Case& c :
       {Case{"", "rel.htm", "/home/rel.htm"}, Case{"", "ip/my page.htm", "/home/ip/my page.htm"},
        Case{"/www", "in.htm", "/home/www/in.htm"}, Case{"/www/", "/abs.htm", "/abs.htm"},
        Case{"", "/top.htm", "/top.htm"},
        Case{"/www/my site", "url.htm", "/home/www/my site/url.htm"},
        Case{"", "say \"hi\".htm", "/home/say \"hi\".htm"}}) {
    inet_->SetURL(server_->Url() + c.url_folder);
    const std::string command = UploadCommand(local, c.remote);
    EXPECT_TRUE(inet_->Execute("", command)) << command << ": " << inet_->ResponseInfo();
    EXPECT_EQ(Served(c.served), "page") << c.url_folder << " " << command;
  }
  EXPECT_FALSE(FileExists(server_->root() + "/home/www/abs.htm") ||
               FileExists(server_->root() + "/home/top.htm"));
}

TEST_P(RemoteTest, OneLoginUploadsEveryByteListsInChunksAndCloses) {
  for (int i = 0; i < 40; ++i)
    WriteFile(server_->root() + "/home/a-long-file-name-" + std::to_string(i), "x");
  using namespace std::string_literals;  // every byte value, line ends and NULs among them
  std::string bytes = "<html>\r\n\0\r\n'!!!***IP***!!!'\n\r\0"s;
  for (int i = 0; i < 256; ++i) bytes.push_back(static_cast<char>(i));
  bytes += "\r\n</html>\0"s;
  EXPECT_TRUE(inet_->Execute("", "put " + Local(bytes + bytes) + " one.htm"));
  EXPECT_TRUE(inet_->Execute("", "put " + Local(bytes) + " one.htm")) << inet_->ResponseInfo();
  EXPECT_EQ(Served("/home/one.htm"), bytes) << "every byte, and no tail of the older file";
  EXPECT_TRUE(inet_->Execute("", "dir"));
  std::string listing;
  for (std::string c = inet_->GetChunk(1024); !c.empty(); c = inet_->GetChunk(1024)) listing += c;
  EXPECT_NE(listing.find("a-long-file-name-39"), std::string::npos);
  EXPECT_TRUE(inet_->Execute("", "close"));
  EXPECT_EQ(states_, States(4, icResponseCompleted));
  const Texts commands = server_->Commands();  // this test's own server: every command is ours
  EXPECT_EQ(Count(commands, "USER "), 1) << ::testing::PrintToString(commands);
  EXPECT_EQ(Count(commands, "STOR "), 2);
  EXPECT_TRUE(inet_->Execute("", "put " + Local("two") + " one.htm"));
  EXPECT_EQ(Count(server_->Commands(), "USER "), 2) << "after close, a new login";
}

// A local file that cannot be read uploads nothing, not even an empty file over the page. A
// password the server repeats in its reply is masked; one with a line end or a NUL is not sent.
TEST_P(RemoteTest, FailuresGiveCodeAndTextButNeverThePassword) {
  struct Fault {
    std::string url, password, remote;
    std::int32_t code;
    std::string info;
    const char* script = nullptr;  // a server of its own replays it
    std::string local = "";        // the page's own file when empty
  };
  const std::string host = server_->Url().substr(server_->Url().find("://") + 3);
  const std::string pw = "Kennwort-7q", url = server_->Url();
  const std::string unsendable = "Kennwort nicht sendbar: Zeilenende oder NUL-Zeichen darin";
  EXPECT_TRUE(inet_->Execute("", "dir"));  // a listing no failure may hand out later
  for (const Fault& f :
       {Fault{url, "geheim-falsch", "denied.htm", 530, "530 "},
        Fault{GetParam() + std::string("://pell:geheim@") + host, "", "denied-url.htm", 530,
              "530 "},
        Fault{url, pw, "nowhere/page.htm", 550, "550 "},
        Fault{url, pw, "unread.htm", CURLE_READ_ERROR, "Datei nicht lesbar: " + box_.path(),
              nullptr, box_.path()},
        Fault{url, pw, "unread.htm", CURLE_READ_ERROR, "Datei nicht lesbar: " + box_.File("no"),
              nullptr, box_.File("no")},
        Fault{"", pw, "refused.htm", 550, "550 ", "STOR 0 550 No room."},
        Fault{"", pw, "repeated.htm", 530, "530 ", "PASS 0 530 Kennwort-7q is wrong."},
        Fault{url, "Kennwort-7q\r\nDELE x", "lf.htm", 530, unsendable},
        Fault{url, std::string("Kennwort-7q\0x", 13), "nul.htm", 530, unsendable},
        Fault{GetParam() + std::string("://pell:Kennwort%0A7q@") + host, "", "lf-url.htm", 530,
              unsendable}}) {
    SCOPED_TRACE(f.remote);
    std::unique_ptr<ChildServer> own = f.script ? Start({.script = {f.script}}) : nullptr;
    if (own) Connect(*own);
    inet_->SetURL(own ? own->Url() : f.url);
    inet_->SetPassword(f.password);
    states_.clear();
    const std::string local = f.local.empty() ? Local("fault") : f.local;
    EXPECT_FALSE(inet_->Execute("", "put " + local + " " + f.remote));
    EXPECT_EQ(inet_->ResponseCode(), f.code) << inet_->ResponseInfo();
    EXPECT_NE(inet_->ResponseInfo().find(f.info), std::string::npos) << inet_->ResponseInfo();
    for (const char* secret : {"geheim", "Kennwort-7q"})
      EXPECT_EQ(inet_->ResponseInfo().find(secret), std::string::npos) << inet_->ResponseInfo();
    EXPECT_EQ(states_, States{icError});
    EXPECT_FALSE(FileExists((own ? own : server_)->root() + "/home/" + f.remote));
    EXPECT_TRUE(own || inet_->GetChunk(1024).empty());
  }
}

// The size the server kept is compared with the bytes sent; a server that cannot tell is taken
// at its word. The session ends within the request time-out also when the server never answers
// its QUIT.
TEST_P(RemoteTest, APutIsCheckedAgainstTheSizeTheServerKeptAndTheCloseKeepsToTheTimeOut) {
  const std::string partial = "Datei auf dem Server unvollständig: 3 von 5 Bytes";
  env_.Set("PELLVANE_REQUEST_TIMEOUT", "1");
  for (const auto& [options, verified, info] :
       {std::tuple{FtpOptions{}, true, std::string()},
        std::tuple{FtpOptions{.script = {}, .keep_bytes = 3}, false, partial},
        std::tuple{FtpOptions{.script = {"SIZE 0 502 Not here."}}, false, std::string()},
        std::tuple{FtpOptions{.script = {"QUIT 600000 221 Bye."}}, true, std::string()}}) {
    SCOPED_TRACE(info + (verified ? " verified" : "") + ::testing::PrintToString(options.script));
    const std::unique_ptr<ChildServer> server = Start(options);
    Connect(*server);
    EXPECT_EQ(inet_->Execute("", "put " + Local("bytes") + " page.htm"), info.empty());
    EXPECT_EQ(std::tuple(inet_->PutVerified(), inet_->ResponseInfo(), inet_->ResponseCode()),
              std::tuple(verified, info, info.empty() ? 0 : 18));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(inet_->Execute("", "close"));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    EXPECT_EQ(Count(server->Commands(), "QUIT"), 1);
  }
}

TEST_P(RemoteTest, OtherCommandsAreRefusedWithoutReachingTheServer) {
  const std::string local = Local("never");
  const std::size_t seen = server_->Commands().size();
  for (const std::string& op :
       {std::string("delete x.htm"), "put " + local, "put " + local + " a b", std::string("dir /"),
        "put \"" + local + " open.htm", std::string()}) {
    EXPECT_FALSE(inet_->Execute("", op)) << op;
    EXPECT_EQ(inet_->ResponseCode(), 500) << op;
  }
  EXPECT_EQ(server_->Commands().size(), seen);
  WriteFile(server_->root() + "/home/keep.htm", "kept");  // line ends send no command of their own
  EXPECT_FALSE(inet_->Execute("", "put " + local + " \"x.htm\r\nDELE keep.htm\""));
  EXPECT_EQ(Count(server_->Commands(), "DELE"), 0);
  EXPECT_EQ(Served("/home/keep.htm"), "kept");
}

TEST_P(RemoteTest, TlsTheServerCannotProveFailsBeforeThePassword) {
  if (!tls_) GTEST_SKIP() << "a plain server proves nothing";
  FtpServer plain;
  const std::string url = "ftps://127.0.0.1:" + std::to_string(plain.port());
  env_.Set("CURL_CA_BUNDLE", std::nullopt);
  Connect(*server_);
  for (const std::string& u : {url, server_->Url()}) {  // a plain server; an untrusted one
    inet_->SetURL(u);
    EXPECT_FALSE(inet_->Execute("", "put " + Local("clear") + " clear.htm")) << u;
  }
  // Certificates named by a FIFO: read by nobody, trusted for nothing, waited on never.
  ASSERT_EQ(mkfifo(box_.File("ca.pem").c_str(), 0600), 0);
  env_.Set("CURL_CA_BUNDLE", box_.File("ca.pem"));
  Connect(*server_);
  EXPECT_FALSE(inet_->Execute("", "put " + Local("clear") + " clear.htm"));
  EXPECT_EQ(inet_->ResponseInfo(), "Datei nicht lesbar: " + box_.File("ca.pem"));
  EXPECT_EQ(Count(plain.Commands(), "PASS ") + Count(server_->Commands(), "PASS "), 0);
}

INSTANTIATE_TEST_SUITE_P(Schemes, RemoteTest, ::testing::Values("ftp", "ftps"),
                         [](const auto& info) { return std::string(info.param); });

// Relative names land in the login's home. The server's key is checked against known_hosts,
// in the account's home also without HOME, before the password is sent; without a file to
// check it against (missing, a FIFO) no login is tried. A refused login names no password.
TEST(SftpTest, UploadsIntoHomeAfterTheKeyCheckAndTheLogin) {
  // libssh2 1.10 copies overlapping memory when it orders host key methods; ASan stops there.
  if (kSanitized) GTEST_SKIP() << "libssh2 host key ordering trips ASan";
  Sandbox box;
  Env env(NoProxies());
  SftpServer server("Kennwort-7q"), other("");
  fs::create_directories(box.File(".ssh"));
  WriteFile(box.File("page"), "page");
  const std::string known = box.File(".ssh/known_hosts"), pw = "Kennwort-7q";
  const std::string unchecked = "Schlüssel des Servers nicht prüfbar, Datei nicht lesbar: ";
  const std::int32_t unverified = CURLE_PEER_FAILED_VERIFICATION;
  struct Case {
    const SftpServer* known;  // whose key known_hosts holds; none: no such file
    std::string password;
    std::int32_t code;
    std::string info, kind = "";  // "fifo": known_hosts is one; "no HOME"
  };
  for (const Case& c :
       {Case{&server, pw, 0, ""},
        Case{&server, "geheim", CURLE_LOGIN_DENIED, "Authentication failure"},
        Case{&other, pw, unverified, "Schlüssel des Servers fehlt in " + known},
        Case{nullptr, pw, unverified, unchecked + known},
        Case{nullptr, pw, unverified, unchecked + known, "fifo"},
        Case{nullptr, pw, unverified, std::string(getpwuid(getuid())->pw_dir) + "/.ssh/known_hosts",
             "no HOME"}}) {
    SCOPED_TRACE(c.info);
    fs::remove(known);
    if (c.known) WriteFile(known, ReadFile(c.known->KnownHosts()));
    if (c.kind == "fifo") mkfifo(known.c_str(), 0600);
    Env home({{"HOME", c.kind == "no HOME" ? std::nullopt : std::optional(box.path())}});
    Inet inet(TransferFromEnvironment());
    Login(inet, server);
    inet.SetPassword(c.password);
    EXPECT_EQ(inet.Execute("", "put " + box.File("page") + " home.htm"), c.code == 0);
    EXPECT_EQ(std::pair(inet.ResponseCode(), inet.PutVerified()), std::pair(c.code, c.code == 0));
    EXPECT_NE(inet.ResponseInfo().find(c.info), std::string::npos) << inet.ResponseInfo();
    EXPECT_EQ(inet.ResponseInfo().find("geheim"), std::string::npos);
  }
  EXPECT_EQ(ReadFile(server.root() + "/home/home.htm"), "page");
  EXPECT_EQ(server.Commands(), (Texts{"login accepted", "login refused"}));
}

}  // namespace
}  // namespace pellvane
