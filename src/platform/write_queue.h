// Atomic file writes done on a worker thread. A file that another program holds open is
// retried for a while by the atomic write; on the thread that runs the windows that would
// freeze the program, so the stores hand their bytes here instead. The worker starts with
// the first write and ends when it has had nothing to do for a while: saves come
// minutes apart, and a thread that waits costs memory all the same.
#pragma once
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "platform/files.h"

namespace platform {

class WriteQueue {
 public:
  // Told on the worker thread how a write ended (`error` and `failure` say why it failed).
  using Done = std::function<void(bool ok, const std::string& error, const WriteFailure& failure)>;

  explicit WriteQueue(std::chrono::milliseconds linger = std::chrono::milliseconds(3000));
  // Finishes every write still pending, then stops the worker.
  ~WriteQueue();
  WriteQueue(const WriteQueue&) = delete;
  WriteQueue& operator=(const WriteQueue&) = delete;

  // Queues an atomic write of `data` to `path`. A write to the same path that has not
  // started yet is replaced: only the newest contents matter.
  void Write(std::u16string path, std::string data, Done done = nullptr);
  // Waits until every queued write has ended.
  void Flush();
  // Whether the worker thread exists now.
  bool WorkerRunning();

 private:
  struct Job {
    std::u16string path;
    std::string data;
    Done done;
  };
  void Run();

  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable idle_;
  std::deque<Job> jobs_;
  bool busy_ = false;
  bool stopping_ = false;
  bool running_ = false;  // the worker has not decided to end
  const std::chrono::milliseconds linger_;
  std::thread worker_;
};

}  // namespace platform
