#include "runtime/Ansi.h"

#include <QString>
#include <array>
#include <iconv.h>
#include <mutex>

namespace vl {
namespace {

// Windows-1252 bytes 0x80..0x9F; 0 marks bytes the code page leaves undefined
// (they map to the C1 control of the same value, as Windows does).
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

struct CodePageTables {
  int codePage = 1252;
  std::array<char16_t, 256> toUnicode{};
  std::array<unsigned char, 256> fold{};
  std::array<unsigned char, 256> upper{};
};

void BuildFolding(CodePageTables& t) {
  for (int i = 0; i < 256; ++i) {
    t.fold[i] = static_cast<unsigned char>(i);
    t.upper[i] = static_cast<unsigned char>(i);
  }
  // Fold through Unicode: a byte folds to the byte whose character is the
  // lower-case form of its own, when the code page has that character.
  std::array<int, 65536> back;
  back.fill(-1);
  for (int i = 0; i < 256; ++i) back[t.toUnicode[i]] = i;
  for (int i = 0; i < 256; ++i) {
    QChar c(t.toUnicode[i]);
    char16_t lo = c.toLower().unicode();
    char16_t up = c.toUpper().unicode();
    if (lo != c.unicode() && back[lo] >= 0) t.fold[i] = static_cast<unsigned char>(back[lo]);
    if (up != c.unicode() && back[up] >= 0) t.upper[i] = static_cast<unsigned char>(back[up]);
  }
}

CodePageTables Make1252() {
  CodePageTables t;
  t.codePage = 1252;
  for (int i = 0; i < 256; ++i) t.toUnicode[i] = static_cast<char16_t>(i);
  for (int i = 0; i < 32; ++i)
    if (kCp1252High[i]) t.toUnicode[0x80 + i] = kCp1252High[i];
  BuildFolding(t);
  return t;
}

bool MakeFromIconv(int codePage, CodePageTables& t) {
  std::string name = "CP" + std::to_string(codePage);
  iconv_t cd = iconv_open("UTF-16LE", name.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  t.codePage = codePage;
  for (int i = 0; i < 256; ++i) {
    char in = static_cast<char>(i);
    char out[8];
    char* ip = &in;
    char* op = out;
    size_t il = 1, ol = sizeof out;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd, &ip, &il, &op, &ol) != static_cast<size_t>(-1) && ol == sizeof out - 2)
      t.toUnicode[i] = static_cast<char16_t>(static_cast<unsigned char>(out[0]) |
                                             (static_cast<unsigned char>(out[1]) << 8));
    else
      t.toUnicode[i] = static_cast<char16_t>(i < 0x80 ? i : 0xFFFD);
  }
  iconv_close(cd);
  BuildFolding(t);
  return true;
}

CodePageTables& Tables() {
  static CodePageTables t = Make1252();
  return t;
}

struct Reverse {
  int codePage = 0;
  std::array<int, 65536> map;
};

const Reverse& ReverseTable() {
  static Reverse r;
  const auto& t = Tables();
  if (r.codePage != t.codePage) {
    r.map.fill(-1);
    for (int i = 255; i >= 0; --i) r.map[t.toUnicode[i]] = i;
    r.codePage = t.codePage;
  }
  return r;
}

}  // namespace

int ActiveCodePage() { return Tables().codePage; }

bool SetActiveCodePage(int codePage) {
  if (codePage == Tables().codePage) return true;
  if (codePage == 1252) {
    Tables() = Make1252();
    return true;
  }
  CodePageTables t;
  if (!MakeFromIconv(codePage, t)) return false;
  Tables() = t;
  return true;
}

unsigned char FoldByte(unsigned char c) { return Tables().fold[c]; }
unsigned char UpperByte(unsigned char c) { return Tables().upper[c]; }

AnsiString AnsiLower(std::string_view s) {
  AnsiString r(s);
  const auto& f = Tables().fold;
  for (auto& ch : r) ch = static_cast<char>(f[static_cast<unsigned char>(ch)]);
  return r;
}

AnsiString AnsiUpper(std::string_view s) {
  AnsiString r(s);
  const auto& u = Tables().upper;
  for (auto& ch : r) ch = static_cast<char>(u[static_cast<unsigned char>(ch)]);
  return r;
}

bool SameTextAnsi(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  const auto& f = Tables().fold;
  for (size_t i = 0; i < a.size(); ++i)
    if (a[i] != b[i] && f[static_cast<unsigned char>(a[i])] != f[static_cast<unsigned char>(b[i])])
      return false;
  return true;
}

int CompareTextAnsi(std::string_view a, std::string_view b) {
  const auto& f = Tables().fold;
  const size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    int x = f[static_cast<unsigned char>(a[i])], y = f[static_cast<unsigned char>(b[i])];
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

QString AnsiToQString(std::string_view s) {
  const auto& t = Tables().toUnicode;
  QString r;
  r.resize(static_cast<qsizetype>(s.size()));
  QChar* d = r.data();
  for (size_t i = 0; i < s.size(); ++i) d[i] = QChar(t[static_cast<unsigned char>(s[i])]);
  return r;
}

AnsiString QStringToAnsi(const QString& s) {
  const auto& rev = ReverseTable().map;
  AnsiString r;
  r.reserve(static_cast<size_t>(s.size()));
  for (QChar c : s) {
    int b = rev[c.unicode()];
    r.push_back(b >= 0 ? static_cast<char>(b) : '?');
  }
  return r;
}

std::string AnsiToUtf8(std::string_view s) { return AnsiToQString(s).toStdString(); }

AnsiString Utf8ToAnsi(std::string_view s) {
  return QStringToAnsi(QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())));
}

size_t AnsiCaseHash::operator()(std::string_view s) const noexcept {
  const auto& f = Tables().fold;
  size_t h = 1469598103934665603ull;
  for (char c : s) {
    h ^= f[static_cast<unsigned char>(c)];
    h *= 1099511628211ull;
  }
  return h;
}

}  // namespace vl
