// RegistryRead and RegistryWrite over the player's own registry store. A
// value keeps the type it has: an integer written with a number stays an
// integer, binary data stays bytes; a new value is a string. Reading gives an
// integer in decimal, a string as it is, and any other type as its non-zero
// bytes.
#include <string>

#include "actions/CmdArgs.h"
#include "actions/CommandApi.h"
#include "actions/Vars.h"
#include "runtime/Global.h"
#include "runtime/Messages.h"
#include "services/RegistryCommands.h"

namespace vl {
namespace {

RegistryStore* gStore = nullptr;

struct Place {
  RegRoot root;
  AnsiString key;   // up to and including the last "\"
  AnsiString name;  // after it; empty: the key's default value
};

// False when the key and value text is empty: then nothing is read or
// written and nothing is reported.
bool PlaceOf(const CommandContext& c, Place& p) {
  const std::string_view path = TrimView(c.Arg(2));
  if (path.empty()) return false;
  p.root = RootFromName(TrimView(c.Arg(1)));
  const size_t cut = path.rfind('\\');
  p.key = cut == std::string_view::npos ? AnsiString() : AnsiString(path.substr(0, cut + 1));
  p.name = AnsiString(cut == std::string_view::npos ? path : path.substr(cut + 1));
  return true;
}

AnsiString AsText(const RegValue& v) {
  if (v.IsString()) return v.data;
  if (v.type == kRegInteger) return std::to_string(v.AsInteger());
  AnsiString out;
  for (char ch : v.data)
    if (ch != '\0') out.push_back(ch);
  return out;
}

void DoRegistryRead(CommandContext& c) {
  Place p;
  if (!PlaceOf(c, p)) return;  // the variable keeps its value
  RegistryStore& store = ActionRegistry();
  if (!store.KeyExists(p.root, p.key)) return SetLastError(Msg(253));
  const std::optional<RegValue> v = store.Read(p.root, p.key, p.name);
  SetVariable(c.Arg(3), v ? AsText(*v) : AnsiString());
  SetLastError("");
}

void DoRegistryWrite(CommandContext& c) {
  Place p;
  if (!PlaceOf(c, p)) return;
  RegistryStore& store = ActionRegistry();
  const AnsiString& text = c.Arg(3);
  RegValue value = RegValue::String(text);
  if (const std::optional<RegValue> old = store.Read(p.root, p.key, p.name)) {
    if (old->type == kRegInteger) {
      int32_t n = 0;
      if (text.empty() || StrToIntStrict(text, n)) value = RegValue::Integer(n);
    } else if (old->type == kRegBinary) {
      value = RegValue::Binary(text);
    }
  }
  if (!store.Write(p.root, p.key, p.name, value))
    return SetLastError(store.LastError().empty() ? Msg(253) : store.LastError());
  SetLastError("");
}

const CommandBinder kBind{{cmd::RegistryRead, DoRegistryRead}, {cmd::RegistryWrite, DoRegistryWrite}};

}  // namespace

RegistryStore& ActionRegistry() { return gStore ? *gStore : UserRegistry(); }
void SetActionRegistry(RegistryStore* store) { gStore = store; }

}  // namespace vl
