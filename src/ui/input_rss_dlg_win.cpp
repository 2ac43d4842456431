#include "ui/input_rss_dlg_win.h"

#include "res/dialogs_res.h"
#include "framework/wstr_win.h"
#include "ui/dialog_util_win.h"

CInputRssDlg::CInputRssDlg(ui::LinkDialogHost* host) : DialogBase(IDD_INPUT_RSS), host_(host) {}

LRESULT CInputRssDlg::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&) {
  SetWindowTextW(hwnd_, as_wcstr(input_.Caption()));
  SetDlgItemTextW(hwnd_, IDC_RSS_NAME, as_wcstr(input_.GetLink().name));
  SetDlgItemTextW(hwnd_, IDC_RSS_URL, as_wcstr(input_.GetLink().url));
  SetFocus(GetDlgItem(hwnd_, IDC_RSS_NAME));  // the user starts with the first box
  return FALSE;
}

void CInputRssDlg::OnOk() {
  const std::u16string url = ui::FeedAddressFromInput(ui::GetControlText(hwnd_, IDC_RSS_URL));
  if (url.empty()) {
    // Nothing is stored until the address is one a feed can be read from.
    MessageBoxW(hwnd_, kBadAddressText, kBadAddressTitle, MB_OK | MB_ICONWARNING);
    SetFocus(GetDlgItem(hwnd_, IDC_RSS_URL));
    return;
  }
  std::u16string name = ui::TrimWide(ui::GetControlText(hwnd_, IDC_RSS_NAME));
  if (name.empty()) {
    name = ui::HostOfAddress(url);  // until the feed tells its own title
    if (host_) host_->NameAfterFeedTitle(url);
  }
  if (input_.Confirm(name, url) && host_) host_->SendSubscribeNotice(input_.GetLink().url, input_.GetLink().name);
  EndDialog(IDOK);
}

LRESULT CInputRssDlg::OnCommand(UINT, WPARAM wParam, LPARAM, BOOL& handled) {
  switch (LOWORD(wParam)) {
    case IDOK: OnOk(); return 0;
    case IDCANCEL:
      EndDialog(IDCANCEL);
      return 0;
    default:
      handled = FALSE;
      return 0;
  }
}
