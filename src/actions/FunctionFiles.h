#pragma once
// Function files: reusable routines kept in files of their own and run by
// the Call command. A file may start with a header that names its language
// and its parameters:
//
//   {Vellion Function}
//   Language=Vellion
//   Param=[A]|Number
//   Param=[R]|Variable
//   {End}
//   Math "[A]*2" "[R]"
//
// A body in the action language runs as an action of its own (value
// parameters are its local variables, variable parameters stand for the
// caller's variables); a body in another language goes to the script engine
// (ScriptEngine(), below). One loader serves the whole player; it remembers
// the file it read last, and forgets it when a publication is loaded.
#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "runtime/Ansi.h"

namespace vl {

constexpr int kMaxFunctionParams = 9;

class TFunctionLoader {
 public:
  // Reads and parses `fileName` (a packaged file, or one on disk), or keeps
  // the function loaded last when the name is the same (letter case
  // ignored). False when the file cannot be read.
  bool LoadFunction(std::string_view fileName);
  // Parses a function file's text (for tests and for LoadFunction).
  void Parse(std::string_view text);
  void Reset();

  const AnsiString& FileName() const { return fileName_; }
  const AnsiString& Language() const { return language_; }
  int ParamCount() const { return static_cast<int>(paramNames_.size()); }
  const AnsiString& ParamName(int i) const { return paramNames_[i]; }
  uint8_t ParamKind(int i) const { return paramKinds_[i]; }
  // The body lines joined with CR LF.
  AnsiString Body() const;
  bool IsActionLanguage() const;
  // How many times a file was read (calling the same file again reads it
  // once).
  int Reads() const { return reads_; }

 private:
  AnsiString fileName_;
  AnsiString language_ = "Vellion";
  std::vector<AnsiString> paramNames_;
  std::vector<uint8_t> paramKinds_;
  std::vector<AnsiString> lines_;
  int reads_ = 0;
};

TFunctionLoader& FunctionLoader();

// As RunAction (actions/Interpreter.h), with `declareLocals` run in the new
// action's local scope before its first line: a function's value
// parameters. (Defined beside RunAction in actions/Interpreter.cpp.)
bool RunActionWithLocals(std::string_view text, uint8_t flags, uint8_t eventCode, int originType,
                         std::string_view sourceName, const std::function<void()>& declareLocals);

// A function body in a script language, with its parameters already pasted
// into the text.
struct ScriptCall {
  AnsiString language;
  AnsiString body;
  AnsiString fileName;
  int64_t timeoutMs = -1;  // from [WSHTimeOut]; -1: the engine's default
};

struct ScriptOutcome {
  bool ok = true;
  // An error the engine attributes to the script (syntax, run time, the
  // time-out) stops the calling action; any other failure (no engine for
  // the language) only sets [LastError].
  bool hasSource = false;
  AnsiString description;
  int line = 0;
};

// Runs script-language function bodies. The player installs an engine for
// JavaScript where it is built; the default refuses every language, naming
// it.
class ScriptEngine {
 public:
  virtual ~ScriptEngine() = default;
  virtual ScriptOutcome Run(const ScriptCall& call) = 0;
};
ScriptEngine& ScriptEngines();
void SetScriptEngine(ScriptEngine* engine);  // nullptr restores the default

// The message for a language no engine runs.
AnsiString NoScriptEngineMessage(std::string_view language);

}  // namespace vl
