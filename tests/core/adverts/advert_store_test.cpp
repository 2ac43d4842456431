#include "adverts/advert_store.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/log.h"
#include "platform/text.h"
#include "store/data_store.h"
#include "test_util.h"

namespace {

using adverts::AdvertStore;
using adverts::SchedulerHost;

std::u16string U(const std::string& s) { return platform::Utf8ToU16(s); }

std::string Decode(std::string bytes) {
  store::UnscrambleData(reinterpret_cast<unsigned char*>(&bytes[0]), bytes.size());
  return bytes;
}

AdvertRecord Due(int32_t id, int64_t start, int32_t usergrade = 0) {
  AdvertRecord a;
  a.id = id;
  a.type = 1;
  a.position = 2;
  a.text = u"hello";
  a.url = u"http://example.com/";
  a.starttime = start;
  a.usergrade = usergrade;
  return a;
}

struct Fixture {
  testutil::TempDir dir;
  std::u16string folder = U(dir.path().string() + "/");
  std::string file = (dir.path() / "adv" / "config.dat").string();
};

TEST(AdvertFile, TextIsExactForAnEmptyStoreAndForTwoGroups) {
  EXPECT_EQ(adverts::BuildAdvertFileText(u"", {}),
            "<?xml version=\"1.0\" encoding=\"gb2312\"?>\r\n<config>\r\n"
            "\t<removed_advs></removed_advs>\r\n</config>");
  std::vector<AdvLinkGroup> groups{{6, {{u"A", u"http://a/"}, {U("新闻"), u"http://b/"}}}, {2, {{u"C", u"http://c/"}}}};
  const std::string text = adverts::BuildAdvertFileText(u"12,40,", groups);
  std::string name;
  platform::ToCodePage(936, U("新闻"), &name);
  EXPECT_EQ(text,
            "<?xml version=\"1.0\" encoding=\"gb2312\"?>\r\n<config>\r\n"
            "\t<removed_advs>12,40,</removed_advs>\r\n"
            "\t<advlinks>\r\n"
            "\t\t<advlink position=\"6\">\r\n"
            "\t\t\t<link>\r\n\t\t\t\t<name>A</name>\r\n\t\t\t\t<link>http://a/</link>\r\n\t\t\t</link>\r\n"
            "\t\t\t<link>\r\n\t\t\t\t<name>" + name + "</name>\r\n\t\t\t\t<link>http://b/</link>\r\n\t\t\t</link>\r\n"
            "\t\t</advlink>\r\n"
            "\t\t<advlink position=\"2\">\r\n"
            "\t\t\t<link>\r\n\t\t\t\t<name>C</name>\r\n\t\t\t\t<link>http://c/</link>\r\n\t\t\t</link>\r\n"
            "\t\t</advlink>\r\n"
            "\t</advlinks>\r\n"
            "</config>");

  // On disk: the text, one zero byte, scrambled; written through the store the same way.
  Fixture f;
  AdvertStore s(f.folder);
  s.ReplaceAdvLinkGroups(groups);
  const std::string bytes = testutil::ReadAll(f.file);
  EXPECT_EQ(bytes, adverts::EncodeAdvertFile(adverts::BuildAdvertFileText(u"", groups)));
  EXPECT_NE(bytes.substr(0, 5), "<?xml");
  EXPECT_EQ(Decode(bytes), adverts::BuildAdvertFileText(u"", groups) + std::string(1, '\0'));
}

TEST(AdvertFile, ServerTextIsEscapedAndReadsBackUnchanged) {
  std::vector<AdvLinkGroup> groups{{6, {{u"a<b>&\"c'", u"http://x/?a=1&b=2</link>"}}}};
  std::u16string retired;
  std::vector<AdvLinkGroup> back;
  ASSERT_EQ(adverts::ParseAdvertFile(adverts::EncodeAdvertFile(adverts::BuildAdvertFileText(u"5,", groups)),
                                     &retired, &back),
            adverts::AdvertFileStatus::kOk);
  EXPECT_EQ(retired, u"5,");
  ASSERT_EQ(back.size(), 1u);
  EXPECT_EQ(back[0].position, 6);
  ASSERT_EQ(back[0].links.size(), 1u);
  EXPECT_EQ(back[0].links[0].name, u"a<b>&\"c'");
  EXPECT_EQ(back[0].links[0].link, u"http://x/?a=1&b=2</link>");
}

TEST(AdvertFile, ReadingPlainTextTakesPositionsByRuleAndSkipsGroupsWithoutOne) {
  const std::string text =
      "<?xml version=\"1.0\"?><config><removed_advs>1,2,</removed_advs><advlinks>"
      "<advlink position=\"9\"><link><name>n</name></link><other/></advlink>"
      "<advlink><link><name>lost</name><link>u</link></link></advlink>"
      "<advlink position=\"6\"></advlink></advlinks></config>";
  std::u16string retired;
  std::vector<AdvLinkGroup> groups;
  ASSERT_EQ(adverts::ParseAdvertFile(text, &retired, &groups), adverts::AdvertFileStatus::kOk);
  EXPECT_EQ(retired, u"1,2,");
  ASSERT_EQ(groups.size(), 2u);
  EXPECT_EQ(groups[0].position, 1);
  ASSERT_EQ(groups[0].links.size(), 1u);  // empty address kept
  EXPECT_EQ(groups[0].links[0].link, u"");
  EXPECT_EQ(groups[1].position, 6);
  EXPECT_TRUE(groups[1].links.empty());

  // Short or broken files change nothing.
  retired = u"keep";
  EXPECT_EQ(adverts::ParseAdvertFile("<?x", &retired, &groups), adverts::AdvertFileStatus::kTooShort);
  EXPECT_EQ(adverts::ParseAdvertFile("<?xml <config><", &retired, &groups), adverts::AdvertFileStatus::kParseError);
  EXPECT_EQ(adverts::ParseAdvertFile(std::string(5000, '<'), &retired, &groups), adverts::AdvertFileStatus::kParseError);
  EXPECT_EQ(retired, u"keep");
  EXPECT_EQ(groups.size(), 2u);
}

TEST(AdvertStore, RetiredIdsMatchWholeIdsOnly) {
  EXPECT_TRUE(adverts::IsRetired(u"12,40,", 12));
  EXPECT_TRUE(adverts::IsRetired(u"12,40,", 40));
  EXPECT_FALSE(adverts::IsRetired(u"13,", 3));
  EXPECT_FALSE(adverts::IsRetired(u"13,", 1));
  EXPECT_FALSE(adverts::IsRetired(u"12,4", 4));  // no comma, no id
  EXPECT_TRUE(adverts::IsRetired(u"-1,", -1));
  EXPECT_FALSE(adverts::IsRetired(u"", 0));

  Fixture f;
  AdvertStore s(f.folder);
  s.RetireAdvert(13);
  s.AddAdverts({Due(3, 100), Due(13, 100), Due(3, 100)});  // 13 retired; 3 once
  EXPECT_EQ(s.storedCount(), 1u);
  s.RetireAdvert(13);
  EXPECT_EQ(s.retired(), u"13,");
}

TEST(AdvertStore, AdvLinksGiveAtMostTenOfThePositionInOrder) {
  Fixture f;
  AdvertStore s(f.folder);
  AdvLinkGroup a{6, {}}, other{2, {{u"x", u"http://x/"}}}, b{6, {}};
  for (int i = 0; i < 6; ++i) a.links.push_back({U("n" + std::to_string(i)), U("http://a/" + std::to_string(i))});
  for (int i = 6; i < 11; ++i) b.links.push_back({U("n" + std::to_string(i)), U("http://b/" + std::to_string(i))});
  s.ReplaceAdvLinkGroups({a, other, b});
  std::vector<AdvLink> links = s.GetAdvLinks(6);
  ASSERT_EQ(links.size(), 10u);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(links[i].name, U("n" + std::to_string(i)));
  EXPECT_EQ(s.GetAdvLinks(2).size(), 1u);
  EXPECT_TRUE(s.GetAdvLinks(1).empty());

  // The groups survive a restart.
  AdvertStore again(f.folder);
  EXPECT_EQ(again.Load(), 1);
  EXPECT_EQ(again.GetAdvLinks(6).size(), 10u);
}

TEST(AdvertStore, SchedulerShowsOnlyInsideTheWindowAndRetiresForGood) {
  Fixture f;
  std::vector<int32_t> shown;
  bool sibling = false;
  SchedulerHost host;
  host.usecount = 3;
  host.siblingRunning = [&] { return sibling; };
  host.show = [&](const AdvertRecord& a) { shown.push_back(a.id); };
  auto runAt = [&](AdvertStore& s, int64_t now) {
    host.now = now;
    return s.RunAdvertScheduler(host);
  };

  AdvertStore s(f.folder);
  AdvertRecord timed = Due(9, 1000);
  timed.position = 1;
  s.AddAdverts({Due(1, 1000), Due(2, 1000, 4), Due(3, 1000, 3), timed, Due(4, 2000)});
  EXPECT_EQ(runAt(s, 999), 0);   // before its start
  EXPECT_EQ(runAt(s, 1000), 2);  // at its start: 1 and 3; 2 waits for a later user; 9 never
  EXPECT_EQ(shown, (std::vector<int32_t>{1, 3}));
  EXPECT_EQ(runAt(s, 1010), 0);  // shown ones are gone
  EXPECT_EQ(s.retired(), u"1,3,");
  host.usecount = 4;
  EXPECT_EQ(runAt(s, 1021), 0);  // 21 s past: too late for 2, for ever
  EXPECT_EQ(runAt(s, 2021), 0);
  EXPECT_EQ(s.storedCount(), 3u);  // 2, 9 and 4 stay stored
  // While the sibling product runs, a due advert is retired without being shown.
  sibling = true;
  shown.clear();
  s.AddAdverts({Due(5, 3000)});
  EXPECT_EQ(runAt(s, 3020), 1);
  EXPECT_TRUE(shown.empty());
  EXPECT_EQ(s.retired(), u"1,3,5,");

  // After a restart the same configuration brings no retired advert back.
  sibling = false;
  AdvertStore next(f.folder);
  next.AddAdverts({Due(1, 5000), Due(3, 5000), Due(5, 5000), Due(13, 5000)});
  EXPECT_EQ(next.storedCount(), 1u);
  EXPECT_EQ(runAt(next, 5000), 1);
  EXPECT_EQ(shown, (std::vector<int32_t>{13}));
  const std::string text = Decode(testutil::ReadAll(f.file));
  EXPECT_NE(text.find("<removed_advs>1,3,5,13,</removed_advs>"), std::string::npos);
}

TEST(AdvertStore, LoadsOnceAndABadFileLeavesAnEmptyStore) {
  Fixture f;
  platform::SetLogPath(f.dir.file("log.txt"));
  AdvertStore missing(f.folder);
  EXPECT_EQ(missing.Load(), 0);
  EXPECT_EQ(missing.Load(), 1);  // not retried
  // A fresh installation has no file yet: noted, but no error.
  const std::string log = testutil::ReadAll(f.dir.file("log.txt"));
  EXPECT_NE(log.find("[debug] no adv\\config.dat yet"), std::string::npos) << log;
  EXPECT_EQ(log.find("[error]"), std::string::npos) << log;
  platform::SetLogPath("");

  std::filesystem::create_directories(f.dir.path() / "adv");
  testutil::WriteAll(f.file, adverts::EncodeAdvertFile("<config><removed_advs>7,</removed_advs>"));
  AdvertStore broken(f.folder);
  EXPECT_EQ(broken.Load(), 0);
  EXPECT_EQ(broken.retired(), u"");
  broken.AddAdverts({Due(7, 1)});
  EXPECT_EQ(broken.storedCount(), 1u);

  testutil::WriteAll(f.file, adverts::EncodeAdvertFile(adverts::BuildAdvertFileText(u"7,", {})));
  AdvertStore good(f.folder);
  good.AddAdverts({Due(7, 1)});  // loads first
  EXPECT_EQ(good.storedCount(), 0u);
  testutil::WriteAll(f.file, "");  // a later change on disk is not read again
  EXPECT_EQ(good.Load(), 1);
  EXPECT_EQ(good.retired(), u"7,");

  AdvertStore nowhere(u"");
  EXPECT_EQ(nowhere.Load(), 0);
  EXPECT_EQ(nowhere.Save(), 0);
}

TEST(AdvertStore, StoredAdvertsAreCappedOldestFirst) {
  Fixture f;
  AdvertStore s(f.folder);
  std::vector<AdvertRecord> many;
  for (int i = 0; i < static_cast<int>(adverts::kMaxStoredAdverts) + 5; ++i) many.push_back(Due(i, 100));
  s.AddAdverts(many);
  EXPECT_EQ(s.storedCount(), adverts::kMaxStoredAdverts);
  std::vector<int32_t> shown;
  SchedulerHost host;
  host.now = 100;
  host.show = [&](const AdvertRecord& a) { shown.push_back(a.id); };
  s.RunAdvertScheduler(host);
  ASSERT_EQ(shown.size(), adverts::kMaxStoredAdverts);
  EXPECT_EQ(shown.front(), 5);
}

}  // namespace
