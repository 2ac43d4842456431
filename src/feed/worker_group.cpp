#include "feed/worker_group.h"

#include <thread>
#include <utility>

namespace feed {

WorkerGroup::WorkerGroup(std::chrono::milliseconds linger) : state_(std::make_shared<State>()) {
  state_->linger = linger;
}

WorkerGroup::~WorkerGroup() {
  // Idle threads need not linger for a group nobody can give work to any more.
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->linger = std::chrono::milliseconds(0);
  state_->work.notify_all();
}

void WorkerGroup::Serve(const std::shared_ptr<State>& state) {
  std::unique_lock<std::mutex> lock(state->mutex);
  for (;;) {
    if (state->queue.empty()) {
      if (state->stop) break;
      ++state->waiting;
      const bool woken = state->work.wait_for(lock, state->linger, [&] {
        return !state->queue.empty() || state->stop || state->linger.count() == 0;
      });
      --state->waiting;
      if (!woken || state->queue.empty()) break;
    }
    Job job = std::move(state->queue.front());
    state->queue.pop_front();
    lock.unlock();
    job(state->stop);
    job = nullptr;  // what the job holds goes before it counts as ended
    lock.lock();
    if (--state->running == 0) state->idle.notify_all();
  }
  --state->threads;
}

bool WorkerGroup::Start(Job job) {
  std::shared_ptr<State> state = state_;
  std::lock_guard<std::mutex> lock(state->mutex);
  if (state->stop) return false;
  ++state->running;
  state->queue.push_back(std::move(job));
  // Each queued job needs a thread of its own: an idle one if enough wait, else a new one.
  if (state->waiting >= state->queue.size()) {
    state->work.notify_one();
    return true;
  }
  ++state->threads;
  std::thread([state] { Serve(state); }).detach();
  return true;
}

size_t WorkerGroup::Stop(std::chrono::milliseconds bound) {
  std::unique_lock<std::mutex> lock(state_->mutex);
  state_->stop = true;
  state_->work.notify_all();
  state_->idle.wait_for(lock, bound, [this] { return state_->running == 0; });
  return state_->running;
}

size_t WorkerGroup::running() const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->running;
}

size_t WorkerGroup::threads() const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->threads;
}

}  // namespace feed
