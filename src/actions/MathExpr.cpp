#include "actions/MathExpr.h"

#include <algorithm>
#include <cfenv>
#include <charconv>
#include <climits>
#include <cmath>
#include <random>

#include "actions/DateTime.h"
#include "runtime/Clock.h"

namespace vl {
namespace {

char& DecimalSymbolRef() {
  static char c = FormatSettings().localeDecimalSymbol;
  return c;
}

// The decimal digits of |v| (40 significant: long doubles carry about 19.3,
// so this is exact enough to decide any rounding) and the decimal exponent
// of the first digit.
void RawDigits(Extended v, std::string& digits, int& exp10) {
  char buf[128];
  auto res = std::to_chars(buf, buf + sizeof buf, std::fabs(v), std::chars_format::scientific, 39);
  std::string_view s(buf, static_cast<size_t>(res.ptr - buf));
  size_t e = s.find('e');
  digits.clear();
  for (size_t i = 0; i < e; ++i)
    if (s[i] != '.') digits.push_back(s[i]);
  int ex = 0;
  std::from_chars(s.data() + e + (s[e + 1] == '+' ? 2 : 1), s.data() + s.size(), ex);
  exp10 = ex;
}

// Rounds raw digits half away from zero to `keep` significant digits.
// keep == 0 leaves "1" one place up when the first digit rounds up, else
// nothing; keep < 0 leaves nothing.
void RoundDigits(std::string& digits, int& exp10, int keep) {
  if (keep < 0) {
    digits.clear();
    return;
  }
  if (keep >= static_cast<int>(digits.size())) return;
  const bool up = digits[static_cast<size_t>(keep)] >= '5';
  digits.resize(static_cast<size_t>(keep));
  if (!up) return;
  int i = keep - 1;
  while (i >= 0 && digits[static_cast<size_t>(i)] == '9') digits[static_cast<size_t>(i--)] = '0';
  if (i >= 0) {
    ++digits[static_cast<size_t>(i)];
  } else {
    digits.insert(digits.begin(), '1');
    if (keep > 0) digits.pop_back();
    ++exp10;
  }
}

void Digits(Extended v, int keep, std::string& digits, int& exp10) {
  RawDigits(v, digits, exp10);
  RoundDigits(digits, exp10, keep);
}

// Whole numbers below 1E18 are written without the digit machinery.
bool SmallWhole(Extended v, int64_t& n) {
  if (!(std::fabs(v) < 1e18L) || v != std::trunc(v)) return false;
  n = static_cast<int64_t>(v);
  return true;
}

bool IsZeroDigits(const std::string& d) { return d.find_first_not_of('0') == std::string::npos; }

enum Tok { tPlus = 0, tMinus = 1, tMul = 2, tDiv = 3, tPow = 4, tLP = 5, tRP = 6, tNum = 7, tFunc = 9, tEnd = 10, tBad = 11, tAmp = 12 };

struct Token {
  Tok kind;
  Extended value = 0;
  int func = 0;
};

constexpr const char* kFuncs[11] = {"ABS", "ATAN", "COS", "EXP", "LN", "ROUND", "SIN", "SQRT", "SQR", "TRUNC", "FRAC"};

class Lexer {
 public:
  explicit Lexer(std::string_view s) : s_(s) {}
  bool calcError = false;

  Token Next() {
    while (p_ < s_.size() && s_[p_] == ' ') ++p_;
    if (p_ >= s_.size()) return {tEnd};
    char c = s_[p_];
    if ((c >= '0' && c <= '9') || c == '.') return Number();
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) return Function();
    ++p_;
    switch (c) {
      case '&': return {tAmp};
      case '(': return {tLP};
      case ')': return {tRP};
      case '*': return {tMul};
      case '+': return {tPlus};
      case '-': return {tMinus};
      case '/': return {tDiv};
      case '^': return {tPow};
      default: return {tBad};
    }
  }

