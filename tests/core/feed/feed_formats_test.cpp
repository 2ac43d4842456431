// The formats readers meet, through the same entry the widget uses.
#include "feed/feed_parser.h"
#include "feed/feed_text.h"

#include <gtest/gtest.h>

#include "platform/text.h"
#include "test_util.h"

namespace feed {
namespace {

std::string Sample(const char* name) {
  return testutil::ReadAll(std::string(PELINOR_TEST_DATA) + "/feeds/" + name);
}

std::vector<FeedItem> Items(const std::string& doc, const std::u16string& url, int* result = nullptr) {
  std::vector<FeedItem> items;
  int r = ParseFeedDocument(doc.data(), doc.size(), url, &items);
  if (result) *result = r;
  return items;
}

std::string U8(const std::u16string& s) { return platform::U16ToUtf8(s); }

std::vector<std::string> Lines(const std::vector<FeedItem>& items) {
  std::vector<std::string> out;
  for (const auto& i : items) out.push_back(U8(i.title) + "|" + U8(i.link));
  return out;
}

class FeedFormats : public ::testing::Test {
 protected:
  void SetUp() override { platform::SetAnsiCodePageForTests(936); }
};

TEST_F(FeedFormats, Atom10LinksTitlesAndUnopenableEntries) {
  auto items = Items(Sample("atom10_rules.xml"), u"http://atom.example/blog/feed.atom?refresh=1");
  EXPECT_EQ(Lines(items), (std::vector<std::string>{
                              "加粗 & 转义 标题|http://atom.example/blog/posts/1.html",
                              "XHTML 标题 二|http://cdn.example/deep/two.html",
                              "纯文本 标题|https://atom.example/4"}));
  ASSERT_EQ(items.size(), 3u);
  EXPECT_EQ(U8(items[0].summary), "第一段 第二段 & 更多");
  EXPECT_EQ(U8(items[0].date), "2026-12-07T08:00:00Z");
  EXPECT_EQ(U8(items[1].summary), "正文内容");  // content when there is no summary
}

TEST_F(FeedFormats, Atom03EscapedTitlesAndFeedAddress) {
  auto items = Items(Sample("atom03.xml"), u"http://old.example/atom.xml");
  EXPECT_EQ(Lines(items), (std::vector<std::string>{"转义 标题 & 符号|http://old.example/2026/1",
                                                    "普通标题|http://old.example/2026/2"}));
  EXPECT_EQ(U8(items[0].date), "2026-12-07T09:00:00Z");
  EXPECT_EQ(U8(items[0].summary), "摘要");
}

TEST_F(FeedFormats, RdfVersions) {
  auto old = Items(Sample("rss090.xml"), u"");
  EXPECT_EQ(Lines(old), (std::vector<std::string>{"New Status Updates|http://www.mozilla.org/status/",
                                                  "Bugzilla Reorganized|http://www.mozilla.org/bugs/"}));
  auto ten = Items(Sample("rss10.xml"), u"http://rdf.example/index.rdf");  // gb2312 bytes
  EXPECT_EQ(Lines(ten), (std::vector<std::string>{"第一条|http://rdf.example/1", "第二条|http://rdf.example/2"}));
  EXPECT_EQ(U8(ten[0].summary), "第一条的摘要");
  EXPECT_EQ(U8(ten[0].date), "2026-12-07T08:00:00+08:00");
  EXPECT_EQ(Lines(Items(Sample("rdf.xml"), u"")), (std::vector<std::string>{"RDF item|http://example.org/1"}));
}

TEST_F(FeedFormats, PrefixedRss2KeepsToItsNamespace) {
  EXPECT_EQ(Lines(Items(Sample("rss2_prefixed.xml"), u"")),
            (std::vector<std::string>{"带前缀的条目|http://prefixed.example/1"}));
}

TEST_F(FeedFormats, GuidPermalinksAndRelativeAddresses) {
  auto items = Items(Sample("rss2_guid_base.xml"), u"http://feeds.example/rss?refresh=1");
  EXPECT_EQ(Lines(items), (std::vector<std::string>{"只有永久链接 guid|http://base.example/p/1",
                                                    "相对地址|http://base.example/news/3.html",
                                                    "条目自己的 base|http://elsewhere.example/4.html"}));
  EXPECT_EQ(U8(items[0].summary), "完整 正文");  // scripts are not text
  EXPECT_EQ(U8(items[1].date), "Mon, 07 Dec 2026 07:30:00 +0800");
  // Without xml:base a relative link resolves against the document's own address, and
  // with no address to resolve against it is skipped.
  std::string doc = "<rss><channel><item><title>t</title><link>a/b.html</link></item></channel></rss>";
  EXPECT_EQ(Lines(Items(doc, u"http://h.example/feeds/x.xml")),
            (std::vector<std::string>{"t|http://h.example/feeds/a/b.html"}));
  int r = 0;
  EXPECT_TRUE(Items(doc, u"", &r).empty());
  EXPECT_EQ(r, kFeedErrorFormat);
}

TEST_F(FeedFormats, HostileEntriesHaveAClearOutcome) {
  // Entries only, none openable or titled: the document yields nothing.
  int r = 0;
  Items("<feed xmlns='http://www.w3.org/2005/Atom'><entry><title>x</title><link href='javascript:x'/></entry>"
        "<entry><title/><link href='http://ok.example/'/></entry></feed>", u"", &r);
  EXPECT_EQ(r, kFeedErrorFormat);
  Items("<feed xmlns='http://www.w3.org/2005/Atom'></feed>", u"", &r);
  EXPECT_EQ(r, kFeedErrorFormat);

  // Enormous titles and summaries are cut.
  std::string huge(200000, 'a');
  auto items = Items("<rss><channel><item><title>" + huge + "</title><link>http://x.example/</link><description>" +
                     huge + "</description></item></channel></rss>", u"");
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0].title.size(), kMaxTitleChars);
  EXPECT_EQ(items[0].title.back(), 0x2026);
  EXPECT_EQ(items[0].summary.size(), kMaxSummaryChars);

