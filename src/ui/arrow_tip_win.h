// A pale-yellow balloon with an arrow on one of its corners and a close cross: the hint
// a widget shows on first use. Pressing the cross closes it at once.
#pragma once
#include <windows.h>

#include <string>

#include "ui/alpha_popup_geometry.h"
#include "ui/alpha_wnd_win.h"

namespace ui {

constexpr UINT kTimerArrowTip = 1;
constexpr COLORREF kTipFill = RGB(255, 255, 225);
constexpr COLORREF kTipInk = RGB(30, 30, 30);

class CArrowTip : public CAlphaWndBase {
 public:
  CArrowTip();
  // 1 bottom left, 2 bottom right, 3 top left, 4 top right; other values are ignored.
  void SetDirection(int direction);
  void SetText(const std::u16string& text) { text_ = text; }
  // Draws for a monitor of `dpi` (the window the tip points at); before Show.
  void SetDpi(int dpi);
  // Shows (or moves) the tip to the screen rectangle; returns its window.
  HWND Show(int x, int y, int right, int bottom);

  int direction() const { return direction_; }
  const Rect& closeBox() const { return closeBox_; }

  BEGIN_MSG_MAP(CArrowTip)
    MESSAGE_HANDLER(WM_SETCURSOR, OnSetCursor)
    MESSAGE_HANDLER(WM_LBUTTONDOWN, OnLButtonDown)
    MESSAGE_HANDLER(WM_ACTIVATE, OnActivate)
    MESSAGE_HANDLER(WM_MOUSEACTIVATE, OnMouseActivate)
    MESSAGE_HANDLER(WM_TIMER, OnTimer)
    MESSAGE_HANDLER(WM_DESTROY, OnDestroy)
    CHAIN_MSG_MAP(CAlphaWndBase)
  END_MSG_MAP()

 protected:
  void DrawContent(HDC dc, const RECT& rc) override;

 private:
  LRESULT OnSetCursor(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnLButtonDown(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnActivate(UINT, WPARAM, LPARAM, BOOL&) { return 0; }
  LRESULT OnMouseActivate(UINT, WPARAM, LPARAM, BOOL&) { return MA_NOACTIVATE; }
  LRESULT OnTimer(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnDestroy(UINT, WPARAM, LPARAM, BOOL&);
  void ApplyDirection(int width);

  Rect closeBox_{};
  std::u16string text_;
  fw::UniqueFont tipFont_;
  int lastX_ = 0, lastY_ = 0;
  int direction_ = 4;
};

}  // namespace ui
