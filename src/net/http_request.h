// How the program asks for a document over HTTP: the bounds and wishes of one GET, and the
// header lines they make. Every client of the program (and its diagnostic tools) builds its
// requests from these, so that all of them ask alike.
#pragma once
#include <atomic>
#include <cstddef>
#include <string>
#include <vector>

namespace net {

// What every caller passes as time-outs (milliseconds; 0 or less keeps the system's).
constexpr int kConnectTimeoutMs = 30000;
constexpr int kReceiveTimeoutMs = 60000;
constexpr int kSendTimeoutMs = 30000;

// The User-Agent every request names: the session itself carries no agent string.
constexpr char16_t kUserAgentHeader[] = u"User-Agent: Mozilla/5.0 (compatible; MSIE 10.0; Windows NT 6.2; Trident/6.0)";

// How one GET is made. The bounds keep a hostile or broken server from holding a worker
// or its memory.
struct HttpOptions {
  int connectTimeoutMs = kConnectTimeoutMs;
  int receiveTimeoutMs = kReceiveTimeoutMs;
  int sendTimeoutMs = kSendTimeoutMs;
  int deadlineMs = 120000;               // the whole request, redirects included
  size_t maxBody = 16u * 1024 * 1024;    // bytes of body received
  int maxRedirects = 10;
  // When set and it becomes true, the call gives up within about a tenth of a second
  // (used at exit). The flag must outlive the call.
  const std::atomic<bool>* cancel = nullptr;
  // Offer gzip and deflate; an answer in either is decoded, and maxBody then counts the
  // decoded bytes.
  bool acceptCompressed = false;
  // Validators of an earlier answer: the server may then answer 304, which is no failure
  // (status 304, no body, no error).
  std::u16string ifNoneMatch;
  std::u16string ifModifiedSince;
};

// The header lines a GET made with `options` sends, each without its CR LF: the
// User-Agent first, then what the options ask for. Validators come from an earlier
// answer: line breaks in them could smuggle in headers of their own, so they are dropped.
std::vector<std::u16string> RequestHeaderLines(const HttpOptions& options);

}  // namespace net
