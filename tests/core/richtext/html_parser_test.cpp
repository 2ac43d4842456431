#include "richtext/html_parser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using richtext::CHtmlImage;
using richtext::CHtmlObject;
using richtext::CHtmlParser;
using richtext::CHtmlTag;
using richtext::CHtmlText;

namespace {

// Renders the object list as "T:text" / "I:src,w,h" entries for compact comparisons.
std::vector<std::u16string> Nodes(const CHtmlParser& p) {
  int n = 0;
  CHtmlObject* const* objs = p.GetObjects(&n);
  std::vector<std::u16string> out;
  for (int i = 0; i < n; ++i) {
    std::u16string type = objs[i]->GetTypeName();
    if (type == u"HtmlText") {
      out.push_back(u"T:" + static_cast<CHtmlText*>(objs[i])->GetText());
    } else {
      auto* im = static_cast<CHtmlImage*>(objs[i]);
      std::string dims = "," + std::to_string(im->GetWidth()) + "," + std::to_string(im->GetHeight());
      out.push_back(u"I:" + im->GetSource() + std::u16string(dims.begin(), dims.end()));
    }
  }
  return out;
}

std::vector<const CHtmlTag*> Tags(const CHtmlParser& p) {
  int n = 0;
  CHtmlTag* const* tags = p.GetTags(&n);
  return std::vector<const CHtmlTag*>(tags, tags + n);
}

CHtmlText* TextAt(const CHtmlParser& p, int i) {
  int n = 0;
  CHtmlObject* const* objs = p.GetObjects(&n);
  EXPECT_LT(i, n);
  EXPECT_EQ(std::u16string(objs[i]->GetTypeName()), u"HtmlText");
  return static_cast<CHtmlText*>(objs[i]);
}

using V = std::vector<std::u16string>;

TEST(HtmlParser, PlainEmptyAndLineBreaks) {
  CHtmlParser p;
  EXPECT_EQ(p.Parse(u""), 0);
  EXPECT_TRUE(Nodes(p).empty());
  EXPECT_EQ(p.Parse(u"plain"), 1);
  EXPECT_EQ(Nodes(p), V{u"T:plain"});
  EXPECT_TRUE(Tags(p).empty());
  p.Parse(u"a<br>b");
  EXPECT_EQ(Nodes(p), (V{u"T:a", u"T:\r\n", u"T:b"}));
  EXPECT_TRUE(Tags(p).empty());
  // Line breaks and entities in the text are kept exactly.
  p.Parse(u"a&amp;b\r\nc");
  EXPECT_EQ(Nodes(p), V{u"T:a&amp;b\r\nc"});
  // A tag at the very end leaves no trailing empty run.
  p.Parse(u"x<br>");
  EXPECT_EQ(Nodes(p), (V{u"T:x", u"T:\r\n"}));
  p.Parse(u"<br/><br />");
  EXPECT_EQ(Nodes(p), (V{u"T:\r\n", u"T:\r\n"}));
}

TEST(HtmlParser, UnknownAndMalformedMarkupStaysText) {
  CHtmlParser p;
  p.Parse(u"x<p>y");
  EXPECT_EQ(Nodes(p), V{u"T:x<p>y"});
  p.Parse(u"<FONT>x</FONT>");
  EXPECT_EQ(Nodes(p), V{u"T:<FONT>x</FONT>"});
  p.Parse(u"1 < 2 and 3<4 <");
  EXPECT_EQ(Nodes(p), V{u"T:1 < 2 and 3<4 <"});
  p.Parse(u"<font color=\"#ff0000\"");  // no '>'
  EXPECT_EQ(Nodes(p), V{u"T:<font color=\"#ff0000\""});
  p.Parse(u"a</fo o>b");  // a space in a close tag's name
  EXPECT_EQ(Nodes(p), V{u"T:a</fo o>b"});
  // Names longer than 18 characters are never tags, even when '>' follows much later.
  p.Parse(u"<aaaaaaaaaaaaaaaaaaa>");
  EXPECT_EQ(Nodes(p), V{u"T:<aaaaaaaaaaaaaaaaaaa>"});
}

TEST(HtmlParser, TagSetFragmentsAreTagsWithoutMeaning) {
  CHtmlParser p;
  p.Parse(u"x<b>y</b>z");
  EXPECT_EQ(Nodes(p), (V{u"T:x", u"T:y", u"T:z"}));
  auto tags = Tags(p);
  ASSERT_EQ(tags.size(), 1u);
  EXPECT_EQ(tags[0]->GetName(), u"b");
  EXPECT_EQ(tags[0]->GetStart(), 1);
  EXPECT_EQ(tags[0]->GetEnd(), 2);
  p.Parse(u"<i>it</i><fon>f</fon><nt>n</nt>");
  EXPECT_EQ(Nodes(p), (V{u"T:it", u"T:f", u"T:n"}));
  EXPECT_EQ(Tags(p).size(), 3u);
  richtext::ApplyHtmlTags(p, 0x123456, 90);
  EXPECT_EQ(TextAt(p, 0)->GetColor(), 0u);
  EXPECT_EQ(TextAt(p, 0)->GetItalic(), 0);
  // "</>" has an empty name: accepted, matches nothing, dropped.
  p.Parse(u"a</>b");
  EXPECT_EQ(Nodes(p), (V{u"T:a", u"T:b"}));
  EXPECT_TRUE(Tags(p).empty());
}

TEST(HtmlParser, UnclosedAndUnmatchedTags) {
  CHtmlParser p;
  p.Parse(u"<font color=\"#ff0000\">x");
  EXPECT_EQ(Nodes(p), V{u"T:x"});
  EXPECT_TRUE(Tags(p).empty());
  richtext::ApplyHtmlTags(p, 0, 90);
  EXPECT_EQ(TextAt(p, 0)->GetColor(), 0u);
  p.Parse(u"</font>a");
  EXPECT_EQ(Nodes(p), V{u"T:a"});
  EXPECT_TRUE(Tags(p).empty());
  // A close tag closes the most recent open tag of its name; tags above it stay open.
  p.Parse(u"<font>1<a href=\"u\">2<font>3</font>4</font>5</a>");
  auto tags = Tags(p);
  ASSERT_EQ(tags.size(), 3u);
  EXPECT_EQ(tags[0]->GetName(), u"font");
  EXPECT_EQ(tags[0]->GetStart(), 2);
  EXPECT_EQ(tags[0]->GetEnd(), 3);
  EXPECT_EQ(tags[1]->GetName(), u"font");
  EXPECT_EQ(tags[1]->GetStart(), 0);
  EXPECT_EQ(tags[1]->GetEnd(), 4);
  EXPECT_EQ(tags[2]->GetName(), u"a");
  EXPECT_EQ(tags[2]->GetStart(), 1);
  EXPECT_EQ(tags[2]->GetEnd(), 5);
  // Self-closing tags are listed at once and enclose nothing.
  p.Parse(u"<font color=\"#00ff00\"/>q");
  tags = Tags(p);
  ASSERT_EQ(tags.size(), 1u);
  EXPECT_TRUE(tags[0]->IsSelfClosing());
  EXPECT_EQ(tags[0]->GetStart(), -1);
  EXPECT_EQ(tags[0]->GetEnd(), -1);
  richtext::ApplyHtmlTags(p, 7, 90);
  EXPECT_EQ(TextAt(p, 0)->GetColor(), 0u);  // untouched: not even the defaults
}

TEST(HtmlParser, Images) {
  CHtmlParser p;
  p.Parse(u"<img src=\"a.png\" width=\"16\" height=\"12\"/>");
  EXPECT_EQ(Nodes(p), V{u"I:a.png,16,12"});
  auto tags = Tags(p);
  ASSERT_EQ(tags.size(), 1u);
  EXPECT_EQ(tags[0]->GetStart(), 0);
  EXPECT_EQ(tags[0]->GetEnd(), 1);
  p.Parse(u"x<img src=\"a.png\" width=\"16\">y");
  EXPECT_EQ(Nodes(p), (V{u"T:x", u"T:y"}));
  tags = Tags(p);
  ASSERT_EQ(tags.size(), 1u);
  EXPECT_EQ(tags[0]->GetStart(), 1);
  EXPECT_EQ(tags[0]->GetEnd(), 1);
  // Sizes are leading digits only; signs, junk and overflow cannot make them negative.
  p.Parse(u"<img src=\"b\" width=\"-5\" height=\"99999999999\">");
  EXPECT_EQ(Nodes(p), V{u"I:b,0,2147483647"});
  p.Parse(u"<img src=\"c\" width=\"12px\" height=\"x\">");
  EXPECT_EQ(Nodes(p), V{u"I:c,12,0"});
}

TEST(HtmlParser, AttributeQuirks) {
  CHtmlParser p;
  p.Parse(u"<font face=\"Times New Roman\" size=\"4\">x</font>");
  auto tags = Tags(p);
  ASSERT_EQ(tags.size(), 1u);
  ASSERT_NE(tags[0]->GetAttr(u"face"), nullptr);
  EXPECT_EQ(*tags[0]->GetAttr(u"face"), u"Times New Roman");
  ASSERT_NE(tags[0]->GetAttr(u"size"), nullptr);
  EXPECT_EQ(*tags[0]->GetAttr(u"size"), u"4");
  EXPECT_EQ(tags[0]->GetAttr(u"Face"), nullptr);  // names are case-sensitive

  // Only double-quoted values are read.
  p.Parse(u"<a href='x'>y</a><a href=z>w</a>");
  ASSERT_EQ(Tags(p).size(), 2u);
  EXPECT_EQ(Tags(p)[0]->GetAttr(u"href"), nullptr);
  richtext::ApplyHtmlTags(p, 0, 90);
  EXPECT_EQ(TextAt(p, 0)->GetLink(), nullptr);
  EXPECT_EQ(TextAt(p, 1)->GetLink(), nullptr);

  // Two spaces keep a leading space in the name, which then does not match.
  p.Parse(u"<font  color=\"#ff0000\">x</font>");
  EXPECT_EQ(Tags(p)[0]->GetAttr(u"color"), nullptr);
  EXPECT_NE(Tags(p)[0]->GetAttr(u" color"), nullptr);

  // A value whose closing quote lies beyond the tag's '>' is not stored.
  p.Parse(u"<font color=\"#ff>x\">y</font>");
  ASSERT_EQ(Tags(p).size(), 1u);
  EXPECT_EQ(Tags(p)[0]->GetAttr(u"color"), nullptr);

  // At most 20 attributes; later ones are ignored.
  std::u16string many = u"<font";
  for (int i = 0; i < 25; ++i) {
    std::string a = " a" + std::to_string(i) + "=\"" + std::to_string(i) + "\"";
    many += std::u16string(a.begin(), a.end());
  }
  many += u">x</font>";
  p.Parse(many);
  ASSERT_EQ(Tags(p).size(), 1u);
  EXPECT_EQ(Tags(p)[0]->GetAttrCount(), 20);
  ASSERT_NE(Tags(p)[0]->GetAttr(u"a19"), nullptr);
  EXPECT_EQ(*Tags(p)[0]->GetAttr(u"a19"), u"19");
  EXPECT_EQ(Tags(p)[0]->GetAttr(u"a20"), nullptr);
}

TEST(HtmlParser, FontAttributeMeanings) {
  CHtmlParser p;
  p.Parse(u"<font color=\"#ff0000\">a<font color=\"#00ff00\">b</font>c</font>");
  richtext::ApplyHtmlTags(p, 0, 90);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(TextAt(p, i)->GetColor(), 0x0000FFu) << i;

  p.Parse(u"<font size=\"3\">x</font><font size=\"12\">y</font><font size=\"-4\">z</font>"
          u"<font size=\"99999999\">w</font>");
  richtext::ApplyHtmlTags(p, 0, 90);
  EXPECT_EQ(TextAt(p, 0)->GetSize(), 50);
  EXPECT_EQ(TextAt(p, 1)->GetSize(), 120);
  EXPECT_EQ(TextAt(p, 2)->GetSize(), 50);
  EXPECT_EQ(TextAt(p, 3)->GetSize(), 10000);  // cut, not overflowed

  p.Parse(u"<font color=\"#123456\" bold=\"1\" italic=\"true\" underline=\"1\" strikeout=\"1\" "
          u"face=\"Arial\" style=\"x;background-color:#0a0B0cZZ\">s</font>");
  richtext::ApplyHtmlTags(p, 0xABCDEF, 110);
  CHtmlText* t = TextAt(p, 0);
  EXPECT_EQ(t->GetColor(), 0x563412u);
  EXPECT_EQ(t->GetBackground(), 0xFF0C0B0Au);
  EXPECT_EQ(t->GetBold(), 1);
  EXPECT_EQ(t->GetItalic(), 0);  // only "1" means on
  EXPECT_EQ(t->GetUnderline(), 1);
  EXPECT_EQ(t->GetStrikeout(), 1);
  EXPECT_EQ(t->GetSize(), 110);  // no size attribute: the default
  ASSERT_NE(t->GetFace(), nullptr);
  EXPECT_EQ(*t->GetFace(), u"Arial");

  // A font tag restarts from the defaults: the outer tag resets what the inner one set.
  p.Parse(u"<font size=\"20\"><font bold=\"1\" color=\"#0000ff\">b</font></font>");
  richtext::ApplyHtmlTags(p, 0x11, 90);
  EXPECT_EQ(TextAt(p, 0)->GetBold(), 0);
  EXPECT_EQ(TextAt(p, 0)->GetColor(), 0x11u);
  EXPECT_EQ(TextAt(p, 0)->GetSize(), 200);

  // Colours: reading stops at the first non-hex character; an empty value is black.
  EXPECT_EQ(richtext::ParseHtmlColor(u"#ff0000"), 0x0000FFu);
  EXPECT_EQ(richtext::ParseHtmlColor(u"#00ffg0"), 0xFF0000u);  // reads 0x0000ff: blue
  EXPECT_EQ(richtext::ParseHtmlColor(u""), 0u);
  EXPECT_EQ(richtext::ParseHtmlColor(u"#"), 0u);
}

TEST(HtmlParser, LinksApplyToTextAndImagesIndependentlyOfStyle) {
  CHtmlParser p;
  p.Parse(u"<a href=\"http://x/\"><font color=\"#ff0000\">t</font><img src=\"i\" width=\"1\" height=\"2\"></a>"
          u"<font color=\"#00ff00\"><a href=\"u\">v</a></font><a>none</a>");
  richtext::ApplyHtmlTags(p, 0, 90);
  int n = 0;
  CHtmlObject* const* objs = p.GetObjects(&n);
  ASSERT_EQ(n, 4);
  ASSERT_NE(TextAt(p, 0)->GetLink(), nullptr);
  EXPECT_EQ(*TextAt(p, 0)->GetLink(), u"http://x/");
  EXPECT_EQ(TextAt(p, 0)->GetColor(), 0x0000FFu);
  auto* im = static_cast<CHtmlImage*>(objs[1]);
  ASSERT_NE(im->GetLink(), nullptr);
  EXPECT_EQ(*im->GetLink(), u"http://x/");
  ASSERT_NE(TextAt(p, 2)->GetLink(), nullptr);
  EXPECT_EQ(*TextAt(p, 2)->GetLink(), u"u");
  EXPECT_EQ(TextAt(p, 2)->GetColor(), 0x00FF00u);
  EXPECT_EQ(TextAt(p, 3)->GetLink(), nullptr);
}

TEST(HtmlParser, ReparseReplacesTheResult) {
  CHtmlParser p;
  p.Parse(u"<font>a</font><img src=\"s\" width=\"1\" height=\"1\">");
  EXPECT_EQ(Tags(p).size(), 2u);
  p.Parse(u"b");
  EXPECT_EQ(Nodes(p), V{u"T:b"});
  EXPECT_TRUE(Tags(p).empty());
  EXPECT_EQ(p.Parse(u""), 0);
  EXPECT_TRUE(Tags(p).empty());
  EXPECT_TRUE(Nodes(p).empty());
}

}  // namespace
