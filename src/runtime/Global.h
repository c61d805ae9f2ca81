#pragma once
// Process-wide values and the small routines nearly every subsystem uses:
// name comparison, colours and font styles written in action arguments,
// error texts, and the error display.
#include <cstdint>
#include <exception>
#include <stdexcept>
#include <string>
#include <string_view>

#include "runtime/Ansi.h"
#include "runtime/Host.h"

namespace vl {

// Colours are 32-bit: red in the low byte, green, blue; 0xFF0000nn is system
// colour nn.
using TColor = uint32_t;
constexpr TColor kColorDefault = 0x20000000;  // "no colour / use the default"
constexpr TColor kColorNone = 0x1FFFFFFF;

struct ProcessValues {
  AnsiString dialogFontName = "MS Sans Serif";
  int dialogFontSize = 8;
  int dialogFontStyle = 1;  // 1 bold, 2 italic, 4 underline, 8 strike-out
  int dialogFontCharset = 1;
  TColor linkColor = 16711680;
  bool showMarquee = false;
  int displayColorCount = 16777216;
  bool manyColors = true;
  int publicationColorCount = 16777216;
  AnsiString commandLineText;
  // Host-system flags. On Linux we answer as the newest system family does.
  bool ntFamily = true, nt5OrLater = true, win95 = false, nt6OrLater = true, xpOrLater = true,
       xpExactly = false, ntAbove4 = true;
};
ProcessValues& Globals();

// Sets the display colour count from bits per pixel × planes.
void SetDisplayColorDepth(int bitsTimesPlanes);

bool SameTextInvariant(std::string_view a, std::string_view b);
AnsiString ExpandLineBreaks(std::string_view text);  // "¶" (0xB6) -> CR LF
AnsiString BarsToLineBreaks(std::string_view text);  // "|" -> CR LF
AnsiString ReplaceAll(std::string_view text, std::string_view what, std::string_view with);
// Reads the field from `pos` up to `sep` (or the end) into `field` and moves
// `pos` past the separator. With `quotesCount`, separators inside double
// quotes do not end the field. False when `pos` is past the end.
bool NextField(std::string_view text, size_t& pos, char sep, bool quotesCount, AnsiString& field);
AnsiString FieldOf(std::string_view text, int n);  // n-th "|" field, 1-based
int FontStyleFromWords(std::string_view text);
bool ParseColor(std::string_view text, TColor& colour);
int IntegerFromDigits(std::string_view text);
bool ContainsText(std::string_view text, std::string_view part);
void FitInside(int maxWidth, int maxHeight, int& width, int& height);

// Whole signed 32-bit integer: leading blanks, optional sign, decimal digits
// or hexadecimal after "$", "0x" or "0X"; nothing may follow.
bool StrToIntStrict(std::string_view text, int32_t& value);
// Trims blanks and control characters (bytes <= 0x20) at both ends.
std::string_view TrimView(std::string_view s);
std::string_view TrimLeftView(std::string_view s);
std::string_view TrimRightView(std::string_view s);

AnsiString ErrorText(int code);

// An input/output failure with an error code of the table ErrorText reads.
class EInOutError : public std::runtime_error {
 public:
  explicit EInOutError(int code) : std::runtime_error(ErrorText(code)), code_(code) {}
  int code() const { return code_; }

 private:
  int code_;
};

// Shows a non-empty text in the error box (Errors(), runtime/Host.h: the
// player installs its own when the main window is created; before that,
// errors are not shown).
void ShowErrorMessage(const AnsiString& text);
void ReportException(const std::exception& e);
AnsiString ExceptionText(const std::exception& e);

}  // namespace vl
