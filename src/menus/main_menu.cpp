#include "menus/main_menu.h"

#include "menus/menu_layout.h"
#include "ui/dpi.h"

namespace menus {

namespace {
MenuEntry Item(const char16_t* text, int command, int icon = 0, uint32_t flags = 0) {
  return MenuEntry{flags, text, command, icon, Submenu::kNone};
}
MenuEntry Separator() { return MenuEntry{kItemSeparator, u"", 0, 0, Submenu::kNone}; }
MenuEntry Popup(const char16_t* text, Submenu sub, int icon) {
  return MenuEntry{kItemPopup, text, -1, icon, sub};
}
}  // namespace

int IconIdFor(int icon, int dpi) {
  if (icon <= 0) return icon;
  switch (ui::NearestImageScale(dpi)) {
    case 200: return icon + 2000;
    case 150: return icon + 1000;
    default: return icon;
  }
}

std::vector<MenuEntry> OptionsMenuEntries() {
  return {Item(u"设置", kCmdSettings, kIconSettings), Separator(), Item(u"检查软件更新", kCmdCheckUpdate),
          Item(u"关于", kCmdAbout)};
}

std::vector<MenuEntry> ToolboxMenuEntries() {
  constexpr uint32_t kUnavailable = kItemGrayed | kItemDisabled;
  return {Item(u"桌面文件收集", kCmdDesktopFiles, kIconDesktopFiles, kUnavailable),
          Item(u"定时关机", kCmdShutdownTimer, kIconShutdownTimer, kUnavailable)};
}

std::vector<MenuEntry> TopMenuEntries() {
  return {Separator(), Popup(u"工具箱", Submenu::kToolbox, kIconToolbox),
          Popup(u"选项", Submenu::kOptions, kIconOptions), Item(u"退出", kCmdQuit)};
}

}  // namespace menus
