#include "feed/feed_fetch_win.h"

#include <string>
#include <utility>

#include "feed/feed_parser.h"
#include "feed/worker_group.h"
#include "framework/wstr_win.h"
#include "net/http_client_win.h"
#include "net/subscribe_notice.h"
#include "net/url.h"
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

}  // namespace

int StartFeedRefresh(HWND window, UINT message, const wchar_t* url) {
  if (!url) return 0;
  std::u16string target = to_u16(url);
  bool started = Workers().Start([window, message, target](const std::atomic<bool>& stop) {
    FeedResult result = FetchFeed(target, &stop);
    if (window && !stop) {
      WPARAM w = static_cast<WPARAM>(result.items.empty() ? result.code : static_cast<int>(result.items.size()));
      SendMessageW(window, message, w, reinterpret_cast<LPARAM>(&result));
    }
  });
  return started ? 1 : 0;
}

FeedResult FetchFeed(const std::u16string& feedUrl, const std::atomic<bool>* stop) {
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
  net::HttpResponse response;
  int size = net::HttpGet(requestUrl, options, &response);
  if (size <= 0) {
    result.code = kFeedErrorDownload;
    if (!(stop && *stop)) LogDebug("download third party news failed!");
    return result;
  }
  int found = ParseFeedDocument(response.body.get(), response.size, feedUrl, &result.items);
  result.code = found > 0 ? found : kFeedErrorFormat;
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
