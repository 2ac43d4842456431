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

// The popup that due adverts go to, one at a time.
struct AdvertScreen {
  // Puts an advert on the screen; false when it could not be shown.
  std::function<bool(const AdvertRecord&)> show;
  // Whether an advert is on the screen (or loading its page) still.
  std::function<bool()> isOpen;
};

// Due adverts wait until the popup is free; without `screen.show` they are retired unseen.
void InstallAdvertHooks(CMainDlg& dlg, adverts::AdvertStore* store, AdvertScreen screen = {});

}  // namespace app
