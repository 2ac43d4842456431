#include "ui/input_rss_dlg_win.h"

#include "res/dialogs_res.h"
#include "framework/wstr_win.h"
#include "ui/dialog_util_win.h"

CInputRssDlg::CInputRssDlg(ui::LinkDialogHost* host) : DialogBase(IDD_INPUT_RSS), host_(host) {}

LRESULT CInputRssDlg::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&) {
  SetWindowTextW(hwnd_, as_wcstr(input_.Caption()));
  SetDlgItemTextW(hwnd_, IDC_RSS_NAME, as_wcstr(input_.GetLink().name));
  SetDlgItemTextW(hwnd_, IDC_RSS_URL, as_wcstr(input_.GetLink().url));
  return TRUE;
}

LRESULT CInputRssDlg::OnCommand(UINT, WPARAM wParam, LPARAM, BOOL& handled) {
  switch (LOWORD(wParam)) {
    case IDOK:
      if (input_.Confirm(ui::GetControlText(hwnd_, IDC_RSS_NAME), ui::GetControlText(hwnd_, IDC_RSS_URL)) &&
          host_) {
        host_->SendSubscribeNotice(input_.GetLink().url, input_.GetLink().name);
      }
      EndDialog(IDOK);
      return 0;
    case IDCANCEL:
      EndDialog(IDCANCEL);
      return 0;
    default:
      handled = FALSE;
      return 0;
  }
}
