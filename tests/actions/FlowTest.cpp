// The flow commands and the block state machine, run through the --eval path.
#include <gtest/gtest.h>

#include <cstdio>

#include "CmdTestSupport.h"
#include "support/ActionRunner.h"
#include "runtime/Messages.h"

using namespace vltest;

namespace {

std::string Err(const char* word, int msg) { return std::string(word) + "\r\r" + vl::Msg(msg); }

using Case = CmdCase;
void RunCases(const std::vector<Case>& cases) { RunCmdCases(cases); }

// An If that stores "t" or "f" in [r].
std::string IfCase(const char* left, const char* op, const char* right) {
  return std::string("If \"") + left + "\" \"" + op + "\" \"" + right +
         "\"\nSetVar \"[r]\" \"t\"\nElse\nSetVar \"[r]\" \"f\"\nEndIf";
}

}  // namespace

TEST(Flow, IfComparisons) {
  struct C {
    const char *l, *op, *r, *want;
  } cases[] = {
      {"10", ">", "9", "t"},      // numeric
      {"10", ">", "!9", "f"},     // a literal value compares as text: "10" < "9"
      {"abc", "=", "ABC", "t"},   // upper-cased first
      {"!abc", "=", "ABC", "f"},  // unless literal
      {"", "=", "0", "f"},        // an empty value is never numeric
      {"1.50", "=", "1.5", "t"},
      {"2", "<=", "2", "t"},
      {"2", "<>", "3", "t"},
      {"b", ">=", "a", "t"},
      {"1+1", "=", "2", "t"},  // values are kind 4: expressions evaluated
  };
  for (auto& c : cases) {
    ActionRun r = RunActionText(IfCase(c.l, c.op, c.r));
    EXPECT_EQ(r.Var("r"), c.want) << c.l << " " << c.op << " " << c.r;
  }
  ActionRun bad = RunActionText(IfCase("1", "=>", "1"));
  EXPECT_EQ(bad.LastError(), "If\r\r=> non \xE8 un operatore valido.");
  EXPECT_FALSE(bad.Has("r"));
}

TEST(Flow, BlockStateMachine) {
  RunCases({
      {"nested If in a false branch is skipped whole",
       "If \"1\" \"=\" \"2\"\n"
       "  If \"1\" \"=\" \"1\"\n    SetVar \"[a]\" \"inner\"\n  Else\n    SetVar \"[a]\" \"innerelse\"\n  EndIf\n"
       "  SetVar \"[a]\" \"outer\"\n"
       "Else\n  SetVar \"[b]\" \"else\"\nEndIf\nSetVar \"[c]\" \"after\"",
       {{"a", ""}, {"b", "else"}, {"c", "after"}}},
      {"true branch skips Else",
       "If \"1\" \"=\" \"1\"\nSetVar \"[a]\" \"1\"\nElse\nSetVar \"[b]\" \"1\"\nEndIf",
       {{"a", "1"}, {"b", ""}}},
      {"While counts", "SetVar \"[n]\" \"0\"\nWhile \"[n]\" \"<\" \"4\"\nSetVar \"[n]\" \"[n]+1\"\nEndWhile",
       {{"n", "4"}}},
      {"false While skips its body and nested Whiles",
       "While \"1\" \"=\" \"2\"\nWhile \"1\" \"=\" \"1\"\nSetVar \"[a]\" \"1\"\nEndWhile\nSetVar \"[b]\" \"1\"\nEndWhile\n"
       "SetVar \"[c]\" \"1\"",
       {{"a", ""}, {"b", ""}, {"c", "1"}}},
      {"ExitWhile", "SetVar \"[n]\" \"0\"\nWhile \"1\" \"=\" \"1\"\nSetVar \"[n]\" \"[n]+1\"\n"
                    "If \"[n]\" \"=\" \"3\"\nExitWhile\nEndIf\nEndWhile\nSetVar \"[done]\" \"[n]\"",
       {{"done", "3"}}},
      {"EndWhile without While goes on", "EndWhile\nSetVar \"[a]\" \"1\"", {{"a", "1"}}},
      {"ExitWhile outside", "ExitWhile\nSetVar \"[a]\" \"1\"", {{"LastError", Err("ExitWhile", 346)}, {"a", ""}}},
      {"ExitLoop outside", "ExitLoop", {{"LastError", Err("ExitLoop", 346)}}},
      {"unknown command inside a skipped branch still fails",
       "If \"1\" \"=\" \"2\"\nFooo\nEndIf", {{"LastError", Err("Fooo", 247)}}},
      {"open quote inside a skipped branch is not checked",
       "If \"1\" \"=\" \"2\"\nSetVar \"[a]\nEndIf\nSetVar \"[b]\" \"1\"", {{"b", "1"}, {"LastError", ""}}},
  });
}

