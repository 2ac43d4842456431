// Widgets at their own intervals over a day, driven second by second as the program's
// tick drives them, with a fake clock.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "feed/feed_parser.h"
#include "feed/refresh_policy.h"
#include "widgets/news_feed_logic.h"

namespace widgets {
namespace {

class Settings : public feed::RefreshSettingsView {
 public:
  int64_t DefaultIntervalSeconds() const override { return seconds; }
  int64_t seconds = 1800;
};

// A widget's window: it notes when its feed was asked for.
class Host : public NewsFeedHost {
 public:
  explicit Host(const int64_t* now) : now_(now) {}
  bool StartRetrieval(const std::u16string& url, bool) override {
    asked.push_back(*now_);
    lastUrl = url;
    return true;
  }
  int MeasureTitle(const std::u16string& t, bool) override { return 7 * static_cast<int>(t.size()); }
  int CurrentWidth() override { return 200; }
  int CurrentHeight() override { return 200; }
  void ResizeTo(int, int) override {}
  void LayOutForWidth(int) override {}
  void ShowContent(const std::u16string& stored, const std::u16string&) override { content = stored; }
  std::u16string StoredContent() override { return content; }
  int ContentHeight() override { return 40; }
  void ShowFailureToast(const std::u16string&) override {}
  void Repaint() override {}
  int64_t NowSeconds() override { return *now_; }

  std::vector<int64_t> asked;
  std::u16string lastUrl, content;

 private:
  const int64_t* now_;
};

struct Widget {
  Widget(const int64_t* now, const Settings* settings, int32_t interval, const std::u16string& url)
      : host(now), logic(&host, settings), url(url) {
    logic.SetOwnInterval(interval);
  }
  Host host;
  NewsFeedLogic logic;
  std::u16string url;
};

FeedAnswer Good(const Host& host, const std::vector<NewsItem>& items) {
  FeedAnswer a;
  a.code = static_cast<int>(items.size());
  a.items = items;
  a.requestUrl = host.lastUrl;
  return a;
}

FeedAnswer Failure(const Host& host, int status, int retryAfter) {
  FeedAnswer a;
  a.code = feed::kFeedErrorDownload;
  a.failure = {feed::FailureKind::kHttpStatus, status};
  a.status = status;
  a.retryAfterSeconds = retryAfter;
  a.requestUrl = host.lastUrl;
  return a;
}

std::vector<int64_t> Gaps(const std::vector<int64_t>& t) {
  std::vector<int64_t> g;
  for (size_t i = 1; i < t.size(); ++i) g.push_back(t[i] - t[i - 1]);
  return g;
}

TEST(RefreshSchedule, ThreeWidgetsOverADayEachAtItsOwnPace) {
  int64_t now = 5000;
  Settings settings;
  const std::vector<NewsItem> items = {{u"标题", u"http://f/a"}};
  Widget fast(&now, &settings, 300, u"http://f/fast");      // 5 minutes
  Widget hourly(&now, &settings, 3600, u"http://f/hourly");  // 1 hour, always failing
  Widget usual(&now, &settings, 0, u"http://f/usual");       // the default: 30 minutes
  std::vector<Widget*> all = {&fast, &hourly, &usual};
  for (Widget* w : all) w->logic.Refresh(w->url, false);  // the start: all at once
  const int64_t busyFrom = now + 3 * 3600;  // the fast feed's server says it is busy, once
  bool busySaid = false;
  int64_t busyAt = 0;
  std::vector<NewsFeedLogic*> logics = {&fast.logic, &hourly.logic, &usual.logic};
  for (const int64_t end = now + 86400; now < end; ++now) {
    RefreshDueFeeds(logics, now);
    // The answers come within the second.
    for (Widget* w : all) {
      if (!w->logic.refreshing()) continue;
      if (w == &hourly) {
        w->logic.OnResult(Failure(w->host, 500, 0), u"", u"");
      } else if (w == &fast && now >= busyFrom && !busySaid) {
        busySaid = true;
        busyAt = now;
        w->logic.OnResult(Failure(w->host, 503, 7200), u"", u"");
      } else {
        w->logic.OnResult(Good(w->host, items), u"", u"");
      }
    }
  }

  // No two feeds asked in the same second after the start.
  std::map<int64_t, int> perSecond;
  for (Widget* w : all)
    for (size_t i = 1; i < w->host.asked.size(); ++i) ++perSecond[w->host.asked[i]];
  for (const auto& [second, count] : perSecond) EXPECT_EQ(count, 1) << "second " << second;

  // The default feed: every half hour (give or take the spread).
  for (int64_t g : Gaps(usual.host.asked)) {
    EXPECT_GE(g, 1800);
    EXPECT_LE(g, 1800 + feed::kSpreadSeconds);
  }
  EXPECT_GE(usual.host.asked.size(), 47u);

  // The fast feed: every five minutes, except the two hours its server asked for.
  const std::vector<int64_t> fastGaps = Gaps(fast.host.asked);
  int held = 0;
  for (size_t i = 0; i < fastGaps.size(); ++i) {
    if (fast.host.asked[i] == busyAt) {
      ++held;
      EXPECT_GE(fastGaps[i], 7200);
      EXPECT_LE(fastGaps[i], 7200 + feed::kSpreadSeconds);
    } else {
      EXPECT_GE(fastGaps[i], 300);
      EXPECT_LE(fastGaps[i], 300 + feed::kSpreadSeconds);
    }
  }
  EXPECT_EQ(held, 1);
  EXPECT_GE(fast.host.asked.size(), 240u);

  // The failing hourly feed: retried sooner at first, never waiting more than its hour,
  // and at most hourly once the back-off has grown to it.
  const std::vector<int64_t> hourlyGaps = Gaps(hourly.host.asked);
  ASSERT_GE(hourlyGaps.size(), 10u);
  EXPECT_EQ(hourlyGaps[0], 60);
  for (size_t i = 0; i < hourlyGaps.size(); ++i) {
    EXPECT_LE(hourlyGaps[i], 3600 + feed::kSpreadSeconds);
    if (i >= 6) {
      EXPECT_GE(hourlyGaps[i], 3600);
    }
  }
  EXPECT_LE(hourly.host.asked.size(), 7u + 24u + 1u);
}

TEST(RefreshSchedule, TheIntervalFollowsTheSettingsAndTheWidgetsOwnChoiceAtOnce) {
  int64_t now = 1000;
  Settings settings;
  const std::vector<NewsItem> items = {{u"标题", u"http://f/a"}};
  Widget w(&now, &settings, 0, u"http://f/rss");
  w.logic.Refresh(w.url, false);
  w.logic.OnResult(Good(w.host, items), u"", u"");
  EXPECT_EQ(w.logic.dueAt(), 1000 + 1800);
  settings.seconds = 86400;  // chosen in the settings dialog: no push needed
  EXPECT_EQ(w.logic.dueAt(), 1000 + 86400);
  w.logic.SetOwnInterval(900);
  EXPECT_EQ(w.logic.IntervalSeconds(), 900);
  EXPECT_FALSE(w.logic.Due(1000 + 899));
  EXPECT_TRUE(w.logic.Due(1000 + 900));
  w.logic.SetOwnInterval(100);  // not one a widget may have: the default
  EXPECT_EQ(w.logic.ownInterval(), 0);
  EXPECT_EQ(w.logic.IntervalSeconds(), 86400);
}

}  // namespace
}  // namespace widgets
