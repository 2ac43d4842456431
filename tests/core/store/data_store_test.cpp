// data.dat in its two places, through the store's value interface: what a load gives for a
// fresh installation, a damaged one and a saved one, and that a queued save reaches both
// copies.
#include <gtest/gtest.h>

#include <chrono>
#include <vector>
#include <mutex>
#include <functional>
#include <condition_variable>
#include <thread>

#include <atomic>
#include <filesystem>
#include <string>

#include "platform/log.h"
#include "platform/text.h"
#include "platform/write_queue.h"
#include "store/data_store.h"
#include "test_util.h"

namespace {

constexpr store::ScreenSize kXga{1024, 768};

class DataStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::SetAnsiCodePageForTests(936);
    std::filesystem::create_directory(dir_.path() / "data");
    std::filesystem::create_directory(dir_.path() / "app");
    platform::SetLogPath(dir_.file("log.txt"));
  }
  void TearDown() override { platform::SetLogPath(""); }

  std::u16string Folder(const char* name) { return platform::Utf8ToU16(dir_.file(name) + "/"); }
  store::DataStore Store(platform::WriteQueue* queue = nullptr) {
    return store::DataStore(Folder("data"), Folder("app"), queue);
  }
  static DataSnapshot OneWidget(const std::u16string& url) {
    DataSnapshot s;
    s.settings.custom_links.push_back({u"我的", u"http://example.com/mine"});
    CNotesLocalInfo w;
    w.rssurl = url;
    w.content = u"<font color=\"#000000\">新闻</font>";
    w.create_time = 1300000000;
    w.x = 5000;  // off the screen: stored pulled inside it
    w.y = 10;
    s.widgets.push_back(w);
    return s;
  }

  testutil::TempDir dir_;
};

TEST_F(DataStoreTest, FreshInstallationIsTheFirstLoad) {
  DataSnapshot got;
  EXPECT_EQ(Store().Load(kXga, 7, &got), store::LoadOutcome::kNoDocument);
  EXPECT_EQ(got.settings.usecount, 1);
  EXPECT_EQ(got.settings.first_run, 1);
  EXPECT_TRUE(got.widgets.empty());

  // Saved and loaded again, the count goes on and the first run is over.
  ASSERT_TRUE(Store().Save(got, kXga));
  DataSnapshot second;
  ASSERT_EQ(Store().Load(kXga, 7, &second), store::LoadOutcome::kLoaded);
  EXPECT_EQ(second.settings.usecount, 2);
  EXPECT_EQ(second.settings.first_run, 0);
}

TEST_F(DataStoreTest, GarbageEverywhereIsNotAFirstLoad) {
  testutil::WriteAll(dir_.file("data/data.dat"), std::string(100, '\x7f'));
  testutil::WriteAll(dir_.file("app/data.dat"), "<?xml version=\"1.0\"?><config><unclosed>");
  DataSnapshot got;
  std::u16string aside;
  EXPECT_EQ(Store().Load(kXga, 7, &got, &aside), store::LoadOutcome::kUnusable);
  EXPECT_EQ(got.settings.usecount, 0);
  EXPECT_EQ(got.settings.first_run, 0);

  // Both unreadable copies are kept under names that the next save does not touch.
  EXPECT_EQ(aside, Folder("data") + u"data-unreadable-1.dat");
  EXPECT_EQ(testutil::ReadAll(dir_.file("data/data-unreadable-1.dat")), std::string(100, '\x7f'));
  EXPECT_EQ(testutil::ReadAll(dir_.file("app/data-unreadable-1.dat")), "<?xml version=\"1.0\"?><config><unclosed>");
  EXPECT_NE(testutil::ReadAll(dir_.file("log.txt")).find("data-unreadable-1.dat"), std::string::npos);
  ASSERT_TRUE(Store().Save(got, kXga));
  EXPECT_EQ(testutil::ReadAll(dir_.file("data/data-unreadable-1.dat")), std::string(100, '\x7f'));

  // A second unreadable file never overwrites the first one kept.
  testutil::WriteAll(dir_.file("data/data.dat"), "garbage again");
  testutil::WriteAll(dir_.file("data/data.bak"), "garbage again");
  testutil::WriteAll(dir_.file("app/data.dat"), "garbage again");
  testutil::WriteAll(dir_.file("app/data.bak"), "garbage again");
  aside.clear();
  EXPECT_EQ(Store().Load(kXga, 7, &got, &aside), store::LoadOutcome::kUnusable);
  EXPECT_EQ(aside, Folder("data") + u"data-unreadable-2.dat");
  EXPECT_EQ(testutil::ReadAll(dir_.file("data/data-unreadable-1.dat")), std::string(100, '\x7f'));
}

