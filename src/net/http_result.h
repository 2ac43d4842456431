// What one GET brought back, the same for every caller from the network layer upward:
// how it failed (if it did), the system error number and HTTP status that came with that,
// the answer's validators and the body as bytes. No text travels with a failure: the
// message shown or logged is made from it where it is shown (FailureText).
#pragma once
#include <cstddef>
#include <cstdlib>
#include <memory>
#include <string>

namespace net {

// Body block growth: it starts at kBodyBlockStep bytes and grows by the same step
// whenever fewer than kReadChunk bytes are free.
constexpr size_t kBodyBlockStep = 1048576;
constexpr size_t kReadChunk = 10240;

struct FreeDeleter {
  void operator()(char* p) const { std::free(p); }
};

// Why a GET brought no body.
enum class HttpFailure {
  kNone,              // no failure (a body, or "not modified")
  kBadAddress,        // the address cannot be requested
  kConnect,           // no connection handle to the server (systemError)
  kOpenRequest,       // the request could not be made (systemError)
  kSend,              // sending the request failed: name, connection, TLS (systemError)
  kReceive,           // reading the answer broke off (systemError)
  kStatus,            // the server answered with a status other than 200 (status)
  kTooLarge,          // the body passed the size limit (limit)
  kBadEncoding,       // the body's gzip or deflate encoding is broken
  kNoMemory,          // no memory for the body
  kTooManyRedirects,  // more redirects than allowed
  kTimedOut,          // the whole GET passed its deadline (limit: the deadline in ms)
  kCancelled,         // the caller's cancel flag was raised
};

struct HttpResponse {
  HttpFailure failure = HttpFailure::kNone;
  // The system (WinINet) error number of the call that failed (ERROR_INTERNET_TIMEOUT
  // when the whole GET took too long or was cancelled; 0 when no call failed).
  unsigned long systemError = 0;
  bool answered = false;  // the server sent a status line (after redirects: the last one)
  int status = 0;         // that status, 0 when there was none
  // The body as received: set once the server answered with 200 and the whole body was
  // read (an empty body gives an empty block); null after any failure.
  std::unique_ptr<char, FreeDeleter> body;
  size_t size = 0;
  // From the last answer's headers: its validators, and how long a busy server (429,
  // 503) asked to be left alone, in seconds (0 when it did not say).
  std::u16string etag;
  std::u16string lastModified;
  int retryAfterSeconds = 0;
  // What a failure's text names: the server a connection failed to (kConnect), and the
  // bound that was passed (kTooLarge: bytes; kTimedOut: milliseconds).
  std::u16string server;
  long long limit = 0;

  bool failed() const { return failure != HttpFailure::kNone; }
};

// The message for a failed GET, as the program has always worded it, ending in "\n";
// empty when it did not fail.
std::u16string FailureText(const HttpResponse& response);

}  // namespace net
