// The program's HTTP GET over WinINet: started on one of a session's threads with its
// result handed to a callback, or blocking (from worker threads only). GETs made through
// one HttpSession share its WinINet session; they may overlap freely.
#pragma once
#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>

#include "net/http_request.h"
#include "net/http_result.h"

namespace net {

// How many connections WinINet may hold to one server at once, for the whole process
// (its own default is 2 to 6): the feeds of many widgets often live on one server, and
// their refreshes should not queue behind each other.
constexpr unsigned long kMaxConnectionsPerServer = 64;

// GETs run on threads of a session's own, at most this many at once (more wait for a
// thread). A thread that has finished its GET takes the next one, and ends after
// kIdleThreadMs without one: a burst of refreshes pays for its threads once.
constexpr int kMaxTransferThreads = 64;
constexpr int kIdleThreadMs = 5000;
// How long a looked-after session's GET that finds every thread busy may wait for one of
// them before it gets a thread of its own (see HttpSession::Watch).
constexpr int kHoldMs = 50;

// A blocking GET as HttpGet makes it, through whichever session the giver chose.
using HttpGetter = std::function<HttpResponse(const std::u16string& url, const HttpOptions& options)>;

// One WinINet session (opened once) and the GETs made through it. Each GET runs on one of
// the session's threads; one watchdog thread (made as Watch says), there while GETs run
// and a while after, gives up on those that pass their deadline or whose cancel flag is
// raised. The object may go before its GETs end: they keep what they use.
class HttpSession {
 public:
  // When the watchdog thread is made.
  //  kAtOnce: with the first GET.
  //  kWhenLooked: only when Look() finds a GET whose cancel flag is raised or whose
  //    deadline is less than kWatchAheadMs away, or when WatchNow() is called. The owner
  //    then calls Look() at least every second. Most GETs end long before their deadline,
  //    so a session that is looked after this way rarely needs the thread (about 1 MiB
  //    under Wine). Such a session also holds back a GET started while every thread is
  //    busy, for up to kHoldMs (ended by a timer of the thread that started it, when that
  //    thread dispatches messages, or else by a look): a thread that finishes meanwhile
  //    takes it, and no thread is made for it. GETs started in one go are not held.
  enum class Watch { kAtOnce, kWhenLooked };
  static constexpr int kWatchAheadMs = 2000;

  // Called exactly once per started GET with its outcome (`response` may be moved from):
  // on the GET's thread when it ends, or on the watchdog's when the deadline passes or the
  // cancel flag is raised first (kTimedOut or kCancelled, systemError
  // ERROR_INTERNET_TIMEOUT); the
  // abandoned call then ends on its own and its outcome is dropped. Keep it short when it
  // runs on the watchdog: other GETs wait meanwhile.
  using Done = std::function<void(HttpResponse& response)>;

  explicit HttpSession(Watch watch = Watch::kAtOnce);
  ~HttpSession();
  HttpSession(const HttpSession&) = delete;
  HttpSession& operator=(const HttpSession&) = delete;

  // Starts a GET of `url` and returns at once. A malformed address is reported through
  // `done` before this returns. False, with nothing started and `done` never called, when
  // no thread could be made.
  bool Start(const std::u16string& url, const HttpOptions& options, Done done);

  // Runs `job` on one of the session's threads, where a blocking GET runs in place: work
  // that waits on the network without a thread of its own. False, with nothing started,
  // when no thread could be had. Jobs have no deadline: each GET in them has its own.
  bool Run(std::function<void()> job);
  // Runs `job` on a thread of the session that waits for work now, and true; false, with
  // nothing started, when none does. Work that need not wait for the network (a file
  // write) borrows a lingering thread this way instead of making one.
  bool RunIfIdle(std::function<void()> job);

  // For a session made kWhenLooked: starts the watchdog if a running GET needs it (see
  // Watch). Cheap when none does.
  void Look();
  // Starts the watchdog now if any GET runs, whatever the mode: before cancel flags are
  // raised, so that they are noticed at once.
  void WatchNow();

  // The blocking form: as HttpGet below, through this session.
  HttpResponse Get(const std::u16string& url, const HttpOptions& options);

  // GETs started and neither finished nor given up (for tests).
  size_t running() const;
  // Threads the session has made so far, transfer threads and watchdogs (for tests).
  int threadsMade() const;

  struct State;

 private:
  bool RunJob(std::function<void()> job, bool onlyIfIdle);

  std::shared_ptr<State> state_;
};

// GETs `url` and returns what came back: a body (a 200 with an empty body gives an empty
// block), "not modified", or a failure. Opens a session of its own: callers that make
// many GETs keep an HttpSession instead.
HttpResponse HttpGet(const std::u16string& url, const HttpOptions& options);

// The host name a connection is made to: an internationalised domain name (例子.中国) in
// the ASCII form DNS knows (xn--fsqu00a.xn--fiqs8s); any other host as it is, also one
// that is no valid name, which then fails as a name not found does.
std::u16string ConnectHost(const std::u16string& host);

}  // namespace net
