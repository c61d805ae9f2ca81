#include "app/PlayerMain.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QImage>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "actions/CommandTable.h"
#include "actions/DateTime.h"
#include "actions/Interpreter.h"
#include "actions/MathExpr.h"
#include "actions/Vars.h"
#include "app/ExitStatus.h"
#include "app/HeadlessScript.h"
#include "pages/RT_Main.h"
#include "platform/FontMap.h"
#include "platform/SafeMode.h"
#include "runtime/Clock.h"
#include "runtime/Host.h"
#include "runtime/Messages.h"
#include "runtime/Package.h"
#include "runtime/Trace.h"
#include "windows/DialogDriver.h"
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
  // The message table's "\r\r" between its two sentences would make a
  // terminal write the second over the first.
  std::fprintf(stderr, "vellion: %s: %s", o.packagePath.c_str(),
               MessageLines(AnsiToUtf8(BarsToLineBreaks(msg))).c_str());
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

// Whether `path` can be read as a file; else the system's reason.
bool FileReadable(const std::string& path, std::string& why) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    why = std::strerror(errno);
    return false;
  }
  struct stat st {};
  const bool dir = ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode);
  ::close(fd);
  if (dir) why = std::strerror(EISDIR);
  return !dir;
}

// Names the dialog a timeout found open, on stderr and in the trace, so a run
// stuck on an unanswered question says which one.
void ReportTimeout(double seconds) {
  DialogInfo d;
  if (DialogDriver::IsOpen()) d = DialogDriver::Current();
  char head[160];
  std::snprintf(head, sizeof head, "vellion: the timeout of %g virtual seconds expired", seconds);
  if (DialogDriver::IsOpen()) {
    // "|" breaks the lines of a dialog's text.
    std::string text = MessageLines(AnsiToUtf8(BarsToLineBreaks(d.text)));
    std::string indented;
    for (size_t pos = 0; pos < text.size();) {
      const size_t end = text.find('\n', pos);
      indented += "  " + text.substr(pos, end - pos + 1);
      pos = end + 1;
    }
    std::fprintf(stderr, "%s while a dialog was open:\n  %s \"%s\"\n%s", head, AnsiToUtf8(d.kind).c_str(),
                 AnsiToUtf8(d.title).c_str(), indented.c_str());
  } else {
    std::fprintf(stderr, "%s\n", head);
  }
  trace::Record({"timeout", d.kind, d.title, d.text});
}

}  // namespace

int PlayPublication(const PlayOptions& o, int argc, char** argv) {
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
    // A file that cannot be read is the first thing to fix: say so before
    // asking for a display it would not need.
    std::string why;
    if (!FileReadable(o.packagePath, why)) {
      std::fprintf(stderr, "vellion: %s: %s\n", o.packagePath.c_str(), why.c_str());
      return kExitStartFailed;
    }
    std::fprintf(stderr, "vellion: no display to show the publication on (use --headless to play it without one)\n");
    return kExitStartFailed;
  }
  // The font configuration loads while Qt starts.
  StartFontWarmUp();
  int qargc = 1;
  QApplication app(qargc, argv);
  FontWarmUpScope fontWarmUp;
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

  EnableSafeMode(o.safe);
  TStartOptions so;
  so.packagePath = Utf8ToAnsi(o.packagePath);
  for (const auto& a : o.args) so.args.push_back(Utf8ToAnsi(a));
  so.headless = o.headless;
  so.channel = !o.headless || o.channel;
  auto form = std::make_unique<TWorkForm>(so);

  THeadlessRun run;
  run.options = &o;
  run.form = form.get();

  // The `answer` steps that open the script also answer the dialogs that
  // open before the first paint (a plug-in that failed to load, say): those
  // they answered are done; the others stay steps of the script.
  size_t earlyAnswers = 0;
  if (o.headless) {
    for (const TScriptStep& step : steps) {
      if (step.words.empty() || !SameTextAnsi(step.words[0], "answer") || step.words.size() < 2) break;
      if (step.words.size() >= 3)
        DialogDriver::QueueAnswer(Utf8ToAnsi(step.words[1]), Utf8ToAnsi(step.words[2]));
      else
        DialogDriver::QueueAnswer(Utf8ToAnsi(step.words[1]));
      ++earlyAnswers;
    }
  }
  const bool created = form->FormCreate();
  if (earlyAnswers) {
    const size_t used = earlyAnswers - std::min(earlyAnswers, DialogDriver::PendingAnswers());
    DialogDriver::ClearPendingAnswers();
    steps.erase(steps.begin(), steps.begin() + static_cast<std::ptrdiff_t>(used));
  }
  if (!created) {
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
      TheClock().StartTimer(ms, [&run, seconds = o.timeoutSeconds] {
        ReportTimeout(seconds);
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

}  // namespace vl