 private:
  Token Number() {
    size_t start = p_;
    bool leadingPoint = s_[p_] == '.';
    size_t i = p_;
    if (leadingPoint) {
      ++i;
      while (i < s_.size() && s_[i] >= '0' && s_[i] <= '9') ++i;
    } else {
      while (i < s_.size() && ((s_[i] >= '0' && s_[i] <= '9') || s_[i] == '.')) ++i;
    }
    if (i - start == 1 && leadingPoint) {
      p_ = i;
      return {tBad};
    }
    if (i < s_.size() && s_[i] == 'E') {
      ++i;
      if (i < s_.size() && (s_[i] == '+' || s_[i] == '-')) ++i;
      for (int n = 0; n < 4 && i < s_.size() && s_[i] >= '0' && s_[i] <= '9'; ++n) ++i;
    }
    if (!leadingPoint && i - start <= 18) {
      // Whole numbers, the usual case, are read here exactly.
      int64_t w = 0;
      size_t k = start;
      for (; k < i && s_[k] >= '0' && s_[k] <= '9'; ++k) w = w * 10 + (s_[k] - '0');
      if (k == i) {
        p_ = i;
        return {tNum, static_cast<Extended>(w)};
      }
    }
    std::string text(s_.substr(start, i - start));
    if (leadingPoint) text.insert(text.begin(), '0');
    p_ = i;
    Extended v = 0;
    if (!TextToExtended(text, '.', v)) {
      v = 0;
      calcError = true;
    }
    return {tNum, v};
  }

  Token Function() {
    int code = 0;
    for (int k = 0; k < 11; ++k) {
      std::string_view name = kFuncs[k];
      if (s_.substr(p_, name.size()) == name) {
        p_ += name.size();
        code = k + 1;
      }
    }
    if (!code) {
      ++p_;
      return {tBad};
    }
    return {tFunc, 0, code};
  }

  std::string_view s_;
  size_t p_ = 0;
};

struct Entry {
  int state;
  Extended value;
  int func;
};

enum Cls { cE, cT, cF, cK, cU, cS };

int Goto(Cls c, int top) {
  switch (c) {
    case cE: return top == 0 ? 1 : top == 9 ? 19 : top == 20 ? 28 : -1;
    case cT:
      if (top == 0 || top == 9 || top == 20) return 2;
      return top == 12 ? 21 : top == 13 ? 22 : -1;
    case cF:
      if (top == 0 || top == 9 || top == 12 || top == 13 || top == 20) return 3;
      return top == 14 ? 23 : top == 15 ? 24 : top == 16 ? 25 : top == 30 ? 31 : -1;
    case cK: return top == 5 ? -1 : 4;
    case cU: return top == 5 ? 17 : 6;
    case cS: return 8;
  }
  return -1;
}

bool OperandState(int s) {
  switch (s) {
    case 0: case 9: case 12: case 13: case 14: case 15: case 16: case 20: case 30: return true;
    default: return false;
  }
}

Extended Power(Extended b, Extended e) {
  if (e == 0) return 1;
  if (b == 0 && e > 0) return 0;
  if (e == std::trunc(e) && std::fabs(e) <= 2147483647.0L) {
    uint64_t n = static_cast<uint64_t>(std::fabs(e));
    Extended r = 1, x = b;
    while (n) {
      if (n & 1) r *= x;
      n >>= 1;
      if (n) x *= x;
    }
    return e < 0 ? 1 / r : r;
  }
  return std::exp2l(e * std::log2l(b));
}

class RoundingGuard {
 public:
  // Setting the mode costs more than reading it: only change it when needed.
  RoundingGuard() : saved_(std::fegetround()) {
    if (saved_ != FE_TONEAREST) std::fesetround(FE_TONEAREST);
  }
  ~RoundingGuard() {
    if (saved_ != FE_TONEAREST) std::fesetround(saved_);
  }

 private:
  int saved_;
};

}  // namespace

char DecimalSymbol() { return DecimalSymbolRef(); }
void SetDecimalSymbol(char c) { DecimalSymbolRef() = c; }
void SetDecimalSymbolText(std::string_view text) {
  if (text.size() == 1) DecimalSymbolRef() = text[0];
  else DecimalSymbolRef() = FormatSettings().localeDecimalSymbol ? FormatSettings().localeDecimalSymbol : '.';
}

