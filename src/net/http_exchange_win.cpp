#include "net/http_client_win.h"

#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>

#include "framework/handles_win.h"
#include "framework/wstr_win.h"
#include "net/content_decoding.h"
#include "net/http_transfer_win.h"
#include "net/url.h"

namespace net {
namespace {

constexpr DWORD kRootFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE;
constexpr DWORD kStatusBufferBytes = 50;
constexpr DWORD kLocationBufferChars = 4096;
constexpr DWORD kHeaderBufferChars = 1024;

// Why an exchange failed: the kind, and the error number of the system call that failed
// (kept when a later step of the same read fails too).
struct Failure {
  HttpFailure kind = HttpFailure::kNone;
  DWORD systemError = 0;

  explicit operator bool() const { return kind != HttpFailure::kNone; }
  void Set(HttpFailure k) { kind = k; }
  void Set(HttpFailure k, DWORD code) {
    kind = k;
    systemError = code;
  }
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

// Replaces the received block of `size` bytes by its decoded form; the cap counts
// decoded bytes. An encoding not known here is passed on as it came.
int Decode(const std::u16string& encoding, const HttpOptions& limits, int size, char** block, Failure* failure) {
  std::string decoded;
  switch (DecodeContent(encoding, *block, static_cast<size_t>(size), limits.maxBody, &decoded)) {
    case DecodeResult::kOk: break;
    case DecodeResult::kUnsupported: return size;
    case DecodeResult::kTooLarge: failure->Set(HttpFailure::kTooLarge); return 0;
    case DecodeResult::kCorrupt: failure->Set(HttpFailure::kBadEncoding); return 0;
  }
  char* out = static_cast<char*>(std::malloc(decoded.size() + 1));
  if (!out) {
    failure->Set(HttpFailure::kNoMemory);
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
// fewer than a chunk of bytes are free; fills `failure` on failure.
int ReadBody(HINTERNET request, const HttpOptions& limits, const std::function<bool()>& expired, char** blockOut,
             Failure* failure) {
  size_t capacity = kBodyBlockStep;
  char* block = static_cast<char*>(std::malloc(capacity));
  size_t total = 0;
  if (!block) {
    failure->Set(HttpFailure::kNoMemory);
    return 0;
  }
  DWORD read = 0;
  do {
    read = 0;
    // Asking only for what has arrived keeps each call short, so the deadline is seen
    // between calls even where closing the handle does not interrupt a blocked read.
    DWORD available = 0;
    if (!InternetQueryDataAvailable(request, &available, 0, 0)) {
      failure->Set(HttpFailure::kReceive, GetLastError());
      break;
    }
    if (expired()) break;
    DWORD want = available > 0 && available < kReadChunk ? available : static_cast<DWORD>(kReadChunk);
    if (!InternetReadFile(request, block + total, want, &read)) {
      failure->Set(HttpFailure::kReceive, GetLastError());
      read = 0;
    }
    total += read;
    if (total > limits.maxBody) {
      failure->Set(HttpFailure::kTooLarge);
      break;
    }
    if (capacity - total < kReadChunk) {
      char* grown = static_cast<char*>(std::realloc(block, total + kBodyBlockStep));
      if (!grown) {
        failure->Set(HttpFailure::kNoMemory);
        break;
      }
      block = grown;
      capacity = total + kBodyBlockStep;
    }
  } while (read > 0);
  *blockOut = block;
  return static_cast<int>(total);
}

// The connection to the server of `parts`, with the time-outs of `limits`; null (and
// `failure` set) when none could be had.
HINTERNET Connect(HINTERNET root, const UrlParts& parts, const HttpOptions& limits, Failure* failure) {
  std::u16string host = ConnectHost(parts.host);
  // A user name from the address answers the server's request for one (401).
  const bool named = !parts.user.empty();
  HINTERNET connection = InternetConnectW(root, as_wcstr(host), static_cast<INTERNET_PORT>(parts.port),
                                          named ? as_wcstr(parts.user) : nullptr,
                                          named ? as_wcstr(parts.password) : nullptr, INTERNET_SERVICE_HTTP, 0, 0);
  if (!connection) {
    failure->Set(HttpFailure::kConnect, GetLastError());
    return nullptr;
  }
  const struct { DWORD option; int value; } timeouts[] = {
      {INTERNET_OPTION_CONNECT_TIMEOUT, limits.connectTimeoutMs},
      {INTERNET_OPTION_RECEIVE_TIMEOUT, limits.receiveTimeoutMs},
      {INTERNET_OPTION_SEND_TIMEOUT, limits.sendTimeoutMs},
  };
  for (const auto& t : timeouts) {
    if (t.value <= 0) continue;
    DWORD v = static_cast<DWORD>(t.value);
    InternetSetOptionW(connection, t.option, &v, sizeof v);
  }
  return connection;
}

// What the answer to a sent request says; reads its body when it is a 200 (as far as
// nothing fails).
void ReadAnswer(HINTERNET request, Transfer* transfer, Exchange* ex, HttpResponse* response, Failure* failure) {
  const HttpOptions& limits = transfer->options;
  ex->answered = true;
  std::u16string status = QueryText(request, HTTP_QUERY_STATUS_CODE, kStatusBufferBytes / sizeof(wchar_t));
  if (status.empty()) status = u"200";
  ex->status = StatusNumber(status);
  response->etag = QueryText(request, HTTP_QUERY_ETAG, kHeaderBufferChars);
  response->lastModified = QueryText(request, HTTP_QUERY_LAST_MODIFIED, kHeaderBufferChars);
  response->retryAfterSeconds = RetryAfterSeconds(QueryText(request, HTTP_QUERY_RETRY_AFTER, kHeaderBufferChars));
  if (ex->status == 304 && (!limits.ifNoneMatch.empty() || !limits.ifModifiedSince.empty()))
    return;  // "not modified": no body, and no failure
  if (IsRedirect(status)) {
    ex->location = QueryText(request, HTTP_QUERY_LOCATION, kLocationBufferChars);
    if (!ex->location.empty()) {
      ex->outcome = Outcome::kRedirect;
      return;
    }
  }
  if (status != u"200") {
    failure->Set(HttpFailure::kStatus);
    return;
  }
  long long announced = ContentLength(request);
  if (announced > static_cast<long long>(limits.maxBody)) {
    failure->Set(HttpFailure::kTooLarge);
    return;
  }
  ex->result = ReadBody(request, limits, [transfer] { return transfer->Expired(); }, &ex->block, failure);
  if (!*failure) {
    std::u16string encoding = QueryText(request, HTTP_QUERY_CONTENT_ENCODING, kHeaderBufferChars);
    if (!encoding.empty()) ex->result = Decode(encoding, limits, ex->result, &ex->block, failure);
  }
}

Exchange GetOnce(HINTERNET root, const UrlParts& parts, Transfer* transfer, HttpResponse* response,
                 Failure* failure) {
  const HttpOptions& limits = transfer->options;
  Exchange ex;
  fw::UniqueInternet connection(Connect(root, parts, limits, failure));
  if (!connection) return ex;
  const wchar_t* acceptTypes[] = {L"*/*", nullptr};
  DWORD flags = kRootFlags | INTERNET_FLAG_NO_AUTO_REDIRECT | (parts.secure ? INTERNET_FLAG_SECURE : 0);
  WatchedRequest request(transfer, HttpOpenRequestW(connection.get(), L"GET", as_wcstr(parts.path), nullptr,
                                                    nullptr, acceptTypes, flags, 1));
  if (!request.get()) {
    failure->Set(HttpFailure::kOpenRequest, GetLastError());
    return ex;
  }
  for (const std::u16string& line : RequestHeaderLines(limits)) {
    HttpAddRequestHeadersW(request.get(), as_wcstr(line), static_cast<DWORD>(line.size()),
                           HTTP_ADDREQ_FLAG_ADD | HTTP_ADDREQ_FLAG_REPLACE);
  }
  if (!HttpSendRequestW(request.get(), nullptr, 0, nullptr, 0)) {
    failure->Set(HttpFailure::kSend, GetLastError());
    return ex;
  }
  ReadAnswer(request.get(), transfer, &ex, response, failure);
  return ex;
}

}  // namespace

HINTERNET OpenRoot() { return InternetOpenW(nullptr, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, kRootFlags); }

void Perform(HINTERNET sessionRoot, Transfer* transfer, HttpResponse* response) {
  UrlParts parts;
  SplitUrl(transfer->url, &parts);
  fw::UniqueInternet own(sessionRoot ? nullptr : OpenRoot());
  HINTERNET root = sessionRoot ? sessionRoot : own.get();
  if (!root) return;  // not answered, and no failure named
  std::u16string current = transfer->url;
  Failure failure;
  for (int redirects = 0;; ++redirects) {
    Exchange ex = GetOnce(root, parts, transfer, response, &failure);
    if (!failure && ex.outcome == Outcome::kRedirect) {
      current = ResolveUrl(current, ex.location);
      if (redirects >= transfer->options.maxRedirects) {
        failure.Set(HttpFailure::kTooManyRedirects);
      } else if (!SplitUrl(current, &parts)) {
        failure.Set(HttpFailure::kBadAddress);
      } else {
        continue;
      }
    }
    response->status = ex.status;
    if (failure) {
      std::free(ex.block);
      response->answered = ex.answered || ex.outcome == Outcome::kRedirect;
      response->failure = failure.kind;
      response->systemError = failure.systemError;
      response->server = parts.host;
      if (failure.kind == HttpFailure::kTooLarge) response->limit = static_cast<long long>(transfer->options.maxBody);
    } else {
      response->answered = true;
      response->body.reset(ex.block);
      response->size = static_cast<size_t>(ex.result);
    }
    return;
  }
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
