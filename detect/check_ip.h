// One check cycle: fetch the echo page of the visible web slot, test the body, compare it
// with the last address and store it. Not safe from two threads.
#pragma once

#include <string>

#include "detect/publish_due.h"
#include "platform/dialogs.h"
#include "platform/run_log.h"
#include "platform/text_field.h"
#include "settings/hp_reg.h"
#include "transfer/inet.h"

namespace pellvane {

// The built-in echo page of web slot 1.
inline const std::string kEchoUrl = std::string("http://") + PELLVANE_ECHO_HOST + "/ip.shtml";
// Added where a check of the built-in page got no address: on a fresh install its host may
// well not answer, and the way out is an echo page of one's own.
inline constexpr const char* kOwnEchoPageHint =
    "Tipp: eine eigene Echo-Seite in Webserver 2 eintragen und als Standart wählen, ohne "
    "Fenster: pellvane --set wserver1=https://api.ipify.org und pellvane --set wdefserver=1";

// What a check reads and writes besides the settings.
struct CheckContext {
  Inet& inet;
  Settings& settings;
  const RunLog& log;
  Dialogs& dialogs;
  bool unattended;      // the "-now" run: no message boxes
  TextField& web_slot;  // the URL of the slot the web pager shows
  std::string& cur_ip;  // the body of the latest fetch
  PublishDue& due;      // set before a changed address is stored
};

// True when the text starts with one of the schemes, in any letter case.
bool HasScheme(std::string_view text, std::initializer_list<std::string_view> schemes);

// Applies the stored proxy mode to the component before a request.
void ApplyProxy(Inet& inet, const SettingsRecord& record);

// True when a valid address was fetched and it differs from lastip, or an earlier change still
// waits for its publish; lastip is then stored.
bool CheckIP(const CheckContext& ctx);

}  // namespace pellvane
