// The input mask engine, as a table of masks, keystrokes and results.
#include <gtest/gtest.h>

#include "objects/EditMask.h"

using namespace vl;

namespace {

// Keystrokes: characters are typed; "\b" is Backspace, "\x7F" Delete, "\x01"
// Home (the cursor to the start).
struct MaskCase {
  const char* mask;
  const char* keys;
  const char* display;  // what the field shows
  const char* value;    // what the variable gets
  bool valid;
};

void Press(const TEditMask& m, std::string_view keys, AnsiString& display) {
  size_t cursor = m.NextPlace(0);
  for (char k : keys) {
    if (k == '\b')
      m.Backspace(display, cursor);
    else if (k == '\x7F')
      m.Delete(display, cursor);
    else if (k == '\x01')
      cursor = 0;
    else
      m.Type(display, cursor, k);
  }
}

TEST(EditMask, KeystrokesThroughTheMask) {
  const MaskCase cases[] = {
      // Required digits, literals saved (the default).
      {"000-000", "123456", "123-456", "123-456", true},
      {"000-000", "12a3", "123-___", "123-   ", false},
      {"000-000", "", "___-___", "", false},  // nothing typed: an empty value
      // Typing a literal steps over it (and skips what is before it).
      {"00/00", "1-2/34", "12/34", "12/34", true},
      {"99:99", "1:2", "1_:2_", "1 :2 ", true},
      // Literals not saved; the unfilled end is trimmed.
      {"(000) 000;0;_", "12345", "(123) 45_", "12345", false},
      {"(999) 999;0;_", "12", "(12_) ___", "12", true},
      // Blank character of the third field.
      {"LL;1;*", "a", "a*", "a ", false},
      // Case conversion and its end.
      {">LL<LL", "abCD", "ABcd", "ABcd", true},
      {">L<>L", "ab", "Ab", "Ab", true},
      // Letters, alphanumerics, any character, signs.
      {"LAC", "1", "___", "", false},
      {"LAC", "a1%", "a1%", "a1%", true},
      {"LAC", "ab%", "ab%", "ab%", true},
      {"#99", "-12", "-12", "-12", true},
      {"#99", "x", "___", "", true},
      // An escaped mask character is a literal; "_" is a blank literal.
      {"\\L0", "5", "L5", "L5", true},
      {"0_0", "12", "1 2", "1 2", true},
      // Backspace and Delete blank places; the field does not shift.
      {"000", "123\b\b", "1__", "1  ", false},
      {"00-00", "1234\b\b\b", "1_-__", "1 -  ", false},
      {"000", "123\x01\x7F", "_23", " 23", false},
      // A full field takes nothing more.
      {"00", "123", "12", "12", true},
  };
  for (const MaskCase& c : cases) {
    const TEditMask m(c.mask);
    AnsiString display = m.EmptyDisplay();
    Press(m, c.keys, display);
    EXPECT_EQ(display, c.display) << c.mask << " / " << c.keys;
    EXPECT_EQ(m.ValueOf(display), c.value) << c.mask << " / " << c.keys;
    EXPECT_EQ(m.Valid(display), c.valid) << c.mask << " / " << c.keys;
  }
}

TEST(EditMask, ValuesShownThroughTheMask) {
  struct Case {
    const char* mask;
    const char* value;
    const char* display;
  } cases[] = {
      {"000-000", "123-456", "123-456"},
      {"000-000", "12x-4", "12_-4__"},           // what does not fit stays blank
      {"(000) 000;0;_", "123456", "(123) 456"},  // without literals: places in order
      {"!999;0;_", "12", "_12"},                 // "!" fills from the end
      {">LLL", "abc", "ABC"},
      {"000", "", "___"},
  };
  for (const Case& c : cases) EXPECT_EQ(TEditMask(c.mask).DisplayOf(c.value), c.display) << c.mask;
}

TEST(EditMask, MasksWithoutPlacesMaskNothing) {
  EXPECT_TRUE(TEditMask("").Empty());
  EXPECT_TRUE(TEditMask("--/--").Empty());
  EXPECT_TRUE(TEditMask(";1;_").Empty());
  EXPECT_FALSE(TEditMask("0").Empty());
  // A trailing backslash is dropped; ";" escaped stays in the mask.
  EXPECT_EQ(TEditMask("0\\").EmptyDisplay(), "_");
  EXPECT_EQ(TEditMask("0\\;0;1;#").EmptyDisplay(), "#;#");
}

}  // namespace
