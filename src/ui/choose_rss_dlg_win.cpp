#include "ui/choose_rss_dlg_win.h"

#include "res/dialogs_res.h"
#include "framework/wstr_win.h"
#include "ui/dialog_util_win.h"
#include "ui/input_rss_dlg_win.h"
#include "ui/link_dialogs.h"
#include "feed/default_feeds.h"

namespace {
// The subscription links the widget menu offers too: the received ones (or the built-in
// feeds while none were received) first.
std::vector<NewsLink> OfferedRemoteLinks(const ManagerData& m) {
  return feed::EffectiveRemoteLinks(m.remote_links, m.custom_links);
}
}  // namespace

CChooseRssDlg::CChooseRssDlg(ui::LinkDialogHost& host) : DialogBase(IDD_CHOOSE_RSS), host_(host) {}

LRESULT CChooseRssDlg::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&) {
  HWND combo = GetDlgItem(hwnd_, IDC_RSS_COMBO);
  const ManagerData& m = host_.Settings();
  // Inserting at the end by position keeps list order although the control sorts:
  // the n-th item must stay the n-th entry of the combined list.
  for (const NewsLink& link : ui::CombinedLinks(OfferedRemoteLinks(m), m.custom_links)) {
    LRESULT count = SendMessageW(combo, CB_GETCOUNT, 0, 0);
    SendMessageW(combo, CB_INSERTSTRING, static_cast<WPARAM>(count), reinterpret_cast<LPARAM>(as_wcstr(link.name)));
  }
  SendMessageW(combo, CB_SETCURSEL, 0, 0);
  return TRUE;
}

LRESULT CChooseRssDlg::OnCommand(UINT, WPARAM wParam, LPARAM, BOOL& handled) {
  switch (LOWORD(wParam)) {
    case IDOK: OnChoose(); return 0;
    case IDC_RSS_NEW: OnNewLink(); return 0;
    case IDCANCEL: EndDialog(IDCANCEL); return 0;
    default: handled = FALSE; return 0;
  }
}

void CChooseRssDlg::OnChoose() {
  // The lists are read again now; text typed into the edit field is not a choice.
  int index = static_cast<int>(SendDlgItemMessageW(hwnd_, IDC_RSS_COMBO, CB_GETCURSEL, 0, 0));
  const ManagerData& m = host_.Settings();
  result_ = ui::ChosenLink(OfferedRemoteLinks(m), m.custom_links, index);
  EndDialog(IDOK);
}

void CChooseRssDlg::OnNewLink() {
  ShowWindow(hwnd_, SW_HIDE);
  CInputRssDlg input(&host_);
  input.RefuseRepeatsOf(host_.Settings().custom_links);
  if (input.DoModal(hwnd_) == IDOK) {
    result_ = input.GetLink();
    // The new widget created for the result requests the save.
    host_.Settings().custom_links.push_back(result_);
    EndDialog(IDOK);
    return;
  }
  ShowWindow(hwnd_, SW_SHOW);
}
