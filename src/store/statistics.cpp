#include "store/statistics.h"

#include <limits>
#include <memory>

#include "platform/log.h"
#include "platform/files.h"
#include "store/data_store.h"

namespace store {
namespace {

// Index of the first `c` in text[from, end) stepping over double-byte characters, or end.
size_t FindChar(const std::string& text, size_t from, size_t end, char c) {
  size_t i = from;
  while (i < end) {
    if (text[i] == c) return i;
    i += IsAnsiLeadByte(static_cast<unsigned char>(text[i])) ? 2 : 1;
  }
  return end;
}

bool IsCSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// C-style decimal conversion of text[from, end): leading white space, optional sign, the
// digits up to the first other character; 0 when there are none. Out-of-range values are
// clamped rather than left undefined.
int32_t ToInt32(const std::string& text, size_t from, size_t end) {
  size_t i = from;
  while (i < end && IsCSpace(text[i])) ++i;
  bool negative = false;
  if (i < end && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  int64_t value = 0;
  constexpr int64_t kLimit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
  for (; i < end && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > kLimit) value = kLimit;
  }
  if (negative) return static_cast<int32_t>(-value);
  return static_cast<int32_t>(value > kLimit - 1 ? kLimit - 1 : value);
}

}  // namespace

int ParseStatisticsText(const std::string& text, CounterTable* table) {
  size_t end = text.find('\0');
  if (end == std::string::npos) end = text.size();
  int skipped = 0;
  size_t start = 0;
  for (;;) {
    size_t comma = FindChar(text, start, end, ',');
    if (comma >= end) break;  // text after the last comma is not a segment
    size_t eq = FindChar(text, start, comma, '=');
    if (eq < comma) {
      (*table)[ToInt32(text, start, eq)] = ToInt32(text, eq + 1, comma);
    } else {
      ++skipped;
    }
    start = comma + 1;
  }
  return skipped;
}

namespace {
// Every counter in ascending id order, each through `separator` between id and count and
// `terminator` after the count.
std::string JoinCounters(const CounterTable& table, const char* separator, const char* terminator) {
  std::string out;
  for (const auto& [id, count] : table) out += std::to_string(id) + separator + std::to_string(count) + terminator;
  return out;
}
}  // namespace

std::string FormatStatisticsFile(const CounterTable& table) {
  std::string out = JoinCounters(table, "=", ",");
  out.push_back('\0');
  return out;
}

std::u16string FormatStatisticsQuery(const CounterTable& table) {
  std::string out = JoinCounters(table, "%3D", "%2C");
  return std::u16string(out.begin(), out.end());  // ASCII only
}

StatisticsStore::StatisticsStore(std::u16string dataFolder, std::u16string appFolder)
    : dataFolder_(std::move(dataFolder)), appFolder_(std::move(appFolder)) {}

int StatisticsStore::CountEvent(int32_t id) {
  if (!loaded_) LoadStatistics();
  int32_t& count = table_[id];
  if (count < std::numeric_limits<int32_t>::max()) ++count;
  return SaveStatistics();
}

std::u16string StatisticsStore::GetStatisticsQuery() {
  if (!loaded_) LoadStatistics();
  return FormatStatisticsQuery(table_);
}

int StatisticsStore::ResetStatistics() {
  table_.clear();
  return SaveStatistics();
}

int StatisticsStore::LoadStatistics() {
  loaded_ = true;
  constexpr size_t kMinFileSize = 2;  // shorter files hold no counter
  std::string bytes;
  bool read = !dataFolder_.empty() && platform::ReadWholeFile(dataFolder_ + kStatisticsFileName, &bytes);
  if (!read) read = !appFolder_.empty() && platform::ReadWholeFile(appFolder_ + kStatisticsFileName, &bytes);
  if (!read || bytes.size() < kMinFileSize) return 0;
  int skipped = ParseStatisticsText(bytes, &table_);
  if (skipped > 0) LogError("statistics.dat: %d malformed counter(s) skipped", skipped);
  return 1;
}

int StatisticsStore::SaveStatistics() {
  std::string text = FormatStatisticsFile(table_);
  if (queue_) {
    // Written on the queue's thread: a copy held by another program never stalls a click.
    auto logFailure = [](const char* where) {
      return [where](bool ok, const std::string& error, const platform::WriteFailure&) {
        if (!ok) LogError("write statistics.dat in the %s failed: %s", where, error.c_str());
      };
    };
    if (!dataFolder_.empty()) queue_->Write(dataFolder_ + kStatisticsFileName, text, logFailure("data folder"));
    if (appFolder_.empty()) return 0;
    queue_->Write(appFolder_ + kStatisticsFileName, text, logFailure("program folder"));
    return 1;
  }
  std::string error;
  if (!dataFolder_.empty() && !platform::WriteFileAtomic(dataFolder_ + kStatisticsFileName, text, &error))
    LogError("write statistics.dat in the data folder failed: %s", error.c_str());
  if (appFolder_.empty()) return 0;
  if (!platform::WriteFileAtomic(appFolder_ + kStatisticsFileName, text, &error)) {
    LogError("write statistics.dat in the program folder failed: %s", error.c_str());
    return 0;
  }
  return 1;
}

namespace {
std::unique_ptr<StatisticsStore>& GlobalStore() {
  static std::unique_ptr<StatisticsStore> store = std::make_unique<StatisticsStore>(u"", u"");
  return store;
}
}  // namespace

void SetStatisticsFolders(const std::u16string& dataFolder, const std::u16string& appFolder,
                          platform::WriteQueue* queue) {
  GlobalStore() = std::make_unique<StatisticsStore>(dataFolder, appFolder);
  GlobalStore()->SetWriteQueue(queue);
}

StatisticsStore& Statistics() { return *GlobalStore(); }

int CountEvent(int32_t id) { return Statistics().CountEvent(id); }
std::u16string GetStatisticsQuery() { return Statistics().GetStatisticsQuery(); }
int ResetStatistics() { return Statistics().ResetStatistics(); }
int LoadStatistics() { return Statistics().LoadStatistics(); }
int SaveStatistics() { return Statistics().SaveStatistics(); }

}  // namespace store
