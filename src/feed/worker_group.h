// Detached worker threads that can be told to stop and waited for with a bound: what the
// program needs at exit, when a worker blocked on a slow server must neither hold the
// exit up nor run on into the teardown of what it uses.
#pragma once
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

namespace feed {

class WorkerGroup {
 public:
  // A job sees the group's stop flag: it should give up soon after the flag is raised.
  using Job = std::function<void(const std::atomic<bool>& stop)>;

  WorkerGroup();
  ~WorkerGroup();  // does not wait: workers keep what they share with the group alive
  WorkerGroup(const WorkerGroup&) = delete;
  WorkerGroup& operator=(const WorkerGroup&) = delete;

  // Runs `job` on a new thread of its own; false (and nothing run) once Stop was called.
  bool Start(Job job);

  // For a job that runs on a thread it does not own (a download's, say): it counts as
  // running until the last copy of the returned ticket is gone, and the ticket points at
  // the stop flag. Null (and nothing counted) once Stop was called.
  using Ticket = std::shared_ptr<const std::atomic<bool>>;
  Ticket Enter();

  // Raises the stop flag, refuses new jobs and waits until every running job has ended
  // or `bound` has passed. Returns how many jobs are still running.
  size_t Stop(std::chrono::milliseconds bound);

  size_t running() const;

 private:
  struct State {
    std::atomic<bool> stop{false};
    mutable std::mutex mutex;
    std::condition_variable idle;
    size_t running = 0;
  };
  std::shared_ptr<State> state_;
};

}  // namespace feed
