#include "runtime/VLRun.h"

#include <QCoreApplication>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>

#include "actions/CommandTable.h"
#include "actions/Interpreter.h"
#include "actions/DateTime.h"
#include "actions/MathExpr.h"
#include "actions/Vars.h"
#include "runtime/Clock.h"
#include "runtime/Host.h"
#include "runtime/Trace.h"

namespace vl {
namespace {

// Virtual runs start at a fixed instant (2001-01-01 00:00 UTC) so that time
// variables repeat from run to run.
constexpr int64_t kVirtualWallStart = 978307200000LL;
// Posted requests left at the end of the start-up action are delivered; a
// chain of requests that posts itself forever is cut off after this many.
constexpr int kMaxDrainRounds = 100000;

const char kHelp[] =
    "Usage: vellion [OPTION]... [--] [FILE]\n"
    "Plays publications of the authoring tool and runs action texts.\n"
    "\n"
    "Options (read only before FILE; \"--\" ends them):\n"
    "  --help            show this help and exit\n"
    "  --version         show the version and exit\n"
    "  --list-commands   list the built-in commands: id, name, minimum and maximum\n"
    "                    argument count, argument kinds, and whether the command is\n"
    "                    built in this program (\"built\" or \"not-built\")\n"
    "  --eval FILE       run the action text in FILE as the start-up action of an\n"
    "                    empty publication with no window (dialogs are answered with\n"
    "                    their first button, time is virtual) and write the global\n"
    "                    variables at the end to standard output in the saved-\n"
    "                    variables format, as UTF-8\n"
    "  --trace FILE      write the trace of observable effects to FILE\n"
    "\n"
    "Exit status: 0 on a normal end (an action stopped by an error still ends\n"
    "normally: the error is in the variable LastError), 2 for a bad command line,\n"
    "3 when FILE cannot be read.\n";

bool ReadFile(const std::string& path, std::string& out) {
  std::ifstream f(path, std::ios::binary);
  if (!f) return false;
  std::ostringstream ss;
  ss << f.rdbuf();
  out = ss.str();
  return !f.bad();
}

void ListCommands() {
  for (const auto& g : CommandTable().Groups())
    for (const auto& r : g->records) {
      std::string kinds;
      for (int i = 0; i < r.maxArgs; ++i) {
        if (i) kinds.push_back(' ');
        kinds += std::to_string(r.kinds[i]);
      }
      if (kinds.empty()) kinds = "-";
      std::printf("%d\t%s\t%d\t%d\t%s\t%s\n", r.id, r.name.c_str(), r.minArgs, r.maxArgs, kinds.c_str(),
                  r.handler ? "built" : "not-built");
    }
}

std::unique_ptr<QCoreApplication> EnsureApplication() {
  if (QCoreApplication::instance()) return nullptr;
  static int argc = 1;
  static char name[] = "vellion";
  static char* argv[] = {name, nullptr};
  return std::make_unique<QCoreApplication>(argc, argv);
}

}  // namespace

AnsiString EvalActionText(const AnsiString& text, const EvalOptions& options) {
  auto app = EnsureApplication();
  InstallClock(options.realClock ? MakeRealClock() : MakeVirtualClock(kVirtualWallStart));
  AutoAnswerDialogs dialogs;
  SetDialogService(&dialogs);
  if (!options.tracePath.empty()) trace::Open(options.tracePath);
  SeedRandom(1);
  // The same text gives the same variables on every machine.
  FormatSettings() = EnglishFormatSettings();
  SetDecimalSymbol('.');
  ClearAllVariables();
  SetTerminating(false);
  SetSuspendCount(0);
  CommandTable().BuildBuiltinTable();

  RunAction(text, 0, kEventStartup, kOriginPublication, "");
  // Requests the start-up action left queued run now (one may queue others).
  for (int i = 0; i < kMaxDrainRounds && PendingActionRequests() > 0; ++i) QCoreApplication::sendPostedEvents();
  AnsiString vars = GlobalVarsAsText();

  ClearAllVariables();
  trace::Close();
  SetDialogService(nullptr);
  InstallClock(nullptr);
  return vars;
}

int VLRunMain(int argc, char** argv) {
  std::string evalPath, tracePath;
  bool listCommands = false;
  int i = 1;
  for (; i < argc; ++i) {
    const char* a = argv[i];
    if (std::strcmp(a, "--") == 0) {
      ++i;
      break;
    }
    if (a[0] != '-' || a[1] == '\0') break;
    if (std::strcmp(a, "--help") == 0) {
      std::fputs(kHelp, stdout);
      return kExitOk;
    }
    if (std::strcmp(a, "--version") == 0) {
      std::printf("vellion %s\n", VL_VERSION);
      return kExitOk;
    }
    if (std::strcmp(a, "--list-commands") == 0) {
      listCommands = true;
    } else if (std::strcmp(a, "--eval") == 0 || std::strcmp(a, "--trace") == 0) {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "vellion: %s needs a file name\n", a);
        return kExitUsage;
      }
      (a[2] == 'e' ? evalPath : tracePath) = argv[++i];
    } else {
      std::fprintf(stderr, "vellion: unknown option %s (see --help)\n", a);
      return kExitUsage;
    }
  }
  if (listCommands) {
    ListCommands();
    return kExitOk;
  }
  if (evalPath.empty()) {
    std::fputs(i < argc ? "vellion: playing a publication is not available in this build yet\n"
                        : "vellion: nothing to do (see --help)\n",
               stderr);
    return kExitUsage;
  }
  std::string text;
  if (!ReadFile(evalPath, text)) {
    std::fprintf(stderr, "vellion: cannot read %s\n", evalPath.c_str());
    return kExitNoInput;
  }
  if (!tracePath.empty()) {
    if (!trace::Open(tracePath)) {
      std::fprintf(stderr, "vellion: cannot write the trace %s\n", tracePath.c_str());
      return kExitNoInput;
    }
    trace::Close();
  }
  int qargc = 1;
  QCoreApplication app(qargc, argv);
  EvalOptions opt;
  opt.tracePath = tracePath;
  std::string out = AnsiToUtf8(EvalActionText(text, opt));
  std::fwrite(out.data(), 1, out.size(), stdout);
  std::fflush(stdout);
  return kExitOk;
}

}  // namespace vl
