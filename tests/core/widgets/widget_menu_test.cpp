#include "widgets/widget_menu.h"

#include <gtest/gtest.h>

#include "feed/default_feeds.h"

namespace widgets {
namespace {

const MenuNode* Find(const std::vector<MenuNode>& nodes, const std::u16string& text) {
  for (const MenuNode& n : nodes) {
    if (n.text == text) return &n;
    if (const MenuNode* c = Find(n.children, text)) return c;
  }
  return nullptr;
}

TEST(WidgetMenu, EntriesChecksAndDisabledState) {
  std::vector<NewsLink> remote = {{u"新闻", u"http://r/1"}, {u"A&B", u"http://r/2"}};
  std::vector<NewsLink> custom = {{u"我的", u"http://c/1"}};
  MenuState s;
  s.remoteLinks = &remote;
  s.customLinks = &custom;
  s.feedUrl = u"http://c/1";
  s.themeId = 2;
  s.alpha = 153;
  s.widgetCount = 1;
  s.ctrlClick = true;
  auto menu = BuildWidgetMenu(s);

  ASSERT_EQ(menu.size(), 14u);
  EXPECT_EQ(menu[0].text, u"订阅");
  const auto& sub = menu[0].children;
  ASSERT_EQ(sub.size(), 7u);
  EXPECT_EQ(sub[0].command, 192);
  EXPECT_EQ(sub[1].text, u"A&&B");  // shown as "A&B"
  EXPECT_EQ(sub[2].command, 512);
  EXPECT_TRUE(sub[2].checked);
  EXPECT_FALSE(sub[0].checked);
  EXPECT_EQ(sub[3].kind, MenuNode::kSeparator);
  EXPECT_EQ(sub[4].command, kCmdManageCustom);
  EXPECT_EQ(sub[5].command, kCmdImportOpml);
  EXPECT_EQ(sub[6].command, kCmdExportOpml);

  EXPECT_TRUE(Find(menu, u"绿色")->checked);
  EXPECT_EQ(Find(menu, u"绿色")->command, 0x1081);
  EXPECT_EQ(Find(menu, u"粉红")->command, 0x1080);
  EXPECT_EQ(Find(menu, u"蓝色")->command, 0x1085);
  EXPECT_TRUE(Find(menu, u"60%")->checked);
  EXPECT_FALSE(Find(menu, u"100%")->checked);
  EXPECT_TRUE(Find(menu, u"取消订阅")->disabled);  // the last widget cannot be removed
  EXPECT_TRUE(Find(menu, u"Ctrl+左键打开链接")->checked);
  EXPECT_FALSE(Find(menu, u"开机启动")->checked);
  EXPECT_EQ(Find(menu, u"立即刷新")->command, kCmdRefreshNow);
  EXPECT_FALSE(Find(menu, u"立即刷新")->disabled);
  EXPECT_EQ(menu.back().text, u"退出软件");
  EXPECT_EQ(menu.back().command, kCmdQuit);

  s.widgetCount = 2;
  EXPECT_FALSE(Find(BuildWidgetMenu(s), u"取消订阅")->disabled);
}

TEST(WidgetMenu, TheRefreshIntervalSubmenuTicksTheWidgetsOwnAndDecodes) {
  MenuState s;
  const auto defaults = BuildWidgetMenu(s);
  const MenuNode* sub = Find(defaults, u"刷新间隔");
  ASSERT_NE(sub, nullptr);
  ASSERT_EQ(sub->kind, MenuNode::kSubmenu);
  std::vector<std::u16string> labels;
  for (const MenuNode& n : sub->children) labels.push_back(n.text);
  EXPECT_EQ(labels, (std::vector<std::u16string>{u"默认", u"5 分钟", u"15 分钟", u"30 分钟", u"1 小时", u"2 小时",
                                                  u"6 小时", u"1 天"}));
  EXPECT_TRUE(sub->children[0].checked);  // a widget without one of its own follows the settings
  s.refreshInterval = 3600;
  auto menu = BuildWidgetMenu(s);
  EXPECT_TRUE(Find(menu, u"1 小时")->checked);
  EXPECT_FALSE(Find(menu, u"默认")->checked);
  const std::vector<NewsLink> none;
  MenuAction a = DecodeMenuCommand(Find(menu, u"5 分钟")->command, none, none);
  EXPECT_EQ(a.kind, MenuAction::kSetInterval);
  EXPECT_EQ(a.value, 300);
  a = DecodeMenuCommand(Find(menu, u"默认")->command, none, none);
  EXPECT_EQ(a.kind, MenuAction::kSetInterval);
  EXPECT_EQ(a.value, 0);
  EXPECT_EQ(DecodeMenuCommand(Find(menu, u"1 天")->command, none, none).value, 86400);
  EXPECT_EQ(DecodeMenuCommand(kCmdIntervalFirst + kIntervalChoiceCount, none, none).kind, MenuAction::kNone);
}

TEST(WidgetMenu, TheNearestTransparencyLevelIsTicked) {
  MenuState s;
  s.alpha = 200;  // a new widget's opacity: no level exactly
  auto menu = BuildWidgetMenu(s);
  EXPECT_TRUE(Find(menu, u"80%")->checked);
  int ticked = 0;
  for (const char16_t* name : {u"100%", u"80%", u"60%", u"40%", u"20%"}) ticked += Find(menu, name)->checked;
  EXPECT_EQ(ticked, 1);
  EXPECT_EQ(NearestAlphaLevel(255), 0);
  EXPECT_EQ(NearestAlphaLevel(230), 0);
  EXPECT_EQ(NearestAlphaLevel(229), 1);
  EXPECT_EQ(NearestAlphaLevel(0), 4);
  EXPECT_EQ(NearestAlphaLevel(51), 4);
}

TEST(WidgetMenu, LongListsStopAtTheirCommandRange) {
  std::vector<NewsLink> remote(40, {u"r", u"http://r/"});
  std::vector<NewsLink> custom(200, {u"c", u"http://c/"});
  MenuState s;
  s.remoteLinks = &remote;
  s.customLinks = &custom;
  auto sub = BuildWidgetMenu(s)[0].children;
  EXPECT_EQ(sub.size(), 17u + 154u + 4u);  // never reaches the ids of other commands
  EXPECT_EQ(sub[16].command, kCmdRemoteLast);
  EXPECT_EQ(sub[17 + 153].command, kCmdCustomLast);
}

TEST(WidgetMenu, CommandsDecode) {
  std::vector<NewsLink> remote = {{u"r0", u"http://r/0"}};
  std::vector<NewsLink> custom = {{u"c0", u"http://c/0"}, {u"c1", u"http://c/1"}};
  auto a = DecodeMenuCommand(192, remote, custom);
  EXPECT_EQ(a.kind, MenuAction::kSwitchFeed);
  EXPECT_EQ(a.url, u"http://r/0");
  EXPECT_EQ(DecodeMenuCommand(193, remote, custom).kind, MenuAction::kNone);  // beyond the list
  EXPECT_EQ(DecodeMenuCommand(513, remote, custom).url, u"http://c/1");
  EXPECT_EQ(DecodeMenuCommand(514, remote, custom).kind, MenuAction::kNone);
  EXPECT_EQ(DecodeMenuCommand(0x1081, remote, custom).value, 2);
  EXPECT_EQ(DecodeMenuCommand(0x1080, remote, custom).value, 1);
  EXPECT_EQ(DecodeMenuCommand(0x1086, remote, custom).kind, MenuAction::kNone);
  EXPECT_EQ(DecodeMenuCommand(0x2001, remote, custom).value, 255);
  EXPECT_EQ(DecodeMenuCommand(0x2005, remote, custom).value, 51);
  EXPECT_EQ(DecodeMenuCommand(4, remote, custom).kind, MenuAction::kRemoveWidget);
  EXPECT_EQ(DecodeMenuCommand(257, remote, custom).kind, MenuAction::kManageCustomLinks);
  EXPECT_EQ(DecodeMenuCommand(259, remote, custom).kind, MenuAction::kAddSubscription);
  EXPECT_EQ(DecodeMenuCommand(260, remote, custom).kind, MenuAction::kQuit);
  EXPECT_EQ(DecodeMenuCommand(264, remote, custom).kind, MenuAction::kRefreshNow);
  EXPECT_EQ(DecodeMenuCommand(265, remote, custom).kind, MenuAction::kImportOpml);
  EXPECT_EQ(DecodeMenuCommand(266, remote, custom).kind, MenuAction::kExportOpml);
  EXPECT_EQ(DecodeMenuCommand(0, remote, custom).kind, MenuAction::kNone);
}

TEST(DefaultFeeds, StandInUntilAListArrives) {
  std::vector<NewsLink> none;
  auto builtIn = feed::EffectiveRemoteLinks(none, none);
  ASSERT_FALSE(builtIn.empty());
  for (const auto& e : builtIn) {
    // Public https feeds, or in a test build whose list was replaced, loopback ones.
    EXPECT_TRUE(e.url.rfind(u"https://", 0) == 0 || e.url.rfind(u"http://127.0.0.1:", 0) == 0) << e.url.size();
    EXPECT_FALSE(e.name.empty());
  }
  // A built-in feed the user already has as a custom link is not offered twice.
  std::vector<NewsLink> custom = {{u"mine", builtIn[0].url}};
  auto filtered = feed::EffectiveRemoteLinks(none, custom);
  EXPECT_EQ(filtered.size(), builtIn.size() - 1);
  EXPECT_EQ(filtered[0].url, builtIn[1].url);
  std::vector<NewsLink> remote = {{u"r", u"http://r/"}};
  EXPECT_EQ(feed::EffectiveRemoteLinks(remote, custom).size(), 1u);
}

}  // namespace
}  // namespace widgets
