// Call: runs a function file with parameters (actions/FunctionFiles.h).
#include <cmath>
#include <cstdlib>
#include <string>

#include "actions/CommandApi.h"
#include "actions/DateTime.h"
#include "actions/FunctionFiles.h"
#include "actions/Interpreter.h"
#include "actions/Vars.h"
#include "runtime/Global.h"
#include "runtime/Lifecycle.h"

namespace vl {
namespace {

// Every occurrence of `name` (exact, letter case kept) becomes `with`.
void ReplaceAll(AnsiString& text, const AnsiString& name, const AnsiString& with) {
  if (name.empty()) return;
  size_t pos = 0;
  while ((pos = text.find(name, pos)) != AnsiString::npos) {
    text.replace(pos, name.size(), with);
    pos += with.size();
  }
}

// The bare variable name a value parameter declares: its name without the
// brackets the body writes around it.
AnsiString LocalName(const AnsiString& param) {
  std::string_view n = TrimView(param);
  if (n.size() >= 2 && n.front() == '[' && n.back() == ']') n = n.substr(1, n.size() - 2);
  return AnsiString(n);
}

int64_t ScriptTimeout() {
  const AnsiString t = GetVariableValue("WSHTimeOut", NowDateTime());
  if (TrimView(t).empty()) return -1;
  const double v = std::strtod(AnsiString(TrimView(t)).c_str(), nullptr);
  if (!std::isfinite(v) || v < 0) return -1;
  return static_cast<int64_t>(std::min(v, 9.2e15));
}

void DoCall(CommandContext& c) {
  const AnsiString file = c.PrepareArg(1, ArgFileName, false, false);
  TFunctionLoader& f = FunctionLoader();
  if (!f.LoadFunction(file)) {
    c.Fail(ErrFunctionNotFound, file);
    return;
  }
  const int params = f.ParamCount();
  if (params > 0 && c.ArgCount() != params + 1) {
    c.Fail(ErrArgCount, std::to_string(params));
    return;
  }
  // The loader may load another function while this one runs (a function
  // that calls another): take what this call needs now.
  const bool actionLanguage = f.IsActionLanguage();
  const AnsiString language = f.Language();
  AnsiString body = f.Body();
  std::vector<std::pair<AnsiString, AnsiString>> locals;
  for (int i = 0; i < params; ++i) {
    const auto kind = static_cast<ArgKind>(f.ParamKind(i));
    const AnsiString value = c.PrepareArg(i + 2, kind, true, false);
    if (kind == ArgVariable)
      ReplaceAll(body, f.ParamName(i), "[" + value + "]");
    else if (!actionLanguage)
      ReplaceAll(body, f.ParamName(i), value);
    else
      locals.emplace_back(LocalName(f.ParamName(i)), value);
  }
  if (actionLanguage) {
    RunActionWithLocals(body, c.ActionFlags(), kEventCall, kOriginPublication, file, [&locals] {
      for (const auto& [name, value] : locals) {
        if (name.empty()) continue;
        DefineVariable(name, "Undefined", "", true);
        SetVariable("[" + name + "]", value);
      }
    });
    return;
  }
  ScriptCall call;
  call.language = language;
  call.body = std::move(body);
  call.fileName = file;
  call.timeoutMs = ScriptTimeout();
  const ScriptOutcome out = ScriptEngines().Run(call);
  if (out.ok) return;
  SetVariable("[LastError]", out.description);
  // An error of the script itself stops the caller; an engine that is
  // missing does not.
  if (out.hasSource) c.Stop(ErrScriptStopped);
}

const CommandBinder kBind{{cmd::Call, DoCall}};

// The function loaded last belongs to the publication that loaded it.
// After the variables' settings, before the plug-ins.
const LifecycleRegistrar kLife("functions", kLifeFunctions, [](LifecycleParticipant& p) {
  p.load = [](LifecycleContext&) { FunctionLoader().Reset(); };
});

}  // namespace
}  // namespace vl
