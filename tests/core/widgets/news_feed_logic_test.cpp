#include "widgets/news_feed_logic.h"

#include <gtest/gtest.h>

namespace widgets {
namespace {

// Records what the widget asked its window to do. Titles measure 7 pixels per unit;
// the engine's content height is 20 pixels per line.
class FakeHost : public NewsFeedHost {
 public:
  bool StartRetrieval(const std::u16string& url) override {
    started.push_back(url);
    return startOk;
  }
  int MeasureTitle(const std::u16string& t) override { return 7 * static_cast<int>(t.size()); }
  int CurrentHeight() override { return height; }
  void ResizeTo(int w, int h) override {
    resizes.push_back({w, h});
    width = w;
    height = h;
  }
  void SetContent(const std::u16string& html) override {
    content = html;
    ++saves;  // the window's SetContent schedules a save
    lines = 0;
    for (size_t p = 0; (p = html.find(u"\r\n", p)) != std::u16string::npos; p += 2) ++lines;
  }
  int ContentHeight() override { return lines * 20; }
  void ShowFailureToast(const std::u16string& text) override { toasts.push_back(text); }
  void Repaint() override { ++repaints; }

  bool startOk = true;
  std::vector<std::u16string> started, toasts;
  std::vector<std::pair<int, int>> resizes;
  std::u16string content;
  int width = 200, height = 200, lines = 0, saves = 0, repaints = 0;
};

std::vector<NewsItem> Items(int n, const std::u16string& prefix = u"标题") {
  std::vector<NewsItem> v;
  for (int i = 0; i < n; ++i) v.push_back({prefix + std::u16string(1, u'0' + (i % 10)), u"http://f/" + std::u16string(1, u'a' + i)});
  return v;
}

TEST(NewsFeedLogic, RefreshStartsOneRetrievalAndAbsorbsMore) {
  FakeHost host;
  NewsFeedLogic logic(&host);
  logic.Refresh(u"", false);
  EXPECT_TRUE(host.started.empty());  // no address: nothing, no caption
  EXPECT_FALSE(logic.refreshing());

  logic.Refresh(u"http://f/rss?id=2", false);
  ASSERT_EQ(host.started.size(), 1u);
  EXPECT_EQ(host.started[0], u"http://f/rss?id=2&refresh=1");
  EXPECT_TRUE(logic.refreshing());
  logic.Refresh(u"http://f/rss?id=2", true);  // absorbed, but it is now silent
  EXPECT_EQ(host.started.size(), 1u);
  EXPECT_TRUE(logic.silent());

  logic.OnResult(-3, nullptr, u"", u"");
  EXPECT_FALSE(logic.refreshing());
  EXPECT_TRUE(host.toasts.empty());  // a silent refresh fails quietly

  host.startOk = false;  // the worker could not start: not refreshing
  logic.Refresh(u"http://f/rss", false);
  EXPECT_FALSE(logic.refreshing());
}

TEST(NewsFeedLogic, TwentyFiveItemsShowTenPlusTheAdvert) {
  FakeHost host;
  NewsFeedLogic logic(&host);
  auto items = Items(25);
  logic.Refresh(u"http://f/rss", false);
  logic.OnResult(25, items.data(), u"推广", u"http://ad/");
  ASSERT_EQ(logic.items().size(), 11u);
  EXPECT_EQ(logic.items()[10].link, u"http://ad/");
  EXPECT_EQ(host.lines, 11);
  EXPECT_EQ(host.content, logic.lastHtml());
  // Width from the widest title (3 units * 7 = 21 -> 250), height from 11 lines.
  ASSERT_EQ(host.resizes.size(), 2u);
  EXPECT_EQ(host.resizes[0], std::make_pair(250, 200));
  EXPECT_EQ(host.resizes[1], std::make_pair(250, 11 * 20 + 60));
}

TEST(NewsFeedLogic, IdenticalResultChangesNothing) {
  FakeHost host;
  NewsFeedLogic logic(&host);
  auto items = Items(3);
  logic.OnResult(3, items.data(), u"", u"");
  int saves = host.saves;
  size_t resizes = host.resizes.size();
  logic.Refresh(u"http://f/rss", true);
  logic.OnResult(3, items.data(), u"", u"");
  EXPECT_EQ(host.saves, saves);
  EXPECT_EQ(host.resizes.size(), resizes);
  // One changed title rebuilds.
  items[1].title = u"新的";
  logic.OnResult(3, items.data(), u"", u"");
  EXPECT_EQ(host.saves, saves + 1);
  EXPECT_NE(host.content.find(u"新的"), std::u16string::npos);
}

TEST(NewsFeedLogic, WidthsAndHeightAreBounded) {
  FakeHost host;
  NewsFeedLogic logic(&host);
  std::vector<NewsItem> wide = {{std::u16string(200, u'长'), u"http://f/1"}};  // 1400 px
  logic.OnResult(1, wide.data(), u"", u"");
  EXPECT_EQ(host.width, 700);
  EXPECT_EQ(host.height, 80);  // one 20-pixel line
  std::vector<NewsItem> narrow = {{u"短", u"http://f/2"}};
  logic.OnResult(1, narrow.data(), u"", u"");
  EXPECT_EQ(host.width, 250);
}

TEST(NewsFeedLogic, FailuresKeepTheContentAndShowTheirText) {
  FakeHost host;
  NewsFeedLogic logic(&host);
  auto items = Items(2);
  logic.OnResult(2, items.data(), u"", u"");
  std::u16string before = host.content;
  int w = host.width, h = host.height;
  logic.Refresh(u"http://f/rss", false);
  logic.OnResult(-3, nullptr, u"", u"");
  logic.Refresh(u"http://f/rss", false);
  logic.OnResult(-2, nullptr, u"", u"");
  logic.Refresh(u"http://f/rss", false);
  logic.OnResult(5, nullptr, u"", u"");  // a count without items is no result
  ASSERT_EQ(host.toasts.size(), 3u);
  EXPECT_EQ(host.toasts[0], u"读取失败！访问服务器失败");
  EXPECT_EQ(host.toasts[1], u"读取失败！订阅源格式错误");
  EXPECT_EQ(host.toasts[2], u"读取失败！未知错误");
  EXPECT_EQ(host.content, before);
  EXPECT_EQ(host.width, w);
  EXPECT_EQ(host.height, h);
  EXPECT_EQ(logic.items().size(), 2u);
}

TEST(NewsFeedLogic, NothingNewKeepsEverythingQuietly) {
  FakeHost host;
  NewsFeedLogic logic(&host);
  auto items = Items(3);
  logic.OnResult(3, items.data(), u"", u"");
  int saves = host.saves, resizes = static_cast<int>(host.resizes.size());
  logic.Refresh(u"http://f/rss", false);  // even a refresh the user asked for
  logic.OnResult(NewsFeedLogic::kResultUnchanged, nullptr, u"", u"");
  EXPECT_FALSE(logic.refreshing());
  EXPECT_TRUE(host.toasts.empty());
  EXPECT_EQ(host.saves, saves);
  EXPECT_EQ(static_cast<int>(host.resizes.size()), resizes);
  EXPECT_EQ(logic.items().size(), 3u);
  EXPECT_GT(host.repaints, 0);  // the refresh caption goes away
}

TEST(NewsFeedLogic, NewItemsStandOutUntilOpened) {
  FakeHost host;
  NewsFeedLogic logic(&host);
  auto items = Items(3);
  items[1].fresh = true;
  logic.OnResult(3, items.data(), u"", u"");
  EXPECT_NE(host.content.find(u"bold=\"1\">·<a href=\"http://f/b\""), std::u16string::npos) << std::string(host.content.begin(), host.content.end());
  EXPECT_EQ(host.content.find(u"bold=\"1\">·<a href=\"http://f/a\""), std::u16string::npos);
  int saves = host.saves;
  logic.OnLinkOpened(u"http://f/a");  // not new: nothing changes
  EXPECT_EQ(host.saves, saves);
  logic.OnLinkOpened(u"http://f/b");
  EXPECT_EQ(host.saves, saves + 1);
  EXPECT_EQ(host.content.find(u"bold="), std::u16string::npos);
  EXPECT_FALSE(logic.items()[1].fresh);
}

TEST(NewsFeedLogic, MarksShownAtTheLastExitSurviveTheFirstDeliveryOnly) {
  // What the widget stored: b new (its href as the content spells it), a and c not.
  auto before = Items(3);
  before[1].fresh = true;
  before[1].link = u"http://f/b \"x\"";
  const std::vector<std::u16string> marked = MarkedLinks(BuildContent(before));
  ASSERT_EQ(marked, (std::vector<std::u16string>{LinkAsHref(before[1].link)}));

  FakeHost host;
  NewsFeedLogic logic(&host);
  logic.CarryMarks(marked);
  auto again = before;  // delivered again after the restart: known, so not new any more
  for (auto& item : again) item.fresh = false;
  logic.OnResult(3, again.data(), u"", u"");
  EXPECT_EQ(MarkedLinks(host.content), marked);
  // The next delivery the user has seen it: the mark goes.
  logic.OnResult(3, again.data(), u"", u"");
  EXPECT_TRUE(MarkedLinks(host.content).empty());

  // Opened before the first delivery: the mark is not carried.
  NewsFeedLogic opened(&host);
  opened.CarryMarks(marked);
  opened.OnLinkOpened(marked[0]);
  opened.OnResult(3, again.data(), u"", u"");
  EXPECT_TRUE(MarkedLinks(host.content).empty());
}

TEST(NewsContent, TooltipTellsSummaryAndDate) {
  std::vector<NewsItem> items = {{u"t", u"http://f/a b", u"摘要 <b>", u"Mon, 07 Dec 2026"}, {u"u", u"http://f/c"}};
  EXPECT_EQ(ItemTooltip(items, u"http://f/a%20b"), u"摘要 \uFF1Cb>\r\nMon, 07 Dec 2026");
  EXPECT_EQ(ItemTooltip(items, u"http://f/c"), u"");
  EXPECT_EQ(ItemTooltip(items, u"http://f/none"), u"");
  items[1].date = u"2026-12-07";
  EXPECT_EQ(ItemTooltip(items, u"http://f/c"), u"2026-12-07");
}

}  // namespace
}  // namespace widgets
