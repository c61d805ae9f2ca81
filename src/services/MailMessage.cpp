#include "services/MailMessage.h"

#include <QDateTime>
#include <QTimeZone>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>

#include "runtime/Global.h"

namespace vl {
namespace {

AnsiString Trimmed(std::string_view s) { return AnsiString(TrimView(s)); }

AnsiString StripQuotes(std::string_view s) {
  s = TrimView(s);
  while (!s.empty() && s.front() == '"') s.remove_prefix(1);
  while (!s.empty() && s.back() == '"') s.remove_suffix(1);
  return Trimmed(s);
}

uint32_t RandomBelow2p31() {
  static std::mt19937 gen{std::random_device{}()};
  return gen() & 0x7FFFFFFFu;
}

AnsiString Hex8(uint32_t v) {
  char b[9];
  std::snprintf(b, sizeof b, "%08X", v);
  return b;
}

QDateTime LocalTime(int64_t wallMs) { return QDateTime::fromMSecsSinceEpoch(wallMs, QTimeZone::systemTimeZone()); }

AnsiString Boundary(int64_t wallMs) {
  const QDateTime t = LocalTime(wallMs);
  return "----=_boundary_" + QStringToAnsi(t.toString(QStringLiteral("hh_mmss_yyyyMMdd_"))) +
         Hex8(RandomBelow2p31()) + "." + Hex8(RandomBelow2p31());
}

const char kTextPlain[] = "Content-Type: text/plain;\r\n\tcharset=\"iso-8859-1\"";
const char kTextHtml[] = "Content-Type: text/html;\r\n\tcharset=\"iso-8859-1\"";
const char k8Bit[] = "Content-Transfer-Encoding: 8Bit";

// A body line that starts with "." gets another in front.
std::string Stuffed(const AnsiString& line) { return !line.empty() && line[0] == '.' ? "." + line : line; }

// Header parameters carry no quotes or line breaks of a file name.
AnsiString ParamSafe(std::string_view s) {
  AnsiString out;
  for (char ch : s)
    if (ch != '"' && ch != '\r' && ch != '\n') out += ch;
  return out;
}

std::string ReadAttachment(const TAttachedFile& f) {
  std::FILE* fp = std::fopen(f.path.c_str(), "rb");
  if (!fp) {
    const int err = errno;
    throw EMailError(err == ENOENT ? ErrorText(2) : err == EACCES ? ErrorText(5) : AnsiString(std::strerror(err)));
  }
  std::string data;
  char buf[65536];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, fp)) > 0) {
    data.append(buf, n);
    if (static_cast<int64_t>(data.size()) > TMailMessage::kMaxAttachment) {
      std::fclose(fp);
      throw EMailError(ErrorText(8));
    }
  }
  const bool bad = std::ferror(fp);
  std::fclose(fp);
  if (bad) throw EMailError(std::strerror(EIO));
  return data;
}

}  // namespace

std::vector<TMailAddress> ParseAddressList(std::string_view text) {
  std::vector<TMailAddress> out;
  size_t start = 0;
  while (start <= text.size()) {
    // The entry ends at a "," unless the next "@" comes after it (a comma of
    // a display name).
    size_t end = start;
    for (;;) {
      const size_t comma = text.find(',', end);
      if (comma == std::string_view::npos) {
        end = text.size();
        break;
      }
      const size_t at = text.find('@', end);
      if (at != std::string_view::npos && at > comma && text.substr(start, comma - start).find('@') == std::string_view::npos) {
        end = comma + 1;  // the comma belongs to the name
        continue;
      }
      end = comma;
      break;
    }
    std::string_view entry = TrimView(text.substr(start, end - start));
    if (!entry.empty()) {
      TMailAddress a;
      const size_t lt = entry.find('<');
      const size_t paren = entry.find('(');
      if (lt != std::string_view::npos) {
        const size_t gt = entry.find('>', lt);
        if (gt == std::string_view::npos) throw EMailError("Unable to parse email address");
        a.address = StripQuotes(entry.substr(lt + 1, gt - lt - 1));
        if (lt > 0) a.name = StripQuotes(AnsiString(entry.substr(0, lt)) + AnsiString(entry.substr(gt + 1)));
      } else if (paren != std::string_view::npos) {
        a.address = StripQuotes(entry.substr(0, paren));
        const size_t close = entry.find(')', paren);
        a.name = StripQuotes(entry.substr(paren + 1, close == std::string_view::npos ? std::string_view::npos
                                                                                       : close - paren - 1));
      } else {
        a.address = StripQuotes(entry);
      }
      out.push_back(std::move(a));
    }
    if (end >= text.size()) break;
    start = end + 1;
  }
  return out;
}

