#pragma once
// Dates and times as the action language sees them: a day count since
// 30 December 1899 with the time of day as fraction, the formatting codes
// shared by the time variables, the Date variable type and NumToDate, and the
// reading of dates typed by authors and users.
#include <cstdint>

#include "runtime/Ansi.h"

namespace vl {

// Days since 1899-12-30 00:00; the fraction is the time of day.
using TDateTime = double;

// The user's date and time conventions. Taken from the system locale on first
// use; tests and headless runs may set them explicitly.
struct TFormatSettings {
  char dateSeparator = '/';
  char timeSeparator = ':';
  AnsiString shortDateFormat = "dd/mm/yyyy";   // in our formatting codes
  AnsiString longDateFormat = "dddd d mmmm yyyy";
  AnsiString shortTimeFormat = "hh:nn";
  AnsiString longTimeFormat = "hh:nn:ss";
  AnsiString timeAMString = "AM";
  AnsiString timePMString = "PM";
  AnsiString shortMonthNames[12];
  AnsiString longMonthNames[12];
  AnsiString shortDayNames[7];  // Sunday first
  AnsiString longDayNames[7];
  AnsiString currencySign = "\x80";
  char localeDecimalSymbol = '.';
};

TFormatSettings& FormatSettings();
// Fixed English settings with day/month/year order ("dd/mm/yyyy"), point as
// decimal symbol: what tests use so that results do not depend on the machine.
TFormatSettings EnglishFormatSettings();
// The settings of the system locale (Qt's idea of it).
TFormatSettings SystemFormatSettings();

// Calendar arithmetic (proleptic Gregorian, years 1..9999).
bool TryEncodeDate(int year, int month, int day, TDateTime& out);
TDateTime EncodeTime(int hour, int minute, int second, int msec);
void DecodeDate(TDateTime dt, int& year, int& month, int& day);
void DecodeTime(TDateTime dt, int& hour, int& minute, int& second, int& msec);
int DayOfWeek(TDateTime dt);  // 1 = Sunday .. 7 = Saturday
bool DateInRange(double days);  // inside years 1..9999

// Wall time of the one clock, in local time.
TDateTime NowDateTime();

// Formats `dt` with the formatting codes: c d dd ddd dddd ddddd dddddd m mm mmm
// mmmm yy yyyy h hh n nn s ss z zzz t tt am/pm a/p ampm / : 'text' "text"
// (codes case-insensitive; m right after h or hh means minutes).
AnsiString FormatDateTime(std::string_view format, TDateTime dt);

// The format a Date type parameter names: "Default" (any case) or empty is the
// short date format of the settings, anything else is itself.
AnsiString DateFormatFromParam(std::string_view param);

// Date reading of authored text: "-", "\" and "/" are date separators; the
// order of day, month and year comes from the first D, M, Y or E letter of
// the hint ("Default" = the short date order of the settings). Two-digit years
// belong to the current century. False when the text is not a date.
bool ReadDate(std::string_view text, std::string_view orderHint, TDateTime& out);

}  // namespace vl
