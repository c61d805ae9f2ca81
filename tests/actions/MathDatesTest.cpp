// The shared date and time formatter and the reading of dates.
#include <gtest/gtest.h>

#include "VarsTestSupport.h"

using namespace vl;

namespace {

class MathDates : public vltest::VarsFixture {};

TDateTime At(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0) {
  TDateTime dt = 0;
  EXPECT_TRUE(TryEncodeDate(y, mo, d, dt));
  return dt + EncodeTime(h, mi, s, ms);
}

TEST_F(MathDates, CalendarArithmetic) {
  EXPECT_EQ(At(1899, 12, 30), 0);
  EXPECT_EQ(At(1900, 3, 1), 61);
  EXPECT_EQ(At(2024, 1, 2), 45293);
  EXPECT_EQ(At(1, 1, 1), -693593);
  TDateTime dt;
  EXPECT_FALSE(TryEncodeDate(2023, 2, 29, dt));
  EXPECT_TRUE(TryEncodeDate(2000, 2, 29, dt));
  EXPECT_FALSE(TryEncodeDate(1900, 2, 29, dt));
  EXPECT_FALSE(TryEncodeDate(10000, 1, 1, dt));
  EXPECT_EQ(DayOfWeek(At(2024, 1, 2)), 3);  // a Tuesday
  EXPECT_EQ(DayOfWeek(At(1899, 12, 29)), 6);
  int y, m, d;
  DecodeDate(-1.25, y, m, d);  // the fraction of a negative date is its time
  EXPECT_EQ(d, 29);
  int h, mi, s, ms;
  DecodeTime(-1.25, h, mi, s, ms);
  EXPECT_EQ(h, 6);
}

TEST_F(MathDates, FormattingCodes) {
  const TDateTime dt = At(2024, 3, 5, 14, 7, 9, 45);
  const std::pair<const char*, const char*> cases[] = {
      {"d/m/yy", "5/3/24"},
      {"dd-mm-yyyy", "05-03-2024"},
      {"ddd dddd", "Tue Tuesday"},
      {"mmm mmmm", "Mar March"},
      {"ddddd", "05/03/2024"},
      {"dddddd", "Tuesday 5 March 2024"},
      {"h:nn:ss", "14:07:09"},
      {"hh:mm", "14:07"},  // m after h is minutes
      {"h:nn:ss ampm", "2:07:09 PM"},
      {"h am/pm", "2 pm"},
      {"H A/P", "2 P"},
      {"z zzz", "45 045"},
      {"t|tt", "14:07|14:07:09"},
      {"c", "05/03/2024 14:07:09"},
      {"'d' \"m\" d", "d m 5"},
      {"YYYY MM DD", "2024 03 05"},
      {"Week x", "Week x"},
  };
  for (auto [f, want] : cases) EXPECT_EQ(FormatDateTime(f, dt), want) << f;
  EXPECT_EQ(FormatDateTime("c", At(2024, 3, 5)), "05/03/2024");
  EXPECT_EQ(FormatDateTime("h ampm", At(2024, 3, 5, 0, 30)), "12 AM");
  FormatSettings().dateSeparator = '.';
  EXPECT_EQ(FormatDateTime("dd/mm", dt), "05.03");
}

TEST_F(MathDates, ReadingDates) {
  struct Case {
    const char* text;
    const char* hint;
    double day;  // -1: not a date
  } cases[] = {
      {"2/1/2024", "Default", 45293},   // the settings say day/month/year
      {"2-1-2024", "dmy", 45293},
      {"1\\2\\2024", "MDY", 45293},
      {"2024/1/2", "yyyy-mm-dd", 45293},
      {"2024/1/2", "era first", 45293},  // E also puts the year first
      {"1/2/2024", "in order", 45323},  // the first such letter decides: "d"
      {" 2 / 1 / 2024 ", "dmy", 45293},
      {"2/1/24", "dmy", 45293},          // two digits: this century
      {"2/1/2024/", "dmy", 45293},       // one trailing separator is allowed
      {"31/2/2024", "dmy", -1},
      {"2/1/2024 10:00", "dmy", -1},
      {"2.1.2024", "dmy", -1},
      {"", "dmy", -1},
      {"2/1", "dmy", -2},  // no year: the current one
  };
  for (const auto& c : cases) {
    TDateTime dt = 0;
    bool ok = ReadDate(c.text, c.hint, dt);
    if (c.day == -1) {
      EXPECT_FALSE(ok) << c.text << " " << c.hint;
    } else if (c.day == -2) {
      ASSERT_TRUE(ok) << c.text;
      int y, m, d;
      DecodeDate(dt, y, m, d);
      int cy, cm, cd;
      DecodeDate(NowDateTime(), cy, cm, cd);
      EXPECT_EQ(y, cy);
      EXPECT_EQ(m, 1);
      EXPECT_EQ(d, 2);
    } else {
      EXPECT_TRUE(ok) << c.text << " " << c.hint;
      EXPECT_EQ(dt, c.day) << c.text << " " << c.hint;
    }
  }
  TDateTime feb = 0;
  ASSERT_TRUE(ReadDate("1/2/2024", "abc", feb));  // no order letter: month first
  EXPECT_EQ(feb, At(2024, 1, 2));
}

}  // namespace
