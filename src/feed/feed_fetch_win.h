// Feed refreshes on worker threads. A widget hands its refresh URL to StartFeedRefresh;
// the worker downloads and parses the feed and delivers the result to the widget's window
// with one synchronous message:
//   message (kFeedResultMessage), wParam = item count (> 0) or a result code (-1, -2, -3
//   of feed_parser.h), lParam = FeedResult* (never null).
// The result belongs to the worker until SendMessageW returns: the window procedure
// copies the items or moves them out while handling the message.
#pragma once
#include <windows.h>

#include <atomic>
#include <chrono>
#include <string>
#include <vector>

#include "model/feed_item.h"

namespace feed {

constexpr UINT kFeedResultMessage = WM_USER + 106;

// What a refresh brings back: items in document order, or none and a result code.
struct FeedResult {
  int code = -1;  // the item count when there are items, else kFeedError*
  std::vector<FeedItem> items;
};

// Starts a worker for `url` (the feed URL with its refresh parameter) reporting to
// `window` with `message`. Returns 1, or 0 without doing anything when `url` is null or
// the program is stopping its workers.
int StartFeedRefresh(HWND window, UINT message, const wchar_t* url);

// The worker's body: adds the version parameter, downloads and parses. `stop`, when
// given and raised, cuts the download short.
FeedResult FetchFeed(const std::u16string& url, const std::atomic<bool>* stop = nullptr);

// Tells the maker's feed-proxy endpoint about a newly added subscription, on a worker
// thread; nothing is reported back.
void SendSubscribeNotice(const wchar_t* feedUrl, const wchar_t* name);

// At exit: cancels the downloads of running refresh and notice workers and waits, while
// handling messages sent to this thread, until they have ended or `bound` has passed.
// Later refreshes are refused. Returns how many workers are still running.
size_t StopFeedWorkers(std::chrono::milliseconds bound);

}  // namespace feed
