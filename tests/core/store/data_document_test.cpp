#include <tinyxml.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/log.h"
#include "platform/text.h"
#include "platform/xml_guard.h"
#include "store/data_store.h"
#include "test_util.h"

namespace {

using store::ScreenSize;

constexpr ScreenSize kXga{1024, 768};
constexpr ScreenSize kFullHd{1920, 1080};

class DataDocumentTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::SetAnsiCodePageForTests(936);
    if (platform::AnsiCodePage() != 936) GTEST_SKIP() << "needs the GBK code page";
    platform::SetLogPath(dir_.file("log.txt"));
  }
  void TearDown() override { platform::SetLogPath(""); }
  std::string Log() { return testutil::ReadAll(dir_.file("log.txt")); }

  // Writes, then reads back, one record through the full file form.
  CNotesLocalInfo RoundTrip(CNotesLocalInfo note, ScreenSize saved = kXga, ScreenSize loaded = kXga) {
    ManagerData m;
    std::string file = store::EncodeDataFile(store::BuildDataDocument({m, {note}}, saved));
    TiXmlDocument doc;
    EXPECT_EQ(store::ParseDataFile(file, &doc), store::LoadStatus::kOk);
    std::vector<CNotesLocalInfo> got;
    store::ReadNotes(doc.RootElement(), loaded, 5, [&](const CNotesLocalInfo& r) {
      got.push_back(r);
      return true;
    });
    EXPECT_EQ(got.size(), 1u);
    return got.empty() ? CNotesLocalInfo() : got[0];
  }

  ManagerData SettingsRoundTrip(const ManagerData& m) {
    std::string file = store::EncodeDataFile(store::BuildDataDocument({m, {}}, kXga));
    TiXmlDocument doc;
    EXPECT_EQ(store::ParseDataFile(file, &doc), store::LoadStatus::kOk);
    ManagerData back;
    if (doc.RootElement()) store::ReadSettings(doc.RootElement(), &back);
    return back;
  }

  testutil::TempDir dir_;
};

TEST_F(DataDocumentTest, DefaultRecordIsWrittenAsTheSixteenLines) {
  CNotesLocalInfo note;
  note.create_time = 1300000000;
  note.x = 100;
  note.y = 50;
  const std::string expected =
      "\t\t<note create_time=\"1300000000\" group_name=\"\">\r\n"
      "\t\t\t<template image=\"\" type=\"0\" bkcolor_id=\"0\" x1=\"0.050000\" y1=\"0.100000\" x2=\"0.950000\" "
      "y2=\"0.950000\"></template>\r\n"
      "\t\t\t<content><![CDATA[]]></content>\r\n"
      "\t\t\t<textcolor>0</textcolor>\r\n"
      "\t\t\t<position x=\"0.097656\" y=\"0.065104\" width=\"200\" height=\"200\"></position>\r\n"
      "\t\t\t<font face=\"\xCB\xCE\xCC\xE5\" size=\"100\" bold=\"0\"></font>\r\n"
      "\t\t\t<scrolly>0</scrolly>\r\n"
      "\t\t\t<transparent>200</transparent>\r\n"
      "\t\t\t<topmost>0</topmost>\r\n"
      "\t\t\t<visible>1</visible>\r\n"
      "\t\t\t<locked>0</locked>\r\n"
      "\t\t\t<linespace>2</linespace>\r\n"
      "\t\t\t<rssurl></rssurl>\r\n"
      "\t\t\t<advlink_url></advlink_url>\r\n"
      "\t\t\t<advlink_title></advlink_title>\r\n"
      "\t\t</note>\r\n";
  EXPECT_EQ(store::NoteToXml(note, kXga), expected);

  CNotesLocalInfo back = RoundTrip(note);
  EXPECT_EQ(back.x, 100);
  EXPECT_EQ(back.y, 50);
  EXPECT_EQ(back.create_time, 1300000000);
  EXPECT_EQ(back.font_face, u"宋体");
}

