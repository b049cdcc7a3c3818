// Inet's SFTP operations against a real SFTP server on 127.0.0.1: uploads read back byte for
// byte, where relative, absolute and URL-folder names land, the listing, quoted names with
// blanks, failures with a code and text, a login by password alone, and the check of the
// server's key against ~/.ssh/known_hosts.
#include <curl/curl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>

#include "support/run_program.h"
#include "support/servers.h"
#include "support/temp_dir.h"
#include "transfer/inet.h"
#include "transfer/remote_bytes.h"
#include "transfer/scoped_env.h"

namespace pellvane {
namespace {

using testing::BinaryBytes;
using testing::Count;
using testing::FileExists;
using testing::ReadFile;
using testing::WriteFile;

// A password that shows up in no path or server text.
testing::SftpOptions Login() {
  testing::SftpOptions options;
  options.password = "Kennwort-7q";
  return options;
}

// The known_hosts line of `server`, given for the host and port of `as`.
std::string KeyLineAs(const testing::SftpServer& server, const testing::SftpServer& as) {
  const std::string line = ReadFile(server.KnownHosts());
  return "[127.0.0.1]:" + std::to_string(as.port()) + line.substr(line.find(' '));
}

class InetSftpTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    server_ = std::make_unique<testing::SftpServer>(Login());
    testing::SftpOptions read_only = Login();
    read_only.read_only = true;
    other_ = std::make_unique<testing::SftpServer>(read_only);
  }
  static void TearDownTestSuite() {
    server_.reset();
    other_.reset();
  }

  // Each test runs in a home folder of its own, without ~/.ssh unless it makes one.
  InetSftpTest() : seen_(server_->Commands().size()) {
    env_.UnsetProxies();
    env_.Set("HOME", home_.path());
    Configure(inet_);
    inet_.SetStateChanged([this](std::int16_t state) { states_.push_back(state); });
  }

  static TransferSettings KnownHostsIn(const testing::TempDir& home) {
    TransferSettings t;
    t.known_hosts_file = home.File(".ssh/known_hosts");
    return t;
  }
  static void Configure(Inet& inet) {
    inet.SetProtocol(icFTP);
    inet.SetURL(server_->Url());
    inet.SetUserName(Login().user);
    inet.SetPassword(Login().password);
  }
  std::string Local(const std::string& bytes, const std::string& name = "tmp.htm") {
    WriteFile(local_.File(name), bytes);
    return local_.File(name);
  }
  void WriteKnownHosts(const std::string& text) {
    std::filesystem::create_directories(home_.File(".ssh"));
    WriteFile(home_.File(".ssh/known_hosts"), text);
  }
  // What the server logged since the test began.
  std::vector<std::string> NewCommands() const { return testing::LoggedSince(*server_, seen_); }
  std::string Served(const std::string& path) const { return ReadFile(server_->root() + path); }

  static std::unique_ptr<testing::SftpServer> server_;
  static std::unique_ptr<testing::SftpServer> other_;  // read-only, with a key of its own
  testing::ScopedEnv env_;
  testing::TempDir home_;
  testing::TempDir local_;
  std::size_t seen_;
  Inet inet_{KnownHostsIn(home_)};
  std::vector<std::int16_t> states_;
};

std::unique_ptr<testing::SftpServer> InetSftpTest::server_;
std::unique_ptr<testing::SftpServer> InetSftpTest::other_;

TEST_F(InetSftpTest, UploadsEveryByteAndReplacesAnOlderFileWhole) {
  const std::string bytes = BinaryBytes();
  EXPECT_TRUE(inet_.Execute("", "put " + Local(bytes + bytes + bytes) + " binary.htm"));
  ASSERT_EQ(inet_.ResponseCode(), 0) << inet_.ResponseInfo();
  EXPECT_EQ(Served("/home/binary.htm"), bytes + bytes + bytes);
  EXPECT_TRUE(inet_.Execute("", "put " + Local(bytes) + " binary.htm"));
  EXPECT_EQ(Served("/home/binary.htm"), bytes) << "no tail of the older file is left";
  EXPECT_EQ(states_, (std::vector<std::int16_t>{icResponseCompleted, icResponseCompleted}));
}

