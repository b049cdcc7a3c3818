#include "views/win32/main_window.h"

#include <algorithm>
#include <optional>

#include "platform/wide_text.h"

namespace pellvane {
namespace {

constexpr wchar_t kClassName[] = L"PellvaneMain";
// The window paints its whole background first: the frames draw only their lines.
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
constexpr DWORD kChild = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;
constexpr DWORD kEdit = WS_TABSTOP | ES_AUTOHSCROLL;
// A caption wider than its label is cut at the label's end rather than broken into a second
// line that the label's height would cut in half.
constexpr DWORD kLabel = SS_LEFTNOWORDWRAP;
constexpr DWORD kMasked = kEdit | ES_PASSWORD;
// Posted when a scroll bar gets the focus; lParam is the bar.
constexpr UINT kHandFocus = WM_APP + 1;
// The size of the window's fonts, 8.25 points, in hundredths of a point.
constexpr int kFontCentipoints = 825;
// The system's dialog font: Microsoft Sans Serif on Windows, Tahoma under Wine.
constexpr wchar_t kFace[] = L"MS Shell Dlg";

WNDPROC scroll_bar_proc = nullptr;

std::wstring TextOf(HWND control) {
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(
      GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
  return text;
}

void SetTextOf(HWND control, const std::string& text) {
  const std::wstring wide = Widen(text);
  if (TextOf(control) != wide) SetWindowTextW(control, wide.c_str());
}

bool IsUserInput(UINT message) {
  return (message >= WM_KEYFIRST && message <= WM_KEYLAST) ||
         (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) ||
         (message >= WM_NCMOUSEMOVE && message <= WM_NCXBUTTONDBLCLK) || message == WM_INPUT;
}

// A click on the close box or Alt+F4: a request to close, which the model keeps for the end
// of a check.
bool AsksToClose(const MSG& msg) {
  return (msg.message == WM_NCLBUTTONDOWN && msg.wParam == HTCLOSE) ||
         (msg.message == WM_SYSKEYDOWN && msg.wParam == VK_F4);
}

// Lets pending paint, timer and posted window messages run, but drops mouse and keyboard input
// but for a request to close.
void YieldToPaint() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    if (AsksToClose(msg)) {
      PostMessageW(GetAncestor(msg.hwnd, GA_ROOT), WM_CLOSE, 0, 0);
    } else if (!IsUserInput(msg.message)) {
      DispatchMessageW(&msg);
    }
  }
}

// The font of `height` pixels (the character height, without the leading).
HFONT WindowFont(int height, bool underline, const wchar_t* face) {
  LOGFONTW font{};
  font.lfHeight = -height;
  font.lfWeight = FW_NORMAL;
  font.lfUnderline = underline ? TRUE : FALSE;
  font.lfCharSet = DEFAULT_CHARSET;
  lstrcpynW(font.lfFaceName, face, LF_FACESIZE);
  return CreateFontIndirectW(&font);
}

// The room a caption has on one line at `dpi`, or nothing for a control whose caption may
// break into a second line or is cut by design (the default markers, as small as their box).
std::optional<int> CaptionRoom(const Placement& p, int dpi) {
  const bool one_line = p.at.height <= 255 && p.at.width > 255;
  if (!one_line) return std::nullopt;
  const int width = MulDiv(p.at.width, dpi, kTwipsPerInch);
  if (p.kind == Kind::kLabel) return width;
  // The box or the dot with the gap beside it.
  if (p.kind == Kind::kCheck || p.kind == Kind::kOption) return width - MulDiv(18, dpi, 96);
  return std::nullopt;
}

// The window's font size at `dpi`: 8.25 points, or, where the fonts at hand are wider than
// the laid-out captions allow (Wine's own, for one), the largest that shows each one whole.
int FittingFontHeight(const std::vector<Placement>& layout, int dpi) {
  const int nominal = MulDiv(kFontCentipoints, dpi, 7200);
  HDC dc = GetDC(nullptr);
  int height = nominal;
  for (bool fits = false; !fits && height > nominal * 2 / 3; height -= fits ? 0 : 1) {
    HFONT font = WindowFont(height, false, kFace);
    HGDIOBJ old = SelectObject(dc, font);
    fits = true;
    for (const Placement& p : layout) {
      const std::optional<int> room = CaptionRoom(p, dpi);
      if (!room) continue;
      const std::wstring text = Widen(p.control->caption());
      SIZE size{};
      GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
      fits = fits && size.cx <= *room;
    }
    SelectObject(dc, old);
    DeleteObject(font);
  }
  ReleaseDC(nullptr, dc);
  return height;
}

// A function of user32 that older Windows lack; null there.
template <typename F>
F User32(const char* name) {
  return reinterpret_cast<F>(
      reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(L"user32.dll"), name)));
}