TEST_F(DataDocumentTest, DocumentRowsAndFileForm) {
  ManagerData m;
  m.custom_links = {{u"a", u"http://a/"}, {u"b", u"http://b/"}};
  m.usecount = 7;
  std::string text = store::BuildDataDocument({m, {}}, kXga);
  EXPECT_EQ(text.rfind("<?xml version=\"1.0\" encoding=\"gb2312\"?>\r\n<config ver=\"1.8\">\r\n"
                       "\t<embed_desktop>0</embed_desktop>\r\n\t<editnotes_menu>0</editnotes_menu>\r\n"
                       "\t<hidenotes_menu>1</hidenotes_menu>\r\n",
                       0),
            0u);
  EXPECT_NE(text.find("\t<hotkey_shownotes>ALT:Q</hotkey_shownotes>\r\n\t<usecount>7</usecount>\r\n"), std::string::npos);
  EXPECT_NE(text.find("\t<passwordinfo><password></password><question><![CDATA[]]></question><answer></answer>"
                      "</passwordinfo>\r\n\t<dont_updatever></dont_updatever>\r\n\t<switchs><![CDATA[]]></switchs>\r\n"
                      "\t<ctrl_lclick>0</ctrl_lclick>\r\n\t<just_bg_transparent><![CDATA[0]]></just_bg_transparent>\r\n"),
            std::string::npos);
  EXPECT_NE(text.find("\t<custom_newslinks>\r\n\t\t<link>\t\t\t<name><![CDATA[a]]></name>\t\t\t<url><![CDATA[http://a/]]>"
                      "</url>\t\t</link>\t\t<link>\t\t\t<name><![CDATA[b]]></name>\t\t\t<url><![CDATA[http://b/]]></url>"
                      "\t\t</link>\t</custom_newslinks>\r\n\t<remote_newslinks>\r\n\t</remote_newslinks>\r\n"
                      "\t<screen_size width=\"1024\" height=\"768\"></screen_size>\r\n\t<newsnotes>\r\n"
                      "\t</newsnotes>\r\n</config>"),
            std::string::npos);
  EXPECT_EQ(text.substr(text.size() - 9), "</config>");

  std::string file = store::EncodeDataFile(text);
  ASSERT_EQ(file.size(), text.size() + 1);
  EXPECT_NE(file.compare(0, 5, "<?xml"), 0);
  store::UnscrambleData(reinterpret_cast<unsigned char*>(&file[0]), file.size());
  EXPECT_EQ(file.substr(file.size() - 10), std::string("</config>\0", 10));
}

TEST_F(DataDocumentTest, ScramblingRotatesAndInvertsWithPeriodSeven) {
  std::vector<unsigned char> buf(7 * 256);
  for (size_t i = 0; i < buf.size(); ++i) buf[i] = static_cast<unsigned char>(i / 7);
  std::vector<unsigned char> orig = buf;
  EXPECT_EQ(store::ScrambleData(buf.data(), buf.size()), buf.size());
  // 0x01 at index 7 rotates by 1 → 0x02, inverted → 0xFD; at index 13 by 7 → 0x80 → 0x7F.
  EXPECT_EQ(buf[0], 0xFF);
  EXPECT_EQ(buf[7], 0xFD);
  EXPECT_EQ(buf[13], 0x7F);
  EXPECT_EQ(store::UnscrambleData(buf.data(), buf.size()), buf.size());
  EXPECT_EQ(buf, orig);
  EXPECT_EQ(store::ScrambleData(nullptr, 5), 0u);
  EXPECT_EQ(store::UnscrambleData(nullptr, 5), 0u);
}

