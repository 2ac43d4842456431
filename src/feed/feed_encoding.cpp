// Which encoding a downloaded document is in, and its text as UTF-8.
#include "feed/feed_encoding.h"

#include <cctype>
#include <cstdint>
#include <cstring>

#include "platform/text.h"

namespace feed {

namespace {

constexpr size_t kMaxEncodingLabel = 100;   // longer declared labels are ignored
constexpr size_t kMaxDeclarationScan = 1024;
constexpr size_t kMaxCharsetScan = 4096;   // a page's charset is declared in its head
constexpr int kUtf8CodePage = 65001;
constexpr int kUtf16LeCodePage = 1200;
constexpr int kUtf16BeCodePage = 1201;

// --- Encodings ---

bool IsValidUtf8(const unsigned char* p, size_t n) {
  size_t i = 0;
  while (i < n) {
    unsigned c = p[i];
    if (c < 0x80) {  // markup is ASCII: its runs are checked eight bytes at a time
      ++i;
      uint64_t word;
      while (n - i >= sizeof word && (std::memcpy(&word, p + i, sizeof word), (word & 0x8080808080808080ull) == 0))
        i += sizeof word;
      continue;
    }
    // Three-byte sequences whose lead byte allows no overlong form and no surrogate: the
    // bulk of CJK text, checked without the general path.
    if (((c >= 0xE1 && c <= 0xEC) || c >= 0xEE) && c <= 0xEF) {
      if (n - i < 3 || (p[i + 1] & 0xC0) != 0x80 || (p[i + 2] & 0xC0) != 0x80) return false;
      i += 3;
      continue;
    }
    size_t len;
    unsigned min;
    if ((c & 0xE0) == 0xC0) { len = 2; min = 0x80; c &= 0x1F; }
    else if ((c & 0xF0) == 0xE0) { len = 3; min = 0x800; c &= 0x0F; }
    else if ((c & 0xF8) == 0xF0) { len = 4; min = 0x10000; c &= 0x07; }
    else return false;
    if (n - i < len) return false;
    for (size_t k = 1; k < len; ++k) {
      if ((p[i + k] & 0xC0) != 0x80) return false;
      c = (c << 6) | (p[i + k] & 0x3F);
    }
    if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return false;
    i += len;
  }
  return true;
}

// UTF-8 bytes kept when valid, otherwise with every invalid sequence replaced.
std::string RepairedUtf8(const char* data, size_t size) {
  if (IsValidUtf8(reinterpret_cast<const unsigned char*>(data), size)) return std::string(data, size);
  return platform::U16ToUtf8(platform::Utf8ToU16(std::string(data, size)));
}

std::string CodePageToUtf8(int codePage, const char* data, size_t size) {
  std::u16string wide;
  if (!platform::FromCodePage(codePage, std::string(data, size), &wide)) return RepairedUtf8(data, size);
  return platform::U16ToUtf8(wide);
}

// Text with no usable declaration: UTF-8 when it is, else the legacy ANSI code page.
std::string UndeclaredToUtf8(const char* data, size_t size) {
  if (IsValidUtf8(reinterpret_cast<const unsigned char*>(data), size)) return std::string(data, size);
  return CodePageToUtf8(platform::AnsiCodePage(), data, size);
}

// What the bytes say about being UTF-8: its well-formed multi-byte sequences, and the
// bytes that start none.
struct Utf8Census {
  size_t sequences = 0, invalid = 0;
};

Utf8Census CountUtf8(const unsigned char* p, size_t n) {
  Utf8Census census;
  for (size_t i = 0; i < n;) {
    unsigned c = p[i];
    if (c < 0x80) {
      ++i;
      continue;
    }
    size_t len = (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 0;
    bool ok = len > 0 && n - i >= len;
    unsigned cp = len == 2 ? c & 0x1F : len == 3 ? c & 0x0F : c & 0x07;
    for (size_t k = 1; ok && k < len; ++k) {
      ok = (p[i + k] & 0xC0) == 0x80;
      cp = (cp << 6) | (p[i + k] & 0x3F);
    }
    static const unsigned kMin[] = {0, 0, 0x80, 0x800, 0x10000};
    ok = ok && cp >= kMin[len] && cp <= 0x10FFFF && !(cp >= 0xD800 && cp <= 0xDFFF);
    if (ok) {
      ++census.sequences;
      i += len;
    } else {
      ++census.invalid;
      ++i;
    }
  }
  return census;
}

// Text declared as UTF-8. When the bytes are mostly not (a legacy page's GBK under a
// copied declaration), they are read in the ANSI code page; a few damaged sequences in
// UTF-8 text are replaced.
std::string DeclaredUtf8ToUtf8(const char* data, size_t size) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(data);
  if (IsValidUtf8(bytes, size)) return std::string(data, size);
  Utf8Census census = CountUtf8(bytes, size);
  if (census.invalid >= 8 && census.invalid > census.sequences)
    return CodePageToUtf8(platform::AnsiCodePage(), data, size);
  return RepairedUtf8(data, size);
}

// Text declared in a legacy code page. Bytes that are well-formed UTF-8 with enough
// multi-byte text to tell (a feed moved to UTF-8 that kept its old declaration) are read
// as UTF-8: text in the legacy code page is hardly ever valid UTF-8 as well.
std::string DeclaredLegacyToUtf8(int codePage, const char* data, size_t size) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(data);
  if (IsValidUtf8(bytes, size) && CountUtf8(bytes, size).sequences >= 4) return std::string(data, size);
  return CodePageToUtf8(codePage, data, size);
}

// Byte-order marks and UTF-16 without one; 0 when the bytes are 8-bit text.
int DetectUnicodeForm(const unsigned char* p, size_t n, size_t* skip) {
  *skip = 0;
  if (n >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF) { *skip = 3; return kUtf8CodePage; }
  if (n >= 2 && p[0] == 0xFF && p[1] == 0xFE) { *skip = 2; return kUtf16LeCodePage; }
  if (n >= 2 && p[0] == 0xFE && p[1] == 0xFF) { *skip = 2; return kUtf16BeCodePage; }
  if (n >= 4 && p[0] == '<' && p[1] == 0 && p[2] != 0 && p[3] == 0) return kUtf16LeCodePage;
  if (n >= 4 && p[0] == 0 && p[1] == '<' && p[2] == 0 && p[3] != 0) return kUtf16BeCodePage;
  return 0;
}

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }


}  // namespace

