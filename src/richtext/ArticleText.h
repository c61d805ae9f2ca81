#pragma once
// The article text format: plain text lines with "^" codes (bold, italic,
// underline, strike-out, alignment, sizes, the 16 colours, tabs, links with
// their hidden action targets, bookmarks), turned into RTF for the
// rich-text document. Articles read files with the extension ".TXT" this way.
#include <string_view>

#include "runtime/Ansi.h"

namespace vl {

// Lines end with CR LF or LF; a line longer than kMaxArticleLine bytes goes
// on as the next line. With `wordWrap` the lines up to an empty line form
// one paragraph; without, every line is one.
AnsiString ConvertArticleText(std::string_view text, bool wordWrap);

constexpr size_t kMaxArticleLine = 32767;

}  // namespace vl