void RegisterClassOnce(WNDPROC proc) {
  static const bool registered = [proc] {
    WNDCLASSEXW cls{};
    cls.cbSize = sizeof cls;
    cls.lpfnWndProc = proc;
    cls.hInstance = GetModuleHandleW(nullptr);
    cls.hIcon = LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
    cls.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    cls.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    cls.lpszClassName = kClassName;
    return RegisterClassExW(&cls) != 0;
  }();
  (void)registered;
}

}  // namespace

void UseMonitorDpi() {
  // DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2: also the frame, the message boxes and the chooser.
  const auto per_monitor = User32<BOOL(WINAPI*)(HANDLE)>("SetProcessDpiAwarenessContext");
  if (per_monitor == nullptr || !per_monitor(reinterpret_cast<HANDLE>(-4))) SetProcessDPIAware();
}

MainWindow::MainWindow(frmMain& window, Win32Dialogs& dialogs, RunLog& log)
    : window_(window), dialogs_(dialogs), log_(log) {
  RegisterClassOnce(&MainWindow::Proc);
  // Placed and sized at its monitor's dpi once its controls are made.
  hwnd_ =
      CreateWindowExW(0, kClassName, Widen(kProductName).c_str(), kWindowStyle, CW_USEDEFAULT,
                      CW_USEDEFAULT, 0, 0, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  // Until now the messages went to DefWindowProcW; from here on to Handle.
  SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));

  Build();
  ChainTabOrder();
  const auto dpi_of = User32<UINT(WINAPI*)(HWND)>("GetDpiForWindow");
  if (dpi_of != nullptr) {
    dpi_ = static_cast<int>(dpi_of(hwnd_));
  } else {
    HDC screen = GetDC(nullptr);
    dpi_ = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
  }
  Place(nullptr);

  dialogs_.SetOwner(hwnd_);
  log_.SetYieldHook(YieldToPaint);
  window_.SetObserver([this] { ShowState(); });
}

MainWindow::~MainWindow() {
  log_.SetYieldHook(nullptr);
  window_.SetObserver(nullptr);
  for (auto& [control, bound] : bound_) bound.model->SetObserver(nullptr);
  if (hwnd_ != nullptr) {
    // Gone without being closed: no handler runs and no quit message is left behind.
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    DestroyWindow(hwnd_);
    dialogs_.SetOwner(nullptr);
  }
  DeleteObject(font_);
  DeleteObject(link_font_);
}

HWND MainWindow::HandleOf(const Control& control) const {
  const auto it = handles_.find(&control);
  return it == handles_.end() ? nullptr : it->second;
}

