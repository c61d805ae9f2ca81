#include "actions/Vars.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "actions/MathExpr.h"
#include "runtime/Global.h"
#include "runtime/Host.h"
#include "runtime/Messages.h"
#include "runtime/NativePath.h"
#include "runtime/Package.h"
#include "runtime/Trace.h"

namespace vl {

AnsiString GetSpecialValue(int index, TDateTime now);  // SpecialVars.cpp
bool SetSpecialValue(int index, const AnsiString& value);
void BumpVarStoreGeneration();  // VarList.cpp

namespace {
AnsiString LookUp(std::string_view name, double& now, bool zeroIfEmpty);
void AppendLookUp(std::string_view name, double& now, bool zeroIfEmpty, AnsiString& into);

constexpr const char* kTypeNames[kVarTypeCount] = {"Undefined", "String",  "Integer", "Currency",
                                                   "Decimal",   "Boolean", "Date"};
constexpr char kTypeLetters[kVarTypeCount + 1] = "USICPBD";

std::unique_ptr<TVarStringList>& CurrentLocals() {
  static std::unique_ptr<TVarStringList> locals;
  return locals;
}

// Told of every assignment: with none installed the notice is not built.
VariableWatcher* gWatcher = nullptr;

class NoVariableWatcher : public VariableWatcher {
 public:
  void VarChanged(const AnsiString&, const AnsiString&) override {}
};

AnsiString FormatMsg(int id, std::string_view arg) {
  AnsiString m = Msg(id);
  size_t p = m.find("%s");
  if (p != AnsiString::npos) m.replace(p, 2, arg);
  return m;
}

// Where a name lives: the first list (locals, then globals) that has it.
TVarStringList::Line* FindVarUncached(std::string_view name, TVarStringList** owner) {
  if (auto* l = CurrentLocals().get()) {
    if (auto* line = l->Find(name)) {
      *owner = l;
      return line;
    }
  }
  if (auto* line = GlobalVars().Find(name)) {
    *owner = &GlobalVars();
    return line;
  }
  *owner = nullptr;
  return nullptr;
}

// Actions name the same few variables again and again (a loop counter, a
// total, [LastError]). The last answers are kept in a small table keyed by
// the exact bytes of the name, so a repeated lookup is a compare instead of
// a case-insensitive hash and a probe of each list; "not a variable" is kept
// too, with the special-variable index. Every entry is void once the store
// generation moves on, so a variable that appears, disappears or is
// shadowed by a local is found afresh.
struct LookupEntry {
  uint64_t generation = 0;
  TVarStringList::Line* line = nullptr;
  TVarStringList* owner = nullptr;
  int special = -2;  // -2: not looked up yet
  uint8_t length = 0;
  char name[39] = {};
};
constexpr size_t kLookupEntries = 64;
constexpr size_t kLookupNameMax = sizeof(LookupEntry::name);

LookupEntry* LookupSlot(std::string_view name) {
  static LookupEntry table[kLookupEntries];
  const size_t n = name.size();
  if (n == 0 || n > kLookupNameMax) return nullptr;
  const auto b = [&](size_t i) { return static_cast<size_t>(static_cast<unsigned char>(name[i])); };
  const size_t h = n * 37 + b(0) * 7 + b(n - 1) * 3 + b(n / 2);
  return &table[h % kLookupEntries];
}

bool SlotHolds(const LookupEntry& e, std::string_view name) {
  if (e.generation != VarStoreGeneration() || e.length != name.size()) return false;
  for (size_t i = 0; i < name.size(); ++i)
    if (e.name[i] != name[i]) return false;
  return true;
}

LookupEntry* Resolve(std::string_view name) {
  LookupEntry* e = LookupSlot(name);
  if (!e || SlotHolds(*e, name)) return e;
  e->line = FindVarUncached(name, &e->owner);
  e->generation = VarStoreGeneration();
  e->special = -2;
  e->length = static_cast<uint8_t>(name.size());
  std::memcpy(e->name, name.data(), name.size());
  return e;
}

TVarStringList::Line* FindVar(std::string_view name, TVarStringList** owner = nullptr) {
  TVarStringList* list = nullptr;
  TVarStringList::Line* line;
  if (LookupEntry* e = Resolve(name)) {
    line = e->line;
    list = e->owner;
  } else {
    line = FindVarUncached(name, &list);
  }
  if (owner) *owner = list;
  return line;
}

// SpecialVarIndex for a name that FindVar has just looked up.
int SpecialIndexOf(std::string_view name) {
  LookupEntry* e = LookupSlot(name);
  if (!e || !SlotHolds(*e, name)) return SpecialVarIndex(name);
  if (e->special == -2) e->special = SpecialVarIndex(name);
  return e->special;
}

std::string HostPath(const AnsiString& name) {
  auto& env = VarsEnv();
  return env.hostPath ? env.hostPath(name) : NativePath(name);
}

// The player's text for a failed file operation.
AnsiString FileErrorText(int err, bool writing) {
  switch (err) {
    case ENOENT: return ErrorText(writing ? 3 : 2);
    case ENOTDIR: return ErrorText(3);
    case EACCES:
    case EPERM:
    case EISDIR: return ErrorText(5);
    case EMFILE:
    case ENFILE: return ErrorText(4);
    case ENOMEM: return ErrorText(8);
    case ENOSPC: return ErrorText(101);
    case EROFS: return ErrorText(150);
    case EIO: return ErrorText(writing ? 160 : 161);
    default: return ErrorText(err);
  }
}

constexpr size_t kMaxVariablesFile = size_t(256) << 20;
constexpr size_t kMaxBracketDepth = 100000;
constexpr size_t kMaxExpandedText = size_t(64) << 20;

}  // namespace

const char* VarTypeName(int type) { return type >= 0 && type < kVarTypeCount ? kTypeNames[type] : nullptr; }

int VarTypeFromName(std::string_view name) {
  name = TrimView(name);
  for (int i = 0; i < kVarTypeCount; ++i)
    if (SameTextInvariant(name, kTypeNames[i])) return i;
  return -1;
}

char VarTypeLetter(int type) { return type >= 0 && type < kVarTypeCount ? kTypeLetters[type] : 'U'; }

TVarStringList& GlobalVars() {
  static TVarStringList globals;
  return globals;
}

TVarStringList* LocalVars() { return CurrentLocals().get(); }

TVarStringList& EnsureLocalVars() {
  auto& l = CurrentLocals();
  if (!l) {
    l = std::make_unique<TVarStringList>();
    BumpVarStoreGeneration();
  }
  return *l;
}

LocalScope::LocalScope() : saved_(std::move(CurrentLocals())) {
  BumpVarStoreGeneration();
  if (saved_ && VarsEnv().debuggerLocalsScope) VarsEnv().debuggerLocalsScope(false);
}

LocalScope::~LocalScope() {
  bool had = saved_ != nullptr;
  CurrentLocals() = std::move(saved_);
  BumpVarStoreGeneration();
  if (had && VarsEnv().debuggerLocalsScope) VarsEnv().debuggerLocalsScope(true);
}

void SwapLocalVars(std::unique_ptr<TVarStringList>& other) {
  CurrentLocals().swap(other);
  BumpVarStoreGeneration();
}

void ClearAllVariables() {
  GlobalVars().Clear();
  if (auto* l = CurrentLocals().get()) l->Clear();
  if (VarsEnv().debuggerVarsCleared) VarsEnv().debuggerVarsCleared();
}

VarsEnvironment& VarsEnv() {
  static VarsEnvironment env;
  return env;
}

VariableWatcher& VarWatch() {
  static NoVariableWatcher fallback;
  return gWatcher ? *gWatcher : fallback;
}
void SetVariableWatcher(VariableWatcher* watcher) { gWatcher = watcher; }

void NotifyVariableChanged(std::string_view name, const AnsiString& value) {
  VariableWatcher* w = gWatcher;
  if (!w) return;
  AnsiString b;
  b.reserve(name.size() + 2);
  b.push_back('[');
  b += AnsiUpper(name);
  b.push_back(']');
  w->VarChanged(b, value);
}

// ---- Names and substitution ------------------------------------------------

AnsiString NormalizeVarName(std::string_view text) {
  if (text.empty()) return {};
  AnsiString s;
  s.reserve(text.size() + 2);
  if (text.front() != '[') s.push_back('[');
  s.append(text);
  if (s.back() != ']' || s.size() == 1) s.push_back(']');
  int opens = 1, closes = 0;
  for (size_t i = 1; i < s.size(); ++i) {
    if (s[i] == '[') ++opens;
    else if (s[i] == ']') ++closes;
  }
  if (closes < opens) s.push_back(']');
  else if (opens < closes) s.insert(s.begin(), '[');
  return s;
}

namespace {
// The first "[" or "]" at or after `from` (a plain loop: find_first_of
// searches its set once per character).
size_t FindBracket(std::string_view text, size_t from = 0) {
  for (size_t i = from; i < text.size(); ++i)
    if (text[i] == '[' || text[i] == ']') return i;
  return std::string_view::npos;
}
}  // namespace

AnsiString ExpandVariables(std::string_view text, bool zeroIfEmpty, bool namesOnly) {
  if (FindBracket(text) == std::string_view::npos) return AnsiString(text);
  double now = std::nan("");
  AnsiString result;
  result.reserve(text.size());
  // One entry per open bracket; the innermost is at the back. Kept on the
  // heap so that any depth of nesting is safe.
  struct Frame {
    AnsiString name;
    bool names;
  };
  std::vector<Frame> open;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (open.empty()) {
      if (c == '[') {
        // A reference without nested ones, the usual case, is read at once.
        size_t j = FindBracket(text, i + 1);
        if (j != std::string_view::npos && text[j] == ']' && j > i + 1) {
          std::string_view name = text.substr(i + 1, j - i - 1);
          if (namesOnly) result.append(name);
          else AppendLookUp(name, now, zeroIfEmpty, result);
          if (result.size() > kMaxExpandedText) break;
          i = j;
          continue;
        }
        open.push_back({{}, namesOnly});
      } else if (c == ']') return result;
      else result.push_back(c);
      continue;
    }
    Frame& top = open.back();
    if (c == '[') {
      // Deeper nesting than any author writes is taken as an unclosed
      // bracket: the rest of the text is dropped.
      if (open.size() >= kMaxBracketDepth) return result;
      open.push_back({{}, false});
    } else if (c == ']') {
      if (top.name.empty()) continue;
      AnsiString yielded = top.names ? std::move(top.name) : LookUp(top.name, now, zeroIfEmpty);
      open.pop_back();
      AnsiString& into = open.empty() ? result : open.back().name;
      into += yielded;
      if (into.size() > kMaxExpandedText) break;
    } else {
      top.name.push_back(c);
    }
  }
  // An unclosed bracket drops what it collected. A text grown past the
  // limit (a value doubled again and again) is cut there: memory stays
  // bounded and the action goes on.
  if (result.size() > kMaxExpandedText) result.resize(kMaxExpandedText);
  return result;
}

