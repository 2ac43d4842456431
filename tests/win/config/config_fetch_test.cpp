// The configuration's downloads go through the getter they are given.
#include "config/config_fetch_win.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

TEST(ConfigFetch, TheDocumentComesThroughTheGivenGetterWithItsLimitAndFailuresStayFailures) {
  std::vector<std::u16string> asked;
  size_t limit = 0;
  std::string answer = "<config/>", error;
  net::HttpGetter get = [&](const std::u16string& url, const net::HttpOptions& options) {
    asked.push_back(url);
    limit = options.maxBody;
    net::HttpResponse r;
    if (!error.empty()) {
      r.failure = net::HttpFailure::kStatus;
      r.status = 502;
      return r;
    }
    r.body.reset(static_cast<char*>(std::malloc(answer.size())));
    std::memcpy(r.body.get(), answer.data(), answer.size());
    r.size = answer.size();
    return r;
  };
  std::string body;
  ASSERT_TRUE(config::FetchConfigDocument(u"http://127.0.0.1:1/config", &body, get));
  EXPECT_EQ(body, "<config/>");
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0], u"http://127.0.0.1:1/config");
  EXPECT_GT(limit, 0u) << "the document's size limit goes with the request";

  error = "x";
  body.clear();
  std::u16string message;
  EXPECT_FALSE(config::FetchBody(u"http://127.0.0.1:1/p.png", 10, &body, &message, get));
  EXPECT_EQ(message, u"下载文件失败，错误码：502！\n");
  EXPECT_TRUE(body.empty());
  EXPECT_EQ(limit, 10u);
}

}  // namespace
