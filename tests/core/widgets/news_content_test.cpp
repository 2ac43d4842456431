#include "widgets/news_content.h"

#include <gtest/gtest.h>

namespace widgets {
namespace {

TEST(NewsContent, ItemLineHasTheFixedForm) {
  EXPECT_EQ(ItemLine({u"新闻标题", u"http://a.example/1"}),
            u"<font color=\"#3a3031\" underline=\"0\">·<a href=\"http://a.example/1\">新闻标题</a></font>\r\n");
  EXPECT_EQ(BuildContent({{u"a", u"http://x/1"}, {u"b", u"http://x/2"}}),
            ItemLine({u"a", u"http://x/1"}) + ItemLine({u"b", u"http://x/2"}));
  EXPECT_EQ(BuildContent({}), u"");
}

TEST(NewsContent, HostileTitlesStayText) {
  // Markup in a title must not start a tag: no extra link or image may appear.
  EXPECT_EQ(TitleAsText(u"<a href=\"file:///c:/x.exe\">win</a>"),
            u"＜a href=\"file:///c:/x.exe\">win＜/a>");
  EXPECT_EQ(TitleAsText(u"x<img src=\"c:\\a.png\" width=\"9\" height=\"9\"/>"),
            u"x＜img src=\"c:\\a.png\" width=\"9\" height=\"9\"/>");
  EXPECT_EQ(TitleAsText(u"a<br>b"), u"a＜br>b");
  // Line breaks inside a title would split the item; surrounding blanks are dropped.
  EXPECT_EQ(TitleAsText(u"\r\n  first\r\nsecond\t \n"), u"first  second");
  EXPECT_EQ(TitleAsText(u"1 < 2 & 3 > 2"), u"1 ＜ 2 & 3 > 2");
  std::u16string line = ItemLine({u"</a><a href=\"http://evil\">x", u"http://ok/"});
  EXPECT_EQ(line.find(u"<a href="), line.rfind(u"<a href="));  // one anchor only
}

TEST(NewsContent, HostileLinksKeepTheirAnchor) {
  EXPECT_EQ(LinkAsHref(u"http://x/?q=\"a\"&b=<c>"), u"http://x/?q=%22a%22&b=%3Cc%3E");
  EXPECT_EQ(LinkAsHref(u"http://x/a b\r\n"), u"http://x/a%20b%0D%0A");
  EXPECT_EQ(LinkAsHref(u"http://x/中文?a=1&b=2"), u"http://x/中文?a=1&b=2");
  std::u16string line = ItemLine({u"t", u"http://x/\"><img src=\"y\" width=\"1\" height=\"1\"/>"});
  EXPECT_EQ(line.find(u"<img"), std::u16string::npos);
  EXPECT_NE(line.find(u"%22%3E%3Cimg%20src=%22y%22"), std::u16string::npos);
  EXPECT_EQ(line.substr(line.size() - 16), u"\">t</a></font>\r\n");
}

TEST(NewsContent, ShownItemsTakeTheFirstTenThenTheAdvert) {
  std::vector<NewsItem> received;
  for (int i = 0; i < 25; ++i) received.push_back({u"t" + std::u16string(1, u'a' + i), u"http://x/"});
  auto shown = ShownItems(received, u"广告", u"http://ad/");
  ASSERT_EQ(shown.size(), 11u);
  EXPECT_EQ(shown[9].title, u"tj");
  EXPECT_EQ(shown[10].title, u"广告");
  EXPECT_EQ(ShownItems(received, u"广告", u"").size(), 10u);
  EXPECT_EQ(ShownItems(received, u"", u"http://ad/").size(), 10u);
  EXPECT_EQ(ShownItems({received[0]}, u"", u"").size(), 1u);
}

TEST(NewsContent, FailureTexts) {
  EXPECT_EQ(FeedFailureText(-3), u"读取失败！访问服务器失败");
  EXPECT_EQ(FeedFailureText(-2), u"读取失败！订阅源格式错误");
  EXPECT_EQ(FeedFailureText(-1), u"读取失败！未知错误");
  EXPECT_EQ(FeedFailureText(-7), u"读取失败！未知错误");
}

TEST(NewsContent, SizesFollowTheTitlesAndContent) {
  EXPECT_EQ(WidthForTitles(0), 250);
  EXPECT_EQ(WidthForTitles(199), 250);
  EXPECT_EQ(WidthForTitles(300), 350);
  EXPECT_EQ(WidthForTitles(900), 700);
  EXPECT_EQ(HeightForContent(10), 80);
  EXPECT_EQ(HeightForContent(0), 80);
  EXPECT_EQ(HeightForContent(140), 200);
}

TEST(NewsContent, OnlyWebAddressesAreOpened) {
  EXPECT_EQ(OpenableAddress(u"http://example.com/a?b=1"), u"http://example.com/a?b=1");
  EXPECT_EQ(OpenableAddress(u"HTTPS://Example.com/"), u"HTTPS://Example.com/");
  EXPECT_EQ(OpenableAddress(u"www.example.com/x"), u"http://www.example.com/x");
  for (const char16_t* bad :
       {u"file:///C:/Windows/System32/calc.exe", u"\\\\server\\share\\run.exe", u"C:\\Windows\\notepad.exe",
        u"calc.exe", u"shell:startup", u"javascript:alert(1)", u"ms-settings:", u"mailto:a@b",
        u" http://leading.blank/", u"http://", u"https://", u"http:\\\\host\\x", u"http://a b/", u"www.",
        u"ftp://host/file", u""}) {
    EXPECT_EQ(OpenableAddress(bad), u"");
  }
}

TEST(NewsContent, CtrlClickRule) {
  EXPECT_TRUE(ClickOpensLink(false, kKeyLButton));
  EXPECT_TRUE(ClickOpensLink(false, kKeyLButton | kKeyShift | kKeyControl));
  EXPECT_FALSE(ClickOpensLink(true, kKeyLButton));
  EXPECT_TRUE(ClickOpensLink(true, kKeyControl | kKeyLButton));
  EXPECT_TRUE(ClickOpensLink(true, kKeyControl));
  EXPECT_FALSE(ClickOpensLink(true, kKeyControl | kKeyShift | kKeyLButton));
  EXPECT_FALSE(ClickOpensLink(true, kKeyShift | kKeyLButton));
}

}  // namespace
}  // namespace widgets
