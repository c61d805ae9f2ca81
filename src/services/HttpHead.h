#pragma once
// The parts of HTTP the player reads itself: the address a command names,
// and the head of a server's reply (status line and the few headers the
// transfers use). Pure functions over bytes, so they are fuzzed on their own.
#include <cstdint>
#include <string_view>

#include "runtime/Ansi.h"

namespace vl {

struct InternetAddress {
  AnsiString host;       // name or address, without a port (IPv6 without brackets)
  uint16_t port = 80;
  AnsiString path;       // the object path, starting with "/"
  bool secure = false;   // https
  bool valid = false;    // a host and a usable port were found
};

// "http://host[:port]/path", "https://...", or "host/path" (plain HTTP).
// `portOverride` of 0 or more ([HTTPPort]) replaces the port; -1 keeps it.
InternetAddress ParseInternetAddress(std::string_view url, int64_t portOverride = -1);

// The address as the request line and the Host header need it again.
AnsiString AddressUrl(const InternetAddress& a);
AnsiString HostHeader(const InternetAddress& a);

struct HttpHead {
  int status = 0;              // the code as sent (0..999)
  AnsiString statusText;       // the reason phrase, trimmed; may be empty
  int64_t contentLength = -1;  // -1 when none (or not a plain number)
  AnsiString location;         // Location:
  AnsiString authenticate;     // WWW-Authenticate:
  bool chunked = false;        // Transfer-Encoding: chunked
};

// Heads longer than this are refused (a server that sends no end of head).
inline constexpr size_t kMaxHttpHead = 64 * 1024;

// The length of the head at the start of `data`, the blank line included;
// 0 while it is not complete.
size_t HttpHeadEnd(std::string_view data);

// Reads a head (as HttpHeadEnd cut it). False when it is not an HTTP reply.
bool ParseHttpHead(std::string_view head, HttpHead& out);

// A status of 300 or more as the commands report it: the code, a blank and
// the server's text, or "File non trovato!" when the server gave none.
// Codes below 100 count as 404. Empty for a success.
AnsiString HttpStatusError(int status, std::string_view statusText);

// Where a redirect leads from `from`; invalid when the target is not HTTP.
InternetAddress RedirectTarget(const InternetAddress& from, std::string_view location);

// "user:password" in base64, for Basic authentication.
AnsiString Base64(std::string_view bytes);

}  // namespace vl
