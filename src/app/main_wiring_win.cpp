#include "app/main_wiring_win.h"

#include "app/app_win.h"
#include "app/main_dlg_win.h"
#include "framework/wstr_win.h"
#include "platform/text.h"
#include "store/data_store_win.h"
#include "store/statistics.h"

namespace app {

// Each subsystem sets the hooks it serves; a hook left empty does nothing.
void InstallSubsystemHooks(CMainDlg& dlg) {
  auto& h = dlg.hooks();
  // usage statistics: both copies of statistics.dat
  store::SetStatisticsFolders(store::GetDataFolder(), to_u16(AppFolder()));
  h.statisticsQuery = [] { return platform::U16ToUtf8(store::GetStatisticsQuery()); };
  // settings store: data.dat
  CNotesManager& manager = dlg.manager();
  manager.InstallWidgetSeam();
  // Nothing on screen would leave no way in: without a widget after loading, the first
  // one is made at once while there is no remote configuration request to wait for.
  h.loadData = [&dlg, &manager] {
    manager.LoadData();
    if (!dlg.hooks().requestConfig) manager.CreateFirstWidgetIfNone();
  };
  h.saveData = [&manager] { manager.SaveData(); };
  // remote configuration: h.requestConfig, h.applyRemoteConfig (which resets the statistics)
  // adverts: h.loadAdverts, h.runAdvertScheduler
  // update: h.checkForUpdate, h.showAbout, h.startDownload
  // menus: h.showMainMenu
}

}  // namespace app
