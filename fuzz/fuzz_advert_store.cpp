// The advert file reader over arbitrary bytes (scrambled or plain). The first byte picks
// the ANSI code page. Whatever is read, writing it back and reading again must settle: a
// second round trip gives exactly what the first one gave.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "adverts/advert_store.h"
#include "platform/text.h"

namespace {

struct Read {
  std::u16string retired;
  std::vector<AdvLinkGroup> groups;
};

bool Same(const Read& a, const Read& b) {
  if (a.retired != b.retired || a.groups.size() != b.groups.size()) return false;
  for (size_t i = 0; i < a.groups.size(); ++i) {
    const AdvLinkGroup& x = a.groups[i];
    const AdvLinkGroup& y = b.groups[i];
    if (x.position != y.position || x.links.size() != y.links.size()) return false;
    for (size_t k = 0; k < x.links.size(); ++k) {
      if (x.links[k].name != y.links[k].name || x.links[k].link != y.links[k].link) return false;
    }
  }
  return true;
}

Read RoundTrip(const Read& in) {
  Read out;
  std::string bytes = adverts::EncodeAdvertFile(adverts::BuildAdvertFileText(in.retired, in.groups));
  if (adverts::ParseAdvertFile(bytes, &out.retired, &out.groups) != adverts::AdvertFileStatus::kOk) abort();
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  static const int kCodePages[] = {1252, 936, 932, 950};
  platform::SetAnsiCodePageForTests(kCodePages[data[0] % 4]);
  std::string bytes(reinterpret_cast<const char*>(data + 1), size - 1);
  Read first;
  if (adverts::ParseAdvertFile(bytes, &first.retired, &first.groups) != adverts::AdvertFileStatus::kOk) return 0;
  for (const AdvLinkGroup& g : first.groups) {
    if (g.position != 1 && g.position != 2 && g.position != 6) abort();
  }
  Read second = RoundTrip(first);
  Read third = RoundTrip(second);
  if (!Same(second, third)) abort();
  return 0;
}
