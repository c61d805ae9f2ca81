#pragma once
// Fonts named by publications are Windows fonts. Where Linux lacks one, the
// name is mapped to a font with the same metrics (so texts wrap and fit as
// the author saw them) or, for the old dialog fonts that have no metric twin,
// to the closest common face:
//
//   Windows name                          Linux face
//   Arial, Helvetica, Arial Narrow*       Liberation Sans
//   Times New Roman, Times, MS Serif,     Liberation Serif
//     Georgia*, Book Antiqua*
//   Courier New, Courier, Lucida Console*, Liberation Mono
//     Fixedsys*, Terminal*, Consolas*
//   MS Sans Serif, Microsoft Sans Serif,  Liberation Sans
//     MS Shell Dlg, MS Shell Dlg 2, System,
//     Tahoma*, Segoe UI*, Trebuchet MS*
//   Verdana*                              DejaVu Sans (wide like Verdana),
//                                         else Liberation Sans
//
// (* close in look, not metric-compatible). A face that is installed (or was
// registered from the package) is always used as it is; only missing ones
// are mapped. Names compare without regard to case. A mapped face that is
// itself missing falls back to Liberation Sans.
#include <QFont>
#include <QString>

#include "runtime/Ansi.h"

namespace vl {

// The face to ask the font system for, for a font the publication names.
QString MapFontFamily(const QString& windowsName);
// Forgets the answers MapFontFamily keeps (after fonts were added or removed).
void ForgetFontMappings();

// Reading the font system's configuration (dozens of XML files) is the
// dearest single step of a start. StartFontWarmUp has a worker thread read it
// while the application and the package are still being set up (call it
// before the QApplication is made); ContinueFontWarmUp, called once the
// QApplication exists, has it then build Qt's list of font families too.
// FinishFontWarmUp waits for that worker and is called before our own first
// use of the font system. All may be called any number of times; without a
// warm-up FinishFontWarmUp does nothing.
void StartFontWarmUp();
void ContinueFontWarmUp();
void FinishFontWarmUp();

// ContinueFontWarmUp for as long as it lives: made right after the
// QApplication, it waits for the worker when it goes, so the worker never
// uses the font database after the application (and the database with it)
// has gone, however early the program returns.
class FontWarmUpScope {
 public:
  FontWarmUpScope() { ContinueFontWarmUp(); }
  ~FontWarmUpScope() { FinishFontWarmUp(); }
  FontWarmUpScope(const FontWarmUpScope&) = delete;
  FontWarmUpScope& operator=(const FontWarmUpScope&) = delete;
};

// The font for a name, a size in points and the style bits of action
// arguments and header keys (1 bold, 2 italic, 4 underline, 8 strike-out).
// A negative size is a cell height in pixels (as Windows reads it); a zero
// size gives 8 points; sizes are kept within 1 to 500.
QFont MakeFont(const AnsiString& name, int size, int styleBits);

// The font of the player's dialogs and splash text, from the process-wide
// dialog font values.
QFont DialogFont();

// The code page the texts of a font with this Windows character set are
// written in (0 = ANSI and 1 = default give the active code page; the symbol
// and OEM sets give 0, meaning no conversion is known).
int CodePageOfCharset(int charset);

}  // namespace vl
