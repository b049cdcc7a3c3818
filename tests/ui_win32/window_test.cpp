// The Win32 view under Wine over the real registry: the fixed frame at its client size, the
// pager's arrows, captions and focus, one keystroke in the registry, the FTP switch greying
// the FTP fields; and the program itself, whose window modes show the window until its close
// box ends them with their log line, and whose message boxes have an OK button alone.
#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <mutex>
#include <thread>
#include <tuple>

#include "platform/wide_text.h"
#include "support/harness.h"
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

}  // namespace
}  // namespace pellvane::testing