AnsiString ExpandReference(std::string_view text) { return ExpandVariables(NormalizeVarName(text)); }

AnsiString ResolveVarName(std::string_view text) {
  // A bare name stands for itself, a single reference for its name.
  size_t b = FindBracket(text);
  if (b == std::string_view::npos) return AnsiString(text);
  if (b == 0 && text.size() > 2 && FindBracket(text, 1) == text.size() - 1 && text.back() == ']')
    return AnsiString(text.substr(1, text.size() - 2));
  return ExpandVariables(NormalizeVarName(text), false, true);
}


namespace {
// "now" is taken at the first lookup of a substitution that needs it.
// LookUp appending to `into`: a variable's value is copied once, into place.
void AppendLookUp(std::string_view name, double& now, bool zeroIfEmpty, AnsiString& into) {
  if (const auto* line = FindVar(name); line && !line->value.empty()) {
    into += line->value;
    return;
  }
  into += LookUp(name, now, zeroIfEmpty);
}

AnsiString LookUp(std::string_view name, double& now, bool zeroIfEmpty) {
  AnsiString r;
  if (const auto* line = FindVar(name)) {
    r = line->value;
  } else if (int sp = SpecialIndexOf(name); sp >= 0) {
    if (std::isnan(now)) now = NowDateTime();
    r = GetSpecialValue(sp, now);
  } else if (!name.empty() && name.front() == '#') {
    int32_t code = 0;
    if (!StrToIntStrict(name.substr(1), code)) code = 0;
    if (code < 0) code = 0;
    if (code > 255) code = 255;
    r.assign(1, static_cast<char>(code));
  }
  if (r.empty() && zeroIfEmpty) r = "0";
  return r;
}
}  // namespace

