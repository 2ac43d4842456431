#include "feed/worker_group.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <chrono>
#include <thread>

namespace feed {
namespace {

using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

bool WaitUntil(const std::function<bool()>& done, milliseconds bound = milliseconds(5000)) {
  auto end = Clock::now() + bound;
  while (!done()) {
    if (Clock::now() > end) return false;
    std::this_thread::sleep_for(milliseconds(5));
  }
  return true;
}

TEST(WorkerGroup, StopWaitsForJobsThatHeedTheFlag) {
  WorkerGroup group;
  std::atomic<int> started{0}, finished{0};
  for (int i = 0; i < 4; ++i) {
    ASSERT_TRUE(group.Start([&](const std::atomic<bool>& stop) {
      ++started;
      while (!stop) std::this_thread::sleep_for(milliseconds(2));
      std::this_thread::sleep_for(milliseconds(30));  // some cleanup after the flag
      ++finished;
    }));
  }
  ASSERT_TRUE(WaitUntil([&] { return started == 4; }));
  EXPECT_EQ(group.running(), 4u);
  EXPECT_EQ(group.Stop(milliseconds(5000)), 0u);
  EXPECT_EQ(finished, 4);
  // A stopped group runs nothing more.
  bool ran = false;
  EXPECT_FALSE(group.Start([&](const std::atomic<bool>&) { ran = true; }));
  std::this_thread::sleep_for(milliseconds(20));
  EXPECT_FALSE(ran);
}

TEST(WorkerGroup, StopGivesUpOnAStuckJobAtTheBoundAndTheJobStillEndsSafely) {
  auto group = std::make_unique<WorkerGroup>();
  std::atomic<bool> release{false}, ended{false};
  ASSERT_TRUE(group->Start([&](const std::atomic<bool>&) {
    while (!release) std::this_thread::sleep_for(milliseconds(2));  // ignores the flag
    ended = true;
  }));
  auto begin = Clock::now();
  EXPECT_EQ(group->Stop(milliseconds(200)), 1u);
  auto waited = Clock::now() - begin;
  EXPECT_GE(waited, milliseconds(190));
  EXPECT_LT(waited, milliseconds(3000));
  // The group object may go before its last job: the job keeps the shared state.
  group.reset();
  release = true;
  EXPECT_TRUE(WaitUntil([&] { return ended.load(); }));
}

TEST(WorkerGroup, JobsRunInParallel) {
  WorkerGroup group;
  std::atomic<int> inside{0}, most{0}, done{0};
  for (int i = 0; i < 8; ++i) {
    group.Start([&](const std::atomic<bool>&) {
      int now = ++inside;
      int seen = most;
      while (now > seen && !most.compare_exchange_weak(seen, now)) {}
      std::this_thread::sleep_for(milliseconds(100));
      --inside;
      ++done;
    });
  }
  ASSERT_TRUE(WaitUntil([&] { return done == 8; }));
  EXPECT_GT(most, 1);
  EXPECT_EQ(group.Stop(milliseconds(1000)), 0u);
}

TEST(WorkerGroup, JobsOneAfterAnotherReuseAThreadThatEndsWhenIdleLongEnough) {
  WorkerGroup group(milliseconds(300));
  std::atomic<int> done{0};
  std::thread::id first;
  bool sameThread = true;
  for (int i = 0; i < 5; ++i) {
    ASSERT_TRUE(group.Start([&, i](const std::atomic<bool>&) {
      if (i == 0) first = std::this_thread::get_id();
      else if (std::this_thread::get_id() != first) sameThread = false;
      ++done;
    }));
    ASSERT_TRUE(WaitUntil([&] { return done == i + 1 && group.running() == 0; }));
  }
  EXPECT_TRUE(sameThread);
  EXPECT_EQ(group.threads(), 1u);
  EXPECT_TRUE(WaitUntil([&] { return group.threads() == 0; }, milliseconds(3000)));
  // After the idle thread has gone, a new job still runs.
  ASSERT_TRUE(group.Start([&](const std::atomic<bool>&) { ++done; }));
  EXPECT_TRUE(WaitUntil([&] { return done == 6; }));
  EXPECT_EQ(group.Stop(milliseconds(1000)), 0u);
}

TEST(WorkerGroup, AJobNeverWaitsForABusyThreadAndStopEndsIdleOnes) {
  WorkerGroup group(milliseconds(60000));
  std::atomic<bool> release{false};
  std::atomic<int> inside{0}, done{0};
  // One thread goes idle first; then more jobs at once than idle threads.
  ASSERT_TRUE(group.Start([&](const std::atomic<bool>&) { ++done; }));
  ASSERT_TRUE(WaitUntil([&] { return done == 1 && group.running() == 0; }));
  for (int i = 0; i < 6; ++i) {
    ASSERT_TRUE(group.Start([&](const std::atomic<bool>&) {
      ++inside;
      while (!release) std::this_thread::sleep_for(milliseconds(2));
      ++done;
    }));
  }
  EXPECT_TRUE(WaitUntil([&] { return inside == 6; }));
  EXPECT_EQ(group.threads(), 6u);
  release = true;
  ASSERT_TRUE(WaitUntil([&] { return done == 7 && group.running() == 0; }));
  EXPECT_EQ(group.Stop(milliseconds(1000)), 0u);
  EXPECT_TRUE(WaitUntil([&] { return group.threads() == 0; }, milliseconds(2000)));
}

}  // namespace
}  // namespace feed
