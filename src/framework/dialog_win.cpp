#include "framework/dialog_win.h"

namespace fw {

DialogBase::~DialogBase() {
  if (hwnd_ && ::IsWindow(hwnd_)) {
    SetWindowLongPtrW(hwnd_, DWLP_USER, 0);
    ::DestroyWindow(hwnd_);
  }
}

HWND DialogBase::Create(HWND parent, LPARAM) {
  modal_ = false;
  return CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(templateId_), parent,
                            &DialogBase::StaticDlgProc, reinterpret_cast<LPARAM>(this));
}

INT_PTR DialogBase::DoModal(HWND parent, LPARAM) {
  modal_ = true;
  return DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(templateId_), parent,
                         &DialogBase::StaticDlgProc, reinterpret_cast<LPARAM>(this));
}

BOOL DialogBase::EndDialog(INT_PTR result) {
  if (!hwnd_) return FALSE;
  if (modal_) return ::EndDialog(hwnd_, result);
  return ::DestroyWindow(hwnd_);
}

BOOL DialogBase::DestroyWindow() {
  if (!hwnd_) return FALSE;
  return ::DestroyWindow(hwnd_);
}

INT_PTR CALLBACK DialogBase::StaticDlgProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) noexcept {
  DialogBase* self;
  if (msg == WM_INITDIALOG) {
    self = reinterpret_cast<DialogBase*>(lp);
    self->hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
  } else {
    self = reinterpret_cast<DialogBase*>(GetWindowLongPtrW(hwnd, DWLP_USER));
  }
  if (!self) return FALSE;
  LRESULT result = 0;
  BOOL handled = self->ProcessWindowMessage(hwnd, msg, wp, lp, result);
  if (msg == WM_NCDESTROY) {
    SetWindowLongPtrW(hwnd, DWLP_USER, 0);
    self->hwnd_ = nullptr;
    self->OnFinalMessage(hwnd);
    return handled;
  }
  if (!handled) return FALSE;
  switch (msg) {
    // These return their result directly rather than through DWLP_MSGRESULT.
    case WM_INITDIALOG: case WM_CTLCOLORMSGBOX: case WM_CTLCOLOREDIT: case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN: case WM_CTLCOLORDLG: case WM_CTLCOLORSCROLLBAR: case WM_CTLCOLORSTATIC:
    case WM_COMPAREITEM: case WM_VKEYTOITEM: case WM_CHARTOITEM: case WM_QUERYDRAGICON:
      return static_cast<INT_PTR>(result);
    default:
      SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, result);
      return TRUE;
  }
}

}  // namespace fw
