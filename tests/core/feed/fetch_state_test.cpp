#include "feed/fetch_state.h"

#include <gtest/gtest.h>

#include "platform/files.h"
#include "platform/text.h"
#include "test_util.h"

namespace feed {
namespace {

std::u16string Path(const testutil::TempDir& dir, const char* name) { return platform::Utf8ToU16(dir.file(name)); }

TEST(FetchState, BackoffDoublesUpToTheInterval) {
  EXPECT_EQ(BackoffSeconds(0), 0);
  EXPECT_EQ(BackoffSeconds(1), 60);
  EXPECT_EQ(BackoffSeconds(2), 120);
  EXPECT_EQ(BackoffSeconds(5), 960);
  EXPECT_EQ(BackoffSeconds(6), kRefreshIntervalSeconds);
  EXPECT_EQ(BackoffSeconds(1000), kRefreshIntervalSeconds);

  FetchState s;
  const int64_t now = 1800000000;
  EXPECT_TRUE(AutomaticRequestAllowed(s, now));
  RecordFailure(&s, 0, now);
  EXPECT_FALSE(AutomaticRequestAllowed(s, now + 59));
  EXPECT_TRUE(AutomaticRequestAllowed(s, now + 60));
  RecordFailure(&s, 0, now);
  EXPECT_EQ(s.notBefore, now + 120);
  // A server's Retry-After longer than the back-off wins; a shorter one does not.
  RecordFailure(&s, 3600, now);
  EXPECT_EQ(s.notBefore, now + 3600);
  RecordFailure(&s, 5, now);
  EXPECT_EQ(s.notBefore, now + 480);
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

}  // namespace
}  // namespace feed
