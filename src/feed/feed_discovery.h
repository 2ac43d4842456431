// Finding a web page's feeds: the addresses its <link rel="alternate"> elements announce
// for RSS or Atom, so that a page's address can stand for its feed.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

namespace feed {

// Feeds a page announces, in page order, without repeats: <link> elements whose rel
// holds "alternate" and whose type is application/rss+xml or application/atom+xml, their
// href resolved against the page's <base href> and then `pageUrl`. Only web addresses
// are returned; at most kMaxDiscoveredFeeds.
constexpr size_t kMaxDiscoveredFeeds = 16;
std::vector<std::u16string> DiscoverFeedLinks(const char* data, size_t size, const std::u16string& pageUrl);

}  // namespace feed
