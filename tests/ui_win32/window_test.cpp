// The Win32 view under Wine over the real registry: the fixed frame at its client size, the
// pager's arrows, captions and focus, one keystroke in the registry, the FTP switch greying
// the FTP fields; and the program itself, whose window modes show the window until its close
// box ends them with their log line, and whose message boxes have an OK button alone.
#include <gtest/gtest.h>

#include <atomic>
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
      : thread_([this] {
          while (!stop_) {
            HWND box = FindWindowW(L"#32770", nullptr);
            if (box != nullptr && IsWindowVisible(box)) {
              wchar_t text[512] = {};
              GetDlgItemTextW(box, 0xFFFF, text, 512);
              {
                const std::lock_guard<std::mutex> lock(mutex_);
                // 1088: the icon of Wine's message box.
                const bool plain = !GetDlgItem(box, IDCANCEL) && !GetDlgItem(box, IDNO) &&
                                   !SendDlgItemMessageW(box, 1088, STM_GETICON, 0, 0);
                seen_.push_back(Text(box) + ": " + Narrow(text) + (plain ? "" : " +"));
              }
              PostMessageW(box, WM_COMMAND, IDOK, 0);
              while (IsWindow(box)) Sleep(5);
            }
            Sleep(5);
          }
        }) {}
  ~BoxAnswerer() {
    stop_ = true;
    thread_.join();
  }
  Texts Seen() {
    const std::lock_guard<std::mutex> lock(mutex_);
    return std::exchange(seen_, {});
  }

 private:
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  Texts seen_;
  std::thread thread_;
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

TEST_F(Win32WindowTest, OpensFixedAtItsClientSizeWithItsCaptions) {
  Open();
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  RECT client{};
  GetClientRect(view_->hwnd(), &client);
  EXPECT_EQ(client.right, MulDiv(4950, dpi, 1440));
  EXPECT_EQ(client.bottom, MulDiv(6915, dpi, 1440));
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

// A keystroke in the visible web slot is in the registry at once; so is the FTP switch, which
// greys the FTP fields. The end button unloads the model.
TEST_F(Win32WindowTest, EditsAreStoredAtOnceAndTheFtpSwitchGreysTheFtpFields) {
  Open([](SettingsRecord& r) {
    r.wserver[2] = "http://a";
    r.wdefserver = 2;
    r.useftp = false;
  });
  HWND edit = H(*W().txtWserver[2]);
  SendMessageW(edit, EM_SETSEL, 8, 8);
  SendMessageW(edit, WM_CHAR, L'b', 0);
  EXPECT_EQ(box_.Stored().wserver[2], "http://ab");
  for (const bool on : {true, false}) {
    SendMessageW(H(W().chkUseFTP), BM_CLICK, 0, 0);
    EXPECT_EQ(SendMessageW(H(W().chkUseFTP), BM_GETCHECK, 0, 0), on ? BST_CHECKED : BST_UNCHECKED);
    for (HWND c : {H(*W().txtFTPserver[0]), H(*W().txtFTPPass[0]), H(W().vscrFtpserver)}) {
      EXPECT_EQ(IsWindowEnabled(c) != 0, on);
    }
    EXPECT_TRUE(IsWindowEnabled(H(W().cmdSelectFile)));
    EXPECT_EQ(box_.Stored().useftp, on);
  }
  SendMessageW(H(W().cmdEnd), BM_CLICK, 0, 0);  // a button's click reaches the model
  Pump();
  EXPECT_TRUE(W().unloaded());
}

TEST_F(Win32WindowTest, TheProgramShowsItsWindowUntilItsCloseBox) {
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
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(run.get().status, 0);
    EXPECT_EQ(boxes.Seen(), shown);
  }
  EXPECT_EQ(Count(LogTexts(box_.Log()), "Beende Programm"), 3);
}

