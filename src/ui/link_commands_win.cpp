#include "ui/link_commands_win.h"

#include "ui/choose_rss_dlg_win.h"
#include "ui/custom_dlg_win.h"

namespace ui {

void ManageCustomLinks(HWND owner, LinkDialogHost& host) {
  CCustomDlg dlg(host);
  dlg.SetLinks(host.Settings().custom_links);
  if (dlg.DoModal(owner) == IDOK) host.Settings().custom_links = dlg.GetLinks();
}

bool ChooseSubscription(HWND owner, LinkDialogHost& host, std::u16string* url) {
  CChooseRssDlg dlg(host);
  if (dlg.DoModal(owner) != IDOK) return false;
  *url = dlg.GetLink().url;
  return true;
}

}  // namespace ui
