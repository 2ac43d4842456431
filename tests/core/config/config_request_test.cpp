#include "config/config_request.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <vector>
#include <thread>

#include "config/config_apply.h"
#include "config/config_service.h"

namespace {

using config::AppConfig;

TEST(ConfigRequest, AddressesOfTheFirstAndLaterRequests) {
  std::u16string base = config::ServiceBaseUrl(u"http", u"127.0.0.1", 18777);
  EXPECT_EQ(base, u"http://127.0.0.1:18777");
  EXPECT_EQ(config::ServiceBaseUrl(u"https", u"svc.example", 0), u"https://svc.example");
  std::u16string first = config::FirstRunQuery(u"3%3D5%2C7%3D1%2C");
  EXPECT_EQ(config::ConfigRequestUrl(base, u"1.0.0.0", first),
            u"http://127.0.0.1:18777/pelinor/appconfig/appconfig.php?ver=1.0.0.0&run=1&stat=3%3D5%2C7%3D1%2C");
  EXPECT_EQ(config::ConfigRequestUrl(base, u"1.0.0.0", u""),
            u"http://127.0.0.1:18777/pelinor/appconfig/appconfig.php?ver=1.0.0.0");
  EXPECT_TRUE(config::QueryCarriesStatistics(first));
  EXPECT_TRUE(config::QueryCarriesStatistics(config::FirstRunQuery(u"")));  // an empty report still counts
  EXPECT_FALSE(config::QueryCarriesStatistics(u""));
  EXPECT_FALSE(config::QueryCarriesStatistics(u"run=1&nostat=1"));
}

TEST(ConfigRequest, PictureNamesAreSafeLastSegments) {
  EXPECT_EQ(config::SafePictureFileName(u"http://a/b/c/pic_1.PNG?x=1#f"), u"pic_1.PNG");
  EXPECT_EQ(config::SafePictureFileName(u"https://a/x.jpeg"), u"x.jpeg");
  EXPECT_EQ(config::SafePictureFileName(u"http://a/x.exe"), u"");
  EXPECT_EQ(config::SafePictureFileName(u"http://a/..%5Cx.png"), u"");
  EXPECT_EQ(config::SafePictureFileName(u"http://a/.png"), u"");
  EXPECT_EQ(config::SafePictureFileName(u"http://a/b\\..\\x.png"), u"");
  EXPECT_EQ(config::SafePictureFileName(u"http://a/x.png/"), u"");
  EXPECT_EQ(config::SafePictureFileName(u"http://x.png"), u"");  // no path at all
  EXPECT_EQ(config::SafePictureFileName(u"http://a/con.png"), u"");
  EXPECT_EQ(config::SafePictureFileName(u"http://a/LPT1.gif"), u"");
  EXPECT_EQ(config::SafePictureFileName(u"http://a/console.gif"), u"console.gif");
  EXPECT_EQ(config::SafePictureFileName(u"http://a/" + std::u16string(120, u'a') + u".png"), u"");
  EXPECT_EQ(config::SafePictureFileName(u"http://a/新闻.png"), u"");
}

TEST(ConfigRequest, PicturesAreFetchedOnlyFromTheWeb) {
  AppConfig c;
  AdvertRecord a;
  a.id = 1;
  a.type = 2;
  a.position = 1;
  a.endtime = 10;
  a.pic = u"http://pics/ok.png";
  c.adverts.push_back(a);
  a.pic = u"http://pics/fails.png";
  c.adverts.push_back(a);
  a.pic = u"C:\\Windows\\x.png";  // a local path from the service is never loaded
  c.adverts.push_back(a);
  a.type = 1;
  a.text = u"t";  // a text advert just loses the stray picture
  c.adverts.push_back(a);
  std::vector<std::u16string> asked;
  int dropped = config::ResolvePictures(&c, [&asked](const std::u16string& url) {
    asked.push_back(url);
    return url == u"http://pics/ok.png" ? std::u16string(u"D:\\data\\adv\\ok.png") : std::u16string();
  });
  EXPECT_EQ(dropped, 2);
  EXPECT_EQ(asked, (std::vector<std::u16string>{u"http://pics/ok.png", u"http://pics/fails.png"}));
  ASSERT_EQ(c.adverts.size(), 2u);
  EXPECT_EQ(c.adverts[0].pic, u"D:\\data\\adv\\ok.png");
  EXPECT_EQ(c.adverts[1].type, 1);
  EXPECT_TRUE(c.adverts[1].pic.empty());
}

AppConfig SampleConfig() {
  AppConfig c;
  c.newsSources = {{u"A", u"http://a"}, {u"B", u"http://b"}, {u"C", u"http://C"}};
  c.advLinkGroups = {{6, {{u"x", u"http://x"}, {u"y", u"http://y"}, {u"z", u"http://z"}}}, {2, {{u"q", u"http://q"}}}};
  AdvertRecord ended;
  ended.position = 1;
  ended.endtime = 50;
  AdvertRecord running = ended;
  running.endtime = 200;
  AdvertRecord later;
  later.position = 2;
  later.starttime = 10;
  c.adverts = {ended, running, later};
  c.updateVersion = u"1.0.0.1";
  c.updateUrl = u"https://svc/setup.exe";
  return c;
}

TEST(ConfigApply, SuccessfulResponsePlan) {
  AppConfig c = SampleConfig();
  std::vector<NewsLink> custom = {{u"mine", u"http://b"}, {u"other", u"http://c"}};
  config::ApplyInput in;
  in.config = &c;
  in.parsed = true;
  in.carriedStatistics = true;
  in.customLinks = &custom;
  in.widgetCount = 0;
  in.fallbackUrl = u"http://builtin";
  in.screenWidth = 1024;
  in.screenHeight = 768;
  in.now = 100;
  config::ApplyPlan p = config::PlanApply(in);
  EXPECT_TRUE(p.resetStatistics);
  ASSERT_EQ(p.currentAdverts.size(), 2u);
  EXPECT_EQ(p.currentAdverts[0].endtime, 200);
  EXPECT_EQ(p.advLinkGroups.size(), 2u);
  // A custom URL is left out case-sensitively.
  EXPECT_TRUE(p.replaceRemoteLinks);
  EXPECT_EQ(p.remoteLinks, (std::vector<NewsLink>{{u"A", u"http://a"}, {u"C", u"http://C"}}));
  EXPECT_TRUE(p.createFirstWidget);
  EXPECT_EQ(p.firstWidgetUrl, u"http://a");
  EXPECT_EQ(p.firstWidgetPlace.x, 624);
  EXPECT_EQ(p.firstWidgetPlace.y, 0);
  // Position-6 links go to the widgets there will be: here the one new widget.
  ASSERT_EQ(p.widgetAdLinks.size(), 1u);
  EXPECT_EQ(p.widgetAdLinks[0].link, u"http://x");
  EXPECT_TRUE(p.scheduleSave);
  EXPECT_TRUE(p.offerUpdate);
  EXPECT_EQ(p.offerUrl, u"https://svc/setup.exe");

  in.widgetCount = 5;
  in.carriedStatistics = false;  // a periodic request never wipes unreported counts
  p = config::PlanApply(in);
  EXPECT_FALSE(p.resetStatistics);
  EXPECT_FALSE(p.createFirstWidget);
  EXPECT_EQ(p.widgetAdLinks.size(), 3u);
}

TEST(ConfigApply, FallbackWidgetWhenTheServiceLeavesNone) {
  AppConfig empty;
  config::ApplyInput in;
  in.config = &empty;
  in.parsed = true;
  in.fallbackUrl = u"http://builtin";
  in.screenWidth = 300;
  in.screenHeight = 100;
  config::ApplyPlan p = config::PlanApply(in);
  EXPECT_FALSE(p.replaceRemoteLinks);
  EXPECT_TRUE(p.createFirstWidget);
  EXPECT_EQ(p.firstWidgetUrl, u"http://builtin");
  EXPECT_EQ(p.firstWidgetPlace.x, 50);
  EXPECT_EQ(p.firstWidgetPlace.y, -50);
  EXPECT_FALSE(p.offerUpdate);
  // A failed response changes nothing but the fallback.
  AppConfig c = SampleConfig();
  in.config = &c;
  in.parsed = false;
  in.carriedStatistics = true;
  p = config::PlanApply(in);
  EXPECT_FALSE(p.resetStatistics);
  EXPECT_FALSE(p.replaceRemoteLinks);
  EXPECT_FALSE(p.offerUpdate);
  EXPECT_TRUE(p.createFirstWidget);
  EXPECT_EQ(p.firstWidgetUrl, u"http://builtin");
  in.widgetCount = 1;
  EXPECT_FALSE(config::PlanApply(in).createFirstWidget);
  EXPECT_FALSE(config::NeedsFallbackWidget(0, u""));
}

TEST(ConfigApply, TheFirstWidgetShowsAtOnceAndTakesTheMakersFirstSourceOrTheBuiltInFeed) {
  using config::FirstWidgetAtStart;
  EXPECT_EQ(config::PlanFirstWidgetAtStart(0, true), FirstWidgetAtStart::kWaiting);
  EXPECT_EQ(config::PlanFirstWidgetAtStart(0, false), FirstWidgetAtStart::kBuiltIn);
  EXPECT_EQ(config::PlanFirstWidgetAtStart(2, true), FirstWidgetAtStart::kNone);

  // The configuration names the maker's sources: the waiting widget takes the first; no
  // second widget is made.
  AppConfig c = SampleConfig();
  config::ApplyInput in;
  in.config = &c;
  in.parsed = true;
  in.widgetCount = 1;
  in.firstWidgetWaiting = true;
  in.fallbackUrl = u"http://builtin";
  config::ApplyPlan p = config::PlanApply(in);
  EXPECT_TRUE(p.feedWaitingWidget);
  EXPECT_FALSE(p.createFirstWidget);
  EXPECT_EQ(p.firstWidgetUrl, u"http://a");
  EXPECT_EQ(p.widgetAdLinks.size(), 1u);  // the waiting widget gets its advert line
  // Even when the user added a widget from its menu meanwhile.
  in.widgetCount = 2;
  p = config::PlanApply(in);
  EXPECT_TRUE(p.feedWaitingWidget);
  EXPECT_EQ(p.firstWidgetUrl, u"http://a");
  // A configuration without sources, or a failed request: the built-in feed.
  AppConfig empty;
  in.config = &empty;
  in.widgetCount = 1;
  p = config::PlanApply(in);
  EXPECT_TRUE(p.feedWaitingWidget);
  EXPECT_FALSE(p.createFirstWidget);
  EXPECT_EQ(p.firstWidgetUrl, u"http://builtin");
  in.config = &c;
  in.parsed = false;
  p = config::PlanApply(in);
  EXPECT_TRUE(p.feedWaitingWidget);
  EXPECT_EQ(p.firstWidgetUrl, u"http://builtin");
  EXPECT_TRUE(p.scheduleSave);
  // Once it has its feed, a later configuration leaves the widgets alone.
  in.parsed = true;
  in.firstWidgetWaiting = false;
  p = config::PlanApply(in);
  EXPECT_FALSE(p.feedWaitingWidget || p.createFirstWidget);
}

// A fetcher that blocks until released, to hold a request open.
struct Gate {
  std::mutex m;
  std::condition_variable cv;
  bool open = false;
  void Open() {
    std::lock_guard<std::mutex> l(m);
    open = true;
    cv.notify_all();
  }
  void Wait() {
    std::unique_lock<std::mutex> l(m);
    cv.wait(l, [this] { return open; });
  }
};

struct Outcomes {
  std::mutex m;
  std::condition_variable cv;
  std::vector<config::ConfigOutcome> got;
  void Add(const config::ConfigOutcome& o) {
    std::lock_guard<std::mutex> l(m);
    got.push_back(o);
    cv.notify_all();
  }
  bool WaitFor(size_t n) {
    std::unique_lock<std::mutex> l(m);
    // A bound only against a hang: on a loaded machine under Wine a new thread has been
    // seen to wait over ten seconds for its first turn.
    return cv.wait_for(l, std::chrono::seconds(60), [&] { return got.size() >= n; });
  }
};

TEST(ConfigService, OneRequestAtATimeAndTheRecordSwapsWhole) {
  auto gate = std::make_shared<Gate>();
  std::atomic<int> fetches{0};
  std::u16string lastUrl;
  std::mutex urlMutex;
  config::ConfigService service(
      [gate, &fetches, &lastUrl, &urlMutex](const std::u16string& url, std::string* body) {
        ++fetches;
        {
          std::lock_guard<std::mutex> l(urlMutex);
          lastUrl = url;
        }
        gate->Wait();
        *body = "<r><update><ver>1.0.0.1</ver><url>u</url></update></r>";
        return true;
      },
      nullptr);
  Outcomes outcomes;
  EXPECT_TRUE(service.Start(u"first", true, [&outcomes](const config::ConfigOutcome& o) { outcomes.Add(o); }));
  EXPECT_FALSE(service.Start(u"second", false, nullptr));  // dropped, not queued
  EXPECT_TRUE(service.running());
  EXPECT_EQ(service.Current(), nullptr);  // readers never wait for the network
  gate->Open();
  ASSERT_TRUE(outcomes.WaitFor(1));
  EXPECT_TRUE(outcomes.got[0].parsed);
  EXPECT_TRUE(outcomes.got[0].carriedStatistics);
  EXPECT_FALSE(service.running());
  auto first = service.Current();
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->updateVersion, u"1.0.0.1");
  EXPECT_EQ(fetches.load(), 1);
  EXPECT_EQ(lastUrl, u"first");
}

