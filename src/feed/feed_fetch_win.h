// Feed refreshes on download threads. A widget's refresh goes through the program's
// FeedRefresher, which downloads and parses the feed on one of its threads and posts the
// result to the widget's window (the download thread goes on at once):
//   message (kFeedResultMessage), wParam = 0, lParam = FeedResult* (never null).
// The posted result belongs to the window: its handler takes it with TakeFeedResult, and a
// window that goes away first drops what is still queued for it with DropFeedResults.
#pragma once
#include <windows.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "feed/feed_result.h"
#include "net/http_client_win.h"

namespace feed {

constexpr UINT kFeedResultMessage = WM_USER + 106;

// Ownership of the result a handler of the result message was given (null stays null).
inline std::unique_ptr<FeedResult> TakeFeedResult(LPARAM lParam) {
  return std::unique_ptr<FeedResult>(reinterpret_cast<FeedResult*>(lParam));
}

// Frees the results still queued for `window` with `message`; called while the window
// goes, before DestroyWindow discards its queued messages.
void DropFeedResults(HWND window, UINT message);

// How a widget wants its feed fetched.
struct RefreshOptions {
  // The widget's own key for what is remembered between refreshes (validators, back-off);
  // empty: nothing is.
  std::u16string stateKey;
  // The widget shows items already, so a "not modified" answer is enough.
  bool haveContent = false;
  // Started by the program, not by the user: waits while the feed is backed off.
  bool automatic = false;
};

// What a refresh of `feedUrl` asks for: the address with the version parameter every feed
// request carries, read from the executable's version resource; empty when it has none.
std::u16string FeedRequestUrl(const std::u16string& feedUrl);

// The worker's body: adds the version parameter, downloads (asking for a compressed
// answer, and with the validators given, "not modified" if nothing changed) and parses.
// `stop`, when given and raised, cuts the download short.
FeedResult FetchFeed(const std::u16string& url, const std::atomic<bool>* stop = nullptr,
                     const std::u16string& ifNoneMatch = std::u16string(),
                     const std::u16string& ifModifiedSince = std::u16string());

// The program's feed refreshes and subscription notices: one WinINet session for all of
// them, workers that can be stopped at exit, and what is remembered about each feed
// (validators, back-off). The program makes one and hands it to what starts refreshes;
// refreshes still running when it goes keep what they use.
class FeedRefresher {
 public:
  // `watch`: see net::HttpSession::Watch. A refresher made kWhenLooked is looked after
  // with Look() at least every second.
  explicit FeedRefresher(net::HttpSession::Watch watch = net::HttpSession::Watch::kAtOnce);
  ~FeedRefresher();  // does not wait: see Stop
  FeedRefresher(const FeedRefresher&) = delete;
  FeedRefresher& operator=(const FeedRefresher&) = delete;

  // See net::HttpSession::Look.
  void Look();

  // Starts a refresh of `url` (the feed URL with its refresh parameter) reporting to
  // `window` with `message`. Returns 1, or 0 without doing anything when `url` is null,
  // no thread could be had, or the refresher is stopping.
  int Start(HWND window, UINT message, const wchar_t* url, const RefreshOptions& options = RefreshOptions());

  // Where the fetch states are kept across runs (read now, written as they change).
  void OpenStates(const std::u16string& path);

  // Tells the maker's feed-proxy endpoint about a newly added subscription, on a worker
  // thread; nothing is reported back.
  void SendSubscribeNotice(const wchar_t* feedUrl, const wchar_t* name);

  // A blocking GET through the refreshes' session, for the program's other downloads
  // (the configuration, advert pictures) made on threads that may wait: they share its
  // threads and connections instead of making their own. It keeps the session alive.
  net::HttpGetter SharedGetter() const;
  // Runs a job of such a download on one of the session's threads (see HttpSession::Run);
  // false when none could be had.
  bool RunShared(std::function<void()> job) const;
  // Runs a job that does not wait for the network on a session thread that is idle now
  // (see HttpSession::RunIfIdle); false when none is.
  bool RunOnIdleThread(std::function<void()> job) const;

  // At exit: cancels running refreshes and notices and waits until they have ended or
  // `bound` has passed; none posts a result after that. Later refreshes are refused.
  // Returns how many are still running.
  size_t Stop(std::chrono::milliseconds bound);

  struct Shared;

 private:
  std::shared_ptr<Shared> shared_;
};

}  // namespace feed