  // Deeply nested XHTML is refused with the document, like any too deep document.
  std::string deep = "<feed xmlns='http://www.w3.org/2005/Atom'><entry><title type='xhtml'><div>";
  for (int i = 0; i < 5000; ++i) deep += "<span>";
  deep += "x</div></title><link href='http://x.example/'/></entry></feed>";
  Items(deep, u"", &r);
  EXPECT_EQ(r, kFeedErrorFormat);
}

// A feed with nothing in it yet is told apart from a document that is no feed, and from a
// feed whose entries cannot be used.
TEST_F(FeedFormats, AFeedWithoutEntriesIsNoBrokenFeed) {
  auto withoutEntries = [](const std::string& doc) {
    std::vector<FeedItem> items;
    bool flag = true;
    int r = ParseFeedDocument(doc.data(), doc.size(), u"http://f/feed", &items, nullptr, &flag);
    EXPECT_EQ(r, kFeedErrorFormat) << doc;
    return flag;
  };
  EXPECT_TRUE(withoutEntries("<rss version='2.0'><channel><title>新博客</title></channel></rss>"));
  EXPECT_TRUE(withoutEntries("<feed xmlns='http://www.w3.org/2005/Atom'><title>t</title></feed>"));
  EXPECT_TRUE(withoutEntries("<rdf:RDF xmlns:rdf='http://www.w3.org/1999/02/22-rdf-syntax-ns#' "
                             "xmlns='http://purl.org/rss/1.0/'><channel><title>c</title></channel></rdf:RDF>"));
  // Entries there, none usable: a broken feed.
  EXPECT_FALSE(withoutEntries("<rss><channel><item><title>no link</title></item></channel></rss>"));
  EXPECT_FALSE(withoutEntries("<feed xmlns='http://www.w3.org/2005/Atom'><entry><title>x</title>"
                              "<link href='javascript:x'/></entry></feed>"));
  EXPECT_FALSE(withoutEntries("<rdf:RDF xmlns:rdf='http://www.w3.org/1999/02/22-rdf-syntax-ns#' "
                              "xmlns='http://purl.org/rss/1.0/'><item><title>i</title></item></rdf:RDF>"));
  // No feed at all: a page, a document of another kind, an rss root without a channel,
  // nothing well-formed.
  EXPECT_FALSE(withoutEntries("<html><body><p>hello</p></body></html>"));
  EXPECT_FALSE(withoutEntries("<config><channel/></config>"));
  EXPECT_FALSE(withoutEntries("<rss version='2.0'></rss>"));
  EXPECT_FALSE(withoutEntries("<rss><channel>"));
  EXPECT_FALSE(withoutEntries(""));
}