TEST(ConfigService, FailuresKeepThePreviousRecord) {
  std::atomic<int> call{0};
  // The requests run on threads the test joins, so none outlives what it reports to.
  std::vector<std::thread> threads;
  config::ConfigService service(
      [&call](const std::u16string&, std::string* body) {
        int n = ++call;
        if (n == 1) *body = "<r><appconfig><thirdparty_news_url><i><name>a</name><url>b</url></i>"
                            "</thirdparty_news_url></appconfig></r>";
        if (n == 2) *body = "<r><unclosed></r>";
        return n != 3;
      },
      nullptr,
      [&threads](std::function<void()> job) {
        threads.emplace_back(std::move(job));
        return true;
      });
  Outcomes outcomes;
  auto done = [&outcomes](const config::ConfigOutcome& o) { outcomes.Add(o); };
  for (size_t i = 1; i <= 3; ++i) {
    ASSERT_TRUE(service.Start(u"x", false, done)) << "request " << i;
    threads.back().join();  // the running mark is cleared before the outcome is told
    ASSERT_TRUE(outcomes.WaitFor(i)) << "request " << i;
    EXPECT_FALSE(service.running());
  }
  EXPECT_TRUE(outcomes.got[0].parsed);
  EXPECT_FALSE(outcomes.got[1].parsed);  // malformed
  EXPECT_FALSE(outcomes.got[2].parsed);  // fetch failed
  ASSERT_NE(service.Current(), nullptr);
  EXPECT_EQ(service.Current()->newsSources.size(), 1u);
}

