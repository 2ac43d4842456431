#include "feed/worker_group.h"

#include <thread>

namespace feed {

WorkerGroup::WorkerGroup() : state_(std::make_shared<State>()) {}

WorkerGroup::~WorkerGroup() = default;

bool WorkerGroup::Start(Job job) {
  Ticket ticket = Enter();
  if (!ticket) return false;
  std::thread([ticket, job = std::move(job)]() { job(*ticket); }).detach();
  return true;
}

WorkerGroup::Ticket WorkerGroup::Enter() {
  std::shared_ptr<State> state = state_;
  {
    std::lock_guard<std::mutex> lock(state->mutex);
    if (state->stop) return nullptr;
    ++state->running;
  }
  // Shares the flag's lifetime with the state; the last copy's end counts the job out.
  return Ticket(&state->stop, [state](const std::atomic<bool>*) {
    std::lock_guard<std::mutex> lock(state->mutex);
    if (--state->running == 0) state->idle.notify_all();
  });
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