AnsiString GetVariableValue(std::string_view name, TDateTime now, bool zeroIfEmpty) {
  return LookUp(name, now, zeroIfEmpty);
}

// ---- Assignment ------------------------------------------------------------

namespace {
std::function<AnsiString()>& RefusalSource() {
  static std::function<AnsiString()> take;
  return take;
}
}  // namespace

void SetRefusalSource(std::function<AnsiString()> take) { RefusalSource() = std::move(take); }

void SetLastError(std::string_view text) {
  // Commands clear [LastError] before they start, and it is mostly absent:
  // then the assignment comes down to its change notice.
  if (text.empty() && !FindVar("LastError")) {
    NotifyVariableChanged("LastError", AnsiString());
    return;
  }
  SetVariable("[LastError]", text);
}

void SetVariable(std::string_view nameText, std::string_view value, bool interpreterError) {
  const AnsiString name = ResolveVarName(nameText);
  if (name.empty()) return;
  auto& env = VarsEnv();
  AnsiString refusal;
  if (!value.empty() && SameTextAnsi(name, "LastError")) {
    if (RefusalSource() && !(refusal = RefusalSource()()).empty()) value = refusal;
    trace::Record({"error", value});
    if (env.showErrors && !(interpreterError && env.debuggerAttached)) {
      QueryRequest q;
      q.kind = "error";
      q.title = env.errorTitle;
      q.text.assign(value);
      q.buttons = {env.okText};
      q.picture = env.alertBoxImage;
      q.cancelButton = 0;
      Dialogs().Query(q);
    }
    if (env.debuggerAttached && env.debuggerLastError) env.debuggerLastError(AnsiString(value));
  }
  TVarStringList* list = nullptr;
  if (auto* line = FindVar(name, &list)) {
    if (value.empty() && !line->info) {
      list->Remove(name);
      NotifyVariableChanged(name, AnsiString());
      return;
    }
    if (line->value == value) return;
    if (!line->info) {
      line->value.assign(value);
      NotifyVariableChanged(name, line->value);
      return;
    }
    AnsiString converted;
    const int type = line->info->type;
    const AnsiString param = line->info->param;
    if (ConvertToType(value, type, param, true, converted)) {
      // The refusal report above may have changed the lists: look again.
      if (auto* again = FindVar(name)) {
        again->value = converted;
        list->conversionFailed = false;
      }
      NotifyVariableChanged(name, converted);
    } else {
      list->conversionFailed = true;
      auto* again = FindVar(name);
      NotifyVariableChanged(name, again ? again->value : AnsiString());
    }
    return;
  }
  if (int sp = SpecialIndexOf(name); sp >= 0) {
    if (!SpecialVarTable()[sp].writable) {
      SetLastError(Msg(229) + " [" + name + "].");
      return;
    }
    const AnsiString v(value);
    SetSpecialValue(sp, v);
    NotifyVariableChanged(name, v);
    return;
  }
  if (!value.empty()) GlobalVars().Append(name, value);
  NotifyVariableChanged(name, AnsiString(value));
}

