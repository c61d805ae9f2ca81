#include "app/EvalRun.h"

#include <QCoreApplication>
#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>

#include "actions/CommandTable.h"
#include "actions/DateTime.h"
#include "actions/Interpreter.h"
#include "actions/MathExpr.h"
#include "actions/Vars.h"
#include "app/ExitStatus.h"
#include "runtime/Clock.h"
#include "runtime/Global.h"
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

bool ReadFile(const std::string& path, std::string& out) {
  std::ifstream f(path, std::ios::binary);
  if (!f) return false;
  std::ostringstream ss;
  ss << f.rdbuf();
  out = ss.str();
  return !f.bad();
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

int RunEvalFile(const std::string& path, const std::string& tracePath, char* argv0) {
  std::string text;
  if (!ReadFile(path, text)) {
    std::fprintf(stderr, "vellion: cannot read %s\n", path.c_str());
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
  char* qargv[] = {argv0, nullptr};
  QCoreApplication app(qargc, qargv);
  EvalOptions opt;
  opt.tracePath = tracePath;
  std::string out = AnsiToUtf8(EvalActionText(text, opt));
  std::fwrite(out.data(), 1, out.size(), stdout);
  std::fflush(stdout);
  return kExitOk;
}

}  // namespace vl