TEST_F(DataDocumentTest, PlainShortAndDamagedFiles) {
  TiXmlDocument doc;
  const std::string plain = "<?xml version=\"1.0\"?><settings ver=\"1.6\"><usecount>4</usecount></settings>";
  ASSERT_EQ(store::ParseDataFile(plain, &doc), store::LoadStatus::kOk);
  EXPECT_STREQ(doc.RootElement()->Value(), "settings") << "any root name is accepted";
  ManagerData m;
  store::ReadSettings(doc.RootElement(), &m);
  EXPECT_FLOAT_EQ(m.version, 1.6f);
  EXPECT_EQ(m.usecount, 5);
  EXPECT_EQ(m.first_run, 0);

  EXPECT_EQ(store::ParseDataFile("<", &doc), store::LoadStatus::kTooShort);
  EXPECT_EQ(store::ParseDataFile("abc", &doc), store::LoadStatus::kTooShort);
  EXPECT_NE(Log().find("[error] invalid file \"data.dat!\""), std::string::npos);

  std::string file = store::EncodeDataFile(store::BuildDataDocument({}, kXga));
  for (size_t i = 0; i < file.size(); i += 97) file[i] ^= 0x5A;
  EXPECT_EQ(store::ParseDataFile(file, &doc), store::LoadStatus::kParseError);
  EXPECT_NE(Log().find("[error] parse xml error!"), std::string::npos);
  EXPECT_EQ(store::ParseDataFile("<?xml version=\"1.0\"?><!-- only a comment -->", &doc), store::LoadStatus::kNoRoot);
}

TEST_F(DataDocumentTest, DeepNestingIsRejectedBeforeParsing) {
  std::string deep = "<?xml version=\"1.0\"?>";
  for (int i = 0; i < 100000; ++i) deep += "<a>";
  TiXmlDocument doc;
  EXPECT_EQ(store::ParseDataFile(deep, &doc), store::LoadStatus::kParseError);
  EXPECT_NE(Log().find("parse xml error!"), std::string::npos);

  std::string ok = store::BuildDataDocument({}, kXga);
  EXPECT_EQ(static_cast<int>(platform::XmlNestingBound(ok.data(), ok.size(), 256)), 3);  // config/passwordinfo/password
  // Markup the parser does not nest: self-closed tags, CDATA, quoted values, comments.
  const std::string flat = "<r><a/><b x=\"<c><c><c>\" y='</r>'/><![CDATA[<d><d>]]><!-- <e><e> --></r>";
  EXPECT_EQ(static_cast<int>(platform::XmlNestingBound(flat.data(), flat.size(), 256)), 2);
  // An end tag inside a quoted value must not hide the real nesting.
  std::string tricky;
  for (int i = 0; i < 300; ++i) tricky += "<a v=\"</a>\">";
  EXPECT_GT(static_cast<int>(platform::XmlNestingBound(tricky.data(), tricky.size(), 256)), 256);
  EXPECT_EQ(store::ParseDataFile(tricky, &doc), store::LoadStatus::kParseError);
}

