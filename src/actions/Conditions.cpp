#include "actions/Conditions.h"

#include <vector>

#include "actions/CommandApi.h"
#include "actions/FastNumber.h"
#include "actions/MathExpr.h"
#include "runtime/Global.h"

namespace vl {
namespace {

// The text reads as a floating-point number once "." stands for the decimal
// symbol.
bool ReadsAsNumber(std::string_view s) {
  const char dec = DecimalSymbol();
  Extended v;
  if (dec == '.') return TextToExtended(s, dec, v);
  AnsiString t(s);
  for (char& c : t)
    if (c == '.') c = dec;
  return TextToExtended(t, dec, v);
}

template <class T>
bool Apply(CompareOp op, const T& a, const T& b) {
  switch (op) {
    case CompareOp::Eq: return a == b;
    case CompareOp::Ne: return a != b;
    case CompareOp::Lt: return a < b;
    case CompareOp::Gt: return a > b;
    case CompareOp::Le: return a <= b;
    case CompareOp::Ge: return a >= b;
  }
  return false;
}

int Ordinal(std::string_view a, std::string_view b) {
  size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

// ---- IfEx / WhileEx conditions

enum class Tok : uint8_t { Word, Quoted, Op, Open, Close };
struct Token {
  Tok kind;
  AnsiString text;
};

std::vector<Token> Tokenize(std::string_view s) {
  std::vector<Token> out;
  AnsiString word;
  auto endWord = [&] {
    if (!word.empty()) out.push_back({Tok::Word, std::move(word)});
    word.clear();
  };
  size_t i = 0;
  while (i < s.size()) {
    char c = s[i];
    if (c == ' ' || c == '\r' || c == '\n') {
      endWord();
      ++i;
    } else if (c == '"') {
      endWord();
      AnsiString q;
      ++i;
      while (i < s.size() && s[i] != '"') {
        if (s[i] != '\r' && s[i] != '\n') q.push_back(s[i]);
        ++i;
      }
      if (i < s.size()) ++i;  // the closing quote
      out.push_back({Tok::Quoted, std::move(q)});
    } else if (c == '<' || c == '=' || c == '>') {
      endWord();
      AnsiString op;
      while (i < s.size() && (s[i] == '<' || s[i] == '=' || s[i] == '>')) op.push_back(s[i++]);
      out.push_back({Tok::Op, std::move(op)});
    } else if (c == '(') {
      endWord();
      out.push_back({Tok::Open, "("});
      ++i;
    } else if (c == ')') {
      endWord();
      out.push_back({Tok::Close, ")"});
      ++i;
    } else {
      word.push_back(c);
      ++i;
    }
  }
  endWord();
  return out;
}

// Parentheses deeper than this are refused as an invalid expression rather
// than risking the native stack.
constexpr int kMaxGroupDepth = 256;

class ConditionParser {
 public:
  explicit ConditionParser(std::vector<Token> toks) : t_(std::move(toks)) {}

  int Parse(bool& result, AnsiString& errorText) {
    int rc = Group(0, result);
    // A stray ")" ends the outermost group; what follows it is not read.
    if (rc) errorText = error_;
    return rc;
  }

 private:
  bool AtEnd() const { return p_ >= t_.size(); }

  int Group(int depth, bool& result) {
    if (depth > kMaxGroupDepth) return ErrNoOperand;
    int rc = Comparison(depth, result);
    if (rc) return rc;
    while (!AtEnd()) {
      const Token& tk = t_[p_];
      if (tk.kind == Tok::Close) {
        ++p_;
        return 0;
      }
      bool isAnd = SameTextInvariant(tk.text, "AND"), isOr = SameTextInvariant(tk.text, "OR");
      if (tk.kind == Tok::Op || (!isAnd && !isOr)) {
        error_ = tk.text;
        return ErrBadOperator;
      }
      ++p_;
      bool next = false;
      rc = Comparison(depth, next);
      if (rc) return rc;
      result = isAnd ? (result && next) : (result || next);
    }
    return 0;
  }

  bool Operand(const Token*& out) {
    if (AtEnd()) return false;
    const Token& tk = t_[p_];
    if (tk.kind != Tok::Word && tk.kind != Tok::Quoted) return false;
    out = &tk;
    ++p_;
    return true;
  }

  int Comparison(int depth, bool& result) {
    if (!AtEnd() && t_[p_].kind == Tok::Open) {
      ++p_;
      return Group(depth + 1, result);
    }
    const Token* left = nullptr;
    const Token* right = nullptr;
    if (!Operand(left)) return ErrNoOperand;
    if (AtEnd() || t_[p_].kind != Tok::Op) return ErrNoOperator;
    const Token& opTok = t_[p_++];
    CompareOp op;
    if (!ParseCompareOp(opTok.text, op)) {
      error_ = opTok.text;
      return ErrBadOperator;
    }
    if (!Operand(right)) return ErrNoOperand;
    bool litL = false, litR = false;
    AnsiString l = PrepareArgument(left->text, ArgValue, true, false, litL);
    AnsiString r = PrepareArgument(right->text, ArgValue, true, false, litR);
    result = CompareValues(l, litL, op, r, litR, true);
    return 0;
  }

  std::vector<Token> t_;
  size_t p_ = 0;
  AnsiString error_;
};

}  // namespace

bool ParseCompareOp(std::string_view op, CompareOp& out) {
  if (op == "=") out = CompareOp::Eq;
  else if (op == "<>") out = CompareOp::Ne;
  else if (op == "<") out = CompareOp::Lt;
  else if (op == ">") out = CompareOp::Gt;
  else if (op == "<=") out = CompareOp::Le;
  else if (op == ">=") out = CompareOp::Ge;
  else return false;
  return true;
}

bool CompareValues(std::string_view left, bool leftLiteral, CompareOp op, std::string_view right,
                   bool rightLiteral, bool numericIfLiteral) {
  const bool mayBeNumeric = numericIfLiteral || (!leftLiteral && !rightLiteral);
  int64_t a64, b64;
  if (mayBeNumeric && PlainInteger(left, a64) && PlainInteger(right, b64))
    return Apply(op, static_cast<double>(a64), static_cast<double>(b64));
  AnsiString l = leftLiteral ? AnsiString(left) : AnsiUpper(left);
  AnsiString r = rightLiteral ? AnsiString(right) : AnsiUpper(right);
  if (mayBeNumeric && !l.empty() && !r.empty() && ReadsAsNumber(l) && ReadsAsNumber(r)) {
    double a = static_cast<double>(LenientNumber(l)), b = static_cast<double>(LenientNumber(r));
    return Apply(op, a, b);
  }
  return Apply(op, Ordinal(l, r), 0);
}

int EvaluateCondition(std::string_view condition, bool& result, AnsiString& errorText) {
  result = false;
  AnsiString text = ReplaceAll(condition, "[#34]", "\"");
  ConditionParser p(Tokenize(text));
  return p.Parse(result, errorText);
}

}  // namespace vl
