#include "widgets/news_feed_logic.h"

#include <gtest/gtest.h>

#include <functional>

#include "feed/feed_date.h"
#include "feed/feed_parser.h"
#include "feed/fetch_state.h"

namespace widgets {
namespace {

// Records what the widget asked its window to do. Titles measure 7 pixels per unit (8 in
// bold);
// the engine's content height is 20 pixels per line.
class FakeHost : public NewsFeedHost {
 public:
  bool StartRetrieval(const std::u16string& url, bool isAutomatic) override {
    started.push_back(url);
    automatic.push_back(isAutomatic);
    return startOk;
  }
  int MeasureTitle(const std::u16string& t, bool bold) override { return (bold ? 8 : 7) * static_cast<int>(t.size()); }
  int CurrentWidth() override { return width; }
  int WidthLimit() override { return limit; }
  int CurrentHeight() override { return height; }
  void ResizeTo(int w, int h) override {
    resizes.push_back({w, h});
    width = w;
    height = h;
  }
  void LayOutForWidth(int w) override { layoutWidths.push_back(w); }
  void ShowContent(const std::u16string& stored, const std::u16string& html) override {
    if (stored != content) ++saves;  // a changed content schedules a save
    content = stored;
    shown = html;
    lines = 0;
    for (size_t p = 0; (p = html.find(u"\r\n", p)) != std::u16string::npos; p += 2) ++lines;
  }
  std::u16string StoredContent() override { return content; }
  int ContentHeight() override { return lines * 20; }
  void ShowFailureToast(const std::u16string& text) override { toasts.push_back(text); }
  void Repaint() override { ++repaints; }
  int64_t NowSeconds() override { return now; }

  bool startOk = true;
  std::vector<std::u16string> started, toasts;
  std::vector<bool> automatic;
  std::vector<std::pair<int, int>> resizes;
  std::vector<int> layoutWidths;
  std::u16string content, shown;
  int width = 200, height = 200, lines = 0, saves = 0, repaints = 0, limit = kMaxTitlesWidth;
  int64_t now = 1000;
};

// The manager's periodic tick for one widget.
void Tick(NewsFeedLogic* logic, const FakeHost& host) {
  if (logic->Due(host.now)) logic->RefreshDue();
}

// An answer to the latest request the host started (to none, before the first).
FeedAnswer Answer(const FakeHost& host, int count, const NewsItem* items) {
  FeedAnswer a;
  a.code = count;
  if (items) a.items.assign(items, items + count);
  a.requestUrl = host.started.empty() ? std::u16string() : host.started.back();
  return a;
}

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

