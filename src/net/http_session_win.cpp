#include "net/http_client_win.h"

#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <new>
#include <vector>

#include "framework/handles_win.h"
#include "net/http_transfer_win.h"
#include "net/url.h"

namespace net {

struct HttpSession::State {
  fw::UniqueInternet root;  // null when it could not be opened: each GET then opens its own
  mutable std::mutex mutex;
  std::condition_variable changed;  // wakes the watchdog: a GET needs it sooner, or none runs
  // When the waiting watchdog looks next; the earliest time while it is looking.
  std::chrono::steady_clock::time_point watchdogWakes = std::chrono::steady_clock::time_point::min();
  std::condition_variable work;     // for idle threads: a GET is waiting
  std::vector<std::shared_ptr<Transfer>> active;  // started, neither finished nor given up
  std::deque<std::shared_ptr<Transfer>> waiting;  // started, not yet taken by a thread
  int threads = 0;                                // transfer threads alive
  int made = 0;                                   // threads made so far
  int idle = 0;                                   // of them, waiting for work
  int starting = 0;                               // of them, made and not yet looking for work
  bool watching = false;                          // a watchdog thread runs
  bool watchAtOnce = true;                        // made with the first GET, or when looked
  // GETs held back (see Queue): the timer that ends the first one's hold (0 when none is
  // set), and when the last GET was listed.
  UINT_PTR holdTimer = 0;
  Clock::time_point lastQueued{};
};

namespace {

using SessionState = std::shared_ptr<HttpSession::State>;

// Set on the session's own threads: a blocking GET made there runs in place.
thread_local bool tTransferThread = false;

void Forget(HttpSession::State& s, const std::shared_ptr<Transfer>& transfer) {
  auto it = std::find(s.active.begin(), s.active.end(), transfer);
  if (it != s.active.end()) s.active.erase(it);
  if (s.active.empty()) s.changed.notify_all();  // the watchdog may end
}

// Takes waiting GETs one after another; ends after kIdleThreadMs without one.
DWORD WINAPI TransferThread(LPVOID param) {
  std::unique_ptr<SessionState> held(static_cast<SessionState*>(param));
  HttpSession::State& s = **held;
  tTransferThread = true;
  std::unique_lock<std::mutex> lock(s.mutex);
  --s.starting;
  for (;;) {
    ++s.idle;
    bool got = s.work.wait_for(lock, std::chrono::milliseconds(kIdleThreadMs), [&] { return !s.waiting.empty(); });
    --s.idle;
    if (!got) {
      --s.threads;
      return 0;
    }
    std::shared_ptr<Transfer> transfer = std::move(s.waiting.front());
    s.waiting.pop_front();
    lock.unlock();
    if (transfer->job) {
      transfer->job();
      transfer.reset();
      lock.lock();
      continue;
    }
    HttpResponse response;
    // (One the watchdog gave up while it waited is not begun.)
    if (!transfer->Expired()) Perform(s.root.get(), transfer.get(), &response);
    {
      // Off the watchdog's list before it is reported: the report may end the life of
      // what its cancel flag lives in.
      std::lock_guard<std::mutex> relock(s.mutex);
      Forget(s, transfer);
    }
    transfer->Finish(response);  // reports unless the watchdog gave up
    transfer.reset();
    lock.lock();
  }
}

// Gives up on due GETs and reports them; ends after kIdleThreadMs without a GET to watch.
// GETs come in bursts and trickles (every widget at start-up, one after another): waiting
// a while spares the session a new thread for each of them.
DWORD WINAPI WatchdogThread(LPVOID param) {
  std::unique_ptr<SessionState> held(static_cast<SessionState*>(param));
  HttpSession::State& s = **held;
  std::unique_lock<std::mutex> lock(s.mutex);
  for (;;) {
    if (s.active.empty()) {
      s.watchdogWakes = Clock::time_point::max();  // any new GET wakes it
      const bool more =
          s.changed.wait_for(lock, std::chrono::milliseconds(kIdleThreadMs), [&] { return !s.active.empty(); });
      s.watchdogWakes = Clock::time_point::min();
      if (!more) {
        s.watching = false;
        return 0;
      }
      continue;
    }
    const Clock::time_point now = Clock::now();
    Clock::time_point next = Clock::time_point::max();
    std::vector<std::shared_ptr<Transfer>> due;
    for (auto it = s.active.begin(); it != s.active.end();) {
      if ((*it)->Due(now)) {
        due.push_back(*it);
        it = s.active.erase(it);
        continue;
      }
      next = std::min(next, (*it)->NextCheck(now));
      ++it;
    }
    if (!due.empty()) {
      lock.unlock();
      for (const auto& t : due) {
        if (!t->GiveUp()) continue;  // its thread finished meanwhile and reports itself
        HttpResponse failure = t->GaveUpResponse();
        t->Report(failure);
      }
      due.clear();
      lock.lock();
      continue;
    }
    s.watchdogWakes = next;
    if (next == Clock::time_point::max()) s.changed.wait(lock);
    else s.changed.wait_until(lock, next);
    s.watchdogWakes = Clock::time_point::min();
  }
}

// Starts a thread running `proc` with a share of the session; false when none could be made.
bool StartThread(const SessionState& state, LPTHREAD_START_ROUTINE proc) {
  std::unique_ptr<SessionState> share(new (std::nothrow) SessionState(state));
  HANDLE thread = share ? CreateThread(nullptr, 0, proc, share.get(), 0, nullptr) : nullptr;
  if (!thread) return false;
  share.release();
  ++state->made;  // under the session's lock, as every caller holds it
  CloseHandle(thread);
  return true;
}

// Threads on their way to take waiting GETs: idle ones and ones just made. The first that
// many waiting GETs are theirs. The caller holds the session's lock.
int Coming(const HttpSession::State& s) { return s.idle + s.starting; }

// Waiting GETs that no thread is on its way to take. A busy thread takes them when it is
// done.
int Uncovered(const HttpSession::State& s) { return static_cast<int>(s.waiting.size()) - Coming(s); }

// Of them, those that have waited kHoldMs or longer (the oldest are taken first).
int Overdue(const HttpSession::State& s, Clock::time_point now) {
  int n = 0;
  for (const auto& t : s.waiting) {
    if (now - t->queued < std::chrono::milliseconds(kHoldMs)) break;
    ++n;
  }
  return n - Coming(s);
}

// Makes up to `n` threads, within the bound (beyond it GETs wait for the first thread to
// finish); false when none could be made and none runs. The caller holds the lock.
bool MakeThreads(const SessionState& state, int n) {
  HttpSession::State& s = *state;
  for (; n > 0 && s.threads < kMaxTransferThreads; --n) {
    if (!StartThread(state, TransferThread)) return s.threads > 0;
    ++s.threads;
    ++s.starting;
  }
  return true;
}

void ArmHoldTimer(const SessionState& state, Clock::time_point now);

// The hold timers set and not yet run, each with the session it is for. A hold timer is a
// thread timer, run by the thread that set it, so an entry is known by both ids. The list is
// the process's, not a thread_local one: mingw-w64's emulated TLS may free a thread's block
// before the destructors of its thread_local objects run, and the thread's exit then
// crashes. It is made once and never destroyed, so that no thread, however late, finds it
// gone.
class HoldTimers {
 public:
  static HoldTimers& Get() {
    static HoldTimers* const timers = new HoldTimers;
    return *timers;
  }
  void Add(UINT_PTR timer, const SessionState& state) {
    std::lock_guard<std::mutex> lock(mutex_);
    // Timers of sessions that are gone will never be wanted again.
    entries_.erase(std::remove_if(entries_.begin(), entries_.end(), [](const Entry& e) { return e.session.expired(); }),
                   entries_.end());
    entries_.push_back({GetCurrentThreadId(), timer, state});
  }
  // The session of this thread's timer `timer`, taken off the list; null when it is gone
  // or the timer is not listed.
  SessionState Take(UINT_PTR timer) {
    std::lock_guard<std::mutex> lock(mutex_);
    const DWORD thread = GetCurrentThreadId();
    auto it = std::find_if(entries_.begin(), entries_.end(),
                           [&](const Entry& e) { return e.thread == thread && e.timer == timer; });
    if (it == entries_.end()) return nullptr;
    SessionState state = it->session.lock();
    entries_.erase(it);
    return state;
  }

