// Connects the main window to the advert store: loading it at start-up and running its
// scheduler from the one-second tick.
#pragma once
#include <functional>

#include "model/advert_record.h"

namespace adverts {
class AdvertStore;
}

namespace app {
class CMainDlg;

// `show` puts a due advert on the screen; without one, due adverts are retired unseen.
void InstallAdvertHooks(CMainDlg& dlg, adverts::AdvertStore* store,
                        std::function<void(const AdvertRecord&)> show = {});

}  // namespace app
