// The variable commands: SetVar, DefineVar, SaveVariables, LoadVariables,
// ClearVariables, DeleteArray and GetArrayInfo.
#include <algorithm>
#include <string>
#include <vector>

#include "actions/CmdArgs.h"
#include "actions/CommandApi.h"
#include "actions/Vars.h"
#include "runtime/Global.h"

namespace vl {
namespace {

// A value argument prepared for the variable it goes to: String and Date
// variables take the text as it is, numeric ones have their currency signs
// removed before the expression is evaluated.
AnsiString ValueFor(CommandContext& c, int arg, std::string_view name) {
  const VarType t = GetVarType(name);
  if (t == vtString || t == vtDate) return c.PrepareArg(arg, ArgValue, false, false);
  const bool currency = t == vtInteger || t == vtCurrency || t == vtDecimal;
  return c.PrepareArg(arg, ArgValue, true, currency);
}

// The indexes of the elements of `stem` from `lo` to `hi`, ascending, each
// once (the same reading of names as ScanArray).
std::vector<int64_t> ElementIndexes(std::string_view stem, int64_t lo, int64_t hi) {
  std::vector<int64_t> out;
  auto visit = [&](const TVarStringList::Line& line) {
    std::string_view n = line.name;
    if (n.size() <= stem.size() || !SameTextInvariant(n.substr(0, stem.size()), stem)) return;
    int32_t idx = 0;
    if (StrToIntStrict(n.substr(stem.size()), idx) && idx >= lo && idx <= hi) out.push_back(idx);
  };
  if (auto* l = LocalVars()) l->ForEach(visit);
  GlobalVars().ForEach(visit);
  std::sort(out.begin(), out.end());
  out.erase(std::unique(out.begin(), out.end()), out.end());
  return out;
}

void DoSetVar(CommandContext& c) {
  const AnsiString name = c.PrepareArg(1, ArgVariable, false, false);
  SetVariable(name, ValueFor(c, 2, name));
}

void DoDefineVar(CommandContext& c) {
  const AnsiString name = c.PrepareArg(1, ArgVariable, false, false);
  const AnsiString type(TrimView(c.PrepareArg(2, ArgText, false, false)));
  const AnsiString param(TrimView(c.PrepareArg(3, ArgText, false, false)));
  const bool local = SameTextInvariant(TrimView(c.PrepareArg(4, ArgText, false, false)), "Local");
  const bool changed = DefineVariable(name, type, param, local);
  if (!changed && GetVarType(name) != vtUndefined) return;
  if (c.ArgCount() < 5) return;
  const AnsiString value = ValueFor(c, 5, name);
  if (!value.empty()) SetVariable(name, value);
}

void DoSaveVariables(CommandContext& c) { SaveVariables(c.Arg(1)); }

void DoLoadVariables(CommandContext& c) { LoadVariables(c.Arg(1)); }

void DoClearVariables(CommandContext& c) {
  AnsiString list = c.Arg(1);
  for (auto& ch : list)
    if (ch == ',') ch = '|';
  ClearVariables(list);
}

void DoDeleteArray(CommandContext& c) {
  const AnsiString& stem = c.Arg(1);
  const ArrayScan s = ScanArray(stem);
  if (!s.found) return;
  int64_t last = s.highest;
  if (!SameTextInvariant(TrimView(c.Arg(2)), "All")) {
    bool ok = false;
    int64_t n = TruncNumber(c.Arg(2), &ok);
    if (ok) last = n;
  }
  // Past the highest element there is nothing left to delete: a huge last
  // index must not walk billions of names.
  if (last > s.highest) last = s.highest;
  if (last < s.lowest) return;
  // A few elements spread over a huge range (a-2000000000 and a2000000000)
  // are deleted one by one instead of walking every number between them.
  const uint64_t span = static_cast<uint64_t>(last - s.lowest);
  if (span > 4 * static_cast<uint64_t>(s.count) + 1000) {
    for (int64_t n : ElementIndexes(stem, s.lowest, last)) SetVariable(stem + std::to_string(n), "");
    return;
  }
  for (int64_t n = s.lowest; n <= last; ++n) SetVariable(stem + std::to_string(n), "");
}

void DoGetArrayInfo(CommandContext& c) {
  const ArrayScan s = ScanArray(c.Arg(1));
  if (s.found) {
    SetVariable(c.Arg(2), std::to_string(s.lowest));
    SetVariable(c.Arg(3), std::to_string(s.highest));
  }
  SetVariable(c.Arg(4), std::to_string(s.count));
}

const CommandBinder kBind{{cmd::SetVar, DoSetVar},
                          {cmd::DefineVar, DoDefineVar},
                          {cmd::SaveVariables, DoSaveVariables},
                          {cmd::LoadVariables, DoLoadVariables},
                          {cmd::ClearVariables, DoClearVariables},
                          {cmd::DeleteArray, DoDeleteArray},
                          {cmd::GetArrayInfo, DoGetArrayInfo}};

}  // namespace
}  // namespace vl
