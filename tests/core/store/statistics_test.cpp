#include "store/statistics.h"

#include <gtest/gtest.h>

#include <limits>

#include "platform/text.h"
#include "test_util.h"

namespace {

using store::CounterTable;
using store::StatisticsStore;

std::u16string U(const std::string& s) { return platform::Utf8ToU16(s); }

CounterTable Parse(const std::string& text) {
  CounterTable t;
  store::ParseStatisticsText(text, &t);
  return t;
}

TEST(StatisticsText, SegmentsEndWithACommaAndTheRestIsIgnored) {
  EXPECT_EQ(Parse("1=5,2=7,"), (CounterTable{{1, 5}, {2, 7}}));
  EXPECT_EQ(Parse("1=5,2=7"), (CounterTable{{1, 5}}));
  EXPECT_EQ(Parse("x=3,"), (CounterTable{{0, 3}}));
  EXPECT_EQ(Parse("1-5,"), CounterTable{});
  EXPECT_EQ(Parse(""), CounterTable{});
  EXPECT_EQ(Parse(",,,"), CounterTable{});
  // A later segment replaces an earlier one with the same id; sign and spaces as in C.
  EXPECT_EQ(Parse("1=5, 1=9,-2= -4,+3=+8,"), (CounterTable{{1, 9}, {-2, -4}, {3, 8}}));
  // Digits stop at the first other character; "=" belongs to the segment before its comma.
  EXPECT_EQ(Parse("4=12abc,5x=2,6,=7,"), (CounterTable{{4, 12}, {5, 2}, {0, 7}}));
  // Text after the first zero byte is not part of the file.
  EXPECT_EQ(Parse(std::string("1=2,\0" "3=4,", 9)), (CounterTable{{1, 2}}));
}

TEST(StatisticsText, ParsingKeepsEarlierEntriesAndCountsSkippedSegments) {
  CounterTable t{{9, 1}};
  EXPECT_EQ(store::ParseStatisticsText("1-5,2=3,junk,", &t), 2);
  EXPECT_EQ(t, (CounterTable{{2, 3}, {9, 1}}));
}

TEST(StatisticsText, OutOfRangeNumbersAreClamped) {
  EXPECT_EQ(Parse("99999999999=1,1=-99999999999,2=2147483647,3=-2147483648,"),
            (CounterTable{{std::numeric_limits<int32_t>::max(), 1},
                          {1, std::numeric_limits<int32_t>::min()},
                          {2, std::numeric_limits<int32_t>::max()},
                          {3, std::numeric_limits<int32_t>::min()}}));
}

TEST(StatisticsText, SecondByteOfADoubleByteCharacterIsNeverASeparator) {
  // In the Chinese code page (936, as on the test systems) 0x81 starts a double-byte
  // character: the byte after it belongs to the character even when it is a comma or "=".
  ASSERT_EQ(platform::AnsiCodePage(), 936);
  const std::string text = "1=5\x81,2=6,7\x81=8,";
  // The first segment runs to the comma after 6; in "7\x81=8," the "=" is a second byte.
  EXPECT_EQ(Parse(text), (CounterTable{{1, 5}}));
  // Real GBK text around the numbers parses normally.
  EXPECT_EQ(Parse("\xD0\xC2=1,2=\xCE\xC5,"), (CounterTable{{0, 1}, {2, 0}}));
  // A lead byte as the very last byte is not read past.
  EXPECT_EQ(Parse("1=2,\x81"), (CounterTable{{1, 2}}));
#ifndef _WIN32
  // A single-byte code page has no lead bytes.
  platform::SetAnsiCodePageForTests(1252);
  EXPECT_EQ(Parse(text), (CounterTable{{1, 5}, {2, 6}, {7, 8}}));
  platform::SetAnsiCodePageForTests(936);
#endif
}

TEST(StatisticsText, FileAndQueryForms) {
  EXPECT_EQ(store::FormatStatisticsFile({{1, 12}, {3, 4}}), std::string("1=12,3=4,\0", 10));
  EXPECT_EQ(store::FormatStatisticsFile({}), std::string(1, '\0'));
  EXPECT_EQ(store::FormatStatisticsQuery({{1, 12}}), u"1%3D12%2C");
  EXPECT_EQ(store::FormatStatisticsQuery({{-1, 2}, {3, 4}}), u"-1%3D2%2C3%3D4%2C");
  EXPECT_EQ(store::FormatStatisticsQuery({}), u"");
  CounterTable round{{std::numeric_limits<int32_t>::min(), 5}, {7, std::numeric_limits<int32_t>::max()}};
  EXPECT_EQ(Parse(store::FormatStatisticsFile(round)), round);
}

class StatisticsStoreTest : public ::testing::Test {
 protected:
  std::string dataFile() const { return data_.file("statistics.dat"); }
  std::string appFile() const { return app_.file("statistics.dat"); }
  std::u16string dataFolder() const { return U(data_.path().string() + "/"); }
  std::u16string appFolder() const { return U(app_.path().string() + "/"); }