// ---- Types -----------------------------------------------------------------

bool IsTrueWord(std::string_view s) {
  for (const char* w : {"True", "T", "Yes", "Checked", "OK", "1"})
    if (SameTextAnsi(s, w)) return true;
  return false;
}

bool IsFalseWord(std::string_view s) {
  for (const char* w : {"False", "F", "No", "UnChecked", "Cancel", "0"})
    if (SameTextAnsi(s, w)) return true;
  return false;
}

bool SwitchIsOn(std::string_view s) {
  size_t p = s.find('+');
  return IsTrueWord(p == std::string_view::npos ? s : s.substr(0, p));
}

namespace {
int DecimalsFromParam(std::string_view param) {
  int32_t n = 0;
  if (!StrToIntStrict(param, n)) n = 2;
  if (n < 0) n = 0;
  if (n > 18) n = 18;
  return n;
}
}  // namespace

AnsiString DefaultValueForType(int type, std::string_view param) {
  switch (type) {
    case vtInteger: return "0";
    case vtCurrency: return FormatFixed(0, 2);
    case vtDecimal: return FormatFixed(0, DecimalsFromParam(param));
    case vtBoolean: return "False";
    default: return {};
  }
}

bool ConvertToType(std::string_view text, int type, std::string_view param, bool report, AnsiString& out) {
  int msg = 0;
  switch (type) {
    case vtInteger: {
      if (text.empty()) {
        out = "0";
        return true;
      }
      int32_t v = 0;
      if (StrToIntStrict(text, v)) {
        out = std::to_string(v);
        return true;
      }
      msg = 324;
      break;
    }
    case vtCurrency:
    case vtDecimal: {
      const int decimals = type == vtCurrency ? 2 : DecimalsFromParam(param);
      AnsiString f = FormatFixed(LenientNumber(text), decimals);
      if (f != "Error") {
        out = std::move(f);
        return true;
      }
      msg = type == vtCurrency ? 325 : 326;
      break;
    }
    case vtBoolean:
      if (IsTrueWord(text)) {
        out = "True";
        return true;
      }
      if (IsFalseWord(text)) {
        out = "False";
        return true;
      }
      msg = 327;
      break;
    case vtDate: {
      TDateTime dt = 0;
      if (ReadDate(text, param, dt)) {
        out = FormatDateTime(DateFormatFromParam(param), dt);
        return true;
      }
      msg = 328;
      break;
    }
    default:
      out.assign(text);
      return true;
  }
  if (report) SetLastError(FormatMsg(msg, text));
  return false;
}

