#include "feed/feed_discovery.h"

#include <gtest/gtest.h>

#include "platform/text.h"

namespace feed {
namespace {

std::vector<std::u16string> Find(const std::string& page, const std::u16string& url = u"http://site.example/blog/") {
  return DiscoverFeedLinks(page.data(), page.size(), url);
}

TEST(FeedDiscovery, AlternateRssAndAtomLinksOfTheHead) {
  const std::string page =
      "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>博客</title>\n"
      "<link rel=\"stylesheet\" type=\"text/css\" href=\"s.css\">\n"
      "<!-- <link rel=\"alternate\" type=\"application/rss+xml\" href=\"/commented.xml\"> -->\n"
      "<LINK REL='Alternate' TYPE='application/RSS+xml; charset=utf-8' HREF='feed.xml' title='RSS'>\n"
      "<link type=\"application/atom+xml\" rel=\"home alternate\" href=\"//cdn.example/atom\"/>\n"
      "<link rel=\"alternate\" type=\"application/rss+xml\" href=\"feed.xml\">\n"          // a repeat
      "<link rel=\"alternate\" type=\"application/rss+xml\" href=\"javascript:alert(1)\">\n"  // not a web address
      "<link rel=\"alternate\" type=\"text/html\" href=\"/zh/\">\n"
      "<link rel=\"alternate\" href=\"/untyped.xml\">\n"
      "</head><body><link rel=\"alternate\" type=\"application/rss+xml\" href=\"/body.xml\"></body></html>";
  EXPECT_EQ(Find(page), (std::vector<std::u16string>{u"http://site.example/blog/feed.xml", u"http://cdn.example/atom"}));
}

TEST(FeedDiscovery, BaseHrefEntitiesAndPagesWithout) {
  const std::string page =
      "<html><head><base href=\"http://other.example/x/\">"
      "<link rel=alternate type=application/atom+xml href=\"a.atom?x=1&amp;y=2\"></head></html>";
  EXPECT_EQ(Find(page), (std::vector<std::u16string>{u"http://other.example/x/a.atom?x=1&y=2"}));
  EXPECT_TRUE(Find("<html><head><title>没有订阅源</title></head><body>text</body></html>").empty());
  EXPECT_TRUE(Find("").empty());
  EXPECT_TRUE(Find("<link rel=\"alternate\" type=\"application/rss+xml\" href=\"rel.xml\">", u"").empty());
  // Unterminated markup ends the search without reading past the end.
  EXPECT_TRUE(Find("<head><link rel=\"alternate\" type=\"application/rss+xml\" href=\"x").size() <= 1);
  std::string many = "<head>";
  for (int i = 0; i < 100; ++i)
    many += "<link rel=alternate type=application/rss+xml href=/f" + std::to_string(i) + ".xml>";
  EXPECT_EQ(Find(many).size(), kMaxDiscoveredFeeds);
}

}  // namespace
}  // namespace feed
