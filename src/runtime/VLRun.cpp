#include "runtime/VLRun.h"

#include <QCoreApplication>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>

#include "actions/CommandTable.h"
#include "actions/Interpreter.h"
#include "actions/DateTime.h"
#include "actions/MathExpr.h"
#include "actions/SpecialVarCheck.h"
#include "actions/Vars.h"
#include "runtime/Clock.h"
#include "runtime/Global.h"
#include "runtime/Host.h"
#include "runtime/Messages.h"
#include "runtime/Package.h"
#include "runtime/Trace.h"

namespace vl {
namespace {

// Virtual runs start at a fixed instant (2001-01-01 00:00 UTC) so that time
// variables repeat from run to run.
constexpr int64_t kVirtualWallStart = 978307200000LL;
// Posted requests left at the end of the start-up action are delivered; a
// chain of requests that posts itself forever is cut off after this many.
constexpr int kMaxDrainRounds = 100000;

PlayEntry gPlayEntry = nullptr;

const char kUsage[] =
    "Usage: vellion [OPTION]... [--] FILE [ARGS]...\n"
    "       vellion --headless [--script FILE] [--trace FILE] [--dump-vars FILE]\n"
    "               [--screenshot FILE] [--timeout SECONDS] [--] PACKAGE [ARGS]...\n"
    "Plays the publication packaged at the end of FILE (a .pkg file, a publication\n"
    ".exe, or a vellion with a package appended); ARGS make [CommandLine].\n";

const char kHelp[] =
    "Usage: vellion [OPTION]... [--] FILE [ARGS]...\n"
    "Plays publications of the authoring tool and runs action texts. FILE holds a\n"
    "package at its end: a .pkg file, a publication .exe, or a vellion with a\n"
    "package appended (which plays its own package when started without FILE).\n"
    "The ARGS after FILE become the publication's command line ([CommandLine]).\n"
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
    "  --headless        play without a screen (offscreen platform, virtual time)\n"
    "  --script FILE     headless: run the steps of FILE (see the README)\n"
    "  --dump-vars FILE  headless: write the global variables once the publication\n"
    "                    has closed, in the saved-variables format, as UTF-8\n"
    "  --screenshot FILE headless: write a PNG of the window at the end\n"
    "  --timeout SECONDS headless: give up after SECONDS of (virtual) time\n"
    "  --channel         headless: hand the command line to a running copy of a\n"
    "                    single-instance publication and answer macros, as a\n"
    "                    windowed run does\n"
    "\n"
    "Exit status with --eval: 0 on a normal end (an action stopped by an error\n"
    "still ends normally: the error is in the variable LastError), 2 for a bad\n"
    "command line, 3 when FILE cannot be read.\n"
    "Exit status when playing: 0 the publication closed, 1 nothing to play,\n"
    "2 the publication could not start (or a bad command line), 3 --timeout\n"
    "expired, 4 a script step failed.\n";

std::string OwnExecutable() {
  std::error_code ec;
  auto p = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : p.string();
}

bool HasPackage(const std::string& path) {
  if (path.empty()) return false;
  TPackage probe;
  bool ok = probe.OpenPackage(Utf8ToAnsi(path)) == kPackageOpen;
  probe.ClosePackage(false);
  return ok;
}

// The stand-alone player's own file name, compared without letter case.
bool IsStandAloneName(const std::string& argv0) {
  std::string base = std::filesystem::path(argv0).filename().string();
  return SameTextInvariant(base, "ZOVoze5") || SameTextInvariant(base, "ZOVoze5.exe");
}

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
  // Each run starts from the store's defaults: a ShowErrors of an earlier run
  // must not carry over.
  VarsEnv() = VarsEnvironment();
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

void SetPlayEntry(PlayEntry entry) { gPlayEntry = entry; }

int VLRunMain(int argc, char** argv) {
  // A development build stops at once when a special variable has no provider.
  CheckSpecialVarsAtStart();
  std::string evalPath;
  PlayOptions play;
  play.programPath = argc > 0 ? argv[0] : "vellion";
  bool listCommands = false;
  int i = 1;
  // The stand-alone player takes "/R FILE" before anything else.
  const bool standAlone = argc > 0 && IsStandAloneName(argv[0]);
  if (standAlone) {
    if (argc >= 3 && SameTextInvariant(argv[1], "/R")) {
      play.packagePath = argv[2];
      for (int k = 3; k < argc; ++k) play.args.push_back(argv[k]);
      return gPlayEntry ? gPlayEntry(play, argc, argv) : kExitUsage;
    }
    std::fprintf(stderr, "Vellion 5 Player: %s\n", AnsiToUtf8(Msg(256)).c_str());
    return kExitNoPackage;
  }
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
    } else if (std::strcmp(a, "--headless") == 0) {
      play.headless = true;
    } else if (std::strcmp(a, "--channel") == 0) {
      play.channel = true;
    } else if (std::strcmp(a, "--eval") == 0 || std::strcmp(a, "--trace") == 0 ||
               std::strcmp(a, "--script") == 0 || std::strcmp(a, "--dump-vars") == 0 ||
               std::strcmp(a, "--screenshot") == 0 || std::strcmp(a, "--timeout") == 0) {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "vellion: %s needs a %s\n", a, a[2] == 't' && a[3] == 'i' ? "number" : "file name");
        return kExitUsage;
      }
      const char* v = argv[++i];
      switch (a[2]) {
        case 'e': evalPath = v; break;
        case 's': (a[3] == 'c' && a[4] == 'r' && a[5] == 'i' ? play.scriptPath : play.screenshotPath) = v; break;
        case 'd': play.dumpVarsPath = v; break;
        default:
          if (a[3] == 'r') {
            play.tracePath = v;
          } else {
            char* end = nullptr;
            double t = std::strtod(v, &end);
            if (!end || *end || !(t >= 0) || t > 1e9) {
              std::fprintf(stderr, "vellion: --timeout takes a number of seconds, not %s\n", v);
              return kExitUsage;
            }
            play.timeoutSeconds = t;
          }
      }
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
    if (i < argc) {
      play.packagePath = argv[i++];
      for (; i < argc; ++i) play.args.push_back(argv[i]);
    } else {
      // A vellion with a package appended plays its own package.
      std::string self = OwnExecutable();
      if (!HasPackage(self)) {
        std::fputs(kUsage, stderr);
        return kExitNoPackage;
      }
      play.packagePath = self;
    }
    if (!gPlayEntry) {
      std::fputs("vellion: playing a publication is not available in this build\n", stderr);
      return kExitUsage;
    }
    return gPlayEntry(play, argc, argv);
  }
  const std::string& tracePath = play.tracePath;
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
