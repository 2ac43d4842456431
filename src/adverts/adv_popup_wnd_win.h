// The advert popup: a small layered window that slides up in the lower right corner of
// the screen and shows a text, a picture, a picture with text or a web page, then closes
// by itself after the advert's display time. One popup at a time: a new advert replaces
// the one on screen.
#pragma once
#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "adverts/adv_popup_layout.h"
#include "adverts/adv_popup_state.h"
#include "adverts/web_browser_ctrl_win.h"
#include "framework/handles_win.h"
#include "framework/window_win.h"
#include "model/advert_record.h"

namespace Gdiplus {
class Bitmap;
}
namespace richtext {
class CRichDrawWin;
}

namespace adverts {

constexpr wchar_t kAdvPopupClassName[] = L"PelinorAdvPopup";
// Timers of the popup window.
constexpr UINT_PTR kCountdownTimer = 1;
constexpr UINT_PTR kAnimationTimer = 2;
constexpr UINT_PTR kHighlightTimer = 3;
// A web page that has not loaded by then closes the popup.
constexpr UINT_PTR kPageTimeoutTimer = 4;
constexpr UINT kPageTimeoutMs = 30000;
// Posted to itself: close once the browser's event handler has returned.
constexpr UINT kMsgCloseLater = WM_APP + 1;

// Opens a web address in the user's browser. The popup hands it http/https addresses only.
using OpenInBrowser = std::function<void(const std::u16string& address)>;

class CAdvPopupWnd : public fw::WindowBase, public IWebBrowserEvent {
 public:
  // Without an opener, addresses go to the shell ("open").
  explicit CAdvPopupWnd(OpenInBrowser open = {});
  ~CAdvPopupWnd() override;

  // Shows the advert (closing a popup still open) and returns the window, or null when
  // it cannot be shown (a web page that is no http/https address, no window).
  HWND ShowAdvert(const AdvertRecord& advert);
  // Closes at once: the browser, then the window.
  void Close();
  // How long a web page may take to load before the popup gives up (kPageTimeoutMs).
  void SetPageTimeout(UINT ms) { pageTimeoutMs_ = ms; }

  // The whole client area as it is painted on screen, into any DC of the popup's size.
  void PaintTo(HDC dc);

  bool IsOpen() const { return hwnd_ != nullptr; }
  const PopupLayout& layout() const { return layout_; }
  const PopupAnimation* animation() const { return animation_.get(); }
  const CWebBrowserCtrl& browser() const { return browser_; }

  // IWebBrowserEvent
  void OnDocumentComplete(const std::u16string& url) override;
  void OnNavigateError(const std::u16string& url, long status, bool* cancel) override;

  BEGIN_MSG_MAP(CAdvPopupWnd)
    MESSAGE_HANDLER(WM_PAINT, OnPaint)
    MESSAGE_HANDLER(WM_ERASEBKGND, OnEraseBackground)
    MESSAGE_HANDLER(WM_TIMER, OnTimer)
    MESSAGE_HANDLER(WM_MOUSEMOVE, OnMouseMove)
    MESSAGE_HANDLER(WM_MOUSEHOVER, OnMouseHover)
    MESSAGE_HANDLER(WM_MOUSELEAVE, OnMouseLeave)
    MESSAGE_HANDLER(WM_SETCURSOR, OnSetCursor)
    MESSAGE_HANDLER(WM_LBUTTONDOWN, OnLButtonDown)
    MESSAGE_HANDLER(WM_LBUTTONUP, OnLButtonUp)
    MESSAGE_HANDLER(WM_MOUSEACTIVATE, OnMouseActivate)
    MESSAGE_HANDLER(kMsgCloseLater, OnCloseLater)
    MESSAGE_RANGE_HANDLER(WM_USER, 0x7FFF, OnEngineMessage)
    MESSAGE_HANDLER(WM_DESTROY, OnDestroy)
  END_MSG_MAP()

 private:
  LRESULT OnPaint(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnEraseBackground(UINT, WPARAM, LPARAM, BOOL&) { return 1; }
  LRESULT OnTimer(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnMouseMove(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnMouseHover(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnMouseLeave(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnSetCursor(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnLButtonDown(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnLButtonUp(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnMouseActivate(UINT, WPARAM, LPARAM, BOOL&) { return MA_NOACTIVATE; }
  LRESULT OnEngineMessage(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnCloseLater(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnDestroy(UINT, WPARAM, LPARAM, BOOL&);

  void SetUpContent();
  void LoadPicture(const PopupRect& box);
  // Brings timers, place and opacity in line with the animation; destroys the window
  // once the popup is gone.
  void Sync();
  void TrackMouse();
  void SetTimerOn(UINT_PTR id, bool on, UINT ms);
  void SetUpText(const PopupRect& box);
  void LoadImages();
  bool IsClickable(int x, int y) const;
  const std::u16string* LinkAt(int x, int y) const;
  // Opens an http/https address in the browser and closes the popup; anything else is
  // refused (logged) and the popup stays.
  void OpenAndClose(const std::u16string& address);

  OpenInBrowser open_;
  AdvertRecord advert_;
  std::u16string caption_;
  PopupLayout layout_;
  std::unique_ptr<PopupAnimation> animation_;
  std::unique_ptr<richtext::CRichDrawWin> text_;
  std::unique_ptr<Gdiplus::Bitmap> picture_;
  PopupRect pictureRect_;
  fw::UniqueFont captionFont_, viewFont_, textFont_;
  std::unique_ptr<Gdiplus::Bitmap> images_[4];  // 303..306, decoded once
  CWebBrowserCtrl browser_;
  bool timerOn_[3] = {};  // countdown, animation, highlight
  int shownTop_ = 0;
  int shownAlpha_ = -1;
  bool shown_ = false;
  UINT pageTimeoutMs_ = kPageTimeoutMs;
};

// The advert's content types.
constexpr int32_t kAdvertText = 1;
constexpr int32_t kAdvertPicture = 2;
constexpr int32_t kAdvertWebPage = 3;
constexpr int32_t kAdvertPictureText = 4;

}  // namespace adverts
