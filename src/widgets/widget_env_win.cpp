#include "widgets/widget_env_win.h"

#include "app/main_dlg_win.h"

namespace widgets {

CNotesManager* Manager() { return app::CMainDlg::Instance(); }

void ScheduleSave(UINT ms) {
  if (auto* dlg = app::CMainDlg::Instance()) dlg->ScheduleSave(ms);
}

HWND MainWindow() {
  auto* dlg = app::CMainDlg::Instance();
  return dlg ? dlg->hwnd() : nullptr;
}

WidgetHooks& GetWidgetHooks() {
  static WidgetHooks hooks;
  return hooks;
}

}  // namespace widgets
