#include "app/advert_wiring_win.h"

#include <memory>

#include "adverts/adv_popup_state.h"
#include "adverts/advert_store.h"
#include "app/app_win.h"
#include "app/main_dlg_win.h"
#include "platform/clock.h"

namespace app {

void InstallAdvertHooks(CMainDlg& dlg, adverts::AdvertStore* store, AdvertScreen screen) {
  if (!store) return;
  auto& h = dlg.hooks();
  h.loadAdverts = [store] { store->Load(); };
  auto due = std::make_shared<adverts::DueAdverts>();
  h.runAdvertScheduler = [&dlg, store, screen, due] {
    adverts::SchedulerHost host;
    host.now = platform::NowUnixSeconds();
    host.usecount = dlg.manager().usecount;
    host.siblingRunning = IsSiblingNotesRunning;
    if (screen.show) host.show = [due](const AdvertRecord& a) { due->Add(a); };
    store->RunAdvertScheduler(host);
    due->ShowNext(screen.isOpen && screen.isOpen(), screen.show);
  };
}

}  // namespace app
