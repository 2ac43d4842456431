// Feed documents as downloaded: any bytes, read as RSS 2.0, RSS 1.0/0.90, Atom 1.0/0.3 or
// (for the HTML-list site) as a page of links. The first byte picks the feed URL so that
// every site rule is reached.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "feed/feed_date.h"
#include "feed/feed_parser.h"
#include "feed/feed_repair.h"
#include "feed/feed_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  std::u16string url = u"http://feeds.example/rss.xml";
  switch (data[0] % 3) {
    case 1: url = std::u16string(u"http://") + feed::kBracketTrimSiteDomain + u"/rss"; break;
    case 2: url = std::u16string(u"http://") + feed::kHtmlListSiteDomain + u"/list.html"; break;
    default: break;
  }
  std::vector<FeedItem> items;
  std::u16string title;
  bool withoutEntries = false;
  int r = feed::ParseFeedDocument(reinterpret_cast<const char*>(data) + 1, size - 1, url, &items, &title,
                                  &withoutEntries);
  if (r > 0 && static_cast<size_t>(r) != items.size()) __builtin_trap();
  // A refresh reads only a long feed's first entries: when that reading is taken, its items
  // are the first of the whole document's, in order.
  std::vector<FeedItem> head;
  const size_t entriesRead = static_cast<size_t>(feed::kEntriesWanted) + data[0] % 7;
  int h = feed::ParseFeedDocument(reinterpret_cast<const char*>(data) + 1, size - 1, url, &head, nullptr, nullptr,
                                  entriesRead);
  if (h > 0 && static_cast<size_t>(h) != head.size()) __builtin_trap();
  if (h > 0 && r > 0 && data[0] % 3 != 2) {
    if (head.size() > items.size()) __builtin_trap();
    for (size_t i = 0; i < head.size(); ++i)
      if (head[i].title != items[i].title || head[i].link != items[i].link) __builtin_trap();
  }
  // Only a document that yielded nothing can be a feed without entries.
  if (withoutEntries && (r > 0 || !items.empty())) __builtin_trap();
  // The feed's own title may become a link's name: bounded, one line.
  if (title.size() > feed::kMaxTitleChars) __builtin_trap();
  for (char16_t c : title)
    if (c == u'\r' || c == u'\n') __builtin_trap();
  // Mending ampersands leaves nothing to mend.
  const std::string repaired = feed::RepairedXmlReferences(std::string(reinterpret_cast<const char*>(data) + 1, size - 1));
  if (feed::RepairedXmlReferences(repaired) != repaired) __builtin_trap();
  // The input itself as a date: a date read names a real day of years 1900-9999 (give or
  // take the zone), and the calendar reckoning goes both ways.
  if (size <= 66) {
    feed::FeedDate date;
    if (feed::ParseFeedDate(std::u16string(data + 1, data + size), &date)) {
      feed::CivilTime t = feed::CivilFromSeconds(date.seconds);
      if (t.year < 1899 || t.year > 10000 || feed::SecondsFromCivil(t) != date.seconds) __builtin_trap();
    }
  }
  for (const auto& item : items) {
    if (item.title.empty() || item.link.empty()) __builtin_trap();
    feed::FeedDate date;
    if (feed::ParseFeedDate(item.date, &date) &&
        feed::SecondsFromCivil(feed::CivilFromSeconds(date.seconds)) != date.seconds)
      __builtin_trap();
    // Feed documents only ever hand on web addresses.
    std::u16string scheme = item.link.substr(0, 8);
    for (char16_t& c : scheme)
      if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 32);
    if (data[0] % 3 != 2 && scheme.compare(0, 7, u"http://") != 0 && scheme != u"https://") __builtin_trap();
    if (data[0] % 3 != 2 && (item.title.size() > feed::kMaxTitleChars || item.summary.size() > feed::kMaxSummaryChars))
      __builtin_trap();
    // What an untitled post's title would be: within its width, no half of a pair at its end.
    std::u16string derived = feed::TitleFromSummary(item.summary);
    if (derived.size() > feed::kDerivedTitleColumns) __builtin_trap();
    if (!derived.empty() && derived.back() >= 0xD800 && derived.back() <= 0xDBFF) __builtin_trap();
    if (derived.size() > 1 && derived.back() == 0x2026 && derived[derived.size() - 2] >= 0xD800 &&
        derived[derived.size() - 2] <= 0xDBFF)
      __builtin_trap();
  }
  return 0;
}
