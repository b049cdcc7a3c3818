#include "app/headless_run.h"

#include "app/session.h"
#include "platform/dialogs.h"

namespace pellvane {

int RunHeadless(const std::string& command_line) {
  HeadlessDialogs dialogs;
  Session session(dialogs, command_line);
  return session.window.Form_Load().value_or(kExitOk);
}

}  // namespace pellvane
