// The main menu of the notification-area icon, as data: what the top menu and its two
// submenus hold and which command each entry sends to the main window.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace menus {

// Commands the main menu sends to the main window.
constexpr int kCmdSettings = 29;
constexpr int kCmdShutdownTimer = 4098;
constexpr int kCmdDesktopFiles = 4099;
constexpr int kCmdCheckUpdate = 4102;
constexpr int kCmdAbout = 4103;
constexpr int kCmdQuit = 2;

// Icons of the entries (16 x 16 PNG resources).
constexpr int kIconSettings = 341;
constexpr int kIconToolbox = 344;
constexpr int kIconOptions = 345;
constexpr int kIconDesktopFiles = 347;
constexpr int kIconShutdownTimer = 348;

// The resource id of `icon` drawn for a monitor of `dpi`: the 1x id, or the same icon
// drawn at 1.5x (id + 1000) or 2x (id + 2000), whichever is nearest to the monitor's scale.
int IconIdFor(int icon, int dpi);

enum class Submenu { kNone, kToolbox, kOptions };

struct MenuEntry {
  uint32_t flags = 0;       // kItem... flags
  std::u16string text;      // empty for separators
  int command = 0;          // -1 for an entry that opens a submenu
  int icon = 0;             // resource id, 0 for none
  Submenu submenu = Submenu::kNone;
};

// "选项": 设置, separator, 检查软件更新, 关于.
std::vector<MenuEntry> OptionsMenuEntries();
// "工具箱": 桌面文件收集 and 定时关机, which this program does not offer: shown greyed.
std::vector<MenuEntry> ToolboxMenuEntries();
// The top menu: separator, 工具箱 ▸, 选项 ▸, 退出.
std::vector<MenuEntry> TopMenuEntries();

}  // namespace menus