bool DefineVariable(std::string_view nameText, std::string_view typeName, std::string_view typeParam,
                    bool local) {
  const int type = VarTypeFromName(typeName);
  if (type < 0) {
    SetLastError(FormatMsg(330, TrimView(typeName)));
    return false;
  }
  const AnsiString name = ResolveVarName(nameText);
  if (name.empty()) return false;
  // [LastError] keeps no type even when it already exists: a typed one
  // would refuse the very messages that report its refusals.
  if (SameTextAnsi(name, "LastError") || SpecialVarIndex(name) >= 0) {
    SetLastError(Msg(329) + "\"[" + name + "]\".");
    return false;
  }
  TVarStringList& list = local ? EnsureLocalVars() : GlobalVars();
  if (auto* line = list.Find(name)) {
    const int oldType = line->info ? static_cast<int>(line->info->type) : 0;
    const AnsiString oldParam = line->info ? line->info->param : AnsiString();
    if (type == oldType && typeParam == oldParam) return false;
    if (type != vtUndefined) {
      if (!line->info) line->info = std::make_unique<TGenericVarInfo>();
      line->info->type = static_cast<uint8_t>(type);
      line->info->param.assign(typeParam);
    } else {
      line->info.reset();
    }
    AnsiString converted;
    bool ok;
    if (oldType == vtDate && type == vtDate) {
      TDateTime dt = 0;
      ok = ReadDate(line->value, oldParam, dt);
      if (ok) converted = FormatDateTime(DateFormatFromParam(typeParam), dt);
    } else {
      ok = ConvertToType(line->value, type, typeParam, false, converted);
    }
    line->value = ok ? converted : DefaultValueForType(type, typeParam);
    NotifyVariableChanged(name, line->value);
    return true;
  }
  if (!local && type == vtUndefined) return false;
  auto info = std::make_unique<TGenericVarInfo>();
  info->type = static_cast<uint8_t>(type);
  info->param.assign(typeParam);
  auto* line = list.Append(name, DefaultValueForType(type, typeParam), std::move(info));
  NotifyVariableChanged(name, line->value);
  return true;
}

VarType GetVarType(std::string_view text) {
  const auto* info = GetVarInfo(text);
  return info ? static_cast<VarType>(info->type) : vtUndefined;
}

const TGenericVarInfo* GetVarInfo(std::string_view text) {
  const auto* line = FindVar(ResolveVarName(text));
  return line ? line->info.get() : nullptr;
}

ArrayScan ScanArray(std::string_view stem) {
  ArrayScan r;
  auto visit = [&](const TVarStringList::Line& line) {
    std::string_view n = line.name;
    if (n.size() <= stem.size() || !SameTextInvariant(n.substr(0, stem.size()), stem)) return;
    int32_t idx = 0;
    if (!StrToIntStrict(n.substr(stem.size()), idx)) return;
    if (r.count == 0 || idx < r.lowest) r.lowest = idx;
    if (r.count == 0 || idx > r.highest) r.highest = idx;
    ++r.count;
  };
  if (auto* l = LocalVars()) l->ForEach(visit);
  GlobalVars().ForEach(visit);
  r.found = r.count > 0;
  return r;
}

