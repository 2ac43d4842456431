#include "store/data_store_win.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/app_win.h"
#include "platform/log.h"
#include "framework/handles_win.h"
#include "framework/wstr_win.h"
#include "platform/files.h"
#include "platform/text.h"
#include "test_util.h"
#include "store/data_store.h"

namespace {

std::u16string U(const std::string& utf8) { return platform::Utf8ToU16(utf8); }

std::string Unscrambled(const std::u16string& path) {
  std::string bytes;
  if (!platform::ReadWholeFile(path, &bytes)) return std::string();
  store::UnscrambleData(reinterpret_cast<unsigned char*>(&bytes[0]), bytes.size());
  return bytes;
}

// What a load gave: the outcome, the settings and the widget records.
struct Loaded {
  store::LoadOutcome outcome;
  DataSnapshot data;
};

class DataStoreWinTest : public ::testing::Test {
 protected:
  void SetUp() override {
    appFolder_ = U(app_.file("")) ;
    if (appFolder_.back() != u'\\') appFolder_ += u'\\';
    app::SetAppFolderForTests(std::wstring(reinterpret_cast<const wchar_t*>(appFolder_.c_str())));
    localRoot_ = U(local_.path().string());
    store::SetLocalAppDataFolderForTests(localRoot_);
    platform::SetLogPath(log_.file("log.txt"));
  }
  void TearDown() override {
    store::SetLocalAppDataFolderForTests(u"");
    app::SetAppFolderForTests(L"");
    platform::SetLogPath("");
  }
  std::string Log() { return testutil::ReadAll(log_.file("log.txt")); }
  std::u16string ProgramCopy() const { return appFolder_ + u"data.dat"; }
  std::u16string DataCopy() const { return localRoot_ + u"\\Vessaly\\data.dat"; }
  store::DataStore Store() const { return store::DataStore(store::GetDataFolder(), appFolder_); }
  // Loads as the program does: a newer file-virtualisation copy is brought back first.
  Loaded Load() const {
    store::MigrateVirtualStore(ProgramCopy());
    Loaded l;
    l.outcome = Store().Load({1024, 768}, 5, &l.data);
    return l;
  }

  // Writes a document holding `usecount` straight to `path`.
  void WriteDocument(const std::u16string& path, int usecount) {
    ManagerData m;
    m.usecount = usecount;
    ASSERT_EQ(store::WriteDataFile(store::BuildDataDocument({m, {}}, {1024, 768}), path, nullptr), 1);
  }

