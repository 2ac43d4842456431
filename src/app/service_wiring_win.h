// Connects the main window to the maker's service: the remote configuration request and
// its apply step, the update check and download, and the about box.
#pragma once

namespace adverts {
class AdvertStore;
}

namespace app {
class CMainDlg;
// `advertStore` (may be null) takes the adverts and advert links of each configuration.
void InstallServiceHooks(CMainDlg& dlg, adverts::AdvertStore* advertStore = nullptr);
}  // namespace app
