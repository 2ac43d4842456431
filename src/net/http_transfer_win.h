// One GET as the session's threads and its watchdog share it, and the exchange that
// performs it. Inside the network layer only.
#pragma once
#include <windows.h>
#include <wininet.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>

#include "net/http_client_win.h"

namespace net {

using Clock = std::chrono::steady_clock;

// How often the watchdog looks at cancel flags while GETs that have one run.
constexpr auto kCancelPoll = std::chrono::milliseconds(50);

// One GET, shared by the thread that performs it and the session's watchdog. Whoever ends
// it first reports it: the thread with its outcome, or the watchdog, which gives up at the
// deadline or on cancel and closes the request being watched (that cancels a blocked call
// where WinINet supports that). The thread owns every handle and block it made and cleans
// up whenever its blocked call returns. WinINet's time-outs apply per packet, so without
// the watchdog a server trickling bytes would hold the GET indefinitely.
class Transfer {
 public:
  static HttpOptions WithoutCancel(HttpOptions o) {
    o.cancel = nullptr;
    return o;
  }

  // The thread may outlive the caller: only the watchdog reads the cancel flag, and only
  // until the GET is reported.
  // Work run in place of a GET (HttpSession::Run): never watched, never reported.
  std::function<void()> job;
  // When it was listed for a thread (see Queue).
  Clock::time_point queued;

  Transfer(std::u16string url, const HttpOptions& options, HttpSession::Done done)
      : url(std::move(url)),
        options(WithoutCancel(options)),
        cancel(options.cancel),
        deadline(options.deadlineMs > 0 ? Clock::now() + std::chrono::milliseconds(options.deadlineMs)
                                         : Clock::time_point::max()),
        done_(std::move(done)) {}

  // Starts watching `request`; false (and the handle closed) when the watchdog gave up.
  bool Watch(HINTERNET request) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (expired_) {
      InternetCloseHandle(request);
      return false;
    }
    watched_ = request;
    return true;
  }
  // Stops watching and closes the request unless the watchdog already did.
  void Close(HINTERNET request) {
    std::lock_guard<std::mutex> lock(mutex_);
    bool closedByWatchdog = expired_ && watched_ == request;
    watched_ = nullptr;
    if (!closedByWatchdog) InternetCloseHandle(request);
  }
  bool Expired() {
    std::lock_guard<std::mutex> lock(mutex_);
    return expired_;
  }
  bool Due(Clock::time_point now) const { return (cancel && cancel->load()) || now >= deadline; }
  // When the watchdog should look at it next: a cancel flag is polled.
  Clock::time_point NextCheck(Clock::time_point now) const {
    return cancel ? std::min(deadline, now + kCancelPoll) : deadline;
  }

  // The thread's outcome, reported unless the watchdog gave up first.
  void Finish(HttpResponse& response) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (expired_) return;
      finished_ = true;
    }
    Report(response);
  }
  // The watchdog gives up unless the thread finished first; true when it did, and the
  // watchdog then reports the failure.
  bool GiveUp() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (finished_) return false;
    expired_ = true;
    if (watched_) InternetCloseHandle(watched_);
    return true;
  }
  // Called once, by whichever of the two won; the callback (and what it holds) goes at once.
  void Report(HttpResponse& response) {
    HttpSession::Done done = std::move(done_);
    done_ = nullptr;
    if (done) done(response);
  }
  HttpResponse GaveUpResponse() const {
    HttpResponse r;
    r.failure = cancel && cancel->load() ? HttpFailure::kCancelled : HttpFailure::kTimedOut;
    r.limit = options.deadlineMs;
    r.systemError = ERROR_INTERNET_TIMEOUT;
    return r;
  }

  const std::u16string url;
  const HttpOptions options;
  const std::atomic<bool>* const cancel;
  const Clock::time_point deadline;

 private:
  std::mutex mutex_;
  HINTERNET watched_ = nullptr;
  bool expired_ = false;
  bool finished_ = false;
  HttpSession::Done done_;
};

// The request handle of one exchange, closed through the transfer.
class WatchedRequest {
 public:
  WatchedRequest(Transfer* transfer, HINTERNET h) : transfer_(transfer), h_(h) {
    if (h_ && !transfer_->Watch(h_)) h_ = nullptr;
  }
  ~WatchedRequest() { if (h_) transfer_->Close(h_); }
  WatchedRequest(const WatchedRequest&) = delete;
  WatchedRequest& operator=(const WatchedRequest&) = delete;
  HINTERNET get() const { return h_; }

 private:
  Transfer* transfer_;
  HINTERNET h_;
};

// A session handle of WinINet's (null when none could be opened).
HINTERNET OpenRoot();

// The whole GET of `transfer` with its redirects, through `sessionRoot` (or a root of its
// own when the session has none); fills `response`, which starts empty.
void Perform(HINTERNET sessionRoot, Transfer* transfer, HttpResponse* response);

}  // namespace net