bool TextToExtended(std::string_view t, char ds, Extended& out) {
  size_t i = 0, n = t.size();
  while (i < n && t[i] == ' ') ++i;
  while (n > i && t[n - 1] == ' ') --n;
  std::string s;
  bool neg = false;
  if (i < n && (t[i] == '+' || t[i] == '-')) neg = t[i++] == '-';
  int digits = 0;
  while (i < n && t[i] >= '0' && t[i] <= '9') s.push_back(t[i++]), ++digits;
  if (i < n && t[i] == ds) {
    s.push_back('.');
    ++i;
    while (i < n && t[i] >= '0' && t[i] <= '9') s.push_back(t[i++]), ++digits;
  }
  if (!digits) return false;
  if (i < n && (t[i] == 'E' || t[i] == 'e')) {
    s.push_back('e');
    ++i;
    if (i < n && (t[i] == '+' || t[i] == '-')) s.push_back(t[i++]);
    int ed = 0;
    while (i < n && t[i] >= '0' && t[i] <= '9') s.push_back(t[i++]), ++ed;
    if (!ed) return false;
  }
  if (i != n) return false;
  Extended v = 0;
  // Up to 18 digits without exponent: the digits as a whole number divided by
  // a power of ten, both exact, so the one rounding is the same as a full
  // conversion's.
  if (digits <= 18 && s.find('e') == std::string::npos) {
    uint64_t m = 0;
    int scale = 0;
    bool afterPoint = false;
    for (char ch : s) {
      if (ch == '.') {
        afterPoint = true;
        continue;
      }
      m = m * 10 + static_cast<uint64_t>(ch - '0');
      scale += afterPoint;
    }
    static constexpr Extended kPow10[19] = {1e0L,  1e1L,  1e2L,  1e3L,  1e4L,  1e5L,  1e6L,
                                            1e7L,  1e8L,  1e9L,  1e10L, 1e11L, 1e12L, 1e13L,
                                            1e14L, 1e15L, 1e16L, 1e17L, 1e18L};
    v = static_cast<Extended>(m);
    if (scale) v /= kPow10[scale];
    out = neg ? -v : v;
    return true;
  }
  auto res = std::from_chars(s.data(), s.data() + s.size(), v);
  if (res.ec != std::errc() || res.ptr != s.data() + s.size() || !std::isfinite(v)) return false;
  out = neg ? -v : v;
  return true;
}

Extended LenientNumber(std::string_view text) {
  const char ds = DecimalSymbol();
  std::string kept;
  kept.reserve(text.size());
  for (char c : text) {
    if (c == '-' || (c >= '0' && c <= '9') || c == ds) kept.push_back(c);
    else if (c == ',' || c == '.') kept.push_back(ds);
  }
  Extended v = 0;
  return TextToExtended(kept, ds, v) ? v : 0;
}

AnsiString FormatGeneral(Extended v) {
  if (!std::isfinite(v)) return "Error";
  if (v == 0) return "0";
  if (int64_t n; SmallWhole(v, n)) return std::to_string(n);
  std::string d;
  int e;
  Digits(v, 18, d, e);
  while (d.size() > 1 && d.back() == '0') d.pop_back();
  AnsiString out;
  if (v < 0) out.push_back('-');
  const char ds = DecimalSymbol();
  if (e >= 18 || e < -4) {
    out.push_back(d[0]);
    if (d.size() > 1) {
      out.push_back(ds);
      out.append(d, 1);
    }
    out.push_back('E');
    out += std::to_string(e);
    return out;
  }
  if (e < 0) {
    out += '0';
    out.push_back(ds);
    out.append(static_cast<size_t>(-e - 1), '0');
    out += d;
    return out;
  }
  const size_t intDigits = static_cast<size_t>(e) + 1;
  if (d.size() <= intDigits) {
    out += d;
    out.append(intDigits - d.size(), '0');
  } else {
    out.append(d, 0, intDigits);
    out.push_back(ds);
    out.append(d, intDigits);
  }
  return out;
}

