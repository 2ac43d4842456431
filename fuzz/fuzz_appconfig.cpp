// The remote configuration parser over arbitrary bytes. The first byte picks the ANSI code
// page. Whatever the input, the record respects its limits, every stored entry is
// complete and every advert valid.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "config/app_config.h"
#include "config/config_request.h"
#include "platform/text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  static const int kCodePages[] = {1252, 936, 932, 950};
  platform::SetAnsiCodePageForTests(kCodePages[data[0] % 4]);
  std::string bytes(reinterpret_cast<const char*>(data + 1), size - 1);
  config::AppConfig c;
  config::ParseResult r = config::ParseAppConfig(bytes, &c);
  if (r != config::ParseResult::kOk && (!c.adverts.empty() || !c.newsSources.empty())) abort();
  if (c.newsSources.size() > config::kMaxNewsSources || c.adverts.size() > config::kMaxAdverts ||
      c.advLinkGroups.size() > config::kMaxLinkGroups)
    abort();
  for (const auto& s : c.newsSources)
    if (s.name.empty() || s.url.empty()) abort();
  for (const auto& g : c.advLinkGroups)
    if (g.links.empty() || g.links.size() > config::kMaxLinksPerGroup) abort();
  for (const auto& a : c.adverts)
    if (!config::IsAdvertValid(a)) abort();
  config::ResolvePictures(&c, [](const std::u16string& url) {
    std::u16string name = config::SafePictureFileName(url);
    if (name.find_first_of(u"/\\:") != std::u16string::npos) abort();
    return name.empty() ? name : u"/adv/" + name;
  });
  for (const auto& a : c.adverts)
    if (!a.pic.empty() && a.pic.compare(0, 5, u"/adv/") != 0) abort();
  config::ParseConfigTime(bytes);
  return 0;
}
