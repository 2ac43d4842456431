#include "feed/fetch_state.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "platform/files.h"
#include "platform/text.h"
#include "test_util.h"

namespace feed {
namespace {

std::u16string Path(const testutil::TempDir& dir, const char* name) { return platform::Utf8ToU16(dir.file(name)); }

TEST(FetchState, HoldsAutomaticRequestsWhileTheServerAskedAndKeepsValidators) {
  FetchState s;
  const int64_t now = 1800000000;
  EXPECT_TRUE(AutomaticRequestAllowed(s, now));
  // The back-off is the widget's own: a failure alone holds nothing back.
  RecordFailure(&s, 0, now);
  EXPECT_TRUE(AutomaticRequestAllowed(s, now));
  EXPECT_EQ(s.failures, 1);
  // A server's Retry-After holds automatic requests, for a day at most.
  RecordFailure(&s, 3600, now);
  EXPECT_FALSE(AutomaticRequestAllowed(s, now + 3599));
  EXPECT_TRUE(AutomaticRequestAllowed(s, now + 3600));
  RecordFailure(&s, 100000000, now);
  EXPECT_EQ(s.notBefore, now + 86400);
  // A good answer forgets the failures and takes the new validators.
  s.etag = u"\"old\"";
  RecordAnswer(&s, u"\"v2\"", u"Mon, 07 Dec 2026 08:00:00 GMT", now);
  EXPECT_EQ(s.failures, 0);
  EXPECT_TRUE(AutomaticRequestAllowed(s, now));
  EXPECT_EQ(s.etag, u"\"v2\"");
  RecordAnswer(&s, u"", u"", now);  // an answer without validators forgets them
  EXPECT_TRUE(s.etag.empty() && s.lastModified.empty());
  s.etag = u"e";
  RecordFailure(&s, 0, now);
  RecordUnchanged(&s, now);
  EXPECT_EQ(s.etag, u"e");
  EXPECT_EQ(s.failures, 0);
}

TEST(FetchState, RememberedAcrossRuns) {
  testutil::TempDir dir;
  std::u16string file = Path(dir, "feeds.dat");
  {
    FetchStates states;
    states.Open(file);
    FetchState s;
    RecordAnswer(&s, u"W/\"abc\"", u"Mon, 07 Dec 2026 08:00:00 GMT", 100);
    states.Put(u"1300000000 http://a.example/rss?x=1", s);
    FetchState busy;
    RecordFailure(&busy, 120, 200);
    states.Put(u"1300000001 http://b.example/\t新闻", busy);  // a tab in a key cannot break the file
  }
  FetchStates again;
  again.Open(file);
  FetchState a = again.Get(u"1300000000 http://a.example/rss?x=1");
  EXPECT_EQ(a.etag, u"W/\"abc\"");
  EXPECT_EQ(a.lastModified, u"Mon, 07 Dec 2026 08:00:00 GMT");
  FetchState b = again.Get(u"1300000001 http://b.example/ 新闻");
  EXPECT_EQ(b.failures, 1);
  EXPECT_EQ(b.notBefore, 320);
  EXPECT_TRUE(again.Get(u"unknown").etag.empty());
}

TEST(FetchState, AnswersSavedFromManyThreadsAtOnceAreAllInTheFile) {
  testutil::TempDir dir;
  std::u16string file = Path(dir, "feeds.dat");
  FetchStates states;
  states.Open(file);
  constexpr int kThreads = 8;
  for (int round = 1; round <= 20; ++round) {
    const std::u16string etag = u"e" + platform::Utf8ToU16(std::to_string(round));
    std::atomic<int> waiting{kThreads};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
      threads.emplace_back([&, t] {
        FetchState s;
        RecordAnswer(&s, etag, u"", round);
        --waiting;
        while (waiting.load() > 0) std::this_thread::yield();  // all store and save at once
        states.Put(u"k" + platform::Utf8ToU16(std::to_string(t)), s);
      });
    }
    for (auto& th : threads) th.join();
    // Whatever thread wrote last, the file holds every answer of the round.
    FetchStates again;
    again.Open(file);
    for (int t = 0; t < kThreads; ++t)
      ASSERT_EQ(again.Get(u"k" + platform::Utf8ToU16(std::to_string(t))).etag, etag) << "round " << round << " k" << t;
  }
  // Stored only, it is in memory and not yet in the file; the next save writes it.
  FetchState later;
  RecordAnswer(&later, u"later", u"", 99);
  states.Store(u"k0", later);
  EXPECT_EQ(states.Get(u"k0").etag, u"later");
  FetchStates before;
  before.Open(file);
  EXPECT_EQ(before.Get(u"k0").etag, u"e20");
  states.Save();
  FetchStates after;
  after.Open(file);
  EXPECT_EQ(after.Get(u"k0").etag, u"later");
}

TEST(FetchState, DamagedOrForeignFilesAreIgnoredAndBounded) {
  FetchStates states;
  states.Parse("something else\nk\te\tl\t0\t0\t0\n");
  EXPECT_TRUE(states.Get(u"k").etag.empty());
  states.Parse("pelinor-fetch-state 1\nk\te\tl\t0\t0\t0\nbad line\nk2\te\tl\tx\t0\t0\n\tno key\t\t0\t0\t0\n");
  EXPECT_EQ(states.Get(u"k").etag, u"e");
  EXPECT_TRUE(states.Get(u"k2").etag.empty());
  // A missing file is an empty memory.
  testutil::TempDir dir;
  FetchStates none;
  none.Open(Path(dir, "absent.dat"));
  EXPECT_TRUE(none.Get(u"k").etag.empty());
  // At most kMaxFetchStates are kept: the least recently used go.
  FetchStates many;
  for (size_t i = 0; i <= kMaxFetchStates; ++i) {
    FetchState s;
    RecordAnswer(&s, u"e", u"", static_cast<int64_t>(1000 + i));
    std::string key = "k" + std::to_string(i);
    many.Put(std::u16string(key.begin(), key.end()), s);
  }
  EXPECT_TRUE(many.Get(u"k0").etag.empty());
  EXPECT_EQ(many.Get(u"k1").etag, u"e");
}

std::vector<FeedItem> Feed(std::initializer_list<const char16_t*> links) {
  std::vector<FeedItem> items;
  for (const char16_t* l : links) items.push_back(FeedItem{u"t", l, u"", u"", false});
  return items;
}

std::vector<bool> Fresh(const std::vector<FeedItem>& items) {
  std::vector<bool> out;
  for (const auto& i : items) out.push_back(i.fresh);
  return out;
}

TEST(FetchState, NewItemsAreThoseNeverDeliveredBefore) {
  FetchState s;
  auto first = Feed({u"a", u"b", u"c"});
  MarkFreshItems(&s, &first);
  EXPECT_EQ(Fresh(first), (std::vector<bool>{false, false, false}));  // a first look marks nothing
  auto second = Feed({u"d", u"a", u"b"});
  MarkFreshItems(&s, &second);
  EXPECT_EQ(Fresh(second), (std::vector<bool>{true, false, false}));
  // The next delivery the item is no longer new; one that dropped out and returns is old.
  auto third = Feed({u"e", u"d", u"c"});
  MarkFreshItems(&s, &third);
  EXPECT_EQ(Fresh(third), (std::vector<bool>{true, false, false}));
  EXPECT_EQ(s.shown.front(), u"e");

  // Bounded per feed, the oldest forgotten first; and remembered across runs.
  FetchState big;
  std::vector<FeedItem> many;
  for (size_t i = 0; i < kMaxShownLinks + 50; ++i) {
    std::string l = "http://x/" + std::to_string(i);
    many.push_back(FeedItem{u"t", std::u16string(l.begin(), l.end()), u"", u"", false});
  }
  MarkFreshItems(&big, &many);
  EXPECT_EQ(big.shown.size(), kMaxShownLinks);
  testutil::TempDir dir;
  {
    FetchStates states;
    states.Open(Path(dir, "feeds.dat"));
    states.Put(u"k", s);
  }
  FetchStates again;
  again.Open(Path(dir, "feeds.dat"));
  EXPECT_EQ(again.Get(u"k").shown, s.shown);
}

}  // namespace
}  // namespace feed