AnsiString AddressListText(const std::vector<TMailAddress>& list) {
  AnsiString out;
  for (size_t i = 0; i < list.size(); ++i) {
    if (i) out += ",";
    if (!list[i].name.empty()) out += "\"" + list[i].name + "\" ";
    out += "<" + list[i].address + ">";
  }
  return out;
}

std::vector<AnsiString> EnvelopeRecipients(std::string_view sendToText) {
  AnsiString s;
  bool quoted = false;
  for (char ch : sendToText) {
    if (ch == '"') {
      quoted = !quoted;
      continue;
    }
    if (quoted || ch == ' ') continue;
    s += ch;
  }
  s = AnsiLower(s);
  std::vector<AnsiString> out;
  size_t pos = 0;
  AnsiString piece;
  while (NextField(s, pos, ',', false, piece)) {
    AnsiString bare;
    int depth = 0;
    for (char ch : piece) {
      if (ch == '(') ++depth;
      else if (ch == ')' && depth > 0) --depth;
      else if (depth == 0) bare += ch;
    }
    const size_t lt = bare.find('<'), gt = bare.find('>', lt == AnsiString::npos ? 0 : lt);
    if (lt != AnsiString::npos && gt != AnsiString::npos) bare = bare.substr(lt + 1, gt - lt - 1);
    if (!bare.empty()) out.push_back(bare);
  }
  return out;
}

void TMailMessage::SetLocalHost(std::string_view host) {
  AnsiString h = Trimmed(host);
  LocalHost = h.empty() ? AnsiString("a.b.c") : h;
}

