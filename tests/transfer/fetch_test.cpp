// Inet's echo fetch against the local HTTP server, directly and through a real proxy: bodies,
// failures with their codes and texts, the size cap, redirects and time-outs.
#include <curl/curl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <optional>
#include <thread>

#include "app/environment.h"
#include "support/harness.h"
#include "support/servers.h"
#include "transfer/inet.h"

namespace pellvane {
namespace {

using namespace testing;
using Clock = std::chrono::steady_clock;
using States = std::vector<std::int16_t>;
constexpr std::size_t kCap = 64 * 1024;  // "Antwort größer als 64 KiB"

class FetchTest : public ::testing::Test {
 protected:
  FetchTest() {
    echo_.Serve("/ip", "203.0.113.7");
    Watch();
  }
  void Watch() {
    inet_->SetStateChanged([this](std::int16_t state) {
      states_.push_back(state);
      threads_.push_back(std::this_thread::get_id());
    });
  }
  std::string Fetch(const std::string& url) {
    inet_->SetURL(url.front() == '/' ? echo_.Url(url) : url);
    return inet_->OpenURL();
  }

  Env env_{NoProxies()};
  EchoServer echo_;
  std::optional<Inet> inet_{std::in_place};
  States states_;
  std::vector<std::thread::id> threads_;
};

// Bodies however they are framed, up to exactly the cap; failures with their code and text,
// in time and without a body; the next success clears code and text.
TEST_F(FetchTest, FetchesWholeBodiesAndFailsWithCodeAndTextButNoBody) {
  struct Case {
    std::string url;
    std::int32_t code;  // 0: fetched
    std::string text;   // the body; for a failure, what ResponseInfo starts with
  };
  std::string chain = "/ip", digits;
  for (int i = 0; i < 7; ++i) chain = "/ip?redirect=" + chain;
  for (std::size_t i = 0; i < kCap; ++i) digits += static_cast<char>('0' + i % 10);
  const std::string cap = std::to_string(kCap), over = std::to_string(kCap + 1);
  const std::string ip = "203.0.113.7", big = "Antwort größer als 64 KiB";
  echo_.Serve("/new", "198.51.100.2");
  inet_.emplace(TransferSettings{1000, 500, "", "", {}});
  Watch();
  for (const Case& c : std::initializer_list<Case>{
           {"/ip", 0, ip},
           {"/ip?nolength=1", 0, ip},
           {"/ip?chunked=1", 0, ip},
           {"/ip?trickle_ms=1", 0, ip},
           {"/old?redirect=/new", 0, "198.51.100.2"},
           {"/ip?size=" + cap, 0, digits},
           {"/ip?chunked=1&size=" + cap, 0, digits},
           {"/missing", 404, "HTTP/1.1 404 Not Found"},
           {"/ip?status=404&reason=Not%20Found%0DFTP%20Fertig%1B%5B2J", 404,
            "HTTP/1.1 404 Not Found\\rFTP Fertig\\x1b[2J"},
           {"http://pell:p%40ss@" + echo_.Url("/ip?status=401&reason=p%40ss%20wrong").substr(7),
            401, "HTTP/1.1 401 *** wrong"},
           {"http://pell:Echo%2Fpw7@" +
                echo_.Url("/ip?status=401&reason_header=Authorization").substr(7),
            401, "HTTP/1.1 401 Basic ***"},
           {"http://127.0.0.1:1/ip", CURLE_COULDNT_CONNECT, ""},
           {"/ip?size=" + over, CURLE_FILESIZE_EXCEEDED, big},
           {"/ip?nolength=1&size=" + over, CURLE_FILESIZE_EXCEEDED, big},
           {"/ip?chunked=1&size=" + over, CURLE_FILESIZE_EXCEEDED, big},
           {"/ip?size=100&close_after=10", CURLE_PARTIAL_FILE, ""},
           {"/ip?hang=1", CURLE_OPERATION_TIMEDOUT, ""},
           {"/ip?redirect=file:///etc/hostname", CURLE_UNSUPPORTED_PROTOCOL, ""},
           {chain, CURLE_TOO_MANY_REDIRECTS, ""},
           {"ftp://127.0.0.1:1/ip", CURLE_UNSUPPORTED_PROTOCOL, ""},
           {"/ip", 0, ip}}) {
    SCOPED_TRACE(c.url);
    states_.clear();
    threads_.clear();
    const auto start = Clock::now();
    EXPECT_EQ(Fetch(c.url), c.code ? "" : c.text);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(10));
    EXPECT_EQ(inet_->ResponseCode(), c.code) << inet_->ResponseInfo();
    EXPECT_EQ(inet_->ResponseInfo().rfind(c.code ? c.text : "", 0), 0u) << inet_->ResponseInfo();
    EXPECT_EQ(inet_->ResponseInfo().empty(), c.code == 0);
    EXPECT_EQ(states_, States{c.code ? icError : icResponseCompleted});
    EXPECT_EQ(threads_, std::vector<std::thread::id>{std::this_thread::get_id()});
  }
  EXPECT_EQ(inet_->GetChunk(1024), "") << "the body is returned, not kept as chunk data";
}

// The named proxy goes through the proxy server and port, direct goes direct whatever the
// environment says, the system's follows the environment's proxy; a named proxy without a port
// keeps the Proxy text it had; a login sent to either never shows.
TEST_F(FetchTest, ProxyModesChooseTheProxy) {
  ProxyServer proxy;
  using M = ProxyMode;
  struct Case {
    M mode;
    std::string port, env_proxy;
    bool answered, through_proxy;
  };
  const std::string request = "GET " + echo_.Url("/ip");
  const auto handled = [&] {  // the proxy's log lines that name the request
    return std::ranges::count_if(proxy.Commands(),
                                 [&](auto& l) { return l.find(request) != l.npos; });
  };
  const std::string port = std::to_string(proxy.port()), proxied = "http://" + proxy.HostPort();
  for (const Case& c :
       {Case{M::kNamed, port, "", true, true}, Case{M::kNamed, "", "", true, true},
        Case{M::kNamed, "1", "", false, false},
        Case{M::kDirect, "1", "http://127.0.0.1:1", true, false},
        Case{ProxyModeFrom(7), "1", proxied, true, true}, Case{M::kSystem, "1", "", true, false}}) {
    SCOPED_TRACE(std::to_string(static_cast<int>(c.mode)) + " " + c.port + " " + c.env_proxy);
    const auto env_proxy = c.env_proxy.empty() ? std::nullopt : std::optional(c.env_proxy);
    Env env({{"http_proxy", env_proxy}, {"ALL_PROXY", env_proxy}});
    const long seen = handled();
    ApplyProxy(*inet_, c.mode, "127.0.0.1", c.port);
    EXPECT_EQ(Fetch("/ip"), c.answered ? "203.0.113.7" : "") << inet_->ResponseInfo();
    EXPECT_EQ(handled() - seen, c.through_proxy);
  }
  // A proxy (the echo page, asked as one) that repeats the login it got in Basic spelling,
  // named by the Proxy text or by the environment, shows it masked.
  const std::string via = "127.0.0.1:" + std::to_string(echo_.port());
  for (const auto& [mode, env_proxy] :
       {std::pair(M::kNamed, ""), std::pair(M::kSystem, "http://pell:Env-pw7@")}) {
    Env env({{"http_proxy", env_proxy + via}});
    inet_.emplace(TransferFromEnvironment());
    inet_->SetAccessType(mode);
    inet_->SetProxy("pell:Proxy-pw7@" + via);
    EXPECT_EQ(Fetch("http://127.0.0.1:1/ip?status=407&reason_header=Proxy-Authorization"), "");
    EXPECT_EQ(inet_->ResponseInfo(), "HTTP/1.1 407 Basic ***") << env_proxy;
  }
}

}  // namespace
}  // namespace pellvane
