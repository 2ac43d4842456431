#include "app/advert_wiring_win.h"

#include "adverts/advert_store.h"
#include "app/app_win.h"
#include "app/main_dlg_win.h"
#include "platform/clock.h"

namespace app {

void InstallAdvertHooks(CMainDlg& dlg, adverts::AdvertStore* store, std::function<void(const AdvertRecord&)> show) {
  if (!store) return;
  auto& h = dlg.hooks();
  h.loadAdverts = [store] { store->Load(); };
  h.runAdvertScheduler = [&dlg, store, show] {
    adverts::SchedulerHost host;
    host.now = platform::NowUnixSeconds();
    host.usecount = dlg.manager().usecount;
    host.siblingRunning = IsSiblingNotesRunning;
    host.show = show;
    store->RunAdvertScheduler(host);
  };
}

}  // namespace app