// Another instance's check holds the run lock: the window keeps handling its events under the
// busy pointer, and a click on the close box meanwhile closes it once the check has ended.
TEST_F(Win32WindowTest, WaitingForAnotherCheckTheWindowStaysAliveBusyAndClosesAfterIt) {
  EchoServer echo;
  echo.Serve("/ip", "203.0.113.7");
  Open([&](SettingsRecord& r) {
    r.wserver[2] = echo.Url("/ip");
    r.wdefserver = 2;
    r.proxycon = 1;
  });
  BoxAnswerer boxes;
  HWND end = H(W().cmdEnd);
  const auto cursor = [end] {
    SendMessageW(end, WM_SETCURSOR, reinterpret_cast<WPARAM>(end),
                 MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    return std::string(GetCursor() == LoadCursorW(nullptr, IDC_WAIT) ? "busy" : "usual");
  };
  static std::function<void()> tick;
  for (const bool close : {false, true}) {
    auto other = std::make_unique<RunLock>(box_.path() + kRunLockFileName, std::chrono::seconds(0));
    Texts seen;
    tick = [&] {
      if (!other) return;
      seen.push_back(cursor());
      if (seen.size() < 3) return;
      if (close) PostMessageW(view_->hwnd(), WM_NCLBUTTONDOWN, HTCLOSE, 0);
      other.reset();
    };
    const UINT_PTR timer = SetTimer(nullptr, 0, 20, [](HWND, UINT, UINT_PTR, DWORD) { tick(); });
    HWND window = view_->hwnd();
    SendMessageW(H(W().cmdNow), BM_CLICK, 0, 0);
    KillTimer(nullptr, timer);
    EXPECT_EQ(seen, (Texts{"busy", "busy", "busy"}));
    const Texts shown = boxes.Seen();
    EXPECT_EQ(shown.empty() ? "" : shown.back(),
              "Pellvane: Ihrer aktuelle IP-Adresse: 203.0.113.7");
    EXPECT_EQ(std::pair(W().unloaded(), IsWindow(window) == FALSE), std::pair(close, close));
    if (!close) {
      EXPECT_EQ(cursor(), "usual");
    }
  }
}

// Windows' radio buttons click when they get the focus unselected, unless BM_SETDONTCLICK told
// them not to; Wine's never do. This gives the buttons made while it lives Windows' way.
class WindowsRadioButtons {
 public:
  WindowsRadioButtons() { original_ = Swap(&Proc); }
  ~WindowsRadioButtons() { Swap(original_); }

 private:
  static WNDPROC Swap(WNDPROC proc) {
    HWND probe = CreateWindowW(L"BUTTON", L"", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    auto old = reinterpret_cast<WNDPROC>(
        SetClassLongPtrW(probe, GCLP_WNDPROC, reinterpret_cast<LONG_PTR>(proc)));
    DestroyWindow(probe);
    return old;
  }
  static LRESULT CALLBACK Proc(HWND button, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == BM_SETDONTCLICK) SetPropW(button, L"dontclick", wparam ? button : nullptr);
    const LRESULT result = CallWindowProcW(original_, button, message, wparam, lparam);
    if (message == WM_SETFOCUS &&
        (GetWindowLongW(button, GWL_STYLE) & BS_TYPEMASK) == BS_RADIOBUTTON &&
        SendMessageW(button, BM_GETCHECK, 0, 0) == BST_UNCHECKED &&
        !GetPropW(button, L"dontclick")) {
      SendMessageW(GetParent(button), WM_COMMAND, MAKEWPARAM(0, BN_CLICKED),
                   reinterpret_cast<LPARAM>(button));
    }
    return result;
  }
  static inline WNDPROC original_ = nullptr;
};

// The focus that lands on an unselected option, as Tab and Shift+Tab move it on Windows,
// stores nothing; a click selects.
TEST_F(Win32WindowTest, FocusAloneNeverSelectsAnOption) {
  const WindowsRadioButtons windows_way;
  Open([](SettingsRecord& r) { r.proxycon = 1; });
  W().vscrWserver.SetValue(3);
  const SettingsRecord stored = box_.Stored();
  for (const OptionButton* option :
       {W().optUseDefProxy[2].get(), W().optUseDefProxy[0].get(), W().optDefWserver[3].get()}) {
    SetFocus(H(*option));
    Pump();
    EXPECT_EQ(std::pair(GetFocus(), option->value()), std::pair(H(*option), false));
  }
  EXPECT_TRUE(box_.Stored() == stored);
  SendMessageW(H(*W().optUseDefProxy[2]), BM_CLICK, 0, 0);
  EXPECT_EQ(box_.Stored().proxycon, 2);
}

// A text longer than an edit box's usual limit takes its first edit and is stored whole; the
// end of the session unloads the window.
TEST_F(Win32WindowTest, LongTextsStayWholeAndTheSessionsEndUnloads) {
  const std::string long_text(40000, 'a');
  Open([&](SettingsRecord& r) {
    r.wserver[2] = long_text;
    r.wdefserver = 2;
    r.writelog = true;
  });
  HWND edit = H(*W().txtWserver[2]);
  SendMessageW(edit, EM_SETSEL, 40000, 40000);
  SendMessageW(edit, WM_CHAR, L'b', 0);
  EXPECT_TRUE(box_.Stored().wserver[2] == long_text + "b") << box_.Stored().wserver[2].size();
  HWND window = view_->hwnd();
  EXPECT_EQ(SendMessageW(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), TRUE);
  SendMessageW(window, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
  EXPECT_EQ(std::pair(W().unloaded(), IsWindow(window) == FALSE), std::pair(true, true));
  EXPECT_EQ(Count(LogTexts(box_.Log()), "Beende Programm"), 1);
}

// No label is cut with the fonts this Wine has, at the screen's dpi (PELLVANE_TEST_DPI, when
// set, names it) nor after a move to a monitor of 120 dpi: its text is no wider than the label,
// and the client area keeps its proportions.
TEST_F(Win32WindowTest, EveryLabelShowsWholeAtTheMonitorsDpi) {
  Open();
  HDC screen = GetDC(nullptr);
  const int screen_dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  if (const char* want = std::getenv("PELLVANE_TEST_DPI")) {
    EXPECT_EQ(screen_dpi, std::atoi(want));
  }
  for (const int dpi : {screen_dpi, 120}) {
    RECT at{20, 20, 40, 40};
    if (dpi != screen_dpi) {
      SendMessageW(view_->hwnd(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi),
                   reinterpret_cast<LPARAM>(&at));
    }
    RECT client{};
    GetClientRect(view_->hwnd(), &client);
    EXPECT_EQ(std::pair(client.right, client.bottom),
              (std::pair<LONG, LONG>(MulDiv(4950, dpi, 1440), MulDiv(6915, dpi, 1440))));
    Texts cut;
    for (const Placement& p : W().layout()) {
      if (p.kind != Kind::kLabel && p.kind != Kind::kLink) continue;
      HWND label = H(*p.control);
      const std::wstring text = Widen(Text(label));
      HDC dc = GetDC(label);
      HGDIOBJ old =
          SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(label, WM_GETFONT, 0, 0)));
      SIZE size{};
      GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
      SelectObject(dc, old);
      ReleaseDC(label, dc);
      GetClientRect(label, &client);
      if (size.cx > client.right) {
        cut.push_back(Text(label) + ": " + std::to_string(size.cx) + " > " +
                      std::to_string(client.right));
      }
    }
    EXPECT_EQ(cut, Texts{}) << "at " << dpi << " dpi";
  }
}

}  // namespace
}  // namespace pellvane::testing