TEST(Flow, Loop) {
  RunCases({
      {"counts down", "SetVar \"[s]\" \"\"\nLoop \"5\" \"1\" \"[i]\"\nSetVar \"[s]\" \"[s][i]\"\nEndLoop",
       {{"s", "54321"}, {"i", "1"}}},
      {"once", "Loop \"1\" \"1\" \"[i]\"\nSetVar \"[n]\" \"[n]1\"\nEndLoop", {{"n", "1"}, {"i", "1"}}},
      {"counts up, counter kept", "Loop \"1\" \"3\" \"[i]\"\nSetVar \"[s]\" \"[s][i]\"\nEndLoop", {{"s", "123"}, {"i", "3"}}},
      {"fractions dropped", "Loop \"1.9\" \"3.7\" \"[i]\"\nSetVar \"[s]\" \"[s][i]\"\nEndLoop", {{"s", "123"}}},
      {"the body changes the counter",
       "Loop \"1\" \"10\" \"[i]\"\nSetVar \"[s]\" \"[s][i],\"\nSetVar \"[i]\" \"[i]+2\"\nEndLoop",
       {{"s", "1,4,7,10,"}}},
      {"bounds prepared on every pass",
       "SetVar \"[to]\" \"5\"\nLoop \"1\" \"[to]\" \"[i]\"\nSetVar \"[to]\" \"2\"\nSetVar \"[s]\" \"[s][i]\"\nEndLoop",
       {{"s", "12"}}},
      {"nested loops",
       "Loop \"1\" \"2\" \"[i]\"\nLoop \"1\" \"3\" \"[j]\"\nSetVar \"[s]\" \"[s][i][j]\"\nEndLoop\nEndLoop",
       {{"s", "111213212223"}}},
      {"ExitLoop inside an If",
       "Loop \"1\" \"9\" \"[i]\"\nIf \"[i]\" \"=\" \"3\"\nExitLoop\nEndIf\nSetVar \"[s]\" \"[s][i]\"\nEndLoop\n"
       "SetVar \"[after]\" \"[i]\"",
       {{"s", "12"}, {"after", "3"}}},
      {"ExitLoop skips an inner loop", "Loop \"1\" \"3\" \"[i]\"\nExitLoop\nLoop \"1\" \"2\" \"[j]\"\nEndLoop\nEndLoop\n"
                                       "SetVar \"[after]\" \"1\"",
       {{"j", ""}, {"after", "1"}, {"i", "1"}}},
      {"no variable", "Loop \"1\" \"2\" \"\"\nEndLoop", {{"LastError", Err("Loop", 254)}}},
  });
}

TEST(Flow, GotoLineAndLabels) {
  RunCases({
      {"line numbers count blanks and comments",
       "GotoLine \"4\"\n. comment\n\nSetVar \"[a]\" \"1\"", {{"a", "1"}}},
      {"to a label", "GotoLine \"skip\"\nSetVar \"[a]\" \"1\"\n:Skip\nSetVar \"[b]\" \"1\"", {{"a", ""}, {"b", "1"}}},
      {"expression", "GotoLine \"1+2\"\nSetVar \"[a]\" \"1\"\nSetVar \"[b]\" \"1\"", {{"a", ""}, {"b", "1"}}},
      {"zero goes to line 1",
       "SetVar \"[n]\" \"[n]1\"\nIf \"[n]\" \"=\" \"111\"\nGotoLine \"99\"\nEndIf\nGotoLine \"0\"", {{"n", "111"}}},
      {"missing label", "GotoLine \"nowhere\"\nSetVar \"[a]\" \"1\"", {{"LastError", Err("GotoLine", 244)}, {"a", ""}}},
      {"Return ends a top-level action", "Return\nSetVar \"[a]\" \"1\"", {{"a", ""}, {"LastError", ""}}},
  });
}

