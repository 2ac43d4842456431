// Connects the main window to the subsystems that serve it (settings store, widgets,
// remote configuration, adverts, update). The program calls this before creating the
// main window; tests leave it out and set their own hooks.
#pragma once

namespace platform {
class WriteQueue;
}
namespace store {
class DataStore;
}
namespace adverts {
class AdvertStore;
class CAdvPopupWnd;
}
namespace feed {
class FeedRefresher;
}

namespace app {
class CMainDlg;

// What the composition root owns for the main window's lifetime.
struct Subsystems {
  store::DataStore* data = nullptr;       // data.dat
  platform::WriteQueue* writes = nullptr;  // where the stores' files are written
  adverts::AdvertStore* adverts = nullptr;  // adv\config.dat and the waiting adverts
  adverts::CAdvPopupWnd* advertPopup = nullptr;  // shows the adverts that are due
  feed::FeedRefresher* feeds = nullptr;           // every widget's refreshes
};

void InstallSubsystemHooks(CMainDlg& dlg, const Subsystems& subsystems);
}  // namespace app
