#include <windows.h>
// windows.h first
#include <shellapi.h>

#include "platform/console.h"
#include "platform/dialogs.h"
#include "platform/wide_text.h"

namespace pellvane {

bool ShowInSystemBox(const std::string& text) {
  if (OutputReachesSomeone()) return false;
  MessageBoxW(nullptr, Widen(text).c_str(), Widen(kProductName).c_str(), MB_OK);
  return true;
}

void OpenDetached(const std::string& target) {
  ShellExecuteW(nullptr, L"open", Widen(target).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace pellvane
