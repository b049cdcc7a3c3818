#include "settings/hp_reg.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "platform/registry.h"
#include "platform/run_log.h"
#include "support/env_registry.h"
#include "support/recording_dialogs.h"
#include "support/sample_record.h"
#include "support/store_home.h"

namespace pellvane {
namespace {

using testing::ReadFile;
using testing::RecordingDialogs;
using testing::SampleRecord;
using testing::StoreHome;

constexpr const char* kKey = "SOFTWARE\\Brackfell\\Pellvane";

// Every value of the settings key in creation order, as name=data without the NUL.
std::vector<std::string> StoredValues() {
  std::vector<std::string> out;
  HKEY key = 0;
  if (testing::EnvRegistry().RegOpenKeyEx(HKEY_LOCAL_MACHINE, kKey, 0, KEY_READ, &key) !=
      ERROR_SUCCESS)
    return out;
  char name[256];
  std::uint8_t data[256];
  for (std::uint32_t i = 0;; ++i) {
    std::uint32_t name_size = sizeof name;
    std::uint32_t data_size = sizeof data;
    std::uint32_t type = 0;
    if (testing::EnvRegistry().RegEnumValue(key, i, name, &name_size, &type, data, &data_size) !=
        ERROR_SUCCESS)
      break;
    out.push_back(std::string(name) + "=" +
                  std::string(reinterpret_cast<char*>(data), data_size ? data_size - 1 : 0) +
                  (type == REG_SZ && data_size > 0 && data[data_size - 1] == 0 ? "" : "!"));
  }
  testing::EnvRegistry().RegCloseKey(key);
  return out;
}

void StoreText(const std::string& name, const std::string& text) {
  HKEY key = 0;
  ASSERT_EQ(testing::EnvRegistry().RegCreateKeyEx(HKEY_LOCAL_MACHINE, kKey, 0, KEY_ALL_ACCESS, &key,
                                                  nullptr),
            ERROR_SUCCESS);
  const std::string data = text + '\0';
  testing::EnvRegistry().RegSetValueEx(key, name, REG_SZ,
                                       reinterpret_cast<const std::uint8_t*>(data.data()),
                                       static_cast<std::uint32_t>(data.size()));
  testing::EnvRegistry().RegCloseKey(key);
}

class SettingsTest : public ::testing::Test {
 protected:
  StoreHome home_;
  RecordingDialogs dialogs_;
};

TEST_F(SettingsTest, FirstStartCreatesTheKeyAndLoadsDefaults) {
  Settings settings(dialogs_, StorePathFromEnvironment());
  settings.record() = SampleRecord("x");
  EXPECT_TRUE(settings.InitSettingsKey());
  EXPECT_TRUE(testing::FileExists(home_.StoreFile()));
  settings.LoadSettings();
  EXPECT_EQ(settings.record(), DefaultRecord());
  EXPECT_EQ(settings.record().inettimeout, 20);
  EXPECT_TRUE(settings.InitSettingsKey());  // an existing key is fine
  EXPECT_TRUE(StoredValues().empty());
}

TEST_F(SettingsTest, SaveWritesAll41ValuesInOrder) {
  Settings settings(dialogs_, StorePathFromEnvironment());
  ASSERT_TRUE(settings.InitSettingsKey());
  settings.record() = SampleRecord("7");
  settings.record().useftp = false;
  settings.record().wdefserver = 2;
  settings.SaveSettings();
  std::vector<std::string> expected;
  for (int i = 0; i < kSlots; ++i) {
    const std::string n = std::to_string(i);
    expected.push_back("wserver" + n + "=http://w" + n + ".7");
    expected.push_back("ftpserver" + n + "=ftp" + n + ".7");
    expected.push_back("ftpuser" + n + "=user" + n + "7");
    expected.push_back("ftppass" + n + "=pass" + n + "7");
    expected.push_back("ftpremotefile" + n + "=/www/" + n + "7.htm");
    expected.push_back("htmltemplatefile" + n + "=/home/t" + n + "7.html");
  }
  for (const char* v :
       {"wdefserver=2", "proxycon=2", "proxysrv=proxy.7", "proxyPort=317", "puser=pu7", "ppass=pp7",
        "lastip=10.0.0.7", "useftp=False", "ftpdefserver=4", "inettimeout=45", "writelog=True"}) {
    expected.push_back(v);
  }
  EXPECT_EQ(StoredValues(), expected);

  Settings again(dialogs_, StorePathFromEnvironment());
  again.LoadSettings();
  EXPECT_EQ(again.record(), settings.record());
  EXPECT_TRUE(dialogs_.boxes.empty());
}

TEST_F(SettingsTest, ProxyPortIsOneValueWhateverItsCase) {
  StoreText("PROXYPORT", "8080");
  Settings settings(dialogs_, StorePathFromEnvironment());
  settings.LoadSettings();
  EXPECT_EQ(settings.record().proxyport, "8080");
  settings.record().proxyport = "3128";
  settings.SaveSettings();
  const auto values = StoredValues();
  EXPECT_EQ(values.size(), 41u);
  EXPECT_EQ(values[0], "PROXYPORT=3128");
}

TEST_F(SettingsTest, StoredTextsThatDoNotFitReadAsDefaults) {
  struct Case {
    const char* name;
    const char* text;
    std::int16_t SettingsRecord::*number;
    std::int16_t expected;
  };
  const Case numbers[] = {
      {"inettimeout", "0", &SettingsRecord::inettimeout, 20},
      {"inettimeout", "35", &SettingsRecord::inettimeout, 35},
      {"inettimeout", "abc", &SettingsRecord::inettimeout, 20},
      {"wdefserver", "7", &SettingsRecord::wdefserver, 7},  // loaded as it is
      {"wdefserver", "-1", &SettingsRecord::wdefserver, -1},
      {"wdefserver", " 2 ", &SettingsRecord::wdefserver, 2},
      {"wdefserver", "70000", &SettingsRecord::wdefserver, 0},
      {"proxycon", "2x", &SettingsRecord::proxycon, 0},
      {"proxycon", "", &SettingsRecord::proxycon, 0},
      {"ftpdefserver", "1.5", &SettingsRecord::ftpdefserver, 0},
  };
  for (const Case& c : numbers) {
    StoreText(c.name, c.text);
    Settings settings(dialogs_, StorePathFromEnvironment());
    settings.LoadSettings();
    EXPECT_EQ(settings.record().*c.number, c.expected) << c.name << "=" << c.text;
  }
  const std::pair<const char*, bool> flags[] = {{"True", true},   {"tRUE", true}, {"-1", true},
                                                {"False", false}, {"0", false},   {"yes", false},
                                                {"", false}};
  for (const auto& [text, expected] : flags) {
    StoreText("useftp", text);
    StoreText("writelog", text);
    Settings settings(dialogs_, StorePathFromEnvironment());
    settings.LoadSettings();
    EXPECT_EQ(settings.record().useftp, expected) << text;
    EXPECT_EQ(settings.record().writelog, expected) << text;
  }
}

TEST_F(SettingsTest, SavingWritesOnlyWhatThisInstanceChanged) {
  {
    Settings first(dialogs_, StorePathFromEnvironment());
    first.InitSettingsKey();
    first.SaveSettings();
  }
  Settings settings(dialogs_, StorePathFromEnvironment());
  settings.LoadSettings();
  StoreText("lastip", "198.51.100.9");  // another instance, meanwhile
  settings.SaveSettings();
  EXPECT_EQ(StoredValues()[36], "lastip=198.51.100.9") << "an unchanged record is not written";

  settings.record().ftpuser[2] = "u";
  settings.SaveSettings();
  EXPECT_EQ(StoredValues()[36], "lastip=198.51.100.9") << "another instance's value survives";

  // Texts that load as a value stay as they are until this instance changes that value.
  for (const auto& [name, text, saved] : {std::tuple{"useftp", "tRUE", "useftp=tRUE"},
                                          std::tuple{"inettimeout", "0", "inettimeout=0"},
                                          std::tuple{"wdefserver", " 2", "wdefserver= 2"}}) {
    StoreText(name, text);
    Settings again(dialogs_, StorePathFromEnvironment());
    again.LoadSettings();
    again.SaveSettings();
    const auto values = StoredValues();
    EXPECT_NE(std::find(values.begin(), values.end(), saved), values.end()) << name;
  }
}

TEST_F(SettingsTest, RunLogFollowsTheLoadedSwitch) {
  StoreText("writelog", "True");
  Settings settings(dialogs_, StorePathFromEnvironment());
  FixedClock clock(0);
  RunLog log(home_.path() + "/pellvane.log", clock, settings.record().writelog);
  log.WriteLog("before");
  EXPECT_FALSE(testing::FileExists(log.path()));
  settings.LoadSettings();
  log.WriteLog("after");
  EXPECT_NE(ReadFile(log.path()).find(" - after\r\n"), std::string::npos);
}

}  // namespace
}  // namespace pellvane
