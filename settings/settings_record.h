// The one settings record: every setting and the last address seen. Its defaults come from
// the settings table (DefaultRecord in settings/hp_reg.h). A plain value: not safe to change
// from two threads.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace pellvane {

inline constexpr int kSlots = 5;
using SlotTexts = std::array<std::string, kSlots>;

struct SettingsRecord {
  SlotTexts wserver;
  std::int16_t wdefserver = 0;
  std::int16_t proxycon = 0;
  std::string proxysrv;
  std::string proxyport;
  std::string puser;
  std::string ppass;
  std::string lastip;
  bool useftp = false;
  SlotTexts ftpserver;
  SlotTexts ftpuser;
  SlotTexts ftppass;
  SlotTexts ftpremotefile;
  SlotTexts htmltemplatefile;
  std::int16_t ftpdefserver = 0;
  std::int16_t inettimeout = 0;
  bool writelog = false;

  bool operator==(const SettingsRecord&) const = default;
};

}  // namespace pellvane