HWND MainWindow::Create(const wchar_t* cls, DWORD style, Twips at, POINT origin) {
  HWND control = CreateWindowExW(0, cls, L"", kChild | style, 0, 0, 0, 0, hwnd_, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
  placed_.emplace_back(control, Twips{origin.x + at.left, origin.y + at.top, at.width, at.height});
  return control;
}

void MainWindow::Place(const RECT* where) {
  DeleteObject(font_);
  DeleteObject(link_font_);
  const int font_height = FittingFontHeight(window_.layout(), dpi_);
  font_ = WindowFont(font_height, false, kFace);
  link_font_ = WindowFont(font_height, true, L"MS Sans Serif");
  for (const auto& [control, at] : placed_) {
    SetWindowPos(control, nullptr, Px(at.left), Px(at.top), Px(at.width), Px(at.height),
                 SWP_NOZORDER | SWP_NOACTIVATE);
    SendMessageW(control, WM_SETFONT,
                 reinterpret_cast<WPARAM>(control == link_ ? link_font_ : font_), TRUE);
  }
  GrowLink();
  const int width = Px(kClientArea.width);
  const int height = Px(kClientArea.height);
  RECT frame{0, 0, width, height};
  AdjustWindowRectEx(&frame, kWindowStyle, FALSE, 0);
  SetWindowPos(hwnd_, nullptr, where != nullptr ? where->left : 0,
               where != nullptr ? where->top : 0, frame.right - frame.left,
               frame.bottom - frame.top,
               SWP_NOZORDER | SWP_NOACTIVATE | (where != nullptr ? 0 : SWP_NOMOVE));
  // The frame as drawn may be another than the estimate (its title bar at another dpi): the
  // client area decides.
  RECT outer{};
  RECT inner{};
  GetWindowRect(hwnd_, &outer);
  GetClientRect(hwnd_, &inner);
  SetWindowPos(hwnd_, nullptr, 0, 0, outer.right - outer.left + width - inner.right,
               outer.bottom - outer.top + height - inner.bottom,
               SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
}

void MainWindow::Build() {
  // Every control is a child of the window itself, placed at its containers' offsets.
  std::unordered_map<std::string, POINT> origins;
  for (const Placement& p : window_.layout()) {
    const POINT origin = p.container.empty() ? POINT{0, 0} : origins.at(p.container);
    if (p.control == nullptr) {
      origins[p.name] = {origin.x + p.at.left, origin.y + p.at.top};
      if (p.kind == Kind::kFrame) frames_.push_back(Create(L"BUTTON", BS_GROUPBOX, p.at, origin));
    } else {
      Add(p, origin);
    }
  }
}

HWND MainWindow::Add(const Placement& p, POINT origin) {
  const wchar_t* cls = L"BUTTON";
  DWORD style = 0;
  switch (p.kind) {
    case Kind::kLabel:
      cls = L"STATIC";
      style = kLabel;
      break;
    case Kind::kLink:
      cls = L"STATIC";
      style = SS_NOTIFY;
      break;
    case Kind::kText:
      cls = L"EDIT";
      style = (p.masked ? kMasked : kEdit) | WS_BORDER;
      break;
    case Kind::kCheck:
      style = BS_CHECKBOX | BS_MULTILINE | WS_TABSTOP;
      break;
    case Kind::kOption:
      style = BS_RADIOBUTTON | WS_TABSTOP;
      break;
    case Kind::kScroll:
      cls = L"SCROLLBAR";
      style = SBS_VERT | WS_TABSTOP;
      break;
    case Kind::kButton:
      style = BS_PUSHBUTTON | WS_TABSTOP;
      break;
    case Kind::kFrame:
    case Kind::kGroup:
      break;
  }
  HWND control = Create(cls, style, p.at, origin);
  if (p.masked) SendMessageW(control, EM_SETPASSWORDCHAR, L'*', 0);
  // A box takes as long a text as it may hold, not the 30,000 characters it starts with.
  if (p.kind == Kind::kText) SendMessageW(control, EM_SETLIMITTEXT, 0, 0);
  // The focus alone must never select an option: only a click or the space bar does.
  if (p.kind == Kind::kOption) SendMessageW(control, BM_SETDONTCLICK, TRUE, 0);
  const Bound bound{p.control, p.kind};
  bound_[control] = bound;
  handles_[p.control] = control;
  if (p.tab >= 0) tab_order_.emplace_back(p.tab, control);
  p.control->SetObserver([this, control, bound] { Sync(control, bound); });
  Sync(control, bound);
  if (p.kind == Kind::kScroll) {
    scroll_bar_proc = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
        control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&MainWindow::ScrollProc)));
  }
  if (p.kind == Kind::kLink) link_ = control;
  return control;
}

// The host name is wider than the laid-out label: it grows to the left and shows whole.
void MainWindow::GrowLink() {
  const auto it = std::find_if(placed_.begin(), placed_.end(),
                               [this](const auto& placed) { return placed.first == link_; });
  if (it == placed_.end()) return;
  const Twips at = it->second;
  HDC dc = GetDC(link_);
  HGDIOBJ old = SelectObject(dc, link_font_);
  const std::wstring text = TextOf(link_);
  SIZE needed{};
  GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &needed);
  SelectObject(dc, old);
  ReleaseDC(link_, dc);
  const int width = std::max<int>(Px(at.width), needed.cx);
  SetWindowPos(link_, nullptr, Px(at.left + at.width) - width, Px(at.top), width, Px(at.height),
               SWP_NOZORDER | SWP_NOACTIVATE);
}

