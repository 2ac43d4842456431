// Parses arbitrary text as the HTML subset and applies its tags, checking that every tag
// range stays inside the object list.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/text.h"
#include "richtext/html_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::u16string text = platform::Utf8ToU16(std::string(reinterpret_cast<const char*>(data), size));
  richtext::CHtmlParser parser;
  if (parser.Parse(text) != (text.empty() ? 0 : 1)) abort();
  int objects = 0, tags = 0;
  parser.GetObjects(&objects);
  richtext::CHtmlTag* const* list = parser.GetTags(&tags);
  for (int i = 0; i < tags; ++i) {
    const richtext::CHtmlTag* t = list[i];
    if (t->GetAttrCount() > richtext::CHtmlTag::kMaxAttributes) abort();
    if (t->GetStart() == -1 && t->GetEnd() == -1) continue;
    if (t->GetStart() < 0 || t->GetStart() > t->GetEnd() || t->GetEnd() > objects) abort();
  }
  richtext::ApplyHtmlTags(parser, 0, 90);
  return 0;
}
