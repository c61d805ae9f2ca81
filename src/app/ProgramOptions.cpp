#include "app/ProgramOptions.h"

#include <cstdlib>
#include <cstring>

namespace vl {
namespace {

constexpr size_t kWidth = 79;       // the help fits a terminal of 80 columns
constexpr size_t kHelpColumn = 22;  // where the option descriptions start

const char kDescription[] =
    "Plays publications of the authoring tool and runs action texts. FILE holds a package at its end: a .pkg file, "
    "a publication .exe, or a vellion with a package appended (which plays its own package when started without "
    "FILE). The ARGS after FILE become the publication's command line ([CommandLine]).";

const char kExitStatus[] =
    "Exit status with --eval: 0 on a normal end (an action stopped by an error\n"
    "still ends normally: the error is in the variable LastError), 2 for a bad\n"
    "command line, 3 when FILE cannot be read.\n"
    "Exit status when playing: 0 the publication closed, 1 nothing to play,\n"
    "2 the publication could not start (or a bad command line, such as a\n"
    "headless option without --headless), 3 the timeout expired, 4 a script\n"
    "step failed.\n";

// Appends `text` word by word, lines broken before kWidth; every line after
// the first starts at `indent`. `column` is where the first word goes.
void AppendWrapped(std::string& out, std::string_view text, size_t column, size_t indent) {
  size_t pos = 0;
  bool first = true;
  while (pos < text.size()) {
    while (pos < text.size() && text[pos] == ' ') ++pos;
    if (pos >= text.size()) break;
    // A bracketed option of a synopsis ("[--timeout SECONDS]") stays whole.
    size_t end = text.find(' ', text[pos] == '[' ? text.find(']', pos) : pos);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view word = text.substr(pos, end - pos);
    if (!first && column + 1 + word.size() > kWidth) {
      out += '\n';
      out.append(indent, ' ');
      column = indent;
    } else if (!first) {
      out += ' ';
      ++column;
    }
    out += word;
    column += word.size();
    first = false;
    pos = end;
  }
  out += '\n';
}

std::string Synopsis(const TOptionSpec& o) {
  std::string s = o.name;
  if (o.value) s += std::string(" ") + o.value;
  return s;
}

// "[--a FILE] [--b]" for the options of one use.
std::string Bracketed(TOptionUse use) {
  std::string s;
  for (const auto& o : ProgramOptionTable())
    if (o.use == use) s += " [" + Synopsis(o) + "]";
  return s;
}

void AppendSynopsis(std::string& out) {
  const std::string any = Bracketed(TOptionUse::Any);
  std::string alone;
  for (const auto& o : ProgramOptionTable())
    if (o.use == TOptionUse::Alone) alone += std::string(alone.empty() ? "" : " | ") + o.name;
  const std::string lines[] = {
      "vellion" + any + " [--] FILE [ARGS]...",
      "vellion --headless" + any + Bracketed(TOptionUse::Headless) + " [--] PACKAGE [ARGS]...",
      "vellion" + any + " --eval FILE",
      "vellion " + alone,
  };
  bool first = true;
  for (const auto& line : lines) {
    out += first ? "Usage: " : "       ";
    AppendWrapped(out, line, 7, 15);
    first = false;
  }
}

// The options that need --headless, or all the others.
void AppendOptions(std::string& out, bool headlessOnly) {
  for (const auto& o : ProgramOptionTable()) {
    if ((o.use == TOptionUse::Headless) != headlessOnly) continue;
    std::string head = "  ";
    if (o.alias) head += std::string(o.alias) + ", ";
    head += Synopsis(o);
    out += head;
    if (head.size() + 1 > kHelpColumn) {
      out += '\n';
      out.append(kHelpColumn, ' ');
    } else {
      out.append(kHelpColumn - head.size(), ' ');
    }
    AppendWrapped(out, o.help, kHelpColumn, kHelpColumn);
  }
}

bool ReadTimeout(const char* v, double& seconds) {
  char* end = nullptr;
  const double t = std::strtod(v, &end);
  if (!end || end == v || *end || !(t >= 0) || t > 1e9) return false;
  seconds = t;
  return true;
}

}  // namespace

const std::vector<TOptionSpec>& ProgramOptionTable() {
  using enum TOptionId;
  using U = TOptionUse;
  static const std::vector<TOptionSpec> kTable = {
      {Help, "--help", "-h", nullptr, U::Alone, "show this help and exit"},
      {Version, "--version", nullptr, nullptr, U::Alone, "show the version and exit"},
      {ListCommands, "--list-commands", nullptr, nullptr, U::Alone,
       "list the built-in commands: id, name, minimum and maximum argument count, argument kinds, and whether the "
       "command is built in this program (\"built\" or \"not-built\")"},
      {Eval, "--eval", nullptr, "FILE", U::Mode,
       "run the action text in FILE as the start-up action of an empty publication with no window (dialogs are "
       "answered with their first button, time is virtual) and write the global variables at the end to standard "
       "output in the saved-variables format, as UTF-8"},
      {Headless, "--headless", nullptr, nullptr, U::Mode,
       "play without a screen (offscreen platform, virtual time); the headless options below need it"},
      {Trace, "--trace", nullptr, "FILE", U::Any, "write the trace of observable effects to FILE"},
      {Safe, "--safe", nullptr, nullptr, U::Any,
       "play an untrusted publication confined: files only in its own folders, its registry apart, no other "
       "programs, keys or mouse outside the player, network or mail (not with --eval)"},
      {Script, "--script", nullptr, "FILE", U::Headless, "run the steps of FILE (see the README)"},
      {DumpVars, "--dump-vars", nullptr, "FILE", U::Headless,
       "write the global variables once the publication has closed, in the saved-variables format, as UTF-8"},
      {Screenshot, "--screenshot", nullptr, "FILE", U::Headless, "write a PNG of the window at the end"},
      {Timeout, "--timeout", nullptr, "SECONDS", U::Headless,
       "give up after SECONDS of virtual time (default 600, none with --channel); the dialog open then is named "
       "on stderr and in the trace"},
      {Channel, "--channel", nullptr, nullptr, U::Headless,
       "hand the command line to a running copy of a single-instance publication and answer macros, as a windowed "
       "run does"},
  };
  return kTable;
}

const TOptionSpec* FindProgramOption(std::string_view arg) {
  for (const auto& o : ProgramOptionTable())
    if (arg == o.name || (o.alias && arg == o.alias)) return &o;
  return nullptr;
}

bool ParseCommandLine(int argc, char** argv, TCommandLine& out, std::string& error) {
  out = TCommandLine();
  out.play.programPath = argc > 0 ? argv[0] : "vellion";
  std::vector<const TOptionSpec*> headlessOnly;
  int i = 1;
  for (; i < argc; ++i) {
    const std::string_view a = argv[i];
    if (a == "--") {
      ++i;
      break;
    }
    if (a.size() < 2 || a[0] != '-') break;  // FILE ("-" alone is a file name too)
    const TOptionSpec* o = FindProgramOption(a);
    if (!o) {
      error = "unknown option " + std::string(a) + " (see --help)";
      return false;
    }
    if (o->use == TOptionUse::Alone) {
      out.alone = o->id;
      out.fileIndex = argc;
      return true;
    }
    const char* v = nullptr;
    if (o->value) {
      if (i + 1 >= argc) {
        error = std::string(o->name) + " needs " + o->value + " (see --help)";
        return false;
      }
      v = argv[++i];
    }
    if (o->use == TOptionUse::Headless) headlessOnly.push_back(o);
    switch (o->id) {
      case TOptionId::Eval: out.evalPath = v; break;
      case TOptionId::Headless: out.play.headless = true; break;
      case TOptionId::Trace: out.play.tracePath = v; break;
      case TOptionId::Script: out.play.scriptPath = v; break;
      case TOptionId::DumpVars: out.play.dumpVarsPath = v; break;
      case TOptionId::Screenshot: out.play.screenshotPath = v; break;
      case TOptionId::Channel: out.play.channel = true; break;
      case TOptionId::Safe: out.play.safe = true; break;
      case TOptionId::Timeout:
        if (!ReadTimeout(v, out.play.timeoutSeconds)) {
          error = "--timeout takes a number of seconds, not " + std::string(v);
          return false;
        }
        break;
      default: break;
    }
  }
  // An option that would be ignored is refused: a run that silently did
  // without its script or its timeout would look like it passed.
  for (const TOptionSpec* o : headlessOnly) {
    if (!out.evalPath.empty()) {
      error = std::string(o->name) + " cannot be used with --eval (see --help)";
      return false;
    }
    if (!out.play.headless) {
      error = std::string(o->name) + " works only with --headless (see --help)";
      return false;
    }
  }
  if (out.play.safe && !out.evalPath.empty()) {
    error = "--safe cannot be used with --eval (see --help)";
    return false;
  }
  if (out.play.headless && out.play.timeoutSeconds < 0 && !out.play.channel)
    out.play.timeoutSeconds = kDefaultHeadlessTimeoutSeconds;
  out.fileIndex = i;
  if (out.evalPath.empty() && i < argc) {
    out.play.packagePath = argv[i];
    for (int k = i + 1; k < argc; ++k) out.play.args.push_back(argv[k]);
  }
  return true;
}

std::string UsageText() {
  std::string out;
  AppendSynopsis(out);
  out += "Plays the publication packaged at the end of FILE; ARGS make [CommandLine].\n";
  out += "Run \"vellion --help\" for the options.\n";
  return out;
}

std::string HelpText() {
  std::string out;
  AppendSynopsis(out);
  AppendWrapped(out, kDescription, 0, 0);
  out += "\nOptions (read only before FILE; \"--\" ends them):\n";
  AppendOptions(out, false);
  out += "\nHeadless options (only with --headless, never with --eval):\n";
  AppendOptions(out, true);
  out += '\n';
  out += kExitStatus;
  return out;
}

std::string MessageLines(std::string_view text) {
  std::string out;
  size_t pos = 0;
  while (pos <= text.size()) {
    size_t end = text.find_first_of("\r\n", pos);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = text.substr(pos, end - pos);
    if (line.find_first_not_of(" \t") != std::string_view::npos) {
      out.append(line);
      out += '\n';
    }
    pos = end + 1;
  }
  if (out.empty()) out = "\n";
  return out;
}

}  // namespace vl
