#include "config/config_service.h"

#include <thread>

#include "platform/log.h"

namespace config {

ConfigService::ConfigService(DocumentFetcher fetch, PictureDownloader pictures, JobRunner run)
    : fetch_(std::move(fetch)), pictures_(std::move(pictures)), run_(std::move(run)), shared_(std::make_shared<Shared>()) {}

ConfigService::~ConfigService() { shared_->abandoned = true; }

bool ConfigService::Start(const std::u16string& url, bool carriesStatistics, Done done) {
  bool idle = false;
  if (!shared_->running.compare_exchange_strong(idle, true)) return false;
  if (!run_) {
    std::thread(Run, shared_, fetch_, pictures_, url, carriesStatistics, std::move(done)).detach();
    return true;
  }
  auto job = [shared = shared_, fetch = fetch_, pictures = pictures_, url, carriesStatistics, done = std::move(done)] {
    Run(shared, fetch, pictures, url, carriesStatistics, done);
  };
  if (run_(std::move(job))) return true;
  LogDebug("no thread for the configuration request");
  shared_->running = false;
  return false;
}

std::shared_ptr<const AppConfig> ConfigService::Current() const {
  std::lock_guard<std::mutex> lock(shared_->mutex);
  return shared_->current;
}

void ConfigService::Run(std::shared_ptr<Shared> shared, DocumentFetcher fetch, PictureDownloader pictures,
                        std::u16string url, bool carriesStatistics, Done done) {
  ConfigOutcome outcome;
  outcome.carriedStatistics = carriesStatistics;
  std::string body;
  if (!fetch || !fetch(url, &body)) {
    LogDebug("download configure failed!");
  } else {
    auto record = std::make_shared<AppConfig>();
    ParseResult r = ParseAppConfig(body, record.get());
    if (r == ParseResult::kOk) {
      ResolvePictures(record.get(), pictures);
      std::lock_guard<std::mutex> lock(shared->mutex);
      shared->current = std::move(record);
      outcome.parsed = true;
    } else {
      LogDebug("%s", ParseResultText(r));
    }
  }
  shared->running = false;
  if (done && !shared->abandoned) done(outcome);
}

}  // namespace config
