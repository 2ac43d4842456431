#include "config/app_config.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <ctime>

#include "platform/text.h"

namespace {

using config::AppConfig;
using config::ParseAppConfig;
using config::ParseResult;

std::string Gbk(const std::u16string& s) {
  std::string out;
  platform::ToCodePage(936, s, &out);
  return out;
}

int64_t Local(int y, int mo, int d, int h, int mi) {
  std::tm t{};
  t.tm_year = y - 1900;
  t.tm_mon = mo - 1;
  t.tm_mday = d;
  t.tm_hour = h;
  t.tm_min = mi;
  t.tm_isdst = -1;
  return static_cast<int64_t>(std::mktime(&t));
}

const char kDocument[] =
    "<?xml version=\"1.0\" encoding=\"gb2312\"?>\n"
    "<config>\n"
    " <update><ver>1.0.0.1</ver><url>https://svc/dl/setup.exe</url><msg>fixes</msg></update>\n"
    " <appconfig>\n"
    "  <thirdparty_news_title>more</thirdparty_news_title>\n"
    "  <thirdparty_news_url>\n"
    "   <item><name>A</name><url>http://a/rss</url></item>\n"
    "   <item><name>no url</name></item>\n"
    "   <other><name>B</name><url>http://b/rss</url></other>\n"
    "  </thirdparty_news_url>\n"
    " </appconfig>\n"
    " <advlinks>\n"
    "  <group position=\"6\"><link><name>L1</name><link>http://l1</link></link>"
    "<link><name>no link</name></link><x><name>N</name><link>http://n</link></x></group>\n"
    "  <group position=\"2\"><link><name>only name</name></link></group>\n"
    "  <group><link><name>L2</name><link>http://l2</link></link></group>\n"
    " </advlinks>\n"
    " <advs>\n"
    "  <adv type=\"3\" position=\"2\" id=\"7\"><starttime>2010-12-06 18:05</starttime>"
    "<url>http://u</url><htmlurl>http://h</htmlurl><aligntext>center</aligntext><width>300</width></adv>\n"
    "  <adv type=\"3\" position=\"2\" id=\"8\"><starttime>2010-12-06 18:05</starttime>"
    "<htmlurl>http://h</htmlurl></adv>\n"
    "  <adv type=\"1\" position=\"1\" id=\"9\"><endtime>2030-01-01 00:00</endtime><text>hi</text></adv>\n"
    "  <adv type=\"1\" position=\"1\"><endtime>2030-01-01 00:00</endtime><text>no id</text></adv>\n"
    " </advs>\n"
    "</config>\n";

TEST(AppConfigParse, ReadsEveryPartAndSkipsIncompleteEntries) {
  AppConfig c;
  ASSERT_EQ(ParseAppConfig(kDocument, &c), ParseResult::kOk);
  EXPECT_EQ(c.updateVersion, u"1.0.0.1");
  EXPECT_EQ(c.updateUrl, u"https://svc/dl/setup.exe");
  EXPECT_EQ(c.updateMessage, u"fixes");
  EXPECT_EQ(c.newsTitle, u"more");
  ASSERT_EQ(c.newsSources.size(), 2u);  // any element name; the one without url skipped
  EXPECT_EQ(c.newsSources[0].name, u"A");
  EXPECT_EQ(c.newsSources[1].url, u"http://b/rss");
  // Only children named "link" count; a group without a complete pair is not kept; a
  // group without a position attribute is position 1.
  ASSERT_EQ(c.advLinkGroups.size(), 2u);
  EXPECT_EQ(c.advLinkGroups[0].position, 6);
  ASSERT_EQ(c.advLinkGroups[0].links.size(), 1u);
  EXPECT_EQ(c.advLinkGroups[0].links[0].link, u"http://l1");
  EXPECT_EQ(c.advLinkGroups[1].position, 1);
  // The advert without url (position 2) and the one without id are dropped.
  ASSERT_EQ(c.adverts.size(), 2u);
  EXPECT_EQ(c.adverts[0].id, 7);
  EXPECT_EQ(c.adverts[0].starttime, Local(2010, 12, 6, 18, 5));
  EXPECT_EQ(c.adverts[0].aligntext, 2);
  EXPECT_EQ(c.adverts[0].width, 300);
  EXPECT_TRUE(c.adverts[0].slideIn);
  EXPECT_FALSE(c.adverts[0].slideOut);
  EXPECT_EQ(c.adverts[1].id, 9);
}

TEST(AppConfigParse, TextsComeFromTheAnsiCodePage) {
  platform::SetAnsiCodePageForTests(936);
  std::string doc = "<c><update><ver>2.0.0.0</ver><url>u</url><msg>" + Gbk(u"新功能") + "</msg></update></c>";
  AppConfig c;
  ASSERT_EQ(ParseAppConfig(doc, &c), ParseResult::kOk);
  EXPECT_EQ(c.updateMessage, u"新功能");
}

TEST(AppConfigParse, BadDocumentsFailClearly) {
  AppConfig c;
  c.newsTitle = u"stale";
  EXPECT_EQ(ParseAppConfig("<a><b></a>", &c), ParseResult::kNotXml);
  EXPECT_TRUE(c.newsTitle.empty());  // reset even on failure
  EXPECT_EQ(ParseAppConfig("", &c), ParseResult::kNotXml);
  EXPECT_EQ(ParseAppConfig("<!-- nothing -->", &c), ParseResult::kNoRoot);
  EXPECT_EQ(ParseAppConfig(std::string(200000, '<'), &c), ParseResult::kNoRoot);  // "parses" without a root
  std::string deep;
  for (int i = 0; i < 100; ++i) deep += "<a>";
  EXPECT_EQ(ParseAppConfig(deep, &c), ParseResult::kTooDeep);
  EXPECT_EQ(ParseAppConfig(std::string(config::kMaxDocumentBytes + 1, ' '), &c), ParseResult::kTooLarge);
  // A root without an "update" child offers nothing.
  ASSERT_EQ(ParseAppConfig("<r><appconfig/></r>", &c), ParseResult::kOk);
  EXPECT_TRUE(c.updateVersion.empty() && c.updateUrl.empty() && c.updateMessage.empty());
}

TEST(AppConfigParse, ListsAreCapped) {
  std::string doc = "<r><appconfig><thirdparty_news_url>";
  for (int i = 0; i < 40; ++i) doc += "<i><name>n</name><url>http://x/" + std::to_string(i) + "</url></i>";
  doc += "</thirdparty_news_url></appconfig><advs>";
  for (int i = 0; i < 100; ++i)
    doc += "<a type=\"1\" position=\"1\" id=\"1\"><endtime>2030-1-1 0:0</endtime><text>t</text></a>";
  doc += "</advs><advlinks>";
  for (int i = 0; i < 40; ++i) {
    doc += "<g position=\"6\">";
    for (int j = 0; j < 50; ++j) doc += "<link><name>n</name><link>l</link></link>";
    doc += "</g>";
  }
  doc += "</advlinks></r>";
  AppConfig c;
  ASSERT_EQ(ParseAppConfig(doc, &c), ParseResult::kOk);
  EXPECT_EQ(c.newsSources.size(), config::kMaxNewsSources);
  EXPECT_EQ(c.newsSources.back().url, u"http://x/16");
  EXPECT_EQ(c.adverts.size(), config::kMaxAdverts);
  EXPECT_EQ(c.advLinkGroups.size(), config::kMaxLinkGroups);
  EXPECT_EQ(c.advLinkGroups[0].links.size(), config::kMaxLinksPerGroup);
}

TEST(ConfigTime, ReadsYearMonthDayHourMinute) {
  EXPECT_EQ(config::ParseConfigTime("2010-12-06 18:05"), Local(2010, 12, 6, 18, 5));
  EXPECT_EQ(config::ParseConfigTime("2010-12-06 18:5"), Local(2010, 12, 6, 18, 5));
  EXPECT_EQ(config::ParseConfigTime("110-1-2 3:04"), Local(2010, 1, 2, 3, 4));  // years since 1900
  // A missing separator gives -1.
  EXPECT_EQ(config::ParseConfigTime("2010-12-06 1805"), -1);
  EXPECT_EQ(config::ParseConfigTime("2010-12-06"), -1);
  EXPECT_EQ(config::ParseConfigTime(""), -1);
  // Out-of-range fields neither crash nor overflow.
  config::ParseConfigTime("-2147483648--2147483648-99999999999 99999999999:-99999999999");
}

#ifndef _WIN32
// The process's time zone set for one test (the Windows side reads the system's zone).
class ScopedTimeZone {
 public:
  explicit ScopedTimeZone(const char* zone) {
    if (const char* old = std::getenv("TZ")) old_ = old, hadOld_ = true;
    setenv("TZ", zone, 1);
    tzset();
  }
  ~ScopedTimeZone() {
    if (hadOld_) setenv("TZ", old_.c_str(), 1);
    else unsetenv("TZ");
    tzset();
  }

