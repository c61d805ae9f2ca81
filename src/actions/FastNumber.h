#pragma once
// Whole numbers written plainly (an optional "-" and up to 18 digits) are by
// far the most common numbers in actions: loop bounds, counters, compared
// values. They are read here without the general number reader.
#include <cstdint>
#include <string_view>

namespace vl {

inline bool PlainInteger(std::string_view s, int64_t& v) {
  size_t i = 0;
  bool neg = false;
  if (!s.empty() && s[0] == '-') {
    neg = true;
    i = 1;
  }
  const size_t digits = s.size() - i;
  if (digits == 0 || digits > 18) return false;
  int64_t n = 0;
  for (; i < s.size(); ++i) {
    const unsigned d = static_cast<unsigned char>(s[i]) - '0';
    if (d > 9) return false;
    n = n * 10 + d;
  }
  v = neg ? -n : n;
  return true;
}

}  // namespace vl
