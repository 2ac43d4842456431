// Feed documents as downloaded: any bytes, read as RSS or (for the HTML-list site) as a
// page of links. The first byte picks the feed URL so that every site rule is reached.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "feed/feed_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  std::u16string url = u"http://feeds.example/rss.xml";
  switch (data[0] % 3) {
    case 1: url = std::u16string(u"http://") + feed::kBracketTrimSiteDomain + u"/rss"; break;
    case 2: url = std::u16string(u"http://") + feed::kHtmlListSiteDomain + u"/list.html"; break;
    default: break;
  }
  std::vector<FeedItem> items;
  int r = feed::ParseFeedDocument(reinterpret_cast<const char*>(data) + 1, size - 1, url, &items);
  if (r > 0 && static_cast<size_t>(r) != items.size()) __builtin_trap();
  for (const auto& item : items)
    if (item.title.empty() || item.link.empty()) __builtin_trap();
  return 0;
}
