// Math, Random, DateToNum and NumToDate.
#include <gtest/gtest.h>

#include "CmdTestSupport.h"

using namespace vltest;

TEST(CmdMath, Math) {
  RunCmdCases({
      {"decimals", "Math \"10/3\" \"2\" \"[r]\"", {{"r", "3.33"}, {"LastError", ""}}},
      {"general format", "Math \"10/4\" \"-1\" \"[r]\"", {{"r", "2.5"}}},
      {"decimals from an expression", "Math \"2/3\" \"1+2\" \"[r]\"", {{"r", "0.667"}}},
      {"currency signs", "Math \"$12.50*2\" \"0\" \"[r]\"", {{"r", "25"}}},
      {"empty variables read as 0", "Math \"[tot]+[a[x]]\" \"-1\" \"[tot]\"", {{"tot", "0"}}},
      {"sums an array",
       "SetVar \"[a1]\" \"1\"\nSetVar \"[a2]\" \"0\"\nSetVar \"[a3]\" \"1\"\nLoop \"1\" \"3\" \"[x]\"\n"
       "Math \"[tot]+[a[x]]\" \"0\" \"[tot]\"\nEndLoop",
       {{"tot", "2"}}},
      {"calculation error is no syntax error", "Math \"10/0\" \"0\" \"[r]\"\nSetVar \"[after]\" \"1\"",
       {{"r", "Error"}, {"after", "1"}, {"LastError", ""}}},
      {"overflow", "Math \"10^5000\" \"0\" \"[r]\"", {{"r", "Error"}}},
      {"syntax error stops the action", "Math \"2**3\" \"0\" \"[r]\"\nSetVar \"[after]\" \"1\"",
       {{"r", "Error"}, {"after", ""}, {"LastError", ErrReport("Math", 323)}}},
      {"with variables it only leaves Error", "SetVar \"[v]\" \"2\"\nMath \"[v]**3\" \"0\" \"[r]\"\nSetVar \"[after]\" \"1\"",
       {{"r", "Error"}, {"after", "1"}, {"LastError", ""}}},
      {"literal mark removed", "Math \"!1+1\" \"0\" \"[r]\"", {{"r", "2"}}},
      {"clears LastError", "SetVar \"[LastError]\" \"old\"\nMath \"1\" \"0\" \"[r]\"", {{"LastError", ""}, {"r", "1"}}},
      {"decimal symbol", "SetVar \"[DecimalSymbol]\" \",\"\nMath \"1,25+1\" \"2\" \"[r]\"", {{"r", "2,25"}}},
  });
}

TEST(CmdMath, Random) {
  ActionRun a = RunActionText("Loop \"1\" \"8\" \"[i]\"\nRandom \"6\" \"[r[i]]\"\nEndLoop\nRandom \"0\" \"[z]\"");
  ActionRun b = RunActionText("Loop \"1\" \"8\" \"[i]\"\nRandom \"6\" \"[r[i]]\"\nEndLoop\nRandom \"0\" \"[z]\"");
  EXPECT_EQ(a.varsText, b.varsText);  // headless runs repeat
  for (int i = 1; i <= 8; ++i) {
    int v = std::stoi(a.Var("r" + std::to_string(i)));
    EXPECT_TRUE(v >= 0 && v <= 6);
  }
  EXPECT_EQ(a.Var("z"), "0");
}

TEST(CmdMath, Dates) {
  RunCmdCases({
      {"day number", "DateToNum \"31/12/1899\" \"dmy\" \"[r]\"", {{"r", "1"}}},
      {"month first", "DateToNum \"1-2-2024\" \"MDY\" \"[r]\"", {{"r", "45293"}}},
      {"default order is the short date's", "DateToNum \"2/1/2024\" \"Default\" \"[r]\"", {{"r", "45293"}}},
      {"year first", "DateToNum \"2024\\1\\2\" \"yyyy/mm/dd\" \"[r]\"", {{"r", "45293"}}},
      {"not a date", "DateToNum \"soon\" \"Default\" \"[r]\"", {{"r", "Error"}}},
      {"back to text", "NumToDate \"45293.7\" \"dddd d mmmm yyyy\" \"[r]\"", {{"r", "Tuesday 2 January 2024"}}},
      {"default format", "NumToDate \"45292+1\" \"Default\" \"[r]\"", {{"r", "02/01/2024"}}},
      {"before 1899", "NumToDate \"-1\" \"yyyy-mm-dd\" \"[r]\"", {{"r", "1899-12-29"}}},
      {"out of range", "NumToDate \"99999999\" \"Default\" \"[r]\"", {{"r", "Error"}}},
      {"not a number", "NumToDate \"soon\" \"Default\" \"[r]\"", {{"r", "Error"}}},
  });
}
