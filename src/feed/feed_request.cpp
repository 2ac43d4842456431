#include "feed/feed_request.h"

namespace feed {

net::HttpOptions FeedRequestOptions(const std::atomic<bool>* stop, const std::u16string& ifNoneMatch,
                                    const std::u16string& ifModifiedSince) {
  net::HttpOptions options;
  options.cancel = stop;
  options.acceptCompressed = true;
  options.ifNoneMatch = ifNoneMatch;
  options.ifModifiedSince = ifModifiedSince;
  return options;
}

}  // namespace feed
