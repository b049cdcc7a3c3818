// The harness's parts that are Windows' own: processes, the temporary folder, the environment,
// and the settings key, which on Windows is the registry's.
#include "support/harness.h"
// Windows' headers after ours: its registry macros must not meet our constants' declarations.
#include <windows.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <thread>

#include "platform/wide_text.h"

namespace {
// Taken here, where HKEY is Windows' own type and not ours.
const HKEY kMachineKey = HKEY_LOCAL_MACHINE;
const HKEY kUserKey = HKEY_CURRENT_USER;
}  // namespace

namespace pellvane::testing {
namespace {

// The argument as the started program's C runtime splits it again (no quotes in ours).
std::wstring Quoted(const std::string& arg) {
  const std::wstring wide = Widen(arg);
  return wide.empty() || wide.find_first_of(L" \t") != std::wstring::npos ? L"\"" + wide + L"\""
                                                                          : wide;
}

// This process's environment with `env` applied, as CreateProcessW takes it.
std::wstring Environment(const EnvVars& env) {
  std::wstring block;
  wchar_t* own = GetEnvironmentStringsW();
  for (const wchar_t* e = own; *e != L'\0'; e += wcslen(e) + 1) {
    const std::string entry = Narrow(e);
    if (env.count(entry.substr(0, entry.find('=', 1))) == 0) block += std::wstring(e) + L'\0';
  }
  FreeEnvironmentStringsW(own);
  for (const auto& [name, value] : env)
    if (value) block += Widen(name + "=" + *value) + L'\0';
  return block + L'\0';
}

std::string Drain(HANDLE pipe) {
  std::string data;
  char buf[4096];
  for (DWORD n = 0; ::ReadFile(pipe, buf, sizeof buf, &n, nullptr) && n > 0;) data.append(buf, n);
  CloseHandle(pipe);
  return data;
}

// Both settings keys a run may use, gone.
void ClearSettingsKey() {
  for (const ::HKEY root : {kMachineKey, kUserKey}) {
    RegDeleteTreeW(root, L"SOFTWARE\\Brackfell");
    RegDeleteKeyW(root, L"SOFTWARE\\Brackfell");
  }
}

// Internet Options as the user's: an HTTP proxy on a dead port on 127.0.0.1, which 127.0.0.1
// itself bypasses, so that the built-in echo page, which a -now run asks when a slot fails,
// reaches nothing beyond this machine. Each test run has a Wine prefix of its own.
void SetInternetOptions() {
  ::HKEY key = nullptr;
  RegCreateKeyExW(kUserKey, L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings", 0,
                  nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
  const DWORD on = 1;
  RegSetValueExW(key, L"ProxyEnable", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&on), sizeof on);
  for (const auto& [name, value] :
       {std::pair{L"ProxyServer", L"http=127.0.0.1:1;https=127.0.0.1:1"},
        std::pair{L"ProxyOverride", L"127.0.0.1;<local>"}}) {
    RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                   static_cast<DWORD>((wcslen(value) + 1) * sizeof(wchar_t)));
  }
  RegCloseKey(key);
}

}  // namespace

void SetVariable(const std::string& name, const std::optional<std::string>& value) {
  // An empty value unsets a variable here.
  _putenv_s(name.c_str(), value ? value->c_str() : "");
}

ProgramResult RunProgram(const std::vector<std::string>& argv, const EnvVars& env,
                         const std::string& input) {
  ProgramResult result;
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE out_read, out_write, err_read, err_write;
  if (!CreatePipe(&out_read, &out_write, &inherit, 0)) return result;
  if (!CreatePipe(&err_read, &err_write, &inherit, 0)) return result;
  SetHandleInformation(out_read, HANDLE_FLAG_INHERIT, 0);
  SetHandleInformation(err_read, HANDLE_FLAG_INHERIT, 0);
  const std::string source = input == "/dev/null" ? "NUL" : input;
  const HANDLE in = CreateFileW(Widen(source).c_str(), GENERIC_READ, FILE_SHARE_READ, &inherit,
                                OPEN_EXISTING, 0, nullptr);
  std::wstring command;
  for (const std::string& a : argv) command += (command.empty() ? L"" : L" ") + Quoted(a);
  std::wstring environment = Environment(env);
  STARTUPINFOW si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = in;
  si.hStdOutput = out_write;
  si.hStdError = err_write;
  PROCESS_INFORMATION pi{};
  const auto start = std::chrono::steady_clock::now();
  const bool started =
      CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, CREATE_UNICODE_ENVIRONMENT,
                     environment.data(), nullptr, &si, &pi);
  for (const HANDLE h : {out_write, err_write}) CloseHandle(h);
  if (in != INVALID_HANDLE_VALUE) CloseHandle(in);
  // Small outputs only: stdout is read to its end before stderr.
  result.out = Drain(out_read);
  result.err = Drain(err_read);
  if (!started) return result;
  WaitForSingleObject(pi.hProcess, INFINITE);
  DWORD status = 0;
  GetExitCodeProcess(pi.hProcess, &status);
  for (const HANDLE h : {pi.hProcess, pi.hThread}) CloseHandle(h);
  result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  result.status = static_cast<int>(status);
  return result;
}

Sandbox::Sandbox() {
  static std::mt19937_64 random{std::random_device{}()};
  wchar_t temp[MAX_PATH + 1];
  GetTempPathW(MAX_PATH + 1, temp);
  path_ = Narrow(temp) + "pellvane-test-" + std::to_string(random());
  if (!CreateDirectoryW(Widen(path_).c_str(), nullptr))
    throw std::runtime_error("no folder " + path_);
  ClearSettingsKey();
  SetInternetOptions();
}

Sandbox::~Sandbox() {
  ClearSettingsKey();
  std::error_code ec;
  std::filesystem::remove_all(std::filesystem::path(Widen(path_)), ec);
}

ProgramResult Sandbox::Run(const std::string& program, const std::vector<std::string>& args,
                           EnvVars env, const std::string& input) const {
  const std::string copy = File("pellvane.exe");
  CopyFileW(Widen(program).c_str(), Widen(copy).c_str(), FALSE);
  std::vector<std::string> argv{copy};
  argv.insert(argv.end(), args.begin(), args.end());
  return RunProgram(argv, env, input);
}

}  // namespace pellvane::testing
