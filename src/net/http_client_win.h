// The one blocking HTTP GET of the program, over WinINet. Called from worker threads only;
// every call opens and closes its own handles, so calls may overlap freely.
#pragma once
#include <cstddef>
#include <string>

namespace net {

// What every caller passes as time-outs (milliseconds; 0 or less keeps the system's).
constexpr int kConnectTimeoutMs = 30000;
constexpr int kReceiveTimeoutMs = 60000;
constexpr int kSendTimeoutMs = 30000;

// Bounds that keep a hostile or broken server from holding a worker or its memory.
struct HttpLimits {
  int deadlineMs = 120000;               // the whole request, redirects included
  size_t maxBody = 16u * 1024 * 1024;    // bytes of body received
  int maxRedirects = 10;
};

// Body block growth: it starts at kBodyBlockStep bytes and grows by the same step
// whenever fewer than kReadChunk bytes are free.
constexpr size_t kBodyBlockStep = 1048576;
constexpr size_t kReadChunk = 10240;

// GETs `url` and returns the body length, 0 on any failure. `*data` (when `data` is
// given) receives the malloc'd body, which the caller frees; it is null after a failure
// once the server answered, and left untouched after an earlier failure. A failure puts
// a message (ending in "\n") into `*error`; success leaves it as it was. A 200 with an
// empty body returns 0 with no message and a block to free.
int HttpGet(const std::u16string& url, char** data, std::u16string* error, int connectTimeoutMs,
            int receiveTimeoutMs, int sendTimeoutMs, const HttpLimits& limits = HttpLimits());

// The program version "1.b.c.d" from the executable's version resource, b, c and d being
// its file version's last three parts. Fills `buffer` and returns 1, or returns 0 and
// leaves it untouched when there is no version resource.
int GetProgramVersion(wchar_t* buffer, int capacity);

}  // namespace net
