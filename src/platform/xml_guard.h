// A guard in front of every TinyXML parse. The parser is recursive, so a document nested
// far deeper than any real one (hostile or broken) would exhaust the stack. The guard
// measures the nesting without parsing and the caller refuses what is too deep.
#pragma once
#include <cstddef>

namespace platform {

// No document this program reads nests anywhere near this deep.
constexpr size_t kMaxXmlNesting = 256;

// An upper bound of the element nesting TinyXML reaches in `text` (its first `len` bytes),
// in any of its encodings: comments, CDATA sections, declarations and quoted attribute
// values are skipped the way the parser skips them, and a walk that ends early never
// undercounts. Counting stops once the bound exceeds `limit`.
size_t XmlNestingBound(const char* text, size_t len, size_t limit);

// True when `text` nests no deeper than kMaxXmlNesting.
inline bool XmlNestingAcceptable(const char* text, size_t len) {
  return XmlNestingBound(text, len, kMaxXmlNesting) <= kMaxXmlNesting;
}

}  // namespace platform
