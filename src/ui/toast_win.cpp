#include "ui/toast_win.h"

#include <memory>
#include <mutex>
#include <vector>

#include "framework/wstr_win.h"
#include "ui/alpha_popup_geometry.h"
#include "ui/dpi_win.h"

namespace ui {

namespace {
constexpr int kToastCorner = 5;
constexpr int kToastFontSize = 100;
}  // namespace

Toast::Toast() : toastFont_(CreatePointFont(kToastFontSize, L"宋体", false, dpi())) {}

HWND Toast::Show(HWND anchor, int mode, const std::u16string& text, UINT durationMs) {
  anchor_ = anchor;
  mode_ = mode;
  text_ = text;
  if (text_.empty()) return nullptr;

  // Drawn for the anchor's monitor (or the screen's centre).
  const int dpi = anchor_ ? DpiOfWindow(anchor_)
                          : DpiAtPoint(GetSystemMetrics(SM_CXSCREEN) / 2, GetSystemMetrics(SM_CYSCREEN) / 2);
  if (dpi != this->dpi()) {
    UseDpi(dpi);
    toastFont_.reset(CreatePointFont(kToastFontSize, L"宋体", false, dpi));
  }
  SIZE extent{};
  {
    fw::WindowDc screen(nullptr);
    fw::SelectGuard sel(screen.get(), toastFont_.get());
    GetTextExtentPoint32W(screen.get(), as_wcstr(text_), static_cast<int>(text_.size()), &extent);
  }
  Rect anchorRect;
  RECT ar;
  bool hasAnchor = anchor_ && GetWindowRect(anchor_, &ar);
  if (hasAnchor) anchorRect = {ar.left, ar.top, ar.right, ar.bottom};
  Rect r = ToastRect(hasAnchor, anchorRect, mode_, extent.cx, extent.cy, GetSystemMetrics(SM_CXSCREEN),
                     GetSystemMetrics(SM_CYSCREEN), dpi);
  set_content_alpha(kToastContentAlpha);

  if (IsWindow()) {
    ShowWindow(hwnd_, SW_SHOWNOACTIVATE);
    Render();  // layered: no WM_PAINT to wait for
    SetWindowPos(hwnd_, nullptr, r.left, r.top, r.width(), r.height(), SWP_NOZORDER | SWP_NOACTIVATE);
  } else {
    if (!Create(r.left, r.top, r.width(), r.height(), HWND_TOPMOST)) return nullptr;
    const int corner = ToPixels(kToastCorner, dpi);
    SetWindowRgn(hwnd_, CreateRoundRectRgn(0, 0, r.width() + 1, r.height() + 1, corner, corner), TRUE);
  }
  // The text doubles as the window title so that tools listing windows can read it.
  SetWindowTextW(hwnd_, as_wcstr(text_));
  SetTimer(hwnd_, kTimerToastLife, durationMs, nullptr);
  return hwnd_;
}

void Toast::DrawContent(HDC dc, const RECT& rc) {
  HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(BLACK_BRUSH));
  HGDIOBJ oldPen = SelectObject(dc, GetStockObject(BLACK_PEN));
  const int corner = ToPixels(kToastCorner, dpi());
  RoundRect(dc, 0, 0, rc.right, rc.bottom, corner, corner);
  SelectObject(dc, oldPen);
  SelectObject(dc, oldBrush);
  COLORREF old = SetTextColor(dc, RGB(255, 255, 255));
  RECT t = rc;
  DrawTextW(dc, as_wcstr(text_), static_cast<int>(text_.size()), &t, DT_SINGLELINE | DT_VCENTER | DT_CENTER);
  SetTextColor(dc, old);
}

LRESULT Toast::OnTimer(UINT, WPARAM id, LPARAM, BOOL& handled) {
  if (id != kTimerToastLife) {
    handled = FALSE;
    return 0;
  }
  KillTimer(hwnd_, kTimerToastLife);
  StartClosing();
  return 0;
}

LRESULT Toast::OnDestroy(UINT, WPARAM, LPARAM, BOOL& handled) {
  KillTimer(hwnd_, kTimerToastLife);
  handled = FALSE;
  return 0;
}

HWND ToastList::Show(HWND anchor, int mode, const std::u16string& text, UINT durationMs) {
  std::vector<std::unique_ptr<Toast>> gone;  // destroyed after the lock is left
  {
    std::lock_guard<std::mutex> lock(lock_);
    for (auto it = toasts_.begin(); it != toasts_.end();) {
      if (!(*it)->IsWindow()) {
        gone.push_back(std::move(*it));
        it = toasts_.erase(it);
      } else {
        ++it;
      }
    }
  }
  auto toast = std::make_unique<Toast>();
  HWND hwnd = toast->Show(anchor, mode, text, durationMs);
  if (!hwnd) return nullptr;  // an empty text leaves nothing to keep
  std::lock_guard<std::mutex> lock(lock_);
  toasts_.push_back(std::move(toast));
  return hwnd;
}

size_t ToastList::size() const {
  std::lock_guard<std::mutex> lock(lock_);
  return toasts_.size();
}

}  // namespace ui
