// The flow commands: If, While, IfEx, WhileEx, Loop, ExitLoop, ExitWhile,
// GotoLine, GoSub, Return, Delay and Suspend.
#include <cmath>

#include "actions/Conditions.h"
#include "actions/FastNumber.h"
#include "actions/Interpreter.h"
#include "actions/MathExpr.h"
#include "actions/Vars.h"
#include "runtime/Clock.h"
#include "runtime/Global.h"
#include "runtime/Host.h"

namespace vl {
namespace {

// A prepared number argument cut to a whole number; 0 when it is none.
int64_t WholeNumber(std::string_view text) {
  int64_t v;
  if (PlainInteger(text, v)) return v;
  bool ok = false;
  int64_t n = TruncNumber(text, &ok);
  return ok ? n : 0;
}

bool CompareArgs(CommandContext& c) {
  CompareOp op;
  if (!ParseCompareOp(c.Arg(2), op)) {
    c.Fail(ErrBadOperator, c.Arg(2));
    return false;
  }
  return CompareValues(c.Arg(1), c.Literal(1), op, c.Arg(3), c.Literal(3), false);
}

void DoIf(CommandContext& c) {
  bool ok = CompareArgs(c);
  if (c.StopCode() == 0 && !ok) c.Eval().skipState = SkipState::ToElse;
}

void DoWhile(CommandContext& c) {
  bool ok = CompareArgs(c);
  if (c.StopCode() == 0 && !ok) c.Eval().skipState = SkipState::PastEndWhile;
}

// IfEx and WhileEx read their condition unexpanded.
bool Condition(CommandContext& c, bool& result) {
  AnsiString err;
  int rc = EvaluateCondition(c.RawArg(1), result, err);
  if (rc) c.Fail(rc, err);
  return rc == 0;
}

void DoIfEx(CommandContext& c) {
  bool r;
  if (Condition(c, r) && !r) c.Eval().skipState = SkipState::ToElse;
}

void DoWhileEx(CommandContext& c) {
  bool r;
  if (Condition(c, r) && !r) c.Eval().skipState = SkipState::PastEndWhile;
}

void DoLoop(CommandContext& c) {
  TActionEval& ev = c.Eval();
  const int64_t from = WholeNumber(c.Arg(1));
  const int64_t to = WholeNumber(c.Arg(2));
  const AnsiString& var = c.Arg(3);
  if (!ev.loopContinue) {
    if (var.empty()) {
      c.Fail(ErrLoopVariable);
      return;
    }
    SetVariable(var, std::to_string(from));
    return;
  }
  ev.loopContinue = false;
  const int64_t cur = WholeNumber(GetVariableValue(var, 0));
  if (from < to ? cur < to : cur > to)
    SetVariable(var, std::to_string(from < to ? cur + 1 : cur - 1));
  else
    ev.skipState = SkipState::PastEndLoop;
}

void DoExitLoop(CommandContext& c) {
  TActionEval& ev = c.Eval();
  if (ev.FindBlockStart(ev.LineNumber(), true) > 0)
    ev.skipState = SkipState::PastEndLoop;
  else
    c.Fail(ErrExitOutsideBlock);
}

void DoExitWhile(CommandContext& c) {
  TActionEval& ev = c.Eval();
  if (ev.FindBlockStart(ev.LineNumber(), false) > 0)
    ev.skipState = SkipState::PastEndWhile;
  else
    c.Fail(ErrExitOutsideBlock);
}

void DoGotoLine(CommandContext& c) {
  int32_t n;
  if (StrToIntStrict(c.Arg(1), n)) {
    c.SetLineNumber((n < 1 ? 1 : n) - 1);
    return;
  }
  int at = c.Eval().FindLabelLine(c.Arg(1));
  if (at == 0)
    c.Fail(ErrLabelNotFound);
  else
    c.SetLineNumber(at - 1);
}

void DoGoSub(CommandContext& c) {
  if (!RunSubroutine(c.Arg(1), c.ActionFlags()) && c.StopCode() == 0) c.Fail(ErrSubroutineNotFound);
}

void DoReturn(CommandContext& c) { c.Eval().returnFlag = true; }

void DoDelay(CommandContext& c) {
  const int64_t n = WholeNumber(c.Arg(1));
  TActionEval& ev = c.Eval();
  auto stop = [&ev] { return Terminating() || ev.generation != Generation() || ev.ShouldStop(); };
  if (n < 0) {
    TheClock().Block(-n, stop);
    return;
  }
  if (n == 0) return;
  const bool block = SuspendCount() > 0;
  if (block) Interp().BlockingState(true);
  bool fired = false;
  TVelTimer timer([&fired] { fired = true; });
  timer.SetInterval(n);
  TheClock().RunUntil([&] { return fired || stop(); }, -1);
  if (block) Interp().BlockingState(false);
}

void DoSuspend(CommandContext& c) {
  TActionEval& ev = c.Eval();
  if (SwitchIsOn(c.Arg(1))) {
    ++ev.ownSuspend;
    SetSuspendCount(SuspendCount() + 1);
    return;
  }
  if (ev.ownSuspend > 0) --ev.ownSuspend;
  SetSuspendCount(SuspendCount() - 1);
  if (SuspendCount() == 0 && !ContainsText(c.Arg(1), "NOBUFFER")) {
    Interp().DiscardQueuedInput();
  }
}

const CommandBinder kBind{{cmd::If, DoIf},
                          {cmd::While, DoWhile},
                          {cmd::IfEx, DoIfEx},
                          {cmd::WhileEx, DoWhileEx},
                          {cmd::Loop, DoLoop},
                          {cmd::ExitLoop, DoExitLoop},
                          {cmd::ExitWhile, DoExitWhile},
                          {cmd::GotoLine, DoGotoLine},
                          {cmd::GoSub, DoGoSub},
                          {cmd::Return, DoReturn},
                          {cmd::Delay, DoDelay},
                          {cmd::Suspend, DoSuspend}};

}  // namespace
}  // namespace vl
