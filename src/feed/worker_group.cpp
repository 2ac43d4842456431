#include "feed/worker_group.h"

#include <thread>

namespace feed {

WorkerGroup::WorkerGroup() : state_(std::make_shared<State>()) {}

WorkerGroup::~WorkerGroup() = default;

bool WorkerGroup::Start(Job job) {
  std::shared_ptr<State> state = state_;
  {
    std::lock_guard<std::mutex> lock(state->mutex);
    if (state->stop) return false;
    ++state->running;
  }
  std::thread([state, job = std::move(job)]() {
    job(state->stop);
    std::lock_guard<std::mutex> lock(state->mutex);
    if (--state->running == 0) state->idle.notify_all();
  }).detach();
  return true;
}

size_t WorkerGroup::Stop(std::chrono::milliseconds bound) {
  std::unique_lock<std::mutex> lock(state_->mutex);
  state_->stop = true;
  state_->idle.wait_for(lock, bound, [this] { return state_->running == 0; });
  return state_->running;
}

size_t WorkerGroup::running() const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->running;
}

}  // namespace feed
