#pragma once
// The variable store: global and per-action local variables, typed variables,
// arrays, the special variables, substitution of [name] references, the
// saved-variables file and the change notice.
//
// Everything here runs on the user-interface thread; nothing is thread-safe.
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "actions/DateTime.h"
#include "runtime/Ansi.h"

namespace vl {

enum VarType : uint8_t {
  vtUndefined = 0,
  vtString = 1,
  vtInteger = 2,
  vtCurrency = 3,
  vtDecimal = 4,
  vtBoolean = 5,
  vtDate = 6,
};
constexpr int kVarTypeCount = 7;

// "Undefined", "String", ... by code; nullptr outside 0..6.
const char* VarTypeName(int type);
// Code of a type name (trimmed, compared with SameTextInvariant); -1 if none.
int VarTypeFromName(std::string_view name);
// One-letter codes for the debugger: "U","S","I","C","P","B","D".
char VarTypeLetter(int type);

struct TGenericVarInfo {
  uint8_t type = vtUndefined;
  AnsiString param;  // decimals for Decimal, date format for Date
};

// An ordered list of name=value lines with hashed, case-insensitive lookup.
// A line may own a type record. Positions are 0-based and follow creation
// order; deletions keep the order of the other lines.
class TVarStringList {
 public:
  struct Line {
    AnsiString name;
    AnsiString value;
    std::unique_ptr<TGenericVarInfo> info;
    size_t slot = 0;  // kept by the list
  };

  TVarStringList();
  ~TVarStringList();
  TVarStringList(const TVarStringList&) = delete;
  TVarStringList& operator=(const TVarStringList&) = delete;

  int Count() const { return live_; }
  // The line of `name`, or nullptr.
  Line* Find(std::string_view name);
  const Line* Find(std::string_view name) const;
  // Appends a line; the name must not be in the list yet.
  Line* Append(std::string_view name, std::string_view value,
               std::unique_ptr<TGenericVarInfo> info = nullptr);
  // Removes the line of `name` (and its type record). False when absent.
  bool Remove(std::string_view name);
  void Clear();

  // Position access (compacts deleted slots first when needed).
  Line& At(int index);
  const Line& At(int index) const;
  // Visits the lines in order. The visitor must not change the list.
  template <class F>
  void ForEach(F&& f) const {
    for (const auto& s : slots_)
      if (s) f(*s);
  }

  // Set by the last typed assignment that was refused.
  bool conversionFailed = false;

  // Slot walking for callers that change the list while they walk it (only
  // removal is allowed meanwhile): slots keep their numbers until the walk
  // ends. NextSlot gives the first live slot at or after `slot`, or -1.
  void BeginWalk() { ++walking_; }
  void EndWalk() { --walking_; }
  int NextSlot(int slot) const;
  Line* SlotLine(int slot) const { return slot >= 0 && slot < (int)slots_.size() ? slots_[slot].get() : nullptr; }

 private:
  void Compact() const;
  mutable std::vector<std::unique_ptr<Line>> slots_;
  std::unordered_map<std::string_view, Line*, AnsiCaseHash, AnsiCaseEqual> index_;
  int live_ = 0;
  int walking_ = 0;
};

// ---- The lists ----------------------------------------------------------

// Goes up whenever a variable may have come or gone: a line appended to or
// removed from any list, a list cleared or freed, the current locals set
// aside, restored or created. Caches of where a name lives are valid while
// it stays the same; a value changing in place does not move it.
uint64_t VarStoreGeneration();

TVarStringList& GlobalVars();
// The locals of the running action; nullptr until its first local definition.
TVarStringList* LocalVars();
// The locals of the running action, created when missing.
TVarStringList& EnsureLocalVars();

// Sets aside the current locals for an action that starts and restores them
// when it ends (the new action's locals, if any, are freed). Nest one per
// running action.
class LocalScope {
 public:
  LocalScope();
  ~LocalScope();
  LocalScope(const LocalScope&) = delete;
  LocalScope& operator=(const LocalScope&) = delete;

