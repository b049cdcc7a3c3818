// The Win32 view under Wine over the real registry: the fixed frame at its client size and its
// captions whole at any dpi, the pager's arrows, captions and focus, one keystroke in the
// registry, the FTP switch greying the FTP fields, options the focus never selects, a waiting
// check; and the program itself, whose window modes show the window until its close box or the
// session's end ends them with their log line, and whose message boxes have an OK button alone.
#include <gtest/gtest.h>

#include <cstdlib>
#include <future>
#include <mutex>
#include <thread>
#include <tuple>

#include "platform/program_folder.h"
#include "platform/run_lock.h"
#include "platform/wide_text.h"
#include "support/harness.h"
#include "support/servers.h"
#include "views/win32/main_window.h"

namespace pellvane::testing {
namespace {

std::string Text(HWND window) {
  wchar_t text[512] = {};
  GetWindowTextW(window, text, 512);
  return Narrow(text);
}

// Runs what is queued for this thread: posted focus hand-overs, paints.
void Pump() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
}

// Answers every message box, of this process or of a program it started, with OK, keeping its
// title and text, marked "+" when it shows more than OK: another button or an icon.
class BoxAnswerer {
 public:
  BoxAnswerer()
      : thread_([this](std::stop_token stop) {
          while (!stop.stop_requested()) {
            HWND box = FindWindowW(L"#32770", nullptr);
            if (IsWindowVisible(box)) {
              // 1088: the icon of Wine's message box.
              const bool plain = !GetDlgItem(box, IDCANCEL) && !GetDlgItem(box, IDNO) &&
                                 !SendDlgItemMessageW(box, 1088, STM_GETICON, 0, 0);
              std::unique_lock lock(mutex_);
              seen_.push_back(Text(box) + ": " + Text(GetDlgItem(box, 0xFFFF)) +
                              (plain ? "" : " +"));
              lock.unlock();
              PostMessageW(box, WM_COMMAND, IDOK, 0);
              while (IsWindow(box)) Sleep(5);
            }
            Sleep(5);
          }
        }) {}
  Texts Seen() {
    const std::lock_guard<std::mutex> lock(mutex_);
    return std::exchange(seen_, {});
  }

 private:
  std::mutex mutex_;
  Texts seen_;
  std::jthread thread_;  // last: stopped and joined before the texts go
};

class Win32WindowTest : public ::testing::Test {
 protected:
  Win32WindowTest() { UseMonitorDpi(); }
  void Open(const std::function<void(SettingsRecord&)>& edit = [](SettingsRecord&) {}) {
    box_.Seed(edit);
    model_ = std::make_unique<WindowModel>(dialogs_, box_);
    view_ = std::make_unique<MainWindow>(model_->window, dialogs_, model_->log);
    view_->Show();
    Pump();
  }
  HWND H(const Control& control) const { return view_->HandleOf(control); }
  frmMain& W() const { return model_->window; }

  Sandbox box_;
  Win32Dialogs dialogs_{box_.path()};
  std::unique_ptr<WindowModel> model_;
  std::unique_ptr<MainWindow> view_;
};

// At the screen's dpi (PELLVANE_TEST_DPI, when set, names it) and after a move to a monitor of
// 120 dpi the client area keeps its proportions and no label is cut with the fonts this Wine
// has: its text is no wider than the label.
TEST_F(Win32WindowTest, OpensFixedAtItsClientSizeWithItsCaptionsWholeAtItsMonitorsDpi) {
  Open();
  HDC screen = GetDC(nullptr);
  const int screen_dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  const char* want = std::getenv("PELLVANE_TEST_DPI");  // the dpi the run should be at
  EXPECT_EQ(screen_dpi, want != nullptr ? std::atoi(want) : screen_dpi);
  for (const int dpi : {screen_dpi, 120}) {
    RECT client{20, 20, 40, 40};
    if (dpi != screen_dpi)
      SendMessageW(view_->hwnd(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi),
                   reinterpret_cast<LPARAM>(&client));
    GetClientRect(view_->hwnd(), &client);
    EXPECT_EQ(std::pair(client.right, client.bottom),
              (std::pair<LONG, LONG>(MulDiv(4950, dpi, 1440), MulDiv(6915, dpi, 1440))));
    Texts cut;
    for (const Placement& p : W().layout()) {
      if (p.kind != Kind::kLabel && p.kind != Kind::kLink) continue;
      HWND label = H(*p.control);
      HDC dc = GetDC(label);
      SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(label, WM_GETFONT, 0, 0)));
      RECT text{};
      DrawTextW(dc, Widen(Text(label)).c_str(), -1, &text, DT_CALCRECT | DT_SINGLELINE);
      ReleaseDC(label, dc);
      GetClientRect(label, &client);
      if (text.right > client.right) cut.push_back(Text(label) + " " + std::to_string(text.right));
    }
    EXPECT_EQ(cut, Texts{}) << "at " << dpi << " dpi";
  }
  EXPECT_EQ(
      GetWindowLongW(view_->hwnd(), GWL_STYLE) & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME),
      0);
  EXPECT_EQ(Text(view_->hwnd()), "Pellvane");
  EXPECT_EQ(SendMessageW(H(*W().txtFTPPass[0]), EM_GETPASSWORDCHAR, 0, 0), L'*');
  EXPECT_FALSE(IsWindowVisible(H(W().txtProxyUser)) || IsWindowVisible(H(W().txtProxyPass)));
}

