// Base of the small per-pixel-alpha popups (toast, arrow tip). Derived classes draw with
// plain GDI into DrawBackground/DrawContent; the base finds the pixels the content drawing
// touched (GDI leaves their alpha byte at 0) and gives them the content alpha, so the
// popup is transparent everywhere else. It fades in on creation and out when closing.
#pragma once
#include <windows.h>

#include "framework/handles_win.h"
#include "framework/window_win.h"
#include "ui/dib_surface_win.h"

namespace ui {

constexpr UINT kTimerFade = 4003;
constexpr UINT kFadeIntervalMs = 30;
constexpr int kFadeStep = 16;
constexpr wchar_t kAlphaWindowClass[] = L"AlphaWindow";

class CAlphaWndBase : public fw::WindowBase {
 public:
  CAlphaWndBase();
  ~CAlphaWndBase() override;

  // Creates the popup at (x, y, width, height); it then fades in. insertAfter null keeps
  // the default z-order.
  HWND Create(int x, int y, int width, int height, HWND insertAfter);

  // Draws for a monitor of `dpi` from now on: the window font is made for it (derived classes
  // scale their own sizes by dpi()).
  void UseDpi(int dpi);
  int dpi() const { return dpi_; }
  int fadeLevel() const { return fade_; }
  bool closing() const { return closing_; }
  // The colour surface after the last render (premultiplied for the layered window).
  const DibSurface& colorSurface() const { return color_; }

  BEGIN_MSG_MAP(CAlphaWndBase)
    MESSAGE_HANDLER(WM_PAINT, OnPaint)
    MESSAGE_HANDLER(WM_SIZE, OnSize)
    MESSAGE_HANDLER(WM_TIMER, OnTimer)
  END_MSG_MAP()

 protected:
  virtual void DrawContent(HDC dc, const RECT& rc) {}
  virtual void DrawBackground(HDC dc, const RECT& rc) {}

  // Starts the fade-out; the window destroys itself at the end.
  void StartClosing();
  void Render();
  void set_content_alpha(BYTE a) { contentAlpha_ = a; }
  HFONT font() const { return font_.get(); }

 private:
  LRESULT OnPaint(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnSize(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnTimer(UINT, WPARAM, LPARAM, BOOL&);
  bool PrepareSurfaces();

  fw::UniqueFont font_;  // before the surfaces: their DCs hold it until they are gone
  DibSurface color_;
  DibSurface mask_;
  int fade_ = 255;
  BYTE contentAlpha_ = 255;
  bool closing_ = false;
  int dpi_;
};

// A font of the given size (tenths of a point) and face, sized for a monitor of `dpi`
// (0: the screen's).
HFONT CreatePointFont(int tenthsOfPoint, const wchar_t* face, bool bold = false, int dpi = 0);

}  // namespace ui