AnsiString FormatFixed(Extended v, int decimals) {
  if (!std::isfinite(v)) return "Error";
  if (decimals < 0) decimals = 0;
  if (decimals > 18) decimals = 18;
  const char ds = DecimalSymbol();
  if (int64_t n; SmallWhole(v, n)) {
    AnsiString out = std::to_string(n);
    if (decimals > 0) {
      out.push_back(ds);
      out.append(static_cast<size_t>(decimals), '0');
    }
    return out;
  }
  std::string d;
  int e = 0;
  if (v != 0) {
    RawDigits(v, d, e);
    int keep = e + 1 + decimals;
    if (keep > 18) keep = 18;
    RoundDigits(d, e, keep);
    if (e >= 18) return FormatGeneral(v);
  }
  if (d.empty() || IsZeroDigits(d)) {
    d = "0";
    e = 0;
    v = 0;
  }
  // Lay the digits out around the decimal symbol.
  AnsiString intPart, fracPart;
  for (int pos = e; pos >= 0; --pos) {
    int idx = e - pos;
    intPart.push_back(idx < static_cast<int>(d.size()) ? d[static_cast<size_t>(idx)] : '0');
  }
  if (intPart.empty()) intPart = "0";
  for (int k = 1; k <= decimals; ++k) {
    int idx = e + k;
    fracPart.push_back(idx >= 0 && idx < static_cast<int>(d.size()) ? d[static_cast<size_t>(idx)] : '0');
  }
  AnsiString out;
  if (v < 0) out.push_back('-');
  out += intPart;
  if (decimals > 0) {
    out.push_back(ds);
    out += fracPart;
  }
  return out;
}

bool PlainNumber(std::string_view text) {
  if (text.empty()) return false;
  const char ds = DecimalSymbol();
  auto decimalChar = [&](char c) { return c == ds || c == '.'; };
  char f = text[0];
  if (!((f >= '0' && f <= '9') || f == ' ' || f == '-' || decimalChar(f))) return false;
  for (size_t i = 1; i < text.size(); ++i) {
    char c = text[i];
    if (!((c >= '0' && c <= '9') || c == ' ' || decimalChar(c))) return false;
  }
  return true;
}

int64_t TruncNumber(std::string_view text, bool* ok) {
  Extended v = 0;
  bool good = TextToExtended(text, v);
  if (ok) *ok = good;
  if (!good) return 0;
  v = std::trunc(v);
  if (v >= 9.2e18L) return INT64_MAX;
  if (v <= -9.2e18L) return INT64_MIN;
  return static_cast<int64_t>(v);
}

namespace {

// Sums and differences of a few plain whole numbers ("[x]+[i]" once
// expanded) are what most expressions are. They are added here in 64 bits:
// with at most 8 terms below 1E18 every partial result is exact in 64-bit
// integers and in extended precision alike, so the value is the one the
// full evaluator computes. Anything else (another character, a decimal
// symbol or currency sign among these characters, a longer number, a
// misplaced sign) is left to the full evaluator.
bool PlainSum(std::string_view s, bool currency, int64_t& total) {
  const char ds = DecimalSymbol();
  if ((ds >= '0' && ds <= '9') || ds == ' ' || ds == '+' || ds == '-') return false;
  if (currency) {
    const std::string& sign = FormatSettings().currencySign;
    if (!sign.empty()) {
      const int start = UpperByte(static_cast<unsigned char>(sign[0]));
      if ((start >= '0' && start <= '9') || start == ' ' || start == '+' || start == '-') return false;
    }
  }
  constexpr int kMaxTerms = 8;
  size_t i = 0;
  const size_t n = s.size();
  int terms = 0;
  int64_t sum = 0;
  bool negate = false;  // the operator before the term
  while (true) {
    while (i < n && s[i] == ' ') ++i;
    bool minus = false;
    if (i < n && s[i] == '-') {
      minus = true;
      ++i;
      while (i < n && s[i] == ' ') ++i;
    }
    const size_t start = i;
    int64_t v = 0;
    while (i < n && s[i] >= '0' && s[i] <= '9') v = v * 10 + (s[i++] - '0');
    if (i == start || i - start > 18 || ++terms > kMaxTerms) return false;
    if (minus != negate) v = -v;
    sum += v;
    while (i < n && s[i] == ' ') ++i;
    if (i == n) break;
    if (s[i] != '+' && s[i] != '-') return false;
    negate = s[i] == '-';
    ++i;
  }
  total = sum;
  return true;
}

}  // namespace

