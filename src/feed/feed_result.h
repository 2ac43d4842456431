// What a refresh brings back, as it goes from the worker that fetched and parsed the feed
// to the widget that asked for it: the one shape of a refresh's outcome.
#pragma once
#include <string>
#include <vector>

#include "feed/fetch_failure.h"
#include "model/feed_item.h"

namespace feed {

// Result code of a refresh that brought nothing new: the server answered "not modified",
// or an automatic refresh left a failing or busy feed alone for now. The widget keeps
// what it shows and says nothing.
constexpr int kFeedUnchanged = 0;

// Items in document order, or none and a result code.
struct FeedResult {
  // The item count when there are items, else kFeedUnchanged or a kFeedError* code of
  // feed_parser.h.
  int code = -1;
  std::vector<FeedItem> items;
  std::u16string title;        // the feed's own title, when it has one
  std::u16string requestUrl;   // the address the refresh was started for (as passed)
  FetchFailure failure;        // why there are no items, when a download or parse failed
  // What the answer said about the next request.
  int status = 0;
  std::u16string etag, lastModified;
  int retryAfterSeconds = 0;
};

}  // namespace feed
