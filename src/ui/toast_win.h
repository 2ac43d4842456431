// A short message that fades in near a window (or the screen's centre) and fades out
// after its time: a half-transparent dark pill with white text. Toasts live in a list
// (ToastList); each Show makes a new one and frees those whose window is gone.
#pragma once
#include <windows.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

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

// The toasts shown so far whose objects still live. The program keeps one list (the widget
// manager's); the list is guarded by its own lock, which is never held while a toast's
// window is being made (window creation dispatches messages, and a handler may show a
// toast in turn).
class ToastList {
 public:
  ToastList() = default;
  ToastList(const ToastList&) = delete;
  ToastList& operator=(const ToastList&) = delete;

  // Shows a new, independent toast; returns its window (null for an empty text).
  HWND Show(HWND anchor, int mode, const std::u16string& text, UINT durationMs);
  // Number of toast objects kept.
  size_t size() const;

 private:
  mutable std::mutex lock_;
  std::vector<std::unique_ptr<Toast>> toasts_;
};

}  // namespace ui
