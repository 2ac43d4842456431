// Items of a parsed XML feed in any of the formats readers meet: RSS 2.0 (also with its
// elements in a namespace of their own), RSS 1.0 and 0.90 (RDF), Atom 1.0 and 0.3.
#pragma once
#include <string>
#include <vector>

#include "model/feed_item.h"

class TiXmlDocument;

namespace feed {

enum class FeedFormat { kUnknown, kRss2, kRdf, kAtom10, kAtom03 };

// The format of a parsed document, from its root element and namespaces.
FeedFormat DetectFeedFormat(const TiXmlDocument& doc);

// Appends the document's items in document order. `documentUrl` is where it came from:
// relative addresses resolve against xml:base and then against it. An entry's address is
// its link, else its permalink guid, else its enclosure (a podcast's episode). Entries without a
// title or without an address a browser may open are skipped, except in a feed where no
// entry has a title element (the posts of social and micro-blog feeds): there each entry
// takes the start of its summary as its title. With `trimRemarks`,
// titles lose a trailing bracketed remark. Returns the number appended.
size_t ExtractFeedItems(const TiXmlDocument& doc, const std::u16string& documentUrl, bool trimRemarks,
                        std::vector<FeedItem>* items);

// True for a feed that has no entries at all: an Atom feed without an entry, an RSS 1.0
// document without an item, an "rss" root whose channel holds no item (a new or emptied
// feed, not a broken one). Entries that could not be used do not make it empty.
bool IsFeedWithoutEntries(const TiXmlDocument& doc);

// The feed's own title (the channel's or the Atom feed's), as plain collapsed text; empty
// when it has none.
std::u16string ExtractFeedTitle(const TiXmlDocument& doc);

}  // namespace feed
