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

TEST(WorkerGroup, ATicketCountsAsRunningUntilItsLastCopyGoes) {
  WorkerGroup group;
  WorkerGroup::Ticket ticket = group.Enter();
  ASSERT_NE(ticket, nullptr);
  EXPECT_FALSE(*ticket);
  WorkerGroup::Ticket copy = ticket;
  EXPECT_EQ(group.running(), 1u);
  std::thread holder([&copy] {
    std::this_thread::sleep_for(milliseconds(150));
    EXPECT_TRUE(*copy);  // the stop flag is up while it is held
    copy.reset();
  });
  ticket.reset();
  EXPECT_EQ(group.running(), 1u);
  auto begin = Clock::now();
  EXPECT_EQ(group.Stop(milliseconds(5000)), 0u);  // waits for the copy
  EXPECT_GE(Clock::now() - begin, milliseconds(100));
  holder.join();
  EXPECT_EQ(group.Enter(), nullptr);
  EXPECT_EQ(group.running(), 0u);
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

}  // namespace
}  // namespace feed
