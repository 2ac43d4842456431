// The system's web-browser control ("Shell.Explorer") in a child window, hosted by a
// small OLE container of our own: the client site with its in-place site and frame, the
// host's UI handler (no border, no scroll bars, no context menu outside input fields) and
// its download-control ambient property (silent; no ActiveX controls, Java or
// behaviours), and the sink of the browser's events. Only http and https pages are
// navigated to; other addresses are cancelled before navigation, new windows are never
// opened (their address goes to a handler, the user's own browser), and nothing is
// downloaded. Completion and navigation errors go to one receiver.
#pragma once
#include <windows.h>

#include <functional>
#include <memory>
#include <string>

struct IWebBrowser2;
struct IHTMLDocument2;

namespace adverts {

// What the browser reports to its receiver; each operation does nothing unless overridden.
class IWebBrowserEvent {
 public:
  virtual void OnDocumentComplete(const std::u16string& url) {}
  virtual void OnDownloadBegin() {}
  virtual void OnDownloadComplete() {}
  // `cancel` starts false; set it to keep the browser from showing its own error page.
  virtual void OnNavigateError(const std::u16string& url, long status, bool* cancel) {}

 protected:
  ~IWebBrowserEvent() = default;
};

constexpr wchar_t kBrowserHostClassName[] = L"PelinorBrowserHost";

class CWebBrowserCtrl {
 public:
  CWebBrowserCtrl();
  ~CWebBrowserCtrl();
  CWebBrowserCtrl(const CWebBrowserCtrl&) = delete;
  CWebBrowserCtrl& operator=(const CWebBrowserCtrl&) = delete;

  // Creates the host child window in `rc` of `parent` and the browser control in it,
  // closing any earlier one. 1 on success; 0 when the control cannot be made (no browser
  // interface then, and the host window is gone).
  int Create(HWND parent, const RECT& rc);
  // Navigates to an http or https address; 0 for anything else or without a browser.
  int Navigate(const std::u16string& url);
  void SetEventReceiver(IWebBrowserEvent* receiver) { receiver_ = receiver; }
  // Where a page's request for a new window goes (its address), instead of a window.
  void SetNewWindowHandler(std::function<void(const std::u16string&)> handler) { newWindow_ = std::move(handler); }
  // The status of the last failed navigation; 0 after Navigate until one fails.
  long GetNavigateError() const { return navigateError_; }
  HWND GetHostWindow() const { return host_; }
  bool HasBrowser() const { return browser_ != nullptr; }
  // Stops and releases the browser and its document, and destroys the host window.
  void Close();

 private:
  class Site;
  class Events;
  class HostWindow;
  friend class Events;

  void OnDocumentComplete(IDispatch* frame, const std::u16string& url);
  void StripMargins();

  std::unique_ptr<HostWindow> hostWindow_;
  HWND host_ = nullptr;  // the host window's handle, kept for callers after it is gone
  IWebBrowser2* browser_ = nullptr;
  IHTMLDocument2* document_ = nullptr;
  long navigateError_ = 0;
  DWORD eventsCookie_ = 0;
  Site* site_ = nullptr;
  Events* events_ = nullptr;
  IWebBrowserEvent* receiver_ = nullptr;
  std::function<void(const std::u16string&)> newWindow_;
};

}  // namespace adverts
