#include "platform/text.h"

#include <algorithm>
#include <cctype>

namespace platform {

std::u16string Utf8ToU16(const std::string& s) {
  std::u16string out;
  out.reserve(s.size());
  const auto* p = reinterpret_cast<const unsigned char*>(s.data());
  size_t n = s.size(), i = 0;
  while (i < n) {
    unsigned c = p[i];
    unsigned cp;
    size_t len;
    // The common cases first: ASCII, and three-byte sequences whose lead byte allows no
    // overlong form and no surrogate (most of CJK text).
    if (c < 0x80) {
      out.push_back(static_cast<char16_t>(c));
      ++i;
      continue;
    }
    if (((c >= 0xE1 && c <= 0xEC) || c >= 0xEE) && c <= 0xEF && n - i >= 3 && (p[i + 1] & 0xC0) == 0x80 &&
        (p[i + 2] & 0xC0) == 0x80) {
      out.push_back(static_cast<char16_t>(((c & 0x0F) << 12) | ((p[i + 1] & 0x3F) << 6) | (p[i + 2] & 0x3F)));
      i += 3;
      continue;
    }
    if (c < 0x80) { cp = c; len = 1; }
    else if ((c & 0xE0) == 0xC0) { cp = c & 0x1F; len = 2; }
    else if ((c & 0xF0) == 0xE0) { cp = c & 0x0F; len = 3; }
    else if ((c & 0xF8) == 0xF0) { cp = c & 0x07; len = 4; }
    else { out.push_back(0xFFFD); ++i; continue; }
    if (i + len > n) { out.push_back(0xFFFD); ++i; continue; }
    bool ok = true;
    for (size_t k = 1; k < len; ++k) {
      if ((p[i + k] & 0xC0) != 0x80) { ok = false; break; }
      cp = (cp << 6) | (p[i + k] & 0x3F);
    }
    static const unsigned kMin[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (!ok || cp < kMin[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
      out.push_back(0xFFFD);
      ++i;
      continue;
    }
    AppendCodePoint(&out, cp);
    i += len;
  }
  return out;
}

std::string U16ToUtf8(const std::u16string& s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    unsigned cp = s[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (s[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;
    }
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

int CodePageFromLabel(const std::string& label) {
  std::string l;
  for (char c : label) {
    if (c == ' ' || c == '\t') continue;
    l.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
  }
  struct Entry { const char* name; int cp; };
  static const Entry kLabels[] = {
      {"utf-8", 65001}, {"utf8", 65001}, {"gb2312", 936}, {"gbk", 936}, {"cp936", 936},
      {"x-gbk", 936}, {"gb18030", 54936}, {"big5", 950}, {"big5-hkscs", 950}, {"cp950", 950},
      {"shift_jis", 932}, {"shift-jis", 932}, {"sjis", 932}, {"euc-jp", 20932}, {"euc-kr", 949},
      {"ks_c_5601-1987", 949}, {"iso-8859-1", 28591}, {"latin1", 28591}, {"us-ascii", 20127},
      {"ascii", 20127}, {"windows-1252", 1252}, {"cp1252", 1252}, {"windows-1251", 1251},
      {"koi8-r", 20866}, {"iso-8859-2", 28592}, {"iso-8859-5", 28595}, {"iso-8859-15", 28605},
      {"windows-1250", 1250}, {"utf-16", 1200}, {"utf-16le", 1200}, {"utf-16be", 1201},
  };
  for (const auto& e : kLabels)
    if (l == e.name) return e.cp;
  return 0;
}

void AppendCodePoint(std::u16string* out, char32_t cp) {
  if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
    out->push_back(u'\uFFFD');
  } else if (cp >= 0x10000) {
    cp -= 0x10000;
    out->push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
    out->push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
  } else {
    out->push_back(static_cast<char16_t>(cp));
  }
}

std::string ToAnsi(const std::u16string& text) {
  std::string out;
  if (!ToCodePage(AnsiCodePage(), text, &out)) out.clear();
  return out;
}

std::u16string FromAnsi(const std::string& ansi) {
  std::u16string out;
  if (!FromCodePage(AnsiCodePage(), ansi, &out)) out.clear();
  return out;
}

bool StartsWithNoCase(const std::u16string& s, const std::u16string& prefix) {
  if (s.size() < prefix.size()) return false;
  auto lower = [](char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c; };
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (lower(s[i]) != lower(prefix[i])) return false;
  }
  return true;
}

}  // namespace platform
