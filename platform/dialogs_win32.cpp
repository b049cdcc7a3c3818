#include <windows.h>
// windows.h first
#include <shellapi.h>

#include "platform/dialogs.h"
#include "platform/wide_text.h"

namespace pellvane {

void OpenDetached(const std::string& target) {
  ShellExecuteW(nullptr, L"open", Widen(target).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace pellvane