TEST_F(FeedFormats, PodcastEpisodesWithoutPagesLinkToTheirAudio) {
  auto items = Items("<rss version='2.0'><channel>"
                     "<item><title>第1集</title><guid isPermaLink='false'>ep-1</guid>"
                     "<enclosure url='media/ep1.mp3' length='1' type='audio/mpeg'/></item>"
                     "<item><title>第2集</title><link>http://pod.example/2.html</link>"
                     "<enclosure url='http://pod.example/ep2.mp3' type='audio/mpeg'/></item>"
                     "<item><title>第3集</title><enclosure url='javascript:alert(1)'/></item>"
                     "</channel></rss>",
                     u"http://pod.example/feed.xml");
  EXPECT_EQ(Lines(items), (std::vector<std::string>{"第1集|http://pod.example/media/ep1.mp3",
                                                    "第2集|http://pod.example/2.html"}));
  items = Items("<feed xmlns='http://www.w3.org/2005/Atom'>"
                "<entry><title>a</title><link rel='enclosure' href='http://pod.example/a.mp3'/></entry>"
                "<entry><title>b</title><link rel='enclosure' href='http://pod.example/b.mp3'/>"
                "<link rel='alternate' href='http://pod.example/b'/></entry></feed>",
                u"http://pod.example/feed.atom");
  EXPECT_EQ(Lines(items), (std::vector<std::string>{"a|http://pod.example/a.mp3", "b|http://pod.example/b"}));
}

TEST_F(FeedFormats, PostsOfAFeedWithoutTitlesAreTitledWithTheirText) {
  // A social feed's posts: a link, HTML text, no title element.
  auto items = Items(
      "<rss version='2.0'><channel><title>@someone</title>"
      "<item><guid isPermaLink='true'>https://social.example/@someone/1</guid>"
      "<link>https://social.example/@someone/1</link>"
      "<description>&lt;p&gt;Short &amp;amp; sweet&lt;/p&gt;</description></item>"
      "<item><link>https://social.example/@someone/2</link><description>&lt;p&gt;The first paragraph of a "
      "rather long post that goes on&lt;/p&gt;&lt;p&gt;and on, well past what a widget's line can hold."
      "&lt;/p&gt;</description></item>"
      // A media-only post has nothing to show.
      "<item><link>https://social.example/@someone/3</link><description></description></item>"
      "</channel></rss>",
      u"https://social.example/@someone.rss");
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(U8(items[0].title), "Short & sweet");
  EXPECT_EQ(U8(items[1].title),
            "The first paragraph of a rather long post that goes on and on, well past what a\u2026");
  EXPECT_EQ(U8(items[1].link), "https://social.example/@someone/2");
  EXPECT_EQ(U8(items[1].summary).rfind("The first paragraph", 0), 0u);  // the tip still holds all of it

  // Atom: the summary, or else the content, stands in for the titles.
  items = Items("<feed xmlns='http://www.w3.org/2005/Atom'>"
                "<entry><link href='http://f/a'/><content type='html'>&lt;b&gt;内容&lt;/b&gt;</content></entry>"
                "<entry><link href='http://f/b'/><summary>摘要</summary><content>正文</content></entry>"
                "<entry><link href='http://f/c'/></entry></feed>",
                u"http://f/feed");
  EXPECT_EQ(Lines(items), (std::vector<std::string>{"内容|http://f/a", "摘要|http://f/b"}));

  // Where entries have titles, an untitled one stays out (an empty title element is one).
  items = Items("<rss><channel><item><title>有标题</title><link>http://f/1</link></item>"
                "<item><link>http://f/2</link><description>无标题</description></item>"
                "<item><title/><link>http://f/3</link><description>空标题</description></item></channel></rss>",
                u"http://f/");
  EXPECT_EQ(Lines(items), (std::vector<std::string>{"有标题|http://f/1"}));

  // Nothing but untitled posts without text is still a feed that cannot be shown.
  int result = 0;
  Items("<rss><channel><item><link>http://f/1</link></item></channel></rss>", u"http://f/", &result);
  EXPECT_EQ(result, kFeedErrorFormat);
}

