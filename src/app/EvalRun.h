#pragma once
// `vellion --eval FILE`: an action text run as the start-up action of an
// empty publication, without a window. QtCore only, so tests of the language
// and the benchmarks can run texts exactly as the program does.
#include <string>

#include "runtime/Ansi.h"

namespace vl {

struct EvalOptions {
  std::string tracePath;   // empty: no trace
  bool realClock = false;  // real time instead of virtual (for measuring)
};

// Runs `text` as the start-up action of an empty publication without a
// window, on the virtual clock, dialogs answered with their first button, and
// returns the global variables in the saved-variables format (Windows-1252).
AnsiString EvalActionText(const AnsiString& text, const EvalOptions& options);

// The whole of `vellion [--trace T] --eval FILE`: reads FILE, runs it and
// writes the variables to standard output as UTF-8. Returns the exit status.
int RunEvalFile(const std::string& path, const std::string& tracePath, char* argv0);

}  // namespace vl