std::string DeclaredXmlEncoding(const char* data, size_t size) {
  size_t n = size < kMaxDeclarationScan ? size : kMaxDeclarationScan;
  std::string head(data, n);
  size_t start = 0;
  while (start < head.size() && IsXmlSpace(head[start])) ++start;
  if (head.compare(start, 5, "<?xml") != 0) return std::string();
  size_t end = head.find("?>", start);
  if (end == std::string::npos) return std::string();
  size_t at = head.find("encoding", start);
  if (at == std::string::npos || at > end) return std::string();
  at += 8;
  while (at < end && IsXmlSpace(head[at])) ++at;
  if (at >= end || head[at] != '=') return std::string();
  ++at;
  while (at < end && IsXmlSpace(head[at])) ++at;
  if (at >= end || (head[at] != '"' && head[at] != '\'')) return std::string();
  size_t close = head.find(head[at], at + 1);
  if (close == std::string::npos || close > end || close - at - 1 > kMaxEncodingLabel) return std::string();
  std::string label = head.substr(at + 1, close - at - 1);
  for (char& c : label) c = AsciiLower(c);
  return label;
}

std::string DeclaredHtmlCharset(const char* data, size_t size) {
  std::string head(data, size < kMaxCharsetScan ? size : kMaxCharsetScan);
  for (char& c : head) c = AsciiLower(c);
  size_t at = head.find("charset=");
  if (at == std::string::npos) return std::string();
  at += 8;
  if (at < head.size() && (head[at] == '"' || head[at] == '\'')) ++at;
  size_t end = at;
  while (end < head.size() && end - at < kMaxEncodingLabel &&
         (std::isalnum(static_cast<unsigned char>(head[end])) || head[end] == '-' || head[end] == '_'))
    ++end;
  return head.substr(at, end - at);
}

std::u16string HtmlDocumentToText(const char* data, size_t size) {
  size_t skip = 0;
  int form = DetectUnicodeForm(reinterpret_cast<const unsigned char*>(data), size, &skip);
  std::u16string text;
  if (form == 0) {
    int codePage = platform::CodePageFromLabel(DeclaredHtmlCharset(data, size));
    if (codePage == kUtf16LeCodePage || codePage == kUtf16BeCodePage) codePage = 0;
    if (codePage == 0) return platform::Utf8ToU16(UndeclaredToUtf8(data, size));
    form = codePage;
  }
  if (form == kUtf8CodePage) return platform::Utf8ToU16(std::string(data + skip, size - skip));
  if (!platform::FromCodePage(form, std::string(data + skip, size - skip), &text))
    return platform::Utf8ToU16(UndeclaredToUtf8(data + skip, size - skip));
  return text;
}

std::string XmlDocumentToUtf8(const char* data, size_t size) {
  size_t skip = 0;
  int form = DetectUnicodeForm(reinterpret_cast<const unsigned char*>(data), size, &skip);
  if (form == kUtf8CodePage) return RepairedUtf8(data + skip, size - skip);
  if (form != 0) return CodePageToUtf8(form, data + skip, size - skip);

  std::string label = DeclaredXmlEncoding(data, size);
  if (label.empty()) return UndeclaredToUtf8(data, size);
  int codePage = platform::CodePageFromLabel(label);
  // A UTF-16 label on 8-bit text contradicts itself: the bytes decide.
  if (codePage == kUtf16LeCodePage || codePage == kUtf16BeCodePage) return UndeclaredToUtf8(data, size);
  if (codePage == kUtf8CodePage) return DeclaredUtf8ToUtf8(data, size);
  if (codePage == 0) return UndeclaredToUtf8(data, size);  // an unknown label: the bytes decide
  return DeclaredLegacyToUtf8(codePage, data, size);
}

}  // namespace feed
