// Small pieces the link dialogs share: reading a control's text.
#pragma once
#include <windows.h>

#include <string>

namespace ui {

// The whole text of a dialog control.
std::u16string GetControlText(HWND dialog, int id);

}  // namespace ui
