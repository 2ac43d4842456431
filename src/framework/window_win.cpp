#include "framework/window_win.h"

namespace fw {

WindowBase::~WindowBase() {
  if (hwnd_ && ::IsWindow(hwnd_)) {
    // The object goes away first: detach it so no message reaches freed memory.
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    ::DestroyWindow(hwnd_);
  }
}

HWND WindowBase::Create(const wchar_t* className, HWND parent, const RECT& rc, const wchar_t* title,
                        DWORD style, DWORD exStyle, UINT classStyle, HCURSOR cursor) {
  HINSTANCE inst = GetModuleHandleW(nullptr);
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  if (!GetClassInfoExW(inst, className, &wc)) {
    wc = WNDCLASSEXW{};
    wc.cbSize = sizeof wc;
    wc.style = classStyle;
    wc.lpfnWndProc = &WindowBase::StaticWndProc;
    wc.hInstance = inst;
    wc.hCursor = cursor ? cursor : LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = className;
    if (!RegisterClassExW(&wc)) return nullptr;
  }
  return CreateWindowExW(exStyle, className, title, style, rc.left, rc.top, rc.right - rc.left,
                         rc.bottom - rc.top, parent, nullptr, inst, this);
}

BOOL WindowBase::DestroyWindow() {
  if (!hwnd_) return FALSE;
  return ::DestroyWindow(hwnd_);
}

LRESULT CALLBACK WindowBase::StaticWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) noexcept {
  WindowBase* self;
  if (msg == WM_NCCREATE) {
    auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
    self = static_cast<WindowBase*>(cs->lpCreateParams);
    self->hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  } else {
    self = reinterpret_cast<WindowBase*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  }
  if (!self) return DefWindowProcW(hwnd, msg, wp, lp);
  LRESULT result = 0;
  if (self->ProcessWindowMessage(hwnd, msg, wp, lp, result)) {
    if (msg != WM_NCDESTROY) return result;
  } else {
    result = DefWindowProcW(hwnd, msg, wp, lp);
  }
  if (msg == WM_NCDESTROY) {
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    self->hwnd_ = nullptr;
    self->OnFinalMessage(hwnd);
  }
  return result;
}

}  // namespace fw
