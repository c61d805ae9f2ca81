// Argument preparation by kind.
#include <gtest/gtest.h>

#include "actions/ArgPrep.h"
#include "actions/CommandApi.h"
#include "actions/MathExpr.h"
#include "actions/Vars.h"

using namespace vl;

namespace {

class ArgPrep : public ::testing::Test {
 protected:
  void SetUp() override {
    ClearAllVariables();
    SetDecimalSymbol('.');
    SetVariable("[x]", "2");
    SetVariable("[path]", "C:\\data\\list.txt");
    SetVariable("[a2]", "two");
  }
  void TearDown() override {
    SetBareNameResolver(nullptr);
    VarsEnv().runMode = 0;
    VarsEnv().mapEmbedded = nullptr;
    ClearAllVariables();
  }
};

struct Case {
  const char* raw;
  ArgKind kind;
  const char* want;
  bool literal;
};

}  // namespace

TEST_F(ArgPrep, ByKind) {
  const Case cases[] = {
      {"[a[x]]", ArgText, "two", false},
      {"![x]", ArgText, "2", true},
      {"!!x", ArgCaption, "!x", true},
      {"10/4", ArgNumber, "2.5", false},
      {"10/0", ArgNumber, "Error", false},
      {"007", ArgNumber, "007", false},      // a plain number stays as written
      {"2**3", ArgNumber, "2**3", false},    // a syntax error keeps the text
      {"!10/4", ArgNumber, "10/4", true},
      {"[none]", ArgNumber, "0", false},     // empty values read as 0 ...
      {"[none]", ArgValue, "", false},       // ... but not for kind 4
      {"[x]*3", ArgValue, "6", false},
      {"-", ArgValue, "-", false},           // one character is never evaluated
      {"[a[x]]", ArgVariable, "a2", false},
      {"[tot]", ArgVariable, "tot", false},
      {"C:\\data\\list.txt", ArgDataFile, "list.txt", false},
      {"[path]", ArgDataFile, "C:\\data\\list.txt", false},
      {"!C:\\data\\list.txt", ArgDataFile, "C:\\data\\list.txt", true},
      {"!obj", ArgObject, "!obj", false},    // object names keep a "!"
      {"item [x]", ArgMenuItem, "item 2", false},
  };
  for (const auto& c : cases) {
    bool lit = !c.literal;
    EXPECT_EQ(PrepareArgument(c.raw, c.kind, true, false, lit), c.want) << c.raw << " kind " << int(c.kind);
    EXPECT_EQ(lit, c.literal) << c.raw;
  }
  bool lit;
  // Without maths asked for, kinds 3 and 4 are only expanded.
  EXPECT_EQ(PrepareArgument("[x]+1", ArgNumber, false, false, lit), "2+1");
  // Currency signs go only when asked.
  EXPECT_EQ(PrepareArgument("$5+1", ArgValue, true, true, lit), "6");
  EXPECT_EQ(PrepareArgument("$5+1", ArgValue, true, false, lit), "$5+1");
}

TEST_F(ArgPrep, FileNames) {
  SetBareNameResolver([](std::string_view n) { return n == "click.wav" ? AnsiString(":click.wav") : AnsiString(n); });
  bool lit;
  EXPECT_EQ(PrepareArgument("click.wav", ArgFileName, true, false, lit), ":click.wav");
  EXPECT_EQ(PrepareArgument("!click.wav", ArgFileName, true, false, lit), "click.wav");  // literal
  EXPECT_EQ(PrepareArgument("C:click.wav", ArgFileName, true, false, lit), "C:click.wav");  // has a drive
  SetVariable("[f]", "click.wav");
  EXPECT_EQ(PrepareArgument(" [f] ", ArgFileName, true, false, lit), "click.wav");  // expanded: trimmed, not resolved
  EXPECT_EQ(PrepareArgument("", ArgFileName, true, false, lit), "");

  // In a test run, embedded:\\\ names in expanded arguments map to real paths.
  VarsEnv().runMode = 1;
  VarsEnv().mapEmbedded = [](const AnsiString& name, AnsiString& real) {
    if (name != "embedded:\\\\\\pic.bmp") return false;
    real = "/work/pic.bmp";
    return true;
  };
  SetVariable("[e]", "embedded:\\\\\\pic.bmp");
  EXPECT_EQ(PrepareArgument("[e]", ArgFileName, true, false, lit), "/work/pic.bmp");
  EXPECT_EQ(PrepareArgument("[e]", ArgDataFile, true, false, lit), "/work/pic.bmp");
  VarsEnv().runMode = 0;
  EXPECT_EQ(PrepareArgument("[e]", ArgFileName, true, false, lit), "embedded:\\\\\\pic.bmp");
}
