// ANSI conversion, escaping and the byte scrambling of data.dat.
#include "platform/text.h"
#include "store/data_store.h"

namespace store {

bool IsAnsiLeadByte(unsigned char c) {
  switch (platform::AnsiCodePage()) {
    case 932:  // Shift-JIS
      return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
    case 936:  // GBK
    case 949:  // Korean
    case 950:  // Big5
      return c >= 0x81 && c <= 0xFE;
    default:
      return false;
  }
}

std::string XmlEscape(const std::string& ansi) {
  std::string out;
  out.reserve(ansi.size() + 16);
  for (size_t i = 0; i < ansi.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(ansi[i]);
    if (IsAnsiLeadByte(c) && i + 1 < ansi.size()) {
      out += ansi[i];
      out += ansi[++i];
      continue;
    }
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '\'': out += "&apos;"; break;
      case '"': out += "&quot;"; break;
      default: out += ansi[i];
    }
  }
  return out;
}

namespace {
constexpr size_t kScramblePeriod = 7;

unsigned char RotateLeft(unsigned char b, unsigned n) {
  return static_cast<unsigned char>((b << n) | (b >> (8 - n)));
}
unsigned char RotateRight(unsigned char b, unsigned n) {
  return static_cast<unsigned char>((b >> n) | (b << (8 - n)));
}
}  // namespace

size_t ScrambleData(unsigned char* buf, size_t len) {
  if (!buf) return 0;
  for (size_t i = 0; i < len; ++i) {
    buf[i] = static_cast<unsigned char>(~RotateLeft(buf[i], static_cast<unsigned>(i % kScramblePeriod) + 1));
  }
  return len;
}

size_t UnscrambleData(unsigned char* buf, size_t len) {
  if (!buf) return 0;
  for (size_t i = 0; i < len; ++i) {
    buf[i] = RotateRight(static_cast<unsigned char>(~buf[i]), static_cast<unsigned>(i % kScramblePeriod) + 1);
  }
  return len;
}

std::string EncodeDataFile(const std::string& text) {
  std::string bytes = text;
  bytes.push_back('\0');
  ScrambleData(reinterpret_cast<unsigned char*>(&bytes[0]), bytes.size());
  return bytes;
}

}  // namespace store
