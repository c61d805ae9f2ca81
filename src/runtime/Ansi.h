#pragma once
// The player's texts are 8-bit ANSI (Windows-1252 unless the publication asks
// for another code page). They travel as std::string holding the raw bytes
// through variables, files and the package, and are converted only where text
// meets the screen (AnsiToQString / QStringToAnsi).
#include <cstdint>
#include <string>
#include <string_view>

class QString;

namespace vl {

using AnsiString = std::string;

// The code page used for conversions and case folding. 1252 by default.
int ActiveCodePage();
// Switches the code page (single-byte code pages known to iconv). Returns
// false and keeps the old one when the code page is unknown.
bool SetActiveCodePage(int codePage);

// Case folding of one byte in the active code page (upper to lower).
unsigned char FoldByte(unsigned char c);
// Upper-casing of one byte in the active code page.
unsigned char UpperByte(unsigned char c);

AnsiString AnsiLower(std::string_view s);
AnsiString AnsiUpper(std::string_view s);

// Whole-string, case-insensitive comparison in the active code page.
bool SameTextAnsi(std::string_view a, std::string_view b);
// Three-way case-insensitive comparison (<0, 0, >0).
int CompareTextAnsi(std::string_view a, std::string_view b);

QString AnsiToQString(std::string_view s);
AnsiString QStringToAnsi(const QString& s);
// UTF-8 helpers for files and streams meant for people (traces, dumps).
std::string AnsiToUtf8(std::string_view s);
AnsiString Utf8ToAnsi(std::string_view s);

// Case-insensitive hash matching SameTextAnsi, for hashed name lists.
struct AnsiCaseHash {
  size_t operator()(std::string_view s) const noexcept;
};
struct AnsiCaseEqual {
  bool operator()(std::string_view a, std::string_view b) const noexcept { return SameTextAnsi(a, b); }
};

}  // namespace vl
