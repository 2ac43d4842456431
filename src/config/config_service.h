// The remote configuration request: one worker at a time fetches the document, parses it
// and makes its pictures local into a new record, which then replaces the record in
// force under a short lock. Readers take a snapshot, so neither side waits on the
// network. The transport comes in as functions, so the Windows layer passes its HTTP
// client and tests pass a fake.
#pragma once
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "config/app_config.h"
#include "config/config_request.h"

namespace config {

// Fetches `url` into `body`; false (and a logged reason) on any failure.
using DocumentFetcher = std::function<bool(const std::u16string& url, std::string* body)>;
// Runs `job` on a thread that may wait on the network; false when none could be had.
using JobRunner = std::function<bool(std::function<void()> job)>;

struct ConfigOutcome {
  bool parsed = false;             // a document was fetched and parsed
  bool carriedStatistics = false;  // its request reported the usage counts
};

class ConfigService {
 public:
  // Called on the worker thread after the running mark was cleared.
  using Done = std::function<void(const ConfigOutcome&)>;

  // Requests run through `run` when given (a thread the program already has), else on a
  // thread of their own.
  ConfigService(DocumentFetcher fetch, PictureDownloader pictures, JobRunner run = nullptr);
  // A worker still running finishes on its own and reports to nobody.
  ~ConfigService();
  ConfigService(const ConfigService&) = delete;
  ConfigService& operator=(const ConfigService&) = delete;

  // Starts a request for `url` unless one is running (then returns false and drops it).
  bool Start(const std::u16string& url, bool carriesStatistics, Done done);
  bool running() const { return shared_->running.load(); }

  // The record in force, or null before the first successful response.
  std::shared_ptr<const AppConfig> Current() const;

 private:
  struct Shared {
    std::atomic<bool> running{false};
    std::atomic<bool> abandoned{false};
    mutable std::mutex mutex;  // guards `current` only, never held across I/O
    std::shared_ptr<const AppConfig> current;
  };
  static void Run(std::shared_ptr<Shared> shared, DocumentFetcher fetch, PictureDownloader pictures,
                  std::u16string url, bool carriesStatistics, Done done);

  DocumentFetcher fetch_;
  PictureDownloader pictures_;
  JobRunner run_;
  std::shared_ptr<Shared> shared_;
};

}  // namespace config