TEST_F(DataDocumentTest, MissingItemsKeepDefaultsAndUseCountGrows) {
  TiXmlDocument doc;
  ASSERT_EQ(store::ParseDataFile("<?xml version=\"1.0\"?><c><usecount>0</usecount><smoothing></smoothing>"
                                 "<hotkey_shownotes></hotkey_shownotes><unknown>9</unknown>"
                                 "<custom_newslinks><link><name>n</name><url>u</url></link>"
                                 "<link><name></name><url>u2</url></link><other><name>n3</name><url>u3</url></other>"
                                 "<link><name>n4</name></link></custom_newslinks>"
                                 "<newsnotes><note><rssurl>http://f/</rssurl></note><x/>"
                                 "<note create_time=\"0\"><refresh_interval>120</refresh_interval></note>"
                                 "</newsnotes></c>",
                                 &doc),
            store::LoadStatus::kOk);
  ManagerData m;
  store::ReadSettings(doc.RootElement(), &m);
  EXPECT_EQ(m.usecount, 1);
  EXPECT_EQ(m.first_run, 1);
  EXPECT_EQ(m.smoothing, 1) << "a number without text leaves the field";
  EXPECT_EQ(m.hotkey_shownotes, u"") << "a text without text empties the field";
  EXPECT_EQ(m.hotkey_addnotes, u"CTRL:ALT:N");
  EXPECT_EQ(m.last_shutdown_time, 1200);
  EXPECT_FLOAT_EQ(m.version, 1.5f);
  ASSERT_EQ(m.custom_links.size(), 2u) << "links with an empty name or url are dropped";
  EXPECT_EQ(m.custom_links[0], (NewsLink{u"n", u"u"}));
  EXPECT_EQ(m.custom_links[1], (NewsLink{u"n3", u"u3"}));

  std::vector<CNotesLocalInfo> notes;
  int made = store::ReadNotes(doc.RootElement(), kXga, 1700000000, [&](const CNotesLocalInfo& r) {
    notes.push_back(r);
    return notes.size() == 1;
  });
  EXPECT_EQ(made, 1) << "counts only the records the widget side took";
  ASSERT_EQ(notes.size(), 2u);
  EXPECT_EQ(notes[0].rssurl, u"http://f/");
  EXPECT_EQ(notes[0].create_time, 1700000000);
  EXPECT_EQ(notes[1].create_time, 1700000000);
  EXPECT_EQ(notes[0].width, 200);
  EXPECT_EQ(notes[0].alpha, 200);
  EXPECT_EQ(notes[0].font_face, u"宋体");
  EXPECT_EQ(notes[0].refresh_interval, 0) << "older files: the settings' interval";
  EXPECT_EQ(notes[1].refresh_interval, 0) << "an interval no widget may have: the default";

  ManagerData again;
  again.usecount = 41;
  store::ReadSettings(doc.RootElement(), &again);  // a stored 0 always gives 1
  EXPECT_EQ(again.usecount, 1);

  ASSERT_EQ(store::ParseDataFile("<?xml version=\"1.0\"?><c><smoothing>0</smoothing></c>", &doc),
            store::LoadStatus::kOk);
  ManagerData noCount;
  store::ReadSettings(doc.RootElement(), &noCount);
  EXPECT_EQ(noCount.usecount, 0) << "no stored count: nothing to add to";
  EXPECT_EQ(noCount.first_run, 0);
  EXPECT_EQ(noCount.smoothing, 0);
}

TEST_F(DataDocumentTest, PositionsFollowTheScreenAndStayReachable) {
  CNotesLocalInfo n;
  n.x = 100;
  n.y = 50;
  CNotesLocalInfo back = RoundTrip(n, kXga, kFullHd);
  EXPECT_NEAR(back.x, 100 * 1920 / 1024, 1);
  EXPECT_NEAR(back.y, 50 * 1080 / 768, 1);

  n.x = 5000;
  n.y = 4000;
  store::StoredPosition clamped = store::ClampedPosition(n, kXga);
  EXPECT_EQ(clamped.x, 1024 - 50) << "a save stores the place pulled inside the screen";
  EXPECT_EQ(clamped.y, 768 - 60);
  back = RoundTrip(n, kFullHd, kXga);  // saved on the large screen, back on the small one
  EXPECT_EQ(back.x, 1024 - 50);
  EXPECT_EQ(back.y, 768 - 60);

  n.x = -300;
  n.y = -20;
  back = RoundTrip(n);
  EXPECT_EQ(back.x, -300);
  EXPECT_EQ(back.y, -20);
}

TEST_F(DataDocumentTest, APlaceOnAMonitorRightOfOrBelowThePrimaryIsKept) {
  // A 1920 x 1080 primary with a second monitor of the same size right of it and one below
  // it: the desktop reaches to (3840, 2160). Places stay fractions of the primary's size.
  const ScreenSize twoWide{1920, 1080, 3840, 2160};
  CNotesLocalInfo n;
  n.x = 2500;
  n.y = 1500;
  const std::string block = store::NoteToXml(n, twoWide);
  EXPECT_NE(block.find("<position x=\"1.302083\" y=\"1.388889\""), std::string::npos) << block;
  CNotesLocalInfo back = RoundTrip(n, twoWide, twoWide);
  EXPECT_EQ(back.x, 2500);
  EXPECT_EQ(back.y, 1500);
  // Beyond the desktop it is pulled in by its right and bottom edges, not the primary's.
  n.x = 9000;
  n.y = 9000;
  const store::StoredPosition clamped = store::ClampedPosition(n, twoWide);
  EXPECT_EQ(clamped.x, 3840 - 50);
  EXPECT_EQ(clamped.y, 2160 - 60);
  EXPECT_EQ(n.x, 9000) << "the record is not changed";
  // Read where the second monitor is gone: inside the primary, as before.
  back = RoundTrip(n, twoWide, kFullHd);
  EXPECT_EQ(back.x, 1920 - 50);
}

