// The feed widget's menu: its entries (text, command, check and disabled state) and the
// meaning of each command. The window turns the entries into a system popup menu.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "model/manager_data.h"

namespace widgets {

// Command numbers of the menu.
constexpr int kCmdRemoveWidget = 4;
constexpr int kCmdRemoteFirst = 192;   // + index into the remote link list
constexpr int kCmdRemoteLast = 208;
constexpr int kCmdManageCustom = 257;
constexpr int kCmdAutoStart = 258;
constexpr int kCmdAddSubscription = 259;
constexpr int kCmdQuit = 260;
constexpr int kCmdCtrlClick = 261;
constexpr int kCmdAbout = 262;
constexpr int kCmdHelp = 263;
constexpr int kCmdRefreshNow = 264;
constexpr int kCmdImportOpml = 265;
constexpr int kCmdExportOpml = 266;
constexpr int kCmdCustomFirst = 512;   // + index into the custom link list
constexpr int kCmdCustomLast = 665;
constexpr int kCmdThemeFirst = 0x1080;  // + theme id - 1
constexpr int kCmdAlphaFirst = 0x2001;  // 100%, 80%, 60%, 40%, 20%
constexpr int kAlphaLevelCount = 5;
constexpr uint8_t kAlphaLevels[kAlphaLevelCount] = {255, 204, 153, 102, 51};
constexpr int kCmdIntervalFirst = 0x2101;  // + index into kIntervalChoices
struct IntervalChoice {
  int32_t seconds;  // 0: the default from the settings
  const char16_t* label;
};
// "刷新间隔": the default, then 5 minutes to a day.
constexpr int kIntervalChoiceCount = 8;
extern const IntervalChoice kIntervalChoices[kIntervalChoiceCount];

struct MenuNode {
  enum Kind { kItem, kSeparator, kSubmenu };
  Kind kind = kItem;
  std::u16string text;  // ready for a system menu: "&" doubled
  int command = 0;
  bool checked = false;
  bool disabled = false;
  std::vector<MenuNode> children;  // for kSubmenu
};

struct MenuState {
  const std::vector<NewsLink>* remoteLinks = nullptr;
  const std::vector<NewsLink>* customLinks = nullptr;
  std::u16string feedUrl;
  int themeId = 0;
  uint8_t alpha = 255;
  int32_t refreshInterval = 0;  // the widget's own, 0: the default
  int widgetCount = 0;
  bool autoStart = false;
  bool ctrlClick = false;
};

std::vector<MenuNode> BuildWidgetMenu(const MenuState& state);
// The transparency level (index into kAlphaLevels) nearest to `alpha`: the one the menu
// ticks, also for an opacity that is none of the levels (the default 200 ticks "80%").
int NearestAlphaLevel(int alpha);

// What a chosen command means.
struct MenuAction {
  enum Kind {
    kNone,
    kSwitchFeed,     // url
    kManageCustomLinks,
    kApplyTheme,     // value: theme id
    kSetAlpha,       // value: alpha
    kSetInterval,    // value: the widget's refresh interval in seconds, 0: the default
    kAddSubscription,
    kRemoveWidget,
    kToggleAutoStart,
    kToggleCtrlClick,
    kAbout,
    kHelp,
    kRefreshNow,     // fetch this widget's feed now, reporting failures
    kImportOpml,     // an OPML file's feeds into the custom links
    kExportOpml,     // every subscription to an OPML file
    kQuit,
  };
  Kind kind = kNone;
  int value = 0;
  std::u16string url;
};
// A link command whose index lies beyond its list does nothing (kNone).
MenuAction DecodeMenuCommand(int command, const std::vector<NewsLink>& remoteLinks,
                             const std::vector<NewsLink>& customLinks);

}  // namespace widgets
