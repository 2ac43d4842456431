#include "platform/xml_guard.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>
#include <vector>

namespace platform {
namespace {

// Walks markup the way the parser reads it, without building anything, to find how deep
// it would nest. Wherever the parser would stop with an error the walk stops too; the
// parser cannot get deeper than the walk has seen by then.
class DepthScan {
 public:
  DepthScan(const char* s, size_t len, size_t limit) : s_(s), len_(len), limit_(limit) {}

  size_t Run() {
    while (i_ < len_ && deepest_ <= limit_) {
      if (s_[i_] == '&') {  // text ends at the next '<' outside a reference
        if (!Reference()) break;
        continue;
      }
      if (s_[i_] != '<') {  // text: on to the next '<' or '&'
        ++i_;
        while (i_ < len_ && s_[i_] != '<' && s_[i_] != '&') ++i_;
        continue;
      }
      if (!Node()) break;
    }
    return deepest_;
  }

 private:
  // The C locale's classes, as the parser sees them, without a library call per byte.
  static bool Space(unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
  static bool Letter(unsigned char c) { return (c | 0x20) >= 'a' && (c | 0x20) <= 'z'; }
  static bool Digit(unsigned char c) { return c >= '0' && c <= '9'; }
  static bool Alpha(unsigned char c) { return c >= 127 || Letter(c); }
  static bool NameChar(unsigned char c) {
    return c >= 127 || Letter(c) || Digit(c) || c == '_' || c == '-' || c == '.' || c == ':';
  }
  unsigned char At(size_t i) const { return i < len_ ? static_cast<unsigned char>(s_[i]) : 0; }
  bool Starts(const char* what, bool ignoreCase = false) const {
    size_t n = std::strlen(what);
    if (i_ + n > len_) return false;
    for (size_t k = 0; k < n; ++k) {
      unsigned char a = At(i_ + k), b = static_cast<unsigned char>(what[k]);
      if (ignoreCase ? std::tolower(a) != std::tolower(b) : a != b) return false;
    }
    return true;
  }
  void SkipPast(const char* end) {
    // Comments and CDATA sections are long in feeds: look for the terminator's first
    // character with memchr before comparing the rest.
    const size_t n = std::strlen(end);
    while (i_ < len_) {
      const void* hit = std::memchr(s_ + i_, end[0], len_ - i_);
      if (!hit) { i_ = len_; return; }
      i_ = static_cast<size_t>(static_cast<const char*>(hit) - s_);
      if (Starts(end)) break;
      ++i_;
    }
    i_ = std::min(len_, i_ + n);
  }
  void SkipSpace() { while (i_ < len_ && Space(At(i_))) ++i_; }
  std::string Name() {
    size_t from = i_;
    if (Alpha(At(i_)) || At(i_) == '_') {
      while (i_ < len_ && NameChar(At(i_))) ++i_;
    }
    return std::string(s_ + from, i_ - from);
  }

  // Past one reference at '&', as the parser reads it: a numeric one runs to the first
  // ';' whatever lies between ("&#x</a>x;" hides an end tag), so it must be skipped the
  // same way. False where the parser fails on it.
  bool Reference() {
    if (At(i_ + 1) == '#' && At(i_ + 2)) {
      const bool hex = At(i_ + 2) == 'x';
      if (hex && !At(i_ + 3)) return false;
      size_t semi = i_ + (hex ? 3 : 2);
      while (semi < len_ && s_[semi] != ';' && s_[semi] != 0) ++semi;
      if (semi >= len_ || s_[semi] == 0) return false;
      for (size_t q = semi - 1; At(q) != (hex ? 'x' : '#'); --q)
        if (hex ? !std::isxdigit(At(q)) : !std::isdigit(At(q))) return false;
      i_ = semi + 1;
      return true;
    }
    ++i_;  // named references and a lone '&' are plain text to the nesting
    return true;
  }

  // One node starting at '<'; false where the parser gives up.
  bool Node() {
    if (Starts("</") && !open_.empty()) {
      i_ += 2;
      if (Name() != open_.back()) return false;
      SkipSpace();
      if (At(i_) != '>') return false;
      ++i_;
      open_.pop_back();
      return true;
    }
    if (Starts("<?xml", true)) return Declaration();
    if (Starts("<!--")) { SkipPast("-->"); return true; }
    if (Starts("<![CDATA[")) { SkipPast("]]>"); return true; }
    if (Alpha(At(i_ + 1)) || At(i_ + 1) == '_') return StartTag();
    SkipPast(">");  // anything else is skipped up to '>'
    return true;
  }

  bool StartTag() {
    ++i_;
    open_.push_back(Name());
    deepest_ = std::max(deepest_, open_.size());
    for (;;) {
      SkipSpace();
      if (i_ >= len_) return false;
      if (At(i_) == '/') {
        if (At(i_ + 1) != '>') return false;
        i_ += 2;
        open_.pop_back();
        return true;
      }
      if (At(i_) == '>') { ++i_; return true; }
      if (!Attribute()) return false;
    }
  }

  bool Attribute() {
    Name();
    SkipSpace();
    if (At(i_) != '=') return false;
    ++i_;
    SkipSpace();
    if (i_ >= len_) return false;
    unsigned char q = At(i_);
    if (q == '"' || q == '\'') {
      ++i_;
      while (i_ < len_ && At(i_) != q) {
        if (At(i_) != '&') ++i_;
        else if (!Reference()) return false;
      }
      if (i_ >= len_) return false;
      ++i_;
      return true;
    }
    while (i_ < len_ && !Space(At(i_)) && At(i_) != '/' && At(i_) != '>') {
      if (At(i_) == '"' || At(i_) == '\'') return false;
      ++i_;
    }
    return true;
  }

  bool Declaration() {
    i_ += 5;
    while (i_ < len_) {
      if (At(i_) == '>') { ++i_; return true; }
      SkipSpace();
      if (i_ >= len_) return false;
      if (Starts("version", true) || Starts("encoding", true) || Starts("standalone", true)) {
        if (!Attribute()) return false;
      } else {
        while (i_ < len_ && At(i_) != '>' && !Space(At(i_))) ++i_;
      }
    }
    return false;
  }

  const char* s_;
  size_t len_;
  size_t limit_;
  size_t i_ = 0;
  size_t deepest_ = 0;
  std::vector<std::string> open_;
};

}  // namespace

size_t XmlNestingBound(const char* text, size_t len, size_t limit) { return DepthScan(text, len, limit).Run(); }

}  // namespace platform