  logic.OnResult(Answer(host, -3, nullptr), u"", u"");
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
  host.resizes.clear();  // the empty widget's loading line was sized already (80 high)
  logic.OnResult(Answer(host, 25, items.data()), u"推广", u"http://ad/");
  ASSERT_EQ(logic.items().size(), 11u);
  EXPECT_EQ(logic.items()[10].link, u"http://ad/");
  EXPECT_EQ(host.lines, 11);
  EXPECT_EQ(host.content, logic.lastHtml());
  // Width from the widest title (3 units * 7 = 21 -> 250), height from 11 lines laid out
  // at that width: one resize sets both.
  ASSERT_FALSE(host.layoutWidths.empty());
  EXPECT_EQ(host.layoutWidths.back(), 250);
  ASSERT_EQ(host.resizes.size(), 1u);
  EXPECT_EQ(host.resizes[0], std::make_pair(250, 11 * 20 + 60));
}

TEST(NewsFeedLogic, IdenticalResultChangesNothing) {
  FakeHost host;
  NewsFeedLogic logic(&host);
  auto items = Items(3);
  logic.OnResult(Answer(host, 3, items.data()), u"", u"");
  int saves = host.saves;
  size_t resizes = host.resizes.size();
  logic.Refresh(u"http://f/rss", true);
  logic.OnResult(Answer(host, 3, items.data()), u"", u"");
  EXPECT_EQ(host.saves, saves);
  EXPECT_EQ(host.resizes.size(), resizes);
  // One changed title rebuilds.
  items[1].title = u"新的";
  logic.OnResult(Answer(host, 3, items.data()), u"", u"");
  EXPECT_EQ(host.saves, saves + 1);
  EXPECT_NE(host.content.find(u"新的"), std::u16string::npos);
}

TEST(NewsFeedLogic, WidthsAndHeightAreBounded) {
  FakeHost host;
  NewsFeedLogic logic(&host);
  std::vector<NewsItem> wide = {{std::u16string(200, u'长'), u"http://f/1"}};  // 1400 px
  logic.OnResult(Answer(host, 1, wide.data()), u"", u"");
  EXPECT_EQ(host.width, 700);
  EXPECT_EQ(host.height, 80);  // one 20-pixel line
  std::vector<NewsItem> narrow = {{u"短", u"http://f/2"}};
  logic.OnResult(Answer(host, 1, narrow.data()), u"", u"");
  EXPECT_EQ(host.width, 250);
}

TEST(NewsFeedLogic, FailuresKeepTheContentAndShowTheirText) {
  FakeHost host;
  NewsFeedLogic logic(&host);
  auto items = Items(2);
  logic.OnResult(Answer(host, 2, items.data()), u"", u"");
  std::u16string before = host.content;
  int w = host.width, h = host.height;
  logic.Refresh(u"http://f/rss", false);
  logic.OnResult(Answer(host, -3, nullptr), u"", u"");
  logic.Refresh(u"http://f/rss", false);
  logic.OnResult(Answer(host, -2, nullptr), u"", u"");
  logic.Refresh(u"http://f/rss", false);
  logic.OnResult(Answer(host, 5, nullptr), u"", u"");  // a count without items is no result
  ASSERT_EQ(host.toasts.size(), 3u);
  EXPECT_EQ(host.toasts[0], u"读取失败！访问服务器失败");
  EXPECT_EQ(host.toasts[1], u"读取失败！订阅源格式错误");
  EXPECT_EQ(host.toasts[2], u"读取失败！未知错误");
  EXPECT_EQ(host.content, before);  // what is kept and saved stays the items
  EXPECT_EQ(host.width, w);
  EXPECT_EQ(host.height, h + 20);   // the status line above them
  EXPECT_EQ(host.shown, StatusLineHtml(u"读取失败：未知错误", kFailureColor) + before);
  EXPECT_EQ(logic.items().size(), 2u);
}

TEST(NewsFeedLogic, NothingNewKeepsEverythingQuietly) {
  FakeHost host;
  NewsFeedLogic logic(&host);
  auto items = Items(3);
  logic.OnResult(Answer(host, 3, items.data()), u"", u"");
  int saves = host.saves, resizes = static_cast<int>(host.resizes.size());
  logic.Refresh(u"http://f/rss", false);  // even a refresh the user asked for
  logic.OnResult(Answer(host, NewsFeedLogic::kResultUnchanged, nullptr), u"", u"");
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
  logic.OnResult(Answer(host, 3, items.data()), u"", u"");
  EXPECT_NE(host.content.find(u"bold=\"1\">·<a href=\"http://f/b\""), std::u16string::npos) << std::string(host.content.begin(), host.content.end());
  EXPECT_EQ(host.content.find(u"bold=\"1\">·<a href=\"http://f/a\""), std::u16string::npos);
  // The widget is as wide as the widest title drawn, in bold for a new one.
  auto wide = Items(2);
  wide[0].title = std::u16string(60, u'w');
  wide[1].title = std::u16string(56, u'n');
  wide[1].fresh = true;
  FakeHost other;
  NewsFeedLogic fitted(&other);
  fitted.OnResult(Answer(other, 2, wide.data()), u"", u"");
  EXPECT_EQ(other.width, WidthForTitles(56 * 8));
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
  logic.OnResult(Answer(host, 3, again.data()), u"", u"");
  EXPECT_EQ(MarkedLinks(host.content), marked);
  // The next delivery the user has seen it: the mark goes.
  logic.OnResult(Answer(host, 3, again.data()), u"", u"");
  EXPECT_TRUE(MarkedLinks(host.content).empty());

  // Opened before the first delivery: the mark is not carried.
  NewsFeedLogic opened(&host);
  opened.CarryMarks(marked);
  opened.OnLinkOpened(marked[0]);
  opened.OnResult(Answer(host, 3, again.data()), u"", u"");
  EXPECT_TRUE(MarkedLinks(host.content).empty());
}

// A local clock eight hours east of UTC, without daylight saving, at 2026-12-09 10:00.
platform::LocalTime EastEight(int64_t seconds) {
  feed::CivilTime t = feed::CivilFromSeconds(seconds + 8 * 3600);
  platform::LocalTime local;
  local.year = t.year;
  local.month = t.month;
  local.day = t.day;
  local.hour = t.hour;
  local.minute = t.minute;
  return local;
}
const DateContext kWhen{EastEight(1796781600), &EastEight};

TEST(NewsContent, TooltipTellsSummaryAndDate) {
  std::vector<NewsItem> items = {{u"t", u"http://f/a b", u"摘要 <b>", u"Mon, 07 Dec 2026"}, {u"u", u"http://f/c"}};
  EXPECT_EQ(ItemTooltip(items, u"http://f/a%20b", kWhen), u"摘要 \uFF1Cb>\r\n12月7日");
  EXPECT_EQ(ItemTooltip(items, u"http://f/c", kWhen), u"");
  EXPECT_EQ(ItemTooltip(items, u"http://f/none", kWhen), u"");
  items[1].date = u"last <Tuesday>";  // no date this reads: as the feed wrote it
  EXPECT_EQ(ItemTooltip(items, u"http://f/c", kWhen), u"last \uFF1CTuesday>");
}

// A title of 2,000 characters is cut to one line with "…" instead of wrapping the widget
// taller at its widest; the tooltip tells it whole. Short titles stay as they are.
TEST(NewsFeedLogic, ATitleTooLongForOneLineIsCutWithAnEllipsis) {
  FakeHost host;
  NewsFeedLogic logic(&host);
  auto items = Items(3);
  const std::u16string longTitle(2000, u'长');
  items[1].title = longTitle;
  logic.OnResult(Answer(host, 3, items.data()), u"", u"");
  const size_t start = host.content.find(u"http://f/b\">") + 12;
  const std::u16string drawn = host.content.substr(start, host.content.find(u"</a>", start) - start);
  EXPECT_EQ(drawn.back(), u'…');
  EXPECT_LE(host.MeasureTitle(drawn, false), kMaxTitlesWidth - kTitleMargin);
  EXPECT_GT(host.MeasureTitle(drawn + u"长", false), kMaxTitlesWidth - kTitleMargin) << "as much of it as fits";
  EXPECT_EQ(host.width, kMaxTitlesWidth);
  EXPECT_NE(host.content.find(u">标题0</a>"), std::u16string::npos);
  EXPECT_TRUE(logic.TitleCut(u"http://f/b"));
  EXPECT_FALSE(logic.TitleCut(u"http://f/a"));
  EXPECT_EQ(logic.items()[1].title, longTitle) << "the item keeps its whole title";
  EXPECT_EQ(ItemTooltip(logic.items(), u"http://f/b", kWhen, true), longTitle);

  // With a neighbour's buttons 300 units along, the widget widens to there and no further.
  host.limit = 300;
  items[1].title = std::u16string(60, u'w');  // 420 units
  logic.OnResult(Answer(host, 3, items.data()), u"", u"");
  EXPECT_EQ(host.width, 300);
  EXPECT_TRUE(logic.TitleCut(u"http://f/b"));

  // Never between the halves of a surrogate pair.
  const std::u16string pairs = u"😀😀😀😀😀😀";
  int width = 0;
  auto perUnit = [](const std::u16string& t) { return 10 * static_cast<int>(t.size()); };
  EXPECT_EQ(CutToWidth(pairs, 45, perUnit, &width), u"😀…");
  EXPECT_EQ(width, 30);
  EXPECT_EQ(CutToWidth(pairs, 120, perUnit, &width), pairs);
  EXPECT_EQ(CutToWidth(pairs, 5, perUnit, &width), u"…") << "too narrow for any of it";
}

TEST(NewsContent, DatesReadOnTheLocalClock) {
  ASSERT_EQ(kWhen.now.year, 2026);
  ASSERT_EQ(kWhen.now.day, 9);
  ASSERT_EQ(kWhen.now.hour, 10);
  // Zoned times move to the local clock, across midnight too.
  EXPECT_EQ(ItemDateText(u"Wed, 09 Dec 2026 01:30:00 GMT", kWhen), u"今天 09:30");
  EXPECT_EQ(ItemDateText(u"2026-12-08T15:05:00Z", kWhen), u"昨天 23:05");
  EXPECT_EQ(ItemDateText(u"2026-12-08T16:05:00Z", kWhen), u"今天 00:05");
  EXPECT_EQ(ItemDateText(u"2026-12-07T23:59:00+08:00", kWhen), u"12月7日 23:59");
  EXPECT_EQ(ItemDateText(u"Sun, 06 Dec 2026 23:59:00 -0500", kWhen), u"12月7日 12:59");
  EXPECT_EQ(ItemDateText(u"2025-12-31T20:00:00Z", kWhen), u"1月1日 04:00");
  EXPECT_EQ(ItemDateText(u"2025-12-31T12:00:00Z", kWhen), u"2025年12月31日 20:00");
  // Without a zone: the wall time the feed wrote. A date alone has no time.
  EXPECT_EQ(ItemDateText(u"2026-12-09 07:30", kWhen), u"今天 07:30");
  EXPECT_EQ(ItemDateText(u"2026-03-01", kWhen), u"3月1日");
  EXPECT_EQ(ItemDateText(u"09 Dec 2026", kWhen), u"今天");
  // A clock that cannot tell leaves the text as it was.
  DateContext broken{kWhen.now, [](int64_t) { return platform::LocalTime(); }};
  EXPECT_EQ(ItemDateText(u"2026-12-08T17:05:00Z", broken), u"2026-12-08T17:05:00Z");
}


FeedAnswer Failed(const FakeHost& host, feed::FailureKind kind, int detail = 0) {
  FeedAnswer a = Answer(host, feed::kFeedErrorDownload, nullptr);
  a.failure = {kind, detail};
  return a;
}

bool Contains(const std::u16string& text, const std::u16string& part) {
  return text.find(part) != std::u16string::npos;
}

TEST(NewsFeedLogic, AFreshWidgetSaysItIsLoadingThenWhyItFailed) {
  FakeHost host;
  host.content.clear();
  NewsFeedLogic logic(&host);
  logic.Refresh(u"http://f/rss", false);
  EXPECT_EQ(logic.state(), NewsFeedLogic::State::kWaiting);
  EXPECT_EQ(host.shown, StatusLineHtml(kLoadingText, kLoadingColor));
  EXPECT_EQ(host.content, u"");  // the line is shown, never stored
  EXPECT_EQ(host.saves, 0);
  EXPECT_EQ(host.width, 250);
  EXPECT_EQ(host.height, 80);

  logic.OnResult(Failed(host, feed::FailureKind::kNoNetwork, 12007), u"", u"");
  EXPECT_EQ(logic.state(), NewsFeedLogic::State::kFailed);
  EXPECT_EQ(host.shown, StatusLineHtml(u"读取失败：没有连接网络", kFailureColor));
  EXPECT_EQ(host.content, u"");
  EXPECT_EQ(host.toasts.size(), 1u);  // the user's own (first) refresh also says so briefly
  EXPECT_EQ(logic.dueAt(), host.now + feed::kFirstRetrySeconds);
}

TEST(NewsFeedLogic, AWidgetWithoutAFeedYetSaysItIsLoadingUntilItGetsOne) {
  FakeHost host;
  host.content.clear();
  NewsFeedLogic logic(&host);
  logic.WaitForFeed();
  EXPECT_EQ(host.shown, StatusLineHtml(kLoadingText, kLoadingColor));
  EXPECT_EQ(host.width, 250);
  EXPECT_TRUE(host.started.empty());
  logic.Refresh(u"", true);  // the periodic refresh: still nothing to fetch, still loading
  Tick(&logic, host);
  EXPECT_TRUE(host.started.empty());
  EXPECT_EQ(host.shown, StatusLineHtml(kLoadingText, kLoadingColor));

  logic.SwitchFeed(u"http://maker/first");
  ASSERT_EQ(host.started.size(), 1u);
  EXPECT_EQ(host.started[0], u"http://maker/first?refresh=1");
  EXPECT_EQ(host.shown, StatusLineHtml(kLoadingText, kLoadingColor));
  auto items = Items(2);
  logic.OnResult(Answer(host, 2, items.data()), u"", u"");
  EXPECT_EQ(logic.state(), NewsFeedLogic::State::kShown);
  EXPECT_EQ(host.shown.find(kLoadingText), std::u16string::npos);
}

TEST(NewsFeedLogic, TheFailureLineStaysAboveTheKeptItemsUntilTheNextSuccess) {
  FakeHost host;
  NewsFeedLogic logic(&host);
  auto items = Items(3);
  logic.Refresh(u"http://f/rss", true);
  logic.OnResult(Answer(host, 3, items.data()), u"", u"");
  const std::u16string good = host.content;
  const int saves = host.saves, height = host.height;
  EXPECT_EQ(host.shown, good);

  logic.Refresh(u"http://f/rss", true);
  logic.OnResult(Failed(host, feed::FailureKind::kHttpStatus, 404), u"", u"");
  EXPECT_EQ(host.shown, StatusLineHtml(u"读取失败：HTTP 404，找不到订阅源", kFailureColor) + good);
  EXPECT_EQ(host.content, good);
  EXPECT_EQ(host.saves, saves);  // nothing new to save
  EXPECT_EQ(host.height, height + 20);
  EXPECT_TRUE(host.toasts.empty());  // silent: the line says it
  EXPECT_EQ(logic.items().size(), 3u);

  // Another cause replaces the line; the same cause again changes nothing.
  logic.Refresh(u"http://f/rss", true);
  logic.OnResult(Failed(host, feed::FailureKind::kCertificate, 12045), u"", u"");
  EXPECT_TRUE(Contains(host.shown, u"读取失败：网站的证书有问题"));
  EXPECT_FALSE(Contains(host.shown, u"404"));
  size_t resizes = host.resizes.size();
  logic.Refresh(u"http://f/rss", true);
  logic.OnResult(Failed(host, feed::FailureKind::kCertificate, 12045), u"", u"");
  EXPECT_EQ(host.resizes.size(), resizes);

  // The next success takes the line away, also when the items are the same.
  logic.Refresh(u"http://f/rss", true);
  logic.OnResult(Answer(host, 3, items.data()), u"", u"");
  EXPECT_EQ(logic.state(), NewsFeedLogic::State::kShown);
  EXPECT_EQ(host.shown, good);
  EXPECT_EQ(host.height, height);
  EXPECT_FALSE(logic.retrying());
  EXPECT_EQ(logic.dueAt(), host.now + feed::kDefaultIntervalSeconds);
}

TEST(NewsFeedLogic, AWidgetLoadedWithContentKeepsItUnderTheLine) {
  FakeHost host;
  host.content = u"<a href=\"http://f/old\">旧</a>\r\n";
  NewsFeedLogic logic(&host);
  logic.Refresh(u"http://f/rss", false);
  EXPECT_TRUE(host.shown.empty());  // its stored items show: no loading line
  logic.OnResult(Failed(host, feed::FailureKind::kTimedOut, 12002), u"", u"");
  EXPECT_EQ(host.shown, StatusLineHtml(u"读取失败：服务器响应超时", kFailureColor) + host.content);
  EXPECT_EQ(host.content, u"<a href=\"http://f/old\">旧</a>\r\n");
  EXPECT_EQ(host.width, 200);  // its width stays
}

TEST(NewsFeedLogic, AFailedFeedRetriesWithGrowingPausesUpToTheInterval) {
  FakeHost host;
  NewsFeedLogic logic(&host);
  logic.Refresh(u"http://f/rss", false);
  const int64_t first = feed::kFirstRetrySeconds;
  std::vector<int64_t> waits;
  for (int i = 0; i < 8; ++i) {
    logic.OnResult(Failed(host, feed::FailureKind::kRefused, 12029), u"", u"");
    waits.push_back(logic.dueAt() - host.now);
    host.now = logic.dueAt() - 1;
    size_t started = host.started.size();
    Tick(&logic, host);
    EXPECT_EQ(host.started.size(), started);  // not yet
    host.now += 1;
    Tick(&logic, host);
    ASSERT_EQ(host.started.size(), started + 1);
    EXPECT_FALSE(host.automatic.back());  // due by the widget's own pause: not held back again
    EXPECT_TRUE(logic.silent());
    Tick(&logic, host);  // one request at a time
    EXPECT_EQ(host.started.size(), started + 1);
  }
  EXPECT_EQ(waits[0], first);
  EXPECT_EQ(waits[1], 2 * first);
  EXPECT_EQ(waits[2], 4 * first);
  for (size_t i = 1; i < waits.size(); ++i) {
    EXPECT_GE(waits[i], waits[i - 1]);
    EXPECT_LE(waits[i], feed::kDefaultIntervalSeconds);
  }
  EXPECT_EQ(waits.back(), std::min<int64_t>(first << 7, feed::kDefaultIntervalSeconds));
  EXPECT_EQ(host.toasts.size(), 1u);  // only the user's first refresh had a toast

  // A server's Retry-After longer than the pause is honoured.
  FeedAnswer busy = Failed(host, feed::FailureKind::kHttpStatus, 503);
  busy.retryAfterSeconds = 900;
  logic.OnResult(busy, u"", u"");
  EXPECT_GE(logic.dueAt() - host.now, 900);
}

TEST(NewsFeedLogic, TheNetworkComingBackRetriesAtOnceWhenItMayHelp) {
  FakeHost host;
  NewsFeedLogic logic(&host);
  logic.NetworkBack();
  EXPECT_TRUE(host.started.empty());  // never refreshed: nothing to retry
  EXPECT_FALSE(logic.AwaitsNetwork());
  logic.Refresh(u"http://f/rss", false);
  logic.NetworkBack();
  EXPECT_EQ(host.started.size(), 1u);  // running already
  EXPECT_FALSE(logic.AwaitsNetwork());
  logic.OnResult(Failed(host, feed::FailureKind::kHostNotFound, 12007), u"", u"");
  EXPECT_TRUE(logic.AwaitsNetwork());  // the program watches the network for it
  logic.NetworkBack();
  ASSERT_EQ(host.started.size(), 2u);
  EXPECT_FALSE(host.automatic.back());
  // Not a feed: the network changes nothing, the pause stands.
  FeedAnswer notFeed = Answer(host, feed::kFeedErrorFormat, nullptr);
  logic.OnResult(notFeed, u"", u"");
  EXPECT_EQ(logic.failure().kind, feed::FailureKind::kNotAFeed);
  EXPECT_TRUE(Contains(host.shown, u"这个地址不是订阅源"));
  EXPECT_TRUE(Contains(host.shown, kFailureColor));
  EXPECT_FALSE(logic.AwaitsNetwork());
  // A feed with nothing in it yet is said so, in the colour of the text, not of a failure.
  logic.Refresh(u"http://f/rss", false);
  logic.OnResult(Failed(host, feed::FailureKind::kNoEntries, 0), u"", u"");
  EXPECT_TRUE(Contains(host.shown, u"这个订阅源里暂时没有文章"));
  EXPECT_FALSE(Contains(host.shown, kFailureColor));
  EXPECT_FALSE(logic.AwaitsNetwork());
  const size_t asked = host.started.size();
  logic.NetworkBack();
  EXPECT_EQ(host.started.size(), asked);
  // A widget that shows its feed has nothing to retry.
  host.now = logic.dueAt();
  Tick(&logic, host);
  auto items = Items(1);
  logic.OnResult(Answer(host, 1, items.data()), u"", u"");
  EXPECT_FALSE(logic.AwaitsNetwork());
  logic.NetworkBack();
  Tick(&logic, host);
  EXPECT_EQ(host.started.size(), asked + 1);
}

// A widget loaded from data.dat with `items` as its content, at a size, whose engine lays
// that content out in `lines` lines.
void Load(FakeHost* host, const std::vector<NewsItem>& items, int width, int height, int lines) {
  host->content = BuildContent(items);
  host->lines = lines;
  host->width = width;
  host->height = height;
}

TEST(NewsFeedLogic, TheFirstAnswerAfterAStartWithTheLoadedItemsChangesNothing) {
  // A widget loaded with what its feed still has, at the size the content gives it: no
  // resize, no save, no repaint. Other items than the loaded ones rebuild as ever.
  auto items = Items(3);
  FakeHost host;
  Load(&host, items, 250, 3 * 20 + 60, 3);
  NewsFeedLogic logic(&host);
  logic.Refresh(u"http://f/rss", true);
  const int repaints = host.repaints;
  logic.OnResult(Answer(host, 3, items.data()), u"", u"");
  EXPECT_EQ(logic.state(), NewsFeedLogic::State::kShown);
  EXPECT_EQ(logic.items().size(), 3u);
  EXPECT_TRUE(host.layoutWidths.empty());
  EXPECT_TRUE(host.resizes.empty());
  EXPECT_EQ(host.saves, 0);
  EXPECT_EQ(host.repaints, repaints);  // no caption was shown: the image stays as it is
  items[2].title = u"新的";
  logic.Refresh(u"http://f/rss", true);
  logic.OnResult(Answer(host, 3, items.data()), u"", u"");
  EXPECT_EQ(host.saves, 1);
  EXPECT_EQ(host.resizes.size(), 1u);
  EXPECT_NE(host.shown.find(u"新的"), std::u16string::npos);
}

TEST(NewsFeedLogic, TheFirstAnswerFitsALoadedWidgetWhoseSizeDoesNotFitItsItems) {
  // Loaded with the items its feed still has, but at a width of its user's, at a height
  // measured with another font, or with a title wrapped in the text area it was loaded
  // with (four lines for three items): the answer lays it out and sizes it as any rebuild.
  struct Loaded {
    int width, height, lines;
  };
  for (Loaded loaded : {Loaded{310, 120, 3}, Loaded{250, 300, 3}, Loaded{250, 120, 4}}) {
    auto items = Items(3);
    FakeHost host;
    Load(&host, items, loaded.width, loaded.height, loaded.lines);
    NewsFeedLogic logic(&host);
    logic.Refresh(u"http://f/rss", true);
    logic.OnResult(Answer(host, 3, items.data()), u"", u"");
    EXPECT_EQ(host.layoutWidths, std::vector<int>{250});
    ASSERT_EQ(host.resizes.size(), 1u);
    EXPECT_EQ(host.resizes[0], std::make_pair(250, 3 * 20 + 60));
  }
}

TEST(NewsFeedLogic, TheRefreshCaptionIsRepaintedWheneverItComesOrGoes) {
  FakeHost host;
  NewsFeedLogic logic(&host);
  auto items = Items(3);
  logic.Refresh(u"http://f/rss", true);
  logic.OnResult(Answer(host, 3, items.data()), u"", u"");
  // Each step: whether the caption shows after it, and how many repaints it asked for.
  auto step = [&](const std::function<void()>& what, bool caption, int repaints) {
    const int before = host.repaints;
    what();
    EXPECT_EQ(logic.CaptionShown(), caption);
    EXPECT_EQ(host.repaints - before, repaints);
  };
  auto refresh = [&](bool silent) { return [&logic, silent] { logic.Refresh(u"http://f/rss", silent); }; };
  auto same = [&] { logic.OnResult(Answer(host, 3, items.data()), u"", u""); };
  // A refresh the user asks for shows the caption; the same items take it away again.
  step(refresh(false), true, 1);
  step(same, false, 1);
  // A quiet refresh absorbed into a shown one hides its caption at once, and the answer
  // then has nothing to take away.
  step(refresh(false), true, 1);
  step(refresh(true), false, 1);
  step(refresh(true), false, 0);
  step(same, false, 0);
  // A refresh the user asks for while a quiet one runs shows it at once; a failure takes
  // it away (FakeHost's failure line itself repaints nothing).
  step(refresh(true), false, 1);
  step(refresh(false), true, 1);
  step([&] { logic.OnResult(Failed(host, feed::FailureKind::kRefused, 12029), u"", u""); }, false, 1);
}

TEST(NewsFeedLogic, NotModifiedAfterAFailureEndsIt) {
  FakeHost host;
  NewsFeedLogic logic(&host);
  auto items = Items(2);
  logic.Refresh(u"http://f/rss", true);
  logic.OnResult(Answer(host, 2, items.data()), u"", u"");
  const std::u16string good = host.shown;
  logic.Refresh(u"http://f/rss", true);
  logic.OnResult(Failed(host, feed::FailureKind::kRefused, 12029), u"", u"");
  // A refresh the program held back says nothing about the server: the failure stays.
  logic.Refresh(u"http://f/rss", true);
  logic.OnResult(Answer(host, NewsFeedLogic::kResultUnchanged, nullptr), u"", u"");
  EXPECT_EQ(logic.state(), NewsFeedLogic::State::kFailed);
  EXPECT_TRUE(logic.retrying());
  // The server answering "not modified" does.
  host.now = logic.dueAt();
  Tick(&logic, host);
  FeedAnswer same = Answer(host, NewsFeedLogic::kResultUnchanged, nullptr);
  same.status = 304;
  logic.OnResult(same, u"", u"");
  EXPECT_EQ(logic.state(), NewsFeedLogic::State::kShown);
  EXPECT_EQ(host.shown, good);
  EXPECT_FALSE(logic.retrying());
  EXPECT_EQ(logic.dueAt(), host.now + feed::kDefaultIntervalSeconds);
}

TEST(NewsFeedLogic, AResultBelongsToTheAddressItWasRequestedFor) {
  FakeHost host;
  NewsFeedLogic logic(&host);
  auto oldItems = Items(3, u"旧");
  logic.Refresh(u"http://old/rss", false);
  logic.OnResult(Answer(host, 3, oldItems.data()), u"", u"");
  logic.Refresh(u"http://old/rss", true);  // a refresh of the old feed is running ...
  FeedAnswer late = Answer(host, 3, oldItems.data());

  logic.SwitchFeed(u"http://new/rss");  // ... when the user switches
  ASSERT_EQ(host.started.back(), u"http://new/rss?refresh=1");  // fetched at once
  EXPECT_EQ(host.content, u"");  // the old items are neither shown nor saved under the new address
  EXPECT_EQ(host.shown, StatusLineHtml(kLoadingText, kLoadingColor));
  EXPECT_TRUE(logic.items().empty());

  const size_t started = host.started.size();
  EXPECT_FALSE(logic.OnResult(late, u"", u""));  // the old feed's answer is dropped
  EXPECT_EQ(host.content, u"");
  EXPECT_FALSE(Contains(host.shown, u"旧"));
  EXPECT_TRUE(logic.refreshing());  // the new feed's request still runs
  EXPECT_EQ(host.started.size(), started);

  // The new feed fails: its failure alone, nothing of the old feed.
  logic.OnResult(Failed(host, feed::FailureKind::kHttpStatus, 404), u"", u"");
  EXPECT_EQ(host.shown, StatusLineHtml(u"读取失败：HTTP 404，找不到订阅源", kFailureColor));
  EXPECT_EQ(host.content, u"");
  EXPECT_FALSE(Contains(host.shown, u"旧"));

  // Another late answer changes nothing: the new feed has answered, its retry stands.
  EXPECT_FALSE(logic.OnResult(late, u"", u""));
  EXPECT_EQ(host.started.size(), started);
  host.now = logic.dueAt();
  Tick(&logic, host);
  ASSERT_EQ(host.started.size(), started + 1);
  EXPECT_EQ(host.started.back(), u"http://new/rss?refresh=1");
  auto newItems = Items(2, u"新");
  logic.OnResult(Answer(host, 2, newItems.data()), u"", u"");
  EXPECT_TRUE(Contains(host.content, u"新0"));
  EXPECT_FALSE(Contains(host.content, u"旧"));
  EXPECT_EQ(host.shown, host.content);
}

TEST(NewsFeedLogic, TheFeedsTitleIsKeptFromItsLastItemsUntilASwitch) {
  FakeHost host;
  NewsFeedLogic logic(&host);
  auto items = Items(2);
  logic.Refresh(u"http://a/rss", false);
  FeedAnswer first = Answer(host, 2, items.data());
  first.title = u"甲的新闻";
  logic.OnResult(first, u"", u"");
  EXPECT_EQ(logic.feedTitle(), u"甲的新闻");
  // A read without a title, or a failure, keeps the one known.
  logic.Refresh(u"http://a/rss", true);
  logic.OnResult(Answer(host, 2, items.data()), u"", u"");
  logic.Refresh(u"http://a/rss", true);
  logic.OnResult(Failed(host, feed::FailureKind::kHttpStatus, 500), u"", u"");
  EXPECT_EQ(logic.feedTitle(), u"甲的新闻");
  logic.SwitchFeed(u"http://b/rss");  // another feed's title is not yet known
  EXPECT_EQ(logic.feedTitle(), u"");
}

TEST(NewsFeedLogic, SwitchingWhenTheWorkerCannotStartStillDropsTheOldAnswer) {
  FakeHost host;
  NewsFeedLogic logic(&host);
  auto oldItems = Items(2, u"旧");
  logic.Refresh(u"http://old/rss", false);
  FeedAnswer late = Answer(host, 2, oldItems.data());
  host.startOk = false;
  logic.SwitchFeed(u"http://new/rss");
  EXPECT_FALSE(logic.refreshing());
  host.startOk = true;
  EXPECT_FALSE(logic.OnResult(late, u"", u""));
  EXPECT_FALSE(Contains(host.content + host.shown, u"旧"));
  // Nothing asked the new address yet: the dropped answer has it asked now.
  EXPECT_TRUE(logic.refreshing());
  EXPECT_EQ(host.started.back(), u"http://new/rss?refresh=1");
}

}  // namespace
}  // namespace widgets
