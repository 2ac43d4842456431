// The C library's decimal conversion (atoi) without its undefined overflow: leading white
// space, an optional sign, the digits up to the first other character, 0 when there are
// none; values beyond 32 bits are clamped.
#pragma once
#include <cstdint>
#include <limits>
#include <string>

namespace platform {

inline int32_t DecimalValue(const std::string& text, size_t from = 0, size_t end = std::string::npos) {
  if (end > text.size()) end = text.size();
  size_t i = from;
  while (i < end && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < end && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  constexpr int64_t kLimit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
  int64_t value = 0;
  for (; i < end && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > kLimit) value = kLimit;
  }
  if (negative) return static_cast<int32_t>(-value);
  return static_cast<int32_t>(value >= kLimit ? kLimit - 1 : value);
}

}  // namespace platform
