// Dates as feeds write them.
#include "feed/feed_date.h"

#include <gtest/gtest.h>

namespace feed {
namespace {

// Seconds since 1970 of a UTC time, for readable expectations.
int64_t Utc(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
  CivilTime t;
  t.year = y;
  t.month = mo;
  t.day = d;
  t.hour = h;
  t.minute = mi;
  t.second = s;
  return SecondsFromCivil(t);
}

TEST(FeedDate, TheFormsFeedsWrite) {
  struct Case {
    const char16_t* text;
    int64_t seconds;
    bool zoned, hasTime;
  } cases[] = {
      {u"Mon, 07 Dec 2026 07:30:00 +0800", Utc(2026, 12, 6, 23, 30), true, true},
      {u"Mon, 7 Dec 2026 07:30 GMT", Utc(2026, 12, 7, 7, 30), true, true},
      {u"07 Dec 26 07:30:00 EST", Utc(2026, 12, 7, 12, 30), true, true},
      {u"Mon, 07 December 2026 07:30:00 -05:00", Utc(2026, 12, 7, 12, 30), true, true},
      {u"Mon, 07 Dec 2026 07:30:00 GMT+8", Utc(2026, 12, 6, 23, 30), true, true},
      {u"Mon, 07 Dec 2026 07:30:00 +0800 (CST)", Utc(2026, 12, 6, 23, 30), true, true},
      {u"07-Dec-2026 07:30:00 UT", Utc(2026, 12, 7, 7, 30), true, true},
      {u"  Tue, 29 Feb 2028 00:00:60 Z ", Utc(2028, 2, 29, 0, 0, 59), true, true},  // leap second
      {u"Monday, December 7, 2026 07:30 PDT", Utc(2026, 12, 7, 14, 30), true, true},
      {u"Dec 7, 2026", Utc(2026, 12, 7), false, false},
      {u"Mon, 07 Dec 2026", Utc(2026, 12, 7), false, false},
      {u"2026-12-07T07:30:00+08:00", Utc(2026, 12, 6, 23, 30), true, true},
      {u"2026-12-07T07:30:00.123456Z", Utc(2026, 12, 7, 7, 30), true, true},
      {u"2026-12-07t07:30:00-0130", Utc(2026, 12, 7, 9, 0), true, true},
      {u"2026-12-07 07:30:00", Utc(2026, 12, 7, 7, 30), false, true},
      {u"2026/12/7 7:30", Utc(2026, 12, 7, 7, 30), false, true},
      {u"2026-12-07", Utc(2026, 12, 7), false, false},
      {u"1969-12-31T23:59:59Z", -1, true, true},
  };
  for (const Case& c : cases) {
    FeedDate d;
    ASSERT_TRUE(ParseFeedDate(c.text, &d)) << std::string(c.text, c.text + std::char_traits<char16_t>::length(c.text));
    EXPECT_EQ(d.seconds, c.seconds) << d.seconds;
    EXPECT_EQ(d.zoned, c.zoned);
    EXPECT_EQ(d.hasTime, c.hasTime);
  }
}

TEST(FeedDate, WhatIsNoDate) {
  for (const char16_t* text :
       {u"", u"yesterday", u"2026-13-01", u"2026-02-30", u"2027-02-29", u"Mon, 32 Dec 2026", u"31 Foo 2026",
        u"07 Dec 2026 24:00", u"07 Dec 2026 07:60", u"2026-12-07T07:30:00+1500", u"2026-12-07T07:30:00 XYZ",
        u"2026-12-07T07:30 and more", u"07 Dec 207", u"1899-12-31", u"12026-01-01", u"2026-12-07T", u"+0800",
        u"2026-12-07T07:30:00+08:0"}) {
    FeedDate d;
    d.seconds = 42;
    EXPECT_FALSE(ParseFeedDate(text, &d)) << std::string(text, text + std::char_traits<char16_t>::length(text));
    EXPECT_EQ(d.seconds, 42);  // untouched
  }
}

TEST(FeedDate, CivilTimeBothWays) {
  for (int64_t s : {int64_t{0}, int64_t{-1}, int64_t{951782400}, int64_t{1796781600}, int64_t{253402300799}}) {
    EXPECT_EQ(SecondsFromCivil(CivilFromSeconds(s)), s);
  }
  CivilTime t = CivilFromSeconds(951782400);  // 2000-02-29, a leap day of a century year
  EXPECT_EQ(t.year, 2000);
  EXPECT_EQ(t.month, 2);
  EXPECT_EQ(t.day, 29);
}

}  // namespace
}  // namespace feed
