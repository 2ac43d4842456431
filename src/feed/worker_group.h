// Worker threads that can be told to stop and waited for with a bound: what the program
// needs at exit, when a worker blocked on a slow server must neither hold the exit up nor
// run on into the teardown of what it uses.
//
// Every job starts at once (a slow server never holds up another feed), but a thread that
// has finished its job waits a while for the next before it ends: the bursts the program
// makes (every widget refreshing at start-up or on the hour) reuse a few threads instead
// of starting one per request, and a thread costs memory for as long as it lives.
#pragma once
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

namespace feed {

class WorkerGroup {
 public:
  // A job sees the group's stop flag: it should give up soon after the flag is raised.
  using Job = std::function<void(const std::atomic<bool>& stop)>;

  // `linger`: how long an idle thread waits for another job before it ends.
  explicit WorkerGroup(std::chrono::milliseconds linger = std::chrono::milliseconds(5000));
  ~WorkerGroup();  // does not wait: workers keep what they share with the group alive
  WorkerGroup(const WorkerGroup&) = delete;
  WorkerGroup& operator=(const WorkerGroup&) = delete;

  // Runs `job` now, on an idle thread of the group or a new one; false (and nothing run)
  // once Stop was called.
  bool Start(Job job);

  // Raises the stop flag, refuses new jobs, ends the idle threads and waits until every
  // running job has ended or `bound` has passed. Returns how many jobs are still running.
  size_t Stop(std::chrono::milliseconds bound);

  size_t running() const;
  // Threads alive, busy or idle.
  size_t threads() const;

 private:
  struct State {
    std::atomic<bool> stop{false};
    std::chrono::milliseconds linger;
    mutable std::mutex mutex;
    std::condition_variable idle;  // no job is left
    std::condition_variable work;  // a job was queued, or stop raised
    std::deque<Job> queue;         // started jobs no thread has taken yet
    size_t running = 0;            // jobs started and not finished (queued ones too)
    size_t waiting = 0;            // idle threads waiting for a job
    size_t threads = 0;
  };
  static void Serve(const std::shared_ptr<State>& state);
  std::shared_ptr<State> state_;
};

}  // namespace feed
