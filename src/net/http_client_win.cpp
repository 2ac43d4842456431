#include "net/http_client_win.h"

#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <cstring>
#include <vector>
#include <cstdlib>
#include <memory>
#include <new>
#include <functional>
#include <mutex>

#include "framework/handles_win.h"
#include "framework/wstr_win.h"
#include "net/content_decoding.h"
#include "net/url.h"

namespace net {
namespace {

constexpr DWORD kRootFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE;
constexpr DWORD kStatusBufferBytes = 50;
constexpr DWORD kLocationBufferChars = 4096;
constexpr DWORD kHeaderBufferChars = 1024;

std::u16string Number(long long n) {
  std::string s = std::to_string(n);
  return std::u16string(s.begin(), s.end());
}

// The error number of the last failed call of this thread's transfer, kept beside its
// message so that callers can say in words what went wrong.
thread_local DWORD tFailedCallError = 0;

std::u16string ErrorWithCode(const char16_t* text, DWORD code) {
  tFailedCallError = code;
  return text + Number(static_cast<long>(code)) + u"\n";
}

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
    r.error = cancel && cancel->load() ? u"文件下载失败，已取消！\n"
                                       : u"文件下载失败，超过" + Number(options.deadlineMs / 1000) + u"秒仍未完成！\n";
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

// The status text as a number; 0 when it is not one.
int StatusNumber(const std::u16string& status) {
  if (status.empty() || status.size() > 3) return 0;
  int n = 0;
  for (char16_t c : status) {
    if (c < u'0' || c > u'9') return 0;
    n = n * 10 + (c - u'0');
  }
  return n;
}

// Retry-After as seconds from now: a number of seconds or an HTTP date; 0 when absent or
// unreadable. Capped at a day.
int RetryAfterSeconds(const std::u16string& value) {
  constexpr int kDay = 86400;
  if (value.empty()) return 0;
  bool digits = value.size() <= 9;
  for (char16_t c : value) digits = digits && c >= u'0' && c <= u'9';
  if (digits) return std::min(std::stoi(std::string(value.begin(), value.end())), kDay);
  SYSTEMTIME when{};
  if (!InternetTimeToSystemTimeW(as_wcstr(value), &when, 0)) return 0;
  FILETIME whenFile{}, nowFile{};
  SystemTimeToFileTime(&when, &whenFile);
  GetSystemTimeAsFileTime(&nowFile);
  auto ticks = [](const FILETIME& f) { return (static_cast<long long>(f.dwHighDateTime) << 32) | f.dwLowDateTime; };
  long long seconds = (ticks(whenFile) - ticks(nowFile)) / 10000000;
  return static_cast<int>(std::max(0LL, std::min<long long>(seconds, kDay)));
}

std::u16string TooLargeText(const HttpOptions& limits) {
  return u"文件下载失败，文件超过" + Number(static_cast<long long>(limits.maxBody / kBodyBlockStep)) + u"MB！\n";
}

// Replaces the received block of `size` bytes by its decoded form; the cap counts
// decoded bytes. An encoding not known here is passed on as it came.
int Decode(const std::u16string& encoding, const HttpOptions& limits, int size, char** block, std::u16string* error) {
  std::string decoded;
  switch (DecodeContent(encoding, *block, static_cast<size_t>(size), limits.maxBody, &decoded)) {
    case DecodeResult::kOk: break;
    case DecodeResult::kUnsupported: return size;
    case DecodeResult::kTooLarge: *error = TooLargeText(limits); return 0;
    case DecodeResult::kCorrupt: *error = u"文件下载失败，内容编码错误！\n"; return 0;
  }
  char* out = static_cast<char*>(std::malloc(decoded.size() + 1));
  if (!out) {
    *error = u"文件下载失败，存储空间不足！\n";
    return 0;
  }
  std::memcpy(out, decoded.data(), decoded.size());
  std::free(*block);
  *block = out;
  return static_cast<int>(decoded.size());
}

bool IsRedirect(const std::u16string& status) {
  return status == u"301" || status == u"302" || status == u"303" || status == u"307" || status == u"308";
}

std::u16string QueryText(HINTERNET request, DWORD what, DWORD capacityChars) {
  std::u16string text(capacityChars, u'\0');
  DWORD bytes = capacityChars * sizeof(wchar_t);
  if (!HttpQueryInfoW(request, what, as_wbuf(text), &bytes, nullptr)) return std::u16string();
  text.resize(bytes / sizeof(wchar_t));
  return text;
}

// Content-Length when the server sent one, else -1.
long long ContentLength(HINTERNET request) {
  std::u16string text = QueryText(request, HTTP_QUERY_CONTENT_LENGTH, 32);
  if (text.empty() || text.size() > 19) return -1;
  long long n = 0;
  for (char16_t c : text) {
    if (c < u'0' || c > u'9') return -1;
    n = n * 10 + (c - u'0');
  }
  return n;
}

enum class Outcome { kDone, kRedirect };

struct Exchange {
  Outcome outcome = Outcome::kDone;
  int result = 0;
  bool answered = false;      // the server sent a status
  int status = 0;
  char* block = nullptr;
  std::u16string location;    // for kRedirect
};

// Reads the body into a block that starts at one step and grows by one step whenever
// fewer than a chunk of bytes are free; fills `error` on failure.
int ReadBody(HINTERNET request, const HttpOptions& limits, const std::function<bool()>& expired, char** blockOut,
             std::u16string* error) {
  size_t capacity = kBodyBlockStep;
  char* block = static_cast<char*>(std::malloc(capacity));
  size_t total = 0;
  if (!block) {
    *error = u"文件下载失败，存储空间不足！\n";
    return 0;
  }
  DWORD read = 0;
  do {
    read = 0;
    // Asking only for what has arrived keeps each call short, so the deadline is seen
    // between calls even where closing the handle does not interrupt a blocked read.
    DWORD available = 0;
    if (!InternetQueryDataAvailable(request, &available, 0, 0)) {
      *error = ErrorWithCode(u"文件下载失败，错误号：", GetLastError());
      break;
    }
    if (expired()) break;
    DWORD want = available > 0 && available < kReadChunk ? available : static_cast<DWORD>(kReadChunk);
    if (!InternetReadFile(request, block + total, want, &read)) {
      *error = ErrorWithCode(u"文件下载失败，错误号：", GetLastError());
      read = 0;
    }
    total += read;
    if (total > limits.maxBody) {
      *error = TooLargeText(limits);
      break;
    }
    if (capacity - total < kReadChunk) {
      char* grown = static_cast<char*>(std::realloc(block, total + kBodyBlockStep));
      if (!grown) {
        *error = u"文件下载失败，存储空间不足！\n";
        break;
      }
      block = grown;
      capacity = total + kBodyBlockStep;
    }
  } while (read > 0);
  *blockOut = block;
  return static_cast<int>(total);
}

Exchange GetOnce(HINTERNET root, const UrlParts& parts, Transfer* transfer, HttpResponse* response,
                 std::u16string* error) {
  const HttpOptions& limits = transfer->options;
  Exchange ex;
  std::u16string host = ConnectHost(parts.host);
  // A user name from the address answers the server's request for one (401).
  const bool named = !parts.user.empty();
  fw::UniqueInternet connection(InternetConnectW(root, as_wcstr(host), static_cast<INTERNET_PORT>(parts.port),
                                                 named ? as_wcstr(parts.user) : nullptr,
                                                 named ? as_wcstr(parts.password) : nullptr,
                                                 INTERNET_SERVICE_HTTP, 0, 0));
  if (!connection) {
    tFailedCallError = GetLastError();
    *error = u"连接Http服务器失败， 服务器：" + parts.host + u", 错误号：" +
             Number(static_cast<long>(tFailedCallError)) + u"\n";
    return ex;
  }
  const struct { DWORD option; int value; } timeouts[] = {
      {INTERNET_OPTION_CONNECT_TIMEOUT, limits.connectTimeoutMs},
      {INTERNET_OPTION_RECEIVE_TIMEOUT, limits.receiveTimeoutMs},
      {INTERNET_OPTION_SEND_TIMEOUT, limits.sendTimeoutMs},
  };
  for (const auto& t : timeouts) {
    if (t.value <= 0) continue;
    DWORD v = static_cast<DWORD>(t.value);
    InternetSetOptionW(connection.get(), t.option, &v, sizeof v);
  }

  const wchar_t* acceptTypes[] = {L"*/*", nullptr};
  DWORD flags = kRootFlags | INTERNET_FLAG_NO_AUTO_REDIRECT | (parts.secure ? INTERNET_FLAG_SECURE : 0);
  WatchedRequest request(transfer, HttpOpenRequestW(connection.get(), L"GET", as_wcstr(parts.path), nullptr,
                                                    nullptr, acceptTypes, flags, 1));
  if (!request.get()) {
    *error = ErrorWithCode(u"创建请求失败， 错误号：", GetLastError());
    return ex;
  }
  for (const std::u16string& line : RequestHeaderLines(limits)) {
    HttpAddRequestHeadersW(request.get(), as_wcstr(line), static_cast<DWORD>(line.size()),
                           HTTP_ADDREQ_FLAG_ADD | HTTP_ADDREQ_FLAG_REPLACE);
  }
  if (!HttpSendRequestW(request.get(), nullptr, 0, nullptr, 0)) {
    *error = ErrorWithCode(u"发送请求失败， 错误号：", GetLastError());
    return ex;
  }

  ex.answered = true;
  std::u16string status = QueryText(request.get(), HTTP_QUERY_STATUS_CODE, kStatusBufferBytes / sizeof(wchar_t));
  if (status.empty()) status = u"200";
  ex.status = StatusNumber(status);
  response->etag = QueryText(request.get(), HTTP_QUERY_ETAG, kHeaderBufferChars);
  response->lastModified = QueryText(request.get(), HTTP_QUERY_LAST_MODIFIED, kHeaderBufferChars);
  response->retryAfterSeconds = RetryAfterSeconds(QueryText(request.get(), HTTP_QUERY_RETRY_AFTER, kHeaderBufferChars));
  if (ex.status == 304 && (!limits.ifNoneMatch.empty() || !limits.ifModifiedSince.empty()))
    return ex;  // "not modified": no body, and no failure
  if (IsRedirect(status)) {
    ex.location = QueryText(request.get(), HTTP_QUERY_LOCATION, kLocationBufferChars);
    if (!ex.location.empty()) {
      ex.outcome = Outcome::kRedirect;
      return ex;
    }
  }
  if (status != u"200") {
    *error = u"下载文件失败，错误码：" + status + u"！\n";
    return ex;
  }
  long long announced = ContentLength(request.get());
  if (announced > static_cast<long long>(limits.maxBody)) {
    *error = TooLargeText(limits);
    return ex;
  }
  ex.result = ReadBody(request.get(), limits, [transfer] { return transfer->Expired(); }, &ex.block, error);
  if (error->empty()) {
    std::u16string encoding = QueryText(request.get(), HTTP_QUERY_CONTENT_ENCODING, kHeaderBufferChars);
    if (!encoding.empty()) ex.result = Decode(encoding, limits, ex.result, &ex.block, error);
  }
  return ex;
}

HINTERNET OpenRoot() { return InternetOpenW(nullptr, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, kRootFlags); }

// The whole GET with its redirects, through `sessionRoot` (or a root of its own when the
// session has none); fills `response`, which starts empty.
void Perform(HINTERNET sessionRoot, Transfer* transfer, HttpResponse* response) {
  tFailedCallError = 0;
  UrlParts parts;
  SplitUrl(transfer->url, &parts);
  fw::UniqueInternet own(sessionRoot ? nullptr : OpenRoot());
  HINTERNET root = sessionRoot ? sessionRoot : own.get();
  if (!root) return;  // not answered, and no message
  std::u16string current = transfer->url;
  std::u16string failure;
  for (int redirects = 0;; ++redirects) {
    Exchange ex = GetOnce(root, parts, transfer, response, &failure);
    if (failure.empty() && ex.outcome == Outcome::kRedirect) {
      current = ResolveUrl(current, ex.location);
      if (redirects >= transfer->options.maxRedirects) {
        failure = u"文件下载失败，重定向次数过多！\n";
      } else if (!SplitUrl(current, &parts)) {
        failure = u"Url地址错误！\n";
      } else {
        continue;
      }
    }
    response->status = ex.status;
    if (!failure.empty()) {
      std::free(ex.block);
      response->answered = ex.answered || ex.outcome == Outcome::kRedirect;
      response->systemError = tFailedCallError;
      response->tooLarge = failure == TooLargeText(transfer->options);
      response->error = failure;
    } else {
      response->answered = true;
      response->body.reset(ex.block);
      response->size = static_cast<size_t>(ex.result);
    }
    return;
  }
}

}  // namespace

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
    bad.error = u"Url地址错误！\n";
    if (done) done(bad);
    return true;
  }
  // Only a looked-after session holds GETs back: its owner's looks end a hold that no
  // timer ends (when this thread runs no message loop).
  return Launch(state_, std::make_shared<Transfer>(url, options, std::move(done)), false, !state_->watchAtOnce);
}

