// Atomic file writes done on a worker thread. A file that another program holds open is
// retried for a while by the atomic write; on the thread that runs the windows that would
// freeze the program, so the stores hand their bytes here instead. The worker starts with
// the first write and ends when it has had nothing to do for a while: saves come
// minutes apart, and a thread that waits costs memory all the same. Where the program has
// an idle thread at hand (a download thread waiting for work, say), a lender can run the
// writes there instead, and no thread is made for them.
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

  // Runs `job` on an idle thread of someone else's at once and returns true, or returns
  // false (and drops `job`) when it has none idle now. A job it took must run: the queue's
  // end waits for it.
  using Lender = std::function<bool(std::function<void()> job)>;

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
  // Writes that find no worker running are first offered to `lender`'s thread, which
  // makes them all and returns; only when it declines is a worker made. Set before the
  // first write.
  void SetLender(Lender lender);

 private:
  struct Job {
    std::u16string path;
    std::string data;
    Done done;
  };
  void Run();
  // Makes the queued writes; `lock` holds mutex_. With `linger`, waits that long for more
  // before it returns; it also returns when stopping.
  void Drain(std::unique_lock<std::mutex>& lock, bool linger);

  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable idle_;
  std::deque<Job> jobs_;
  bool busy_ = false;
  bool stopping_ = false;
  bool running_ = false;  // the worker has not decided to end
  bool lent_ = false;     // writes are being made on a lender's thread
  Lender lender_;
  const std::chrono::milliseconds linger_;
  std::thread worker_;
};

}  // namespace platform
