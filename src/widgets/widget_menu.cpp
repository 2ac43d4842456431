#include "widgets/widget_menu.h"

#include <cstdlib>

#include "ui/opml_transfer.h"
#include "widgets/widget_theme.h"

namespace widgets {

static_assert(kCmdCustomLast - kCmdCustomFirst + 1 == static_cast<int>(ui::kMaxCustomLinks),
              "an import never adds links the menu cannot offer");

namespace {

// "&" marks a mnemonic in a system menu: a link name keeps its ampersands as text.
std::u16string MenuText(const std::u16string& s) {
  std::u16string out;
  for (char16_t c : s) {
    if (c == u'&') out.push_back(u'&');
    if (c == u'\t') {
      out.push_back(u' ');  // a tab would start an accelerator column
      continue;
    }
    out.push_back(c);
  }
  return out;
}

MenuNode Item(const std::u16string& text, int command, bool checked = false, bool disabled = false) {
  MenuNode n;
  n.text = text;
  n.command = command;
  n.checked = checked;
  n.disabled = disabled;
  return n;
}

MenuNode Separator() {
  MenuNode n;
  n.kind = MenuNode::kSeparator;
  return n;
}

MenuNode Submenu(const std::u16string& text, std::vector<MenuNode> children) {
  MenuNode n;
  n.kind = MenuNode::kSubmenu;
  n.text = text;
  n.children = std::move(children);
  return n;
}

// Menu texts of the themes in menu order, and the alpha levels.
constexpr int kThemeMenuOrder[kThemeCount] = {2, 1, 3, 4, 5, 6};
const char16_t* const kAlphaNames[kAlphaLevelCount] = {u"100%", u"80%", u"60%", u"40%", u"20%"};

void AppendLinks(std::vector<MenuNode>* out, const std::vector<NewsLink>* links, int first, int last,
                 const std::u16string& feedUrl) {
  if (!links) return;
  for (size_t i = 0; i < links->size() && first + static_cast<int>(i) <= last; ++i) {
    const NewsLink& e = (*links)[i];
    out->push_back(Item(MenuText(e.name), first + static_cast<int>(i), e.url == feedUrl));
  }
}

}  // namespace

const IntervalChoice kIntervalChoices[kIntervalChoiceCount] = {
    {0, u"默认"},          {5 * 60, u"5 分钟"},   {15 * 60, u"15 分钟"}, {30 * 60, u"30 分钟"},
    {3600, u"1 小时"},     {2 * 3600, u"2 小时"}, {6 * 3600, u"6 小时"}, {24 * 3600, u"1 天"}};

int NearestAlphaLevel(int alpha) {
  int best = 0;
  for (int i = 1; i < kAlphaLevelCount; ++i)
    if (std::abs(kAlphaLevels[i] - alpha) < std::abs(kAlphaLevels[best] - alpha)) best = i;
  return best;
}

std::vector<MenuNode> BuildWidgetMenu(const MenuState& s) {
  std::vector<MenuNode> subscribe;
  AppendLinks(&subscribe, s.remoteLinks, kCmdRemoteFirst, kCmdRemoteLast, s.feedUrl);
  AppendLinks(&subscribe, s.customLinks, kCmdCustomFirst, kCmdCustomLast, s.feedUrl);
  subscribe.push_back(Separator());
  subscribe.push_back(Item(u"管理自定义链接", kCmdManageCustom));
  subscribe.push_back(Item(u"导入订阅列表(OPML)...", kCmdImportOpml));
  subscribe.push_back(Item(u"导出订阅列表(OPML)...", kCmdExportOpml));

  std::vector<MenuNode> colours;
  for (int id : kThemeMenuOrder)
    colours.push_back(Item(FindTheme(id)->menuName, kCmdThemeFirst + id - 1, id == s.themeId));

  std::vector<MenuNode> alphas;
  for (int i = 0; i < kAlphaLevelCount; ++i)
    alphas.push_back(Item(kAlphaNames[i], kCmdAlphaFirst + i, i == NearestAlphaLevel(s.alpha)));

  std::vector<MenuNode> intervals;
  for (int i = 0; i < kIntervalChoiceCount; ++i)
    intervals.push_back(Item(kIntervalChoices[i].label, kCmdIntervalFirst + i,
                             kIntervalChoices[i].seconds == s.refreshInterval));

  std::vector<MenuNode> options;
  options.push_back(Item(u"开机启动", kCmdAutoStart, s.autoStart));
  options.push_back(Item(u"Ctrl+左键打开链接", kCmdCtrlClick, s.ctrlClick));
  options.push_back(Item(u"关于", kCmdAbout));

  std::vector<MenuNode> menu;
  menu.push_back(Submenu(u"订阅", std::move(subscribe)));
  menu.push_back(Separator());
  menu.push_back(Submenu(u"背景色", std::move(colours)));
  menu.push_back(Submenu(u"透明度", std::move(alphas)));
  menu.push_back(Submenu(u"刷新间隔", std::move(intervals)));
  menu.push_back(Separator());
  menu.push_back(Item(u"新增订阅", kCmdAddSubscription));
  menu.push_back(Item(u"取消订阅", kCmdRemoveWidget, false, s.widgetCount < 2));
  menu.push_back(Item(u"立即刷新", kCmdRefreshNow));
  menu.push_back(Separator());
  menu.push_back(Submenu(u"选项", std::move(options)));
  menu.push_back(Item(u"使用说明", kCmdHelp));
  menu.push_back(Separator());
  menu.push_back(Item(u"退出软件", kCmdQuit));
  return menu;
}

MenuAction DecodeMenuCommand(int command, const std::vector<NewsLink>& remoteLinks,
                             const std::vector<NewsLink>& customLinks) {
  MenuAction a;
  auto link = [&](const std::vector<NewsLink>& list, int index) {
    if (index >= 0 && static_cast<size_t>(index) < list.size()) {
      a.kind = MenuAction::kSwitchFeed;
      a.url = list[index].url;
    }
  };
  if (command >= kCmdRemoteFirst && command <= kCmdRemoteLast) {
    link(remoteLinks, command - kCmdRemoteFirst);
  } else if (command >= kCmdCustomFirst && command <= kCmdCustomLast) {
    link(customLinks, command - kCmdCustomFirst);
  } else if (command >= kCmdThemeFirst && command < kCmdThemeFirst + kThemeCount) {
    a.kind = MenuAction::kApplyTheme;
    a.value = command - kCmdThemeFirst + 1;
  } else if (command >= kCmdAlphaFirst && command < kCmdAlphaFirst + kAlphaLevelCount) {
    a.kind = MenuAction::kSetAlpha;
    a.value = kAlphaLevels[command - kCmdAlphaFirst];
  } else if (command >= kCmdIntervalFirst && command < kCmdIntervalFirst + kIntervalChoiceCount) {
    a.kind = MenuAction::kSetInterval;
    a.value = kIntervalChoices[command - kCmdIntervalFirst].seconds;
  } else {
    switch (command) {
      case kCmdManageCustom: a.kind = MenuAction::kManageCustomLinks; break;
      case kCmdAddSubscription: a.kind = MenuAction::kAddSubscription; break;
      case kCmdRemoveWidget: a.kind = MenuAction::kRemoveWidget; break;
      case kCmdAutoStart: a.kind = MenuAction::kToggleAutoStart; break;
      case kCmdCtrlClick: a.kind = MenuAction::kToggleCtrlClick; break;
      case kCmdAbout: a.kind = MenuAction::kAbout; break;
      case kCmdHelp: a.kind = MenuAction::kHelp; break;
      case kCmdRefreshNow: a.kind = MenuAction::kRefreshNow; break;
      case kCmdImportOpml: a.kind = MenuAction::kImportOpml; break;
      case kCmdExportOpml: a.kind = MenuAction::kExportOpml; break;
      case kCmdQuit: a.kind = MenuAction::kQuit; break;
      default: break;
    }
  }
  return a;
}

}  // namespace widgets
