// The update download dialog and the about box.
#pragma once
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "framework/dialog_win.h"

namespace update {

constexpr UINT WM_DOWNLOAD_DONE = WM_USER + 101;  // wParam: 1 success, 0 failure or cancel
constexpr UINT kProgressTimer = 1;

// What the download worker and the dialog share. Sizes and the percentage are written by
// the worker only, the cancel flag by the dialog only.
struct DownloadState {
  std::atomic<uint64_t> total{0};
  std::atomic<int> percent{0};
  std::atomic<bool> cancel{false};
  // The open request: cancelling closes it so that a blocked read returns at once.
  void SetRequest(void* request);
  void ClearRequest();  // closes the request unless a cancel already did
  void Cancel();

 private:
  std::mutex mutex_;
  void* request_ = nullptr;
};

// Message boxes go through one function so that tests can answer them.
using MessageBoxFn = std::function<int(HWND owner, const std::u16string& text, const std::u16string& caption,
                                       UINT type)>;
int SystemMessageBox(HWND owner, const std::u16string& text, const std::u16string& caption, UINT type);

// "更新下载中...": progress bar, status text, "后台运行" (hide) and "取消下载".
class CDownloadUpdate : public fw::DialogBase {
 public:
  CDownloadUpdate(std::shared_ptr<DownloadState> state, MessageBoxFn messageBox);

  BEGIN_MSG_MAP(CDownloadUpdate)
    MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
    MESSAGE_HANDLER(WM_TIMER, OnTimer)
    MESSAGE_HANDLER(WM_COMMAND, OnCommand)
    MESSAGE_HANDLER(WM_DOWNLOAD_DONE, OnDone)
    MESSAGE_HANDLER(WM_DESTROY, OnDestroy)
  END_MSG_MAP()

  // The lower-right place: right edge on the screen's, bottom 30 pixels plus one caption
  // height above the screen's bottom.
  static POINT PlaceFor(SIZE window, int screenWidth, int screenHeight, int captionHeight);

 private:
  LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnTimer(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnCommand(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnDone(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnDestroy(UINT, WPARAM, LPARAM, BOOL&);
  void CancelDownload();

  std::shared_ptr<DownloadState> state_;
  MessageBoxFn messageBox_;
};

// "关于": "软件版本：" and the program version, then the notice lines.
class CAboutDlg : public fw::DialogBase {
 public:
  CAboutDlg();
  static std::u16string AboutText(const std::u16string& version);

  BEGIN_MSG_MAP(CAboutDlg)
    MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
    MESSAGE_HANDLER(WM_COMMAND, OnCommand)
  END_MSG_MAP()

 private:
  LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnCommand(UINT, WPARAM, LPARAM, BOOL&);
};

}  // namespace update
