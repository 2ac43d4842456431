// The statistics file parser over arbitrary bytes. The first byte picks the ANSI code page
// (single-byte, GBK, Shift-JIS, Big5). Whatever the input, a parsed table written back out
// must parse to the same table.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/text.h"
#include "store/statistics.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  static const int kCodePages[] = {1252, 936, 932, 950};
  platform::SetAnsiCodePageForTests(kCodePages[data[0] % 4]);
  std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
  store::CounterTable table;
  store::ParseStatisticsText(text, &table);
  std::string file = store::FormatStatisticsFile(table);
  store::CounterTable again;
  if (store::ParseStatisticsText(file, &again) != 0 || again != table) abort();
  std::u16string query = store::FormatStatisticsQuery(table);
  if (table.empty() != query.empty()) abort();
  return 0;
}
