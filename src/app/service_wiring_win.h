// Connects the main window to the maker's service: the remote configuration request and
// its apply step, the update check and download, and the about box.
#pragma once

namespace app {
class CMainDlg;
void InstallServiceHooks(CMainDlg& dlg);
}  // namespace app
