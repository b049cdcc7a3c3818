// The window's handler of the transfer component's state changes: it reports a failed
// request in a message box (not in the -now run) and in the log, and reads the data away.
// Not safe from two threads.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/dialogs.h"
#include "platform/run_log.h"
#include "transfer/inet.h"

namespace pellvane {

// `unattended` (the -now run) leaves the message box out. `yield` lets pending window events run
// between two chunks of the data. Returns the line it logged for a failed request ("<code> :
// <text>"), so that the run can say why it failed; empty when the request did not fail.
std::string HandleStateChanged(std::int16_t state, Inet& inet, bool unattended, const RunLog& log,
                               Dialogs& dialogs, const std::function<void()>& yield);

}  // namespace pellvane
