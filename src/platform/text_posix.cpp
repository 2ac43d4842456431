// POSIX implementation of the code-page conversions, through iconv.
#include <errno.h>
#include <iconv.h>

#include "platform/text.h"

namespace platform {
namespace {

int g_ansiCodePage = 936;

const char* IconvName(int cp) {
  switch (cp) {
    case 936: return "CP936";
    case 54936: return "GB18030";
    case 950: return "CP950";
    case 932: return "CP932";
    case 949: return "CP949";
    case 20932: return "EUC-JP";
    case 28591: return "ISO-8859-1";
    case 28592: return "ISO-8859-2";
    case 28595: return "ISO-8859-5";
    case 28605: return "ISO-8859-15";
    case 20127: return "ASCII";
    case 1250: return "CP1250";
    case 1251: return "CP1251";
    case 1252: return "CP1252";
    case 20866: return "KOI8-R";
    case 65001: return "UTF-8";
    case 1200: return "UTF-16LE";
    case 1201: return "UTF-16BE";
    default: return nullptr;
  }
}

}  // namespace

int AnsiCodePage() { return g_ansiCodePage; }
void SetAnsiCodePageForTests(int codePage) { g_ansiCodePage = codePage; }

bool FromCodePage(int codePage, const std::string& bytes, std::u16string* out) {
  out->clear();
  if (codePage == 65001) { *out = Utf8ToU16(bytes); return true; }
  const char* name = IconvName(codePage);
  if (!name) return false;
  iconv_t cd = iconv_open("UTF-16LE", name);
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  std::string buf(bytes.size() * 4 + 16, '\0');
  char* in = const_cast<char*>(bytes.data());
  size_t inLeft = bytes.size();
  char* o = &buf[0];
  size_t oLeft = buf.size();
  while (inLeft > 0) {
    size_t r = iconv(cd, &in, &inLeft, &o, &oLeft);
    if (r != static_cast<size_t>(-1)) break;
    if (errno == EILSEQ || errno == EINVAL) {
      // Undecodable byte: emit U+FFFD and skip it, as the Windows conversion does.
      if (oLeft < 2) break;
      *o++ = static_cast<char>(0xFD);
      *o++ = static_cast<char>(0xFF);
      oLeft -= 2;
      ++in;
      --inLeft;
    } else {
      break;
    }
  }
  iconv_close(cd);
  size_t produced = buf.size() - oLeft;
  out->resize(produced / 2);
  for (size_t i = 0; i < produced / 2; ++i)
    (*out)[i] = static_cast<char16_t>(static_cast<unsigned char>(buf[2 * i]) |
                                      (static_cast<unsigned char>(buf[2 * i + 1]) << 8));
  return true;
}

bool ToCodePage(int codePage, const std::u16string& text, std::string* out) {
  out->clear();
  if (codePage == 65001) { *out = U16ToUtf8(text); return true; }
  const char* name = IconvName(codePage);
  if (!name) return false;
  iconv_t cd = iconv_open(name, "UTF-16LE");
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  std::string in16(text.size() * 2, '\0');
  for (size_t i = 0; i < text.size(); ++i) {
    in16[2 * i] = static_cast<char>(text[i] & 0xFF);
    in16[2 * i + 1] = static_cast<char>(text[i] >> 8);
  }
  std::string buf(text.size() * 4 + 16, '\0');
  char* in = &in16[0];
  size_t inLeft = in16.size();
  char* o = &buf[0];
  size_t oLeft = buf.size();
  while (inLeft > 0) {
    size_t r = iconv(cd, &in, &inLeft, &o, &oLeft);
    if (r != static_cast<size_t>(-1)) break;
    if (errno == EILSEQ || errno == EINVAL) {
      // Not representable: the default character, as WideCharToMultiByte writes.
      if (oLeft < 1) break;
      *o++ = '?';
      --oLeft;
      size_t skip = 2;
      unsigned u = static_cast<unsigned char>(in[0]) | (static_cast<unsigned char>(in[1]) << 8);
      if (u >= 0xD800 && u <= 0xDBFF && inLeft >= 4) skip = 4;
      in += skip;
      inLeft -= skip;
    } else {
      break;
    }
  }
  iconv_close(cd);
  buf.resize(buf.size() - oLeft);
  *out = std::move(buf);
  return true;
}

}  // namespace platform
