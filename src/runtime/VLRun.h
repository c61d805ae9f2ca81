#pragma once
// The program entry of `vellion`: reads the options and runs what they ask.
#include <string>
#include <vector>

#include "runtime/Ansi.h"

namespace vl {

// Runs the program with its command line; returns the exit status.
int VLRunMain(int argc, char** argv);

// Exit statuses.
constexpr int kExitOk = 0;
constexpr int kExitUsage = 2;    // bad command line
constexpr int kExitNoInput = 3;  // FILE cannot be read
// Playing a publication.
constexpr int kExitNoPackage = 1;      // nothing to play: the usage was printed
constexpr int kExitStartFailed = 2;    // the publication could not start
constexpr int kExitTimeout = 3;        // --timeout expired (headless)
constexpr int kExitScriptFailed = 4;   // a script step failed (headless)

// What `vellion FILE [ARGS...]` and `vellion --headless ...` were asked.
struct PlayOptions {
  std::string packagePath;         // the host file of the package
  std::vector<std::string> args;   // the parameters after FILE (they make [CommandLine])
  bool headless = false;
  std::string scriptPath;
  std::string tracePath;
  std::string dumpVarsPath;
  std::string screenshotPath;
  double timeoutSeconds = -1;      // < 0: none
  bool channel = false;            // headless: the single-instance hand-over and macros too
  std::string programPath;         // argv[0]
};

// The player library installs its entry here (the core has no windows).
// It makes the application, plays and returns the exit status.
using PlayEntry = int (*)(const PlayOptions& options, int argc, char** argv);
void SetPlayEntry(PlayEntry entry);

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
