// Local usage counters (event id -> count), kept in "statistics.dat" in the data folder and
// in the program folder, and reported to the maker's service with the configuration
// request. The file is ANSI text: "id=count," per counter in ascending id order, then one
// zero byte ("1=12,3=4," + '\0'; an empty table is a single zero byte).
#pragma once
#include <cstdint>
#include <map>
#include <string>

#include "platform/write_queue.h"

namespace store {

constexpr int32_t kEventLinkOpened = 1;  // a link in a widget opened in the browser
constexpr char16_t kStatisticsFileName[] = u"statistics.dat";

using CounterTable = std::map<int32_t, int32_t>;

// Parses the file's text (up to its first zero byte) into `table`, replacing entries with
// the same id. The text is a run of comma-ended segments; text after the last comma is
// ignored; a segment "A=B" sets id A to count B (C-style decimal conversion: leading white
// space, optional sign, digits, 0 when none, clamped to the 32-bit range); a segment
// without "=" is skipped. Commas and "=" are searched for character by character in the
// ANSI code page, so the second byte of a double-byte character never counts.
// Returns the number of segments skipped.
int ParseStatisticsText(const std::string& text, CounterTable* table);

// The file contents for a table, terminating zero byte included.
std::string FormatStatisticsFile(const CounterTable& table);

// "1%3D12%2C3%3D4%2C" for {1: 12, 3: 4}: each counter as id, "=", count, "," percent-encoded.
std::u16string FormatStatisticsQuery(const CounterTable& table);

// The counter table with its two file copies. The table is read lazily, at most once.
class StatisticsStore {
 public:
  // Folders end with a path separator; an empty data folder means "program folder only".
  StatisticsStore(std::u16string dataFolder, std::u16string appFolder);

  // Loads if not yet loaded, adds 1 to the event's count (saturating), saves. Returns the
  // result of the save.
  int CountEvent(int32_t id);
  // Loads if not yet loaded; the percent-encoded report (empty for an empty table).
  std::u16string GetStatisticsQuery();
  // Empties the table and saves it (without reading the file first).
  int ResetStatistics();
  // Reads the data-folder copy, or the program-folder copy when that one cannot be read.
  // Returns 1 when a file of at least two bytes was read and parsed, else 0. Marks the
  // table loaded in every case, so a file appearing later is not read in this process.
  int LoadStatistics();
  // Writes both copies, each atomically; returns 1 when the program-folder copy was
  // written, else 0 (a data-folder copy that cannot be written is only logged). With a
  // write queue the copies are written on its thread and 1 means they were queued.
  int SaveStatistics();
  void SetWriteQueue(platform::WriteQueue* queue) { queue_ = queue; }

  const CounterTable& table() const { return table_; }
  bool loaded() const { return loaded_; }

 private:
  std::u16string dataFolder_;
  std::u16string appFolder_;
  CounterTable table_;
  bool loaded_ = false;
  platform::WriteQueue* queue_ = nullptr;
};

// The process-wide store used by the program. Until SetStatisticsFolders is called it
// has no folders, and saving fails. A queue given must outlive the store's use; passing
// none (or calling again without one) makes saves synchronous.
void SetStatisticsFolders(const std::u16string& dataFolder, const std::u16string& appFolder,
                          platform::WriteQueue* queue = nullptr);
StatisticsStore& Statistics();

int CountEvent(int32_t id);
std::u16string GetStatisticsQuery();
int ResetStatistics();
int LoadStatistics();
int SaveStatistics();

}  // namespace store