TEST_F(Win32WindowTest, PagerArrowsShowTheSlotNameItAndHandTheFocusOn) {
  Open([](SettingsRecord& r) { r.useftp = true; });
  const std::tuple<bool, int, int, std::string> pages[] = {
      {true, SB_LINEDOWN, 1, "Webserver 2"},  {true, SB_BOTTOM, 4, "Webserver 5"},
      {true, SB_LINEDOWN, 4, "Webserver 5"},  {true, SB_LINEUP, 3, "Webserver 4"},
      {false, SB_LINEDOWN, 1, "FTPServer 2"}, {false, SB_LINEUP, 0, "FTPServer 1"}};
  for (const auto& [web, code, slot, caption] : pages) {
    HWND bar = H(web ? static_cast<Control&>(W().vscrWserver) : W().vscrFtpserver);
    SetFocus(bar);
    SendMessageW(view_->hwnd(), WM_VSCROLL, code, reinterpret_cast<LPARAM>(bar));
    Pump();
    const Slots<TextBox>& boxes = web ? W().txtWserver : W().txtFTPserver;
    EXPECT_EQ(Text(H(web ? W().lblCurWebsrv : W().lblCurFTPSrv)), caption);
    EXPECT_EQ(GetFocus(), H(*boxes[slot])) << caption;
    for (int i = 0; i < kSlots; ++i) EXPECT_EQ(IsWindowVisible(H(*boxes[i])) != 0, i == slot);
  }
}

// A keystroke in the visible web slot is in the registry at once, its text whole however long;
// so is the FTP switch, which greys the FTP fields. The end button unloads the model.
TEST_F(Win32WindowTest, EditsAreStoredAtOnceAndTheFtpSwitchGreysTheFtpFields) {
  const std::string url = "http://" + std::string(40000, 'a');  // over an edit box's first limit
  Open([&](SettingsRecord& r) {
    r.wserver[2] = url;
    r.wdefserver = 2;
    r.useftp = false;
  });
  HWND edit = H(*W().txtWserver[2]);
  SendMessageW(edit, EM_SETSEL, url.size(), url.size());
  SendMessageW(edit, WM_CHAR, L'b', 0);
  EXPECT_TRUE(box_.Stored().wserver[2] == url + "b") << "cut";
  for (const bool on : {true, false}) {
    SendMessageW(H(W().chkUseFTP), BM_CLICK, 0, 0);
    EXPECT_EQ(SendMessageW(H(W().chkUseFTP), BM_GETCHECK, 0, 0), on ? BST_CHECKED : BST_UNCHECKED);
    for (HWND c : {H(*W().txtFTPserver[0]), H(*W().txtFTPPass[0]), H(W().vscrFtpserver)})
      EXPECT_EQ(IsWindowEnabled(c) != 0, on);
    EXPECT_TRUE(IsWindowEnabled(H(W().cmdSelectFile)));
    EXPECT_EQ(box_.Stored().useftp, on);
  }
  SendMessageW(H(W().cmdEnd), BM_CLICK, 0, 0);  // a button's click reaches the model
  Pump();
  EXPECT_TRUE(W().unloaded());
}

