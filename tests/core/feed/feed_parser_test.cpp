#include "feed/feed_parser.h"

#include "feed/feed_encoding.h"
#include "feed/feed_repair.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/log.h"
#include "platform/text.h"
#include "test_util.h"

namespace feed {
namespace {

const std::u16string kPlainUrl = u"http://news.example.com/rss.xml?refresh=1&ver=1.0.0.0";

std::string Sample(const char* name) {
  return testutil::ReadAll(std::string(PELINOR_TEST_DATA) + "/feeds/" + name);
}

int Parse(const std::string& doc, std::vector<FeedItem>* items, const std::u16string& url = kPlainUrl) {
  return ParseFeedDocument(doc.data(), doc.size(), url, items);
}

std::string U8(const std::u16string& s) { return platform::U16ToUtf8(s); }

class FeedParser : public ::testing::Test {
 protected:
  void SetUp() override { platform::SetAnsiCodePageForTests(936); }
};

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

TEST_F(FeedParser, EncodingsDeclaredOrDetected) {
  struct Case { const char* file; const char* firstTitle; int count; };
  const Case cases[] = {
      {"gb2312_caps.xml", "新浪科技：人工智能大会开幕", 2},  // label in capitals
      {"gbk.xml", "镕基金融：㈠季度报告", 2},                 // single-quoted, GBK-only characters
      {"big5.xml", "臺灣新聞：颱風來襲", 1},
      {"no_declaration.xml", "无声明的文档", 1},
      {"utf16_bom.xml", "双字节编码：标题一", 2},
      {"utf8_three_items.xml", "国产芯片量产进展 “超预期”", 2},
  };
  for (const Case& c : cases) {
    std::vector<FeedItem> items;
    ASSERT_EQ(Parse(Sample(c.file), &items), c.count) << c.file;
    EXPECT_EQ(U8(items[0].title), c.firstTitle) << c.file;
  }
}

TEST_F(FeedParser, Utf16WithoutMarkAndLegacyFallbacks) {
  std::string doc = "<?xml version=\"1.0\"?><rss><channel><item><title>\xC4\xE3\xBA\xC3</title>"
                    "<link>http://x/1</link></item></channel></rss>";  // GBK 你好, undeclared
  std::vector<FeedItem> items;
  ASSERT_EQ(Parse(doc, &items), 1);
  EXPECT_EQ(U8(items[0].title), "你好");  // not UTF-8: read in the ANSI code page

  // Declared UTF-8 with a broken sequence: replaced, the rest kept.
  items.clear();
  doc = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><rss><channel><item><title>a\xFF"
        "b</title><link>http://x/2</link></item></channel></rss>";
  ASSERT_EQ(Parse(doc, &items), 1);
  EXPECT_EQ(U8(items[0].title), "a\xEF\xBF\xBD" "b");

  // UTF-16LE without a byte-order mark.
  std::u16string wide = u"<rss><channel><item><title>标题</title><link>http://x/3</link></item></channel></rss>";
  std::string le;
  for (char16_t c : wide) { le.push_back(static_cast<char>(c & 0xFF)); le.push_back(static_cast<char>(c >> 8)); }
  items.clear();
  ASSERT_EQ(Parse(le, &items), 1);
  EXPECT_EQ(items[0].title, u"标题");

  // Unknown label: read as UTF-8.
  items.clear();
  doc = "<?xml version=\"1.0\" encoding=\"x-unheard-of\"?><rss><channel><item><title>\xE6\x96\xB0</title>"
        "<link>http://x/4</link></item></channel></rss>";
  ASSERT_EQ(Parse(doc, &items), 1);
  EXPECT_EQ(U8(items[0].title), "新");
}

TEST_F(FeedParser, BytesThatContradictTheDeclarationDecide) {
  auto firstTitle = [](const std::string& declared, const std::string& titleBytes) {
    std::string doc = "<?xml version=\"1.0\" encoding=\"" + declared + "\"?><rss><channel><item><title>" + titleBytes +
                      "</title><link>http://x/1</link></item></channel></rss>";
    std::vector<FeedItem> items;
    return Parse(doc, &items) == 1 ? U8(items[0].title) : std::string("(none)");
  };
  const std::string title = "国产芯片量产进展超预期，多家厂商宣布扩产计划";
  std::string gbk;
  ASSERT_TRUE(platform::ToCodePage(936, platform::Utf8ToU16(title), &gbk));
  // A feed moved to UTF-8 that kept its old declaration, and the other way round.
  EXPECT_EQ(firstTitle("gb2312", title), title);
  EXPECT_EQ(firstTitle("utf-8", gbk), title);
  // As declared when the bytes agree, or are too few to tell.
  EXPECT_EQ(firstTitle("GB2312", gbk), title);
  EXPECT_EQ(firstTitle("utf-8", title), title);
  EXPECT_EQ(firstTitle("windows-1252", "Caf\xE9 cr\xE8me br\xFBl\xE9" "e"), "Café crème brûlée");
  EXPECT_EQ(firstTitle("utf-8", "caf\xE9"), "caf\xEF\xBF\xBD");  // one damaged byte: replaced
}

TEST_F(FeedParser, DamagedUtf8IsRepairedWhereverItSits) {
  // A bad byte after a long ASCII run (checked eight bytes at a time), a surrogate and a
  // cut three-byte sequence: each becomes U+FFFD, the rest stays.
  const std::string doc = std::string("<?xml version=\"1.0\" encoding=\"utf-8\"?><r>") + "abcdefghijklmnop\xFF" +
                          "\xED\xA0\x80\xE4\xB8\xAD\xE4\xB8</r>";
  EXPECT_EQ(platform::Utf8ToU16(XmlDocumentToUtf8(doc.data(), doc.size())),
            u"<?xml version=\"1.0\" encoding=\"utf-8\"?><r>abcdefghijklmnop\uFFFD\uFFFD\uFFFD\uFFFD\u4E2D\uFFFD\uFFFD</r>");
  const std::string clean = "<r>" + std::string(100, 'x') + "\xE4\xB8\xAD</r>";
  EXPECT_EQ(XmlDocumentToUtf8(clean.data(), clean.size()), clean);
}

TEST_F(FeedParser, SloppyAmpersandsAndHtmlNamesAreRead) {
  // Bare ampersands in text and in addresses, HTML names XML does not define, next to
  // references XML does read, a CDATA title (taken as written) and a comment.
  std::vector<FeedItem> items;
  ASSERT_EQ(Parse("<?xml version='1.0' encoding='utf-8'?><rss version='2.0'><channel><!-- R&D -->"
                  "<item><title>AT&T &amp; friends&nbsp;&hellip; &eacute;t&eacute; &#8217;&#x4E2D; & &NBSP; "
                  "&unknownname; &</title><link>http://f/a?x=1&y=2&amp;z=3</link></item>"
                  "<item><title><![CDATA[R&D &nbsp;]]></title><link>http://f/b</link></item>"
                  "</channel></rss>",
                  &items),
            2);
  EXPECT_EQ(U8(items[0].title), "AT&T & friends … été ’中 & &NBSP; &unknownname; &");
  EXPECT_EQ(U8(items[0].link), "http://f/a?x=1&y=2&z=3");
  EXPECT_EQ(U8(items[1].title), "R&D &nbsp;");

  // A well-formed document is handed on as it is.
  const std::string clean = "<r a='1&amp;2'>&lt;&#60;&#x3C;<![CDATA[&]]><!--&--></r>";
  EXPECT_EQ(RepairedXmlReferences(clean), clean);
  EXPECT_EQ(RepairedXmlReferences("<r>&copy;&#;&#x;&amp</r>"), "<r>&#169;&amp;#;&amp;#x;&amp;amp</r>");
  EXPECT_EQ(RepairedXmlReferences("&"), "&amp;");
  EXPECT_EQ(RepairedXmlReferences("<![CDATA[&"), "<![CDATA[&");  // an unended section
}

TEST_F(FeedParser, SpaceBetweenCdataOrACommentAndTextIsKept) {
  auto item = [](const std::string& title, const std::string& description = "x") {
    const std::string doc = "<rss version='2.0'><channel><item><title>" + title +
                            "</title><link>http://f/1</link><description>" + description +
                            "</description></item></channel></rss>";
    std::vector<FeedItem> items;
    EXPECT_EQ(ParseFeedDocument(doc.data(), doc.size(), kPlainUrl, &items), 1) << doc;
    return items.empty() ? std::string("-") : U8(items[0].title) + "|" + U8(items[0].summary);
  };
  EXPECT_EQ(item("<![CDATA[A]]> &amp; B"), "A & B|x");
  EXPECT_EQ(item("Episode 5: <![CDATA[Tom & Jerry]]>"), "Episode 5: Tom & Jerry|x");
  EXPECT_EQ(item("Read <![CDATA[more]]>\n\t here"), "Read more here|x");
  EXPECT_EQ(item("<![CDATA[one]]> <![CDATA[two]]>  <![CDATA[three]]>"), "one two three|x");
  EXPECT_EQ(item("<!-- <![CDATA[ --><![CDATA[a]]> b"), "a b|x");  // a comment is no section
  // A comment inside text splits it no more: the white space beside it stays.
  EXPECT_EQ(item("Read <!-- note --> more"), "Read more|x");
  EXPECT_EQ(item("a <!-- 1 --> <!-- 2 --> b", "Intro <!-- more --> end"), "a b|Intro end");
  EXPECT_EQ(item("x<!-- n -->y <!-- m --> <![CDATA[z]]> w"), "xy z w|x");
  EXPECT_EQ(item("<![CDATA[z]]> <!-- c --> w"), "z w|x");
  EXPECT_EQ(item("x <!-- c --><![CDATA[z]]>"), "x z|x");
  EXPECT_EQ(item("\n <!-- c -->\n Title<!-- d -->", "<![CDATA[<p>A</p>]]>\n<!-- c -->\n"), "Title|A");
  // Beside tags the white space goes as before; a section's own is its text.
  EXPECT_EQ(item("\n  <![CDATA[ Title ]]>\n  "), "Title|x");
  EXPECT_EQ(item("T", "Intro <![CDATA[<b>bold</b>]]> end"), "T|Intro bold end");
  // Nothing to move: the document is read as it came; an unended section changes nothing.
  EXPECT_EQ(item("<![CDATA[A]]>&amp;B"), "A&B|x");
  std::vector<FeedItem> items;
  const std::string unended = "<rss><channel><item><title>a <![CDATA[b</title></item></channel></rss>";
  EXPECT_EQ(ParseFeedDocument(unended.data(), unended.size(), kPlainUrl, &items), kFeedErrorFormat);
}

TEST_F(FeedParser, FeedsThatAreNotWellFormedTheWayFeedsGoWrong) {
  auto titles = [](const std::string& doc, int* result = nullptr, std::vector<FeedItem>* out = nullptr) {
    std::vector<FeedItem> items;
    int r = ParseFeedDocument(doc.data(), doc.size(), kPlainUrl, &items);
    if (result) *result = r;
    std::string joined;
    for (const auto& i : items) joined += U8(i.title) + ";";
    if (out) *out = items;
    return joined;
  };
  const std::string rss = "<rss version='2.0'><channel><item><title>一</title><link>http://f/1</link></item></channel></rss>";
  // A script's warning before the document, with or without a declaration.
  EXPECT_EQ(titles("\n<b>Notice</b>: Undefined index: id in /www/rss.php on line 5<br />\n<?xml version='1.0'?>" + rss),
            "一;");
  EXPECT_EQ(titles("Warning: headers already sent\n" + rss), "一;");
  // HTML put into a description without escaping it, unclosed tags and all; a "]]>" in it.
  std::vector<FeedItem> items;
  EXPECT_EQ(titles("<rss version='2.0'><channel><item><title>二</title><link>http://f/2</link>"
                   "<description>\n <p>Hello<br>world <img src='x.png'> a]]>b</p></description></item>"
                   "<item><title>三</title><link>http://f/3</link><description><![CDATA[<b>ok</b>]]></description>"
                   "<content:encoded xmlns:content='http://purl.org/rss/1.0/modules/content/'><hr></content:encoded>"
                   "</item></channel></rss>",
                   nullptr, &items),
            "二;三;");
  EXPECT_EQ(U8(items[0].summary), "Hello world a]]>b");
  EXPECT_EQ(U8(items[1].summary), "ok");
  // A CDATA section or a comment that speaks of a description is no description.
  EXPECT_EQ(titles("<rss version='2.0'><channel><!-- <description> --><item><title><![CDATA[<description>]]></title>"
                   "<link>http://f/9</link><description>a<br>b</description></item></channel></rss>",
                   nullptr, &items),
            "<description>;");
  EXPECT_EQ(U8(items[0].summary), "a b");
  // Atom: HTML content the same way; XHTML content must be well-formed.
  EXPECT_EQ(titles("<feed xmlns='http://www.w3.org/2005/Atom'><entry><title>四</title><link href='http://f/4'/>"
                   "<content type='html'><p>para<br></content></entry></feed>"),
            "四;");
  int result = 0;
  EXPECT_EQ(titles("<feed xmlns='http://www.w3.org/2005/Atom'><entry><title>五</title><link href='http://f/5'/>"
                   "<content type='xhtml'><div><br></div></content></entry></feed>",
                   &result),
            "");
  EXPECT_EQ(result, kFeedErrorFormat);
  // Well-formed markup in a plain-text title keeps its words.
  EXPECT_EQ(titles("<rss><channel><item><title>Foo <b>bar</b> <i>baz <u>qux</u></i></title><link>http://f/7</link>"
                   "</item></channel></rss>"),
            "Foo bar baz qux;");
  EXPECT_EQ(titles("<feed xmlns='http://www.w3.org/2005/Atom'><entry><title>A <em>b</em></title>"
                   "<link href='http://f/8'/></entry></feed>"),
            "A b;");
  // Broken elsewhere: still no feed.
  EXPECT_EQ(titles("<rss><channel><item><title>六<b></title><link>http://f/6</link></item></channel></rss>", &result),
            "");
  EXPECT_EQ(result, kFeedErrorFormat);
  // A document type with an internal subset declaring HTML's names (or names of its own):
  // the declaration goes, nothing it points at is fetched.
  EXPECT_EQ(titles("<?xml version='1.0'?>\n<!DOCTYPE rss [\n<!ENTITY % HTMLlat1 PUBLIC \"-//W3C//ENTITIES Latin 1 "
                   "for XHTML//EN\" \"http://www.w3.org/TR/xhtml1/DTD/xhtml-lat1.ent\">\n%HTMLlat1;\n"
                   "<!ENTITY site \"Example\"> ] >\n<rss version='2.0'><channel><item><title>Caf&eacute; &site;"
                   "</title><link>http://f/10</link></item></channel></rss>"),
            "Café &site;;");
  // A "<" that starts no markup is text; in a CDATA section or comment it stays as written.
  EXPECT_EQ(titles("<rss><channel><!-- a < b --><item><title>x < y, I <3 it, a<=b</title><link>http://f/11</link>"
                   "<description><![CDATA[1 < 2]]></description></item></channel></rss>",
                   nullptr, &items),
            "x < y, I <3 it, a<=b;");
  EXPECT_EQ(U8(items[0].summary), "1 < 2");
  // A subset never ended, or a declaration after the root, is not cut.
  EXPECT_EQ(RecoveredXmlFeed("<?xml version='1.0'?><!DOCTYPE rss [<!ENTITY a 'b'>\n<rss/>"), "");
  EXPECT_EQ(RecoveredXmlFeed("<rss><!DOCTYPE x [<!ENTITY a 'b'>]></rss>"), "");
  EXPECT_EQ(RecoveredXmlFeed(rss), "");  // nothing to mend
  EXPECT_EQ(RecoveredXmlFeed("  \n" + rss), "");
}

TEST_F(FeedParser, AFeedsHeadEndsAfterItsNthEntry) {
  const std::string rss = "<?xml version='1.0'?><!-- </item> --><rss><channel><title>t</title>"
                          "<item><title>1</title><x:item>nested</x:item></item><item><title><![CDATA[</item>]]></title>"
                          "</item><item a='>'><title>3</title></item></channel></rss>";
  EXPECT_EQ(FeedHead(rss, 2), rss.substr(0, rss.find("<item a=")) + "</channel></rss>");
  EXPECT_EQ(FeedHead(rss, 3), "");  // no more entries than that
  const std::string atom = "<feed xmlns='http://www.w3.org/2005/Atom'><atom:entry/><atom:entry>e</atom:entry>"
                           "<atom:entry/></feed>";
  EXPECT_EQ(FeedHead(atom, 2), atom.substr(0, atom.rfind("<atom:entry/>")) + "</feed>");
  // RSS 1.0 keeps its items beside the channel.
  const std::string rdf = "<rdf:RDF><channel><title>t</title></channel><item>1</item><item>2</item></rdf:RDF>";
  EXPECT_EQ(FeedHead(rdf, 1), "<rdf:RDF><channel><title>t</title></channel><item>1</item></rdf:RDF>");
  // Markup that cannot be followed gives no head.
  for (const char* bad : {"<rss><item></x></item><item/></rss>", "<!DOCTYPE r [<!ENTITY a 'b'>]><r><item/><item/></r>",
                          "<rss><item><!-- unended", "<rss><item a='>"})
    EXPECT_EQ(FeedHead(bad, 1), "") << bad;
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

TEST_F(FeedParser, DeclaredEncodingLabel) {
  auto label = [](const std::string& s) { return DeclaredXmlEncoding(s.data(), s.size()); };
  EXPECT_EQ(label("<?xml version=\"1.0\" encoding=\"GB2312\"?><a/>"), "gb2312");
  EXPECT_EQ(label("  <?xml version='1.0' encoding = 'Big5' ?>"), "big5");
  EXPECT_EQ(label("<?xml version=\"1.0\"?><a encoding=\"gbk\"/>"), "");  // not in the declaration
  EXPECT_EQ(label("<a/>"), "");
  EXPECT_EQ(label("<?xml encoding=\"" + std::string(200, 'x') + "\"?>"), "");
}

TEST_F(FeedParser, TwentyFiveItemsInOrder) {
  std::vector<FeedItem> items;
  ASSERT_EQ(Parse(Sample("twenty_five.xml"), &items), 25);
  for (int i = 0; i < 25; ++i) {
    EXPECT_EQ(U8(items[i].title), "第" + std::to_string(i + 1) + "条新闻");
    EXPECT_EQ(U8(items[i].link), "http://news.example.com/list/" + std::to_string(i + 1) + ".html");
  }
}

TEST_F(FeedParser, BracketTrimmingOnlyOnItsSite) {
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

TEST_F(FeedParser, TrimBracketedRemarkRules) {
  EXPECT_EQ(TrimBracketedRemark(u"标题(图)"), u"标题");
  EXPECT_EQ(TrimBracketedRemark(u"标题 (图)"), u"标题");
  EXPECT_EQ(TrimBracketedRemark(u"标题（图）"), u"标题");
  EXPECT_EQ(TrimBracketedRemark(u"a（b）"), u"a（b）");        // shorter than five: not searched
  EXPECT_EQ(TrimBracketedRemark(u"ab（cd）"), u"ab");          // "（" within the last five
  EXPECT_EQ(TrimBracketedRemark(u"标题（图)"), u"标题");        // mixed brackets
  EXPECT_EQ(TrimBracketedRemark(u"标题(图"), u"标题(图");       // does not end in a bracket
  EXPECT_EQ(TrimBracketedRemark(u""), u"");
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

namespace feed {
namespace {

const std::u16string kListUrl = std::u16string(u"http://") + kHtmlListSiteDomain + u"/news/list.html?refresh=1&ver=1.0.0.0";

TEST_F(FeedParser, HtmlListSiteAnchorsAreItems) {
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

TEST_F(FeedParser, HtmlPageEncodings) {
  auto text = [](const std::string& s) { return U8(HtmlDocumentToText(s.data(), s.size())); };
  EXPECT_EQ(text("<meta charset=\"big5\">\xA4\xA4"), "<meta charset=\"big5\">中");
  EXPECT_EQ(text("<p>\xE4\xB8\xAD</p>"), "<p>中</p>");            // undeclared UTF-8
  EXPECT_EQ(text("<p>\xD6\xD0</p>"), "<p>中</p>");                // undeclared, ANSI (GBK)
  EXPECT_EQ(text("\xEF\xBB\xBF<p>\xE4\xB8\xAD</p>"), "<p>中</p>");  // byte-order mark
  EXPECT_EQ(DeclaredHtmlCharset("<META content='text/html; CHARSET=GBK'>", 40), "gbk");
}

}  // namespace
}  // namespace feed
