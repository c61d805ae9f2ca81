#include <gtest/gtest.h>

#include <cfenv>
#include <string>

#include "VarsTestSupport.h"

using namespace vl;

namespace {

class MathExpr : public vltest::VarsFixture {};

struct Case {
  const char* expr;
  int decimals;
  const char* text;
  bool syntax;
};

void Check(const Case& c, bool currency = false) {
  ExprResult r = EvaluateExpression(c.expr, c.decimals, currency);
  EXPECT_EQ(r.text, c.text) << c.expr;
  EXPECT_EQ(r.syntaxError, c.syntax) << c.expr;
}

TEST_F(MathExpr, GrammarRanksAndFunctions) {
  const Case cases[] = {
      {"2+3*4", -1, "14", false},
      {"(2+3)*4", -1, "20", false},
      {"7&3", -1, "1", false},
      {"-7&3", -1, "-1", false},
      {"7.9&2.5", -1, "1", false},
      {"2^3^2", -1, "512", false},
      {"-2^2", -1, "4", false},
      {"2^-1", -1, "0.5", false},
      {"2*-3", -1, "-6", false},
      {"10-4-3", -1, "3", false},
      {"100/10/5", -1, "2", false},
      {"+5", -1, "5", false},
      {"ROUND(2.5)", -1, "2", false},
      {"ROUND(3.5)", -1, "4", false},
      {"TRUNC(-2.7)", -1, "-2", false},
      {"FRAC(-2.7)", -1, "-0.7", false},
      {"sqrt(16)", -1, "4", false},
      {"SQR(3)", -1, "9", false},
      {"ABS(-3)+EXP(0)+LN(1)+COS(0)+SIN(0)+ATAN(0)", -1, "5", false},
      {"ABSATAN(0)", -1, "0", false},  // two names in a row: the later wins
      {"1E3+1", -1, "1001", false},
      {".5+1", -1, "1.5", false},
      {"10/3", 2, "3.33", false},
      {"2/3", 0, "1", false},
      {"1/3", -1, "0.333333333333333333", false},
      {"0.1+0.2", -1, "0.3", false},
      {"2^0.5", 6, "1.414214", false},
      {"10^20", -1, "1E20", false},
      {"1/100000", -1, "1E-5", false},
      {"1/10000", -1, "0.0001", false},
      {"123456789*1000000000", -1, "123456789000000000", false},
      {"-0.001", 2, "0.00", false},
  };
  for (const auto& c : cases) Check(c);
}

TEST_F(MathExpr, SyntaxAndCalculationErrors) {
  const Case cases[] = {
      {"10/0", -1, "Error", false},
      {"LN(0)", -1, "Error", false},
      {"SQRT(-1)", -1, "Error", false},
      {"1.2.3+1", -1, "Error", false},
      {"2E+1", -1, "20", false},
      {"2E", -1, "Error", false},
      {"5&0", -1, "Error", false},
      {"2**3", -1, "Error", true},
      {"(1+2", -1, "Error", true},
      {"", -1, "Error", true},
      {"--2", -1, "Error", true},
      {"2+", -1, "Error", true},
      {"1+.", -1, "Error", true},
      {"ABS 2", -1, "Error", true},
      {"X+1", -1, "Error", true},
      {"2 3", -1, "Error", true},
      {"1E12345", -1, "Error", true},  // at most four exponent digits
      {"3+#", -1, "Error", true},
  };
  for (const auto& c : cases) Check(c);
}

TEST_F(MathExpr, UnguardedFaultsGiveErrorWithoutTrapping) {
  // Overflow, 0 to a negative power, NaN from a negative base, and
  // remainders that cannot be divided.
  const Case cases[] = {
      {"0^-1", -1, "Error", false},
      {"0^-0.5", -1, "Error", false},
      {"(-8)^(1/3)", -1, "Error", false},
      {"10^5000", -1, "Error", false},
      {"EXP(100000)", -1, "Error", false},
      {"1/EXP(100000)", -1, "Error", false},
      {"SQR(10^3000)", -1, "Error", false},
      {"5&0.5", -1, "Error", false},
      {"10^30&3", -1, "Error", false},
      {"-9223372036854775807&-1", -1, "0", false},
      {"(10^4000)/(10^-4000)", -1, "Error", false},
  };
  for (const auto& c : cases) Check(c);
}

TEST_F(MathExpr, ParserStackHoldsTwentyEntries) {
  auto nested = [](int pairs) { return std::string(pairs, '(') + "7" + std::string(pairs, ')'); };
  Check({nested(17).c_str(), -1, "7", false});
  Check({nested(18).c_str(), -1, "Error", true});
}

TEST_F(MathExpr, CurrencySignsAndDecimalSymbol) {
  Check({"$12.50*2", -1, "25", false}, true);
  Check({"\x80" "3+\xA3" "1", -1, "4", false}, true);
  Check({"$12.50*2", -1, "Error", true}, false);
  SetDecimalSymbol(',');
  Check({"1,5*2", -1, "3", false});
  Check({"1,25+1", 2, "2,25", false});
  Check({"1.5+1", -1, "2,5", false});
}

TEST_F(MathExpr, RoundingModeIsRestored) {
  std::fesetround(FE_UPWARD);
  Check({"ROUND(2.5)", -1, "2", false});
  EXPECT_EQ(std::fegetround(), FE_UPWARD);
  std::fesetround(FE_TONEAREST);
}

TEST_F(MathExpr, NumberTexts) {
  EXPECT_TRUE(PlainNumber("007"));
  EXPECT_TRUE(PlainNumber("-1.5 "));
  EXPECT_FALSE(PlainNumber(" -1.5"));  // a minus only in front
  EXPECT_FALSE(PlainNumber("1-2"));
  EXPECT_FALSE(PlainNumber("10/4"));
  EXPECT_FALSE(PlainNumber(""));
  SetDecimalSymbol(',');
  EXPECT_TRUE(PlainNumber("1,5"));
  EXPECT_TRUE(PlainNumber("1.5"));
  SetDecimalSymbol('.');
  EXPECT_FALSE(PlainNumber("1,5"));

  EXPECT_EQ(LenientNumber("12 kg"), 12);
  EXPECT_EQ(LenientNumber("1,234.5"), 0);
  EXPECT_EQ(LenientNumber("-3,5"), -3.5L);
  EXPECT_EQ(LenientNumber("12-3"), 0);

  EXPECT_EQ(FormatFixed(2.5L, 0), "3");
  EXPECT_EQ(FormatFixed(0.125L, 2), "0.13");
  EXPECT_EQ(FormatFixed(-1.005L, 1), "-1.0");
  EXPECT_EQ(FormatFixed(0.6L, 0), "1");
  EXPECT_EQ(FormatFixed(0.4L, 0), "0");
  EXPECT_EQ(FormatFixed(99.996L, 2), "100.00");
  EXPECT_EQ(FormatFixed(1.0L / 3, 20), "0.333333333333333333");
  EXPECT_EQ(FormatFixed(1e18L, 2), "1E18");

  bool ok = true;
  EXPECT_EQ(TruncNumber("-2.9", &ok), -2);
  EXPECT_TRUE(ok);
  EXPECT_EQ(TruncNumber("two", &ok), 0);
  EXPECT_FALSE(ok);
}

TEST_F(MathExpr, RandomRepeatsWithItsSeed) {
  SeedRandom(42);
  std::vector<int64_t> a, b;
  for (int i = 0; i < 20; ++i) a.push_back(RandomUpTo(6));
  SeedRandom(42);
  for (int i = 0; i < 20; ++i) b.push_back(RandomUpTo(6));
  EXPECT_EQ(a, b);
  for (auto v : a) EXPECT_TRUE(v >= 0 && v <= 6);
  EXPECT_EQ(RandomUpTo(0), 0);
  for (int i = 0; i < 20; ++i) {
    int64_t v = RandomUpTo(-3);
    EXPECT_TRUE(v >= -3 && v <= 0);
  }
}

}  // namespace
