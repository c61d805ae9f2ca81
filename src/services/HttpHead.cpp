#include "services/HttpHead.h"

#include <cctype>

#include "runtime/Global.h"
#include "runtime/Messages.h"

namespace vl {
namespace {

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && SameTextInvariant(s.substr(0, prefix.size()), prefix);
}

size_t FindNoCase(std::string_view s, std::string_view what) {
  for (size_t i = 0; i + what.size() <= s.size(); ++i)
    if (SameTextInvariant(s.substr(i, what.size()), what)) return i;
  return std::string_view::npos;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

bool Digits(std::string_view s, int64_t& out, int64_t limit) {
  if (s.empty()) return false;
  int64_t v = 0;
  for (char ch : s) {
    if (ch < '0' || ch > '9') return false;
    if (v > (limit - (ch - '0')) / 10) return false;
    v = v * 10 + (ch - '0');
  }
  out = v;
  return true;
}

// Splits "host[:port]" (or "[v6]:port") into its parts.
bool SplitHostPort(std::string_view hp, InternetAddress& a) {
  std::string_view host = hp, port;
  if (!hp.empty() && hp.front() == '[') {
    size_t close = hp.find(']');
    if (close == std::string_view::npos) return false;
    host = hp.substr(1, close - 1);
    std::string_view rest = hp.substr(close + 1);
    if (!rest.empty()) {
      if (rest.front() != ':') return false;
      port = rest.substr(1);
    }
  } else if (size_t colon = hp.rfind(':'); colon != std::string_view::npos && hp.find(':') == colon) {
    host = hp.substr(0, colon);
    port = hp.substr(colon + 1);
  }
  if (host.empty()) return false;
  for (char ch : host)
    if (static_cast<unsigned char>(ch) <= ' ' || ch == '/' || ch == '\\' || ch == '@' || ch == '?' || ch == '#')
      return false;
  if (!port.empty()) {
    int64_t p = 0;
    if (!Digits(port, p, 65535) || p == 0) return false;
    a.port = static_cast<uint16_t>(p);
  }
  a.host = AnsiString(host);
  return true;
}

}  // namespace

InternetAddress ParseInternetAddress(std::string_view url, int64_t portOverride) {
  InternetAddress a;
  std::string_view rest = url;
  // The scheme at the start first: an address whose query names another
  // address ("https://a/?u=http://b") keeps its own scheme.
  if (StartsWithNoCase(rest, "https://")) {
    rest.remove_prefix(8);
    a.port = 443;
    a.secure = true;
  } else if (StartsWithNoCase(rest, "http://")) {
    rest.remove_prefix(7);
  } else if (FindNoCase(rest, "http://") != std::string_view::npos) {
    rest.remove_prefix(std::min<size_t>(7, rest.size()));
  } else if (FindNoCase(rest, "https://") != std::string_view::npos) {
    rest.remove_prefix(std::min<size_t>(8, rest.size()));
    a.port = 443;
    a.secure = true;
  }
  size_t slash = rest.find('/');
  std::string_view hostPart = rest.substr(0, slash);
  // An address with no "/" after the host reaches the host's root.
  a.path = slash == std::string_view::npos ? AnsiString("/") : AnsiString(rest.substr(slash));
  // Blanks and line breaks never reach the request line.
  for (char& ch : a.path)
    if (static_cast<unsigned char>(ch) <= ' ') ch = '+';
  if (!SplitHostPort(hostPart, a)) return a;
  // 0, like -1, leaves the scheme's (or the address's) port.
  if (portOverride > 65535) return a;
  if (portOverride > 0) a.port = static_cast<uint16_t>(portOverride);
  a.valid = true;
  return a;
}

AnsiString HostHeader(const InternetAddress& a) {
  AnsiString h = a.host.find(':') != AnsiString::npos ? "[" + a.host + "]" : a.host;
  if (a.port != (a.secure ? 443 : 80)) h += ":" + std::to_string(a.port);
  return h;
}

AnsiString AddressUrl(const InternetAddress& a) {
  return AnsiString(a.secure ? "https://" : "http://") + HostHeader(a) + a.path;
}

size_t HttpHeadEnd(std::string_view data) {
  for (size_t i = 0; i < data.size(); ++i) {
    if (data[i] != '\n') continue;
    if (i + 1 < data.size() && data[i + 1] == '\n') return i + 2;
    if (i + 2 < data.size() && data[i + 1] == '\r' && data[i + 2] == '\n') return i + 3;
  }
  return 0;
}

bool ParseHttpHead(std::string_view head, HttpHead& out) {
  out = HttpHead{};
  size_t eol = head.find('\n');
  std::string_view line = Trim(head.substr(0, eol));
  // "HTTP/1.x 200 OK", the reason optional.
  if (!StartsWithNoCase(line, "HTTP/")) return false;
  size_t sp = line.find(' ');
  if (sp == std::string_view::npos) return false;
  std::string_view rest = Trim(line.substr(sp + 1));
  size_t sp2 = rest.find(' ');
  int64_t code = 0;
  if (!Digits(rest.substr(0, sp2), code, 999)) return false;
  out.status = static_cast<int>(code);
  if (sp2 != std::string_view::npos) out.statusText = AnsiString(Trim(rest.substr(sp2 + 1)));
  bool lengthSeen = false;
  while (eol != std::string_view::npos) {
    size_t start = eol + 1;
    eol = head.find('\n', start);
    std::string_view h = Trim(head.substr(start, eol == std::string_view::npos ? std::string_view::npos : eol - start));
    size_t colon = h.find(':');
    if (colon == std::string_view::npos) continue;
    std::string_view name = Trim(h.substr(0, colon)), value = Trim(h.substr(colon + 1));
    if (SameTextInvariant(name, "Content-Length")) {
      int64_t n = -1;
      // A length that is not a plain number, or two that disagree, is no
      // length at all: the body then runs to the end of the connection.
      if (!Digits(value, n, INT64_MAX) || (lengthSeen && n != out.contentLength)) n = -1;
      if (lengthSeen && out.contentLength < 0) n = -1;
      out.contentLength = n;
      lengthSeen = true;
    } else if (SameTextInvariant(name, "Location")) {
      out.location = AnsiString(value);
    } else if (SameTextInvariant(name, "WWW-Authenticate")) {
      if (out.authenticate.empty()) out.authenticate = AnsiString(value);
    } else if (SameTextInvariant(name, "Transfer-Encoding")) {
      out.chunked = FindNoCase(value, "chunked") != std::string_view::npos;
    }
  }
  if (out.chunked) out.contentLength = -1;
  return true;
}

AnsiString HttpStatusError(int status, std::string_view statusText) {
  if (status < 100) status = 404;
  if (status < 300) return {};
  AnsiString text(Trim(statusText));
  return std::to_string(status) + " " + (text.empty() ? Msg(204) : text);
}

InternetAddress RedirectTarget(const InternetAddress& from, std::string_view location) {
  location = Trim(location);
  if (StartsWithNoCase(location, "http://") || StartsWithNoCase(location, "https://"))
    return ParseInternetAddress(location);
  InternetAddress a = from;
  if (location.substr(0, 2) == "//")
    return ParseInternetAddress(AnsiString(from.secure ? "https:" : "http:") + AnsiString(location));
  if (location.find("://") != std::string_view::npos) {
    a.valid = false;  // another scheme: not followed
    return a;
  }
  if (!location.empty() && location.front() == '/') {
    a.path = AnsiString(location);
  } else {
    AnsiString dir = from.path.substr(0, from.path.find('?'));
    dir = dir.substr(0, dir.rfind('/') + 1);
    a.path = dir + AnsiString(location);
  }
  for (char& ch : a.path)
    if (static_cast<unsigned char>(ch) <= ' ') ch = '+';
  return a;
}

AnsiString Base64(std::string_view bytes) {
  static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  AnsiString out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  size_t i = 0;
  for (; i + 2 < bytes.size(); i += 3) {
    uint32_t v = (uint8_t(bytes[i]) << 16) | (uint8_t(bytes[i + 1]) << 8) | uint8_t(bytes[i + 2]);
    out += kAlphabet[v >> 18];
    out += kAlphabet[(v >> 12) & 63];
    out += kAlphabet[(v >> 6) & 63];
    out += kAlphabet[v & 63];
  }
  if (i < bytes.size()) {
    uint32_t v = uint8_t(bytes[i]) << 16;
    if (i + 1 < bytes.size()) v |= uint8_t(bytes[i + 1]) << 8;
    out += kAlphabet[v >> 18];
    out += kAlphabet[(v >> 12) & 63];
    out += i + 1 < bytes.size() ? kAlphabet[(v >> 6) & 63] : '=';
    out += '=';
  }
  return out;
}

}  // namespace vl
