#include "views/win32/win32_dialogs.h"

#include <commdlg.h>
#include <shellapi.h>

#include <vector>

#include "platform/wide_text.h"

namespace pellvane {

void Win32Dialogs::MsgBox(const std::string& text, MsgKind) {
  MessageBoxW(owner_, Widen(text).c_str(), Widen(kProductName).c_str(), MB_OK);
}

std::optional<std::string> Win32Dialogs::ChooseFile(const FileChooserRequest& request) {
  const std::wstring filter = FilterList(request.filter);
  const std::wstring title = Widen(request.title);
  const std::wstring folder = Widen(request.start_folder);
  std::vector<wchar_t> file(32768, L'\0');
  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = owner_;
  ofn.lpstrFilter = filter.c_str();
  ofn.nFilterIndex = static_cast<DWORD>(request.selected_filter);
  ofn.lpstrFile = file.data();
  ofn.nMaxFile = static_cast<DWORD>(file.size());
  ofn.lpstrInitialDir = folder.c_str();
  ofn.lpstrTitle = title.c_str();
  ofn.Flags = OFN_HIDEREADONLY;
  if (!GetOpenFileNameW(&ofn)) return std::nullopt;
  return Narrow(file.data());
}

void Win32Dialogs::OpenUrl(const std::string& url) {
  ShellExecuteW(owner_, L"Open", Widen(url).c_str(), L"", Widen(program_folder_).c_str(),
                SW_SHOWNORMAL);
}

void Win32Dialogs::OpenInEditor(const std::string& path) {
  std::wstring command = L"notepad.exe " + Widen(path);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  // Notepad goes its own way: nothing waits for it.
  if (CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                     &startup, &process)) {
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
}

std::wstring FilterList(const std::string& filter) {
  std::wstring list = Widen(filter);
  for (wchar_t& c : list) {
    if (c == L'|') c = L'\0';
  }
  // A list given with a trailing "|" already ends its last part.
  if (list.empty() || list.back() != L'\0') list.push_back(L'\0');
  list.push_back(L'\0');
  return list;
}

}  // namespace pellvane
