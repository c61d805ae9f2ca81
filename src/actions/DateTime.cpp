#include "actions/DateTime.h"

#include <QLocale>
#include <cmath>
#include <ctime>

#include "runtime/Clock.h"
#include "runtime/Global.h"

namespace vl {
namespace {

constexpr double kMinDate = -693593;  // 0001-01-01
constexpr double kMaxDate = 2958465;  // 9999-12-31

// Days from 1970-01-01 of a civil date (proleptic Gregorian).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int& y, int& m, int& d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t yy = static_cast<int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(yy + (m <= 2));
}

constexpr int64_t kEpochOffset = 25569;  // 1970-01-01 as a day number

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m) {
  static const int k[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeap(y) ? 29 : k[m - 1];
}

void Pad(AnsiString& out, int v, int width) {
  AnsiString s = std::to_string(v);
  while (static_cast<int>(s.size()) < width) s.insert(s.begin(), '0');
  out += s;
}

char Up(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

bool StartsNoCase(std::string_view s, size_t i, std::string_view w) {
  if (i + w.size() > s.size()) return false;
  for (size_t k = 0; k < w.size(); ++k)
    if (Up(s[i + k]) != Up(w[k])) return false;
  return true;
}

// True when an am/pm code follows in the format (outside quotes): hours are
// then written on the 12-hour clock.
bool HasAmPmAfter(std::string_view f, size_t i) {
  char quote = 0;
  for (; i < f.size(); ++i) {
    char c = f[i];
    if (quote) {
      if (c == quote) quote = 0;
      continue;
    }
    if (c == '\'' || c == '"') {
      quote = c;
      continue;
    }
    if (StartsNoCase(f, i, "am/pm") || StartsNoCase(f, i, "a/p") || StartsNoCase(f, i, "ampm")) return true;
  }
  return false;
}

void FormatInto(AnsiString& out, std::string_view f, TDateTime dt, int depth) {
  const auto& fs = FormatSettings();
  int y, mo, d, h, mi, s, ms;
  DecodeDate(dt, y, mo, d);
  DecodeTime(dt, h, mi, s, ms);
  char last = 0;
  size_t i = 0;
  auto run = [&](char upper) {
    size_t n = 1;
    while (i + n < f.size() && Up(f[i + n]) == upper) ++n;
    return n;
  };
  while (i < f.size()) {
    char c = f[i];
    char u = Up(c);
    if (u >= 'A' && u <= 'Z') {
      if (u == 'M' && last == 'H') u = 'N';
      last = u;
    }
    switch (u) {
      case '\'':
      case '"': {
        size_t e = f.find(c, i + 1);
        if (e == std::string_view::npos) e = f.size();
        out.append(f.substr(i + 1, e - i - 1));
        i = e + 1;
        continue;
      }
      case 'C': {
        if (depth < 2) FormatInto(out, fs.shortDateFormat, dt, depth + 1);
        if (h || mi || s || ms) {
          out.push_back(' ');
          if (depth < 2) FormatInto(out, fs.longTimeFormat, dt, depth + 1);
        }
        i += 1;
        continue;
      }
      case 'D': {
        size_t n = run('D');
        if (n == 1) Pad(out, d, 1);
        else if (n == 2) Pad(out, d, 2);
        else if (n == 3) out += fs.shortDayNames[DayOfWeek(dt) - 1];
        else if (n == 4) out += fs.longDayNames[DayOfWeek(dt) - 1];
        else if (depth < 2) FormatInto(out, n == 5 ? fs.shortDateFormat : fs.longDateFormat, dt, depth + 1);
        i += n > 6 ? 6 : n;
        continue;
      }
      case 'M': {
        size_t n = run('M');
        if (n > 4) n = 4;
        if (n == 1) Pad(out, mo, 1);
        else if (n == 2) Pad(out, mo, 2);
        else if (n == 3) out += fs.shortMonthNames[mo - 1];
        else out += fs.longMonthNames[mo - 1];
        i += n;
        continue;
      }
      case 'N': {
        size_t n = run(Up(c));
        if (n > 2) n = 2;
        Pad(out, mi, static_cast<int>(n));
        i += n;
        continue;
      }
      case 'Y': {
        size_t n = run('Y');
        if (n <= 2) Pad(out, y % 100, 2);
        else Pad(out, y, 4);
        i += n;
        continue;
      }
      case 'H': {
        size_t n = run('H');
        if (n > 2) n = 2;
        int hh = h;
        if (HasAmPmAfter(f, i)) {
          hh = h % 12;
          if (hh == 0) hh = 12;
        }
        Pad(out, hh, static_cast<int>(n));
        i += n;
        continue;
      }
      case 'S': {
        size_t n = run('S');
        if (n > 2) n = 2;
        Pad(out, s, static_cast<int>(n));
        i += n;
        continue;
      }
      case 'Z': {
        size_t n = run('Z');
        if (n > 3) n = 3;
        Pad(out, ms, n < 3 ? 1 : 3);
        i += n;
        continue;
      }
      case 'T': {
        size_t n = run('T');
        if (n > 2) n = 2;
        if (depth < 2) FormatInto(out, n == 1 ? fs.shortTimeFormat : fs.longTimeFormat, dt, depth + 1);
        i += n;
        continue;
      }
      case 'A': {
        const bool pm = h >= 12;
        if (StartsNoCase(f, i, "am/pm")) {
          bool lower = c == 'a';
          out += pm ? (lower ? "pm" : "PM") : (lower ? "am" : "AM");
          i += 5;
        } else if (StartsNoCase(f, i, "a/p")) {
          bool lower = c == 'a';
          out.push_back(pm ? (lower ? 'p' : 'P') : (lower ? 'a' : 'A'));
          i += 3;
        } else if (StartsNoCase(f, i, "ampm")) {
          out += pm ? fs.timePMString : fs.timeAMString;
          i += 4;
        } else {
          out.push_back(c);
          i += 1;
        }
        continue;
      }
      case '/':
        out.push_back(fs.dateSeparator);
        ++i;
        continue;
      case ':':
        out.push_back(fs.timeSeparator);
        ++i;
        continue;
      default:
        out.push_back(c);
        ++i;
    }
  }
}

// Qt date/time patterns to ours.
AnsiString FromQtPattern(const QString& qt) {
  AnsiString out;
  const std::string s = qt.toStdString();
  for (size_t i = 0; i < s.size(); ++i) {
    char c = s[i];
    if (c == '\'') {
      size_t e = s.find('\'', i + 1);
      if (e == std::string::npos) e = s.size();
      out += "\"" + Utf8ToAnsi(s.substr(i + 1, e - i - 1)) + "\"";
      i = e;
    } else if (c == 'M') out.push_back('m');
    else if (c == 'm') out.push_back('n');
    else if (c == 'H') out.push_back('h');
    else if (c == 'A' || c == 'a') {
      if (i + 1 < s.size() && (s[i + 1] == 'P' || s[i + 1] == 'p')) ++i;
      out += "ampm";
    } else if (c == 't') {
      // time zone: not a code of ours
    } else {
      out.push_back(c);
    }
  }
  return out;
}

char FirstOrderLetter(std::string_view s) {
  for (char c : s) {
    char u = Up(c);
    if (u == 'D' || u == 'M' || u == 'Y' || u == 'E') return u;
  }
  return 0;
}

bool ScanNumber(std::string_view s, size_t& pos, int& n, int& len) {
  while (pos < s.size() && s[pos] == ' ') ++pos;
  size_t i = pos;
  n = 0;
  while (i < s.size() && s[i] >= '0' && s[i] <= '9' && n < 1000) n = n * 10 + (s[i++] - '0');
  if (i == pos) return false;
  len = static_cast<int>(i - pos);
  pos = i;
  return true;
}

bool ScanChar(std::string_view s, size_t& pos, char ch) {
  while (pos < s.size() && s[pos] == ' ') ++pos;
  if (pos < s.size() && s[pos] == ch) {
    ++pos;
    return true;
  }
  return false;
}

}  // namespace

TFormatSettings EnglishFormatSettings() {
  TFormatSettings fs;
  static const char* kMonths[12] = {"January", "February", "March",     "April",   "May",      "June",
                                    "July",    "August",   "September", "October", "November", "December"};
  static const char* kDays[7] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
  for (int i = 0; i < 12; ++i) {
    fs.longMonthNames[i] = kMonths[i];
    fs.shortMonthNames[i] = AnsiString(kMonths[i]).substr(0, 3);
  }
  for (int i = 0; i < 7; ++i) {
    fs.longDayNames[i] = kDays[i];
    fs.shortDayNames[i] = AnsiString(kDays[i]).substr(0, 3);
  }
  return fs;
}

TFormatSettings SystemFormatSettings() {
  QLocale loc = QLocale::system();
  if (loc.language() == QLocale::C) return EnglishFormatSettings();
  TFormatSettings fs;
  fs.shortDateFormat = FromQtPattern(loc.dateFormat(QLocale::ShortFormat));
  fs.longDateFormat = FromQtPattern(loc.dateFormat(QLocale::LongFormat));
  fs.shortTimeFormat = FromQtPattern(loc.timeFormat(QLocale::ShortFormat));
  fs.longTimeFormat = FromQtPattern(loc.timeFormat(QLocale::LongFormat));
  for (char c : fs.shortDateFormat)
    if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))) {
      fs.dateSeparator = c;
      break;
    }
  for (char c : fs.longTimeFormat)
    if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))) {
      fs.timeSeparator = c;
      break;
    }
  // Keep "/" and ":" as the separator codes in the stored formats.
  for (auto& ch : fs.shortDateFormat)
    if (ch == fs.dateSeparator) ch = '/';
  fs.timeAMString = QStringToAnsi(loc.amText());
  fs.timePMString = QStringToAnsi(loc.pmText());
  for (int i = 0; i < 12; ++i) {
    fs.longMonthNames[i] = QStringToAnsi(loc.monthName(i + 1, QLocale::LongFormat));
    fs.shortMonthNames[i] = QStringToAnsi(loc.monthName(i + 1, QLocale::ShortFormat));
  }
  for (int i = 0; i < 7; ++i) {
    int qtDay = i == 0 ? 7 : i;  // Qt: Monday = 1 .. Sunday = 7
    fs.longDayNames[i] = QStringToAnsi(loc.dayName(qtDay, QLocale::LongFormat));
    fs.shortDayNames[i] = QStringToAnsi(loc.dayName(qtDay, QLocale::ShortFormat));
  }
  AnsiString cur = QStringToAnsi(loc.currencySymbol());
  if (!cur.empty()) fs.currencySign = cur;
  QString dp = loc.decimalPoint();
  AnsiString dpa = QStringToAnsi(dp);
  fs.localeDecimalSymbol = dpa.size() == 1 ? dpa[0] : '.';
  return fs;
}

