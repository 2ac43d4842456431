#include "feed/parse_gate.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace feed {
namespace {

using namespace std::chrono_literals;

TEST(ParseGate, LargeDocumentsAreReadOneAtATimeAndSmallOnesPass) {
  ParseGate gate(1000, 1);
  ParseGate::Pass first = gate.Enter(1000, nullptr);
  ASSERT_TRUE(first);
  EXPECT_EQ(gate.inside(), 1);
  // A small document does not wait for the large one.
  EXPECT_TRUE(gate.Enter(999, nullptr));
  EXPECT_EQ(gate.inside(), 1);

  std::atomic<bool> secondIn{false};
  std::thread second([&] {
    ParseGate::Pass pass = gate.Enter(5000, nullptr);
    EXPECT_TRUE(pass);
    secondIn = true;
  });
  std::this_thread::sleep_for(150ms);
  EXPECT_FALSE(secondIn);
  { ParseGate::Pass done = std::move(first); }  // the first reader ends
  second.join();
  EXPECT_TRUE(secondIn);
  EXPECT_EQ(gate.inside(), 0);
}

TEST(ParseGate, AWaitingReaderGivesUpWhenStopped) {
  ParseGate gate(1, 1);
  ParseGate::Pass held = gate.Enter(10, nullptr);
  std::atomic<bool> stop{false};
  std::atomic<bool> admitted{true};
  auto start = std::chrono::steady_clock::now();
  std::thread waiter([&] { admitted = static_cast<bool>(gate.Enter(10, &stop)); });
  std::this_thread::sleep_for(100ms);
  stop = true;
  waiter.join();
  EXPECT_FALSE(admitted);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
  EXPECT_EQ(gate.inside(), 1);  // only the place still held
  // Raised before a place is asked for: none is given, even when one is free.
  ParseGate other(1, 2);
  EXPECT_FALSE(other.Enter(10, &stop));
  EXPECT_EQ(other.inside(), 0);
}

}  // namespace
}  // namespace feed
