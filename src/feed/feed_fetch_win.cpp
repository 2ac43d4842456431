#include "feed/feed_fetch_win.h"

#include <wininet.h>

#include <string>
#include <utility>

#include "feed/feed_discovery.h"
#include "feed/feed_parser.h"
#include "feed/fetch_state.h"
#include "feed/worker_group.h"
#include "framework/wstr_win.h"
#include "net/http_client_win.h"
#include "net/subscribe_notice.h"
#include "net/url.h"
#include "platform/clock.h"
#include "platform/log.h"

namespace feed {
namespace {

constexpr int kVersionChars = 100;

// Refresh and notice workers: owned by this module so that the program can stop them at
// exit. Never destroyed: a worker that outlives the exit's bound still finds it.
WorkerGroup& Workers() {
  static WorkerGroup* group = new WorkerGroup;
  return *group;
}

// Validators and back-off of every widget's feed; never destroyed, like the workers.
FetchStates& States() {
  static FetchStates* states = new FetchStates;
  return *states;
}

// One refresh with what is remembered about the feed: asks conditionally when the widget
// has something to keep, leaves a backed-off feed alone when nobody asked, and
// remembers what the answer said.
FeedResult Refresh(const std::u16string& url, const RefreshOptions& options, const std::atomic<bool>& stop) {
  const bool remember = !options.stateKey.empty();
  FetchState state = remember ? States().Get(options.stateKey) : FetchState();
  int64_t now = platform::NowUnixSeconds();
  if (options.automatic && !AutomaticRequestAllowed(state, now)) {
    FeedResult waited;
    waited.code = kFeedUnchanged;
    return waited;
  }
  FeedResult result = options.haveContent ? FetchFeed(url, &stop, state.etag, state.lastModified)
                                          : FetchFeed(url, &stop);
  if (!remember || stop) return result;
  now = platform::NowUnixSeconds();
  if (result.code > 0) {
    RecordAnswer(&state, result.etag, result.lastModified, now);
    MarkFreshItems(&state, &result.items);
  }
  else if (result.code == kFeedUnchanged) RecordUnchanged(&state, now);
  else RecordFailure(&state, result.retryAfterSeconds, now);
  States().Put(options.stateKey, state);
  return result;
}

// Why a download failed. A name or connection failure on a computer that reports no
// network is put down to the network; a loopback server needs none.
FetchFailure DownloadFailure(const std::u16string& url, const net::HttpResponse& response) {
  DownloadOutcome o;
  o.answered = response.answered;
  o.status = response.status;
  o.systemError = static_cast<uint32_t>(response.systemError);
  o.tooLarge = response.tooLarge;
  FetchFailure f = ClassifyDownloadFailure(o);
  if ((f.kind == FailureKind::kHostNotFound || f.kind == FailureKind::kRefused) && !net::IsLoopbackUrl(url)) {
    DWORD flags = 0;
    o.offline = !InternetGetConnectedState(&flags, 0);
    f = ClassifyDownloadFailure(o);
  }
  return f;
}

}  // namespace

void OpenFeedFetchStates(const std::u16string& path) { States().Open(path); }

int StartFeedRefresh(HWND window, UINT message, const wchar_t* url, const RefreshOptions& options) {
  if (!url) return 0;
  std::u16string target = to_u16(url);
  bool started = Workers().Start([window, message, target, options](const std::atomic<bool>& stop) {
    FeedResult result = Refresh(target, options, stop);
    result.requestUrl = target;
    if (window && !stop) {
      WPARAM w = static_cast<WPARAM>(result.items.empty() ? result.code : static_cast<int>(result.items.size()));
      SendMessageW(window, message, w, reinterpret_cast<LPARAM>(&result));
    }
  });
  return started ? 1 : 0;
}

FeedResult FetchFeed(const std::u16string& feedUrl, const std::atomic<bool>* stop, const std::u16string& ifNoneMatch,
                     const std::u16string& ifModifiedSince) {
  FeedResult result;
  result.code = kFeedErrorUnknown;
  wchar_t version[kVersionChars] = {0};
  if (!net::GetProgramVersion(version, kVersionChars)) {
    LogDebug("get program version failed!");
    return result;
  }
  std::u16string requestUrl = net::AppendQuery(feedUrl, u"ver=" + to_u16(version));
  net::HttpOptions options;
  options.cancel = stop;
  options.acceptCompressed = true;
  options.ifNoneMatch = ifNoneMatch;
  options.ifModifiedSince = ifModifiedSince;
  net::HttpResponse response;
  int size = net::HttpGet(requestUrl, options, &response);
  result.status = response.status;
  result.etag = response.etag;
  result.lastModified = response.lastModified;
  result.retryAfterSeconds = response.retryAfterSeconds;
  if (response.status == 304 && response.error.empty()) {
    result.code = kFeedUnchanged;
    return result;
  }
  if (size <= 0) {
    result.code = kFeedErrorDownload;
    result.failure = DownloadFailure(requestUrl, response);
    if (!(stop && *stop)) LogDebug("download third party news failed!");
    return result;
  }
  int found = ParseFeedDocument(response.body.get(), response.size, feedUrl, &result.items, &result.title);
  if (found <= 0 && feedUrl.find(kHtmlListSiteDomain) == std::u16string::npos) {
    // A web page instead of a feed: take the first feed it announces.
    std::vector<std::u16string> feeds = DiscoverFeedLinks(response.body.get(), response.size, requestUrl);
    if (!feeds.empty()) {
      net::HttpOptions plain;
      plain.cancel = stop;
      plain.acceptCompressed = true;
      net::HttpResponse announced;
      if (net::HttpGet(feeds[0], plain, &announced) > 0) {
        found = ParseFeedDocument(announced.body.get(), announced.size, feeds[0], &result.items, &result.title);
        // The page's validators say nothing about its feed: the page is asked in full.
        result.etag.clear();
        result.lastModified.clear();
      }
    }
  }
  result.code = found > 0 ? found : kFeedErrorFormat;
  if (found <= 0) result.failure.kind = FailureKind::kNotAFeed;
  return result;
}

void SendSubscribeNotice(const wchar_t* feedUrl, const wchar_t* name) {
  if (!feedUrl || !name) return;
  std::u16string url = net::SubscribeNoticeUrl(to_u16(feedUrl), to_u16(name));
  Workers().Start([url](const std::atomic<bool>& stop) {
    net::HttpOptions options;
    options.cancel = &stop;
    net::HttpResponse ignored;
    net::HttpGet(url, options, &ignored);
  });
}

size_t StopFeedWorkers(std::chrono::milliseconds bound) {
  constexpr auto kSlice = std::chrono::milliseconds(20);
  auto end = std::chrono::steady_clock::now() + bound;
  for (;;) {
    size_t left = Workers().Stop(kSlice);
    if (left == 0 || std::chrono::steady_clock::now() >= end) return left;
    // A worker may be inside SendMessageW to one of this thread's windows: let it finish.
    MSG msg;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  }
}

}  // namespace feed
