#include "feed/feed_parser.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "feed_parse_test_util.h"
#include "platform/log.h"

namespace feed {
namespace {

class FeedParser : public FeedParseTest {};

TEST_F(FeedParser, Rss2ItemsNeedTitleAndLink) {
  std::vector<FeedItem> items;
  ASSERT_EQ(Parse(Sample("utf8_three_items.xml"), &items), 2);
  EXPECT_EQ(U8(items[0].title), "国产芯片量产进展 “超预期”");  // character references decoded
  EXPECT_EQ(U8(items[0].link), "http://news.example.com/a/1001.html");
  // A CDATA title is taken literally, surrounding white space dropped; the link's too.
  EXPECT_EQ(U8(items[1].title), "It&#8217;s here: R&D report");
  EXPECT_EQ(U8(items[1].link), "http://news.example.com/a/1003.html?x=1&y=2");

  items.clear();
  ASSERT_EQ(Parse(Sample("missing_parts.xml"), &items), 1);
  EXPECT_EQ(U8(items[0].title), "完整条目");
}

TEST_F(FeedParser, BrokenDocumentsYieldNothing) {
  std::vector<FeedItem> items;
  EXPECT_EQ(Parse(Sample("html_no_anchors.html"), &items), kFeedErrorFormat);
  for (const char* doc : {"", "not xml at all", "<rss><channel><item><title>x</title><link>y</link></item>",
                          "<rss/>", "<rss>text only</rss>", "<<<<<<<<<<",
                          "<rss><channel><item><title>t</title><link>l</link></item></channel></rss2>"}) {
    EXPECT_EQ(Parse(doc, &items), kFeedErrorFormat) << doc;
  }
  EXPECT_TRUE(items.empty());
  EXPECT_EQ(ParseFeedDocument(nullptr, 0, kPlainUrl, &items), kFeedErrorFormat);
}

TEST_F(FeedParser, DocumentsWithoutItemsAreNotLogged) {
  testutil::TempDir dir;
  platform::SetLogPath(dir.file("log.txt"));
  std::string deep = "<rss><channel>";
  for (int i = 0; i < 1000; ++i) deep += "<x>";
  std::vector<FeedItem> items;
  EXPECT_EQ(Parse(deep, &items), kFeedErrorFormat);
  EXPECT_EQ(Parse("<?xml version=\"1.0\" encoding=\"x-unheard-of\"?><rss><channel><item><title>t</title>"
                  "<link>http://l/</link></item></channel></rss>", &items), 1);
  EXPECT_EQ(Parse("<rss><channel></rss>", &items), kFeedErrorFormat);
  platform::SetLogPath("");
  EXPECT_FALSE(std::filesystem::exists(dir.file("log.txt")));
}

TEST_F(FeedParser, ARefreshReadsALongFeedsFirstEntriesOnly) {
  std::string rss = "<?xml version='1.0' encoding='utf-8'?><rss version='2.0'><channel><title>long</title>";
  for (int i = 0; i < 300; ++i)
    rss += "<item><title>" + std::to_string(i) + "</title><link>http://f/" + std::to_string(i) +
           "</link><description>d" + std::to_string(i) + "</description></item>";
  const std::string broken = rss + "<item><title>tail<b></title></item></channel></rss>";
  rss += "</channel></rss>";
  std::vector<FeedItem> all, first;
  std::u16string title;
  ASSERT_EQ(ParseFeedDocument(rss.data(), rss.size(), u"http://f/rss", &all), 300);
  ASSERT_EQ(ParseFeedDocument(rss.data(), rss.size(), u"http://f/rss", &first, &title, nullptr, kEntriesRead),
            static_cast<int>(kEntriesRead));
  EXPECT_EQ(title, u"long");
  for (size_t i = 0; i < first.size(); ++i) {
    EXPECT_EQ(first[i].title, all[i].title);
    EXPECT_EQ(first[i].link, all[i].link);
    EXPECT_EQ(first[i].summary, all[i].summary);
  }
  // A document broken after the entries read still shows them.
  first.clear();
  EXPECT_EQ(ParseFeedDocument(broken.data(), broken.size(), u"http://f/rss", &first, nullptr, nullptr, kEntriesRead),
            static_cast<int>(kEntriesRead));
  // When the head holds fewer usable items than a widget shows, the whole document is read.
  std::string sparse = "<rss version='2.0'><channel>";
  for (int i = 0; i < 20; ++i) sparse += "<item><link>http://f/u" + std::to_string(i) + "</link></item>";
  for (int i = 0; i < 12; ++i) sparse += "<item><title>t</title><link>http://f/" + std::to_string(i) + "</link></item>";
  sparse += "</channel></rss>";
  first.clear();
  EXPECT_EQ(ParseFeedDocument(sparse.data(), sparse.size(), u"http://f/rss", &first, nullptr, nullptr, 15), 12);
}

TEST_F(FeedParser, TwentyFiveItemsInOrder) {
  std::vector<FeedItem> items;
  ASSERT_EQ(Parse(Sample("twenty_five.xml"), &items), 25);
  for (int i = 0; i < 25; ++i) {
    EXPECT_EQ(U8(items[i].title), "第" + std::to_string(i + 1) + "条新闻");
    EXPECT_EQ(U8(items[i].link), "http://news.example.com/list/" + std::to_string(i + 1) + ".html");
  }
}

TEST_F(FeedParser, DeepNestingRefusedBeforeParsing) {
  std::string deep = "<rss><channel><item><title>t</title><link>l</link></item>";
  for (int i = 0; i < 100000; ++i) deep += "<x>";
  std::vector<FeedItem> items;
  EXPECT_EQ(Parse(deep, &items), kFeedErrorFormat);

  // Moderate nesting inside an item is fine.
  std::string ok = "<rss><channel><item><title>t</title><link>l</link><d>";
  for (int i = 0; i < 100; ++i) ok += "<x a=\"1\">";
  for (int i = 0; i < 100; ++i) ok += "</x>";
  ok += "</d></item></channel></rss>";
  EXPECT_EQ(Parse(ok, &items), 1);
}

}  // namespace
}  // namespace feed