TEST_F(Win32WindowTest, TheProgramShowsItsWindowUntilItsCloseBoxOrTheSessionsEnd) {
  box_.Seed([](SettingsRecord& r) { r.writelog = true; });
  BoxAnswerer boxes;
  // -restore without a backup tells so, then opens the window all the same.
  const Texts told = {"Pellvane: Wiederherstellung fehlgeschlagen: " + box_.path() +
                      "\\pellvane.sav"};
  for (const auto& [args, shown] :
       {std::pair{Texts{}, Texts{}}, {Texts{"-restore"}, told}, {Texts{"x"}, Texts{}}}) {
    auto run = std::async(std::launch::async, [&] { return box_.Run(PELLVANE_BIN, args); });
    HWND window = nullptr;
    for (int tries = 0; window == nullptr && tries < 600 &&
                        run.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready;
         ++tries) {
      HWND found = FindWindowW(L"PellvaneMain", L"Pellvane");
      if (IsWindowVisible(found)) window = found;
    }
    ASSERT_NE(window, nullptr) << "no window shown";
    if (args == Texts{"x"}) {  // the user logs off
      EXPECT_EQ(SendMessageW(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), TRUE);
      SendMessageW(window, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
      EXPECT_FALSE(IsWindow(window)) << "open after the session's end";
    }
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(run.get().status, 0);
    EXPECT_EQ(boxes.Seen(), shown);
  }
  EXPECT_EQ(Count(LogTexts(box_.Log()), "Beende Programm"), 3);
}

// Windows' radio buttons click when they get the focus unselected, unless BM_SETDONTCLICK told
// them not to; Wine's never do. Buttons made while it is the class's procedure go Windows' way.
WNDPROC wine_button = nullptr;
LRESULT CALLBACK WindowsButton(HWND b, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == BM_SETDONTCLICK) SetPropW(b, L"dontclick", wparam ? b : nullptr);
  const bool click = message == WM_SETFOCUS && !GetPropW(b, L"dontclick") &&
                     (GetWindowLongW(b, GWL_STYLE) & BS_TYPEMASK) == BS_RADIOBUTTON &&
                     SendMessageW(b, BM_GETCHECK, 0, 0) == BST_UNCHECKED;
  const LRESULT result = CallWindowProcW(wine_button, b, message, wparam, lparam);
  if (click) SendMessageW(GetParent(b), WM_COMMAND, BN_CLICKED << 16, reinterpret_cast<LPARAM>(b));
  return result;
}
// Makes `proc` the procedure of the class BUTTON; returns the one before.
WNDPROC SetButtonProc(WNDPROC proc) {
  HWND probe = CreateWindowW(L"BUTTON", L"", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
  const LONG_PTR old = SetClassLongPtrW(probe, GCLP_WNDPROC, reinterpret_cast<LONG_PTR>(proc));
  DestroyWindow(probe);
  return reinterpret_cast<WNDPROC>(old);
}

// The focus on an unselected option, as Tab moves it on Windows, stores nothing; a click does.
// While another instance's check holds the run lock the window handles its events under the
// busy pointer, and a click on its close box meanwhile closes it once the check has ended.
TEST_F(Win32WindowTest, FocusNeverSelectsAndAWaitingCheckStaysAliveBusyAndClosesAfterIt) {
  wine_button = SetButtonProc(&WindowsButton);
  EchoServer echo;
  echo.Serve("/ip", "203.0.113.7");
  Open([&](SettingsRecord& r) {
    r.wserver[2] = echo.Url("/ip");
    r.proxycon = 1;
  });
  SetButtonProc(wine_button);
  const SettingsRecord stored = box_.Stored();
  W().vscrWserver.SetValue(2);
  for (const OptionButton* option :
       {W().optUseDefProxy[2].get(), W().optUseDefProxy[0].get(), W().optDefWserver[2].get()}) {
    SetFocus(H(*option));
    Pump();
    EXPECT_EQ(std::pair(GetFocus(), option->value()), std::pair(H(*option), false));
  }
  EXPECT_TRUE(box_.Stored() == stored);
  SendMessageW(H(*W().optDefWserver[2]), BM_CLICK, 0, 0);
  EXPECT_EQ(box_.Stored().wdefserver, 2);

  BoxAnswerer boxes;
  static std::unique_ptr<RunLock> other;
  other = std::make_unique<RunLock>(box_.path() + kRunLockFileName, std::chrono::seconds(0));
  static Texts seen;
  const UINT_PTR timer = SetTimer(nullptr, 0, 20, [](HWND, UINT, UINT_PTR, DWORD) {
    HWND window = FindWindowW(L"PellvaneMain", nullptr);
    if (!other) return;
    SendMessageW(window, WM_SETCURSOR, reinterpret_cast<WPARAM>(window), HTCLIENT);
    seen.push_back(GetCursor() == LoadCursorW(nullptr, IDC_WAIT) ? "busy" : "usual");
    if (seen.size() < 3) return;
    PostMessageW(window, WM_NCLBUTTONDOWN, HTCLOSE, 0);
    other.reset();
  });
  HWND window = view_->hwnd();
  SendMessageW(H(W().cmdNow), BM_CLICK, 0, 0);
  KillTimer(nullptr, timer);
  EXPECT_EQ(seen, (Texts{"busy", "busy", "busy"}));
  EXPECT_EQ(std::pair(W().unloaded(), IsWindow(window) == FALSE), std::pair(true, true));
}

}  // namespace
}  // namespace pellvane::testing
