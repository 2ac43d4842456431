#include "feed/feed_request.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace feed {
namespace {

using Lines = std::vector<std::u16string>;

TEST(FeedRequest, AsksForACompressedAnswerAndSendsTheValidatorsCleaned) {
  const std::u16string agent = net::kUserAgentHeader;
  // A plain GET names the agent only.
  EXPECT_EQ(net::RequestHeaderLines(net::HttpOptions()), Lines({agent}));

  std::atomic<bool> stop{false};
  net::HttpOptions first = FeedRequestOptions(&stop);
  EXPECT_EQ(first.cancel, &stop);
  EXPECT_EQ(net::RequestHeaderLines(first), Lines({agent, u"Accept-Encoding: gzip, deflate"}));

  // Validators that would end the line and start a header of their own lose the breaks.
  net::HttpOptions again = FeedRequestOptions(nullptr, u"\"v1\"\r\nX-Injected: 1", u"Tue, 08 Dec 2026 10:00:00 GMT\n");
  EXPECT_EQ(net::RequestHeaderLines(again),
            Lines({agent, u"Accept-Encoding: gzip, deflate", u"If-None-Match: \"v1\"X-Injected: 1",
                   u"If-Modified-Since: Tue, 08 Dec 2026 10:00:00 GMT"}));
  EXPECT_EQ(net::RequestHeaderLines(FeedRequestOptions(nullptr, u"\r\n", u"")),
            Lines({agent, u"Accept-Encoding: gzip, deflate"}));
}

}  // namespace
}  // namespace feed