TEST(ConfigService, ARunnerGivenCarriesTheRequestAndARefusalLeavesItIdle) {
  std::vector<std::function<void()>> jobs;
  bool accept = false;
  config::ConfigService service(
      [](const std::u16string&, std::string* body) {
        *body = "<r><update><ver>1.0.0.2</ver><url>u</url></update></r>";
        return true;
      },
      nullptr,
      [&jobs, &accept](std::function<void()> job) {
        if (accept) jobs.push_back(std::move(job));
        return accept;
      });
  Outcomes outcomes;
  auto done = [&outcomes](const config::ConfigOutcome& o) { outcomes.Add(o); };
  // No thread to be had: the request is not started, and the next one may be.
  EXPECT_FALSE(service.Start(u"x", false, done));
  EXPECT_FALSE(service.running());
  accept = true;
  ASSERT_TRUE(service.Start(u"x", false, done));
  ASSERT_EQ(jobs.size(), 1u);
  EXPECT_TRUE(service.running());
  EXPECT_FALSE(service.Start(u"y", false, done)) << "one at a time, through the runner too";
  jobs[0]();  // the runner's thread
  ASSERT_TRUE(outcomes.WaitFor(1));
  EXPECT_TRUE(outcomes.got[0].parsed);
  EXPECT_FALSE(service.running());
  ASSERT_NE(service.Current(), nullptr);
  EXPECT_EQ(service.Current()->updateVersion, u"1.0.0.2");
}

}  // namespace