 private:
  std::unique_ptr<TVarStringList> saved_;
};

// Swaps the current locals with `other` (for callers that keep locals in
// their own objects, e.g. a suspended action).
void SwapLocalVars(std::unique_ptr<TVarStringList>& other);

// Clears the globals and the current locals (main window created/destroyed).
void ClearAllVariables();

// ---- Special variables ---------------------------------------------------

constexpr int kSpecialVarCount = 66;
struct SpecialVarDef {
  const char* name;
  bool writable;
};
// The 66 names in list order with their R/W flags.
const SpecialVarDef* SpecialVarTable();
// Position of a special variable name (case-insensitive), -1 if none.
int SpecialVarIndex(std::string_view name);

// A provider computes the value when read ("now" is the substitution's
// instant) and performs the effect when written. Later subsystems register
// theirs; a name without getter reads as empty, a writable name without
// setter ignores writes.
using SpecialGetter = std::function<AnsiString(TDateTime now)>;
using SpecialSetter = std::function<void(const AnsiString& value)>;
// False when the name is not special.
bool RegisterSpecialVar(std::string_view name, SpecialGetter get, SpecialSetter set = {});
bool SpecialVarHasProvider(int index);
// Names with no getter registered yet, in list order.
std::vector<AnsiString> SpecialVarsWithoutProvider();

// ---- What the store needs from outside ------------------------------------

// Set by the player once the publication is read, e.g.
//   env.mapEmbedded = [](auto& n, auto& r) { r = ThePackage().MapEmbeddedName(n); return true; };
// Headless runs reset it with `VarsEnv() = VarsEnvironment()`.
struct VarsEnvironment {
  // Error box for [LastError] (SHOWERRORS=, ShowErrors).
  bool showErrors = true;
  AnsiString errorTitle;        // L_ERRORTITLE
  AnsiString okText = "OK";     // L_OK
  AnsiString alertBoxImage;     // ALERTBOXIMAGE=
  // A debugger is attached: it is sent every [LastError] text, and the
  // interpreter's own error reports do not open the box.
  bool debuggerAttached = false;
  std::function<void(const AnsiString& text)> debuggerLastError;
  std::function<void()> debuggerVarsCleared;
  std::function<void(bool inScope)> debuggerLocalsScope;  // false: set aside
  // 0 when played normally, else run from the authoring tool.
  int runMode = 0;
  // With runMode != 0: a name in "embedded:\\\" to the real path given by the
  // publication's embedded-files table. False leaves the name alone.
  std::function<bool(const AnsiString& name, AnsiString& realPath)> mapEmbedded;
  // Reads a file packaged with the publication. False when it is not one.
  // Unset: the open package (ThePackage) is asked.
  std::function<bool(const AnsiString& name, std::string& bytes)> loadPackaged;
  // Turns a file name written by the publication into a host path. Unset:
  // NativePath of the name.
  std::function<std::string(const AnsiString& name)> hostPath;
};
VarsEnvironment& VarsEnv();

// Safe mode: when a command's file name was refused, `take` gives the
// refusal's message (once; empty when nothing was refused), which [LastError]
// then reports in place of the command's own error. nullptr: none.
void SetRefusalSource(std::function<AnsiString()> take);

// Sends the change notice for `name` (plain name, brackets are added) to
// VarWatch() (runtime/Host.h).
void NotifyVariableChanged(std::string_view name, const AnsiString& value);

// ---- Operations -----------------------------------------------------------

// Makes a variable reference of what the author wrote: brackets added where
// missing, at most one extra bracket to balance.
AnsiString NormalizeVarName(std::string_view text);

// Replaces [name] references by values (nested references first). With
// `zeroIfEmpty` empty values read as "0"; with `namesOnly` the outermost
// references yield their names. A stray "]" ends the text; an unclosed "["
// drops what follows it. Expansion is iterative; nesting deeper than 100,000
// brackets counts as unclosed, and a result is cut at 64 MiB.
AnsiString ExpandVariables(std::string_view text, bool zeroIfEmpty = false, bool namesOnly = false);

// The value of the variable that `text` names (brackets optional).
AnsiString ExpandReference(std::string_view text);

// The name a command's variable argument refers to (NormalizeVarName, then
// names-only expansion): "[a[x]]" -> "a3".
AnsiString ResolveVarName(std::string_view text);

// One lookup: locals, globals, special variables, "#n" character codes.
AnsiString GetVariableValue(std::string_view name, TDateTime now, bool zeroIfEmpty = false);

// The single assignment path. `name` as the author wrote it (normally in
// brackets). `interpreterError` marks the interpreter's own error reports.
void SetVariable(std::string_view name, std::string_view value, bool interpreterError = false);
// Sets [LastError] (a shorthand used by the commands).
void SetLastError(std::string_view text);

// Declares or re-types a variable; true when something changed.
bool DefineVariable(std::string_view name, std::string_view typeName, std::string_view typeParam,
                    bool local);

// Type of the variable `text` names (locals first); 0 when untyped/absent.
VarType GetVarType(std::string_view text);
// Type record of the variable `text` names, nullptr when untyped/absent.
const TGenericVarInfo* GetVarInfo(std::string_view text);

struct ArrayScan {
  bool found = false;
  int64_t lowest = 0;
  int64_t highest = 0;
  int count = 0;
};
ArrayScan ScanArray(std::string_view stem);

// Canonical form of `text` for a type; false when refused (then, with
// `report`, the refusal message is stored in [LastError]).
bool ConvertToType(std::string_view text, int type, std::string_view param, bool report,
                   AnsiString& out);
// The value a variable of the type takes when defined or when its value
// cannot be kept.
AnsiString DefaultValueForType(int type, std::string_view param);

bool IsTrueWord(std::string_view s);
bool IsFalseWord(std::string_view s);
// A switch argument: the text before the first "+" is a true word.
bool SwitchIsOn(std::string_view s);

// The saved-variables file. Both set [LastError] (empty on success).
void SaveVariables(std::string_view fileName);
void LoadVariables(std::string_view fileName);
// Parses saved-variables text and assigns each line (what LoadVariables does
// once the bytes are read).
void LoadVariablesFromText(std::string_view text);
// The global variables in the saved-variables format.
AnsiString GlobalVarsAsText();
// Items separated by "|"; blank: every global (untyped ones are deleted).
void ClearVariables(std::string_view list);

}  // namespace vl
