#include <windows.h>

#include <string>

#include "platform/program_folder.h"
#include "platform/wide_text.h"

namespace pellvane {

std::string ExecutableFolder() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return {};
    if (n < path.size()) {
      path.resize(n);
      break;
    }
    path.resize(path.size() * 2);
  }
  // The folder keeps its backslash only at a drive's root ("C:\").
  std::size_t cut = path.rfind(L'\\');
  if (cut == std::wstring::npos) return {};
  if (cut == 2 && path[1] == L':') ++cut;
  return Narrow(path.substr(0, cut));
}

}  // namespace pellvane
