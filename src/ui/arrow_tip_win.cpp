#include "ui/arrow_tip_win.h"

#include <windowsx.h>

#include "framework/wstr_win.h"

namespace ui {

namespace {
constexpr int kTipCorner = 5;
constexpr int kTipFontSize = 100;
constexpr UINT kArrowTipTimerMs = 200;
}  // namespace

CArrowTip::CArrowTip() : tipFont_(CreatePointFont(kTipFontSize, L"宋体", false, dpi())) {}

void CArrowTip::SetDpi(int dpi) {
  if (dpi == this->dpi()) return;
  UseDpi(dpi);
  tipFont_.reset(CreatePointFont(kTipFontSize, L"宋体", false, this->dpi()));
}

void CArrowTip::SetDirection(int direction) {
  if (!IsArrowDirection(direction)) return;
  direction_ = direction;
  RECT rc{};
  if (hwnd_) GetClientRect(hwnd_, &rc);
  ApplyDirection(rc.right);
}

void CArrowTip::ApplyDirection(int width) { closeBox_ = ArrowTipLayout(width, 0, direction_, dpi()).closeBox; }

HWND CArrowTip::Show(int x, int y, int right, int bottom) {
  const int w = right - x, h = bottom - y;
  if (IsWindow()) {
    ShowWindow(hwnd_, SW_SHOWNOACTIVATE);
    ApplyDirection(w);
    Render();  // layered: no WM_PAINT to wait for
    SetWindowPos(hwnd_, nullptr, x, y, w, h, SWP_NOZORDER | SWP_NOACTIVATE);
  } else {
    if (!Create(x, y, w, h, nullptr)) return nullptr;
    ApplyDirection(w);
    Render();  // layered: no WM_PAINT to wait for
  }
  // The rounded outline of this size (it changes with the DPI).
  const int corner = ToPixels(kTipCorner, dpi());
  SetWindowRgn(hwnd_, CreateRoundRectRgn(0, 0, w + 1, h + 1, corner, corner), TRUE);
  lastX_ = x;
  lastY_ = y;
  SetTimer(hwnd_, kTimerArrowTip, kArrowTipTimerMs, nullptr);
  return hwnd_;
}

void CArrowTip::DrawContent(HDC dc, const RECT& rc) {
  const ArrowTipShape s = ArrowTipLayout(rc.right, rc.bottom, direction_, dpi());
  const int corner = ToPixels(kTipCorner, dpi());
  const int line = ToPixels(1, dpi());  // one pixel at 96 DPI
  fw::UniqueRgn body(
      CreateRoundRectRgn(s.body.left, s.body.top, s.body.right + 1, s.body.bottom + 1, corner, corner));
  POINT tri[3] = {{s.arrow[0].x, s.arrow[0].y}, {s.arrow[1].x, s.arrow[1].y}, {s.arrow[2].x, s.arrow[2].y}};
  fw::UniqueRgn arrow(CreatePolygonRgn(tri, 3, WINDING));
  CombineRgn(body.get(), body.get(), arrow.get(), RGN_OR);
  fw::UniqueBrush fill(CreateSolidBrush(kTipFill));
  fw::UniqueBrush ink(CreateSolidBrush(kTipInk));
  FillRgn(dc, body.get(), fill.get());
  FrameRgn(dc, body.get(), ink.get(), line, line);

  fw::UniquePen pen(CreatePen(PS_SOLID, line, RGB(0, 0, 0)));
  HGDIOBJ oldPen = SelectObject(dc, pen.get());
  MoveToEx(dc, s.cross[0].x, s.cross[0].y, nullptr);
  LineTo(dc, s.cross[1].x, s.cross[1].y);
  MoveToEx(dc, s.cross[2].x, s.cross[2].y, nullptr);
  LineTo(dc, s.cross[3].x, s.cross[3].y);
  SelectObject(dc, oldPen);

  COLORREF old = SetTextColor(dc, kTipInk);
  RECT t{s.text.left, s.text.top, s.text.right, s.text.bottom};
  DrawTextW(dc, as_wcstr(text_), static_cast<int>(text_.size()), &t, DT_WORDBREAK);
  SetTextColor(dc, old);
}

LRESULT CArrowTip::OnSetCursor(UINT, WPARAM, LPARAM, BOOL&) {
  POINT pt;
  GetCursorPos(&pt);
  ScreenToClient(hwnd_, &pt);
  SetCursor(LoadCursorW(nullptr, closeBox_.Contains(pt.x, pt.y) ? IDC_HAND : IDC_ARROW));
  return TRUE;
}

LRESULT CArrowTip::OnLButtonDown(UINT, WPARAM, LPARAM lParam, BOOL&) {
  if (closeBox_.Contains(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam))) DestroyWindow();
  return 0;
}

LRESULT CArrowTip::OnTimer(UINT, WPARAM id, LPARAM, BOOL& handled) {
  if (id != kTimerArrowTip) {
    handled = FALSE;
    return 0;
  }
  KillTimer(hwnd_, kTimerArrowTip);  // nothing to do on it: it only marks the showing
  return 0;
}

LRESULT CArrowTip::OnDestroy(UINT, WPARAM, LPARAM, BOOL& handled) {
  KillTimer(hwnd_, kTimerArrowTip);
  handled = FALSE;
  return 0;
}

}  // namespace ui
