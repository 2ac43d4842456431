#include "feed/feed_date.h"

namespace feed {
namespace {

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }
bool IsLetter(char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }
char16_t Lower(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c; }

// A cursor over the text with the small steps both grammars are made of.
class Reader {
 public:
  explicit Reader(const std::u16string& s) : s_(s) {}
  bool AtEnd() const { return i_ >= s_.size(); }
  char16_t Peek(size_t ahead = 0) const { return i_ + ahead < s_.size() ? s_[i_ + ahead] : 0; }
  void SkipSpaces() {
    while (!AtEnd() && (s_[i_] == u' ' || s_[i_] == u'\t' || s_[i_] == u'\r' || s_[i_] == u'\n')) ++i_;
  }
  bool Take(char16_t c) {
    if (Peek() != c) return false;
    ++i_;
    return true;
  }
  // Between `min` and `max` digits; false (nothing taken) when fewer.
  bool Number(size_t min, size_t max, int* value, size_t* count = nullptr) {
    size_t n = 0;
    int v = 0;
    while (n < max && IsDigit(Peek(n))) v = v * 10 + (Peek(n++) - u'0');
    if (n < min) return false;
    i_ += n;
    *value = v;
    if (count) *count = n;
    return true;
  }
  std::u16string Word() {
    std::u16string w;
    while (IsLetter(Peek())) w.push_back(Lower(s_[i_++]));
    return w;
  }

