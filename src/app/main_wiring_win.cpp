#include "app/main_wiring_win.h"

#include "app/main_dlg_win.h"

namespace app {

// Each subsystem sets the hooks it serves; a hook left empty does nothing.
void InstallSubsystemHooks(CMainDlg& dlg) {
  auto& h = dlg.hooks();
  (void)h;
  // settings store: h.loadData, h.saveData
  // widgets: h.refreshAllWidgets, h.removeWidget
  // remote configuration: h.requestConfig, h.applyRemoteConfig, h.statisticsQuery
  // adverts: h.loadAdverts, h.runAdvertScheduler
  // update: h.checkForUpdate, h.showAbout, h.startDownload
  // menus: h.showMainMenu
}

}  // namespace app
