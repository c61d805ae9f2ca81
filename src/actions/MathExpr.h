#pragma once
// The expression evaluator of the action language and the number texts it
// reads and writes. Values are computed in x87 extended precision.
#include <cstdint>

#include "runtime/Ansi.h"

namespace vl {

using Extended = long double;

struct ExprResult {
  AnsiString text;          // formatted number, or "Error"
  bool syntaxError = false;  // set only for a syntax error
};

// decimals < 0: general format (up to 18 significant digits); else fixed with
// that many decimals. With `currency`, currency signs are removed first.
ExprResult EvaluateExpression(std::string_view expr, int decimals, bool currency);

// A text that argument preparation leaves alone: first character a digit, a
// blank, "-" or a decimal character, the rest digits, blanks or decimal
// characters.
bool PlainNumber(std::string_view text);

// The process-wide decimal symbol (written through [DecimalSymbol]).
char DecimalSymbol();
void SetDecimalSymbol(char c);
// One character sets it; any other text restores the locale's symbol.
void SetDecimalSymbolText(std::string_view text);

// Strict reading of a floating-point text with the given decimal symbol:
// blanks, optional sign, digits with at most one decimal symbol, optional
// exponent, blanks. False for anything else and for values out of range.
bool TextToExtended(std::string_view text, char decimalSymbol, Extended& out);
// Reading with the current decimal symbol.
inline bool TextToExtended(std::string_view text, Extended& out) {
  return TextToExtended(text, DecimalSymbol(), out);
}

// Keeps only "-", digits and the decimal symbol ("," and "." become the
// decimal symbol) and reads the rest; 0 when that fails.
Extended LenientNumber(std::string_view text);

// Fixed notation: `decimals` places, up to 18 significant digits, the current
// decimal symbol, no thousands separators. Values of 1E18 and above are
// written in general format. NaN and infinities give "Error".
AnsiString FormatFixed(Extended v, int decimals);
// General format: up to 18 significant digits, no trailing zeros, exponent
// form for very large or small values.
AnsiString FormatGeneral(Extended v);

// A number text read for commands that want a whole number: the value with
// its fraction dropped; `ok` false (and 0) when it is not a number.
int64_t TruncNumber(std::string_view text, bool* ok = nullptr);

// The generator behind Random: seeded from the clock once, re-seedable so that
// headless runs repeat.
void SeedRandom(uint64_t seed);
// Uniform whole number from 0 to n inclusive (n < 0: from n to 0).
int64_t RandomUpTo(int64_t n);

}  // namespace vl
