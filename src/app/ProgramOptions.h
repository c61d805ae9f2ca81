#pragma once
// The options of `vellion`, read from one table: the parser and the usage and
// help texts both come from it, so an option cannot be accepted without being
// documented, nor documented without being accepted.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vl {

// A headless run that is not given --timeout still ends: a publication
// waiting on a dialog nobody answers would otherwise run for ever (its timers
// driving virtual time on at full speed). Ten virtual minutes are far more
// than any scripted run needs and cost a few real seconds at most. A run with
// --channel waits for other programs, in real time, while virtual time jumps
// ahead: it gets no default.
constexpr double kDefaultHeadlessTimeoutSeconds = 600;

enum class TOptionId { Help, Version, ListCommands, Eval, Headless, Trace, Script, DumpVars, Screenshot, Timeout, Channel, Safe };

// Where an option belongs, which also decides where the usage shows it.
enum class TOptionUse {
  Alone,     // acts by itself and ends the program (--help)
  Mode,      // chooses what the program does (--headless, --eval)
  Any,       // playing, headless or not, and --eval (--trace)
  Headless,  // only with --headless: refused anywhere else
};

struct TOptionSpec {
  TOptionId id;
  const char* name;   // "--script"
  const char* alias;  // a short form ("-h"), or nullptr
  const char* value;  // the value's placeholder in the usage ("FILE"), nullptr for a switch
  TOptionUse use;
  const char* help;   // one paragraph, wrapped when printed
};

const std::vector<TOptionSpec>& ProgramOptionTable();
// The option named `arg` (its name or its alias), or nullptr.
const TOptionSpec* FindProgramOption(std::string_view arg);

// What `vellion FILE [ARGS...]` and `vellion --headless ...` were asked.
struct PlayOptions {
  std::string packagePath;        // the host file of the package
  std::vector<std::string> args;  // the parameters after FILE (they make [CommandLine])
  bool headless = false;
  bool safe = false;  // --safe: the publication plays confined (platform/SafeMode.h)
  std::string scriptPath;
  std::string tracePath;
  std::string dumpVarsPath;
  std::string screenshotPath;
  double timeoutSeconds = -1;     // virtual seconds, headless only; < 0: none
  bool channel = false;           // headless: the single-instance hand-over and macros too
  std::string programPath;        // argv[0]
};

// The whole command line, read.
struct TCommandLine {
  std::optional<TOptionId> alone;          // --help, --version or --list-commands, when met
  std::string evalPath;                    // --eval FILE
  PlayOptions play;
  int fileIndex = 0;                       // argv index of FILE (== argc when none)
};

// Reads the options of argv[1..] (up to FILE or "--"), and FILE and ARGS.
// An Alone option ends the reading at once. False with `error` (a message
// without the program name) for an unknown option, a missing or bad value, or
// an option used where it has no effect.
bool ParseCommandLine(int argc, char** argv, TCommandLine& out, std::string& error);

// The short usage (printed when there is nothing to play) and the full help.
std::string UsageText();
std::string HelpText();

// A message of the player on the terminal: its CR LF, CR and LF line breaks
// become "\n" and blank lines are dropped, so the second sentence of a
// start-up message is not written over the first. The result ends with "\n".
std::string MessageLines(std::string_view text);

}  // namespace vl