 private:
  const std::u16string& s_;
  size_t i_ = 0;
};

int DaysInMonth(int year, int month) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

bool Valid(const CivilTime& t) {
  return t.year >= 1900 && t.year <= 9999 && t.month >= 1 && t.month <= 12 && t.day >= 1 &&
         t.day <= DaysInMonth(t.year, t.month) && t.hour >= 0 && t.hour <= 23 && t.minute >= 0 && t.minute <= 59 &&
         t.second >= 0 && t.second <= 60;
}

int MonthFromName(const std::u16string& word) {
  static const char16_t* kNames[] = {u"jan", u"feb", u"mar", u"apr", u"may", u"jun",
                                     u"jul", u"aug", u"sep", u"oct", u"nov", u"dec"};
  if (word.size() < 3) return 0;
  for (int m = 0; m < 12; ++m)
    if (word.compare(0, 3, kNames[m]) == 0) return m + 1;
  return 0;
}

// "+0800", "-05:00", "+8", "+08": minutes east of UTC.
bool NumericOffset(Reader* r, int* minutes) {
  int sign = r->Take(u'+') ? 1 : r->Take(u'-') ? -1 : 0;
  if (!sign) return false;
  int hours = 0, mins = 0;
  size_t digits = 0;
  if (!r->Number(1, 4, &hours, &digits)) return false;
  if (digits > 2) {  // "0800"
    mins = hours % 100;
    hours /= 100;
  } else if (r->Take(u':') && !r->Number(2, 2, &mins)) {
    return false;
  }
  if (hours > 14 || mins > 59) return false;
  *minutes = sign * (hours * 60 + mins);
  return true;
}

// The zone after a time: a numeric offset, "Z", or a name ("GMT", "UTC", the North
// American ones of RFC 822, "GMT+8"). False when something else follows.
bool Zone(Reader* r, int* minutes, bool* zoned) {
  r->SkipSpaces();
  *zoned = false;
  *minutes = 0;
  if (r->AtEnd()) return true;
  if (r->Peek() == u'+' || r->Peek() == u'-') return (*zoned = NumericOffset(r, minutes));
  std::u16string name = r->Word();
  static const struct { const char16_t* name; int hours; } kZones[] = {
      {u"z", 0},   {u"gmt", 0}, {u"ut", 0},  {u"utc", 0}, {u"est", -5}, {u"edt", -4},
      {u"cst", -6}, {u"cdt", -5}, {u"mst", -7}, {u"mdt", -6}, {u"pst", -8}, {u"pdt", -7}};
  for (const auto& z : kZones) {
    if (name != z.name) continue;
    *minutes = z.hours * 60;
    *zoned = true;
    // "GMT+8", "UTC+08:00"
    if ((r->Peek() == u'+' || r->Peek() == u'-') && z.hours == 0 && !NumericOffset(r, minutes)) return false;
    return true;
  }
  return false;
}

bool Finish(CivilTime t, bool hasTime, Reader* r, FeedDate* date) {
  int offset = 0;
  bool zoned = false;
  if (hasTime && !Zone(r, &offset, &zoned)) return false;
  r->SkipSpaces();
  if (r->Take(u'(')) {  // a comment naming the zone: "+0800 (CST)"
    while (!r->AtEnd() && !r->Take(u')')) r->Take(r->Peek());
    r->SkipSpaces();
  }
  if (!r->AtEnd() || !Valid(t)) return false;
  if (t.second == 60) t.second = 59;  // a leap second
  date->seconds = SecondsFromCivil(t) - static_cast<int64_t>(offset) * 60;
  date->zoned = zoned;
  date->hasTime = hasTime;
  return true;
}

// hh:mm[:ss[.fraction]]
bool TimeOfDay(Reader* r, CivilTime* t) {
  if (!r->Number(1, 2, &t->hour) || !r->Take(u':') || !r->Number(2, 2, &t->minute)) return false;
  if (r->Take(u':')) {
    if (!r->Number(2, 2, &t->second)) return false;
    if (r->Take(u'.') || r->Take(u',')) {
      int ignored = 0;
      if (!r->Number(1, 9, &ignored)) return false;
    }
  }
  return true;
}

// RFC 3339 and its looser kin: 2026-12-07[T 07:30[:00[.000]]][zone], also with "/".
bool ParseNumeric(const std::u16string& text, FeedDate* date) {
  Reader r(text);
  r.SkipSpaces();
  CivilTime t;
  if (!r.Number(4, 4, &t.year)) return false;
  char16_t sep = r.Peek();
  if ((sep != u'-' && sep != u'/') || !r.Take(sep) || !r.Number(1, 2, &t.month) || !r.Take(sep) ||
      !r.Number(1, 2, &t.day))
    return false;
  bool hasTime = false;
  if (r.Take(u'T') || r.Take(u't') || (r.Peek() == u' ' && IsDigit(r.Peek(1)) && r.Take(u' '))) {
    if (!TimeOfDay(&r, &t)) return false;
    hasTime = true;
  }
  return Finish(t, hasTime, &r, date);
}

// RFC 822: [Mon,] 07 Dec 2026 07:30[:00] zone; the day name, seconds and zone may be
// missing. Also the month first: [Monday,] December 7, 2026 [07:30 zone].
bool ParseRfc822(const std::u16string& text, FeedDate* date) {
  Reader r(text);
  r.SkipSpaces();
  CivilTime t;
  t.month = 0;
  if (IsLetter(r.Peek())) {  // the day's name, or the month's
    std::u16string word = r.Word();
    r.Take(u',');
    r.SkipSpaces();
    if (IsLetter(r.Peek())) {
      word = r.Word();
      r.SkipSpaces();
    }
    t.month = IsDigit(r.Peek()) ? MonthFromName(word) : 0;
    if (t.month && r.Number(1, 2, &t.day) && r.Take(u',')) {
      r.SkipSpaces();
    } else {
      t.month = 0;
      t.day = 0;
    }
  }
  if (!t.month) {
    if (!r.Number(1, 2, &t.day)) return false;
    r.SkipSpaces();
    r.Take(u'-');
    t.month = MonthFromName(r.Word());
    if (!t.month) return false;
  }
  r.SkipSpaces();
  r.Take(u'-');
  size_t digits = 0;
  if (!r.Number(2, 4, &t.year, &digits) || digits == 3) return false;
  if (digits == 2) t.year += t.year < 50 ? 2000 : 1900;
  r.SkipSpaces();
  bool hasTime = false;
  if (!r.AtEnd()) {
    if (!TimeOfDay(&r, &t)) return false;
    hasTime = true;
  }
  return Finish(t, hasTime, &r, date);
}

}  // namespace

CivilTime CivilFromSeconds(int64_t seconds) {
  int64_t days = seconds / 86400, rest = seconds % 86400;
  if (rest < 0) {
    rest += 86400;
    --days;
  }
  // Days to a civil date (H. Hinnant's algorithm).
  days += 719468;
  const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const int64_t doe = days - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  CivilTime t;
  t.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  t.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  t.year = static_cast<int>(yoe + era * 400 + (t.month <= 2 ? 1 : 0));
  t.hour = static_cast<int>(rest / 3600);
  t.minute = static_cast<int>(rest % 3600 / 60);
  t.second = static_cast<int>(rest % 60);
  return t;
}

int64_t SecondsFromCivil(const CivilTime& t) {
  const int64_t y = t.year - (t.month <= 2 ? 1 : 0);
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (t.month > 2 ? t.month - 3 : t.month + 9) + 2) / 5 + t.day - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  const int64_t days = era * 146097 + doe - 719468;
  return days * 86400 + t.hour * 3600 + t.minute * 60 + t.second;
}

bool ParseFeedDate(const std::u16string& text, FeedDate* date) {
  if (text.empty() || text.size() > 64) return false;
  FeedDate parsed;
  if (!ParseNumeric(text, &parsed) && !ParseRfc822(text, &parsed)) return false;
  *date = parsed;
  return true;
}

}  // namespace feed
