// SetVar, DefineVar, the saved-variables commands and the array commands.
#include <gtest/gtest.h>

#include "CmdTestSupport.h"
#include "actions/Interpreter.h"
#include "support/TestSupport.h"

using namespace vltest;

TEST(CmdVars, SetVarEvaluatesUnlessTheTargetKeepsText) {
  RunCmdCases({
      {"untyped evaluates", "SetVar \"[x]\" \"10/4\"", {{"x", "2.5"}}},
      {"a date-like text is an expression", "SetVar \"[x]\" \"12-05-2024\"", {{"x", "-2017"}}},
      {"literal mark", "SetVar \"[x]\" \"!3/4\"", {{"x", "3/4"}}},
      {"plain text stays", "SetVar \"[x]\" \"Hello world\"", {{"x", "Hello world"}}},
      {"plain number stays", "SetVar \"[x]\" \"007\"", {{"x", "007"}}},
      {"calculation error", "SetVar \"[x]\" \"1/0\"", {{"x", "Error"}}},
      {"counts up", "SetVar \"[giu]\" \"[giu]+1\"\nSetVar \"[giu]\" \"[giu]+1\"", {{"giu", "2"}}},
      {"string type keeps the text", "DefineVar \"[x]\" \"String\" \"\" \"\" \"\"\nSetVar \"[x]\" \"10/4\"",
       {{"x", "10/4"}}},
      {"date type keeps the text", "DefineVar \"[d]\" \"Date\" \"Default\" \"\" \"\"\nSetVar \"[d]\" \"1-2-2024\"",
       {{"d", "01/02/2024"}}},
      {"integer drops currency signs", "DefineVar \"[n]\" \"Integer\" \"\" \"\" \"\"\nSetVar \"[n]\" \"$5\"",
       {{"n", "5"}}},
      {"currency", "DefineVar \"[c]\" \"Currency\" \"\" \"\" \"\"\nSetVar \"[c]\" \"$2*1.25\"", {{"c", "2.50"}}},
      {"array element", "SetVar \"[x]\" \"2\"\nSetVar \"[a[x]]\" \"two\"", {{"a2", "two"}}},
      {"empty value deletes", "SetVar \"[x]\" \"1\"\nSetVar \"[x]\" \"\"", {{"x", ""}}},
      {"read-only special", "SetVar \"[Time]\" \"1\"", {{"LastError", vl::Msg(229) + " [Time]."}}},
      {"integer refusal", "DefineVar \"[n]\" \"Integer\" \"\" \"\" \"\"\nSetVar \"[n]\" \"!12.5\"",
       {{"n", "0"}, {"LastError", MsgWith(324, "12.5")}}},
  });
}

TEST(CmdVars, DefineVar) {
  RunCmdCases({
      {"initial value",
       "DefineVar \"[n]\" \"Integer\" \"\" \"\" \"4*2\"", {{"n", "8"}}},
      {"second definition keeps the first value",
       "DefineVar \"[n]\" \"Integer\" \"\" \"\" \"5\"\nDefineVar \"[n]\" \"Integer\" \"\" \"\" \"9\"",
       {{"n", "5"}}},
      {"decimal parameter", "DefineVar \"[dec]\" \" Decimal \" \" 3 \" \"Global\" \"1/8\"", {{"dec", "0.125"}}},
      {"unknown type still assigns",
       "DefineVar \"[v]\" \"Float\" \"\" \"\" \"1+1\"", {{"v", "2"}, {"LastError", MsgWith(330, "Float")}}},
      {"special name refused", "DefineVar \"[Year]\" \"Integer\" \"\" \"\" \"\"",
       {{"LastError", vl::Msg(329) + "\"[Year]\"."}}},
      {"local is gone when the action ends",
       "DefineVar \"[loc]\" \"String\" \"\" \" local \" \"x\"\nSetVar \"[seen]\" \"[loc]\"",
       {{"loc", ""}, {"seen", "x"}}},
      {"retyping converts", "SetVar \"[v]\" \"12 kg\"\nDefineVar \"[v]\" \"Currency\" \"\" \"\" \"\"",
       {{"v", "12.00"}}},
  });
}

