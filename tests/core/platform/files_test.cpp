#include "platform/files.h"

#include <gtest/gtest.h>

#include "platform/text.h"
#include "test_util.h"

namespace {

std::u16string U(const std::string& s) { return platform::Utf8ToU16(s); }

TEST(Files, TempAndBackupNames) {
  EXPECT_EQ(platform::TempPathFor(u"C:\\a\\data.dat"), u"C:\\a\\data.tmp");
  EXPECT_EQ(platform::BackupPathFor(u"C:\\a\\data.dat"), u"C:\\a\\data.bak");
  EXPECT_EQ(platform::TempPathFor(u"C:\\a.b\\noext"), u"C:\\a.b\\noext.tmp");
  EXPECT_EQ(platform::TempPathFor(u"/x/y/statistics.dat"), u"/x/y/statistics.tmp");
}

TEST(Files, AtomicWriteReplacesAndKeepsBackup) {
  testutil::TempDir dir;
  auto target = U(dir.file("data.dat"));
  std::string err;
  ASSERT_TRUE(platform::WriteFileAtomic(target, "first", &err)) << err;
  ASSERT_TRUE(platform::WriteFileAtomic(target, std::string("second\0x", 8), &err)) << err;
  std::string got;
  ASSERT_TRUE(platform::ReadWholeFile(target, &got));
  EXPECT_EQ(got, std::string("second\0x", 8));
  ASSERT_TRUE(platform::ReadWholeFile(platform::BackupPathFor(target), &got));
  EXPECT_EQ(got, "first");
  EXPECT_FALSE(platform::FileExists(platform::TempPathFor(target)));
}

TEST(Files, FailedWriteLeavesTargetAlone) {
  testutil::TempDir dir;
  auto missing = U(dir.file("no-such-folder/data.dat"));
  std::string err;
  EXPECT_FALSE(platform::WriteFileAtomic(missing, "x", &err));
  EXPECT_FALSE(err.empty());
  std::string got;
  EXPECT_FALSE(platform::ReadWholeFile(missing, &got));
}

TEST(Files, CreateFolderMakesParents) {
  testutil::TempDir dir;
  auto deep = U(dir.file("a/b/c"));
  EXPECT_TRUE(platform::CreateFolder(deep));
  EXPECT_TRUE(platform::CreateFolder(deep)) << "an existing folder is fine";
  EXPECT_TRUE(platform::WriteFileAtomic(deep + u"/f.dat", "ok"));
  EXPECT_TRUE(platform::FileExists(deep + u"/f.dat"));
  EXPECT_FALSE(platform::FileExists(deep));
}

}  // namespace
