// What is Windows' own: the registry key and its fallback for a standard user, texts in the
// ANSI code page where they leave the program, the log's timestamps, and the GUI program run
// from a scheduler: -now end to end with its log, exit status and console line.
#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>

#include "platform/ansi.h"
#include "platform/clock.h"
#include "platform/run_lock.h"
#include "platform/wide_text.h"
#include "settings/backup.h"
#include "settings/hp_reg.h"
#include "support/harness.h"
#include "support/servers.h"
// Windows' headers after ours: its registry macros must not meet our constants' declarations.
#include <windows.h>

namespace {
// Taken here, where HKEY is Windows' own type and not ours.
const HKEY kMachineKey = HKEY_LOCAL_MACHINE;
const HKEY kUserKey = HKEY_CURRENT_USER;
}  // namespace

namespace pellvane {
namespace {

using namespace testing;

// A value as a program of the ANSI world reads it from the machine's or the user's key.
std::string AnsiValue(::HKEY root, const char* name) {
  char data[256] = {};
  DWORD size = sizeof data;
  if (RegGetValueA(root, "SOFTWARE\\Brackfell\\Pellvane", name, RRF_RT_REG_SZ, nullptr, data,
                   &size) != 0) {
    return "<none>";
  }
  return data;
}

// Where the account may not write the machine's key, the settings live under the user's: a
// store path that names that key. (Which root an account gets follows its rights on the
// machine's key; Wine grants every right, so here the path names it.)
TEST(WindowsRegistryTest, SettingsLiveInTheNamedRootInTheAnsiCodePage) {
  const struct {
    const char* root;
    ::HKEY home;
  } cases[] = {{"HKEY_LOCAL_MACHINE", kMachineKey}, {"HKEY_CURRENT_USER", kUserKey}};
  for (const auto& c : cases) {
    Sandbox box;
    RecordingDialogs dialogs;
    const std::string path = std::string(c.root) + "\\SOFTWARE\\Brackfell\\Pellvane";
    Settings settings(dialogs, path);
    ASSERT_TRUE(settings.InitSettingsKey()) << c.root;
    settings.record().proxysrv = "Grüße";
    settings.SaveSettings();
    EXPECT_EQ(AnsiValue(c.home, "proxysrv"),
              "Gr\xFC\xDF"
              "e")
        << c.root;
    EXPECT_EQ(AnsiValue(c.home == kUserKey ? kMachineKey : kUserKey, "proxysrv"), "<none>");
  }
}

// The log's time is left out at midnight only.
TEST(WindowsTextTest, LogAndBackupHoldTheAnsiCodePageAndRefuseWhatItCannotHold) {
  Sandbox box;
  std::tm midnight{0, 0, 0, 6, 11, 126, 0, 0, -1};
  FixedClock clock(std::mktime(&midnight));
  RecordingDialogs dialogs;
  SettingsRecord record = DefaultRecord(), restored = DefaultRecord();
  record.writelog = true;
  record.ppass = "pässwort";
  RunLog log(box.path() + "\\pellvane.log", clock, record.writelog, RealFileSystem());
  log.WriteLog("Prüfe");
  clock.Set(clock.Now() + 1);
  log.WriteLog("x");
  const Texts lines = Lines(box.Log());
  const std::string date = lines.at(0).substr(0, lines[0].find(" - "));
  EXPECT_EQ(lines[0], date +
                          " - Pr\xFC"
                          "fe\r");
  EXPECT_EQ(date.find(':'), std::string::npos) << date;
  EXPECT_TRUE(lines.at(1).starts_with(date + " ") && lines[1].find(':') != std::string::npos)
      << lines[1];
  ASSERT_TRUE(BackupSettings(record, box.path(), log, dialogs, RealFileSystem()));
  EXPECT_NE(ReadFile(box.File("pellvane.sav")).find(std::string("\x08\0p\xE4sswort", 10)),
            std::string::npos);
  ASSERT_TRUE(RestoreSettings(restored, box.path(), log, dialogs, RealFileSystem()));
  EXPECT_EQ(restored.ppass, "pässwort");
  record.ppass = "日本";
  EXPECT_FALSE(BackupSettings(record, box.path(), log, dialogs, RealFileSystem()));
  EXPECT_EQ(dialogs.Shown().back(),
            "Backup fehlgeschlagen: " + box.path() +
                "\\pellvane.sav (ein Text hat Zeichen außerhalb der Codepage)");
  // A full log goes over the older one and a new one begins.
  WriteFile(log.path(), std::string(kMaxLogSize, 'o'));
  WriteFile(log.path() + ".1", "older");
  log.WriteLog("x");
  EXPECT_EQ(ReadFile(log.path() + ".1"), std::string(kMaxLogSize, 'o'));
  EXPECT_EQ(LogTexts(ReadFile(log.path())), Texts{"x"});
}

// The GUI program from a scheduler: -now with its log and exit status, the line on the console
// that says why a run failed, a silent echo page given up at the time-out; and -backup.
TEST(WindowsProgramTest, NowEndsWithItsStatusAndSaysWhyOnItsConsole) {
  Sandbox box;
  EchoServer echo;
  FtpServer ftp, partial({.script = {}, .keep_bytes = 5});
  WriteFile(box.File("t.htm"), "<b>'!!!***IP***!!!'</b>\r\n");
  echo.Serve("/ip", "203.0.113.7");
  echo.Serve("/gone", "", 404);
  struct Case {
    std::string echo_path, ftp_url, password, err, last_log;
    int status;
  } cases[] = {
      {"/gone", ftp.Url(), "vane", "pellvane -now: Keine gültige IP erhalten (404 : HTTP/1.1 404",
       "Keine gültige IP erhalten", 1},
      {"/ip", ftp.Url(), "falsch", "pellvane -now: FTP fehlgeschlagen (530 : 530 ",
       "FTP fehlgeschlagen", 2},
      {"/ip", "ftps://127.0.0.1", "vane", "pellvane -now: FTP fehlgeschlagen (1 : ftps:// geht",
       "FTP fehlgeschlagen", 2},
      {"/ip", partial.Url(), "vane",
       "pellvane -now: FTP fehlgeschlagen (18 : Datei auf dem Server unvollständig: 5 von 21 "
       "Bytes)",
       "FTP fehlgeschlagen", 2},
      {"/ip?hang=1", ftp.Url(), "vane",
       "pellvane -now: Keine gültige IP erhalten (404 : HTTP/1.1 404", "Keine gültige IP erhalten",
       1},
      {"/ip", ftp.Url(), "vane", "", "FTP Fertig", 0},
  };
  for (const Case& c : cases) {
    box.SeedPublishing(echo.Url(c.echo_path), c.ftp_url, box.File("t.htm"));
    // After the failing default and the built-in page, slot 5 is asked last and gives the reason.
    box.Seed(
        [&](SettingsRecord& r) { r.ftppass[0] = c.password, r.wserver[4] = echo.Url("/gone"); });
    std::remove(box.File("pellvane.log").c_str());
    const ProgramResult r = box.Run(PELLVANE_BIN, {"-now"}, {{"PELLVANE_REQUEST_TIMEOUT", "3"}});
    EXPECT_EQ(r.status, c.status) << c.last_log;
    EXPECT_LT(r.seconds, 15) << "a silent echo page ends at the 3 s time-out";
    EXPECT_EQ(r.err.substr(0, c.err.size()), c.err) << r.err;
    const Texts log = LogTexts(FromAnsi(box.Log()));
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(log.front(), "Starte Programm mit Parameter \"-now\"");
    EXPECT_EQ(log[log.size() - 3], c.last_log);
    EXPECT_EQ(Count(log, "...Server nennt"), 0) << "WinINet's listing tells the size";
  }
  EXPECT_EQ(ReadFile(ftp.root() + "/slot0.html"), "<b>203.0.113.7</b>\r\r\n");
  const ProgramResult backup = box.Run(PELLVANE_BIN, {"-backup"});
  EXPECT_EQ(backup.status, 0);
  EXPECT_NE(backup.out.find("Einstellungen in " + box.path() + "\\pellvane.sav gesichert."),
            std::string::npos)
      << backup.out;
}

// Whatever is planted at the lock, no run goes ahead without it: a link (its target kept) is
// replaced, a folder with files in it is refused.
TEST(WindowsRunLockTest, PlantedFilesAreReplacedOrRefusedNeverLockedAround) {
  Sandbox box;
  const std::string lock = box.path() + "\\pellvane.lock", victim = box.path() + "\\v";
  WriteFile(victim, "keep");
  ASSERT_TRUE(CreateSymbolicLinkW(Widen(lock).c_str(), Widen(victim).c_str(),
                                  SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE));
  EXPECT_TRUE(RunLock(lock, std::chrono::milliseconds(0)).taken());
  EXPECT_EQ(ReadFile(victim), "keep");
  std::filesystem::remove(Widen(lock));
  std::filesystem::create_directories(Widen(lock + "\\inside"));
  const RunLock refused(lock, std::chrono::milliseconds(0));
  EXPECT_EQ(std::pair(refused.state(), refused.fault()),
            std::pair(RunLock::State::kUnusable, std::string("ein Ordner")));
}

// Started with no console to write to and no output handles (from Explorer or a shortcut),
// -backup shows its message in a box, and ends when it is closed.
TEST(WindowsProgramTest, BackupWithoutAConsoleShowsItsMessageInABox) {
  Sandbox box;
  const std::string program = box.path() + "\\pellvane.exe";
  ASSERT_TRUE(CopyFileW(Widen(PELLVANE_BIN).c_str(), Widen(program).c_str(), FALSE));
  std::wstring command = L"\"" + Widen(program) + L"\" -backup";
  STARTUPINFOW startup{.cb = sizeof startup, .dwFlags = STARTF_USESTDHANDLES};
  PROCESS_INFORMATION run{};
  ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, DETACHED_PROCESS,
                             nullptr, nullptr, &startup, &run));
  HWND shown = nullptr;
  for (int i = 0; i < 300 && !(shown = FindWindowW(L"#32770", L"Pellvane")); ++i) Sleep(100);
  wchar_t text[1024] = {};
  if (shown != nullptr && GetDlgItemTextW(shown, 0xFFFF, text, 1024) >= 0)
    PostMessageW(shown, WM_COMMAND, IDOK, 0);
  EXPECT_EQ(WaitForSingleObject(run.hProcess, 30000), WAIT_OBJECT_0);
  CloseHandle(run.hThread), CloseHandle(run.hProcess);
  EXPECT_EQ(Narrow(text),
            "Backup beendet...\rEinstellungen in " + box.path() + "\\pellvane.sav gesichert.");
}

}  // namespace
}  // namespace pellvane
