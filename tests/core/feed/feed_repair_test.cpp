#include "feed/feed_repair.h"

#include <gtest/gtest.h>

#include "feed_parse_test_util.h"

namespace feed {
namespace {

class FeedRepair : public FeedParseTest {};

TEST_F(FeedRepair, SloppyAmpersandsAndHtmlNamesAreRead) {
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

TEST_F(FeedRepair, SpaceBetweenCdataOrACommentAndTextIsKept) {
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

TEST_F(FeedRepair, FeedsThatAreNotWellFormedTheWayFeedsGoWrong) {
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

TEST_F(FeedRepair, AFeedsHeadEndsAfterItsNthEntry) {
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

}  // namespace
}  // namespace feed
