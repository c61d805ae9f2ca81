// Playing a publication: `vellion FILE [ARGS...]` in a window, and the
// headless mode on the offscreen platform with the virtual clock, a script,
// the trace, the variables and a screenshot at the end.
#include <unistd.h>

#include <QApplication>
#include <QImage>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "actions/CommandTable.h"
#include "actions/DateTime.h"
#include "actions/Interpreter.h"
#include "actions/MathExpr.h"
#include "actions/Vars.h"
#include "pages/HeadlessScript.h"
#include "pages/RT_Main.h"
#include "platform/FontMap.h"
#include "runtime/Clock.h"
#include "runtime/Host.h"
#include "runtime/Messages.h"
#include "runtime/Package.h"
#include "runtime/Trace.h"
#include "runtime/VLRun.h"
#include "windows/DialogSettings.h"
#include "windows/QtDialogService.h"
#include "windows/UserDialog.h"

namespace vl {
namespace {

// Virtual runs start at a fixed instant (2001-01-01 00:00 UTC), as --eval.
constexpr int64_t kVirtualWallStart = 978307200000LL;

struct THeadlessRun {
  const PlayOptions* options = nullptr;
  TWorkForm* form = nullptr;
  bool ended = false;
  int status = kExitOk;

  // What a headless run leaves: the variables, the screenshot, the last
  // trace record.
  void WriteResults() {
    if (!options->dumpVarsPath.empty()) {
      std::ofstream f(options->dumpVarsPath, std::ios::binary | std::ios::trunc);
      std::string text = AnsiToUtf8(GlobalVarsAsText());
      f.write(text.data(), static_cast<std::streamsize>(text.size()));
      if (!f) std::fprintf(stderr, "vellion: cannot write %s\n", options->dumpVarsPath.c_str());
    }
    if (!options->screenshotPath.empty() && form &&
        !form->Screenshot().save(QString::fromUtf8(options->screenshotPath.c_str()), "PNG"))
      std::fprintf(stderr, "vellion: cannot write %s\n", options->screenshotPath.c_str());
  }

