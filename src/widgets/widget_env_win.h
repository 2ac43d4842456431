// How widgets reach the rest of the program: the manager and the deferred save of the
// main window, and the hooks through which later subsystems (subscription dialogs, usage
// statistics) take part in the widget menu and link clicks.
#pragma once
#include <windows.h>

#include <functional>
#include <string>

class CNotesManager;

namespace widgets {

constexpr UINT kSaveDelay = 1000;
constexpr UINT kSaveDelayAfterResize = 2000;

// The manager of this process (the main window's last base), or null when no main window
// object exists (some tests).
CNotesManager* Manager();
// Restarts the main window's save timer; nothing without a main window.
void ScheduleSave(UINT ms);
// The main window's handle, or null.
HWND MainWindow();

struct WidgetHooks {
  // "新增订阅": runs the subscription dialog modally over `owner`; true when the user
  // confirmed, with the chosen feed address in *url (empty: keep the widget's own).
  std::function<bool(HWND owner, std::u16string* url)> chooseSubscription;
  // "管理自定义链接": runs the custom links dialog modally over `owner`; on OK it
  // replaces the manager's custom link list.
  std::function<void(HWND owner)> manageCustomLinks;
  // Counts a usage event in the statistics (a link opened from a widget counts event 1).
  std::function<void(int event)> countEvent;
};
WidgetHooks& GetWidgetHooks();

}  // namespace widgets
