#include "feed/feed_fetch_win.h"

#include <wininet.h>

#include <string>
#include <utility>

#include "feed/feed_discovery.h"
#include "feed/feed_parser.h"
#include "feed/feed_request.h"
#include "feed/parse_gate.h"
#include "feed/fetch_state.h"
#include "feed/worker_group.h"
#include "framework/wstr_win.h"
#include "net/http_client_win.h"
#include "net/subscribe_notice.h"
#include "net/url.h"
#include "platform/clock.h"
#include "platform/log.h"
#include "platform/program_version_win.h"

namespace feed {
namespace {

constexpr int kVersionChars = 100;

// The version parameter every feed request carries, read once from the executable's
// version resource; empty when there is none.
const std::u16string& VersionParameter() {
  static const std::u16string parameter = [] {
    wchar_t version[kVersionChars] = {0};
    return platform::GetProgramVersion(version, kVersionChars) ? u"ver=" + to_u16(version) : std::u16string();
  }();
  return parameter;
}

// Remembers in `states` what the answer of a refresh said about its feed; the caller
// saves them once the answer is on its way.
void Remember(FetchStates& states, const RefreshOptions& options, FetchState state, FeedResult* result) {
  int64_t now = platform::NowUnixSeconds();
  if (result->code > 0) {
    RecordAnswer(&state, result->etag, result->lastModified, now);
    MarkFreshItems(&state, &result->items);
  }
  else if (result->code == kFeedUnchanged) RecordUnchanged(&state, now);
  else RecordFailure(&state, result->retryAfterSeconds, now);
  states.Store(options.stateKey, state);
}

// Posts a refresh's result to the window that asked for it, unless the program is
// stopping; a window that is gone already leaves it to be freed here.
void Deliver(HWND window, UINT message, const std::atomic<bool>& stop, FeedResult* result) {
  if (!window || stop) return;
  auto posted = std::make_unique<FeedResult>(std::move(*result));
  if (PostMessageW(window, message, 0, reinterpret_cast<LPARAM>(posted.get()))) posted.release();
}

// Why a download failed. A name or connection failure on a computer that reports no
// network is put down to the network; a loopback server needs none.
FetchFailure DownloadFailure(const std::u16string& url, const net::HttpResponse& response) {
  DownloadOutcome o = DownloadOutcomeOf(response);
  FetchFailure f = ClassifyDownloadFailure(o);
  if ((f.kind == FailureKind::kHostNotFound || f.kind == FailureKind::kRefused) && !net::IsLoopbackUrl(url)) {
    DWORD flags = 0;
    o.offline = !InternetGetConnectedState(&flags, 0);
    f = ClassifyDownloadFailure(o);
  }
  return f;
}

// What a download of `requestUrl` (the feed's address with the version added) brought:
// the feed's items, "not modified", or a failure with its cause. A web page instead of a
// feed leads to the first feed it announces, fetched through `session`.
// Large documents are read one at a time through `gate`, when there is one.
FeedResult FeedFromResponse(const std::u16string& feedUrl, const std::u16string& requestUrl,
                            net::HttpResponse* response, const std::atomic<bool>* stop, net::HttpSession* session,
                            ParseGate* gate) {
  FeedResult result;
  result.status = response->status;
  result.etag = response->etag;
  result.lastModified = response->lastModified;
  result.retryAfterSeconds = response->retryAfterSeconds;
  if (response->status == 304 && !response->failed()) {
    result.code = kFeedUnchanged;
    return result;
  }
  if (!response->body || response->size == 0) {
    result.code = kFeedErrorDownload;
    result.failure = DownloadFailure(requestUrl, *response);
    if (!(stop && *stop))
      LogDebug("download third party news failed! %s: %s", net::AddressForLog(feedUrl).c_str(),
               FailureLogText(result.failure).c_str());
    return result;
  }
  bool withoutEntries = false;
  int found = 0;
  {
    ParseGate::Pass pass = gate ? gate->Enter(response->size, stop) : ParseGate::Pass();
    if (gate && !pass) {
      result.code = kFeedErrorUnknown;  // stopping: nothing is delivered
      return result;
    }
    found = ParseFeedDocument(response->body.get(), response->size, feedUrl, &result.items, &result.title,
                              &withoutEntries, kEntriesRead);
  }
  if (found <= 0 && !withoutEntries && feedUrl.find(kHtmlListSiteDomain) == std::u16string::npos) {
    // A web page instead of a feed: take the first feed it announces.
    std::vector<std::u16string> feeds = DiscoverFeedLinks(response->body.get(), response->size, requestUrl);
    if (!feeds.empty()) {
      net::HttpResponse announced = session->Get(feeds[0], FeedRequestOptions(stop, u"", u""));
      if (announced.body && announced.size > 0) {
        ParseGate::Pass pass = gate ? gate->Enter(announced.size, stop) : ParseGate::Pass();
        if (gate && !pass) {
          result.code = kFeedErrorUnknown;
          return result;
        }
        found = ParseFeedDocument(announced.body.get(), announced.size, feeds[0], &result.items, &result.title,
                                  &withoutEntries, kEntriesRead);
        // The page's validators say nothing about its feed: the page is asked in full.
        result.etag.clear();
        result.lastModified.clear();
      }
    }
  }
  response->body.reset();  // read: its memory goes before the answer is remembered and posted
  result.code = found > 0 ? found : kFeedErrorFormat;
  if (found <= 0) result.failure.kind = withoutEntries ? FailureKind::kNoEntries : FailureKind::kNotAFeed;
  return result;
}

}  // namespace

struct FeedRefresher::Shared {
  explicit Shared(net::HttpSession::Watch watch) : session(watch), parses(kLargeFeedBytes, 1) {}
  net::HttpSession session;
  ParseGate parses;
  WorkerGroup workers;
  FetchStates states;
};

FeedRefresher::FeedRefresher(net::HttpSession::Watch watch) : shared_(std::make_shared<Shared>(watch)) {}

void FeedRefresher::Look() { shared_->session.Look(); }

FeedRefresher::~FeedRefresher() = default;

void FeedRefresher::OpenStates(const std::u16string& path) { shared_->states.Open(path); }

int FeedRefresher::Start(HWND window, UINT message, const wchar_t* url, const RefreshOptions& options) {
  if (!url) return 0;
  std::shared_ptr<Shared> shared = shared_;
  WorkerGroup::Ticket ticket = shared->workers.Enter();
  if (!ticket) return 0;
  std::u16string target = to_u16(url);
  FetchState state = options.stateKey.empty() ? FetchState() : shared->states.Get(options.stateKey);
  const bool askNow = !options.automatic || AutomaticRequestAllowed(state, platform::NowUnixSeconds());
  std::u16string requestUrl = FeedRequestUrl(target);
  if (!askNow || requestUrl.empty()) {
    // Nothing to download: the answer is posted at once, as every answer is posted.
    FeedResult result;
    result.code = askNow ? kFeedErrorUnknown : kFeedUnchanged;
    if (askNow) {
      LogDebug("get program version failed!");
      if (!options.stateKey.empty()) Remember(shared->states, options, state, &result);
    }
    result.requestUrl = target;
    Deliver(window, message, *ticket, &result);
    if (askNow && !options.stateKey.empty()) shared->states.Save();
    return 1;
  }
  // The download runs on one of the session's threads, which then parses, remembers and
  // delivers.
  net::HttpOptions http = options.haveContent ? FeedRequestOptions(ticket.get(), state.etag, state.lastModified)
                                              : FeedRequestOptions(ticket.get(), u"", u"");
  bool started = shared->session.Start(requestUrl, http, [shared, ticket, window, message, target, requestUrl, options,
                                                          state](net::HttpResponse& response) {
    const std::atomic<bool>& stop = *ticket;
    FeedResult result = FeedFromResponse(target, requestUrl, &response, &stop, &shared->session, &shared->parses);
    if (!options.stateKey.empty() && !stop) Remember(shared->states, options, state, &result);
    result.requestUrl = target;
    Deliver(window, message, stop, &result);
    // Written after the answer is posted: the widget does not wait for the disk.
    if (!options.stateKey.empty() && !stop) shared->states.Save();
  });
  return started ? 1 : 0;
}

std::u16string FeedRequestUrl(const std::u16string& feedUrl) {
  return VersionParameter().empty() ? std::u16string() : net::AppendQuery(feedUrl, VersionParameter());
}

FeedResult FetchFeed(const std::u16string& feedUrl, const std::atomic<bool>* stop, const std::u16string& ifNoneMatch,
                     const std::u16string& ifModifiedSince) {
  std::u16string requestUrl = FeedRequestUrl(feedUrl);
  if (requestUrl.empty()) {
    LogDebug("get program version failed!");
    FeedResult failed;
    failed.code = kFeedErrorUnknown;
    return failed;
  }
  net::HttpSession session;
  net::HttpResponse response = session.Get(requestUrl, FeedRequestOptions(stop, ifNoneMatch, ifModifiedSince));
  return FeedFromResponse(feedUrl, requestUrl, &response, stop, &session, nullptr);
}

void FeedRefresher::SendSubscribeNotice(const wchar_t* feedUrl, const wchar_t* name) {
  if (!feedUrl || !name) return;
  std::u16string url = net::SubscribeNoticeUrl(to_u16(feedUrl), to_u16(name));
  std::shared_ptr<Shared> shared = shared_;
  WorkerGroup::Ticket ticket = shared->workers.Enter();
  if (!ticket) return;
  net::HttpOptions options;
  options.cancel = ticket.get();
  shared->session.Start(url, options, [ticket](net::HttpResponse&) {});
}

net::HttpGetter FeedRefresher::SharedGetter() const {
  std::shared_ptr<Shared> shared = shared_;
  return [shared](const std::u16string& url, const net::HttpOptions& options) {
    return shared->session.Get(url, options);
  };
}

bool FeedRefresher::RunShared(std::function<void()> job) const { return shared_->session.Run(std::move(job)); }

bool FeedRefresher::RunOnIdleThread(std::function<void()> job) const {
  return shared_->session.RunIfIdle(std::move(job));
}

size_t FeedRefresher::Stop(std::chrono::milliseconds bound) {
  shared_->session.WatchNow();  // it notices the cancel flags raised next
  return shared_->workers.Stop(bound);
}

void DropFeedResults(HWND window, UINT message) {
  MSG msg;
  while (PeekMessageW(&msg, window, message, message, PM_REMOVE)) TakeFeedResult(msg.lParam);
}

}  // namespace feed