  // A timeout or a failed step may come while an action or a dialog holds
  // the event loop, which cannot be unwound from here: the run writes what it
  // has, removes its extracted files and ends the process.
  [[noreturn]] void Abort(int code) {
    WriteResults();
    trace::Record({"exit", std::to_string(code)});
    trace::Close();
    ThePackage().ClosePackage(true);
    std::fflush(stdout);
    std::fflush(stderr);
    ::_exit(code);
  }
};

// The message of a publication that could not start: on stderr, and in the
// message box where someone can see it (the trace records it headless).
int ReportStartError(const PlayOptions& o, const AnsiString& msg) {
  if (msg.empty()) return kExitOk;  // the start password was refused: silently
  std::fprintf(stderr, "vellion: %s: %s\n", o.packagePath.c_str(), AnsiToUtf8(BarsToLineBreaks(msg)).c_str());
  const QString platform = QGuiApplication::platformName();
  if (o.headless || platform == "offscreen" || platform == "minimal") {
    trace::Record({"dialog", "error", TheDialogSettings().appTitle, msg, "OK", "OK"});
  } else {
    ShowStartupError(TheDialogSettings().appTitle.empty() ? AnsiString("vellion") : TheDialogSettings().appTitle,
                     msg);
  }
  return kExitStartFailed;
}

bool ReadText(const std::string& path, std::string& out) {
  std::ifstream f(path, std::ios::binary);
  if (!f) return false;
  std::ostringstream ss;
  ss << f.rdbuf();
  out = ss.str();
  return !f.bad();
}

int Play(const PlayOptions& o, int argc, char** argv) {
  std::vector<TScriptStep> steps;
  if (!o.scriptPath.empty()) {
    std::string text, error;
    if (!ReadText(o.scriptPath, text)) {
      std::fprintf(stderr, "vellion: cannot read %s\n", o.scriptPath.c_str());
      return kExitUsage;
    }
    if (!ParseScript(text, steps, error)) {
      std::fprintf(stderr, "vellion: %s: %s\n", o.scriptPath.c_str(), error.c_str());
      return kExitScriptFailed;
    }
  }
  if (o.headless) qputenv("QT_QPA_PLATFORM", "offscreen");
  // Without any display Qt would abort; say what to do instead.
  if (!o.headless && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
      qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
    std::fprintf(stderr, "vellion: no display to show the publication on (use --headless to play it without one)\n");
    return kExitStartFailed;
  }
  // The font configuration loads while Qt starts.
  StartFontWarmUp();
  int qargc = 1;
  QApplication app(qargc, argv);
  if (o.headless) {
    InstallClock(MakeVirtualClock(kVirtualWallStart));
    // The same script gives the same trace on every machine.
    FormatSettings() = EnglishFormatSettings();
    SetDecimalSymbol('.');
    SeedRandom(1);
  }
  if (!o.tracePath.empty() && !trace::Open(o.tracePath)) {
    std::fprintf(stderr, "vellion: cannot write the trace %s\n", o.tracePath.c_str());
    return kExitUsage;
  }
  InstallQtDialogService();
  CommandTable().BuildBuiltinTable();
  ClearAllVariables();

  TStartOptions so;
  so.packagePath = Utf8ToAnsi(o.packagePath);
  for (const auto& a : o.args) so.args.push_back(Utf8ToAnsi(a));
  so.headless = o.headless;
  so.channel = !o.headless || o.channel;
  auto form = std::make_unique<TWorkForm>(so);

  THeadlessRun run;
  run.options = &o;
  run.form = form.get();

  if (!form->FormCreate()) {
    const int status = ReportStartError(o, form->StartError());
    form->FormDestroy();
    trace::Record({"exit", std::to_string(status)});
    trace::Close();
    return status;
  }

  std::unique_ptr<THeadlessScript> script;
  bool scriptStarted = false;
  if (o.headless) {
    form->onClosed = [&] { run.ended = true; };
    if (o.timeoutSeconds >= 0) {
      const int64_t ms = static_cast<int64_t>(o.timeoutSeconds * 1000.0);
      TheClock().StartTimer(ms, [&run] {
        std::fprintf(stderr, "vellion: the timeout expired\n");
        run.Abort(kExitTimeout);
      });
    }
    script = std::make_unique<THeadlessScript>(*form, std::move(steps));
    script->onFailure = [&](const std::string& message) {
      std::fprintf(stderr, "vellion: %s: %s\n", o.scriptPath.c_str(), message.c_str());
      run.Abort(kExitScriptFailed);
    };
    // A chained publication starts again: the script goes on where it is.
    form->onStarted = [&] {
      if (!scriptStarted) script->Start();
      scriptStarted = true;
    };
    form->onChainFailed = [&] {
      run.status = ReportStartError(o, form->StartError());
      run.ended = true;
    };
    form->FormShow();
    TheClock().RunUntil([&] { return run.ended; }, -1);
  } else {
    form->onClosed = [&] {
      run.ended = true;
      QCoreApplication::exit(0);
    };
    form->onChainFailed = [&] {
      run.status = ReportStartError(o, form->StartError());
      run.ended = true;
      QCoreApplication::exit(0);
    };
    form->FormShow();
    if (!run.ended) app.exec();
  }
  script.reset();
  // After the shut-down and exit actions, before the variables are cleared.
  run.WriteResults();
  form->FormDestroy();
  form.reset();
  trace::Record({"exit", std::to_string(run.status)});
  trace::Close();
  InstallClock(nullptr);
  return run.status;
}

struct TRegisterPlay {
  TRegisterPlay() { SetPlayEntry(&Play); }
} const kRegisterPlay;

}  // namespace
}  // namespace vl
