#include "feed/feed_site_rules.h"

#include <gtest/gtest.h>

#include "feed_parse_test_util.h"

namespace feed {
namespace {

class FeedSiteRules : public FeedParseTest {};

const std::u16string kListUrl = std::u16string(u"http://") + kHtmlListSiteDomain + u"/news/list.html?refresh=1&ver=1.0.0.0";

TEST_F(FeedSiteRules, BracketTrimmingOnlyOnItsSite) {
  std::vector<FeedItem> items;
  std::u16string siteUrl = std::u16string(u"http://") + kBracketTrimSiteDomain + u"/rss/news.xml?refresh=1";
  ASSERT_EQ(Parse(Sample("bracket_site.xml"), &items, siteUrl), 6);
  EXPECT_EQ(U8(items[0].title), "央行宣布降准");
  EXPECT_EQ(U8(items[1].title), "世界杯预选赛结果");
  EXPECT_EQ(U8(items[2].title), "嵌套(括号)标题");  // cut at the last "("
  EXPECT_EQ(U8(items[3].title), "只有结尾)");      // no opening bracket: whole
  EXPECT_EQ(U8(items[4].title), "长标题里面（括号）在前面很远的地方结尾）");  // "（" too far back
  EXPECT_EQ(U8(items[5].title), "(公告)");         // nothing would be left: whole

  items.clear();
  ASSERT_EQ(Parse(Sample("bracket_site.xml"), &items), 6);
  EXPECT_EQ(U8(items[0].title), "央行宣布降准(图)");
}

TEST_F(FeedSiteRules, TrimBracketedRemarkRules) {
  EXPECT_EQ(TrimBracketedRemark(u"标题(图)"), u"标题");
  EXPECT_EQ(TrimBracketedRemark(u"标题 (图)"), u"标题");
  EXPECT_EQ(TrimBracketedRemark(u"标题（图）"), u"标题");
  EXPECT_EQ(TrimBracketedRemark(u"a（b）"), u"a（b）");        // shorter than five: not searched
  EXPECT_EQ(TrimBracketedRemark(u"ab（cd）"), u"ab");          // "（" within the last five
  EXPECT_EQ(TrimBracketedRemark(u"标题（图)"), u"标题");        // mixed brackets
  EXPECT_EQ(TrimBracketedRemark(u"标题(图"), u"标题(图");       // does not end in a bracket
  EXPECT_EQ(TrimBracketedRemark(u""), u"");
}

TEST_F(FeedSiteRules, HtmlListSiteAnchorsAreItems) {
  std::vector<FeedItem> items;
  ASSERT_EQ(Parse(Sample("html_list_gb2312.html"), &items, kListUrl), 4);
  const std::string host = "http://" + U8(kHtmlListSiteDomain);
  EXPECT_EQ(U8(items[0].title), "北京今日初雪");
  EXPECT_EQ(U8(items[0].link), host + "/news/2026/1207/1.html");
  // Text split by a font tag: one item per run, same link.
  EXPECT_EQ(U8(items[1].title), "[快讯]");
  EXPECT_EQ(U8(items[2].title), "股市收盘 R&D 投入增加");
  EXPECT_EQ(items[1].link, items[2].link);
  EXPECT_EQ(U8(items[1].link), host + "/news/2.html");
  EXPECT_EQ(U8(items[3].title), "外站“专题”报道");
  EXPECT_EQ(U8(items[3].link), "http://other.example.com/3.html?a=1&b=2");

  items.clear();
  EXPECT_EQ(Parse(Sample("html_no_anchors.html"), &items, kListUrl), kFeedErrorFormat);
  // The same page outside the site is read as RSS, which it is not.
  EXPECT_EQ(Parse(Sample("html_list_gb2312.html"), &items), kFeedErrorFormat);
  // And an RSS document on the site is read as a page: it has no anchors.
  EXPECT_EQ(Parse(Sample("twenty_five.xml"), &items, kListUrl), kFeedErrorFormat);
}

}  // namespace
}  // namespace feed
