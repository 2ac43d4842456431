// The widget menu's OPML commands with their windows: the system's save and open file
// dialogs choose the file, a message box tells the outcome. The dialogs sit behind
// OpmlDialogs so that tests drive the commands without them.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "ui/link_dialogs.h"
#include "ui/opml_transfer.h"

namespace ui {

class OpmlDialogs {
 public:
  virtual ~OpmlDialogs() = default;
  // The file to export to / import from; false when the user cancelled.
  virtual bool ChooseExportFile(HWND owner, std::u16string* path) = 0;
  virtual bool ChooseImportFile(HWND owner, std::u16string* path) = 0;
  virtual void Tell(HWND owner, const TransferOutcome& outcome) = 0;
};

// GetSaveFileNameW, GetOpenFileNameW and MessageBoxW.
OpmlDialogs& SystemOpmlDialogs();

// "导出订阅": every widget's feed (see SubscriptionsToExport) and the custom links, to a
// file the user chooses.
void ExportSubscriptionsCommand(HWND owner, const std::vector<NewsLink>& widgetFeeds,
                                const std::vector<NewsLink>& offered, LinkDialogHost& host, OpmlDialogs& dialogs);
// "导入订阅": a file's feeds into the custom links.
void ImportSubscriptionsCommand(HWND owner, LinkDialogHost& host, OpmlDialogs& dialogs);

}  // namespace ui
