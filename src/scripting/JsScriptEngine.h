#pragma once
// The JavaScript engine of function files ("Language=JScript" or
// "JavaScript"), on Qt's QJSEngine. Installed at program start where the
// player is built with it (VL_HAVE_JAVASCRIPT).
#include "actions/FunctionFiles.h"

namespace vl {

class TJsScriptEngine : public ScriptEngine {
 public:
  // Scripts that give no [WSHTimeOut] are stopped after this long.
  static constexpr int64_t kDefaultTimeoutMs = 10000;
  ScriptOutcome Run(const ScriptCall& call) override;
};

// True for the language names this engine runs.
bool IsJavaScriptLanguage(std::string_view language);

}  // namespace vl
