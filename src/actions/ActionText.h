#pragma once
// Action text: the lines of an action, how each line is classified and how a
// command line is split into its command word and quoted arguments.
#include <cstdint>
#include <string_view>
#include <vector>

#include "actions/CommandApi.h"
#include "runtime/Ansi.h"

namespace vl {

// Splits at CR LF, a lone CR and a lone LF. A final line end does not start
// another line; an empty text has no lines.
std::vector<AnsiString> SplitActionLines(std::string_view text);

// The line without leading blanks and control characters.
std::string_view LineWithoutLead(std::string_view line);

// The command word as written: the trimmed line up to whichever of blank and
// double quote comes first when it holds both, else the whole trimmed line.
std::string_view CommandWordOf(std::string_view line);

// Splits the quoted arguments of a line: `count` (0..10) and args[1..10]
// (those past the count empty). Returns 0, or -1 when a quote was left open
// (the open argument keeps what was collected). `args` must hold 11 texts.
int SplitArguments(std::string_view line, AnsiString* args, int& count);

enum class LineKind : uint8_t { Blank, Comment, Label, BlockWord, Command };

enum class BlockWord : uint8_t { None, Else, EndIf, EndWhile, EndLoop, DebugOn, DebugOff };

// Names of the block words as the keyword list gives them.
extern const char* const kBlockWordNames[6];

struct LineClass {
  LineKind kind = LineKind::Blank;
  BlockWord block = BlockWord::None;
};
LineClass ClassifyLine(std::string_view line);

// The line number (1-based) of `label` in `lines`, or 0 when it is not there.
// The label is trimmed of blanks and gets a ":" in front when it has none; a
// line matches when, trimmed, it equals the label ignoring letter case.
int FindLabel(const std::vector<AnsiString>& lines, std::string_view label);

}  // namespace vl
