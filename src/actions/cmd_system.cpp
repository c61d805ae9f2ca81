// SystemInfo and ShowErrors.
#include <cstdlib>

#include "actions/CommandApi.h"
#include "actions/Vars.h"

namespace vl {
namespace {

void DoSystemInfo(CommandContext& c) {
  const AnsiString& what = c.Arg(1);
  AnsiString value;
  if (what.find('%') != AnsiString::npos) {
    AnsiString name = what;
    std::erase(name, '%');
    if (const char* v = std::getenv(AnsiToUtf8(name).c_str())) value = Utf8ToAnsi(v);
  } else {
    value = ExpandReference(what);
  }
  SetVariable(c.Arg(2), value);
}

void DoShowErrors(CommandContext& c) { VarsEnv().showErrors = SwitchIsOn(c.Arg(1)); }

const CommandBinder kBind{{cmd::SystemInfo, DoSystemInfo}, {cmd::ShowErrors, DoShowErrors}};

}  // namespace
}  // namespace vl