AnsiString MailDateText(int64_t wallMs) {
  static const char* const kDays[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  const QDateTime t = LocalTime(wallMs);
  const QDate d = t.date();
  const QTime tm = t.time();
  char buf[64];
  std::snprintf(buf, sizeof buf, "%s, %d %s %04d %02d:%02d:%02d ", kDays[d.dayOfWeek() - 1], d.day(),
                kMonths[d.month() - 1], d.year(), tm.hour(), tm.minute(), tm.second());
  const int offset = t.offsetFromUtc() / 60;
  AnsiString zone = "GMT";
  if (offset != 0) {
    char z[16];
    std::snprintf(z, sizeof z, "%c%02d%02d", offset > 0 ? '+' : '-', std::abs(offset) / 60, std::abs(offset) % 60);
    zone = z;
  }
  return buf + zone;
}

void Base64Lines(std::string_view bytes, std::vector<std::string>& out) {
  static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  out.reserve(out.size() + bytes.size() / 57 + 1);
  for (size_t i = 0; i < bytes.size(); i += 57) {
    const size_t n = std::min<size_t>(57, bytes.size() - i);
    std::string line;
    line.reserve(76);
    for (size_t j = 0; j < n; j += 3) {
      const size_t k = i + j;
      const uint32_t b0 = uint8_t(bytes[k]);
      const uint32_t b1 = j + 1 < n ? uint8_t(bytes[k + 1]) : 0;
      const uint32_t b2 = j + 2 < n ? uint8_t(bytes[k + 2]) : 0;
      const uint32_t v = (b0 << 16) | (b1 << 8) | b2;
      line += kAlphabet[v >> 18];
      line += kAlphabet[(v >> 12) & 63];
      line += j + 1 < n ? kAlphabet[(v >> 6) & 63] : '=';
      line += j + 2 < n ? kAlphabet[v & 63] : '=';
    }
    out.push_back(std::move(line));
  }
}

void TMailMessage::FillRawMail(int64_t wallMs) {
  std::vector<std::string> r;
  const QDateTime t = LocalTime(wallMs);
  r.push_back("Message-ID: <VL" + QStringToAnsi(t.toString(QStringLiteral("yyyyMMdd"))) + "$" +
              Hex8(RandomBelow2p31()) + ".$" + Hex8(RandomBelow2p31()) + "@" + LocalHost + ">");
  const size_t at = From.find('@');
  if (at == AnsiString::npos) throw EMailError("\"From\" address not complete.");
  r.push_back("From: \"" + (UserName.empty() ? From.substr(0, at) : UserName) + "\" <" + From + ">");
  if (SendToList.empty()) throw EMailError("No e-mail addresses in the SendTo field.");
  std::string to = "To: ";
  for (size_t i = 0; i < SendToList.size(); ++i) {
    if (i) to += ",\r\n\t";
    if (!SendToList[i].name.empty()) to += "\"" + SendToList[i].name + "\" ";
    to += "<" + SendToList[i].address + ">";
  }
  r.push_back(to);
  r.push_back("Subject: " + Subject);
  r.push_back("Date: " + date);
  r.push_back("MIME-Version: 1.0");

  const bool html = !HTML.empty();
  const AnsiString b = files.empty() && !html ? AnsiString() : Boundary(wallMs);
  std::vector<std::string> body;
  auto addLines = [&body](const std::vector<AnsiString>& lines) {
    for (const AnsiString& l : lines) body.push_back(Stuffed(l));
  };
  auto addAlternative = [&](const AnsiString& bound) {
    body.push_back("--" + bound);
    body.push_back(kTextPlain);
    body.push_back(k8Bit);
    body.push_back("");
    addLines(Text);
    body.push_back("");
    body.push_back("--" + bound);
    body.push_back(kTextHtml);
    body.push_back(k8Bit);
    body.push_back("");
    addLines(HTML);
    body.push_back("");
  };
  if (files.empty() && !html) {
    r.push_back(kTextPlain);
    r.push_back(k8Bit);
    addLines(Text);
  } else if (files.empty()) {
    r.push_back("Content-Type: multipart/alternative;\r\n\tboundary=\"" + b + "\"");
    r.push_back(k8Bit);
    body.push_back("This is a multi-part message in MIME format.");
    body.push_back("");
    addAlternative(b);
    body.push_back("");
    body.push_back("--" + b + "--");
    body.push_back("");
  } else {
    r.push_back("Content-Type: multipart/mixed;\r\n\tboundary=\"" + b + "\"");
    r.push_back(k8Bit);
    if (html) {
      const AnsiString c = Boundary(wallMs);
      body.push_back("This is a multi-part message in MIME format.");
      body.push_back("");
      body.push_back("--" + b);
      body.push_back("Content-Type: multipart/alternative;\r\n\tboundary=\"" + c + "\"");
      body.push_back("");
      body.push_back("");
      addAlternative(c);
      body.push_back("--" + c + "--");
      body.push_back("");
    } else {
      body.push_back("");
      body.push_back("--" + b);
      body.push_back(kTextPlain);
      body.push_back(k8Bit);
      body.push_back("");
      addLines(Text);
      body.push_back("");
    }
    for (const TAttachedFile& f : files) {
      const std::string data = ReadAttachment(f);
      const AnsiString name = ParamSafe(f.name);
      body.push_back("--" + b);
      body.push_back("Content-Type: " + ParamSafe(f.contentType) + ";\r\n\tname=\"" + name + "\"");
      body.push_back("Content-Transfer-Encoding: base64");
      body.push_back("Content-Disposition: attachment;\r\n\tfilename=\"" + name + "\"");
      body.push_back("");
      Base64Lines(data, body);
      body.push_back("");
    }
    body.push_back("--" + b + "--");
    body.push_back("");
  }
  r.push_back("X-Priority: 3");
  r.push_back("");
  r.insert(r.end(), std::make_move_iterator(body.begin()), std::make_move_iterator(body.end()));
  rawMail = std::move(r);
}

}  // namespace vl