TEST_F(InetSftpTest, NamesStartInTheHomeFolderOrTheUrlFolderAbsoluteOnesAtTheRoot) {
  std::filesystem::create_directories(server_->root() + "/home/ip");
  std::filesystem::create_directories(server_->root() + "/www");
  struct Case {
    const char* url_folder;
    const char* remote;
    const char* served;
  };
  for (const Case& c :
       {Case{"", "rel.htm", "/home/rel.htm"}, Case{"", "ip/sub.htm", "/home/ip/sub.htm"},
        Case{"", "/abs.htm", "/abs.htm"}, Case{"/www", "in.htm", "/www/in.htm"},
        Case{"/www/", "/www-abs.htm", "/www-abs.htm"},
        Case{"/~/ip", "tilde.htm", "/home/ip/tilde.htm"}}) {
    inet_.SetURL(server_->Url() + c.url_folder);
    EXPECT_TRUE(inet_.Execute("", "put " + Local(c.served) + " " + c.remote))
        << c.remote << ": " << inet_.ResponseInfo();
    EXPECT_EQ(Served(c.served), c.served) << c.url_folder << " " << c.remote;
  }
  EXPECT_FALSE(FileExists(server_->root() + "/rel.htm"));
  EXPECT_FALSE(FileExists(server_->root() + "/home/abs.htm"));
  EXPECT_FALSE(FileExists(server_->root() + "/www/www-abs.htm"));
}

TEST_F(InetSftpTest, QuotedPathsMayHoldBlanks) {
  std::filesystem::create_directories(local_.File("program folder"));
  std::filesystem::create_directories(server_->root() + "/home/my site");
  WriteFile(local_.File("program folder/tmp.htm"), "blanks");
  EXPECT_TRUE(inet_.Execute(
      "", "put \"" + local_.File("program folder/tmp.htm") + "\" \"my site/my page.htm\""));
  EXPECT_EQ(inet_.ResponseCode(), 0) << inet_.ResponseInfo();
  EXPECT_EQ(Served("/home/my site/my page.htm"), "blanks");

  inet_.SetURL(server_->Url() + "/home/my site");  // a folder with a blank typed into the URL
  EXPECT_TRUE(inet_.Execute("", "put \"" + local_.File("program folder/tmp.htm") + "\" url.htm"));
  EXPECT_EQ(inet_.ResponseCode(), 0) << inet_.ResponseInfo();
  EXPECT_EQ(Served("/home/my site/url.htm"), "blanks");
}

TEST_F(InetSftpTest, DirAfterPutListsTheHomeFolderInChunksOnOneLogin) {
  EXPECT_TRUE(inet_.Execute("", "put " + Local("listed") + " listed.htm"));
  EXPECT_TRUE(inet_.Execute("", "dir"));
  std::string listing;
  for (std::string chunk = inet_.GetChunk(16); !chunk.empty(); chunk = inet_.GetChunk(16)) {
    EXPECT_LE(chunk.size(), 16u);
    listing += chunk;
  }
  EXPECT_NE(listing.find("listed.htm"), std::string::npos) << listing;
  EXPECT_EQ(inet_.GetChunk(16), "") << "stays empty once read";
  EXPECT_TRUE(inet_.Execute("", "close"));
  EXPECT_EQ(states_, std::vector<std::int16_t>(3, icResponseCompleted));
  const auto commands = NewCommands();
  EXPECT_EQ(Count(commands, "login "), 1) << ::testing::PrintToString(commands);
  EXPECT_EQ(Count(commands, "open /home/listed.htm write,create,truncate"), 1);
  EXPECT_EQ(Count(commands, "list /home"), 1);
}

TEST_F(InetSftpTest, ListingOfAMissingFolderFailsAndHandsOutNothing) {
  EXPECT_TRUE(inet_.Execute("", "dir"));
  inet_.SetURL(server_->Url() + "/nowhere");
  EXPECT_FALSE(inet_.Execute("", "dir"));
  EXPECT_EQ(inet_.ResponseCode(), CURLE_REMOTE_FILE_NOT_FOUND) << inet_.ResponseInfo();
  EXPECT_NE(inet_.ResponseInfo().find("No such file"), std::string::npos) << inet_.ResponseInfo();
  EXPECT_EQ(inet_.GetChunk(1024), "");
  EXPECT_EQ(states_, (std::vector<std::int16_t>{icResponseCompleted, icError}));
}

TEST_F(InetSftpTest, KeysInTheHomeFolderAreNeverOfferedToTheServer) {
  std::filesystem::create_directories(home_.File(".ssh"));
  const auto made = testing::RunProgram(
      {"ssh-keygen", "-q", "-t", "ed25519", "-N", "", "-f", home_.File(".ssh/id_rsa")}, {});
  ASSERT_EQ(made.status, 0) << made.err;
  EXPECT_TRUE(inet_.Execute("", "put " + Local("password") + " password.htm"));
  EXPECT_EQ(inet_.ResponseCode(), 0) << inet_.ResponseInfo();
  const auto commands = NewCommands();
  EXPECT_EQ(Count(commands, "login pell publickey"), 0) << ::testing::PrintToString(commands);
  EXPECT_EQ(Count(commands, "login pell password accepted"), 1);
}

