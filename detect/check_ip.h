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

// True when a valid address was fetched and it differs from lastip, or an earlier change still
// waits for its publish; lastip is then stored.
bool CheckIP(const CheckContext& ctx);

}  // namespace pellvane
