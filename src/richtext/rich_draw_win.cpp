#include "richtext/rich_draw_win.h"

#include <windowsx.h>

#include "richtext/gdi_draw_win.h"
#include "richtext/image_loader_win.h"

namespace richtext {

CRichDrawWin::CRichDrawWin()
    : CRichDrawEx(std::make_unique<GdiMeasurer>()), paintFonts_(std::make_unique<GdiFontCache>()) {
  SetClipboard(&winClipboard_);
  SetFiles(&winFiles_);
}

CRichDrawWin::~CRichDrawWin() {
  // The host lives in this object: leave the window before it goes.
  CRichDraw::Detach();
  if (cursor_) DestroyCursor(cursor_);
}

void CRichDrawWin::Attach(HWND window) {
  CRichDraw::Detach();
  window_ = window;
  if (window_) CRichDraw::Attach(&host_);
}

void CRichDrawWin::Paint(HDC target, HDC imageDc, const Rect* area) {
  if (!target || !IsAttached()) return;
  GdiCanvas canvas(target, imageDc, *paintFonts_);
  CRichDraw::Paint(canvas, area);
}

void CRichDrawWin::SetDefaultFont(HFONT font, int flags) {
  LOGFONTW lf{};
  if (!font || !GetObjectW(font, sizeof lf, &lf)) return;
  CRichDraw::SetDefaultFont(DescFromLogFont(lf), flags);
}

void CRichDrawWin::SetCursorResource(int id) {
  if (cursor_) DestroyCursor(cursor_);
  cursor_ = static_cast<HCURSOR>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), IMAGE_CURSOR, 0, 0,
                                            LR_DEFAULTSIZE));
}

bool CRichDrawWin::ForwardMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  const int x = GET_X_LPARAM(lParam), y = GET_Y_LPARAM(lParam);
  const unsigned keys = static_cast<unsigned>(wParam);
  switch (msg) {
    case WM_LBUTTONDOWN:
      OnLButtonDown(keys, x, y);
      return false;
    case WM_MOUSEMOVE:
      OnMouseMove(keys, x, y);
      return false;
    case WM_LBUTTONUP:
      OnLButtonUp(keys, x, y);
      return false;
    case WM_RBUTTONUP:
      OnRButtonUp(keys, x, y);
      return false;
    case WM_KEYDOWN:
      OnKeyDown(static_cast<int>(wParam));
      return false;
    case WM_CHAR:
      OnChar(static_cast<char16_t>(wParam));
      return false;
    case WM_MOUSEWHEEL:
      OnMouseWheel(static_cast<int32_t>(wParam));
      return false;
    case WM_SETFOCUS:
      OnSetFocus();
      return false;
    case WM_KILLFOCUS:
      OnKillFocus();
      return false;
    case WM_TIMER:
      if (wParam != kTimerSelectScroll && wParam != kTimerGlide && wParam != kTimerCaretBlink) return false;
      OnTimer(static_cast<int>(wParam));
      if (result) *result = 0;
      return true;
    case kMsgImageLoaded:
      if (result) *result = OnImageLoaded(static_cast<uint32_t>(wParam),
                                          std::make_unique<GdiBitmap>(reinterpret_cast<HBITMAP>(lParam)));
      return true;
    default:
      return false;
  }
}

Rect CRichDrawWin::WindowHost::GetClientRect() {
  RECT rc{};
  ::GetClientRect(owner_.window_, &rc);
  return Rect{rc.left, rc.top, rc.right, rc.bottom};
}

void CRichDrawWin::WindowHost::Invalidate() {
  if (owner_.repaint_) owner_.repaint_();
  else InvalidateRect(owner_.window_, nullptr, FALSE);
}

void CRichDrawWin::WindowHost::InvalidateArea(const Rect& area) {
  if (owner_.areaRepaint_) {
    owner_.areaRepaint_(area);
  } else if (owner_.repaint_) {
    owner_.repaint_();
  } else {
    RECT rc{area.left, area.top, area.right, area.bottom};
    InvalidateRect(owner_.window_, &rc, FALSE);
  }
}

void CRichDrawWin::WindowHost::SetTimer(int id, int ms) { ::SetTimer(owner_.window_, id, ms, nullptr); }
void CRichDrawWin::WindowHost::KillTimer(int id) { ::KillTimer(owner_.window_, id); }
void CRichDrawWin::WindowHost::PostGlideAtRest() { PostMessageW(owner_.window_, kMsgGlideAtRest, 0, 0); }
bool CRichDrawWin::WindowHost::HasVScroll() {
  return (GetWindowLongW(owner_.window_, GWL_STYLE) & WS_VSCROLL) != 0;
}
void CRichDrawWin::WindowHost::SetVScrollPos(int pos) { SetScrollPos(owner_.window_, SB_VERT, pos, TRUE); }
bool CRichDrawWin::WindowHost::HasFocus() { return GetFocus() == owner_.window_; }
bool CRichDrawWin::WindowHost::IsLeftButtonDown() {
  return (GetKeyState(VK_LBUTTON) & 0x8000) != 0;
}
void CRichDrawWin::WindowHost::QueueImageLoad(const std::u16string& source, uint32_t token) {
  richtext::QueueImageLoad(owner_.window_, source, token);
}
void CRichDrawWin::WindowHost::CancelImageLoads() { WithdrawImageLoads(owner_.window_); }
bool CRichDrawWin::WindowHost::IsCtrlDown() { return (GetKeyState(VK_CONTROL) & 0x8000) != 0; }
bool CRichDrawWin::WindowHost::IsShiftDown() { return (GetKeyState(VK_SHIFT) & 0x8000) != 0; }
bool CRichDrawWin::WindowHost::GetPointer(int* x, int* y) {
  POINT pt;
  if (!GetCursorPos(&pt) || !ScreenToClient(owner_.window_, &pt)) return false;
  *x = pt.x;
  *y = pt.y;
  return true;
}

}  // namespace richtext
