#include "update/update_dialogs_win.h"

#include <commctrl.h>
#include <wininet.h>

#include "framework/wstr_win.h"
#include "platform/program_version_win.h"
#include "res/update_res.h"
#include "update/update_core.h"

namespace update {

void DownloadState::SetRequest(void* request) {
  std::lock_guard<std::mutex> lock(mutex_);
  request_ = request;
  if (cancel && request_) {
    InternetCloseHandle(static_cast<HINTERNET>(request_));
    request_ = nullptr;
  }
}

void DownloadState::ClearRequest() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (request_) InternetCloseHandle(static_cast<HINTERNET>(request_));
  request_ = nullptr;
}

void DownloadState::Cancel() {
  std::lock_guard<std::mutex> lock(mutex_);
  cancel = true;
  if (request_) InternetCloseHandle(static_cast<HINTERNET>(request_));
  request_ = nullptr;
}

int SystemMessageBox(HWND owner, const std::u16string& text, const std::u16string& caption, UINT type) {
  return MessageBoxW(owner, as_wcstr(text), as_wcstr(caption), type);
}

CDownloadUpdate::CDownloadUpdate(std::shared_ptr<DownloadState> state, MessageBoxFn messageBox)
    : DialogBase(IDD_DOWNLOAD_UPDATE), state_(std::move(state)), messageBox_(std::move(messageBox)) {}

POINT CDownloadUpdate::PlaceFor(SIZE window, int screenWidth, int screenHeight, int captionHeight) {
  return POINT{screenWidth - window.cx, screenHeight - window.cy - 30 - captionHeight};
}

LRESULT CDownloadUpdate::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&) {
  RECT r{};
  GetWindowRect(hwnd_, &r);
  POINT at = PlaceFor(SIZE{r.right - r.left, r.bottom - r.top}, GetSystemMetrics(SM_CXSCREEN),
                      GetSystemMetrics(SM_CYSCREEN), GetSystemMetrics(SM_CYCAPTION));
  SetWindowPos(hwnd_, nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  SendDlgItemMessageW(hwnd_, IDC_DOWNLOAD_PROGRESS, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
  SetTimer(hwnd_, kProgressTimer, 1000, nullptr);
  return TRUE;
}

LRESULT CDownloadUpdate::OnTimer(UINT, WPARAM id, LPARAM, BOOL& handled) {
  if (id != kProgressTimer) {
    handled = FALSE;
    return 0;
  }
  int percent = state_->percent.load();
  SendDlgItemMessageW(hwnd_, IDC_DOWNLOAD_PROGRESS, PBM_SETPOS, percent, 0);
  std::u16string text = DownloadStatusText(state_->total.load(), percent);
  SetDlgItemTextW(hwnd_, IDC_DOWNLOAD_STATUS, as_wcstr(text));
  return 0;
}

void CDownloadUpdate::CancelDownload() {
  ShowWindow(hwnd_, SW_HIDE);
  state_->Cancel();
}

LRESULT CDownloadUpdate::OnCommand(UINT, WPARAM wParam, LPARAM, BOOL&) {
  switch (LOWORD(wParam)) {
    case IDOK: ShowWindow(hwnd_, SW_HIDE); break;  // "后台运行": the download goes on
    case IDC_DOWNLOAD_CANCEL: CancelDownload(); break;
    case IDCANCEL:
      if (messageBox_(hwnd_, u"确定要取消更新吗？", u"提示", MB_OKCANCEL) == IDOK) CancelDownload();
      break;
    default: break;
  }
  return 0;
}

LRESULT CDownloadUpdate::OnDone(UINT, WPARAM, LPARAM, BOOL&) {
  DestroyWindow();
  return 0;
}

LRESULT CDownloadUpdate::OnDestroy(UINT, WPARAM, LPARAM, BOOL& handled) {
  KillTimer(hwnd_, kProgressTimer);
  handled = FALSE;
  return 0;
}

CAboutDlg::CAboutDlg() : DialogBase(IDD_ABOUT) {}

std::u16string CAboutDlg::AboutText(const std::u16string& version) {
  return u"软件版本：" + version +
         u"\r\n\r\n版权所有 (C) Pelinor 开发者，保留所有权利。"
         u"\r\n\r\n联系我们：support@pelinor.example"
         u"\r\n\r\n网站：https://pelinor.example";
}

LRESULT CAboutDlg::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&) {
  wchar_t version[20] = {};
  platform::GetProgramVersion(version, 20);
  SetDlgItemTextW(hwnd_, IDC_ABOUT_TEXT, as_wcstr(AboutText(to_u16(version))));
  return TRUE;
}

LRESULT CAboutDlg::OnCommand(UINT, WPARAM wParam, LPARAM, BOOL&) {
  WORD id = LOWORD(wParam);
  if (id == IDOK || id == IDCANCEL) EndDialog(id);
  return 0;
}

}  // namespace update