TEST(FeedText, TitleFromSummary) {
  EXPECT_EQ(TitleFromSummary(u""), u"");
  EXPECT_EQ(TitleFromSummary(u"  a \n b  "), u"a b");
  const std::u16string eighty(kDerivedTitleColumns, u'x');
  EXPECT_EQ(TitleFromSummary(eighty), eighty);  // fits exactly: not cut
  // Text without spaces is cut at the character; the ellipsis takes the last column.
  EXPECT_EQ(TitleFromSummary(eighty + u"y"), std::u16string(kDerivedTitleColumns - 1, u'x') + u"\u2026");
  // A Chinese character takes two columns: 39 of them and the ellipsis.
  std::u16string chinese;
  for (int i = 0; i < 60; ++i) chinese += u"字";
  std::u16string cut = TitleFromSummary(chinese);
  EXPECT_EQ(cut.size(), 40u);
  EXPECT_EQ(cut.back(), u'\u2026');
  // A character outside the BMP is never split.
  std::u16string faces;
  for (int i = 0; i < 50; ++i) faces += u"\U0001F600";
  cut = TitleFromSummary(faces);
  ASSERT_GE(cut.size(), 3u);
  EXPECT_EQ(cut.back(), u'\u2026');
  EXPECT_TRUE(cut[cut.size() - 2] >= 0xDC00 && cut[cut.size() - 2] <= 0xDFFF);  // a whole pair before it
  EXPECT_LE(cut.size(), kDerivedTitleColumns);
  // Cut between words, with no comma left before the ellipsis.
  EXPECT_EQ(TitleFromSummary(std::u16string(70, u'a') + u", and then more words"),
            std::u16string(70, u'a') + u", and\u2026");
  EXPECT_EQ(TitleFromSummary(std::u16string(77, u'a') + u", bbbbb"), std::u16string(77, u'a') + u"\u2026");
  // After a whole sentence in the second half, without an ellipsis; one too early is no headline.
  EXPECT_EQ(TitleFromSummary(u"Just shipped a new release of our little desktop feed widget. Thanks to everyone "
                             u"who tested it"),
            u"Just shipped a new release of our little desktop feed widget.");
  EXPECT_EQ(TitleFromSummary(u"Hi. " + std::u16string(90, u'b')), u"Hi. " + std::u16string(75, u'b') + u"\u2026");
  std::u16string sentences;
  for (int i = 0; i < 5; ++i) sentences += u"今天下雪了。";  // 30 characters, 60 columns
  EXPECT_EQ(TitleFromSummary(sentences + u"孩子们在雪地里堆雪人打雪仗"), sentences);
}

