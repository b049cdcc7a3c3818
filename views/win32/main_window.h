// The main window in plain Win32: one standard control per model control at its laid-out
// place in twips, scaled by its monitor's dpi, in tab-index order. It only mirrors the model
// and feeds user input back to it. The window's thread only.
#pragma once

#include <unordered_map>
#include <vector>

#include "platform/run_log.h"
#include "ui/frm_main.h"
#include "views/win32/win32_dialogs.h"

// After the program's own headers, whose names (Yield, the registry's) its macros would replace.
#include <windows.h>

namespace pellvane {

// Declares the process aware of each monitor's dpi (of the system's before Windows 10 1703), so
// that twips become as many pixels as the monitor asks for, not a scaled-up blur. Call it
// before the first window opens.
void UseMonitorDpi();

class MainWindow {
 public:
  // Message boxes and the file chooser open over this window; while the log writes during a
  // check or an upload, the window repaints but takes no user input.
  MainWindow(frmMain& window, Win32Dialogs& dialogs, RunLog& log);
  ~MainWindow();
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  HWND hwnd() const { return hwnd_; }
  // The control that shows `control`; null for one without.
  HWND HandleOf(const Control& control) const;
  // Shows the window with the focus on its first control.
  void Show();
  // Runs the message loop until the window is gone.
  void Run();

 private:
  struct Bound {
    Control* model;
    Kind kind;
  };

  static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  static LRESULT CALLBACK ScrollProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT Handle(UINT message, WPARAM wparam, LPARAM lparam);

  int Px(int twips) const { return MulDiv(twips, dpi_, 1440); }
  HWND Create(const wchar_t* cls, DWORD style, Twips at, POINT origin);
  void Build();
  HWND Add(const Placement& p, POINT origin);
  // Positions, sizes and fonts at dpi_; the window at `where`'s top-left corner, or where it is.
  void Place(const RECT* where);
  void GrowLink();
  void ChainTabOrder();

  void Sync(HWND control, const Bound& bound);
  void Command(HWND control, int code);
  void Scrolled(HWND bar, int code);
  void HandFocusOn(HWND bar);
  // The busy cursor during a check; destroying the window once the model is unloaded.
  void ShowState();

  frmMain& window_;
  Win32Dialogs& dialogs_;
  RunLog& log_;
  int dpi_ = 96;
  HWND hwnd_ = nullptr;
  HFONT font_ = nullptr;
  HFONT link_font_ = nullptr;
  HWND link_ = nullptr;
  bool muted_ = false;  // set while the model's state is copied into a control
  std::vector<HWND> frames_;
  std::vector<std::pair<HWND, Twips>> placed_;  // every control at its place in the window
  std::unordered_map<HWND, Bound> bound_;
  std::unordered_map<const Control*, HWND> handles_;
  std::vector<std::pair<int, HWND>> tab_order_;
};

}  // namespace pellvane
