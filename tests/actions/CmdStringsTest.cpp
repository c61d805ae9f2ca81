// The string, file-name and system commands.
#include <gtest/gtest.h>

#include <cstdlib>

#include "CmdTestSupport.h"

using namespace vltest;

namespace {
// One command whose result goes to [r], the arguments given as they are
// written between the quotes.
std::string Cmd(const char* word, std::initializer_list<const char*> args, const char* result = "[r]",
                const char* option = nullptr) {
  std::string s = word;
  auto arg = [&](const char* a) { s += std::string(" \"") + a + "\""; };
  for (const char* a : args) arg(a);
  arg(result);
  if (option) arg(option);
  return s;
}
}  // namespace

TEST(CmdStrings, CuttingAndJoining) {
  struct C {
    std::string text;
    const char* want;  // "" = [r] absent
  } cases[] = {
      {Cmd("StrLen", {"Hello"}), "5"},
      {Cmd("StrLen", {""}), "0"},
      {Cmd("SubStr", {"Hello", "2", "3"}), "ell"},
      {Cmd("SubStr", {"Hello", "0", "2"}), "He"},
      {Cmd("SubStr", {"Hello", "4", "99"}), "lo"},
      {Cmd("SubStr", {"Hello", "6", "1"}), ""},
      {Cmd("SubStr", {"Hello", "2", "-1"}), ""},
      {Cmd("SubStr", {"Hello", "1+1", "2.9"}), "el"},
      {Cmd("StrDel", {"Hello", "2", "2"}), "Hlo"},
      {Cmd("StrDel", {"Hello", "0", "2"}), "Hello"},
      {Cmd("StrDel", {"Hello", "4", "99"}), "Hel"},
      {Cmd("StrDel", {"Hello", "9", "1"}), "Hello"},
      {Cmd("StrIns", {"XY", "Hello", "3"}), "HeXYllo"},
      {Cmd("StrIns", {"XY", "Hello", "-4"}), "XYHello"},
      {Cmd("StrIns", {"XY", "Hello", "99"}), "HelloXY"},
      {Cmd("StrUpper", {"caff\xE8"}), "CAFF\xC8"},
      {Cmd("StrLower", {"\xC0" "BC"}), "\xE0" "bc"},
  };
  for (auto& c : cases) {
    ActionRun r = RunActionText(c.text);
    if (*c.want)
      EXPECT_EQ(r.Var("r"), c.want) << c.text;
    else
      EXPECT_FALSE(r.Has("r")) << c.text;
    EXPECT_EQ(r.LastError(), "") << c.text;
  }
}

TEST(CmdStrings, ReplaceAndSearch) {
  struct C {
    std::string text;
    const char* want;
  } cases[] = {
      {Cmd("StrReplace", {"aAa", "a", "x"}), "xxx"},
      {Cmd("StrReplace", {"aAa", "a", "x"}, "[r]", "CaseSensitive"), "xAx"},
      {Cmd("StrReplace", {"aAa", "!a", "x"}), "xAx"},
      {Cmd("StrReplace", {"aaaa", "aa", "a"}), "aa"},          // no rescanning
      {Cmd("StrReplace", {"caff\xC8", "\xE8", "e"}), "caffe"},  // locale letter case
      {Cmd("StrReplace", {"abc", "", "x"}), "abc"},             // empty search text
      {Cmd("SearchStr", {"B", "abc"}), "2"},
      {Cmd("SearchStr", {"B", "abc"}, "[r]", "casesensitive"), "0"},
      {Cmd("SearchStr", {"z", "abc"}), "0"},
      {Cmd("SearchStr", {"", "abc"}), "0"},
      {Cmd("SearchStr", {"!b", "abc"}), "0"},  // a literal text is not upper-cased
  };
  for (auto& c : cases) EXPECT_EQ(RunActionText(c.text).Var("r"), c.want) << c.text;
}

