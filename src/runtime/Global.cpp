#include "runtime/Global.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "runtime/Messages.h"

namespace vl {

ProcessValues& Globals() {
  static ProcessValues v;
  return v;
}

void SetDisplayColorDepth(int bits) {
  auto& g = Globals();
  g.displayColorCount = bits <= 8 && bits > 0 ? (1 << bits) : 16777216;
  g.manyColors = g.displayColorCount > 256;
}

bool SameTextInvariant(std::string_view a, std::string_view b) { return SameTextAnsi(a, b); }

AnsiString ExpandLineBreaks(std::string_view text) {
  AnsiString r;
  r.reserve(text.size() + 16);
  for (char c : text) {
    if (static_cast<unsigned char>(c) == 0xB6)
      r += "\r\n";
    else
      r.push_back(c);
  }
  return r;
}

AnsiString BarsToLineBreaks(std::string_view text) {
  AnsiString r;
  r.reserve(text.size() + 16);
  for (char c : text) {
    if (c == '|')
      r += "\r\n";
    else
      r.push_back(c);
  }
  return r;
}

AnsiString ReplaceAll(std::string_view text, std::string_view what, std::string_view with) {
  if (what.empty()) return AnsiString(text);
  AnsiString r;
  size_t pos = 0;
  for (;;) {
    size_t f = text.find(what, pos);
    if (f == std::string_view::npos) break;
    r.append(text.substr(pos, f - pos));
    r.append(with);
    pos = f + what.size();
  }
  r.append(text.substr(pos));
  return r;
}

bool NextField(std::string_view text, size_t& pos, char sep, bool quotesCount, AnsiString& field) {
  field.clear();
  if (pos > text.size()) return false;
  if (pos == text.size()) {
    pos = text.size() + 1;
    return false;
  }
  bool inQuote = false;
  size_t i = pos;
  for (; i < text.size(); ++i) {
    char c = text[i];
    if (quotesCount && c == '"') inQuote = !inQuote;
    if (c == sep && !inQuote) break;
  }
  field.assign(text.substr(pos, i - pos));
  pos = i + 1;
  return true;
}

AnsiString FieldOf(std::string_view text, int n) {
  if (n < 1) return {};
  size_t pos = 0;
  AnsiString f;
  for (int i = 1; NextField(text, pos, '|', false, f); ++i)
    if (i == n) return f;
  return {};
}

int FontStyleFromWords(std::string_view text) {
  AnsiString up = AnsiUpper(text);
  int r = 0;
  if (up.find("BOLD") != AnsiString::npos) r |= 1;
  if (up.find("ITALIC") != AnsiString::npos) r |= 2;
  if (up.find("UNDERLINE") != AnsiString::npos) r |= 4;
  if (up.find("STRIKEOUT") != AnsiString::npos) r |= 8;
  return r;
}

namespace {
struct NamedColour {
  const char* name;
  TColor value;
};
constexpr NamedColour kColourNames[] = {
    {"Black", 0x000000},
    {"Maroon", 0x000080},
    {"Green", 0x008000},
    {"Olive", 0x008080},
    {"Navy", 0x800000},
    {"Purple", 0x800080},
    {"Teal", 0x808000},
    {"Gray", 0x808080},
    {"Silver", 0xC0C0C0},
    {"Red", 0x0000FF},
    {"Lime", 0x00FF00},
    {"Yellow", 0x00FFFF},
    {"Blue", 0xFF0000},
    {"Fuchsia", 0xFF00FF},
    {"Aqua", 0xFFFF00},
    {"White", 0xFFFFFF},
    {"MoneyGreen", 0xC0DCC0},
    {"SkyBlue", 0xF0CAA6},
    {"Cream", 0xF0FBFF},
    {"MedGray", 0xA4A0A0},
    {"ActiveBorder", 0xFF00000A},
    {"ActiveCaption", 0xFF000002},
    {"AppWorkSpace", 0xFF00000C},
    {"Background", 0xFF000001},
    {"BtnFace", 0xFF00000F},
    {"BtnHighlight", 0xFF000014},
    {"BtnShadow", 0xFF000010},
    {"BtnText", 0xFF000012},
    {"CaptionText", 0xFF000009},
    {"Default", 0x20000000},
    {"GradientActiveCaption", 0xFF00001B},
    {"GradientInactiveCaption", 0xFF00001C},
    {"GrayText", 0xFF000011},
    {"Highlight", 0xFF00000D},
    {"HighlightText", 0xFF00000E},
    {"HotLight", 0xFF00001A},
    {"InactiveBorder", 0xFF00000B},
    {"InactiveCaption", 0xFF000003},
    {"InactiveCaptionText", 0xFF000013},
    {"InfoBk", 0xFF000018},
    {"InfoText", 0xFF000017},
    {"Menu", 0xFF000004},
    {"MenuBar", 0xFF00001E},
    {"MenuHighlight", 0xFF00001D},
    {"MenuText", 0xFF000007},
    {"None", 0x1FFFFFFF},
    {"ScrollBar", 0xFF000000},
    {"3DDkShadow", 0xFF000015},
    {"3DLight", 0xFF000016},
    {"Window", 0xFF000005},
    {"WindowFrame", 0xFF000006},
    {"WindowText", 0xFF000008},
};
}  // namespace

bool ParseColor(std::string_view text, TColor& colour) {
  if (!text.empty() && static_cast<unsigned char>(text[0]) >= 65 &&
      static_cast<unsigned char>(text[0]) <= 122) {
    // Names are looked up with the "cl" prefix put in front, so a name that
    // already carries it ("clRed") is not a colour.
    AnsiString withPrefix = "cl" + AnsiString(text);
    for (const auto& n : kColourNames) {
      if (SameTextAnsi(withPrefix, AnsiString("cl") + n.name)) {
        colour = n.value;
        return true;
      }
    }
    return false;
  }
  int32_t rgb[3] = {0, 0, 0};
  size_t pos = 0;
  AnsiString field;
  for (int i = 0; i < 3; ++i) {
    if (!NextField(text, pos, ',', false, field)) {
      if (i == 0) {
        if (!StrToIntStrict("", rgb[0])) return false;
      }
      break;
    }
    if (!StrToIntStrict(field, rgb[i])) return false;
  }
  colour = static_cast<TColor>(rgb[0] & 0xFF) | (static_cast<TColor>(rgb[1] & 0xFF) << 8) |
           (static_cast<TColor>(rgb[2] & 0xFF) << 16);
  return true;
}

bool StrToIntStrict(std::string_view t, int32_t& value) {
  size_t i = 0;
  while (i < t.size() && t[i] == ' ') ++i;
  bool neg = false;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) {
    neg = t[i] == '-';
    ++i;
  }
  int base = 10;
  if (i < t.size() && t[i] == '$') {
    base = 16;
    ++i;
  } else if (i + 1 < t.size() && t[i] == '0' && (t[i + 1] == 'x' || t[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  if (i >= t.size()) return false;
  uint64_t acc = 0;
  for (; i < t.size(); ++i) {
    int d;
    char c = t[i];
    if (c >= '0' && c <= '9')
      d = c - '0';
    else if (base == 16 && c >= 'a' && c <= 'f')
      d = c - 'a' + 10;
    else if (base == 16 && c >= 'A' && c <= 'F')
      d = c - 'A' + 10;
    else
      return false;
    acc = acc * base + d;
    if (acc > 0xFFFFFFFFull) return false;
  }
  if (base == 10) {
    if (neg ? acc > 2147483648ull : acc > 2147483647ull) return false;
    value = neg ? static_cast<int32_t>(-static_cast<int64_t>(acc)) : static_cast<int32_t>(acc);
  } else {
    // Hexadecimal covers the whole 32-bit pattern ($FFFFFFFF is -1).
    int32_t v = static_cast<int32_t>(static_cast<uint32_t>(acc));
    value = neg ? -v : v;
  }
  return true;
}

std::string_view TrimLeftView(std::string_view s) {
  size_t i = 0;
  while (i < s.size() && static_cast<unsigned char>(s[i]) <= 0x20) ++i;
  return s.substr(i);
}
std::string_view TrimRightView(std::string_view s) {
  size_t n = s.size();
  while (n > 0 && static_cast<unsigned char>(s[n - 1]) <= 0x20) --n;
  return s.substr(0, n);
}
std::string_view TrimView(std::string_view s) { return TrimRightView(TrimLeftView(s)); }

int IntegerFromDigits(std::string_view text) {
  AnsiString kept;
  for (char c : text)
    if ((c >= '0' && c <= '9') || c == '-') kept.push_back(c);
  int32_t v = 0;
  return StrToIntStrict(kept, v) ? v : 0;
}

bool ContainsText(std::string_view text, std::string_view part) {
  return AnsiUpper(text).find(AnsiUpper(part)) != AnsiString::npos;
}

void FitInside(int maxWidth, int maxHeight, int& width, int& height) {
  if (width <= 0 || height <= 0 || maxWidth <= 0 || maxHeight <= 0) return;
  const double ratio = static_cast<double>(height) / width;
  auto heightFor = [&](long w) { return static_cast<long>(std::lround(w * ratio)); };
  // The answer is the largest width w <= maxWidth whose rounded height fits;
  // start from the analytic estimate and settle it by single steps.
  long w = std::min<long>(maxWidth, static_cast<long>(std::floor((maxHeight + 0.5) / ratio)));
  if (w < 1) w = 1;
  while (w < maxWidth && heightFor(w + 1) <= maxHeight) ++w;
  while (w > 1 && heightFor(w) > maxHeight) --w;
  width = static_cast<int>(w);
  height = static_cast<int>(std::max<long>(1, heightFor(w)));
}

AnsiString ErrorText(int code) {
  switch (code) {
    case 0: return {};
    case 1: return Msg(203);
    case 2: return Msg(204);
    case 3: return Msg(205);
    case 4: return Msg(206);
    case 5: return Msg(207);
    case 6: return Msg(208);
    case 8: return Msg(209);
    case 12: return Msg(210);
    case 15: return Msg(211);
    case 16: return Msg(212);
    case 64: return "The specified network name is no longer available.";
    case 100: return Msg(213);
    case 101: return Msg(214);
    case 106: return Msg(215);
    case 150: return Msg(216);
    case 152: return Msg(217);
    case 154: return Msg(218);
    case 156: return Msg(219);
    case 157: return Msg(220);
    case 158: return Msg(221);
    case 159: return Msg(222);
    case 160: return Msg(223);
    case 161: return Msg(224);
    case 162: return Msg(225);
    case 1231: return "Network unreachable.";
    case 10001: return Msg(226);
    default: return Msg(227) + std::to_string(code);
  }
}

void ShowErrorMessage(const AnsiString& text) {
  if (!text.empty()) Errors().ShowError(text);
}

AnsiString ExceptionText(const std::exception& e) {
  if (auto* io = dynamic_cast<const EInOutError*>(&e)) return ErrorText(io->code());
  if (dynamic_cast<const std::bad_alloc*>(&e)) return Msg(209);
  return e.what();
}

void ReportException(const std::exception& e) { ShowErrorMessage(ExceptionText(e)); }

}  // namespace vl