TEST_F(DataStoreTest, SaveWritesBothCopiesAndTheRecordsComeBack) {
  ASSERT_TRUE(Store().Save(OneWidget(u"http://example.com/rss?a=1&b=2"), kXga));
  EXPECT_EQ(testutil::ReadAll(dir_.file("data/data.dat")), testutil::ReadAll(dir_.file("app/data.dat")));

  std::filesystem::remove(dir_.file("data/data.dat"));
  std::filesystem::remove(dir_.file("data/data.bak"));
  DataSnapshot got;
  ASSERT_EQ(Store().Load(kXga, 7, &got), store::LoadOutcome::kLoaded) << "the program-folder copy serves";
  ASSERT_EQ(got.widgets.size(), 1u);
  EXPECT_EQ(got.widgets[0].rssurl, u"http://example.com/rss?a=1&b=2");
  EXPECT_EQ(got.widgets[0].content, u"<font color=\"#000000\">新闻</font>");
  EXPECT_EQ(got.widgets[0].x, 1024 - 50);
  EXPECT_EQ(got.widgets[0].y, 10);
  ASSERT_EQ(got.settings.custom_links.size(), 1u);
  EXPECT_EQ(got.settings.custom_links[0].name, u"我的");
}

TEST_F(DataStoreTest, QueuedSavesKeepOnlyTheNewestAndFinishBeforeTheQueueEnds) {
  {
    platform::WriteQueue queue;
    store::DataStore store = Store(&queue);
    for (int i = 0; i < 50; ++i) {
      store.Save(OneWidget(u"http://example.com/" + platform::Utf8ToU16(std::to_string(i))), kXga);
    }
  }  // the queue's end waits for the last write
  DataSnapshot got;
  ASSERT_EQ(Store().Load(kXga, 7, &got), store::LoadOutcome::kLoaded);
  ASSERT_EQ(got.widgets.size(), 1u);
  EXPECT_EQ(got.widgets[0].rssurl, u"http://example.com/49");
  EXPECT_EQ(testutil::ReadAll(dir_.file("data/data.dat")), testutil::ReadAll(dir_.file("app/data.dat")));
}

TEST_F(DataStoreTest, CharactersTheCodePageCannotHoldComeBack) {
  const std::u16string title = u"😀 한국어 العربية & 新闻 &#65;";
  DataSnapshot s = OneWidget(u"http://example.com/한국어?a=1&b=2");
  s.widgets[0].content = u"<a href=\"http://x/\">" + title + u"</a>";
  s.widgets[0].advlink_title = title;
  s.settings.custom_links.push_back({title, u"http://example.com/😀"});
  ASSERT_TRUE(Store().Save(s, kXga));

  DataSnapshot got;
  ASSERT_EQ(Store().Load(kXga, 7, &got), store::LoadOutcome::kLoaded);
  ASSERT_EQ(got.widgets.size(), 1u);
  EXPECT_EQ(got.widgets[0].content, s.widgets[0].content);
  EXPECT_EQ(got.widgets[0].advlink_title, title);
  EXPECT_EQ(got.widgets[0].rssurl, s.widgets[0].rssurl);
  ASSERT_EQ(got.settings.custom_links.size(), 2u);
  EXPECT_EQ(got.settings.custom_links[1].name, title);
  EXPECT_EQ(got.settings.custom_links[1].url, u"http://example.com/😀");
  EXPECT_EQ(got.settings.custom_links[0].name, u"我的") << "text the code page holds is untouched";

  // Only the elements that needed references are marked.
  std::string text = store::BuildDataDocument(s, kXga);
  EXPECT_NE(text.find("<content chars=\"ncr\"><![CDATA[<a href=\"http://x/\">&#128512; "), std::string::npos);
  EXPECT_NE(text.find("<name><![CDATA["), std::string::npos);
  EXPECT_EQ(text.find("?", text.find("<config")), text.find("?a=1")) << "no character became '?'";
}

TEST(WriteQueue, WritesInOrderReportsFailuresAndFlushes) {
  testutil::TempDir dir;
  platform::WriteQueue queue;
  const std::u16string a = platform::Utf8ToU16(dir.file("a.txt"));
  const std::u16string bad = platform::Utf8ToU16(dir.file("missing-folder/b.txt"));
  std::atomic<int> ok{0}, failed{0};
  auto count = [&](bool good, const std::string& error, const platform::WriteFailure&) {
    (good ? ok : failed)++;
    if (!good) {
      EXPECT_FALSE(error.empty());
    }
  };
  queue.Write(a, "first", count);
  queue.Write(bad, "never", count);
  queue.Flush();
  EXPECT_EQ(testutil::ReadAll(dir.file("a.txt")), "first");
  EXPECT_EQ(ok.load(), 1);
  EXPECT_EQ(failed.load(), 1);
  queue.Write(a, "second", count);
  queue.Flush();
  EXPECT_EQ(testutil::ReadAll(dir.file("a.txt")), "second");
}