TEST(CmdStrings, StrParse) {
  RunCmdCases({
      {"empty piece is counted", "StrParse \"1,2,,3\" \",\" \"[p]\" \"[n]\"",
       {{"n", "4"}, {"p1", "1"}, {"p2", "2"}, {"p3", ""}, {"p4", "3"}}},
      {"trailing delimiter", "StrParse \"1,2,\" \",\" \"[p]\" \"[n]\"", {{"n", "2"}, {"p3", ""}}},
      {"longer delimiter", "StrParse \"a::b\" \"::\" \"[p]\" \"[n]\"", {{"n", "2"}, {"p2", "b"}}},
      {"no delimiter in the text", "StrParse \"abc\" \";\" \"[p]\" \"[n]\"", {{"n", "1"}, {"p1", "abc"}}},
      {"empty delimiter", "StrParse \"abc\" \"\" \"[p]\" \"[n]\"", {{"n", "1"}, {"p1", "abc"}}},
      {"empty text", "SetVar \"[p1]\" \"old\"\nStrParse \"\" \",\" \"[p]\" \"[n]\"", {{"n", "0"}, {"p1", "old"}}},
      {"empty piece deletes", "SetVar \"[p2]\" \"old\"\nStrParse \"a,,b\" \",\" \"[p]\" \"[n]\"",
       {{"n", "3"}, {"p2", ""}}},
  });
}

TEST(CmdStrings, FileNames) {
  struct C {
    const char* word;
    const char* path;
    const char* want;
  } cases[] = {
      {"ExtractFilePath", "C:\\data\\list.txt", "C:\\data\\"},
      {"ExtractFilePath", "C:list.txt", "C:"},
      {"ExtractFilePath", "list.txt", ""},
      {"ExtractFileName", "C:\\data\\list.txt", "list.txt"},
      {"ExtractFileName", "\\\\srv\\share\\a.b.c", "a.b.c"},
      {"ExtractFileExt", "C:\\data\\list.txt", ".txt"},
      {"ExtractFileExt", "C:\\data.d\\list", ""},
      {"ExtractFileExt", "a.b.c", ".c"},
      {"ExtractFileDrive", "C:\\data\\list.txt", "C:"},
      {"ExtractFileDrive", "\\\\srv\\share\\dir\\f.txt", "\\\\srv\\share"},
      {"ExtractFileDrive", "\\\\srv", "\\\\srv"},
      {"ExtractFileDrive", "data\\f.txt", ""},
  };
  for (auto& c : cases) {
    ActionRun r = RunActionText(Cmd(c.word, {c.path}));
    if (*c.want)
      EXPECT_EQ(r.Var("r"), c.want) << c.word << " " << c.path;
    else
      EXPECT_FALSE(r.Has("r")) << c.word << " " << c.path;
  }
  EXPECT_EQ(RunActionText(Cmd("ChangeFileExt", {"C:\\d.x\\list.txt", ".bak"})).Var("r"), "C:\\d.x\\list.bak");
  EXPECT_EQ(RunActionText(Cmd("ChangeFileExt", {"C:\\d.x\\list", ".bak"})).Var("r"), "C:\\d.x\\list.bak");
}

TEST(CmdStrings, SystemInfoAndShowErrors) {
  ::setenv("VL_TEST_VALUE", "from env", 1);
  RunCmdCases({
      {"environment", Cmd("SystemInfo", {"%VL_TEST_VALUE%"}), {{"r", "from env"}}},
      {"unset environment", Cmd("SystemInfo", {"%VL_TEST_NOT_SET_ANYWHERE%"}), {{"r", ""}}},
      {"variable without brackets", "SetVar \"[w]\" \"abc\"\n" + Cmd("SystemInfo", {"w"}), {{"r", "abc"}}},
      {"special variable", Cmd("SystemInfo", {"VellionVersion"}), {{"r", "571.0"}}},
  });
  // Errors are shown by default (the headless dialogs record the box);
  // ShowErrors switches the box off and on. Every text is in the trace.
  ActionRun shown = RunActionText("SetVar \"[LastError]\" \"one\"");
  EXPECT_EQ(shown.TraceOf("error").size(), 1u);
  ASSERT_EQ(shown.TraceOf("dialog").size(), 1u);
  EXPECT_EQ(shown.TraceOf("dialog")[0].substr(0, 13), "dialog\terror\t");
  ActionRun quiet = RunActionText(
      "ShowErrors \"No\"\nSetVar \"[LastError]\" \"two\"\nShowErrors \"yes+more\"\nSetVar \"[LastError]\" \"three\"");
  EXPECT_EQ(quiet.TraceOf("error").size(), 2u);
  ASSERT_EQ(quiet.TraceOf("dialog").size(), 1u);
  EXPECT_NE(quiet.TraceOf("dialog")[0].find("three"), std::string::npos);
  RunActionText("ShowErrors \"True\"");
}
