// The program's main menu, opened from the notification-area icon, and that icon.
#pragma once
#include <windows.h>

#include <map>

#include "framework/handles_win.h"
#include "menus/qmenu_win.h"

namespace menus {

// The notification-area icon's id and callback message (lParam: the mouse message).
constexpr UINT kTrayIconId = 99;
constexpr UINT kTrayCallbackMessage = WM_USER + 102;

// Adds (or, after Explorer restarted, adds again) icon 99 of `owner` with the program's
// icon and the tip "Dorvane". False when the shell refused it.
bool AddTrayIcon(HWND owner);
void RemoveTrayIcon(HWND owner);
// The message Explorer broadcasts when the taskbar is created anew.
UINT TaskbarCreatedMessage();

class MainMenu {
 public:
  MainMenu() = default;
  MainMenu(const MainMenu&) = delete;
  MainMenu& operator=(const MainMenu&) = delete;

  // Closes an open main menu, fills the three menus again and opens the top one at (x, y);
  // the chosen command reaches `owner` as WM_COMMAND.
  void Show(HWND owner, int x, int y);
  void Close();

  CQMenu& top() { return top_; }
  CQMenu& options() { return options_; }
  CQMenu& toolbox() { return toolbox_; }

 private:
  // A 16 x 16 premultiplied bitmap decoded from PNG resource `id`, kept for reuse.
  HBITMAP Icon(int id);

  std::map<int, fw::UniqueBitmap> icons_;  // outlives the menus that draw them
  CQMenu toolbox_;
  CQMenu options_;
  CQMenu top_;  // closed first: it closes its submenus
};

}  // namespace menus
