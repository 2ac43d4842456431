#include "widgets/widget_wiring_win.h"

#include "app/main_dlg_win.h"
#include "widgets/news_notes_win.h"

namespace widgets {

void InstallWidgetHooks(app::CMainDlg& dlg) {
  auto& h = dlg.hooks();
  h.refreshAllWidgets = [&dlg] { dlg.RefreshAllWidgets(); };
  h.removeWidget = [&dlg](LPARAM widget) { dlg.RemoveWidget(reinterpret_cast<CNewsNotes*>(widget)); };
  // Nothing on screen would leave no way in: without a widget after loading, the first
  // one is made at once while there is no remote configuration request to wait for.
  auto load = h.loadData;
  h.loadData = [&dlg, load] {
    if (load) load();
    if (!dlg.hooks().requestConfig) dlg.CreateFirstWidgetIfNone();
  };
}

}  // namespace widgets
