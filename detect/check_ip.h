// One check cycle: fetch the echo page of the web slot, test the answer, compare it with the
// last address, decide whether the page is due and store the address. Not safe from two threads.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/dialogs.h"
#include "platform/run_log.h"
#include "platform/text_field.h"
#include "settings/hp_reg.h"
#include "settings/publish_state.h"
#include "transfer/inet.h"

namespace pellvane {

// The built-in echo page of web slot 1.
inline const std::string kEchoUrl = std::string("http://") + PELLVANE_ECHO_HOST + "/ip.shtml";
// Added where a check of the built-in page got no address: on a fresh install its host may
// well not answer, and the way out is an echo page of one's own.
inline constexpr const char* kOwnEchoPageHint =
    "Tipp: eine eigene Echo-Seite in Webserver 2 eintragen und als Standart wählen, ohne "
    "Fenster: pellvane --set wserver1=https://api.ipify.org und pellvane --set wdefserver=1";

// Why the page must be published for this address; nothing when it already shows what it
// should (or nothing is published at all).
using PublishReason = std::function<std::optional<std::string>(const std::string& address)>;

// What a check reads and writes besides the settings.
struct CheckContext {
  Inet& inet;
  Settings& settings;
  const RunLog& log;
  Dialogs& dialogs;
  bool unattended;  // the "-now" run: no message boxes
  // The web slots to ask, in this order, until one gives a valid address: the one the web
  // pager shows first.
  std::vector<TextField*> web_slots;
  std::string& cur_ip;          // the address of the latest check, or what its fetch gave
  const std::string& reported;  // the state-event handler's line for the latest request
  PublishState& state;          // marked due before a new address is stored
  PublishReason why_publish;
};

struct CheckResult {
  bool valid = false;        // cur_ip holds a valid address
  bool publish = false;      // the page is due
  bool only_builtin = true;  // every page asked was the built-in one
  // Why no valid address came: "Keine gültige IP erhalten", with what the last slot asked
  // gave in brackets when it said anything.
  std::string failure;
};

// The answer as the log shows a refused one: control characters escaped, at most 80
// characters, "…" where it was cut.
std::string ShownAnswer(std::string_view answer);

// Asks the slots in order until one answers with a valid address (blanks and line ends around
// it dropped); when the page is then due it is marked so, durably, before a changed address
// is stored. A new address that could not be marked due is not stored.
CheckResult CheckIP(const CheckContext& ctx);

}  // namespace pellvane