 private:
  std::string old_;
  bool hadOld_ = false;
};

TEST(ConfigTime, SummerTimeCountsInAZoneThatKeepsIt) {
  ScopedTimeZone berlin("Europe/Berlin");
  // Noon in Berlin is 10:00 UTC in July (summer time, UTC+2) and 11:00 UTC in January.
  EXPECT_EQ(config::ParseConfigTime("2021-07-01 12:00"), 1625133600);
  EXPECT_EQ(config::ParseConfigTime("2021-01-01 12:00"), 1609498800);
  // The last Sunday of October at 03:00 is after the change back: UTC+1.
  EXPECT_EQ(config::ParseConfigTime("2021-10-31 03:00"), 1635645600);
}
#endif

TEST(AdvertValues, ValueRules) {
  EXPECT_EQ(config::AdvertTypeFromText("4"), 4);
  EXPECT_EQ(config::AdvertTypeFromText("5"), 0);
  EXPECT_EQ(config::AdvertTypeFromText(" 1"), 0);
  EXPECT_EQ(config::AdvertPositionFromText("6"), 6);
  EXPECT_EQ(config::AdvertPositionFromText("3"), 1);
  EXPECT_EQ(config::AlignTextFromText("right"), 1);
  EXPECT_EQ(config::AlignTextFromText("Right"), 0);
}

TEST(AdvertValidity, EachTypeNeedsItsContentAndEachPositionItsTimes) {
  AdvertRecord a;
  a.id = 1;
  a.type = 4;
  a.position = 1;
  a.endtime = 5;
  a.pic = u"p";
  EXPECT_FALSE(config::IsAdvertValid(a));  // type 4 needs text too
  a.text = u"t";
  EXPECT_TRUE(config::IsAdvertValid(a));
  a.endtime = 0;
  EXPECT_FALSE(config::IsAdvertValid(a));
  a.position = 2;
  a.starttime = 1;
  EXPECT_FALSE(config::IsAdvertValid(a));  // position 2 needs a url
  a.url = u"u";
  EXPECT_TRUE(config::IsAdvertValid(a));
  a.position = 6;
  EXPECT_FALSE(config::IsAdvertValid(a));
  a.position = 2;
  a.id = -1;
  EXPECT_FALSE(config::IsAdvertValid(a));
  a.id = 1;
  a.type = 3;
  EXPECT_FALSE(config::IsAdvertValid(a));
  a.htmlurl = u"h";
  EXPECT_TRUE(config::IsAdvertValid(a));
}

}  // namespace
