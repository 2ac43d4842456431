#include "ui/link_commands_win.h"

#include "store/statistics.h"
#include "ui/choose_rss_dlg_win.h"
#include "ui/custom_dlg_win.h"
#include "ui/dialog_util_win.h"
#include "widgets/widget_env_win.h"

namespace ui {

void ManageCustomLinks(HWND owner) {
  ManagerData* manager = MainWindowManager();
  if (!manager) return;
  CCustomDlg dlg(manager);
  dlg.SetLinks(manager->custom_links);
  if (dlg.DoModal(owner) == IDOK) manager->custom_links = dlg.GetLinks();
}

bool ChooseSubscription(HWND owner, std::u16string* url) {
  CChooseRssDlg dlg;
  if (dlg.DoModal(owner) != IDOK) return false;
  *url = dlg.GetLink().url;
  return true;
}

void InstallWidgetLinkHooks() {
  auto& hooks = widgets::GetWidgetHooks();
  hooks.chooseSubscription = &ChooseSubscription;
  hooks.manageCustomLinks = &ManageCustomLinks;
  hooks.countEvent = [](int event) { store::CountEvent(event); };
}

}  // namespace ui
