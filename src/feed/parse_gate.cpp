#include "feed/parse_gate.h"

#include <chrono>

namespace feed {
namespace {

// How often a waiting reader looks at its stop flag (the exit waits for it).
constexpr std::chrono::milliseconds kStopCheck(50);

}  // namespace

ParseGate::ParseGate(size_t largeBytes, int atOnce) : largeBytes_(largeBytes), atOnce_(atOnce < 1 ? 1 : atOnce) {}

ParseGate::Pass::~Pass() {
  if (gate_) gate_->Leave();
}

ParseGate::Pass ParseGate::Enter(size_t bytes, const std::atomic<bool>* stop) {
  if (bytes < largeBytes_) return Pass(nullptr, true);
  std::unique_lock<std::mutex> lock(mutex_);
  while (inside_ >= atOnce_) {
    if (stop && *stop) return Pass(nullptr, false);
    freed_.wait_for(lock, kStopCheck);
  }
  if (stop && *stop) return Pass(nullptr, false);
  ++inside_;
  return Pass(this, true);
}

void ParseGate::Leave() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    --inside_;
  }
  freed_.notify_one();
}

int ParseGate::inside() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return inside_;
}

}  // namespace feed