 private:
  struct Entry {
    DWORD thread;
    UINT_PTR timer;
    std::weak_ptr<HttpSession::State> session;
  };
  std::mutex mutex_;
  std::vector<Entry> entries_;
};

// A hold has run out: GETs held that long get threads, and the timer is set again for the
// next one held.
void CALLBACK HoldTimerProc(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  // (The list's lock is let go before the session's is taken: ArmHoldTimer takes them
  // the other way round.)
  SessionState state = HoldTimers::Get().Take(id);
  if (!state) return;
  std::lock_guard<std::mutex> lock(state->mutex);
  if (state->holdTimer == id) state->holdTimer = 0;
  const Clock::time_point now = Clock::now();
  MakeThreads(state, Overdue(*state, now));
  ArmHoldTimer(state, now);
}

// Sets this thread's timer for when the first GET held will have waited kHoldMs, unless a
// timer is set or no GET is held. The caller holds the lock.
void ArmHoldTimer(const SessionState& state, Clock::time_point now) {
  HttpSession::State& s = *state;
  if (s.holdTimer || Uncovered(s) <= 0) return;
  const auto due = s.waiting[static_cast<size_t>(Coming(s))]->queued + std::chrono::milliseconds(kHoldMs);
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(due - now).count();
  s.holdTimer = SetTimer(nullptr, 0, static_cast<UINT>(std::max<long long>(ms, USER_TIMER_MINIMUM)), HoldTimerProc);
  if (s.holdTimer) HoldTimers::Get().Add(s.holdTimer, state);
}

// Lists `transfer` for a thread: one of its own unless an idle one will take it. A GET
// that may be held (`mayHold`) and finds every thread busy instead waits up to kHoldMs for
// one of them, and gets a thread of its own only then: GETs that trickle in while the one
// before is still running (every widget's at start-up) then share a thread, which costs
// about 1 MiB under Wine. The hold is ended by a timer of the calling thread, or by the
// owner's next Look when that thread dispatches no messages. GETs started in one go (less
// than kTogether after the last one was listed: a burst) are never held.
// False when no thread could be had. The caller holds the session's lock.
bool Queue(const SessionState& state, const std::shared_ptr<Transfer>& transfer, bool mayHold) {
  constexpr auto kTogether = std::chrono::milliseconds(2);
  HttpSession::State& s = *state;
  const Clock::time_point now = Clock::now();
  const bool together = now - s.lastQueued < kTogether;
  transfer->queued = now;
  s.waiting.push_back(transfer);
  s.work.notify_one();
  bool ok = true;
  const int uncovered = Uncovered(s);
  if (uncovered > 0) {
    if (mayHold && s.threads > 0 && !together) {
      MakeThreads(state, Overdue(s, now));
      ArmHoldTimer(state, now);
    } else {
      ok = MakeThreads(state, uncovered);
    }
  }
  if (!ok) s.waiting.pop_back();
  s.lastQueued = Clock::now();  // after the threads it made: those take a while under Wine
  return ok;
}

// Starts the watchdog unless it runs; false when it could not be made. The caller holds
// the session's lock.
bool StartWatching(const SessionState& state) {
  if (state->watching) return true;
  if (!StartThread(state, WatchdogThread)) return false;
  state->watching = true;
  return true;
}

// Lists `transfer` for the watchdog and, unless it runs `here` on the calling thread, for
// a thread (see Queue for `mayHold`); false when a thread it needs could not be made.
bool Launch(const SessionState& state, const std::shared_ptr<Transfer>& transfer, bool here, bool mayHold) {
  HttpSession::State& s = *state;
  std::lock_guard<std::mutex> lock(s.mutex);
  if (s.watchAtOnce && !StartWatching(state)) return false;
  if (!here && !Queue(state, transfer, mayHold)) return false;
  s.active.push_back(transfer);
  if (transfer->NextCheck(Clock::now()) < s.watchdogWakes) s.changed.notify_all();
  return true;
}

}  // namespace

HttpSession::HttpSession(Watch watch) : state_(std::make_shared<State>()) {
  state_->watchAtOnce = watch == Watch::kAtOnce;
  // Process-wide settings: WinINet takes them from a null handle only.
  unsigned long connections = kMaxConnectionsPerServer;
  InternetSetOptionW(nullptr, INTERNET_OPTION_MAX_CONNS_PER_SERVER, &connections, sizeof connections);
  InternetSetOptionW(nullptr, INTERNET_OPTION_MAX_CONNS_PER_1_0_SERVER, &connections, sizeof connections);
  state_->root.reset(OpenRoot());
}

HttpSession::~HttpSession() = default;

bool HttpSession::Start(const std::u16string& url, const HttpOptions& options, Done done) {
  UrlParts parts;
  if (!SplitUrl(url, &parts)) {
    HttpResponse bad;
    bad.failure = HttpFailure::kBadAddress;
    if (done) done(bad);
    return true;
  }
  // Only a looked-after session holds GETs back: its owner's looks end a hold that no
  // timer ends (when this thread runs no message loop).
  return Launch(state_, std::make_shared<Transfer>(url, options, std::move(done)), false, !state_->watchAtOnce);
}

HttpResponse HttpSession::Get(const std::u16string& url, const HttpOptions& options) {
  HttpResponse response;
  UrlParts parts;
  if (!SplitUrl(url, &parts)) {
    response.failure = HttpFailure::kBadAddress;
    return response;
  }
  struct Slot {
    std::mutex mutex;
    std::condition_variable filled;
    bool done = false;
    HttpResponse response;
  };
  auto slot = std::make_shared<Slot>();
  auto transfer = std::make_shared<Transfer>(url, options, [slot](HttpResponse& r) {
    std::lock_guard<std::mutex> lock(slot->mutex);
    slot->response = std::move(r);
    slot->done = true;
    slot->filled.notify_all();
  });
  // On a transfer thread the GET runs in place, watched all the same: waiting there for
  // another thread could hold up every thread of the session.
  const bool here = tTransferThread;
  // Never held back: this thread waits for it, and may be the one that looks.
  if (!Launch(state_, transfer, here, false)) {
    Transfer alone(url, options, nullptr);  // no thread to spare: no deadline either
    Perform(state_->root.get(), &alone, &response);
    return response;
  }
  if (here) {
    HttpResponse outcome;
    Perform(state_->root.get(), transfer.get(), &outcome);
    {
      std::lock_guard<std::mutex> lock(state_->mutex);
      Forget(*state_, transfer);  // before the report, as on the session's threads
    }
    transfer->Finish(outcome);  // fills the slot unless the watchdog gave up (and filled it)
  }
  std::unique_lock<std::mutex> lock(slot->mutex);
  slot->filled.wait(lock, [&] { return slot->done; });
  return std::move(slot->response);
}

bool HttpSession::Run(std::function<void()> job) { return RunJob(std::move(job), false); }

bool HttpSession::RunIfIdle(std::function<void()> job) { return RunJob(std::move(job), true); }

bool HttpSession::RunJob(std::function<void()> job, bool onlyIfIdle) {
  auto transfer = std::make_shared<Transfer>(u"", HttpOptions(), nullptr);
  transfer->job = std::move(job);
  std::lock_guard<std::mutex> lock(state_->mutex);
  // With an idle thread beyond the work already waiting, Queue makes no thread.
  if (onlyIfIdle && state_->idle <= static_cast<int>(state_->waiting.size())) return false;
  return Queue(state_, transfer, false);
}

void HttpSession::Look() {
  std::lock_guard<std::mutex> lock(state_->mutex);
  // Holds no timer ended (its thread may dispatch no messages: the next hold sets another).
  const int overdue = Overdue(*state_, Clock::now());
  if (overdue > 0) {
    state_->holdTimer = 0;
    MakeThreads(state_, overdue);
  }
  if (state_->watching) return;
  // A GET due by then (or cancelled) needs the watchdog now.
  const Clock::time_point soon = Clock::now() + std::chrono::milliseconds(kWatchAheadMs);
  for (const auto& t : state_->active) {
    if (t->Due(soon)) {
      StartWatching(state_);  // when no thread can be had, the next look tries again
      return;
    }
  }
}

void HttpSession::WatchNow() {
  std::lock_guard<std::mutex> lock(state_->mutex);
  if (!state_->active.empty()) StartWatching(state_);
}

size_t HttpSession::running() const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->active.size();
}

int HttpSession::threadsMade() const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->made;
}

HttpResponse HttpGet(const std::u16string& url, const HttpOptions& options) {
  HttpSession session;
  return session.Get(url, options);
}

}  // namespace net
