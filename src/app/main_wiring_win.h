// Connects the main window to the subsystems that serve it (settings store, widgets,
// remote configuration, adverts, update). The program calls this before creating the
// main window; tests leave it out and set their own hooks.
#pragma once

namespace app {
class CMainDlg;
void InstallSubsystemHooks(CMainDlg& dlg);
}  // namespace app
