// The HTTP head reading on hostile server output and hostile addresses: the
// end of the head, its status and headers, the status report, and where a
// redirect leads. The first line of the input is the address a command
// names; the rest is what the server sent.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "services/HttpHead.h"

using namespace vl;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view in(reinterpret_cast<const char*>(data), size);
  const size_t nl = in.find('\n');
  const std::string_view url = in.substr(0, nl);
  const std::string_view reply = nl == std::string_view::npos ? std::string_view() : in.substr(nl + 1);
  InternetAddress a = ParseInternetAddress(url, size % 3 == 0 ? -1 : static_cast<int64_t>(size % 70000));
  if (a.valid) {
    if (a.host.empty() || a.port == 0 || a.path.empty() || a.path[0] != '/') __builtin_trap();
    for (char ch : a.path)
      if (ch == '\r' || ch == '\n' || ch == ' ') __builtin_trap();
    (void)AddressUrl(a);
  }
  const size_t end = HttpHeadEnd(reply.substr(0, kMaxHttpHead));
  if (end > reply.size()) __builtin_trap();
  HttpHead h;
  if (ParseHttpHead(end ? reply.substr(0, end) : reply, h)) {
    if (h.status < 0 || h.status > 999 || h.contentLength < -1) __builtin_trap();
    const AnsiString e = HttpStatusError(h.status, h.statusText);
    if ((h.status >= 300 || h.status < 100) == e.empty()) __builtin_trap();
    if (a.valid && !h.location.empty()) {
      InternetAddress next = RedirectTarget(a, h.location);
      if (next.valid && (next.host.empty() || next.path.empty())) __builtin_trap();
      if (next.valid)
        for (char ch : next.path)
          if (ch == '\r' || ch == '\n') __builtin_trap();
    }
  }
  (void)Base64(reply.substr(0, 256));
  return 0;
}
