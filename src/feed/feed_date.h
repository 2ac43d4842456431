// Dates as feeds write them: RFC 822 (RSS: "Mon, 07 Dec 2026 07:30:00 +0800"), RFC 3339
// (Atom: "2026-12-07T07:30:00+08:00") and the looser forms producers use ("2026-12-07
// 07:30", "2026/12/07", "GMT+8", two-digit years, full month names).
#pragma once
#include <cstdint>
#include <string>

namespace feed {

struct FeedDate {
  // Seconds since 1970-01-01 00:00 UTC when `zoned`; without a zone, the same count for
  // the wall time the feed wrote, read as if it were UTC (its producer's local time).
  int64_t seconds = 0;
  bool zoned = false;    // the text named its offset from UTC
  bool hasTime = false;  // a time of day was given, not only a date
};

// False for text that is no date of these forms, or names a day or time that does not exist.
bool ParseFeedDate(const std::u16string& text, FeedDate* date);

// The calendar fields of seconds since 1970 UTC, and back (proleptic Gregorian).
struct CivilTime {
  int year = 1970, month = 1, day = 1, hour = 0, minute = 0, second = 0;
};
CivilTime CivilFromSeconds(int64_t seconds);
int64_t SecondsFromCivil(const CivilTime& t);

}  // namespace feed
