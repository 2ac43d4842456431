#include "feed/feed_encoding.h"

#include <gtest/gtest.h>

#include "platform/text.h"

#include "feed_parse_test_util.h"

namespace feed {
namespace {

class FeedEncoding : public FeedParseTest {};

TEST_F(FeedEncoding, EncodingsDeclaredOrDetected) {
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

TEST_F(FeedEncoding, Utf16WithoutMarkAndLegacyFallbacks) {
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

TEST_F(FeedEncoding, BytesThatContradictTheDeclarationDecide) {
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

TEST_F(FeedEncoding, DamagedUtf8IsRepairedWhereverItSits) {
  // A bad byte after a long ASCII run (checked eight bytes at a time), a surrogate and a
  // cut three-byte sequence: each becomes U+FFFD, the rest stays.
  const std::string doc = std::string("<?xml version=\"1.0\" encoding=\"utf-8\"?><r>") + "abcdefghijklmnop\xFF" +
                          "\xED\xA0\x80\xE4\xB8\xAD\xE4\xB8</r>";
  EXPECT_EQ(platform::Utf8ToU16(XmlDocumentToUtf8(doc.data(), doc.size())),
            u"<?xml version=\"1.0\" encoding=\"utf-8\"?><r>abcdefghijklmnop\uFFFD\uFFFD\uFFFD\uFFFD\u4E2D\uFFFD\uFFFD</r>");
  const std::string clean = "<r>" + std::string(100, 'x') + "\xE4\xB8\xAD</r>";
  EXPECT_EQ(XmlDocumentToUtf8(clean.data(), clean.size()), clean);
}

TEST_F(FeedEncoding, DeclaredEncodingLabel) {
  auto label = [](const std::string& s) { return DeclaredXmlEncoding(s.data(), s.size()); };
  EXPECT_EQ(label("<?xml version=\"1.0\" encoding=\"GB2312\"?><a/>"), "gb2312");
  EXPECT_EQ(label("  <?xml version='1.0' encoding = 'Big5' ?>"), "big5");
  EXPECT_EQ(label("<?xml version=\"1.0\"?><a encoding=\"gbk\"/>"), "");  // not in the declaration
  EXPECT_EQ(label("<a/>"), "");
  EXPECT_EQ(label("<?xml encoding=\"" + std::string(200, 'x') + "\"?>"), "");
}

TEST_F(FeedEncoding, HtmlPageEncodings) {
  auto text = [](const std::string& s) { return U8(HtmlDocumentToText(s.data(), s.size())); };
  EXPECT_EQ(text("<meta charset=\"big5\">\xA4\xA4"), "<meta charset=\"big5\">中");
  EXPECT_EQ(text("<p>\xE4\xB8\xAD</p>"), "<p>中</p>");            // undeclared UTF-8
  EXPECT_EQ(text("<p>\xD6\xD0</p>"), "<p>中</p>");                // undeclared, ANSI (GBK)
  EXPECT_EQ(text("\xEF\xBB\xBF<p>\xE4\xB8\xAD</p>"), "<p>中</p>");  // byte-order mark
  EXPECT_EQ(DeclaredHtmlCharset("<META content='text/html; CHARSET=GBK'>", 40), "gbk");
}

}  // namespace
}  // namespace feed
