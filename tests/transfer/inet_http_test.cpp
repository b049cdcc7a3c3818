// Inet's echo fetch against the local HTTP server: bodies, failures with their codes and
// texts, the size cap, redirects, time-outs, Cancel, and the state events of each request.
#include <curl/curl.h>
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "support/servers.h"
#include "transfer/inet.h"
#include "transfer/scoped_env.h"

namespace pellvane {
namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

class InetHttpTest : public ::testing::Test {
 protected:
  InetHttpTest() {
    env_.UnsetProxies();
    echo_.Serve("/ip", "203.0.113.7");
    inet_.SetStateChanged([this](std::int16_t state) {
      states_.push_back(state);
      threads_.push_back(std::this_thread::get_id());
    });
  }

  std::string Fetch(const std::string& url) {
    inet_.SetURL(url);
    return inet_.OpenURL();
  }

  testing::ScopedEnv env_;
  testing::EchoServer echo_;
  Inet inet_;
  std::vector<std::int16_t> states_;
  std::vector<std::thread::id> threads_;
};

TEST_F(InetHttpTest, FetchesTheWholeBodyAndRaisesCompletedOnTheCallersThread) {
  EXPECT_EQ(Fetch(echo_.Url("/ip")), "203.0.113.7");
  EXPECT_EQ(inet_.ResponseCode(), 0);
  EXPECT_EQ(inet_.ResponseInfo(), "");
  EXPECT_EQ(states_, std::vector<std::int16_t>{icResponseCompleted});
  EXPECT_EQ(threads_, std::vector<std::thread::id>{std::this_thread::get_id()});
  EXPECT_EQ(inet_.GetChunk(1024), "") << "the body is returned, not kept as chunk data";
}

TEST_F(InetHttpTest, BodyOfExactlyTheCapIsFetched) {
  const std::string body = Fetch(echo_.Url("/ip?size=" + std::to_string(kMaxBodyBytes)));
  EXPECT_EQ(inet_.ResponseCode(), 0) << inet_.ResponseInfo();
  ASSERT_EQ(body.size(), kMaxBodyBytes);
  EXPECT_EQ(body.substr(0, 12), "012345678901");
}

TEST_F(InetHttpTest, FollowsARedirect) {
  echo_.Serve("/new", "198.51.100.2");
  EXPECT_EQ(Fetch(echo_.Url("/old?redirect=/new")), "198.51.100.2");
  EXPECT_EQ(inet_.ResponseCode(), 0);
  const auto requests = echo_.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[1][0], "GET /new HTTP/1.1");
}

TEST_F(InetHttpTest, SuccessAfterAFailureClearsCodeAndInfo) {
  Fetch(echo_.Url("/missing"));
  ASSERT_NE(inet_.ResponseCode(), 0);
  EXPECT_EQ(Fetch(echo_.Url("/ip")), "203.0.113.7");
  EXPECT_EQ(inet_.ResponseCode(), 0);
  EXPECT_EQ(inet_.ResponseInfo(), "");
  EXPECT_EQ(states_, (std::vector<std::int16_t>{icError, icResponseCompleted}));
}

TEST_F(InetHttpTest, StalledServerEndsAtTheRequestTimeout) {
  TransferSettings quick;
  quick.connect_timeout_ms = 1000;
  quick.request_timeout_ms = 500;
  Inet inet(quick);
  inet.SetStateChanged([this](std::int16_t state) { states_.push_back(state); });
  inet.SetURL(echo_.Url("/ip?hang=1"));
  const auto start = Clock::now();
  EXPECT_EQ(inet.OpenURL(), "");
  const double took = SecondsSince(start);
  EXPECT_EQ(inet.ResponseCode(), CURLE_OPERATION_TIMEDOUT);
  EXPECT_NE(inet.ResponseInfo(), "");
  EXPECT_GE(took, 0.4);
  EXPECT_LT(took, 5.0);
  EXPECT_EQ(states_, std::vector<std::int16_t>{icError});
}

