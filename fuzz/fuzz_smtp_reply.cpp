// The SMTP reply reader on hostile server output: the input is cut into
// pieces of sizes the input itself chooses (its first bytes), as a socket
// might deliver them. Every reply read must have a code of three characters
// (or "----") and a text of at most 64.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "services/SmtpReply.h"

using namespace vl;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const size_t step1 = 1 + data[0] % 64, step2 = 1 + data[1] % 1024;
  std::string_view in(reinterpret_cast<const char*>(data) + 2, size - 2);
  SmtpReplyReader r;
  size_t pos = 0;
  bool odd = false;
  while (pos < in.size() && !r.Failed()) {
    const size_t n = std::min(in.size() - pos, odd ? step1 : step2);
    r.Feed(in.substr(pos, n));
    pos += n;
    odd = !odd;
    SmtpReply rep;
    while (r.Next(rep)) {
      if (rep.code != "----" && rep.code.size() > 3) __builtin_trap();
      if (rep.text.size() > 64) __builtin_trap();
      if (rep.lines.empty()) __builtin_trap();
      (void)SmtpCodeNumber(rep.code);
    }
  }
  return 0;
}