TFormatSettings& FormatSettings() {
  static TFormatSettings fs = SystemFormatSettings();
  return fs;
}

bool DateInRange(double days) { return std::isfinite(days) && days >= kMinDate && days < kMaxDate + 1; }

bool TryEncodeDate(int year, int month, int day, TDateTime& out) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month))
    return false;
  out = static_cast<double>(DaysFromCivil(year, month, day) + kEpochOffset);
  return true;
}

TDateTime EncodeTime(int hour, int minute, int second, int msec) {
  return (hour * 3600000.0 + minute * 60000.0 + second * 1000.0 + msec) / 86400000.0;
}

void DecodeDate(TDateTime dt, int& year, int& month, int& day) {
  if (!DateInRange(dt)) {
    year = month = day = 0;
    return;
  }
  CivilFromDays(static_cast<int64_t>(std::trunc(dt)) - kEpochOffset, year, month, day);
}

void DecodeTime(TDateTime dt, int& hour, int& minute, int& second, int& msec) {
  double f = std::fabs(dt - std::trunc(dt));
  if (!std::isfinite(f)) f = 0;
  int64_t total = static_cast<int64_t>(std::llround(f * 86400000.0));
  if (total >= 86400000) total = 86399999;
  hour = static_cast<int>(total / 3600000);
  minute = static_cast<int>(total / 60000 % 60);
  second = static_cast<int>(total / 1000 % 60);
  msec = static_cast<int>(total % 1000);
}