TEST(Flow, IfExConditions) {
  struct C {
    const char* cond;
    const char* want;  // "t", "f" or the expected LastError
  } cases[] = {
      {"[a] = 1 OR [b] = 2 AND [c] = 3", "f"},  // ((a=1) OR (b=2)) AND (c=3): a=1, b=0, c=0
      {"[a] = 1 OR ([b] = 2 AND [c] = 3)", "t"},
      {"(([a] = 1))", "t"},
      {"[a]=1 and [b]=0", "t"},
      {"[#34]x y[#34] = [#34]X Y[#34]", "t"},  // quoted operands keep their blanks
      {"[#34][#34]=[#34][#34]", "t"},
      {"!abc = ABC", "f"},
      {"!10 > 9", "t"},  // numeric comparison even for literal operands
      {"[a]=[#34][#34]", "f"},
      {"[a] => 1", "IfEx\r\r=> non \xE8 un operatore valido."},
      {"[a] = 1 XOR [b] = 0", "IfEx\r\rXOR non \xE8 un operatore valido."},
      {"[a] [#34]=[#34] 1", "IfEx\r\rAll'espressione manca un operatore."},
      {"[a] 1", "IfEx\r\rAll'espressione manca un operatore."},
      {"[a] = ", "IfEx\r\rEspressione non valida."},
      {"", "IfEx\r\rEspressione non valida."},
  };
  for (auto& c : cases) {
    std::string text = std::string("SetVar \"[a]\" \"1\"\nSetVar \"[b]\" \"0\"\nIfEx \"") + c.cond +
                       "\"\nSetVar \"[r]\" \"t\"\nElse\nSetVar \"[r]\" \"f\"\nEndIf";
    ActionRun r = RunActionText(text);
    if (std::string(c.want).size() == 1)
      EXPECT_EQ(r.Var("r"), c.want) << c.cond << " / " << r.LastError();
    else
      EXPECT_EQ(r.LastError(), c.want) << c.cond;
  }
  // Deep nesting is refused without exhausting the stack.
  std::string deep(100000, '(');
  ActionRun r = RunActionText("IfEx \"" + deep + "\"");
  EXPECT_EQ(r.LastError(), "IfEx\r\rEspressione non valida.");
}

TEST(Flow, WhileEx) {
  ActionRun r = RunActionText(
      "SetVar \"[n]\" \"0\"\nWhileEx \"[n] < 5 AND [n] <> 3\"\nSetVar \"[n]\" \"[n]+1\"\nEndWhile");
  EXPECT_EQ(r.Var("n"), "3");
}

TEST(Flow, Subroutines) {
  // GoSub needs SUBROUTINEACTION=; a missing label is the caller's error.
  RunCases({
      {"missing", "GoSub \"nothere\"\nSetVar \"[a]\" \"1\"", {{"LastError", Err("GoSub", 240)}, {"a", ""}}},
  });
}

TEST(Flow, DelayWaitsOnTheClock) {
  // The eval path runs on the virtual clock, so the wait shows only as time
  // gone by: [Time24] is read before and after. Whole seconds of delay move
  // the seconds by exactly that much wherever in a second the run starts.
  auto seconds = [](const std::string& hms) {
    int h = 0, m = 0, sec = 0;
    EXPECT_EQ(std::sscanf(hms.c_str(), "%d:%d:%d", &h, &m, &sec), 3) << hms;
    return (h * 60 + m) * 60 + sec;
  };
  struct {
    const char* delay;
    int seconds;
  } cases[] = {
      {"2000", 2},
      {"-3000", 3},  // negative: waits without handling other work
      {"0", 0},
      {"1000*2", 2},  // a number argument: expressions are evaluated
  };
  for (const auto& c : cases) {
    ActionRun r = RunActionText(std::string("SetVar \"[t0]\" \"[Time24]\"\nDelay \"") + c.delay +
                                "\"\nSetVar \"[t1]\" \"[Time24]\"\nSetVar \"[a]\" \"1\"");
    EXPECT_EQ(r.Var("a"), "1") << c.delay;
    EXPECT_EQ(r.LastError(), "") << c.delay;
    EXPECT_EQ(seconds(r.Var("t1")) - seconds(r.Var("t0")), c.seconds) << c.delay << ": " << r.Var("t0") << " -> "
                                                                     << r.Var("t1");
  }
}
