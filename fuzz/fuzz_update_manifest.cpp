// The update manifest over arbitrary bytes: the cut-out values, the version packing and
// the offer decision never fail, and an address the decision would download from is
// always an allowed web address with a safe installer name.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "config/app_config.h"
#include "platform/text.h"
#include "update/update_core.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  static const int kCodePages[] = {1252, 936, 932, 950};
  platform::SetAnsiCodePageForTests(kCodePages[data[0] % 4]);
  std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
  update::Manifest m = update::ExtractManifest(text);
  std::u16string version, message, url;
  platform::FromCodePage(platform::AnsiCodePage(), m.version, &version);
  platform::FromCodePage(platform::AnsiCodePage(), m.message, &message);
  platform::FromCodePage(platform::AnsiCodePage(), m.url, &url);
  update::OfferDecision d = update::DecideOffer(version, message, url, u"1.0.0.0", u"", true);
  if (d.kind == update::OfferKind::kOffer && d.text.compare(0, 6, u"发现新版本v") != 0) abort();
  if (update::ActionForUrl(url, false) == update::OfferAction::kDownload) {
    if (!config::IsWebAddress(url)) abort();
    std::u16string name = update::InstallerFileName(url);
    if (name.empty() || name.find_first_of(u"/\\:") != std::u16string::npos) abort();
  }
  update::DigestMatches(m.sha256, text);
  uint8_t b[4] = {0, 0, 0, 0};
  update::ParseVersion(text, b);
  return 0;
}
