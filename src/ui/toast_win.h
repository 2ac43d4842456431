// A short message that fades in near a window (or the screen's centre) and fades out
// after its time: a half-transparent dark pill with white text. Toasts live in one
// process-wide list; each ShowToast makes a new one and frees those whose window is gone.
#pragma once
#include <windows.h>

#include <string>

#include "ui/alpha_wnd_win.h"

namespace ui {

constexpr UINT kTimerToastLife = 1;
constexpr BYTE kToastContentAlpha = 128;

class Toast : public CAlphaWndBase {
 public:
  Toast();
  // Shows the text near `anchor` (mode 0 centred, 1 upper part, 2 lower part) or centred
  // on the screen, for durationMs. An empty text shows nothing and returns null.
  HWND Show(HWND anchor, int mode, const std::u16string& text, UINT durationMs);
  const std::u16string& text() const { return text_; }

  BEGIN_MSG_MAP(Toast)
    MESSAGE_HANDLER(WM_TIMER, OnTimer)
    MESSAGE_HANDLER(WM_ACTIVATE, OnActivate)
    MESSAGE_HANDLER(WM_MOUSEACTIVATE, OnMouseActivate)
    MESSAGE_HANDLER(WM_DESTROY, OnDestroy)
    CHAIN_MSG_MAP(CAlphaWndBase)
  END_MSG_MAP()

 protected:
  void DrawContent(HDC dc, const RECT& rc) override;

 private:
  LRESULT OnTimer(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnActivate(UINT, WPARAM, LPARAM, BOOL&) { return 0; }
  LRESULT OnMouseActivate(UINT, WPARAM, LPARAM, BOOL&) { return MA_NOACTIVATE; }
  LRESULT OnDestroy(UINT, WPARAM, LPARAM, BOOL&);

  std::u16string text_;
  fw::UniqueFont toastFont_;
  HWND anchor_ = nullptr;
  int mode_ = 0;
};

// Shows a new toast; returns its window (null for an empty text).
HWND ShowToast(HWND anchor, int mode, const std::u16string& text, UINT durationMs);
// Number of toast objects in the process-wide list (for tests).
size_t ToastCountForTests();

}  // namespace ui
