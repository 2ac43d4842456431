// The widget menu's two link commands, each running its dialog modally over the widget:
// "管理自定义链接" (the custom links dialog on the host's custom list) and "新增订阅"
// (the subscription choice).
#pragma once
#include <windows.h>

#include <string>

#include "ui/link_dialogs.h"

namespace ui {

// Runs the custom links dialog on a copy of the custom list; on Enter the list becomes
// the dialog's (its changes were applied as they were made in any case).
void ManageCustomLinks(HWND owner, LinkDialogHost& host);
// Runs the subscription choice; true when confirmed, with the chosen link's address
// (empty when nothing valid was chosen) in `url`.
bool ChooseSubscription(HWND owner, LinkDialogHost& host, std::u16string* url);

}  // namespace ui
