// What the tests of feed parsing share: sample documents, a parse of a whole document at an
// ordinary feed address, and the ANSI code page of a Chinese system.
#pragma once
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "feed/feed_parser.h"
#include "platform/text.h"
#include "test_util.h"

namespace feed {

inline const std::u16string kPlainUrl = u"http://news.example.com/rss.xml?refresh=1&ver=1.0.0.0";

inline std::string Sample(const char* name) {
  return testutil::ReadAll(std::string(PELINOR_TEST_DATA) + "/feeds/" + name);
}

inline int Parse(const std::string& doc, std::vector<FeedItem>* items, const std::u16string& url = kPlainUrl) {
  return ParseFeedDocument(doc.data(), doc.size(), url, items);
}

inline std::string U8(const std::u16string& s) { return platform::U16ToUtf8(s); }

class FeedParseTest : public ::testing::Test {
 protected:
  void SetUp() override { platform::SetAnsiCodePageForTests(936); }
};

}  // namespace feed
