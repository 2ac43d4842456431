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
}

namespace app {
class CMainDlg;

// What the composition root owns for the main window's lifetime.
struct Subsystems {
  store::DataStore* data = nullptr;       // data.dat
  platform::WriteQueue* writes = nullptr;  // where the stores' files are written
  adverts::AdvertStore* adverts = nullptr;  // adv\config.dat and the waiting adverts
};

void InstallSubsystemHooks(CMainDlg& dlg, const Subsystems& subsystems);
}  // namespace app