TEST_F(InetSftpTest, ReadOnlyServerRefusesTheUploadWithPermissionDenied) {
  inet_.SetURL(other_->Url());
  EXPECT_FALSE(inet_.Execute("", "put " + Local("page") + " index.htm"));
  EXPECT_EQ(inet_.ResponseCode(), CURLE_REMOTE_ACCESS_DENIED) << inet_.ResponseInfo();
  EXPECT_NE(inet_.ResponseInfo().find("Permission denied"), std::string::npos)
      << inet_.ResponseInfo();
  EXPECT_FALSE(FileExists(other_->root() + "/home/index.htm"));
}

struct PutFault {
  const char* name;
  const char* url;  // after "sftp://"; "{port}" stands for the test server's port
  const char* password;
  const char* remote;
  std::int32_t code;
  const char* info;  // what ResponseInfo holds
};

void PrintTo(const PutFault& c, std::ostream* os) { *os << c.name; }

class InetSftpFaultTest : public InetSftpTest, public ::testing::WithParamInterface<PutFault> {};

TEST_P(InetSftpFaultTest, FailsWithCodeAndTextButNeverThePassword) {
  const PutFault& f = GetParam();
  std::string url = std::string("sftp://") + f.url;
  url.replace(url.find("{port}"), 6, std::to_string(server_->port()));
  inet_.SetURL(url);
  inet_.SetPassword(f.password);
  EXPECT_FALSE(inet_.Execute("", "put " + Local("fault") + " " + f.remote));
  EXPECT_EQ(inet_.ResponseCode(), f.code) << inet_.ResponseInfo();
  EXPECT_NE(inet_.ResponseInfo().find(f.info), std::string::npos) << inet_.ResponseInfo();
  EXPECT_EQ(inet_.ResponseInfo().find("geheim"), std::string::npos) << inet_.ResponseInfo();
  EXPECT_EQ(states_, std::vector<std::int16_t>{icError});
  EXPECT_FALSE(FileExists(server_->root() + "/home/" + f.remote));
}

INSTANTIATE_TEST_SUITE_P(
    Faults, InetSftpFaultTest,
    ::testing::Values(PutFault{"WrongPassword", "127.0.0.1:{port}", "geheim-falsch", "denied.htm",
                               CURLE_LOGIN_DENIED, "Authentication failure"},
                      PutFault{"WrongPasswordInUrl", "pell:geheim@127.0.0.1:{port}", "",
                               "denied-url.htm", CURLE_LOGIN_DENIED, "Authentication failure"},
                      PutFault{"MissingFolder", "127.0.0.1:{port}", "Kennwort-7q",
                               "nowhere/page.htm", CURLE_REMOTE_FILE_NOT_FOUND, "No such file"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(InetSftpTest, ServerKeyIsCheckedAgainstKnownHostsWhenTheFileExists) {
  // libssh2 1.10 copies overlapping memory when it orders host key methods; ASan stops there.
  if (testing::kSanitized) GTEST_SKIP() << "libssh2 host key ordering trips ASan";
  struct Case {
    const char* name;
    std::string known_hosts;  // empty: no file at all
    const char* fault;        // what ResponseInfo starts with; nullptr: the upload works
  };
  const std::string file = home_.File(".ssh/known_hosts");
  for (const Case& c : {
           Case{"own key", ReadFile(server_->KnownHosts()), nullptr},
           Case{"own key among others",
                ReadFile(other_->KnownHosts()) + ReadFile(server_->KnownHosts()), nullptr},
           Case{"no file", "", nullptr},
           Case{"another key for this host", KeyLineAs(*other_, *server_),
                "Schlüssel des Servers passt nicht zu "},
           Case{"host missing", ReadFile(other_->KnownHosts()), "Schlüssel des Servers fehlt in "},
       }) {
    std::filesystem::remove_all(home_.File(".ssh"));
    if (!c.known_hosts.empty()) WriteKnownHosts(c.known_hosts);
    const std::size_t seen = server_->Commands().size();
    Inet inet(KnownHostsIn(home_));  // a connection of its own, so every case meets the key check
    Configure(inet);
    const bool ok = inet.Execute("", "put " + Local(c.name) + " \"key " + c.name + ".htm\"");
    const std::vector<std::string> all = server_->Commands();
    const std::vector<std::string> commands(all.begin() + static_cast<long>(seen), all.end());
    if (c.fault == nullptr) {
      EXPECT_TRUE(ok) << c.name << ": " << inet.ResponseInfo();
      EXPECT_EQ(Served("/home/key " + std::string(c.name) + ".htm"), c.name);
      continue;
    }
    EXPECT_FALSE(ok) << c.name;
    EXPECT_EQ(inet.ResponseCode(), CURLE_PEER_FAILED_VERIFICATION) << c.name;
    EXPECT_EQ(inet.ResponseInfo(), c.fault + file) << c.name;
    EXPECT_EQ(Count(commands, "login "), 0) << c.name << ": the password never reaches it";
    EXPECT_FALSE(FileExists(server_->root() + "/home/key " + c.name + ".htm")) << c.name;
  }
}

}  // namespace
}  // namespace pellvane
