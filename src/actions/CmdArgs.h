#pragma once
// Small readers shared by the language commands' handlers.
#include <cstdint>
#include <string_view>

#include "actions/FastNumber.h"
#include "actions/MathExpr.h"

namespace vl {

// A prepared number argument with its fraction dropped; 0 when it is none.
inline int64_t WholeArg(std::string_view text) {
  if (int64_t v; PlainInteger(text, v)) return v;
  bool ok = false;
  int64_t n = TruncNumber(text, &ok);
  return ok ? n : 0;
}

}  // namespace vl