TEST_F(DataDocumentTest, AwkwardValuesReadBackUnchanged) {
  CNotesLocalInfo n;
  n.rssurl = u"http://x/feed?a=1&b=2";
  n.content = u"<font>x</font>]]><br>]]]]>end]]";
  n.advlink_url = u"http://x/?q=a<b&amp;c";
  n.advlink_title = u"  two  spaces\tand tab ";
  n.group_name = u"a&b<c>\"d'";
  n.font_face = u"Font \"Q\"";
  n.tmpl.image = u"C:\\img\\\"x\"&lt;.png";
  n.tmpl.type = 1;
  n.tmpl.bkcolor_id = 6;
  n.tmpl.x1 = 0.25;
  n.textcolor = 0x00FF8040;
  n.alpha = 255;
  n.scrolly = -120;
  n.linespace = 6;
  n.font_size = 90;
  n.font_bold = 1;
  n.topmost = 1;
  n.visible = 0;
  n.locked = 1;
  n.in_desktop = 1;
  n.refresh_interval = 3600;
  n.create_time = -5;
  n.width = 333;
  n.height = 80;

  CNotesLocalInfo copy = n;
  std::string xml = store::NoteToXml(copy, kXga);
  EXPECT_NE(xml.find("<rssurl>http://x/feed?a=1&b=2</rssurl>"), std::string::npos) << "a plain '&' stays as it is";

  CNotesLocalInfo b = RoundTrip(n);
  EXPECT_EQ(b.rssurl, n.rssurl);
  EXPECT_EQ(b.content, n.content);
  EXPECT_EQ(b.advlink_url, n.advlink_url);
  EXPECT_EQ(b.advlink_title, n.advlink_title);
  EXPECT_EQ(b.group_name, n.group_name);
  EXPECT_EQ(b.font_face, n.font_face);
  EXPECT_EQ(b.tmpl.image, n.tmpl.image);
  EXPECT_EQ(b.tmpl.type, 1);
  EXPECT_EQ(b.tmpl.bkcolor_id, 6);
  EXPECT_DOUBLE_EQ(b.tmpl.x1, 0.25);
  EXPECT_EQ(b.textcolor, 0x00FF8040u);
  EXPECT_EQ(b.alpha, 255);
  EXPECT_EQ(b.scrolly, -120);
  EXPECT_EQ(b.linespace, 6);
  EXPECT_EQ(b.font_size, 90);
  EXPECT_EQ(b.font_bold, 1);
  EXPECT_EQ(b.topmost, 1);
  EXPECT_EQ(b.visible, 0);
  EXPECT_EQ(b.locked, 1);
  EXPECT_EQ(b.in_desktop, 1);
  EXPECT_EQ(b.refresh_interval, 3600);
  EXPECT_EQ(b.create_time, -5);
  EXPECT_EQ(b.width, 333);
  EXPECT_EQ(b.height, 80);
}

