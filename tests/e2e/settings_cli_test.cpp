// The built program as an admin without a display uses it: the settings commands, and the
// one line a failed -now run leaves for the scheduler.
#include <gtest/gtest.h>

#include "platform/dialogs.h"
#include "settings/hp_reg.h"
#include "support/env_registry.h"
#include "support/run_program.h"
#include "support/servers.h"
#include "support/temp_dir.h"

namespace pellvane {
namespace {

using testing::ProgramResult;

class SettingsCliTest : public ::testing::Test {
 protected:
  SettingsCliTest() { setenv("PELLVANE_HOME", home_.path().c_str(), 1); }

  ProgramResult Run(std::vector<std::string> args, const std::string& input = "") {
    args.insert(args.begin(), PELLVANE_BIN);
    testing::WriteFile(home_.File("input"), input);
    return testing::RunProgram(args, {{"PELLVANE_HOME", home_.path()}}, home_.File("input"));
  }

  SettingsRecord Loaded() {
    HeadlessDialogs dialogs;
    Settings s(dialogs, StorePathFromEnvironment());
    s.LoadSettings();
    return s.record();
  }

  testing::TempDir home_;
};

TEST_F(SettingsCliTest, SetValuesReachTheWindowsRecordAndBack) {
  for (const char* arg : {"WDEFSERVER=3", "useftp=true", "proxyport=8080", "wserver2=http://a/ip"})
    EXPECT_EQ(Run({"--set", arg}).status, 0) << arg;
  EXPECT_EQ(Run({"--set", "ftppass0"}, "geheim\n").status, 0);
  const SettingsRecord r = Loaded();
  EXPECT_EQ(r.wdefserver, 3);
  EXPECT_TRUE(r.useftp);
  EXPECT_EQ(r.proxyport, "8080");
  EXPECT_EQ(r.wserver[2], "http://a/ip");
  EXPECT_EQ(r.ftppass[0], "geheim");
  EXPECT_EQ(Run({"--get", "FtpPass0"}).out, "geheim\n");

  {
    HeadlessDialogs dialogs;
    Settings s(dialogs, StorePathFromEnvironment());
    s.LoadSettings();
    s.record().ppass = "x";
    s.SaveSettings();
  }
  const std::string shown = Run({"--show"}).out;
  for (const char* line : {"\nwdefserver=3\n", "\nuseftp=True\n", "\nproxyPort=8080\n",
                           "ftppass0=***\n", "\nppass=***\n", "\nwserver2=http://a/ip\n"})
    EXPECT_NE(shown.find(line), std::string::npos) << line << " in\n" << shown;
  EXPECT_EQ(shown.find("geheim"), std::string::npos);
  EXPECT_TRUE(shown.starts_with("wserver0=")) << shown;
}

TEST_F(SettingsCliTest, RefusalsSayWhyAndChangeNothing) {
  ASSERT_EQ(Run({"--set", "inettimeout=30"}).status, 0);
  const std::string before = Run({"--show"}).out;
  const std::vector<std::vector<std::string>> refused = {
      {"--set", "nosuch=1"},  {"--set", "wdefserver=5"},    {"--set", "proxycon=3"},
      {"--set", "useftp=ja"}, {"--set", "inettimeout=4e4"}, {"--set", "inettimeout=40000"},
      {"--get", "nosuch"},    {"--get", "lastip"},          {"--get"},
      {"--show", "x"},        {"--set", "ftpdefserver="}};
  for (const auto& args : refused) {
    const ProgramResult r = Run(args);
    EXPECT_EQ(r.status, 1) << args.back();
    EXPECT_TRUE(r.err.starts_with("pellvane: ") && r.err.find('\n') == r.err.size() - 1)
        << args.back() << ": " << r.err;
    EXPECT_EQ(r.out, "");
  }
  EXPECT_EQ(Run({"--show"}).out, before);
}

// -now: one line on standard error for statuses 1 and 2, in the log's words, logging off.
TEST_F(SettingsCliTest, AFailedNowRunSaysWhyOnStandardError) {
  testing::EchoServer echo;
  echo.Serve("/ip", "203.0.113.7");
  echo.Serve("/missing", "", 404);
  testing::FtpServer ftp;
  testing::WriteFile(home_.File("t.htm"), "'!!!***IP***!!!'");
  const struct {
    std::string url, password, err;
    int status;
  } cases[] = {
      {echo.Url("/ip"), "vane", "", 0},
      {echo.Url("/missing"), "vane", "pellvane -now: Keine gültige IP erhalten (404 : ", 1},
      {echo.Url("/ip"), "falsch", "pellvane -now: FTP fehlgeschlagen (530 : ", 2},
  };
  for (const auto& c : cases) {
    for (const auto& [name, value] : std::vector<std::pair<std::string, std::string>>{
             {"wserver1", c.url},
             {"wdefserver", "1"},
             {"lastip", "0.0.0.0"},
             {"useftp", "True"},
             {"ftpserver0", ftp.Url()},
             {"ftpuser0", "pell"},
             {"ftppass0", c.password},
             {"ftpremotefile0", "ip.html"},
             {"htmltemplatefile0", home_.File("t.htm")}})
      ASSERT_EQ(Run({"--set", name + "=" + value}).status, 0);
    const ProgramResult r = Run({"-now"});
    EXPECT_EQ(r.status, c.status) << c.err;
    EXPECT_TRUE(r.err.starts_with(c.err) && r.err.find('\n') == r.err.size() - 1) << r.err;
    EXPECT_EQ(c.err.empty(), r.err.empty()) << r.err;
  }
}

}  // namespace
}  // namespace pellvane
