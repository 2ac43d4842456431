#include "menus/qmenu_win.h"

#include <windowsx.h>

#include "framework/wstr_win.h"
#include "ui/dpi_win.h"

namespace menus {

namespace {

constexpr wchar_t kMenuClass[] = L"PelinorQMenu";
constexpr COLORREF kBackground = RGB(255, 255, 255);
constexpr COLORREF kLineColor = RGB(172, 168, 153);  // separators, grey captions, the frame
constexpr COLORREF kHotColor = RGB(210, 210, 210);
constexpr int kIconSize = 16;
constexpr int kFontTenthsOfPoint = 90;  // Tahoma 9 pt
constexpr int kArrowInset = 8;  // the submenu arrow starts this far left of the item's right
constexpr int kArrowHalf = 4;   // and is this many lines above and below its middle, that included

RECT ToRECT(const Rect& r) { return RECT{r.left, r.top, r.right, r.bottom}; }

Rect MonitorRectAt(POINT pt) {
  MONITORINFO mi{};
  mi.cbSize = sizeof mi;
  if (GetMonitorInfoW(MonitorFromPoint(pt, MONITOR_DEFAULTTONEAREST), &mi))
    return Rect{mi.rcMonitor.left, mi.rcMonitor.top, mi.rcMonitor.right, mi.rcMonitor.bottom};
  return Rect{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
}

// Measures captions with the menu font in a memory DC.
class GdiMeasurer : public TextMeasurer {
 public:
  explicit GdiMeasurer(HFONT font) : dc_(CreateCompatibleDC(nullptr)), select_(dc_.get(), font) {}
  int TextWidth(const std::u16string& text) override {
    SIZE size{};
    if (!dc_ || !GetTextExtentPoint32W(dc_.get(), as_wcstr(text), static_cast<int>(text.size()), &size)) return 0;
    return size.cx;
  }

 private:
  fw::UniqueMemDc dc_;
  fw::SelectGuard select_;
};

}  // namespace

// --- CQMenuBase: the one open top-level menu and its hook ---

CQMenuBase* CQMenuBase::current_ = nullptr;
HHOOK CQMenuBase::hook_ = nullptr;
HHOOK CQMenuBase::callHook_ = nullptr;
HHOOK CQMenuBase::mouseHook_ = nullptr;

CQMenuBase::~CQMenuBase() { ForgetIfCurrent(); }

void CQMenuBase::BecomeCurrent() {
  if (current_ && current_ != this) current_->Close();
  current_ = this;
  const DWORD thread = GetCurrentThreadId();
  if (!hook_) hook_ = SetWindowsHookExW(WH_GETMESSAGE, &CQMenuBase::GetMessageHook, nullptr, thread);
  if (!callHook_) callHook_ = SetWindowsHookExW(WH_CALLWNDPROC, &CQMenuBase::CallWndProcHook, nullptr, thread);
  // The menu never takes the focus, and the program may not be in front at all (the system
  // can refuse it the foreground): a press in another thread's or program's window reaches
  // none of this thread's messages, so the presses are watched where they happen.
  if (!mouseHook_)
    mouseHook_ = SetWindowsHookExW(WH_MOUSE_LL, &CQMenuBase::LowLevelMouseHook, GetModuleHandleW(nullptr), 0);
}

void CQMenuBase::ForgetIfCurrent() {
  if (current_ != this) return;
  current_ = nullptr;
  for (HHOOK* h : {&hook_, &callHook_, &mouseHook_}) {
    if (*h) {
      UnhookWindowsHookEx(*h);
      *h = nullptr;
    }
  }
}

void CQMenuBase::CloseUnlessInside(POINT pt) {
  if (current_ && !current_->ContainsPoint(pt.x, pt.y)) current_->Close();
}

bool CQMenuBase::WindowContains(int x, int y) const {
  RECT rc;
  if (!hwnd_ || !GetWindowRect(hwnd_, &rc)) return false;
  POINT pt{x, y};
  return PtInRect(&rc, pt) != FALSE;
}

LRESULT CALLBACK CQMenuBase::GetMessageHook(int code, WPARAM wParam, LPARAM lParam) {
  // Pass the message on first, with the handle as it is now: closing the menu below
  // removes the hook.
  LRESULT result = CallNextHookEx(hook_, code, wParam, lParam);
  if (code != HC_ACTION || wParam != PM_REMOVE) return result;  // a peek sees it again later
  const MSG* msg = reinterpret_cast<const MSG*>(lParam);
  switch (msg->message) {
    case WM_LBUTTONDOWN: case WM_NCLBUTTONDOWN:
    case WM_RBUTTONDOWN: case WM_NCRBUTTONDOWN:
    case WM_MBUTTONDOWN: case WM_NCMBUTTONDOWN:
      CloseUnlessInside(msg->pt);
      break;
    case WM_KEYDOWN:  // the menus never have the focus, but Esc should still close them
      if (current_ && msg->wParam == VK_ESCAPE) current_->Close();
      break;
    default: break;
  }
  return result;
}

LRESULT CALLBACK CQMenuBase::CallWndProcHook(int code, WPARAM wParam, LPARAM lParam) {
  LRESULT result = CallNextHookEx(callHook_, code, wParam, lParam);
  if (code != HC_ACTION || !current_) return result;
  const CWPSTRUCT* msg = reinterpret_cast<const CWPSTRUCT*>(lParam);
  bool lost = false;
  switch (msg->message) {
    case WM_ACTIVATEAPP: lost = !msg->wParam; break;  // another thread or program became active
    case WM_ACTIVATE: {
      // Activation passing to another thread's window, such as a message box on another
      // thread; a window of this thread taking it (a tip shown) leaves the menu.
      HWND to = reinterpret_cast<HWND>(msg->lParam);
      lost = LOWORD(msg->wParam) == WA_INACTIVE && (!to || GetWindowThreadProcessId(to, nullptr) != GetCurrentThreadId());
      break;
    }
    case WM_CANCELMODE:      // the system or a dialog ends every mode: so does a menu
    case WM_CAPTURECHANGED:  // a drag, a modal loop or another menu took the mouse
      lost = true;
      break;
    default: break;
  }
  // Closed once this message has been handled: the window it is sent to may be a menu's.
  if (lost && current_->hwnd()) PostMessageW(current_->hwnd(), WM_CLOSE, 0, 0);
  return result;
}

LRESULT CALLBACK CQMenuBase::LowLevelMouseHook(int code, WPARAM wParam, LPARAM lParam) {
  LRESULT result = CallNextHookEx(mouseHook_, code, wParam, lParam);
  if (code != HC_ACTION) return result;
  switch (wParam) {
    case WM_LBUTTONDOWN: case WM_RBUTTONDOWN: case WM_MBUTTONDOWN: case WM_XBUTTONDOWN:
      CloseUnlessInside(reinterpret_cast<const MSLLHOOKSTRUCT*>(lParam)->pt);
      break;
    default: break;
  }
  return result;
}

// --- CQMenu ---

CQMenu::~CQMenu() {
  // The window must not outlive the object: close it (and the hook) while members exist.
  if (hwnd_) Close();
}

int CQMenu::AppendItem(uint32_t flags, const std::u16string& text, int command, HBITMAP icon) {
  QMenuItem item;
  item.flags = flags;
  if (!(flags & kItemSeparator)) item.text = text;
  item.command = command;
  item.icon = icon;
  items_.push_back(std::move(item));
  return static_cast<int>(items_.size());
}

int CQMenu::AppendPopup(uint32_t flags, const std::u16string& text, CQMenuBase* submenu, HBITMAP icon) {
  QMenuItem item;
  item.flags = flags;
  item.text = text;
  item.command = -1;
  item.icon = icon;
  item.submenu = submenu;
  items_.push_back(std::move(item));
  return static_cast<int>(items_.size());
}

void CQMenu::RemoveAllItems() {
  CloseOpenSubmenu();
  items_.clear();
  hot_ = -1;
  if (!hwnd_) {
    layout_ = MenuLayout{};  // laid out again when it is created
    return;
  }
  LayOut(dpi_ ? dpi_ : ui::DpiOfWindow(hwnd_));
  SetWindowPos(hwnd_, nullptr, 0, 0, layout_.width, layout_.height,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  InvalidateRect(hwnd_, nullptr, FALSE);
}

HFONT CQMenu::Font(int dpi) {
  if (!font_ || fontDpi_ != dpi) {
    LOGFONTW lf{};
    lf.lfHeight = ui::FontHeightAt(kFontTenthsOfPoint, dpi);
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfQuality = DEFAULT_QUALITY;
    lstrcpynW(lf.lfFaceName, L"Tahoma", LF_FACESIZE);
    font_.reset(CreateFontIndirectW(&lf));
    fontDpi_ = dpi;
  }
  return font_.get();
}

void CQMenu::LayOut(int dpi) {
  dpi_ = dpi;
  std::vector<LayoutItem> specs;
  specs.reserve(items_.size());
  for (const QMenuItem& it : items_) specs.push_back(LayoutItem{it.flags, it.text});
  GdiMeasurer measurer(Font(dpi));
  layout_ = LayOutMenu(specs, measurer, dpi);
}

SIZE CQMenu::Measure(int dpi) {
  LayOut(dpi);
  return SIZE{layout_.width, layout_.height};
}

HWND CQMenu::Create(HWND parent) {
  if (hwnd_) return hwnd_;
  LayOut(dpi_ ? dpi_ : ui::DpiOfWindow(parent));
  RECT rc{0, 0, layout_.width, layout_.height};
  return WindowBase::Create(kMenuClass, parent, rc, L"", WS_POPUP | WS_CLIPCHILDREN, WS_EX_TOOLWINDOW,
                            CS_DROPSHADOW);
}

void CQMenu::TrackPopup(int x, int y, HWND owner) {
  owner_ = owner;
  if (!hwnd_ && !Create(owner)) return;
  POINT pt{x, y};
  LayOut(ui::DpiAtPoint(x, y));
  Point at = PlacePopup(x, y, layout_.width, layout_.height, MonitorRectAt(pt), dpi_);
  SetWindowPos(hwnd_, HWND_TOPMOST, at.x, at.y, layout_.width, layout_.height, SWP_NOACTIVATE | SWP_SHOWWINDOW);
  InvalidateRect(hwnd_, nullptr, FALSE);
  BecomeCurrent();
}

void CQMenu::ShowAt(int x, int y, HWND owner) {
  isSubmenu_ = true;
  owner_ = owner;
  if (!hwnd_) return;
  LayOut(dpi_ ? dpi_ : ui::DpiAtPoint(x, y));
  SetWindowPos(hwnd_, nullptr, x, y, layout_.width, layout_.height,
               SWP_NOACTIVATE | SWP_NOZORDER | SWP_SHOWWINDOW);
  InvalidateRect(hwnd_, nullptr, FALSE);
}

bool CQMenu::ContainsPoint(int x, int y) const {
  return WindowContains(x, y) || (openSubmenu_ && openSubmenu_->ContainsPoint(x, y));
}

void CQMenu::Close() {
  ForgetIfCurrent();
  if (hwnd_) {
    DestroyWindow();  // WM_DESTROY closes the submenus and resets the state
  } else {
    BOOL handled = TRUE;
    OnDestroy(WM_DESTROY, 0, 0, handled);
  }
}

LRESULT CQMenu::OnDestroy(UINT, WPARAM, LPARAM, BOOL& handled) {
  // Reached by Close and also when the owner's window goes first: either way the menu
  // stops being current and its submenus close.
  ForgetIfCurrent();
  for (QMenuItem& it : items_)
    if (it.submenu && it.submenu->IsWindow()) it.submenu->Close();
  if (!isSubmenu_) items_.clear();  // a top-level menu is filled anew before it shows again
  openSubmenu_ = nullptr;
  isSubmenu_ = false;
  hot_ = -1;
  handled = FALSE;
  return 0;
}

LRESULT CQMenu::OnClose(UINT, WPARAM, LPARAM, BOOL&) {
  Close();
  return 0;
}

LRESULT CQMenu::OnActivateApp(UINT, WPARAM wParam, LPARAM, BOOL& handled) {
  if (!wParam) Close();  // another application became active
  handled = FALSE;
  return 0;
}

void CQMenu::CloseOpenSubmenu() {
  if (openSubmenu_ && openSubmenu_->IsWindow()) openSubmenu_->Close();
  openSubmenu_ = nullptr;
}

void CQMenu::OpenSubmenuOf(int index) {
  QMenuItem& it = items_[static_cast<size_t>(index)];
  if (!(it.flags & kItemPopup) || !it.submenu) return;
  CQMenuBase* sub = it.submenu;
  if (!sub->IsWindow() && !sub->Create(hwnd_)) return;  // not shown when it cannot be created
  RECT self;
  GetWindowRect(hwnd_, &self);
  SIZE size = sub->Measure(dpi_);
  Rect parent{self.left, self.top, self.right, self.bottom};
  Point at = PlaceSubmenu(parent, layout_.items[static_cast<size_t>(index)].item, size.cx, size.cy,
                          MonitorRectAt(POINT{self.right, self.top}), GetSystemMetrics(SM_CYCAPTION), dpi_);
  sub->ShowAt(at.x, at.y, hwnd_);
  openSubmenu_ = sub;
}

int CQMenu::ItemAt(LPARAM clientPoint) const {
  int index = layout_.ItemAt(GET_X_LPARAM(clientPoint), GET_Y_LPARAM(clientPoint));
  return index >= 0 && static_cast<size_t>(index) < items_.size() ? index : -1;
}

LRESULT CQMenu::OnMouseMove(UINT, WPARAM, LPARAM lParam, BOOL&) {
  int index = ItemAt(lParam);
  if (index == hot_) return 0;
  if (index < 0) {
    hot_ = -1;  // off every item (the border): the open submenu stays
    InvalidateRect(hwnd_, nullptr, FALSE);
    return 0;
  }
  CloseOpenSubmenu();
  hot_ = index;
  OpenSubmenuOf(index);
  InvalidateRect(hwnd_, nullptr, FALSE);
  return 0;
}

LRESULT CQMenu::OnLButtonDown(UINT, WPARAM, LPARAM lParam, BOOL&) {
  int index = ItemAt(lParam);
  if (index < 0) return 0;
  const QMenuItem& it = items_[static_cast<size_t>(index)];
  if (it.flags & kItemDisabled) return 0;
  if (it.flags & kItemSeparator) return 0;  // a line is nothing to choose
  if (it.submenu) {
    // Choosing an entry that opens a submenu opens it (again, if the mouse moved away).
    if (openSubmenu_ != it.submenu) {
      CloseOpenSubmenu();
      hot_ = index;
      OpenSubmenuOf(index);
      InvalidateRect(hwnd_, nullptr, FALSE);
    }
    return 0;
  }
  HWND owner = owner_;
  WPARAM command = static_cast<WORD>(it.command);
  Close();  // the items may be gone after this
  if (owner) PostMessageW(owner, WM_COMMAND, command, 0);
  return 0;
}

LRESULT CQMenu::OnCommand(UINT, WPARAM wParam, LPARAM, BOOL&) {
  // A command chosen in a submenu travels up to the top-level menu's owner.
  if (wParam < 0x10000) {
    HWND owner = owner_;
    Close();
    if (owner) PostMessageW(owner, WM_COMMAND, wParam, 0);
  }
  return 0;
}

LRESULT CQMenu::OnPaint(UINT, WPARAM, LPARAM, BOOL&) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd_, &ps);
  RECT rc;
  GetClientRect(hwnd_, &rc);
  fw::PaintBuffered(dc, rc.right, rc.bottom, [this](HDC to) { Paint(to); });
  EndPaint(hwnd_, &ps);
  return 0;
}

LRESULT CQMenu::OnPrintClient(UINT, WPARAM wParam, LPARAM, BOOL&) {
  Paint(reinterpret_cast<HDC>(wParam));
  return 0;
}

void CQMenu::Paint(HDC dc) {
  RECT client{0, 0, layout_.width, layout_.height};
  if (hwnd_) GetClientRect(hwnd_, &client);
  fw::UniqueBrush white(CreateSolidBrush(kBackground));
  FillRect(dc, &client, white.get());
  fw::SelectGuard font(dc, Font(dpi_ ? dpi_ : ui::DpiOfWindow(hwnd_)));
  SetBkMode(dc, TRANSPARENT);
  fw::UniqueBrush hotBrush(CreateSolidBrush(kHotColor));
  fw::UniquePen linePen(CreatePen(PS_SOLID, 1, kLineColor));
  fw::UniquePen arrowPen(CreatePen(PS_SOLID, 1, RGB(0, 0, 0)));
  fw::UniqueMemDc iconDc(CreateCompatibleDC(dc));
  const int iconSize = ui::ToPixels(kIconSize, dpi_);
  for (size_t i = 0; i < items_.size() && i < layout_.items.size(); ++i) {
    const QMenuItem& it = items_[i];
    const ItemRects& r = layout_.items[i];
    if (it.flags & kItemSeparator) {
      fw::SelectGuard pen(dc, linePen.get());
      int y = r.item.top + r.item.height() / 2;
      MoveToEx(dc, r.item.left, y, nullptr);
      LineTo(dc, r.item.right, y);
      continue;
    }
    if (static_cast<int>(i) == hot_) {
      RECT rc = ToRECT(r.item);
      FillRect(dc, &rc, hotBrush.get());
    }
    if (it.icon && iconDc) {
      BITMAP bm{};
      GetObjectW(it.icon, sizeof bm, &bm);
      fw::SelectGuard sel(iconDc.get(), it.icon);
      BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
      AlphaBlend(dc, r.icon.left + (r.icon.width() - iconSize) / 2, r.icon.top + (r.icon.height() - iconSize) / 2,
                 iconSize, iconSize, iconDc.get(), 0, 0, bm.bmWidth, bm.bmHeight, blend);
    }
    if (!it.text.empty()) {
      SetTextColor(dc, (it.flags & kItemGrayed) ? kLineColor : RGB(0, 0, 0));
      RECT rc = ToRECT(r.text);
      DrawTextW(dc, as_wcstr(it.text), static_cast<int>(it.text.size()), &rc,
                DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_LEFT);
    }
    if (it.flags & kItemPopup) {
      // A right-pointing triangle: at 96 DPI seven lines of 1, 2, 3, 4, 3, 2, 1 pixels,
      // with more and longer lines on a monitor of higher DPI.
      fw::SelectGuard pen(dc, arrowPen.get());
      const int half = ui::ToPixels(kArrowHalf, dpi_);
      const int x = r.item.right - ui::ToPixels(kArrowInset, dpi_);
      const int top = r.item.top + (r.item.height() - (2 * half - 1)) / 2;
      for (int k = 0; k < 2 * half - 1; ++k) {
        int len = half - (k < half ? half - 1 - k : k - (half - 1));
        MoveToEx(dc, x, top + k, nullptr);
        LineTo(dc, x + len, top + k);
      }
    }
  }
  fw::UniqueBrush frame(CreateSolidBrush(kLineColor));
  FrameRect(dc, &client, frame.get());
}

}  // namespace menus