  testutil::TempDir data_, app_;
};

TEST_F(StatisticsStoreTest, FirstClickWithNoFileWritesBothCopies) {
  StatisticsStore s(dataFolder(), appFolder());
  EXPECT_EQ(s.CountEvent(store::kEventLinkOpened), 1);
  EXPECT_EQ(s.table(), (CounterTable{{1, 1}}));
  EXPECT_EQ(testutil::ReadAll(dataFile()), std::string("1=1,\0", 5));
  EXPECT_EQ(testutil::ReadAll(appFile()), std::string("1=1,\0", 5));
  s.CountEvent(1);
  s.CountEvent(3);
  EXPECT_EQ(testutil::ReadAll(appFile()), std::string("1=2,3=1,\0", 9));
  EXPECT_EQ(s.GetStatisticsQuery(), u"1%3D2%2C3%3D1%2C");
}

TEST_F(StatisticsStoreTest, LoadPrefersTheDataFolderAndFallsBackToTheProgramFolder) {
  testutil::WriteAll(dataFile(), std::string("1=5,2=7,\0", 9));
  testutil::WriteAll(appFile(), std::string("1=100,\0", 7));
  StatisticsStore a(dataFolder(), appFolder());
  EXPECT_EQ(a.LoadStatistics(), 1);
  EXPECT_EQ(a.table(), (CounterTable{{1, 5}, {2, 7}}));

  std::filesystem::remove(dataFile());
  StatisticsStore b(dataFolder(), appFolder());
  EXPECT_EQ(b.LoadStatistics(), 1);
  EXPECT_EQ(b.table(), (CounterTable{{1, 100}}));

  // A data-folder copy that exists but is too short is not replaced by the other copy.
  testutil::WriteAll(dataFile(), "1");
  StatisticsStore c(dataFolder(), appFolder());
  EXPECT_EQ(c.LoadStatistics(), 0);
  EXPECT_TRUE(c.table().empty());
}

TEST_F(StatisticsStoreTest, ShortFileLoadsNothingAndALaterFileIsNotRead) {
  for (const std::string& content : {std::string(), std::string("7")}) {
    testutil::WriteAll(appFile(), content);
    StatisticsStore s(u"", appFolder());
    EXPECT_EQ(s.LoadStatistics(), 0);
    EXPECT_TRUE(s.loaded());
    EXPECT_TRUE(s.table().empty());
    testutil::WriteAll(appFile(), std::string("1=9,\0", 5));
    EXPECT_EQ(s.GetStatisticsQuery(), u"");  // already loaded: the new file is not read
    EXPECT_EQ(s.CountEvent(1), 1);
    EXPECT_EQ(testutil::ReadAll(appFile()), std::string("1=1,\0", 5));
  }
}

TEST_F(StatisticsStoreTest, QueryLoadsOnceAndResetWritesASingleZeroByte) {
  testutil::WriteAll(dataFile(), std::string("1=12,\0", 6));
  StatisticsStore s(dataFolder(), appFolder());
  EXPECT_EQ(s.GetStatisticsQuery(), u"1%3D12%2C");
  EXPECT_EQ(s.ResetStatistics(), 1);
  EXPECT_EQ(testutil::ReadAll(dataFile()), std::string(1, '\0'));
  EXPECT_EQ(testutil::ReadAll(appFile()), std::string(1, '\0'));
  EXPECT_EQ(s.GetStatisticsQuery(), u"");
  EXPECT_EQ(s.CountEvent(1), 1);
  EXPECT_EQ(s.GetStatisticsQuery(), u"1%3D1%2C");
}

TEST_F(StatisticsStoreTest, EmptyDataFolderUsesOnlyTheProgramFolder) {
  StatisticsStore s(u"", appFolder());
  EXPECT_EQ(s.CountEvent(1), 1);
  EXPECT_EQ(testutil::ReadAll(appFile()), std::string("1=1,\0", 5));
  EXPECT_FALSE(std::filesystem::exists(dataFile()));
}

TEST_F(StatisticsStoreTest, UnwritableCopiesAreReportedWithoutLosingTheCount) {
  // The data-folder copy cannot be written: the program-folder copy still is.
  StatisticsStore a(U(data_.file("missing") + "/"), appFolder());
  EXPECT_EQ(a.CountEvent(1), 1);
  EXPECT_EQ(testutil::ReadAll(appFile()), std::string("1=1,\0", 5));
  // The program-folder copy cannot be written: failure, the count stays in memory.
  StatisticsStore b(dataFolder(), U(app_.file("missing") + "/"));
  EXPECT_EQ(b.CountEvent(1), 0);
  EXPECT_EQ(b.table(), (CounterTable{{1, 1}}));
  EXPECT_EQ(testutil::ReadAll(dataFile()), std::string("1=1,\0", 5));
  EXPECT_EQ(b.CountEvent(1), 0);
  EXPECT_EQ(b.table(), (CounterTable{{1, 2}}));
}

TEST_F(StatisticsStoreTest, CountSaturatesAndSavesGoThroughATemporaryFile) {
  testutil::WriteAll(appFile(), "1=2147483647,");
  StatisticsStore s(u"", appFolder());
  EXPECT_EQ(s.CountEvent(1), 1);
  EXPECT_EQ(s.table().at(1), std::numeric_limits<int32_t>::max());
  // The previous file is kept as the backup and no temporary file is left behind.
  EXPECT_EQ(testutil::ReadAll(app_.file("statistics.bak")), "1=2147483647,");
  EXPECT_FALSE(std::filesystem::exists(app_.file("statistics.tmp")));
}

TEST_F(StatisticsStoreTest, ProcessWideStoreUsesTheConfiguredFolders) {
  store::SetStatisticsFolders(dataFolder(), appFolder());
  EXPECT_EQ(store::CountEvent(1), 1);
  EXPECT_EQ(store::GetStatisticsQuery(), u"1%3D1%2C");
  EXPECT_EQ(store::ResetStatistics(), 1);
  EXPECT_EQ(testutil::ReadAll(appFile()), std::string(1, '\0'));
  store::SetStatisticsFolders(u"", u"");
  EXPECT_EQ(store::SaveStatistics(), 0);
}

}  // namespace
