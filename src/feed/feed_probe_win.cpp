#include "feed/feed_probe_win.h"

#include <thread>
#include <utility>
#include <vector>

#include "feed/feed_discovery.h"
#include "feed/feed_parser.h"
#include "feed/feed_request.h"
#include "net/http_client_win.h"
#include "platform/log.h"

namespace feed {
namespace {

// The user waits for the answer with the dialog open: shorter bounds than a refresh's.
constexpr int kProbeConnectMs = 15000;
constexpr int kProbeReceiveMs = 20000;
constexpr int kProbeDeadlineMs = 30000;
// Announced feeds tried before the page counts as having none.
constexpr size_t kMaxFeedsTried = 3;

bool Download(const std::u16string& url, const std::atomic<bool>* stop, net::HttpResponse* response) {
  net::HttpOptions options = FeedRequestOptions(stop);
  options.connectTimeoutMs = kProbeConnectMs;
  options.receiveTimeoutMs = kProbeReceiveMs;
  options.deadlineMs = kProbeDeadlineMs;
  *response = net::HttpGet(url, options);
  return response->body && response->size > 0;
}

bool IsFeed(const net::HttpResponse& response, const std::u16string& url, std::u16string* title) {
  // A feed with nothing in it yet is one all the same: its entries come later.
  std::vector<FeedItem> items;
  bool withoutEntries = false;
  return ParseFeedDocument(response.body.get(), response.size, url, &items, title, &withoutEntries) > 0 ||
         withoutEntries;
}

}  // namespace

FeedProbeResult ProbeFeedAddress(const std::u16string& address, const std::atomic<bool>* stop) {
  FeedProbeResult result;
  net::HttpResponse page;
  if (!Download(address, stop, &page)) {
    LogDebug("feed address not reachable (status %d)", page.status);
    return result;
  }
  if (IsFeed(page, address, &result.title)) {
    result.kind = FeedProbeResult::kFeed;
    result.feedUrl = address;
    return result;
  }
  result.kind = FeedProbeResult::kNoFeed;
  std::vector<std::u16string> feeds = DiscoverFeedLinks(page.body.get(), page.size, address);
  for (size_t i = 0; i < feeds.size() && i < kMaxFeedsTried && !(stop && *stop); ++i) {
    net::HttpResponse announced;
    if (Download(feeds[i], stop, &announced) && IsFeed(announced, feeds[i], &result.title)) {
      result.kind = FeedProbeResult::kPageFeed;
      result.feedUrl = feeds[i];
      return result;
    }
  }
  return result;
}

bool StartFeedProbe(HWND window, UINT message, const std::u16string& address,
                    std::shared_ptr<std::atomic<bool>> stop) {
  if (!stop) return false;
  std::thread([window, message, address, stop] {
    FeedProbeResult result = ProbeFeedAddress(address, stop.get());
    if (!*stop) SendMessageW(window, message, 0, reinterpret_cast<LPARAM>(&result));
  }).detach();
  return true;
}

}  // namespace feed
