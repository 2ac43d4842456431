#include "platform/text.h"

#include <gtest/gtest.h>

namespace {

TEST(Text, Utf8RoundTripIncludingSurrogates) {
  std::u16string s = u"abc 新闻 \U0001F600 é";
  EXPECT_EQ(platform::Utf8ToU16(platform::U16ToUtf8(s)), s);
  EXPECT_EQ(platform::U16ToUtf8(u"新闻"), "\xE6\x96\xB0\xE9\x97\xBB");
}

TEST(Text, InvalidUtf8BecomesReplacement) {
  EXPECT_EQ(platform::Utf8ToU16("a\xFF" "b"), u"a\uFFFDb");
  EXPECT_EQ(platform::Utf8ToU16("\xE6\x96"), u"\uFFFD\uFFFD");      // truncated sequence
  EXPECT_EQ(platform::Utf8ToU16("\xC0\xAF"), u"\uFFFD\uFFFD");      // overlong
  EXPECT_EQ(platform::Utf8ToU16("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD");  // surrogate
}

TEST(Text, ThreeByteSequencesAtTheEdgesOfTheQuickPath) {
  using platform::Utf8ToU16;
  EXPECT_EQ(Utf8ToU16("\xE4\xB8\xAD\xEE\x80\x80\xEF\xBF\xBF"), u"\u4E2D\uE000\uFFFF");
  EXPECT_EQ(Utf8ToU16("\xE0\xA0\x80\xEC\xBF\xBF\xED\x9F\xBF"), u"\u0800\uCFFF\uD7FF");
  // Overlong, surrogate, cut short and broken continuations: each bad byte is one U+FFFD.
  EXPECT_EQ(Utf8ToU16("\xE0\x80\x80"), u"\uFFFD\uFFFD\uFFFD");
  EXPECT_EQ(Utf8ToU16("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD");
  EXPECT_EQ(Utf8ToU16("a\xE4\xB8"), u"a\uFFFD\uFFFD");
  EXPECT_EQ(Utf8ToU16("\xE4\x41\xAD"), u"\uFFFDA\uFFFD");
}

TEST(Text, Gbk936RoundTrip) {
  std::string gbk;
  ASSERT_TRUE(platform::ToCodePage(936, u"新闻", &gbk));
  EXPECT_EQ(gbk, "\xD0\xC2\xCE\xC5");
  std::u16string back;
  ASSERT_TRUE(platform::FromCodePage(936, gbk, &back));
  EXPECT_EQ(back, u"新闻");
}

TEST(Text, UnrepresentableBecomesDefaultChar) {
  std::string out;
  ASSERT_TRUE(platform::ToCodePage(936, u"a\u0E01b", &out));  // Thai is not in GBK
  EXPECT_EQ(out, "a?b");
}

TEST(Text, Big5AndLatin1) {
  std::u16string w;
  ASSERT_TRUE(platform::FromCodePage(950, "\xB7\x73\xBB\x44", &w));
  EXPECT_EQ(w, u"新聞");
  ASSERT_TRUE(platform::FromCodePage(28591, "caf\xE9", &w));
  EXPECT_EQ(w, u"café");
}

TEST(Text, LabelsMapToCodePages) {
  EXPECT_EQ(platform::CodePageFromLabel("GB2312"), 936);
  EXPECT_EQ(platform::CodePageFromLabel("gbk"), 936);
  EXPECT_EQ(platform::CodePageFromLabel("UTF-8"), 65001);
  EXPECT_EQ(platform::CodePageFromLabel("big5"), 950);
  EXPECT_EQ(platform::CodePageFromLabel("no-such"), 0);
}

}  // namespace
