// The window framework's base classes: a window with a message map, and the message-map
// macros. A class lists its handlers between BEGIN_MSG_MAP and END_MSG_MAP; messages the
// map does not take go to DefWindowProc (windows) or return FALSE (dialogs).
#pragma once
#include <windows.h>

namespace fw {

// Message-map entries. A handler has the form
//   LRESULT OnX(UINT msg, WPARAM wParam, LPARAM lParam, BOOL& handled)
// and may clear `handled` to let the message fall through to the next entry and the default.
#define BEGIN_MSG_MAP(theClass)                                                           \
 public:                                                                                  \
  BOOL ProcessWindowMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam,          \
                            LRESULT& lResult) override {                                  \
    (void)hWnd;                                                                           \
    BOOL bHandled = TRUE;
#define MESSAGE_HANDLER(msg, func)                         \
  if (uMsg == (msg)) {                                     \
    bHandled = TRUE;                                       \
    lResult = func(uMsg, wParam, lParam, bHandled);        \
    if (bHandled) return TRUE;                             \
  }
#define MESSAGE_RANGE_HANDLER(msgFirst, msgLast, func)     \
  if (uMsg >= (msgFirst) && uMsg <= (msgLast)) {           \
    bHandled = TRUE;                                       \
    lResult = func(uMsg, wParam, lParam, bHandled);        \
    if (bHandled) return TRUE;                             \
  }
#define CHAIN_MSG_MAP(baseClass)                                                  \
  if (baseClass::ProcessWindowMessage(hWnd, uMsg, wParam, lParam, lResult)) return TRUE;
#define END_MSG_MAP() \
  (void)bHandled;     \
  return FALSE;       \
  }

class MessageMap {
 public:
  virtual ~MessageMap() = default;
  virtual BOOL ProcessWindowMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult) = 0;
};

// A window whose procedure forwards to the object's message map. The object is found
// through GWLP_USERDATA, set from the creation parameters on WM_NCCREATE.
class WindowBase : public MessageMap {
 public:
  WindowBase() = default;
  ~WindowBase() override;
  WindowBase(const WindowBase&) = delete;
  WindowBase& operator=(const WindowBase&) = delete;

  HWND hwnd() const { return hwnd_; }
  bool IsWindow() const { return hwnd_ != nullptr && ::IsWindow(hwnd_); }

  // Registers the class on first use (with the given class style, cursor and background)
  // and creates the window. Returns the window or null.
  HWND Create(const wchar_t* className, HWND parent, const RECT& rc, const wchar_t* title, DWORD style,
              DWORD exStyle, UINT classStyle = CS_DBLCLKS, HCURSOR cursor = nullptr);
  BOOL DestroyWindow();

  // Called after WM_NCDESTROY, when the window is gone; the object may delete itself here.
  virtual void OnFinalMessage(HWND) {}

 protected:
  static LRESULT CALLBACK StaticWndProc(HWND, UINT, WPARAM, LPARAM) noexcept;
  HWND hwnd_ = nullptr;
};

}  // namespace fw
