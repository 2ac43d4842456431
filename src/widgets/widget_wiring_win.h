// Connects the widgets to the main window: the store's seam, the periodic silent refresh
// (timer 4), removal from a widget's menu (WM_USER+100), and the first widget of an
// installation that has none.
#pragma once

namespace app {
class CMainDlg;
}

namespace widgets {

// Call after the settings store has set its hooks: it wraps the loading hook.
void InstallWidgetHooks(app::CMainDlg& dlg);

}  // namespace widgets