// ---- Saved variables ---------------------------------------------------------

AnsiString GlobalVarsAsText() {
  AnsiString out;
  GlobalVars().ForEach([&](const TVarStringList::Line& line) {
    auto put = [&](const AnsiString& s) {
      for (char c : s) {
        if (c == '\r') out += "[#13]";
        else if (c == '\n') out += "[#10]";
        else out.push_back(c);
      }
    };
    put(line.name);
    out.push_back('=');
    put(line.value);
    out += "\r\n";
  });
  return out;
}

void SaveVariables(std::string_view fileName) {
  const AnsiString text = GlobalVarsAsText();
  const std::string path = HostPath(AnsiString(fileName));
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) {
    SetLastError(FileErrorText(errno, true));
    return;
  }
  bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  int err = ok ? 0 : errno;
  if (std::fclose(f) != 0 && ok) {
    ok = false;
    err = errno;
  }
  SetLastError(ok ? AnsiString() : FileErrorText(err, true));
}

void LoadVariablesFromText(std::string_view text) {
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find_first_of("\r\n", pos);
    std::string_view line = text.substr(pos, end == std::string_view::npos ? text.npos : end - pos);
    if (end == std::string_view::npos) pos = text.size();
    else pos = end + ((text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ? 2 : 1);
    size_t eq = line.find('=');
    std::string_view name = eq == std::string_view::npos ? line : line.substr(0, eq);
    if (name.empty() || eq == std::string_view::npos) continue;
    AnsiString value = ReplaceAll(ReplaceAll(line.substr(eq + 1), "[#13]", "\r"), "[#10]", "\n");
    SetVariable(name, value);
  }
}

void LoadVariables(std::string_view fileName) {
  auto& env = VarsEnv();
  AnsiString name(fileName);
  constexpr std::string_view kEmbedded = "embedded:\\\\\\";
  if (env.runMode != 0 && env.mapEmbedded && name.size() >= kEmbedded.size() &&
      SameTextAnsi(std::string_view(name).substr(0, kEmbedded.size()), kEmbedded)) {
    AnsiString real;
    if (env.mapEmbedded(name, real)) name = real;
  }
  std::string bytes;
  bool packaged;
  if (env.loadPackaged) {
    packaged = env.loadPackaged(name, bytes);
  } else {
    TPackage& pkg = ThePackage();
    packaged = pkg.IsOpen() && pkg.FindEntry(name) && pkg.LoadEntryToMemory(name, bytes) == 0;
  }
  if (!packaged) {
    const std::string path = HostPath(name);
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
      SetLastError(FileErrorText(errno, false));
      return;
    }
    char buf[65536];
    size_t n;
    bool tooBig = false;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) {
      if (bytes.size() + n > kMaxVariablesFile) {
        tooBig = true;
        break;
      }
      bytes.append(buf, n);
    }
    bool readError = std::ferror(f) != 0;
    int err = errno;
    std::fclose(f);
    if (tooBig) {
      SetLastError(ErrorText(8));
      return;
    }
    if (readError) {
      SetLastError(FileErrorText(err, false));
      return;
    }
  }
  SetLastError("");
  LoadVariablesFromText(bytes);
}

void ClearVariables(std::string_view list) {
  if (!TrimView(list).empty()) {
    size_t pos = 0;
    AnsiString item;
    while (NextField(list, pos, '|', false, item)) SetVariable(item, "");
    return;
  }
  // Walk the globals by position. A pass whose line is still there afterwards
  // (typed, or the name reached another variable, e.g. a local that shadows
  // it) moves on; a removed line lets the next one take its place.
  TVarStringList& g = GlobalVars();
  const int passes = g.Count();
  g.BeginWalk();
  int slot = 0;
  for (int i = 0; i < passes; ++i) {
    slot = g.NextSlot(slot);
    if (slot < 0) break;
    TVarStringList::Line* line = g.SlotLine(slot);
    const AnsiString name = line->name;
    SetVariable(name, "");
    if (g.SlotLine(slot) == line) ++slot;
  }
  g.EndWalk();
}

}  // namespace vl
