#include "platform/log.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <thread>
#include <vector>

#include "test_util.h"

namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> out;
  size_t start = 0;
  for (;;) {
    size_t p = text.find("\r\n", start);
    if (p == std::string::npos) break;
    out.push_back(text.substr(start, p - start));
    start = p + 2;
  }
  EXPECT_EQ(start, text.size()) << "text after the last CR LF";
  return out;
}

class LogTest : public ::testing::Test {
 protected:
  void SetUp() override { platform::SetLogPath(dir_.file("log.txt")); }
  void TearDown() override { platform::SetLogPath(""); }
  std::string Contents() { return testutil::ReadAll(dir_.file("log.txt")); }
  testutil::TempDir dir_;
};

TEST(LogFormat, LevelsAndTimestamp) {
  platform::LocalTime t;
  t.year = 2026; t.month = 3; t.day = 7; t.hour = 4; t.minute = 5; t.second = 9; t.millisecond = 7;
  EXPECT_EQ(platform::FormatLogLine(1, t, "x"), "2026-03-07 04:05:09.007 [error] x");
  EXPECT_EQ(platform::FormatLogLine(2, t, "y"), "2026-03-07 04:05:09.007 [debug] y");
  EXPECT_EQ(platform::FormatLogLine(3, t, "z"), "2026-03-07 04:05:09.007 [fatal error] z");
  EXPECT_EQ(platform::FormatLogLine(4, t, "z"), "");
  EXPECT_EQ(platform::FormatLogLine(0, t, "z"), "");
}

TEST_F(LogTest, EmptyFileGetsFirstLine) {
  testutil::WriteAll(dir_.file("log.txt"), "");
  LogError("load %s failed: %d", "data.dat", 3);
  auto lines = Lines(Contents());
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find(" [error] load data.dat failed: 3"), std::string::npos);
  EXPECT_EQ(lines[0].size(), std::string("2026-03-07 04:05:09.007 [error] load data.dat failed: 3").size());
}

TEST_F(LogTest, RollsAtExactlyOneThousandLines) {
  std::string seed;
  for (int i = 0; i < 1000; ++i) seed += "old line " + std::to_string(i) + "\r\n";
  testutil::WriteAll(dir_.file("log.txt"), seed);
  LogDebug("newest");
  auto lines = Lines(Contents());
  ASSERT_EQ(lines.size(), 1000u);
  EXPECT_EQ(lines.front(), "old line 1");  // the oldest line was dropped
  EXPECT_EQ(lines[998], "old line 999");
  EXPECT_NE(lines.back().find("[debug] newest"), std::string::npos);
}

TEST_F(LogTest, BelowLimitKeepsEverything) {
  std::string seed;
  for (int i = 0; i < 999; ++i) seed += "l" + std::to_string(i) + "\r\n";
  testutil::WriteAll(dir_.file("log.txt"), seed);
  LogError("a");
  EXPECT_EQ(Lines(Contents()).size(), 1000u);
  LogError("b");
  auto lines = Lines(Contents());
  EXPECT_EQ(lines.size(), 1000u);
  EXPECT_EQ(lines.front(), "l1");
}

TEST_F(LogTest, MissingPathOrFolderLosesLineQuietly) {
  platform::SetLogPath("");
  LogError("nowhere");
  platform::SetLogPath(dir_.file("no-such-folder/log.txt"));
  LogError("nowhere either");
  platform::SetLogPath(dir_.file("log.txt"));
  LogError("here");
  EXPECT_EQ(Lines(Contents()).size(), 1u);
}

TEST_F(LogTest, OverlongMessageIsCut) {
  std::string big(50000, 'x');
  LogError("%s", big.c_str());
  auto lines = Lines(Contents());
  ASSERT_EQ(lines.size(), 1u);
  size_t body = lines[0].size() - lines[0].find("] ") - 2;
  EXPECT_LT(body, 10240u + 3u);
  EXPECT_GT(body, 10000u);
}

TEST_F(LogTest, ConcurrentAppendsNeitherLoseNorTearLines) {
  constexpr int kThreads = 6, kPerThread = 60;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([t] {
      for (int i = 0; i < kPerThread; ++i) LogDebug("thread %d line %d end", t, i);
    });
  for (auto& th : threads) th.join();
  auto lines = Lines(Contents());
  ASSERT_EQ(lines.size(), static_cast<size_t>(kThreads * kPerThread));
  std::set<std::string> seen;
  for (const auto& l : lines) {
    size_t p = l.find("[debug] thread ");
    ASSERT_NE(p, std::string::npos) << l;
    ASSERT_EQ(l.substr(l.size() - 4), " end") << l;
    seen.insert(l.substr(p));
  }
  EXPECT_EQ(seen.size(), static_cast<size_t>(kThreads * kPerThread));
}

}  // namespace
