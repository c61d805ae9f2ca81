#include "actions/ActionText.h"

#include "runtime/Global.h"

namespace vl {

const char* const kBlockWordNames[6] = {"ELSE", "ENDIF", "ENDWHILE", "ENDLOOP", "DEBUGOFF", "DEBUGON"};

std::vector<AnsiString> SplitActionLines(std::string_view text) {
  std::vector<AnsiString> lines;
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c != '\r' && c != '\n') continue;
    lines.emplace_back(text.substr(start, i - start));
    if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) lines.emplace_back(text.substr(start));
  return lines;
}

std::string_view LineWithoutLead(std::string_view line) { return TrimLeftView(line); }

std::string_view CommandWordOf(std::string_view line) {
  std::string_view t = TrimView(line);
  size_t blank = t.find(' ');
  size_t quote = t.find('"');
  if (blank == std::string_view::npos || quote == std::string_view::npos) return t;
  return t.substr(0, blank < quote ? blank : quote);
}

int SplitArguments(std::string_view line, AnsiString* args, int& count) {
  count = 0;
  for (int i = 1; i <= kMaxArgs; ++i) args[i].clear();
  bool inQuote = false;
  const char* p = line.data();
  const char* end = p + line.size();
  while (p < end && count < kMaxArgs) {
    if (*p == '"') {
      if (inQuote) ++count;
      inQuote = !inQuote;
      ++p;
    } else if (inQuote) {
      // Copy the run up to the next quote at once.
      const char* q = p;
      while (q < end && *q != '"') ++q;
      args[count + 1].append(p, q - p);
      p = q;
    } else {
      ++p;
    }
  }
  return inQuote ? -1 : 0;
}

LineClass ClassifyLine(std::string_view line) {
  LineClass r;
  std::string_view word = CommandWordOf(line);
  if (word.empty()) return r;
  if (word[0] == '.') {
    r.kind = LineKind::Comment;
    return r;
  }
  if (word[0] == ':') {
    r.kind = LineKind::Label;
    return r;
  }
  static const BlockWord kWords[6] = {BlockWord::Else,    BlockWord::EndIf,    BlockWord::EndWhile,
                                      BlockWord::EndLoop, BlockWord::DebugOff, BlockWord::DebugOn};
  if (word.size() <= 8)
    for (int i = 0; i < 6; ++i)
      if (SameTextInvariant(word, kBlockWordNames[i])) {
        r.kind = LineKind::BlockWord;
        r.block = kWords[i];
        return r;
      }
  r.kind = LineKind::Command;
  return r;
}

int FindLabel(const std::vector<AnsiString>& lines, std::string_view label) {
  std::string_view t = label;
  while (!t.empty() && t.front() == ' ') t.remove_prefix(1);
  while (!t.empty() && t.back() == ' ') t.remove_suffix(1);
  AnsiString want(t);
  if (want.empty() || want[0] != ':') want.insert(want.begin(), ':');
  for (size_t i = 0; i < lines.size(); ++i)
    if (SameTextInvariant(TrimView(lines[i]), want)) return static_cast<int>(i) + 1;
  return 0;
}

}  // namespace vl
