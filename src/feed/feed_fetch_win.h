// Feed refreshes on worker threads. A widget hands its refresh URL to StartFeedRefresh;
// the worker downloads and parses the feed and delivers the result to the widget's window
// with one synchronous message:
//   message (kFeedResultMessage), wParam = item count (> 0) or a result code (-1, -2, -3
//   of feed_parser.h), lParam = const FeedItem* to the first item, or null.
// The array belongs to the worker and is destroyed when SendMessageW returns: the window
// procedure copies what it keeps while handling the message.
#pragma once
#include <windows.h>

#include "model/feed_item.h"

namespace feed {

constexpr UINT kFeedResultMessage = WM_USER + 106;

// The block a refresh worker starts with (malloc'd; the worker frees it and the URL).
struct FeedRequest {
  UINT message;
  HWND window;
  wchar_t* url;  // malloc'd copy
};

// Starts a worker for `url` (the feed URL with its refresh parameter) reporting to
// `window` with `message`. Returns 1, or 0 without doing anything when `url` is null.
int StartFeedRefresh(HWND window, UINT message, const wchar_t* url);

// The worker's body: adds the version parameter, downloads and parses. On success writes
// a new[]-allocated array to `*items` and its size to `*count`; on failure writes the
// result code to `*code` and leaves the other two alone.
void FetchFeed(const wchar_t* url, FeedItem** items, int* count, int* code);

// Tells the maker's feed-proxy endpoint about a newly added subscription, on a worker
// thread; nothing is reported back.
void SendSubscribeNotice(const wchar_t* feedUrl, const wchar_t* name);

}  // namespace feed
