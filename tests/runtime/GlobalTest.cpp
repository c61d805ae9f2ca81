#include "runtime/Global.h"

#include <gtest/gtest.h>

#include "runtime/Messages.h"
#include "support/TestSupport.h"

using namespace vl;
using vltest::Cp1252;

TEST(Global, SameTextInvariantFoldsCaseOfWholeStrings) {
  EXPECT_TRUE(SameTextInvariant("ABC", "abc"));
  EXPECT_FALSE(SameTextInvariant("abc", "abc "));
  EXPECT_TRUE(SameTextInvariant(Cp1252("ÉTÉ Œuvre"), Cp1252("été œuvre")));
  EXPECT_FALSE(SameTextInvariant("a", "b"));
}

TEST(Global, LineBreakHelpers) {
  EXPECT_EQ(ExpandLineBreaks("a\xB6" "b\xB6"), "a\r\nb\r\n");
  EXPECT_EQ(BarsToLineBreaks("one|two"), "one\r\ntwo");
  EXPECT_EQ(ReplaceAll("aaa", "aa", "a"), "aa");  // replaced text is not rescanned
  EXPECT_EQ(ReplaceAll("abc", "", "x"), "abc");
}

TEST(Global, NextFieldAndFieldOf) {
  std::string f;
  size_t pos = 0;
  const std::string text = "a|\"b|c\"|";
  ASSERT_TRUE(NextField(text, pos, '|', true, f));
  EXPECT_EQ(f, "a");
  ASSERT_TRUE(NextField(text, pos, '|', true, f));
  EXPECT_EQ(f, "\"b|c\"");
  EXPECT_FALSE(NextField(text, pos, '|', true, f));
  EXPECT_EQ(FieldOf("x|y|z", 2), "y");
  EXPECT_EQ(FieldOf("x|y", 5), "");
  EXPECT_EQ(FieldOf("\"x|y\"", 2), "y\"");  // quotes do not count here
}

TEST(Global, FontStyleFromWords) {
  EXPECT_EQ(FontStyleFromWords("bold,Italic"), 3);
  EXPECT_EQ(FontStyleFromWords("UNDERLINED"), 4);
  EXPECT_EQ(FontStyleFromWords("strikeout bold"), 9);
  EXPECT_EQ(FontStyleFromWords(""), 0);
}

TEST(Global, ParseColor) {
  struct Case {
    const char* text;
    bool ok;
    TColor colour;
  } cases[] = {
      {"Yellow", true, 0x00FFFF},   {"yellow", true, 0x00FFFF}, {"255,255,0", true, 0x00FFFF},
      {"0,128", true, 0x008000},    {"0,x,0", false, 0},        {"3DLight", false, 0},
      {"clRed", false, 0},          {"BtnFace", true, 0xFF00000F}, {"256,1,2", true, 0x020100},
      {"", false, 0},               {"Nonsense", false, 0},     {"$10", true, 0x10},
  };
  for (const auto& c : cases) {
    TColor got = 0xDEADBEEF;
    EXPECT_EQ(ParseColor(c.text, got), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(got, c.colour) << c.text;
    }
  }
}

TEST(Global, IntegerHelpers) {
  EXPECT_EQ(IntegerFromDigits("12-3"), 0);
  EXPECT_EQ(IntegerFromDigits("width: 40px"), 40);
  EXPECT_EQ(IntegerFromDigits("-7 apples"), -7);
  int32_t v = 0;
  EXPECT_TRUE(StrToIntStrict("  -12", v));
  EXPECT_EQ(v, -12);
  EXPECT_TRUE(StrToIntStrict("0xFF", v));
  EXPECT_EQ(v, 255);
  EXPECT_FALSE(StrToIntStrict("12 ", v));
  EXPECT_FALSE(StrToIntStrict("2147483648", v));
  EXPECT_TRUE(StrToIntStrict("-2147483648", v));
  EXPECT_TRUE(ContainsText("Hello World", "WORLD"));
}

TEST(Global, FitInsideKeepsRatio) {
  int w = 400, h = 200;
  FitInside(100, 100, w, h);
  EXPECT_EQ(w, 100);
  EXPECT_EQ(h, 50);
  w = 10, h = 20;
  FitInside(100, 100, w, h);  // grows
  EXPECT_EQ(w, 50);
  EXPECT_EQ(h, 100);
  w = 2000000000, h = 1;
  FitInside(640, 480, w, h);
  EXPECT_EQ(w, 640);
  EXPECT_EQ(h, 1);
}

TEST(Global, ErrorTextTable) {
  EXPECT_EQ(ErrorText(0), "");
  EXPECT_EQ(ErrorText(2), "File non trovato!");
  EXPECT_EQ(ErrorText(7), Msg(227) + "7");
  EXPECT_EQ(ErrorText(16), "Impossibile rimuovere la cartella corrente! ");
  EXPECT_EQ(ErrorText(150), Cp1252("Il disco è protetto in scrittura!"));
  EXPECT_EQ(Msg(202), "OK");
}

namespace {
struct RecordingDisplay : ErrorDisplay {
  std::string last;
  int count = 0;
  void ShowError(const AnsiString& t) override {
    last = t;
    ++count;
  }
};
}  // namespace

TEST(Global, ReportExceptionUsesTheInstalledDisplay) {
  ShowErrorMessage("nobody listens");  // no display yet: nothing happens
  RecordingDisplay d;
  SetErrorDisplay(&d);
  ReportException(EInOutError(100));
  EXPECT_EQ(d.last, Msg(213));
  ReportException(std::bad_alloc());
  EXPECT_EQ(d.last, "Memoria insufficiente!");
  ReportException(std::runtime_error(""));
  EXPECT_EQ(d.count, 2);  // an empty text shows nothing
  SetErrorDisplay(nullptr);
}
