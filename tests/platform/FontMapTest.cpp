#include "platform/FontMap.h"

#include <gtest/gtest.h>

#include <QFontInfo>

#include "runtime/Global.h"

using namespace vl;

TEST(FontMap, MissingWindowsFacesMapToMetricTwins) {
  struct Case {
    const char* windows;
    const char* linux;
  } cases[] = {
      {"Arial", "Liberation Sans"},          {"arial", "Liberation Sans"},
      {"Times New Roman", "Liberation Serif"}, {"Courier New", "Liberation Mono"},
      {"MS Sans Serif", "Liberation Sans"},  {"MS Shell Dlg", "Liberation Sans"},
      {"Tahoma", "Liberation Sans"},         {"Segoe UI", "Liberation Sans"},
      {"System", "Liberation Sans"},         {"Lucida Console", "Liberation Mono"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(MapFontFamily(QString::fromLatin1(c.windows)), QString::fromLatin1(c.linux)) << c.windows;
    // The font system really gives that face.
    EXPECT_EQ(QFontInfo(MakeFont(c.windows, 10, 0)).family(), QString::fromLatin1(c.linux)) << c.windows;
  }
  // An installed face is kept; an unknown one is left to the font system.
  EXPECT_EQ(MapFontFamily(QStringLiteral("Liberation Serif")), QStringLiteral("Liberation Serif"));
  EXPECT_EQ(MapFontFamily(QStringLiteral("No Such Face 123")), QStringLiteral("No Such Face 123"));
  EXPECT_EQ(MapFontFamily(QString()), QStringLiteral("Liberation Sans"));
}

TEST(FontMap, SizeAndStyleBits) {
  QFont f = MakeFont("Arial", 12, 1 | 2 | 4 | 8);
  EXPECT_EQ(f.pointSize(), 12);
  EXPECT_TRUE(f.bold() && f.italic() && f.underline() && f.strikeOut());
  QFont plain = MakeFont("Arial", 0, 0);
  EXPECT_EQ(plain.pointSize(), 8);
  EXPECT_FALSE(plain.bold() || plain.italic() || plain.underline() || plain.strikeOut());
  EXPECT_EQ(MakeFont("Arial", -20, 0).pixelSize(), 20);
  EXPECT_EQ(MakeFont("Arial", 100000, 0).pointSize(), 500);

  auto& g = Globals();
  auto saved = g;
  g.dialogFontName = "Courier New";
  g.dialogFontSize = 9;
  g.dialogFontStyle = 2 | 16;  // bits above 8 are not style bits
  QFont d = DialogFont();
  EXPECT_EQ(QFontInfo(d).family(), QStringLiteral("Liberation Mono"));
  EXPECT_EQ(d.pointSize(), 9);
  EXPECT_TRUE(d.italic());
  EXPECT_FALSE(d.bold());
  g = saved;
}

TEST(FontMap, CharsetCodePages) {
  EXPECT_EQ(CodePageOfCharset(204), 1251);
  EXPECT_EQ(CodePageOfCharset(238), 1250);
  EXPECT_EQ(CodePageOfCharset(1), ActiveCodePage());
  EXPECT_EQ(CodePageOfCharset(2), 0);  // symbol fonts: no conversion
}

TEST(FontMap, WarmUpLeavesTheAnswersAlone) {
  // Started and finished any number of times, before or after fonts were
  // used: the same faces come out and nothing waits forever.
  StartFontWarmUp();
  StartFontWarmUp();
  FinishFontWarmUp();
  FinishFontWarmUp();
  {
    // The second stage, with the application there, is over when its scope
    // ends (the program may return at once after a failed start).
    FontWarmUpScope scope;
    FontWarmUpScope again;
  }
  ForgetFontMappings();
  EXPECT_EQ(MapFontFamily(QStringLiteral("MS Sans Serif")), QStringLiteral("Liberation Sans"));
  EXPECT_EQ(QFontInfo(MakeFont("Courier New", 10, 0)).family(), QStringLiteral("Liberation Mono"));
}
