// Math, Random, DateToNum and NumToDate.
#include <cmath>
#include <string>

#include "actions/CmdArgs.h"
#include "actions/CommandApi.h"
#include "actions/DateTime.h"
#include "actions/MathExpr.h"
#include "actions/Vars.h"

namespace vl {
namespace {

void DoMath(CommandContext& c) {
  SetLastError("");
  const bool written = c.RawArg(1).find('[') == AnsiString::npos;
  const AnsiString expr = c.PrepareArg(1, ArgNumber, false, false);
  const AnsiString decimalsText = c.PrepareArg(2, ArgNumber, true, false);
  const AnsiString var = c.PrepareArg(3, ArgVariable, false, false);
  int64_t decimals = WholeArg(decimalsText);
  if (decimals > 18) decimals = 18;
  if (decimals < -1) decimals = -1;
  ExprResult r = EvaluateExpression(expr, static_cast<int>(decimals), true);
  SetVariable(var, r.text);
  // With variables in it, a malformed expression only leaves "Error".
  if (r.syntaxError && written) c.Fail(ErrMathSyntax);
}

void DoRandom(CommandContext& c) { SetVariable(c.Arg(2), std::to_string(RandomUpTo(WholeArg(c.Arg(1))))); }

void DoDateToNum(CommandContext& c) {
  TDateTime d = 0;
  AnsiString r = "Error";
  if (ReadDate(c.Arg(1), c.Arg(2), d)) r = std::to_string(static_cast<int64_t>(std::trunc(d)));
  SetVariable(c.Arg(3), r);
}

void DoNumToDate(CommandContext& c) {
  bool ok = false;
  const int64_t n = TruncNumber(c.Arg(1), &ok);
  AnsiString r = "Error";
  if (ok && DateInRange(static_cast<double>(n)))
    r = FormatDateTime(DateFormatFromParam(c.Arg(2)), static_cast<TDateTime>(n));
  SetVariable(c.Arg(3), r);
}

const CommandBinder kBind{{cmd::Math, DoMath},
                          {cmd::Random, DoRandom},
                          {cmd::DateToNum, DoDateToNum},
                          {cmd::NumToDate, DoNumToDate}};

}  // namespace
}  // namespace vl