int HttpSession::Get(const std::u16string& url, const HttpOptions& options, HttpResponse* response) {
  *response = HttpResponse();
  UrlParts parts;
  if (!SplitUrl(url, &parts)) {
    response->error = u"Url地址错误！\n";
    return 0;
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
    Perform(state_->root.get(), &alone, response);
    return response->body ? static_cast<int>(response->size) : 0;
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
  *response = std::move(slot->response);
  return response->body ? static_cast<int>(response->size) : 0;
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

int HttpGet(const std::u16string& url, const HttpOptions& options, HttpResponse* response) {
  HttpSession session;
  return session.Get(url, options, response);
}

int GetProgramVersion(wchar_t* buffer, int capacity) {
  constexpr DWORD kPathChars = 260;
  wchar_t path[kPathChars];
  if (!GetModuleFileNameW(nullptr, path, kPathChars)) return 0;
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeW(path, &ignored);
  if (!size) return 0;
  std::string info(size, '\0');
  if (!GetFileVersionInfoW(path, 0, size, &info[0])) return 0;
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT fixedLen = 0;
  if (!VerQueryValueW(&info[0], L"\\", reinterpret_cast<void**>(&fixed), &fixedLen) || !fixed ||
      fixedLen < sizeof(VS_FIXEDFILEINFO))
    return 0;
  // The first part is always 1: the version line the service knows this program by.
  std::u16string text = u"1." + Number(LOWORD(fixed->dwFileVersionMS)) + u"." +
                        Number(HIWORD(fixed->dwFileVersionLS)) + u"." + Number(LOWORD(fixed->dwFileVersionLS));
  if (capacity <= 0 || text.size() + 1 > static_cast<size_t>(capacity)) return 0;
  std::copy(text.begin(), text.end(), buffer);
  buffer[text.size()] = 0;
  return 1;
}

std::u16string ConnectHost(const std::u16string& host) {
  bool ascii = true;
  for (char16_t c : host) ascii &= c < 0x80;
  if (ascii) return host;
  int n = IdnToAscii(0, as_wcstr(host), static_cast<int>(host.size()), nullptr, 0);
  if (n <= 0) return host;
  std::u16string out(static_cast<size_t>(n), u'\0');
  n = IdnToAscii(0, as_wcstr(host), static_cast<int>(host.size()), as_wbuf(out), n);
  if (n <= 0) return host;
  out.resize(static_cast<size_t>(n));
  return out;
}

}  // namespace net
