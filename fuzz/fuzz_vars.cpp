// Saved-variables text, substitution, expressions and dates from hostile
// bytes: the input is a variables file, a NUL, and a text that is expanded,
// evaluated, read as a date and used as a date format.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "actions/DateTime.h"
#include "actions/MathExpr.h"
#include "actions/Vars.h"

using namespace vl;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool ready = [] {
    FormatSettings() = EnglishFormatSettings();
    VarsEnv().showErrors = false;
    // Writes must not move the fuzzer out of its folder.
    RegisterSpecialVar("CurrentDir", [](TDateTime) { return AnsiString("/tmp/"); });
    return true;
  }();
  (void)ready;
  std::string_view in(reinterpret_cast<const char*>(data), size);
  size_t nul = in.find('\0');
  std::string_view vars = in.substr(0, nul);
  std::string_view text = nul == std::string_view::npos ? std::string_view() : in.substr(nul + 1);

  ClearAllVariables();
  SetDecimalSymbol('.');
  LoadVariablesFromText(vars);
  AnsiString plain = ExpandVariables(text, true);
  ExpandVariables(text, false, true);
  ExprResult r = EvaluateExpression(plain, static_cast<int>(size % 21) - 2, size & 1);
  (void)r;
  PlainNumber(plain);
  LenientNumber(plain);
  TDateTime dt = 0;
  if (ReadDate(text, vars.substr(0, 8), dt)) FormatDateTime("c", dt);
  FormatDateTime(text.substr(0, 256), 45000.25);
  ScanArray(text.substr(0, 8));
  DefineVariable(text.substr(0, 16), "Integer", "", false);
  ClearVariables("");
  return 0;
}
