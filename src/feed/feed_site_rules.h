// Rules for particular feed sites, chosen by the feed URL.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

#include "model/feed_item.h"

namespace feed {

// Feed URLs containing this text (case-sensitive) are plain HTML pages listing links.
extern const char16_t kHtmlListSiteDomain[];
// Feed URLs containing this text get a trailing bracketed remark cut from their titles.
extern const char16_t kBracketTrimSiteDomain[];

// The address a widget refreshes from: its feed URL plus "refresh=1" ("?" or "&").
std::u16string FeedRefreshUrl(const std::u16string& feedUrl);

// The title without a trailing bracketed remark "(...)" or "（...）" (the bracket-trimming
// site's convention); unchanged when nothing would be left.
std::u16string TrimBracketedRemark(const std::u16string& title);

// The items of a page of the HTML-list site: its anchors, titled by their text, links
// resolved against `feedUrl`. Returns their number, or kFeedErrorFormat when there is none.
int ParseHtmlList(const char* data, size_t size, const std::u16string& feedUrl, std::vector<FeedItem>* items);

}  // namespace feed
