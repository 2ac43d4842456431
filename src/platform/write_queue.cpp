#include "platform/write_queue.h"

#include <utility>

namespace platform {

WriteQueue::WriteQueue(std::chrono::milliseconds linger) : linger_(linger) {}

WriteQueue::~WriteQueue() {
  {
    std::unique_lock<std::mutex> lock(mutex_);
    stopping_ = true;
    idle_.wait(lock, [this] { return !lent_; });  // a lender's thread is still writing
  }
  wake_.notify_all();
  if (worker_.joinable()) worker_.join();
}

bool WriteQueue::WorkerRunning() {
  std::lock_guard<std::mutex> lock(mutex_);
  return running_ && !lent_;
}

void WriteQueue::SetLender(Lender lender) {
  std::lock_guard<std::mutex> lock(mutex_);
  lender_ = std::move(lender);
}

void WriteQueue::Write(std::u16string path, std::string data, Done done) {
  Lender lender;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (Job& job : jobs_) {
      if (job.path == path) {
        job.data = std::move(data);
        job.done = std::move(done);
        return;
      }
    }
    jobs_.push_back(Job{std::move(path), std::move(data), std::move(done)});
    if (running_) {
      wake_.notify_one();
      return;
    }
    // A worker that has decided to end no longer needs the lock: it can be joined here.
    if (worker_.joinable()) worker_.join();
    running_ = true;  // writes queued from now on wait for whoever takes this one
    lent_ = static_cast<bool>(lender_);
    lender = lender_;
  }
  // Offered outside the lock: the lender may run the job before it returns.
  if (lender && lender([this] {
        std::unique_lock<std::mutex> lock(mutex_);
        Drain(lock, false);
        running_ = false;
        lent_ = false;
        idle_.notify_all();
      }))
    return;
  std::lock_guard<std::mutex> lock(mutex_);
  lent_ = false;
  idle_.notify_all();
  worker_ = std::thread([this] { Run(); });
}

void WriteQueue::Flush() {
  std::unique_lock<std::mutex> lock(mutex_);
  idle_.wait(lock, [this] { return jobs_.empty() && !busy_; });
}

void WriteQueue::Run() {
  std::unique_lock<std::mutex> lock(mutex_);
  Drain(lock, true);
  running_ = false;
  idle_.notify_all();
}

void WriteQueue::Drain(std::unique_lock<std::mutex>& lock, bool linger) {
  for (;;) {
    if (linger) {
      if (!wake_.wait_for(lock, linger_, [this] { return stopping_ || !jobs_.empty(); })) break;  // idle long enough
    }
    if (jobs_.empty()) break;  // stopping or lent, and nothing left to write
    Job job = std::move(jobs_.front());
    jobs_.pop_front();
    busy_ = true;
    lock.unlock();
    std::string error;
    WriteFailure failure;
    bool ok = WriteFileAtomic(job.path, job.data, &error, &failure);
    if (job.done) job.done(ok, error, failure);
    lock.lock();
    busy_ = false;
    if (jobs_.empty()) idle_.notify_all();
  }
}

}  // namespace platform
