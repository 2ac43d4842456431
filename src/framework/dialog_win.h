// Dialog base: a dialog built from a template resource whose procedure forwards to the
// object's message map. Modeless (Create) or modal (DoModal).
#pragma once
#include <windows.h>

#include "framework/window_win.h"

namespace fw {

class DialogBase : public MessageMap {
 public:
  explicit DialogBase(UINT templateId) : templateId_(templateId) {}
  ~DialogBase() override;
  DialogBase(const DialogBase&) = delete;
  DialogBase& operator=(const DialogBase&) = delete;

  HWND hwnd() const { return hwnd_; }
  bool IsWindow() const { return hwnd_ != nullptr && ::IsWindow(hwnd_); }
  UINT templateId() const { return templateId_; }

  HWND Create(HWND parent, LPARAM initParam = 0);
  INT_PTR DoModal(HWND parent, LPARAM initParam = 0);
  BOOL EndDialog(INT_PTR result);
  BOOL DestroyWindow();
  virtual void OnFinalMessage(HWND) {}

 protected:
  static INT_PTR CALLBACK StaticDlgProc(HWND, UINT, WPARAM, LPARAM) noexcept;
  HWND hwnd_ = nullptr;
  UINT templateId_;
  bool modal_ = false;
};

}  // namespace fw