ExprResult EvaluateExpression(std::string_view expr, int decimals, bool currency) {
  if (int64_t sum; PlainSum(expr, currency, sum)) {
    ExprResult r;
    // Sums of 1E18 and more go through the digit machinery: in the same
    // rounding mode as the full evaluator's.
    if (sum >= 1000000000000000000LL || sum <= -1000000000000000000LL) {
      RoundingGuard rounding;
      r.text = decimals < 0 ? FormatGeneral(static_cast<Extended>(sum)) : FormatFixed(static_cast<Extended>(sum), decimals);
      return r;
    }
    // What FormatGeneral and FormatFixed write for a whole number below 1E18.
    r.text = std::to_string(sum);
    if (decimals > 0) {
      r.text.push_back(DecimalSymbol());
      r.text.append(static_cast<size_t>(decimals > 18 ? 18 : decimals), '0');
    }
    return r;
  }
  AnsiString s = AnsiUpper(expr);
  if (!s.empty() && s[0] == '+') s.insert(s.begin(), '0');
  const char ds = DecimalSymbol();
  if (ds != '.')
    for (auto& c : s)
      if (c == ds) c = '.';
  // Currency signs are looked for only when the text has a byte that can
  // begin one (most expressions are plain ASCII without "$").
  const std::string& localSign = FormatSettings().currencySign;
  const int signStart = localSign.empty() ? -1 : UpperByte(static_cast<unsigned char>(localSign[0]));
  if (currency && std::any_of(s.begin(), s.end(), [&](char c) {
        const unsigned char b = static_cast<unsigned char>(c);
        return c == '$' || b >= 0x80 || b == signStart;
      })) {
    AnsiString sign = AnsiUpper(localSign);
    if (!sign.empty()) {
      for (size_t p; (p = s.find(sign)) != AnsiString::npos;) s.erase(p, sign.size());
    }
    for (char c : {'$', '\xA3', '\x80', '\xA5', '\xA2'}) std::erase(s, c);
  }

  RoundingGuard rounding;
  Lexer lex(s);
  bool calcError = false;
  auto check = [&](Extended v) {
    if (!std::isfinite(v)) calcError = true;
    return v;
  };
  Entry stack[20];
  int sp = 0;  // entries in use
  stack[sp++] = {0, 0, 0};
  Token tok = lex.Next();
  auto push = [&](int state, Extended v, int f) {
    if (sp >= 20) return false;
    stack[sp++] = {state, v, f};
    return true;
  };
  bool syntax = false;
  bool accepted = false;
  while (!syntax && !accepted) {
    const int st = stack[sp - 1].state;
    int shift = -1, rule = 0;
    if (OperandState(st) || st == 5) {
      if (tok.kind == tNum) shift = 10;
      else if (tok.kind == tFunc) shift = 11;
      else if (tok.kind == tLP) shift = 9;
      else if (tok.kind == tMinus && st != 5) shift = 5;
      else syntax = true;
    } else {
      switch (st) {
        case 1:
          if (tok.kind == tEnd) accepted = true;
          else if (tok.kind == tPlus) shift = 12;
          else if (tok.kind == tMinus) shift = 13;
          else syntax = true;
          break;
        case 2:
        case 21:
        case 22:
          if (tok.kind == tMul) shift = 14;
          else if (tok.kind == tDiv) shift = 15;
          else if (tok.kind == tAmp) shift = 30;
          else rule = st == 2 ? 3 : st == 21 ? 1 : 2;
          break;
        case 3: rule = 6; break;
        case 4:
          if (tok.kind == tPow) shift = 16;
          else rule = 8;
          break;
        case 6: rule = 10; break;
        case 8: rule = 12; break;
        case 10: rule = 15; break;
        case 11:
          if (tok.kind == tLP) shift = 20;
          else syntax = true;
          break;
        case 17: rule = 9; break;
        case 19:
        case 28:
          if (tok.kind == tPlus) shift = 12;
          else if (tok.kind == tMinus) shift = 13;
          else if (tok.kind == tRP) shift = st == 19 ? 27 : 29;
          else syntax = true;
          break;
        case 23: rule = 4; break;
        case 24: rule = 5; break;
        case 25: rule = 7; break;
        case 27: rule = 14; break;
        case 29: rule = 16; break;
        case 31: rule = 32; break;
        default: syntax = true;
      }
    }
    if (syntax || accepted) break;
    if (shift >= 0) {
      if (!push(shift, tok.value, tok.func)) {
        syntax = true;
        break;
      }
      tok = lex.Next();
      continue;
    }
    Extended v = 0;
    Cls cls = cE;
    int pops = 1;
    auto at = [&](int fromTop) -> const Entry& { return stack[sp - 1 - fromTop]; };
    switch (rule) {
      case 1: pops = 3; cls = cE; v = check(at(2).value + at(0).value); break;
      case 2: pops = 3; cls = cE; v = check(at(2).value - at(0).value); break;
      case 3: cls = cE; v = at(0).value; break;
      case 4: pops = 3; cls = cT; v = check(at(2).value * at(0).value); break;
      case 5:
        pops = 3;
        cls = cT;
        if (at(0).value == 0) {
          calcError = true;
          v = 0;
        } else {
          v = check(at(2).value / at(0).value);
        }
        break;
      case 6: cls = cT; v = at(0).value; break;
      case 7: pops = 3; cls = cF; v = check(Power(at(2).value, at(0).value)); break;
      case 8: cls = cF; v = at(0).value; break;
      case 9: pops = 2; cls = cK; v = -at(0).value; break;
      case 10: cls = cK; v = at(0).value; break;
      case 12: cls = cU; v = at(0).value; break;
      case 14: pops = 3; cls = cS; v = at(1).value; break;
      case 15: cls = cS; v = at(0).value; break;
      case 16: {
        pops = 4;
        cls = cS;
        const Extended x = at(1).value;
        switch (at(3).func) {
          case 1: v = std::fabs(x); break;
          case 2: v = std::atan(x); break;
          case 3: v = std::cos(x); break;
          case 4: v = check(std::exp(x)); break;
          case 5:
            if (x <= 0) calcError = true;
            else v = std::log(x);
            break;
          case 6: v = std::nearbyint(x); break;
          case 7: v = std::sin(x); break;
          case 8:
            if (x < 0) calcError = true;
            else v = std::sqrt(x);
            break;
          case 9: v = check(x * x); break;
          case 10: v = std::trunc(x); break;
          case 11: v = x - std::trunc(x); break;
        }
        if (!std::isfinite(v)) {
          calcError = true;
          v = 0;
        }
        break;
      }
      case 32: {
        pops = 3;
        cls = cS;
        const Extended l = std::trunc(at(2).value), r = std::trunc(at(0).value);
        // Whole numbers outside the 64-bit range and a right side that cuts
        // to 0 cannot be divided: both are calculation errors.
        constexpr Extended kLimit = 9223372036854775807.0L;
        if (r == 0 || !std::isfinite(l) || !std::isfinite(r) || std::fabs(l) > kLimit || std::fabs(r) > kLimit) {
          calcError = true;
          v = 0;
        } else {
          const int64_t li = static_cast<int64_t>(l), ri = static_cast<int64_t>(r);
          v = ri == -1 ? 0 : static_cast<Extended>(li % ri);
        }
        break;
      }
    }
    sp -= pops;
    const int next = Goto(cls, stack[sp - 1].state);
    if (next < 0 || !push(next, v, 0)) {
      syntax = true;
      break;
    }
  }
  ExprResult r;
  if (syntax) {
    r.text = "Error";
    r.syntaxError = true;
    return r;
  }
  const Extended value = stack[sp - 1].value;
  if (calcError || lex.calcError || !std::isfinite(value)) {
    r.text = "Error";
    return r;
  }
  r.text = decimals < 0 ? FormatGeneral(value) : FormatFixed(value, decimals);
  return r;
}

// ---- Random ----------------------------------------------------------------

namespace {
std::mt19937_64& Generator() {
  static std::mt19937_64 gen(static_cast<uint64_t>(TheClock().WallMs()) ^ 0x9E3779B97F4A7C15ull);
  return gen;
}
}  // namespace

void SeedRandom(uint64_t seed) { Generator().seed(seed); }

int64_t RandomUpTo(int64_t n) {
  if (n == 0) return 0;
  int64_t lo = n < 0 ? n : 0, hi = n < 0 ? 0 : n;
  std::uniform_int_distribution<int64_t> dist(lo, hi);
  return dist(Generator());
}

}  // namespace vl
