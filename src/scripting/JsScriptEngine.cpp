#include "scripting/JsScriptEngine.h"

#include <QJSEngine>
#include <QJSValue>
#include <QObject>
#include <QStringList>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "actions/DateTime.h"
#include "actions/Interpreter.h"
#include "actions/Vars.h"
#include "runtime/Global.h"

namespace vl {

// The script's "Publication" object: runs actions, reads and writes
// variables, all on the interface thread that runs the script.
class TPublicationObject : public QObject {
  Q_OBJECT
 public:
  explicit TPublicationObject(AnsiString language) : language_(std::move(language)) {}
  Q_INVOKABLE void vlExecAction(const QString& action) {
    const AnsiString text = QStringToAnsi(action);
    if (!text.empty()) RunAction(text, 0, kEventPlugInRequest, kOriginPlugIn, "");
  }
  Q_INVOKABLE QString vlGetVar(const QString& name) {
    return AnsiToQString(GetVariableValue(Bare(name), NowDateTime()));
  }
  Q_INVOKABLE void vlSetVar(const QString& name, const QString& value) {
    const AnsiString n = Bare(name);
    if (!n.empty()) SetVariable("[" + n + "]", QStringToAnsi(value));
  }

 private:
  static AnsiString Bare(const QString& name) {
    std::string_view n = TrimView(QStringToAnsi(name));
    AnsiString s(n);
    if (s.size() >= 2 && s.front() == '[' && s.back() == ']') s = s.substr(1, s.size() - 2);
    return s;
  }
  AnsiString language_;
};

namespace {

// Interrupts the engine when the script runs longer than its time-out, in
// real time: the script holds the interface thread, so no clock of the
// player could run meanwhile.
class Watchdog {
 public:
  Watchdog(QJSEngine& engine, int64_t ms) {
    thread_ = std::thread([this, &engine, ms] {
      std::unique_lock<std::mutex> lock(mutex_);
      if (!wake_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return done_; })) {
        fired_ = true;
        engine.setInterrupted(true);
      }
    });
  }
  ~Watchdog() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      done_ = true;
    }
    wake_.notify_all();
    thread_.join();
  }
  bool Fired() const { return fired_; }

 private:
  std::mutex mutex_;
  std::condition_variable wake_;
  bool done_ = false;
  std::atomic<bool> fired_{false};
  std::thread thread_;
};

}  // namespace

bool IsJavaScriptLanguage(std::string_view language) {
  return SameTextInvariant(language, "JScript") || SameTextInvariant(language, "JavaScript");
}

ScriptOutcome TJsScriptEngine::Run(const ScriptCall& call) {
  ScriptOutcome out;
  if (!IsJavaScriptLanguage(call.language)) {
    out.ok = false;
    out.description = NoScriptEngineMessage(call.language);
    return out;
  }
  QJSEngine engine;
  engine.installExtensions(QJSEngine::ConsoleExtension);
  auto* publication = new TPublicationObject(call.language);
  engine.globalObject().setProperty("Publication", engine.newQObject(publication));
  const int64_t timeout = call.timeoutMs > 0 ? call.timeoutMs : kDefaultTimeoutMs;
  QJSValue result;
  bool timedOut = false;
  {
    Watchdog watchdog(engine, timeout);
    result = engine.evaluate(AnsiToQString(call.body), AnsiToQString(call.fileName), 1);
    timedOut = watchdog.Fired();
  }
  if (timedOut) {
    out.ok = false;
    out.hasSource = true;
    out.description = "The script ran longer than its time-out of " + std::to_string(timeout) + " ms.";
    return out;
  }
  if (result.isError() || engine.hasError()) {
    QJSValue error = result.isError() ? result : engine.catchError();
    out.ok = false;
    out.hasSource = true;
    out.description = QStringToAnsi(error.toString());
    out.line = error.property("lineNumber").toInt();
  }
  return out;
}

namespace {
// Installed when the program starts: the library is linked whole.
struct Installer {
  Installer() {
    static TJsScriptEngine engine;
    SetScriptEngine(&engine);
  }
} const kInstall;
}  // namespace

}  // namespace vl

#include "JsScriptEngine.moc"
