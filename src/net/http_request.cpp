#include "net/http_request.h"

#include <algorithm>

#include "net/content_decoding.h"

namespace net {

std::vector<std::u16string> RequestHeaderLines(const HttpOptions& o) {
  auto clean = [](std::u16string v) {
    v.erase(std::remove_if(v.begin(), v.end(), [](char16_t c) { return c == u'\r' || c == u'\n' || c == 0; }),
            v.end());
    return v;
  };
  std::vector<std::u16string> lines = {kUserAgentHeader};
  if (o.acceptCompressed) lines.push_back(kAcceptEncodingHeader);
  if (!clean(o.ifNoneMatch).empty()) lines.push_back(u"If-None-Match: " + clean(o.ifNoneMatch));
  if (!clean(o.ifModifiedSince).empty()) lines.push_back(u"If-Modified-Since: " + clean(o.ifModifiedSince));
  return lines;
}

}  // namespace net