TEST(CmdVars, SaveLoadAndClear) {
  TempDir dir;
  const std::string file = (dir / "v.txt").string();
  RunCmdCases({
      {"save and load back",
       "SetVar \"[a]\" \"1\"\nSetVar \"[b]\" \"x[#13][#10]y\"\nSaveVariables \"" + file +
           "\"\nClearVariables\nSetVar \"[gone]\" \"[a][b]\"\nLoadVariables \"" + file + "\"",
       {{"a", "1"}, {"b", "x\r\ny"}, {"gone", ""}, {"LastError", ""}}},
      {"missing file", "LoadVariables \"" + (dir / "none.txt").string() + "\"", {{"LastError", vl::Msg(204)}}},
      {"list with commas",
       "SetVar \"[a]\" \"1\"\nSetVar \"[b]\" \"2\"\nSetVar \"[c]\" \"3\"\nClearVariables \"[a],[b]\"",
       {{"a", ""}, {"b", ""}, {"c", "3"}}},
      {"blank form",
       "SetVar \"[a]\" \"1\"\nDefineVar \"[n]\" \"Integer\" \"\" \"\" \"7\"\n"
       "DefineVar \"[f]\" \"Boolean\" \"\" \"\" \"yes\"\nSetVar \"[z]\" \"2\"\nClearVariables",
       {{"a", ""}, {"z", ""}, {"n", "0"}, {"f", "True"}, {"LastError", MsgWith(327, "")}}},
  });
  EXPECT_EQ(ReadFileBytes(file), "a=1\r\nb=x[#13][#10]y\r\n");
}

TEST(CmdVars, Arrays) {
  const std::string five = "Loop \"1\" \"5\" \"[i]\"\nSetVar \"[a[i]]\" \"[i]\"\nEndLoop\n";
  RunCmdCases({
      {"delete up to an index", five + "DeleteArray \"[a]\" \"2\"", {{"a1", ""}, {"a2", ""}, {"a3", "3"}, {"a5", "5"}}},
      {"delete all", five + "DeleteArray \"[a]\" \"all\"", {{"a1", ""}, {"a5", ""}}},
      {"not a number means all", five + "DeleteArray \"[a]\" \"x\"", {{"a3", ""}}},
      {"huge last index stops at the highest element",
       five + "DeleteArray \"[a]\" \"9000000000000000000\"\nSetVar \"[done]\" \"1\"", {{"a5", ""}, {"done", "1"}}},
      {"far apart elements",
       "SetVar \"[s-2000000000]\" \"1\"\nSetVar \"[s2000000000]\" \"2\"\nSetVar \"[s7]\" \"3\"\n"
       "DeleteArray \"[s]\" \"1000\"\nSetVar \"[done]\" \"1\"",
       {{"s-2000000000", ""}, {"s7", ""}, {"s2000000000", "2"}, {"done", "1"}}},
      {"typed elements are reset",
       five + "DefineVar \"[a3]\" \"Integer\" \"\" \"\" \"\"\nDeleteArray \"[a]\" \"All\"", {{"a3", "0"}, {"a4", ""}}},
      {"info", five + "SetVar \"[a]\" \"stem\"\nGetArrayInfo \"[a]\" \"[lo]\" \"[hi]\" \"[n]\"",
       {{"lo", "1"}, {"hi", "5"}, {"n", "5"}}},
      {"info after a deletion", five + "SetVar \"[a5]\" \"\"\nGetArrayInfo \"[a]\" \"[lo]\" \"[hi]\" \"[n]\"",
       {{"hi", "4"}, {"n", "4"}}},
      {"info of nothing", "GetArrayInfo \"[q]\" \"[lo]\" \"[hi]\" \"[n]\"", {{"lo", ""}, {"hi", ""}, {"n", "0"}}},
  });
}

TEST(CmdVars, LocalsOfASubroutine) {
  vl::SubroutineText() =
      ":Sub\r\nSetVar \"[inside]\" \"[v]\"\r\nDefineVar \"[v]\" \"String\" \"\" \"Local\" \"sub\"\r\n"
      "SetVar \"[during]\" \"[v]\"\r\nReturn";
  ActionRun r = RunActionText(
      "DefineVar \"[v]\" \"String\" \"\" \"Local\" \"caller\"\nGoSub \"Sub\"\nSetVar \"[after]\" \"[v]\"");
  vl::SubroutineText().clear();
  EXPECT_EQ(r.Var("inside"), "");  // the caller's local is hidden ...
  EXPECT_EQ(r.Var("during"), "sub");
  EXPECT_EQ(r.Var("after"), "caller");  // ... and back after Return
  EXPECT_FALSE(r.Has("v"));
}
