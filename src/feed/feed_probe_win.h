// What an address a user typed turns out to be: a feed, a web page announcing one, or
// neither. The subscription dialog asks before it keeps an address, on a worker thread
// that reports with one synchronous message.
#pragma once
#include <windows.h>

#include <atomic>
#include <memory>
#include <string>

namespace feed {

struct FeedProbeResult {
  enum Kind {
    kFeed,         // the address is a feed: subscribe to it as typed
    kPageFeed,     // a web page announcing a feed: subscribe to `feedUrl`
    kNoFeed,       // a page (or anything else) that is no feed and announces none
    kUnreachable,  // no answer, or not a 200: nothing is known about the address
  };
  Kind kind = kUnreachable;
  std::u16string feedUrl;  // the address to subscribe to (kFeed, kPageFeed)
  std::u16string title;    // that feed's own title, when it has one
};

// Downloads `address` and, for a page, the feeds it announces (the first few, in page
// order, until one reads as a feed). Blocking; `stop`, when raised, cuts it short.
FeedProbeResult ProbeFeedAddress(const std::u16string& address, const std::atomic<bool>* stop);

// Runs ProbeFeedAddress on a worker thread, then sends `message` to `window` with lParam
// = const FeedProbeResult* (valid during the call) unless `stop` was raised meanwhile.
// False (nothing started) without a stop flag.
bool StartFeedProbe(HWND window, UINT message, const std::u16string& address,
                    std::shared_ptr<std::atomic<bool>> stop);

}  // namespace feed
