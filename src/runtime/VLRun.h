#pragma once
// The program entry of `vellion`: reads the options and runs what they ask.
#include <string>

#include "runtime/Ansi.h"

namespace vl {

// Runs the program with its command line; returns the exit status.
int VLRunMain(int argc, char** argv);

// Exit statuses.
constexpr int kExitOk = 0;
constexpr int kExitUsage = 2;    // bad command line
constexpr int kExitNoInput = 3;  // FILE cannot be read

struct EvalOptions {
  std::string tracePath;  // empty: no trace
  bool realClock = false;  // real time instead of virtual (for measuring)
};

// What `vellion --eval` does, for callers in the same process (tests): runs
// `text` as the start-up action of an empty publication without a window, on
// the virtual clock, dialogs answered with their first button, and returns
// the global variables in the saved-variables format (Windows-1252).
AnsiString EvalActionText(const AnsiString& text, const EvalOptions& options);

}  // namespace vl
