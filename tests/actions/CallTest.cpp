// Function files and the Call command.
#include <gtest/gtest.h>

#include "CmdTestSupport.h"
#include "actions/CommandApi.h"
#include "actions/FunctionFiles.h"
#include "support/TestSupport.h"

using namespace vltest;

namespace {

TEST(FunctionFiles, HeaderIsParsed) {
  struct Case {
    const char* text;
    const char* language;
    std::vector<std::pair<std::string, int>> params;
    const char* body;
  } cases[] = {
      // Lower-case header line; a blank line between the Params; kinds by
      // name, anything else text; the end line and everything before it go.
      {"{vellion function}\r\nVersion=2\r\nParam=[A]|Number\r\n\r\nParam = [B] | variable \r\nParam=[C]|Odd\r\n"
       "{END}\r\nSetVar \"[B]\" \"[A]\"\nLine2",
       "Vellion",
       {{"[A]", vl::ArgNumber}, {"[B]", vl::ArgVariable}, {"[C]", vl::ArgText}},
       "SetVar \"[B]\" \"[A]\"\r\nLine2"},
      {"SetVar \"[x]\" \"1\"\rSecond", "Vellion", {}, "SetVar \"[x]\" \"1\"\r\nSecond"},  // no header: all body
      {"{Vellion Function}\nLanguage=JScript\nParam=[N]|Mixed\nParam=[F]|FileName\nParam=[D]|DataFile\n{End}\nx=1",
       "JScript",
       {{"[N]", vl::ArgValue}, {"[F]", vl::ArgFileName}, {"[D]", vl::ArgDataFile}},
       "x=1"},
      {"{Vellion Function}\nParam=[A]\nSetVar \"[A]\" \"1\"", "Vellion", {{"[A]", vl::ArgText}}, ""},  // no end line
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    vl::TFunctionLoader f;
    f.Parse(c.text);
    EXPECT_EQ(f.Language(), c.language);
    ASSERT_EQ(f.ParamCount(), static_cast<int>(c.params.size()));
    for (int i = 0; i < f.ParamCount(); ++i) {
      EXPECT_EQ(f.ParamName(i), c.params[i].first);
      EXPECT_EQ(f.ParamKind(i), c.params[i].second);
    }
    EXPECT_EQ(f.Body(), c.body);
  }
  // At most nine parameters.
  std::string many = "{Vellion Function}\n";
  for (int i = 0; i < 12; ++i) many += "Param=[P" + std::to_string(i) + "]|Number\n";
  vl::TFunctionLoader f;
  f.Parse(many + "{End}\n");
  EXPECT_EQ(f.ParamCount(), 9);
}

class CallCommand : public ::testing::Test {
 protected:
  std::string File(const char* name, const std::string& text) {
    WriteFileBytes(dir_ / name, text);
    return (dir_ / name).string();
  }
  TempDir dir_;
};

TEST_F(CallCommand, ParametersLocalsAndResults) {
  const std::string add = File("add.vlf",
                               "{Vellion Function}\r\nParam=[A]|Number\r\nParam=[R]|Variable\r\n{End}\r\n"
                               "SetVar \"[Seen]\" \"[A]:[R]\"\r\nSetVar \"[R]\" \"[R]+[A]\"\r\nSetVar \"[Loc]\" \"[A]\"");
  ActionRun r = RunActionText("SetVar \"[total]\" \"1\"\nCall \"" + add + "\" \"2+3\" \"[total]\"\n"
                              "SetVar \"[AfterA]\" \"[A]\"\nCall \"" + add + "\" \"1\" \"[total]\"");
  EXPECT_EQ(r.LastError(), "");
  // The number arrives evaluated; the variable parameter is the caller's.
  EXPECT_EQ(r.Var("Seen"), "1:6");
  EXPECT_EQ(r.Var("total"), "7");
  // The value parameter was the function's local: gone afterwards, while a
  // global the function set stays.
  EXPECT_EQ(r.Var("AfterA"), "");
  EXPECT_FALSE(r.Has("A"));
  EXPECT_EQ(r.Var("Loc"), "1");
}

TEST_F(CallCommand, Errors) {
  const std::string two = File("two.vlf", "{Vellion Function}\nParam=[A]|Text\nParam=[B]|Text\n{End}\nSetVar \"[x]\" \"1\"");
  const std::string none = File("none.vlf", "SetVar \"[Called]\" \"[Called]x\"");
  const std::string bad = File("bad.vlf", "SetVar \"[InFunc]\" \"1\"\nNoSuchCommand\nSetVar \"[InFunc]\" \"2\"");
  struct Case {
    std::string text;
    std::string error;  // [LastError] after it
    const char* after;  // the caller's next line ran ("1") or not ("")
  } cases[] = {
      {"Call \"" + two + "\" \"only\"", "Call\r\rQuesta azione richiede parametro(i) 2.", ""},
      {"Call \"" + (dir_ / "missing.vlf").string() + "\"",
       "Call\r\r\"" + (dir_ / "missing.vlf").string() + "\"\rFunzione inesistente!", ""},
      // Extra arguments to a function without parameters are ignored.
      {"Call \"" + none + "\" \"a\" \"b\"", "", "1"},
      // An error inside the function stops the function only.
      {"Call \"" + bad + "\"", "NoSuchCommand\r\rNon capisco questo comando!", "1"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    ActionRun r = RunActionText(c.text + "\nSetVar \"[after]\" \"1\"");
    EXPECT_EQ(r.LastError(), c.error);
    EXPECT_EQ(r.Var("after"), c.after);
  }
  EXPECT_EQ(RunActionText("Call \"" + bad + "\"").Var("InFunc"), "1");
}

TEST_F(CallCommand, TheSameFileIsReadOnce) {
  const std::string f = File("once.vlf", "SetVar \"[n]\" \"[n]x\"");
  const int before = vl::FunctionLoader().Reads();
  ActionRun r = RunActionText("Call \"" + f + "\"\nCall \"" + f + "\"\nCall \"" + f + "\"");
  EXPECT_EQ(r.Var("n"), "xxx");
  EXPECT_EQ(vl::FunctionLoader().Reads() - before, 1);
}

TEST_F(CallCommand, ScriptLanguagesWithoutAnEngineLeaveAnErrorAndGoOn) {
  // This test program links no script engine: VBScript never has one.
  const std::string vbs =
      File("v.vlf", "{Vellion Function}\nLanguage=VBScript\nParam=[A]|Text\n{End}\nPublication.vlSetVar \"x\", \"[A]\"");
  ActionRun r = RunActionText("Call \"" + vbs + "\" \"a\"\nSetVar \"[after]\" \"1\"");
  EXPECT_EQ(r.LastError(), "VBScript function files cannot run on this player: it has no VBScript engine.");
  EXPECT_EQ(r.Var("after"), "1");
}

}  // namespace
