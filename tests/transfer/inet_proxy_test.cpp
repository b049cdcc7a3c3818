// Inet's three access types against a real HTTP proxy (tinyproxy): 2 goes through the Proxy
// text, 1 goes direct whatever the environment says, 0 follows the environment's proxy.
#include <curl/curl.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "support/servers.h"
#include "support/temp_dir.h"
#include "transfer/inet.h"
#include "transfer/scoped_env.h"

namespace pellvane {
namespace {

// Nothing listens there.
constexpr const char* kDeadProxy = "127.0.0.1:1";

class InetProxyTest : public ::testing::Test {
 protected:
  InetProxyTest() {
    env_.UnsetProxies();
    echo_.Serve("/ip", "203.0.113.9");
    inet_.SetURL(echo_.Url("/ip"));
  }
  bool ProxyHandled(const std::string& request_start) const {
    const auto lines = proxy_.Requests();
    return std::any_of(lines.begin(), lines.end(),
                       [&](const std::string& line) { return line.rfind(request_start, 0) == 0; });
  }

  testing::ScopedEnv env_;
  testing::EchoServer echo_;
  testing::ProxyServer proxy_;
  Inet inet_;
};

TEST_F(InetProxyTest, NamedProxyCarriesTheFetch) {
  inet_.SetAccessType(2);
  inet_.SetProxy(proxy_.HostPort());
  EXPECT_EQ(inet_.OpenURL(), "203.0.113.9");
  EXPECT_EQ(inet_.ResponseCode(), 0) << inet_.ResponseInfo();
  EXPECT_TRUE(ProxyHandled("GET " + echo_.Url("/ip")))
      << ::testing::PrintToString(proxy_.Requests());
}

TEST_F(InetProxyTest, DeadNamedProxyFailsInsteadOfGoingDirect) {
  inet_.SetAccessType(2);
  inet_.SetProxy(kDeadProxy);
  EXPECT_EQ(inet_.OpenURL(), "");
  EXPECT_EQ(inet_.ResponseCode(), CURLE_COULDNT_CONNECT) << inet_.ResponseInfo();
  EXPECT_TRUE(echo_.Requests().empty());
}

TEST_F(InetProxyTest, DirectIgnoresTheEnvironmentsProxy) {
  for (const char* name : {"http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY"}) {
    env_.Set(name, std::string("http://") + kDeadProxy);
  }
  inet_.SetAccessType(1);
  inet_.SetProxy(kDeadProxy);  // not in force outside type 2
  EXPECT_EQ(inet_.OpenURL(), "203.0.113.9");
  EXPECT_EQ(inet_.ResponseCode(), 0) << inet_.ResponseInfo();
}

TEST_F(InetProxyTest, SystemSettingsFollowTheEnvironmentsProxy) {
  env_.Set("http_proxy", "http://" + proxy_.HostPort());
  inet_.SetAccessType(0);
  inet_.SetProxy(kDeadProxy);
  EXPECT_EQ(inet_.OpenURL(), "203.0.113.9");
  EXPECT_EQ(inet_.ResponseCode(), 0) << inet_.ResponseInfo();
  EXPECT_TRUE(ProxyHandled("GET " + echo_.Url("/ip")));
}

TEST_F(InetProxyTest, SystemSettingsWithoutAProxyGoDirect) {
  inet_.SetAccessType(0);
  EXPECT_EQ(inet_.OpenURL(), "203.0.113.9");
  EXPECT_TRUE(proxy_.Requests().empty());
}

TEST_F(InetProxyTest, FtpUploadTunnelsThroughTheNamedProxy) {
  testing::FtpServer ftp;
  testing::TempDir local;
  testing::WriteFile(local.File("tmp.htm"), "tunnelled\r\n");
  inet_.SetAccessType(2);
  inet_.SetProxy(proxy_.HostPort());
  inet_.SetProtocol(icFTP);
  inet_.SetURL(ftp.Url());
  inet_.SetUserName("pell");
  inet_.SetPassword("vane");
  EXPECT_TRUE(inet_.Execute("", "put " + local.File("tmp.htm") + " index.htm"));
  EXPECT_EQ(inet_.ResponseCode(), 0) << inet_.ResponseInfo();
  EXPECT_EQ(testing::ReadFile(ftp.root() + "/index.htm"), "tunnelled\r\n");
  EXPECT_TRUE(ProxyHandled("CONNECT 127.0.0.1:" + std::to_string(ftp.port())))
      << ::testing::PrintToString(proxy_.Requests());
}

}  // namespace
}  // namespace pellvane