  testutil::TempDir app_, local_, log_;
  std::u16string appFolder_, localRoot_;
};

TEST_F(DataStoreWinTest, SaveWritesBothCopiesAndLoadPrefersTheDataFolder) {
  EXPECT_EQ(store::GetDataFolder(), localRoot_ + u"\\Vessaly\\");
  DataSnapshot m;
  m.settings.usecount = 4;
  m.settings.custom_links.push_back({u"新闻", u"http://x/rss?a=1&b=2"});
  CNotesLocalInfo w;
  w.rssurl = u"http://f/";
  w.x = 10;
  w.y = 20;
  m.widgets = {w, w};
  m.widgets[1].rssurl = u"http://g/";
  EXPECT_TRUE(Store().Save(m, {1024, 768}));
  for (const auto& path : {ProgramCopy(), DataCopy()}) {
    std::string text = Unscrambled(path);
    ASSERT_GT(text.size(), 10u);
    EXPECT_EQ(text.substr(text.size() - 10), std::string("</config>\0", 10));
    EXPECT_NE(text.find("<rssurl>http://g/</rssurl>"), std::string::npos);
  }
  EXPECT_FALSE(platform::FileExists(appFolder_ + u"data.tmp"));

  Loaded fresh = Load();
  EXPECT_EQ(fresh.outcome, store::LoadOutcome::kLoaded);
  EXPECT_EQ(fresh.data.settings.usecount, 5);
  ASSERT_EQ(fresh.data.widgets.size(), 2u);
  EXPECT_EQ(fresh.data.widgets[0].rssurl, u"http://f/");
  EXPECT_EQ(fresh.data.widgets[1].rssurl, u"http://g/");
  EXPECT_EQ(fresh.data.widgets[0].x, 10);
  EXPECT_EQ(fresh.data.widgets[0].y, 20);
  ASSERT_EQ(fresh.data.settings.custom_links.size(), 1u);
  EXPECT_EQ(fresh.data.settings.custom_links[0].url, u"http://x/rss?a=1&b=2");

  WriteDocument(ProgramCopy(), 100);
  WriteDocument(DataCopy(), 200);
  Loaded third = Load();
  EXPECT_TRUE(third.data.widgets.empty()) << "no widgets stored";
  EXPECT_EQ(third.data.settings.usecount, 201);
}

TEST_F(DataStoreWinTest, WhatALoadGivesASaveKeeps) {
  DataSnapshot m;
  CNotesLocalInfo w;
  w.rssurl = u"http://kept/";
  w.content = u"<font color=\"#000000\">内容</font>";
  m.widgets = {w};
  ASSERT_TRUE(Store().Save(m, {1024, 768}));

  Loaded once = Load();
  ASSERT_TRUE(Store().Save(once.data, {1024, 768}));
  Loaded twice = Load();
  ASSERT_EQ(twice.data.widgets.size(), 1u);
  EXPECT_EQ(twice.data.widgets[0].rssurl, u"http://kept/");
  EXPECT_EQ(twice.data.widgets[0].content, w.content);
  EXPECT_EQ(twice.data.settings.usecount, once.data.settings.usecount + 1);
}

TEST_F(DataStoreWinTest, ProgramFolderCopyWhenTheDataFolderIsUnavailable) {
  // A file where the folder should be: the folder can neither exist nor be made.
  testutil::WriteAll(local_.file("Vessaly"), "in the way");
  EXPECT_EQ(store::GetDataFolder(), u"");
  DataSnapshot m;
  m.settings.usecount = 8;
  EXPECT_TRUE(Store().Save(m, {1024, 768}));
  EXPECT_TRUE(platform::FileExists(ProgramCopy()));
  EXPECT_EQ(Load().data.settings.usecount, 9);
}

TEST_F(DataStoreWinTest, NoFileAnywhereIsAFirstRunWithDefaults) {
  Loaded l = Load();
  EXPECT_EQ(l.outcome, store::LoadOutcome::kNoDocument);
  EXPECT_EQ(Log().find("[error]"), std::string::npos) << "a fresh installation is no error: " << Log();
  EXPECT_NE(Log().find("[debug] no data.dat yet"), std::string::npos) << Log();
  const ManagerData& m = l.data.settings;
  EXPECT_EQ(m.usecount, 1);
  EXPECT_EQ(m.first_run, 1);
  EXPECT_EQ(m.hotkey_shownotes, u"ALT:Q");
  EXPECT_EQ(m.last_shutdown_time, 1200);
  EXPECT_FLOAT_EQ(m.version, 1.5f);
  EXPECT_TRUE(l.data.widgets.empty());
}

TEST_F(DataStoreWinTest, DamagedOrMissingCopiesFallBackToTheOtherCopyAndTheBackups) {
  ASSERT_FALSE(store::GetDataFolder().empty());
  WriteDocument(ProgramCopy(), 10);
  WriteDocument(DataCopy(), 20);
  WriteDocument(DataCopy(), 30);  // data.bak now holds 20
  testutil::WriteAll(platform::U16ToUtf8(DataCopy()), "garbage that is no document");
  EXPECT_EQ(Load().data.settings.usecount, 11) << "the program-folder copy";
  EXPECT_NE(Log().find("parse xml error!"), std::string::npos);

  platform::RemoveFile(ProgramCopy());
  EXPECT_EQ(Load().data.settings.usecount, 21) << "the data folder's backup";

  testutil::WriteAll(platform::U16ToUtf8(DataCopy()), "ab");
  EXPECT_EQ(Load().data.settings.usecount, 21);
  EXPECT_NE(Log().find("invalid file \"data.dat!\""), std::string::npos);
}

TEST_F(DataStoreWinTest, FailedSaveLeavesThePreviousFileAndLogs) {
  WriteDocument(ProgramCopy(), 3);
  const std::string before = Unscrambled(ProgramCopy());
  {
    // Another program holds the file without letting it be replaced.
    fw::UniqueFile holder(CreateFileW(as_wcstr(ProgramCopy()), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(holder);
    ManagerData m;
    m.usecount = 4;
    EXPECT_EQ(store::WriteDataFile(store::BuildDataDocument({m, {}}, {800, 600}), ProgramCopy(), nullptr), 0);
  }
  EXPECT_NE(Log().find("save xml:rename file fail! error:"), std::string::npos) << Log();
  EXPECT_EQ(Unscrambled(ProgramCopy()), before);
  EXPECT_FALSE(platform::FileExists(appFolder_ + u"data.tmp"));

  EXPECT_EQ(store::WriteDataFile("<x/>", appFolder_ + u"no\\such\\data.dat", nullptr), 0);
  EXPECT_NE(Log().find("save xml:open file fail! error:3"), std::string::npos) << Log();
}

TEST_F(DataStoreWinTest, VirtualStoreCopyComesBackWhenNewer) {
  ASSERT_EQ(ProgramCopy()[0], localRoot_[0]) << "both on one drive";
  const std::u16string stored = localRoot_ + u"\\VirtualStore\\" + ProgramCopy().substr(3);
  ASSERT_TRUE(platform::CreateFolder(stored.substr(0, stored.rfind(u'\\'))));

  auto setTime = [](const std::u16string& path, int64_t ticks) {
    fw::UniqueFile f(CreateFileW(as_wcstr(path), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, 0, nullptr));
    FILETIME t;
    t.dwLowDateTime = static_cast<DWORD>(ticks);
    t.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    SetFileTime(f.get(), nullptr, nullptr, &t);
  };
  const int64_t kOld = 130000000000000000LL, kNew = 130000000100000000LL;

  // Older than the program copy: left alone.
  WriteDocument(ProgramCopy(), 1);
  WriteDocument(stored, 2);
  setTime(ProgramCopy(), kNew);
  setTime(stored, kOld);
  store::MigrateVirtualStore(ProgramCopy());
  EXPECT_TRUE(platform::FileExists(stored));
  EXPECT_EQ(Load().data.settings.usecount, 2) << "the program copy (the data folder has none)";

  // Newer: it replaces the program copy and goes away. Loading migrates first.
  setTime(stored, kNew + 1);
  EXPECT_EQ(Load().data.settings.usecount, 3);
  EXPECT_FALSE(platform::FileExists(stored));

  // No program copy at all: the stored one is brought back.
  WriteDocument(stored, 7);
  platform::RemoveFile(ProgramCopy());
  platform::RemoveFile(platform::BackupPathFor(ProgramCopy()));
  store::MigrateVirtualStore(ProgramCopy());
  EXPECT_FALSE(platform::FileExists(stored));
  EXPECT_EQ(Load().data.settings.usecount, 8);
}

TEST_F(DataStoreWinTest, PathFromHandleGivesTheDrivePath) {
  WriteDocument(ProgramCopy(), 1);
  fw::UniqueFile f(CreateFileW(as_wcstr(ProgramCopy()), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                               nullptr));
  ASSERT_TRUE(f);
  std::u16string got = store::GetPathFromHandle(f.get());
  EXPECT_EQ(CompareStringOrdinal(as_wcstr(got), -1, as_wcstr(ProgramCopy()), -1, TRUE), CSTR_EQUAL)
      << platform::U16ToUtf8(got);
  f.reset();
  std::u16string actual;
  ASSERT_EQ(store::WriteDataFile("<config/>", ProgramCopy(), &actual), 1);
  EXPECT_EQ(CompareStringOrdinal(as_wcstr(actual), -1, as_wcstr(ProgramCopy()), -1, TRUE), CSTR_EQUAL);
  EXPECT_EQ(store::GetPathFromHandle(INVALID_HANDLE_VALUE), u"");
}

}  // namespace
