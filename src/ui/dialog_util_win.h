// Small pieces the link dialogs share: reading a control's text, and reaching the
// widget manager and the deferred save of the main window.
#pragma once
#include <windows.h>

#include <string>

struct ManagerData;

namespace ui {

// The whole text of a dialog control.
std::u16string GetControlText(HWND dialog, int id);
// The link lists of the one main window, or null before it exists.
ManagerData* MainWindowManager();
// Asks the main window to save one second from now (nothing when there is none).
void ScheduleMainWindowSave();

}  // namespace ui
