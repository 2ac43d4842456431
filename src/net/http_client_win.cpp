#include "net/http_client_win.h"

#include <windows.h>
#include <wininet.h>

#include <condition_variable>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <thread>

#include "framework/handles_win.h"
#include "framework/wstr_win.h"
#include "net/url.h"

namespace net {
namespace {

constexpr wchar_t kUserAgentHeader[] =
    L"User-Agent: Mozilla/5.0 (compatible; MSIE 10.0; Windows NT 6.2; Trident/6.0)";
constexpr DWORD kRootFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE;
constexpr DWORD kStatusBufferBytes = 50;
constexpr DWORD kLocationBufferChars = 4096;

std::u16string Number(long long n) {
  std::string s = std::to_string(n);
  return std::u16string(s.begin(), s.end());
}

std::u16string ErrorWithCode(const char16_t* text, DWORD code) {
  return text + Number(static_cast<long>(code)) + u"\n";
}

// Closes the request being watched when the deadline passes. WinINet's time-outs apply
// per packet, so a server trickling bytes never trips them; closing the handle from
// another thread is WinINet's way to cancel a blocking call.
class DeadlineWatchdog {
 public:
  explicit DeadlineWatchdog(int ms) {
    if (ms <= 0) return;
    thread_ = std::thread([this, ms] {
      std::unique_lock<std::mutex> lock(mutex_);
      if (cv_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return stop_; })) return;
      expired_ = true;
      if (watched_) InternetCloseHandle(watched_);
    });
  }
  ~DeadlineWatchdog() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
    }
    cv_.notify_all();
    if (thread_.joinable()) thread_.join();
  }
  DeadlineWatchdog(const DeadlineWatchdog&) = delete;
  DeadlineWatchdog& operator=(const DeadlineWatchdog&) = delete;

  // Starts watching `request`; false (and the handle closed) when the time is already up.
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

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  HINTERNET watched_ = nullptr;
  bool expired_ = false;
  bool stop_ = false;
  std::thread thread_;
};

// The request handle of one exchange, closed through the watchdog.
class WatchedRequest {
 public:
  WatchedRequest(DeadlineWatchdog* watchdog, HINTERNET h) : watchdog_(watchdog), h_(h) {
    if (h_ && !watchdog_->Watch(h_)) h_ = nullptr;
  }
  ~WatchedRequest() { if (h_) watchdog_->Close(h_); }
  WatchedRequest(const WatchedRequest&) = delete;
  WatchedRequest& operator=(const WatchedRequest&) = delete;
  HINTERNET get() const { return h_; }

 private:
  DeadlineWatchdog* watchdog_;
  HINTERNET h_;
};

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
  bool answered = false;      // the server sent a status: the data out-parameter is written
  char* block = nullptr;
  std::u16string location;    // for kRedirect
};

// Reads the body into a block that starts at one step and grows by one step whenever
// fewer than a chunk of bytes are free; fills `error` on failure.
int ReadBody(HINTERNET request, const HttpLimits& limits, const std::function<bool()>& expired, char** blockOut,
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
      *error = u"文件下载失败，文件超过" + Number(static_cast<long long>(limits.maxBody / kBodyBlockStep)) + u"MB！\n";
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

Exchange GetOnce(HINTERNET root, const UrlParts& parts, int connectMs, int receiveMs, int sendMs,
                 const HttpLimits& limits, DeadlineWatchdog* watchdog, std::u16string* error) {
  Exchange ex;
  fw::UniqueInternet connection(InternetConnectW(root, as_wcstr(parts.host), static_cast<INTERNET_PORT>(parts.port),
                                                 nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0));
  if (!connection) {
    *error = u"连接Http服务器失败， 服务器：" + parts.host + u", 错误号：" +
             Number(static_cast<long>(GetLastError())) + u"\n";
    return ex;
  }
  const struct { DWORD option; int value; } timeouts[] = {
      {INTERNET_OPTION_CONNECT_TIMEOUT, connectMs},
      {INTERNET_OPTION_RECEIVE_TIMEOUT, receiveMs},
      {INTERNET_OPTION_SEND_TIMEOUT, sendMs},
  };
  for (const auto& t : timeouts) {
    if (t.value <= 0) continue;
    DWORD v = static_cast<DWORD>(t.value);
    InternetSetOptionW(connection.get(), t.option, &v, sizeof v);
  }

  const wchar_t* acceptTypes[] = {L"*/*", nullptr};
  DWORD flags = kRootFlags | INTERNET_FLAG_NO_AUTO_REDIRECT | (parts.secure ? INTERNET_FLAG_SECURE : 0);
  WatchedRequest request(watchdog, HttpOpenRequestW(connection.get(), L"GET", as_wcstr(parts.path), nullptr,
                                                    nullptr, acceptTypes, flags, 1));
  if (!request.get()) {
    *error = ErrorWithCode(u"创建请求失败， 错误号：", GetLastError());
    return ex;
  }
  HttpAddRequestHeadersW(request.get(), kUserAgentHeader, static_cast<DWORD>(wcslen(kUserAgentHeader)),
                         HTTP_ADDREQ_FLAG_ADD);
  if (!HttpSendRequestW(request.get(), nullptr, 0, nullptr, 0)) {
    *error = ErrorWithCode(u"发送请求失败， 错误号：", GetLastError());
    return ex;
  }

  ex.answered = true;
  std::u16string status = QueryText(request.get(), HTTP_QUERY_STATUS_CODE, kStatusBufferBytes / sizeof(wchar_t));
  if (status.empty()) status = u"200";
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
    *error = u"文件下载失败，文件超过" + Number(static_cast<long long>(limits.maxBody / kBodyBlockStep)) + u"MB！\n";
    return ex;
  }
  ex.result = ReadBody(request.get(), limits, [watchdog] { return watchdog->Expired(); }, &ex.block, error);
  return ex;
}

}  // namespace

int HttpGet(const std::u16string& url, char** data, std::u16string* error, int connectTimeoutMs,
            int receiveTimeoutMs, int sendTimeoutMs, const HttpLimits& limits) {
  UrlParts parts;
  if (!SplitUrl(url, &parts)) {
    *error = u"Url地址错误！\n";
    return 0;
  }
  fw::UniqueInternet root(InternetOpenW(nullptr, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, kRootFlags));
  if (!root) return 0;

  DeadlineWatchdog watchdog(limits.deadlineMs);
  std::u16string current = url;
  std::u16string failure;
  for (int redirects = 0;; ++redirects) {
    Exchange ex = GetOnce(root.get(), parts, connectTimeoutMs, receiveTimeoutMs, sendTimeoutMs, limits,
                          &watchdog, &failure);
    if (watchdog.Expired()) {
      failure = u"文件下载失败，超过" + Number(limits.deadlineMs / 1000) + u"秒仍未完成！\n";
      ex.answered = true;
    }
    if (failure.empty() && ex.outcome == Outcome::kRedirect) {
      current = ResolveUrl(current, ex.location);
      if (redirects >= limits.maxRedirects) {
        failure = u"文件下载失败，重定向次数过多！\n";
      } else if (!SplitUrl(current, &parts)) {
        failure = u"Url地址错误！\n";
      } else {
        continue;
      }
    }
    if (!failure.empty()) {
      std::free(ex.block);
      *error = failure;
      if (data && ex.answered) *data = nullptr;
      return 0;
    }
    if (data) {
      *data = ex.block;
    } else {
      std::free(ex.block);
    }
    return ex.result;
  }
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

}  // namespace net