// Tab presses and the focus follow the controls' order among their siblings, so that order is
// the tab indices' order; the frames lie beneath everything.
void MainWindow::ChainTabOrder() {
  std::sort(tab_order_.begin(), tab_order_.end(),
            [](const auto& a, const auto& b) { return a.first < b.first; });
  HWND after = HWND_TOP;
  for (const auto& [tab, control] : tab_order_) {
    SetWindowPos(control, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    after = control;
  }
  for (HWND frame : frames_) {
    SetWindowPos(frame, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
}

void MainWindow::Show() {
  ShowWindow(hwnd_, SW_SHOWNORMAL);
  UpdateWindow(hwnd_);
  for (const auto& [tab, control] : tab_order_) {
    if (IsWindowVisible(control) && IsWindowEnabled(control)) {
      SetFocus(control);
      break;
    }
  }
}

void MainWindow::Run() {
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (hwnd_ != nullptr && IsDialogMessageW(hwnd_, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

void MainWindow::Sync(HWND control, const Bound& bound) {
  const bool was_muted = muted_;
  muted_ = true;
  const Control& model = *bound.model;
  switch (bound.kind) {
    case Kind::kText:
      SetTextOf(control, static_cast<const TextBox&>(model).text());
      break;
    case Kind::kCheck:
      SetTextOf(control, model.caption());
      SendMessageW(control, BM_SETCHECK, static_cast<const CheckBox&>(model).value() == 1, 0);
      break;
    case Kind::kOption:
      SetTextOf(control, model.caption());
      SendMessageW(control, BM_SETCHECK, static_cast<const OptionButton&>(model).value(), 0);
      break;
    case Kind::kScroll: {
      const auto& bar = static_cast<const ScrollBar&>(model);
      SCROLLINFO info{};
      info.cbSize = sizeof info;
      info.fMask = SIF_RANGE | SIF_POS;
      info.nMin = bar.min();
      info.nMax = bar.max();
      info.nPos = bar.value();
      SetScrollInfo(control, SB_CTL, &info, TRUE);
      break;
    }
    case Kind::kLabel:
    case Kind::kLink:
    case Kind::kButton:
    case Kind::kFrame:
    case Kind::kGroup:
      SetTextOf(control, model.caption());
      break;
  }
  // Last: setting a scroll bar's range enables it again.
  if ((IsWindowEnabled(control) != FALSE) != model.enabled()) {
    EnableWindow(control, model.enabled());
  }
  const bool shown = (GetWindowLongPtrW(control, GWL_STYLE) & WS_VISIBLE) != 0;
  if (shown != model.visible()) ShowWindow(control, model.visible() ? SW_SHOWNA : SW_HIDE);
  muted_ = was_muted;
}

void MainWindow::Command(HWND control, int code) {
  const auto it = bound_.find(control);
  if (it == bound_.end() || muted_) return;
  const Bound bound = it->second;
  switch (bound.kind) {
    case Kind::kText:
      if (code == EN_CHANGE) static_cast<TextBox*>(bound.model)->SetText(Narrow(TextOf(control)));
      break;
    case Kind::kCheck:
      if (code == BN_CLICKED) {
        auto* box = static_cast<CheckBox*>(bound.model);
        box->SetValue(box->value() == 1 ? 0 : 1);
      }
      break;
    case Kind::kOption:
      if (code == BN_CLICKED) static_cast<OptionButton*>(bound.model)->Select();
      break;
    case Kind::kButton:
      if (code == BN_CLICKED) static_cast<CommandButton*>(bound.model)->Click();
      break;
    case Kind::kLink:
      if (code == STN_CLICKED) window_.lblHREF_Click();
      break;
    case Kind::kLabel:
    case Kind::kScroll:
    case Kind::kFrame:
    case Kind::kGroup:
      break;
  }
}

void MainWindow::Scrolled(HWND bar, int code) {
  const auto it = bound_.find(bar);
  if (it == bound_.end()) return;
  auto& model = *static_cast<ScrollBar*>(it->second.model);
  SCROLLINFO info{};
  info.cbSize = sizeof info;
  info.fMask = SIF_TRACKPOS;
  GetScrollInfo(bar, SB_CTL, &info);
  int value = model.value();
  switch (code) {
    case SB_LINEUP:
    case SB_PAGEUP:
      --value;
      break;
    case SB_LINEDOWN:
    case SB_PAGEDOWN:
      ++value;
      break;
    case SB_TOP:
      value = model.min();
      break;
    case SB_BOTTOM:
      value = model.max();
      break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION:
      value = info.nTrackPos;
      break;
    default:
      break;
  }
  model.SetValue(value);
  Sync(bar, it->second);
  // A click on an arrow gives the bar the focus before it pages; the box that took the focus
  // then may have been hidden by the page change.
  HWND focus = GetFocus();
  if (focus == bar || (focus != nullptr && !IsWindowVisible(focus))) HandFocusOn(bar);
}

// The scroll bar never keeps the focus: it goes on to the visible slot's server box.
void MainWindow::HandFocusOn(HWND bar) {
  const auto it = bound_.find(bar);
  if (it == bound_.end()) return;
  static_cast<ScrollBar*>(it->second.model)->GotFocus();
  if (window_.focused() == nullptr) return;
  if (HWND box = HandleOf(*window_.focused())) SetFocus(box);
}

void MainWindow::ShowState() {
  if (window_.unloaded()) {
    if (hwnd_ != nullptr) DestroyWindow(hwnd_);
    return;
  }
  // The pointer changes at once where it stands over the window, not only when it moves.
  POINT at{};
  GetCursorPos(&at);
  HWND under = WindowFromPoint(at);
  if (under == hwnd_ || IsChild(hwnd_, under)) {
    SendMessageW(under, WM_SETCURSOR, reinterpret_cast<WPARAM>(under),
                 MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  }
}

LRESULT CALLBACK MainWindow::ScrollProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_SETFOCUS)
    PostMessageW(GetParent(hwnd), kHandFocus, 0, reinterpret_cast<LPARAM>(hwnd));
  return CallWindowProcW(scroll_bar_proc, hwnd, message, wparam, lparam);
}

LRESULT CALLBACK MainWindow::Proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (self == nullptr) return DefWindowProcW(hwnd, message, wparam, lparam);
  return self->Handle(message, wparam, lparam);
}

LRESULT MainWindow::Handle(UINT message, WPARAM wparam, LPARAM lparam) {
  HWND from = reinterpret_cast<HWND>(lparam);
  switch (message) {
    case WM_COMMAND:
      if (from != nullptr) Command(from, HIWORD(wparam));
      return 0;
    case WM_VSCROLL:
      if (from != nullptr) Scrolled(from, LOWORD(wparam));
      return 0;
    case kHandFocus:
      if (GetFocus() == from) HandFocusOn(from);
      return 0;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
      // Labels, check boxes, option buttons and frames on the window's own colour.
      HDC dc = reinterpret_cast<HDC>(wparam);
      if (from == link_) SetTextColor(dc, RGB(0, 0, 255));
      SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
      return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    }
    case WM_SETCURSOR:
      // During a check the busy pointer over the whole window, its controls included.
      if (window_.busy()) {
        SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_WAIT)));
        return TRUE;
      }
      if (reinterpret_cast<HWND>(wparam) == link_) {
        SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_HAND)));
        return TRUE;
      }
      break;
    case WM_DPICHANGED:
      // Moved to a monitor of another dpi: laid out anew at it, where the system suggests.
      dpi_ = HIWORD(wparam);
      Place(reinterpret_cast<const RECT*>(lparam));
      return 0;
    case WM_CLOSE:
      window_.Close();
      return 0;
    case WM_QUERYENDSESSION:
      return TRUE;
    case WM_ENDSESSION:
      // The session ends: the process goes right after, so the window unloads now, check or not.
      if (wparam != FALSE) window_.Form_Unload();
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    case WM_NCDESTROY: {
      HWND gone = hwnd_;
      SetWindowLongPtrW(gone, GWLP_USERDATA, 0);
      hwnd_ = nullptr;
      // Boxes shown after the window is gone stand on their own.
      dialogs_.SetOwner(nullptr);
      return DefWindowProcW(gone, message, wparam, lparam);
    }
    default:
      break;
  }
  return DefWindowProcW(hwnd_, message, wparam, lparam);
}

}  // namespace pellvane
