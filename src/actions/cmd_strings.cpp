// The string commands: StrLen, SubStr, StrDel, StrIns, StrUpper, StrLower,
// StrReplace, SearchStr and StrParse. Positions count from 1.
#include <string>

#include "actions/CmdArgs.h"
#include "actions/CommandApi.h"
#include "actions/Vars.h"
#include "runtime/Global.h"

namespace vl {
namespace {

bool CaseSensitiveOption(const CommandContext& c, int arg) {
  return c.ArgCount() >= arg && ContainsText(c.Arg(arg), "CaseSensitive");
}

void DoStrLen(CommandContext& c) { SetVariable(c.Arg(2), std::to_string(c.Arg(1).size())); }

void DoSubStr(CommandContext& c) {
  const AnsiString& s = c.Arg(1);
  int64_t start = WholeArg(c.Arg(2));
  const int64_t count = WholeArg(c.Arg(3));
  if (start < 1) start = 1;
  AnsiString r;
  if (count > 0 && start <= static_cast<int64_t>(s.size())) r = s.substr(static_cast<size_t>(start - 1), static_cast<size_t>(count));
  SetVariable(c.Arg(4), r);
}

void DoStrDel(CommandContext& c) {
  AnsiString s = c.Arg(1);
  const int64_t start = WholeArg(c.Arg(2));
  const int64_t count = WholeArg(c.Arg(3));
  if (start >= 1 && start <= static_cast<int64_t>(s.size()) && count > 0)
    s.erase(static_cast<size_t>(start - 1), static_cast<size_t>(count));
  SetVariable(c.Arg(4), s);
}

void DoStrIns(CommandContext& c) {
  AnsiString s = c.Arg(2);
  int64_t pos = WholeArg(c.Arg(3));
  if (pos < 1) pos = 1;
  if (pos > static_cast<int64_t>(s.size())) pos = static_cast<int64_t>(s.size()) + 1;
  s.insert(static_cast<size_t>(pos - 1), c.Arg(1));
  SetVariable(c.Arg(4), s);
}

void DoStrUpper(CommandContext& c) { SetVariable(c.Arg(2), AnsiUpper(c.Arg(1))); }
void DoStrLower(CommandContext& c) { SetVariable(c.Arg(2), AnsiLower(c.Arg(1))); }

bool MatchAt(std::string_view s, size_t i, std::string_view what, bool exact) {
  if (i + what.size() > s.size()) return false;
  for (size_t k = 0; k < what.size(); ++k) {
    const unsigned char a = static_cast<unsigned char>(s[i + k]), b = static_cast<unsigned char>(what[k]);
    if (a != b && (exact || FoldByte(a) != FoldByte(b))) return false;
  }
  return true;
}

void DoStrReplace(CommandContext& c) {
  const AnsiString& s = c.Arg(1);
  const AnsiString& what = c.Arg(2);
  const AnsiString& with = c.Arg(3);
  const bool exact = c.Literal(2) || CaseSensitiveOption(c, 5);
  // An empty search text matches nowhere: the text comes back unchanged.
  AnsiString r;
  if (what.empty()) {
    r = s;
  } else {
    r.reserve(s.size());
    for (size_t i = 0; i < s.size();) {
      if (MatchAt(s, i, what, exact)) {
        r += with;
        i += what.size();
      } else {
        r.push_back(s[i++]);
      }
    }
  }
  SetVariable(c.Arg(4), r);
}

void DoSearchStr(CommandContext& c) {
  AnsiString what = c.Arg(1);
  AnsiString s = c.Arg(2);
  if (!CaseSensitiveOption(c, 4)) {
    if (!c.Literal(1)) what = AnsiUpper(what);
    if (!c.Literal(2)) s = AnsiUpper(s);
  }
  size_t p = what.empty() ? AnsiString::npos : s.find(what);
  SetVariable(c.Arg(3), std::to_string(p == AnsiString::npos ? 0 : p + 1));
}

void DoStrParse(CommandContext& c) {
  const AnsiString& s = c.Arg(1);
  const AnsiString& delim = c.Arg(2);
  const AnsiString& stem = c.Arg(3);
  int64_t n = 0;
  if (!s.empty()) {
    if (delim.empty() || s.find(delim) == AnsiString::npos) {
      SetVariable(stem + "1", s);
      n = 1;
    } else {
      size_t pos = 0;
      for (size_t f; (f = s.find(delim, pos)) != AnsiString::npos; pos = f + delim.size())
        SetVariable(stem + std::to_string(++n), s.substr(pos, f - pos));
      if (pos < s.size()) SetVariable(stem + std::to_string(++n), s.substr(pos));
    }
  }
  SetVariable(c.Arg(4), std::to_string(n));
}

const CommandBinder kBind{{cmd::StrLen, DoStrLen},         {cmd::SubStr, DoSubStr},
                          {cmd::StrDel, DoStrDel},         {cmd::StrIns, DoStrIns},
                          {cmd::StrUpper, DoStrUpper},     {cmd::StrLower, DoStrLower},
                          {cmd::StrReplace, DoStrReplace}, {cmd::SearchStr, DoSearchStr},
                          {cmd::StrParse, DoStrParse}};

}  // namespace
}  // namespace vl