TEST_F(DataDocumentTest, SettingsAndLinksRoundTripInGbk) {
  ManagerData m;
  m.embed_desktop = 1;
  m.editnotes_menu = 1;
  m.hidenotes_menu = 0;
  m.topmost_menu = 0;
  m.exporttext_menu = 1;
  m.transparent_menu = 0;
  m.lock_menu = 1;
  m.show_notes_date = 1;
  m.smoothing = 0;
  m.ctrl_lclick = 1;
  m.just_bg_transparent = 1;
  m.last_shutdown_time = -7;
  m.usecount = 9;
  m.switchs = u"开关]]>x";
  m.hotkey_shownotes = u"CTRL:<";
  m.custom_links = {{u"新闻", u"http://例子/rss?a=1&b=2"}, {u"name]]>", u"u"}};
  m.remote_links = {{u"远程", u"http://r/"}};
  m.question = u"问题";
  m.password = "pw<&amp;";
  ManagerData b = SettingsRoundTrip(m);
  EXPECT_EQ(b.embed_desktop, 1);
  EXPECT_EQ(b.editnotes_menu, 1);
  EXPECT_EQ(b.hidenotes_menu, 0);
  EXPECT_EQ(b.topmost_menu, 0);
  EXPECT_EQ(b.exporttext_menu, 1);
  EXPECT_EQ(b.transparent_menu, 0);
  EXPECT_EQ(b.lock_menu, 1);
  EXPECT_EQ(b.show_notes_date, 1);
  EXPECT_EQ(b.smoothing, 0);
  EXPECT_EQ(b.ctrl_lclick, 1);
  EXPECT_EQ(b.just_bg_transparent, 1);
  EXPECT_EQ(b.last_shutdown_time, -7);
  EXPECT_EQ(b.usecount, 10);
  EXPECT_EQ(b.first_run, 0);
  EXPECT_FLOAT_EQ(b.version, 1.8f);
  EXPECT_EQ(b.switchs, m.switchs);
  EXPECT_EQ(b.hotkey_shownotes, m.hotkey_shownotes);
  EXPECT_EQ(b.custom_links, m.custom_links);
  EXPECT_EQ(b.remote_links, m.remote_links);
  EXPECT_EQ(b.question, u"") << "never read back";
  EXPECT_EQ(b.password, "");

  std::string text = store::BuildDataDocument({m, {}}, kXga);
  EXPECT_NE(text.find("<name><![CDATA[\xD0\xC2\xCE\xC5]]></name>"), std::string::npos) << "GBK bytes on disk";
  EXPECT_NE(text.find("<question><![CDATA[\xCE\xCA\xCC\xE2]]></question>"), std::string::npos);
}

TEST_F(DataDocumentTest, EscapingSkipsSecondBytesAndZeroBytesAreDropped) {
  EXPECT_EQ(store::XmlEscape("a&b<c>d'e\"f"), "a&amp;b&lt;c&gt;d&apos;e&quot;f");
  // In GBK, 0x81 0x40 is one character; under 932 a trail byte can be any of 0x40-0xFC.
  EXPECT_EQ(store::XmlEscape("\x81\x40&"), "\x81\x40&amp;");
  CNotesLocalInfo n;
  n.rssurl = std::u16string(u"ab") + u'\0' + u"cd";
  n.content = std::u16string(u"x") + u'\0' + u"y";
  CNotesLocalInfo b = RoundTrip(n);
  EXPECT_EQ(b.rssurl, u"abcd");
  EXPECT_EQ(b.content, u"xy");
}

TEST_F(DataDocumentTest, NumbersAreReadLikeTheCLibraryButNeverOverflow) {
  TiXmlDocument doc;
  ASSERT_EQ(store::ParseDataFile("<?xml version=\"1.0\"?><config ver=\"1e300\"><usecount>2147483647</usecount>"
                                 "<embed_desktop> 12abc</embed_desktop><lock_menu>x</lock_menu>"
                                 "<last_shutdown_time>-99999999999</last_shutdown_time>"
                                 "<newsnotes><note create_time=\"4294967295\"><position x=\"nan\" y=\"1e300\" "
                                 "width=\"-1\"/><transparent>300</transparent></note></newsnotes></config>",
                                 &doc),
            store::LoadStatus::kOk);
  ManagerData m;
  store::ReadSettings(doc.RootElement(), &m);
  EXPECT_EQ(m.usecount, 2147483647);
  EXPECT_EQ(m.embed_desktop, 12);
  EXPECT_EQ(m.lock_menu, 0);
  EXPECT_EQ(m.last_shutdown_time, INT32_MIN);
  EXPECT_GT(m.version, 1e30f);
  std::vector<CNotesLocalInfo> notes;
  store::ReadNotes(doc.RootElement(), kXga, 1, [&](const CNotesLocalInfo& r) { notes.push_back(r); return true; });
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_EQ(notes[0].x, 0) << "not a number: unchanged";
  EXPECT_EQ(notes[0].y, 768 - 60);
  EXPECT_EQ(notes[0].width, -1);
  EXPECT_EQ(notes[0].alpha, 300 & 0xFF);
}

}  // namespace