TEST_F(InetHttpTest, CancelFromAnotherThreadEndsATricklingTransfer) {
  // One byte every 20 ms: 200 s for the whole body.
  std::thread canceller([this] {
    while (echo_.Requests().empty()) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    inet_.Cancel();
  });
  const auto start = Clock::now();
  const std::string body = Fetch(echo_.Url("/ip?size=10000&trickle_ms=20"));
  const double took = SecondsSince(start);
  canceller.join();
  EXPECT_EQ(body, "");
  EXPECT_EQ(inet_.ResponseCode(), CURLE_ABORTED_BY_CALLBACK);
  EXPECT_EQ(inet_.ResponseInfo(), "Abgebrochen");
  EXPECT_LT(took, 3.0);
  EXPECT_EQ(states_, std::vector<std::int16_t>{icError});
  EXPECT_EQ(threads_, std::vector<std::thread::id>{std::this_thread::get_id()});
  EXPECT_EQ(Fetch(echo_.Url("/ip")), "203.0.113.7") << "the next request runs again";
}

TEST_F(InetHttpTest, CancelBeforeARequestLeavesTheNextOneRunning) {
  inet_.Cancel();
  EXPECT_EQ(Fetch(echo_.Url("/ip")), "203.0.113.7");
  EXPECT_EQ(inet_.ResponseCode(), 0);
}

struct FetchFault {
  const char* name;
  std::string url;  // a path and query on the echo server, or a whole URL
  std::int32_t code;
  const char* info;  // what ResponseInfo starts with; nullptr: any text
};

void PrintTo(const FetchFault& c, std::ostream* os) { *os << c.name; }

class InetHttpFaultTest : public InetHttpTest, public ::testing::WithParamInterface<FetchFault> {};

TEST_P(InetHttpFaultTest, FailsWithCodeAndTextAndNoBody) {
  const FetchFault& f = GetParam();
  const auto start = Clock::now();
  const std::string body = Fetch(f.url.front() == '/' ? echo_.Url(f.url) : f.url);
  EXPECT_LT(SecondsSince(start), 10.0);
  EXPECT_EQ(body, "");
  EXPECT_EQ(inet_.ResponseCode(), f.code) << inet_.ResponseInfo();
  if (f.info != nullptr) {
    EXPECT_EQ(inet_.ResponseInfo().rfind(f.info, 0), 0u) << inet_.ResponseInfo();
  } else {
    EXPECT_NE(inet_.ResponseInfo(), "");
  }
  EXPECT_EQ(states_, std::vector<std::int16_t>{icError});
}

// Seven redirects, each to the same page with one redirect fewer.
std::string RedirectChain(int hops) {
  std::string target = "/ip";
  for (int i = 0; i < hops; ++i) target = "/ip?redirect=" + target;
  return target;
}

INSTANTIATE_TEST_SUITE_P(
    Faults, InetHttpFaultTest,
    ::testing::Values(
        FetchFault{"NotFound", "/missing", 404, "HTTP/1.1 404 Not Found"},
        FetchFault{"ServerError", "/ip?status=500", 500, "HTTP/1.1 500 Internal Server Error"},
        FetchFault{"RefusedPort", "http://127.0.0.1:1/ip", CURLE_COULDNT_CONNECT, nullptr},
        FetchFault{"UnresolvableHost", "http://pellvane-echo.invalid/ip",
                   CURLE_COULDNT_RESOLVE_HOST, nullptr},
        FetchFault{"OverTheCap", "/ip?size=" + std::to_string(kMaxBodyBytes + 1),
                   CURLE_FILESIZE_EXCEEDED, "Antwort größer als 64 KiB"},
        FetchFault{"OverTheCapWithoutLength",
                   "/ip?no_length=1&size=" + std::to_string(kMaxBodyBytes + 1),
                   CURLE_FILESIZE_EXCEEDED, "Antwort größer als 64 KiB"},
        FetchFault{"ControlCharactersOfTheStatusLineEscaped",
                   "/ip?status=404&reason=Not%20Found%0DFTP%20Fertig%1B%5B2J", 404,
                   "HTTP/1.1 404 Not Found\\rFTP Fertig\\x1b[2J"},
        FetchFault{"HugeBody", "/ip?size=104857600", CURLE_FILESIZE_EXCEEDED, nullptr},
        FetchFault{"CutShort", "/ip?size=100&close_after=10", CURLE_PARTIAL_FILE, nullptr},
        FetchFault{"RedirectToAFile", "/ip?redirect=file:///etc/hostname",
                   CURLE_UNSUPPORTED_PROTOCOL, nullptr},
        FetchFault{"TooManyRedirects", RedirectChain(7), CURLE_TOO_MANY_REDIRECTS, nullptr},
        FetchFault{"NotHttp", "ftp://127.0.0.1:1/ip", CURLE_UNSUPPORTED_PROTOCOL, nullptr}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace pellvane