TEST(WriteQueue, WritesGoToALendersIdleThreadWhenItHasOneAndTheEndWaitsForThem) {
  testutil::TempDir dir;
  const std::u16string a = platform::Utf8ToU16(dir.file("a.txt"));
  const std::u16string b = platform::Utf8ToU16(dir.file("b.txt"));
  // The lender's thread: takes jobs while `lending`, and starts each only after a pause,
  // so that writes queued meanwhile join the one it took and the queue's end has to wait.
  std::mutex m;
  std::condition_variable cv;
  std::vector<std::function<void()>> handed;
  bool lending = true, over = false;
  int offers = 0;
  std::thread lenderThread([&] {
    std::unique_lock<std::mutex> lock(m);
    for (;;) {
      cv.wait(lock, [&] { return over || !handed.empty(); });
      if (handed.empty()) return;
      auto job = std::move(handed.front());
      handed.erase(handed.begin());
      lock.unlock();
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      job();
      lock.lock();
    }
  });
  const std::thread::id lenderId = lenderThread.get_id();
  std::atomic<int> onLender{0}, elsewhere{0};
  auto where = [&](bool, const std::string&, const platform::WriteFailure&) {
    (std::this_thread::get_id() == lenderId ? onLender : elsewhere)++;
  };
  {
    platform::WriteQueue queue(std::chrono::milliseconds(50));
    queue.SetLender([&](std::function<void()> job) {
      std::lock_guard<std::mutex> lock(m);
      ++offers;
      if (!lending) return false;
      handed.push_back(std::move(job));
      cv.notify_one();
      return true;
    });
    queue.Write(a, "one", where);
    queue.Write(b, "two", where);  // taken by the same lent job
    EXPECT_FALSE(queue.WorkerRunning());
    queue.Flush();
    EXPECT_EQ(testutil::ReadAll(dir.file("a.txt")), "one");
    EXPECT_EQ(testutil::ReadAll(dir.file("b.txt")), "two");
    EXPECT_EQ(onLender.load(), 2);
    EXPECT_EQ(offers, 1);

    // No idle thread to lend: the queue's own worker writes.
    {
      std::lock_guard<std::mutex> lock(m);
      lending = false;
    }
    queue.Write(a, "three", where);
    EXPECT_TRUE(queue.WorkerRunning());
    queue.Flush();
    EXPECT_EQ(elsewhere.load(), 1);
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (queue.WorkerRunning() && std::chrono::steady_clock::now() < end)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_FALSE(queue.WorkerRunning());

    // Lent again, and the queue ends before the lender's thread has begun the job.
    {
      std::lock_guard<std::mutex> lock(m);
      lending = true;
    }
    queue.Write(a, "last", where);
  }
  EXPECT_EQ(testutil::ReadAll(dir.file("a.txt")), "last");
  EXPECT_EQ(onLender.load(), 3);
  {
    std::lock_guard<std::mutex> lock(m);
    over = true;
  }
  cv.notify_one();
  lenderThread.join();

  // A lender that runs the job before it returns.
  platform::WriteQueue inline_queue;
  inline_queue.SetLender([](std::function<void()> job) {
    job();
    return true;
  });
  inline_queue.Write(a, "inline");
  inline_queue.Flush();
  EXPECT_EQ(testutil::ReadAll(dir.file("a.txt")), "inline");
  EXPECT_FALSE(inline_queue.WorkerRunning());
}

TEST(WriteQueue, TheWorkerComesWithAWriteGoesWhenIdleAndWritesQueuedAtTheEndAreMade) {
  testutil::TempDir dir;
  const std::u16string a = platform::Utf8ToU16(dir.file("a.txt"));
  {
    platform::WriteQueue queue(std::chrono::milliseconds(50));
    EXPECT_FALSE(queue.WorkerRunning());
    for (int round = 0; round < 3; ++round) {
      queue.Write(a, "round " + std::to_string(round));
      EXPECT_TRUE(queue.WorkerRunning());
      queue.Flush();
      EXPECT_EQ(testutil::ReadAll(dir.file("a.txt")), "round " + std::to_string(round));
      auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
      while (queue.WorkerRunning() && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
      EXPECT_FALSE(queue.WorkerRunning()) << "round " << round;
    }
    // Writes racing the worker's decision to end are never lost.
    for (int i = 0; i < 200; ++i) {
      queue.Write(platform::Utf8ToU16(dir.file("r" + std::to_string(i % 4) + ".txt")), std::to_string(i));
      if (i % 20 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(45 + i % 10));
    }
    queue.Write(a, "last");  // the queue's end writes what is pending
  }
  EXPECT_EQ(testutil::ReadAll(dir.file("a.txt")), "last");
  for (int k = 0; k < 4; ++k) EXPECT_EQ(testutil::ReadAll(dir.file("r" + std::to_string(k) + ".txt")), std::to_string(196 + k));
}

}  // namespace
