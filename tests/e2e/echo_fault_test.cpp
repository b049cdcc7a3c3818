// pellvane -now against echo pages that fail in every way a real one can: each run ends
// within the time-outs, logs what happened, keeps the last address and stays small.
#include <gtest/gtest.h>

#include "e2e/log_texts.h"
#include "platform/dialogs.h"
#include "settings/hp_reg.h"
#include "support/env_registry.h"
#include "support/run_program.h"
#include "support/servers.h"
#include "support/temp_dir.h"

namespace pellvane {
namespace {

using testing::TempDir;

struct EchoFault {
  const char* name;
  std::string query;  // appended to the echo URL
};

class EchoFaultTest : public ::testing::TestWithParam<EchoFault> {
 protected:
  TempDir home_;
  testing::EchoServer echo_;
};

TEST_P(EchoFaultTest, EndsInTimeWithTheLastAddressKept) {
  echo_.Serve("/ip", "203.0.113.7");
  const std::string url =
      GetParam().query == "refused" ? "http://127.0.0.1:1/ip" : echo_.Url("/ip") + GetParam().query;
  setenv("PELLVANE_HOME", home_.path().c_str(), 1);
  {
    HeadlessDialogs dialogs;
    Settings s(dialogs, StorePathFromEnvironment());
    s.InitSettingsKey();
    s.record().wserver[1] = url;  // slot 1 always shows the built-in page
    s.record().wdefserver = 1;
    s.record().lastip = "198.51.100.1";
    s.record().useftp = true;
    s.record().ftpserver[0] = "ftp://127.0.0.1:1";
    s.record().writelog = true;
    s.SaveSettings();
  }
  const auto r = testing::RunProgram(
      {PELLVANE_BIN, "-now"}, {{"PELLVANE_HOME", home_.path()}, {"PELLVANE_REQUEST_TIMEOUT", "2"}});

  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_LT(r.seconds, 10.0) << "the request time-out ends the run";
  EXPECT_LT(r.max_rss_kb, testing::kSmallRunKb) << "a huge answer is not held in memory";
  const auto log = testing::LogTexts(testing::ReadFile(home_.File("pellvane.log")));
  ASSERT_EQ(log.size(), 8u);
  EXPECT_EQ(log[3], "Prüfe IP-Adresse mit " + url + "...");
  EXPECT_NE(log[4].find(" : "), std::string::npos) << "the failure is logged with its code";
  EXPECT_NE(log[4].rfind("0 : ", 0), 0u);
  EXPECT_EQ(log[5], "Keine gültige IP erhalten");
  EXPECT_EQ(log[6], "Beende Programm");
  HeadlessDialogs dialogs;
  Settings s(dialogs, StorePathFromEnvironment());
  s.LoadSettings();
  EXPECT_EQ(s.record().lastip, "198.51.100.1");
  EXPECT_FALSE(testing::FileExists(home_.File("tmp.htm")));
}

INSTANTIATE_TEST_SUITE_P(Faults, EchoFaultTest,
                         ::testing::Values(EchoFault{"NeverAnswers", "?hang=1"},
                                           EchoFault{"OneByteASecond", "?trickle_ms=1000&size=64"},
                                           EchoFault{"HundredMiB", "?size=104857600"},
                                           EchoFault{"ClosesInTheBody", "?size=11&close_after=4"},
                                           EchoFault{"ServerError", "?status=500"},
                                           EchoFault{"RefusedPort", "refused"}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace pellvane