TEST(FeedText, OpenableAddresses) {
  const std::u16string base = u"http://h.example/a/b.xml?q=1";
  EXPECT_EQ(OpenableAddress(base, u" http://x.example/1 "), u"http://x.example/1");
  EXPECT_EQ(OpenableAddress(base, u"HTTPS://x.example/"), u"HTTPS://x.example/");
  EXPECT_EQ(OpenableAddress(base, u"c/d.html"), u"http://h.example/a/c/d.html");
  EXPECT_EQ(OpenableAddress(base, u"../up.html"), u"http://h.example/up.html");
  EXPECT_EQ(OpenableAddress(base, u"./x/../../../y"), u"http://h.example/y");
  EXPECT_EQ(OpenableAddress(base, u"//cdn.example/z"), u"http://cdn.example/z");
  for (const char16_t* bad : {u"javascript:alert(1)", u"JaVaScRiPt:x", u"data:text/html,x", u"file:///c:/x",
                              u"\\\\host\\share\\x", u"vbscript:x", u"mailto:a@b", u"http://", u"http:///x",
                              u"", u"http://a.example/\x01"}) {
    EXPECT_EQ(OpenableAddress(base, bad), u"") << U8(bad);
  }
  EXPECT_EQ(OpenableAddress(u"", u"relative.html"), u"");
  EXPECT_EQ(OpenableAddress(u"file:///c:/feeds/", u"x.html"), u"");
}

TEST(FeedText, HtmlToText) {
  EXPECT_EQ(HtmlToText(u"<p>a</p><p>b &amp; c&#x4E2D;</p>"), u"a b & c中");
  EXPECT_EQ(HtmlToText(u"x <!-- hidden --> y <style>p{}</style>z<script>var a='<b>';</script>"), u"x y z");
  EXPECT_EQ(HtmlToText(u"1 < 2 and <a href=\"x>y\">link</a>"), u"1 < 2 and link");
  EXPECT_EQ(HtmlToText(u"&bogus; &#xD800; &"), u"&bogus; &#xD800; &");
  EXPECT_EQ(HtmlToText(u"&eacute;&Eacute;&ndash;&frac12;&thinsp;&NBSP;&amp"), u"éÉ–½\u2009&NBSP;&amp");
  EXPECT_EQ(HtmlToText(u"<b>unclosed"), u"unclosed");
  EXPECT_EQ(HtmlToText(u"abcdefgh", 5), u"abcd\u2026");
  EXPECT_EQ(CollapsedText(u"\u3000 a \n\t b\u00A0"), u"a b");
  // A cut never splits a surrogate pair.
  std::u16string pairs;
  for (int i = 0; i < 10; ++i) pairs += u"\U0001F600";
  std::u16string cut = CollapsedText(pairs, 6);
  EXPECT_EQ(cut, std::u16string(u"\U0001F600\U0001F600") + u"\u2026");
}

TEST_F(FeedFormats, TheFeedsOwnTitleInEveryFormat) {
  auto titleOf = [](const std::string& doc) {
    std::vector<FeedItem> items;
    std::u16string title = u"stale";
    ParseFeedDocument(doc.data(), doc.size(), u"http://f/feed", &items, &title);
    return U8(title);
  };
  EXPECT_EQ(titleOf("<rss version=\"2.0\"><channel><title>  新闻\n 频道 </title><item><title>t</title>"
                    "<link>http://f/1</link></item></channel></rss>"),
            "新闻 频道");
  EXPECT_EQ(titleOf("<feed xmlns=\"http://www.w3.org/2005/Atom\"><title type=\"html\">A &amp;lt;b&amp;gt;"
                    "</title><entry><title>e</title><link href=\"http://f/e\"/></entry></feed>"),
            "A <b>");
  EXPECT_EQ(titleOf("<rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\" "
                    "xmlns=\"http://purl.org/rss/1.0/\"><channel><title>RDF 源</title></channel>"
                    "<item><title>i</title><link>http://f/i</link></item></rdf:RDF>"),
            "RDF 源");
  // An item's title is not the feed's; no channel title, no document: nothing.
  EXPECT_EQ(titleOf("<rss><channel><item><title>t</title><link>http://f/1</link></item></channel></rss>"), "");
  EXPECT_EQ(titleOf("not xml <"), "");
  EXPECT_EQ(titleOf(""), "");
}

}  // namespace
}  // namespace feed
