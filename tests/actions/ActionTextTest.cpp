#include <gtest/gtest.h>

#include "actions/ActionText.h"

using namespace vl;

TEST(ActionText, LinesSplitAtEveryLineEnd) {
  auto lines = SplitActionLines("a\r\nb\rc\nd\r\n\r\ne");
  std::vector<AnsiString> want{"a", "b", "c", "d", "", "e"};
  EXPECT_EQ(lines, want);
  EXPECT_TRUE(SplitActionLines("").empty());
  EXPECT_EQ(SplitActionLines("x\r\n").size(), 1u);
}

TEST(ActionText, CommandWord) {
  struct Case {
    const char* line;
    const char* word;
  } cases[] = {
      {"  SetVar \"[x]\" \"1\"", "SetVar"},
      {"SetVar\"[x]\" \"1\"", "SetVar"},    // the quote comes first
      {"Return now", "Return now"},         // no quote: the whole line
      {"EndIf   \t", "EndIf"},
      {"Goto Page \"x\"", "Goto"},
      {"", ""},
  };
  for (auto& c : cases) EXPECT_EQ(CommandWordOf(c.line), c.word) << c.line;
}

TEST(ActionText, ArgumentsAreTheQuotedTexts) {
  AnsiString args[11];
  int n = -1;
  EXPECT_EQ(SplitArguments("SetVar \"[x]\" \"1\" and words", args, n), 0);
  EXPECT_EQ(n, 2);
  EXPECT_EQ(args[1], "[x]");
  EXPECT_EQ(args[2], "1");
  EXPECT_EQ(args[3], "");

  EXPECT_EQ(SplitArguments("AlertBox \"\" \"b\"", args, n), 0);
  EXPECT_EQ(n, 2);
  EXPECT_EQ(args[1], "");

  // The eleventh quoted text is ignored, without error.
  EXPECT_EQ(SplitArguments("X \"1\"\"2\"\"3\"\"4\"\"5\"\"6\"\"7\"\"8\"\"9\"\"10\"\"11\" \"", args, n), 0);
  EXPECT_EQ(n, 10);
  EXPECT_EQ(args[10], "10");

  // An open quote keeps what it collected.
  EXPECT_EQ(SplitArguments("X \"a\" \"bc", args, n), -1);
  EXPECT_EQ(n, 1);
  EXPECT_EQ(args[2], "bc");
}

TEST(ActionText, Classification) {
  struct Case {
    const char* line;
    LineKind kind;
    BlockWord block;
  } cases[] = {
      {"", LineKind::Blank, BlockWord::None},
      {"   ", LineKind::Blank, BlockWord::None},
      {". a comment", LineKind::Comment, BlockWord::None},
      {".comment", LineKind::Comment, BlockWord::None},
      {":Start", LineKind::Label, BlockWord::None},
      {"endif  ", LineKind::BlockWord, BlockWord::EndIf},
      {"Else \"ignored\"", LineKind::BlockWord, BlockWord::Else},
      {"ENDLOOP", LineKind::BlockWord, BlockWord::EndLoop},
      {"DebugOff", LineKind::BlockWord, BlockWord::DebugOff},
      {"EndIf now", LineKind::Command, BlockWord::None},  // no quote: the word is the whole line
      {"SetVar \"a\" \"b\"", LineKind::Command, BlockWord::None},
  };
  for (auto& c : cases) {
    LineClass lc = ClassifyLine(c.line);
    EXPECT_EQ(lc.kind, c.kind) << c.line;
    EXPECT_EQ(lc.block, c.block) << c.line;
  }
}

TEST(ActionText, LabelSearch) {
  std::vector<AnsiString> lines{"SetVar \"a\" \"1\"", "  :Start  ", ":Other . comment", ":start"};
  EXPECT_EQ(FindLabel(lines, "Start"), 2);
  EXPECT_EQ(FindLabel(lines, ":start"), 2);
  EXPECT_EQ(FindLabel(lines, " START "), 2);
  EXPECT_EQ(FindLabel(lines, "Other"), 0);  // a label line holds nothing but the label
  EXPECT_EQ(FindLabel(lines, "Missing"), 0);
}