int DayOfWeek(TDateTime dt) {
  int64_t d = static_cast<int64_t>(std::trunc(dt));
  // Day 1 (1899-12-31) was a Sunday.
  int64_t w = ((d - 1) % 7 + 7) % 7;
  return static_cast<int>(w) + 1;
}

TDateTime NowDateTime() {
  int64_t ms = TheClock().WallMs();
  std::time_t secs = static_cast<std::time_t>(ms / 1000);
  std::tm tm{};
  localtime_r(&secs, &tm);
  TDateTime d = 0;
  TryEncodeDate(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, d);
  return d + EncodeTime(tm.tm_hour, tm.tm_min, tm.tm_sec, static_cast<int>(ms % 1000));
}

AnsiString FormatDateTime(std::string_view format, TDateTime dt) {
  AnsiString out;
  if (format.empty()) format = "c";
  FormatInto(out, format, dt, 0);
  return out;
}

AnsiString DateFormatFromParam(std::string_view param) {
  std::string_view t = TrimView(param);
  if (t.empty() || SameTextAnsi(t, "Default")) return FormatSettings().shortDateFormat;
  return AnsiString(param);
}

bool ReadDate(std::string_view text, std::string_view orderHint, TDateTime& out) {
  const auto& fs = FormatSettings();
  AnsiString s(text);
  for (auto& c : s)
    if (c == '-' || c == '\\' || c == '/') c = fs.dateSeparator;
  char order;
  if (SameTextAnsi(TrimView(orderHint), "Default")) order = FirstOrderLetter(fs.shortDateFormat);
  else order = FirstOrderLetter(orderHint);
  if (order == 'E') order = 'Y';
  if (order != 'D' && order != 'Y') order = 'M';
  size_t pos = 0;
  int n1, n2, n3, l1, l2, l3;
  if (!(ScanNumber(s, pos, n1, l1) && ScanChar(s, pos, fs.dateSeparator) && ScanNumber(s, pos, n2, l2)))
    return false;
  int y, m, d;
  std::time_t t = static_cast<std::time_t>(TheClock().WallMs() / 1000);
  std::tm tm{};
  localtime_r(&t, &tm);
  const int currentYear = tm.tm_year + 1900;
  if (ScanChar(s, pos, fs.dateSeparator)) {
    if (!ScanNumber(s, pos, n3, l3)) return false;
    int yearLen;
    if (order == 'M') {
      y = n3, yearLen = l3, m = n1, d = n2;
    } else if (order == 'D') {
      y = n3, yearLen = l3, m = n2, d = n1;
    } else {
      y = n1, yearLen = l1, m = n2, d = n3;
    }
    if (yearLen <= 2) y += currentYear / 100 * 100;
  } else {
    y = currentYear;
    if (order == 'D') d = n1, m = n2;
    else m = n1, d = n2;
  }
  ScanChar(s, pos, fs.dateSeparator);
  while (pos < s.size() && s[pos] == ' ') ++pos;
  if (pos != s.size()) return false;
  return TryEncodeDate(y, m, d, out);
}

}  // namespace vl
