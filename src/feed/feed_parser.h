// Turns a downloaded feed document into its items: an RSS 2.0, RSS 1.0/0.90 or Atom
// 1.0/0.3 document, or for the HTML-list site a plain page whose anchors are the items. Pure computation on bytes,
// shared by the refresh worker, feeddump, the tests and the fuzz target.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

#include "feed/feed_site_rules.h"
#include "model/feed_item.h"

namespace feed {

// Result codes of a refresh when no item was delivered.
constexpr int kFeedErrorUnknown = -1;   // nothing was requested (no version text)
constexpr int kFeedErrorFormat = -2;    // the document yielded no item
constexpr int kFeedErrorDownload = -3;  // the download failed

// Parses `size` bytes downloaded from `feedUrl` (relative addresses resolve against it).
// Returns the number of items (> 0), appended to `items` in document order, or
// kFeedErrorFormat when there is none. `title`, when given, receives the feed's own title
// (empty when it has none, and for the HTML-list site). `withoutEntries`, when given, tells
// whether the document is a feed that has no entries yet (see IsFeedWithoutEntries).
//
// With `entriesRead` above 0, a feed document with more entries than that is first read only
// up to the end of its entriesRead-th entry, and that reading is taken when it yields at
// least kEntriesWanted items: those are the whole document's first items, in order, and a
// large archive feed (thousands of entries) then costs a fraction of its size in memory and
// time. Otherwise, and for the HTML-list site, the whole document is read.
int ParseFeedDocument(const char* data, size_t size, const std::u16string& feedUrl,
                      std::vector<FeedItem>* items, std::u16string* title = nullptr,
                      bool* withoutEntries = nullptr, size_t entriesRead = 0);

// What a refresh reads of a feed: a widget shows its first items only.
constexpr size_t kEntriesRead = 100;
constexpr int kEntriesWanted = 10;

}  // namespace feed
