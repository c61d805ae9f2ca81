// The shortcuts of tight loops: where a name was last found, the arguments a
// line prepares once, and whole-number sums added without the full
// evaluator. Each must give exactly what the slow path gives, also when
// variables come and go between two passes.
#include <gtest/gtest.h>

#include "CmdTestSupport.h"
#include "VarsTestSupport.h"
#include "actions/Interpreter.h"
#include "runtime/Global.h"

using namespace vl;
using vltest::RunCmdCases;

namespace {

class LookupCache : public vltest::VarsFixture {};

TEST_F(LookupCache, NamesAreFoundAfreshOnceVariablesComeOrGo) {
  EXPECT_EQ(Get("[n]"), "");  // remembered as absent
  SetVariable("[n]", "1");
  EXPECT_EQ(Get("[n]"), "1");
  SetVariable("[n]", "");  // deleted
  EXPECT_EQ(Get("[n]"), "");
  EXPECT_EQ(ExpandVariables("[n]", true), "0");
  SetVariable("[n]", "2");
  ClearAllVariables();
  EXPECT_EQ(Get("[n]"), "");

  // A local that appears between two reads shadows the global, and the
  // global is seen again once the locals are set aside.
  SetVariable("[v]", "global");
  EXPECT_EQ(Get("[v]"), "global");
  {
    LocalScope scope;
    EXPECT_EQ(Get("[v]"), "global");
    DefineVariable("[v]", "String", "", true);
    SetVariable("[v]", "local");
    EXPECT_EQ(Get("[v]"), "local");
    {
      LocalScope inner;
      EXPECT_EQ(Get("[v]"), "global");
    }
    EXPECT_EQ(Get("[v]"), "local");
  }
  EXPECT_EQ(Get("[v]"), "global");

  // Re-typing keeps the line where it is; the assignment still converts.
  SetVariable("[t]", "7");
  EXPECT_EQ(Get("[t]"), "7");
  DefineVariable("[t]", "Integer", "", false);
  SetVariable("[t]", "12.5");
  EXPECT_EQ(Get("[t]"), "7");
  EXPECT_EQ(Get("[LastError]"), vltest::MsgWith(324, "12.5"));
  SetVariable("[LastError]", "");
  DefineVariable("[t]", "Currency", "", false);
  SetVariable("[t]", "3");
  EXPECT_EQ(Get("[t]"), "3.00");

  // The same bytes in another letter case are the same variable.
  SetVariable("[Mixed]", "a");
  EXPECT_EQ(Get("[mixed]"), "a");
  SetVariable("[MIXED]", "");
  EXPECT_EQ(Get("[Mixed]"), "");

  // Special variables and character codes are not shadowed by the cache.
  EXPECT_EQ(Get("[#65]"), "A");
  SetVariable("[Time]", "x");
  EXPECT_EQ(Get("[LastError]"), Msg(229) + " [Time].");
}

TEST_F(LookupCache, LongNamesAndNamesWithNestedReferences) {
  const std::string longName(200, 'q');
  SetVariable("[" + longName + "]", "long");
  EXPECT_EQ(Get("[" + longName + "]"), "long");
  SetVariable("[" + longName + "]", "");
  EXPECT_EQ(Get("[" + longName + "]"), "");
  SetVariable("[k]", "1");
  SetVariable("[a1]", "first");
  EXPECT_EQ(Get("[a[k]]"), "first");
  SetVariable("[k]", "2");
  EXPECT_EQ(Get("[a[k]]"), "");
  SetVariable("[a2]", "second");
  EXPECT_EQ(Get("[a[k]]"), "second");
}

TEST(LookupCacheRun, LoopsSeeVariablesChangeBetweenPasses) {
  RunCmdCases({
      {"created on a later pass",
       "Loop \"1\" \"3\" \"[i]\"\nMath \"[v]+1\" \"0\" \"[w]\"\nSetVar \"[s]\" \"[s][w],\"\nSetVar \"[v]\" \"[i]0\"\nEndLoop",
       {{"s", "1,11,21,"}}},
      {"deleted on a later pass",
       "SetVar \"[v]\" \"5\"\nLoop \"1\" \"3\" \"[i]\"\nSetVar \"[s]\" \"[s]<[v]>\"\nIf \"[i]\" \"=\" \"2\"\n"
       "SetVar \"[v]\" \"\"\nEndIf\nEndLoop",
       {{"s", "<5><5><>"}, {"v", ""}}},
      {"cleared on a later pass",
       "Loop \"1\" \"3\" \"[i]\"\nMath \"[n]+1\" \"0\" \"[n]\"\nIf \"[i]\" \"=\" \"2\"\nSetVar \"[k]\" \"[n]\"\n"
       "ClearVariables \"n\"\nEndIf\nEndLoop",
       {{"n", "1"}, {"k", "2"}}},
      {"shadowed by a local from a later pass on",
       "Loop \"1\" \"4\" \"[i]\"\nIf \"[i]\" \"=\" \"3\"\nDefineVar \"[x]\" \"Undefined\" \"\" \"Local\" \"\"\nEndIf\n"
       "Math \"[x]+[i]\" \"0\" \"[x]\"\nSetVar \"[s]\" \"[s][x],\"\nEndLoop",
       {{"x", "3"}, {"s", "1,3,3,7,"}}},
      {"typed between passes",
       "Loop \"1\" \"3\" \"[i]\"\nIf \"[i]\" \"=\" \"2\"\nDefineVar \"[d]\" \"Decimal\" \"1\" \"\" \"\"\nEndIf\n"
       "SetVar \"[d]\" \"[i]\"\nSetVar \"[s]\" \"[s][d],\"\nEndLoop",
       {{"s", "1,2.0,3.0,"}}},
      {"array element with a computed index",
       "Loop \"1\" \"4\" \"[i]\"\nSetVar \"[a[i]]\" \"[i]*[i]\"\nMath \"[sum]+[a[i]]\" \"0\" \"[sum]\"\nEndLoop\n"
       "SetVar \"[k]\" \"3\"\nSetVar \"[third]\" \"[a[k]]\"",
       {{"sum", "30"}, {"a4", "16"}, {"third", "9"}}},
  });
}

TEST(LookupCacheRun, ASubroutinesLocalComesAndGoesBetweenPasses) {
  vl::SubroutineText() =
      ":sub\r\nDefineVar \"[x]\" \"Integer\" \"\" \"Local\" \"100\"\r\nMath \"[x]+1\" \"0\" \"[x]\"\r\n"
      "SetVar \"[inner]\" \"[inner][x],\"\r\nReturn";
  vltest::ActionRun r =
      vltest::RunActionText("Loop \"1\" \"2\" \"[i]\"\nGoSub \"sub\"\nMath \"[x]+1\" \"0\" \"[x]\"\nEndLoop");
  vl::SubroutineText().clear();
  EXPECT_EQ(r.Var("x"), "2");
  EXPECT_EQ(r.Var("inner"), "101,101,");
}

// The whole-number sums taken without the full evaluator against the full
// evaluator itself (parentheses around a text send it there).
TEST_F(LookupCache, PlainSumsMatchTheFullEvaluator) {
  const char* exprs[] = {"1+2",    " 12 + 30 ",       "3--5",   "3+-5", "- 5",  "-5+3",  "0-0",  "-0",
                         "--5",    "1 2",             "5-",     "7",    "007",  "5E3",   "5e3",  "1.5+1",
                         "3,5",    "999999999999999999+999999999999999999", "1234567890123456789+1",
                         "1+1+1+1+1+1+1+1+1",        "2*3",    "",     " ",    "-",     "1 -  -2"};
  for (char ds : {'.', ',', '-', '5'}) {
    SetDecimalSymbol(ds);
    for (const char* e : exprs)
      for (int decimals : {-1, 0, 2}) {
        const std::string text = e;
        const ExprResult fast = EvaluateExpression(text, decimals, true);
        const ExprResult full = EvaluateExpression("(" + text + ")", decimals, true);
        EXPECT_EQ(fast.text, full.text) << "[" << text << "] decimals " << decimals << " symbol " << ds;
        EXPECT_EQ(fast.syntaxError, full.syntaxError) << "[" << text << "] symbol " << ds;
      }
  }
  SetDecimalSymbol('.');
  EXPECT_EQ(EvaluateExpression("5+1", 2, false).text, "6.00");
}

}  // namespace
