#include "app/HeadlessScript.h"

#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QWidget>
#include <cstdlib>

#include "actions/DateTime.h"
#include "actions/Interpreter.h"
#include "actions/Vars.h"
#include "objects/ObjectInput.h"
#include "objects/PageObjects.h"
#include "pages/MenuItems.h"
#include "pages/RT_Main.h"
#include "runtime/Ansi.h"
#include "windows/DialogDriver.h"
#include "windows/FloatWindows.h"
#include "windows/Popups.h"

namespace vl {
namespace {

constexpr int64_t kPollMs = 10;
constexpr int64_t kDefaultWaitMs = 5000;

bool ParseMs(const std::string& s, int64_t& ms) {
  if (s.empty() || s.size() > 12) return false;
  char* end = nullptr;
  long long v = std::strtoll(s.c_str(), &end, 10);
  if (!end || *end || v < 0) return false;
  ms = v;
  return true;
}

bool SameWord(const std::string& a, const char* b) { return SameTextInvariant(a, b); }

// A key name of the "key" step, or one character.
bool KeyFromName(const std::string& name, int& key, QString& text) {
  static const struct {
    const char* name;
    int key;
    const char* text;
  } kKeys[] = {
      {"Esc", Qt::Key_Escape, "\x1b"},  {"Escape", Qt::Key_Escape, "\x1b"}, {"Enter", Qt::Key_Return, "\r"},
      {"Return", Qt::Key_Return, "\r"}, {"Tab", Qt::Key_Tab, "\t"},         {"PageDown", Qt::Key_PageDown, ""},
      {"PageUp", Qt::Key_PageUp, ""},   {"Home", Qt::Key_Home, ""},         {"End", Qt::Key_End, ""},
      {"Up", Qt::Key_Up, ""},           {"Down", Qt::Key_Down, ""},         {"Left", Qt::Key_Left, ""},
      {"Right", Qt::Key_Right, ""},     {"Space", Qt::Key_Space, " "},      {"Backspace", Qt::Key_Backspace, "\b"},
      {"Delete", Qt::Key_Delete, ""},   {"Insert", Qt::Key_Insert, ""},
  };
  for (const auto& k : kKeys)
    if (SameWord(name, k.name)) {
      key = k.key;
      text = QString::fromLatin1(k.text);
      return true;
    }
  if (name.size() >= 2 && (name[0] == 'F' || name[0] == 'f')) {
    int64_t n = 0;
    if (ParseMs(name.substr(1), n) && n >= 1 && n <= 12) {
      key = Qt::Key_F1 + static_cast<int>(n) - 1;
      text.clear();
      return true;
    }
  }
  QString s = QString::fromUtf8(name.c_str());
  if (s.size() == 1) {
    text = s;
    key = s.toUpper().at(0).unicode();
    return true;
  }
  return false;
}

}  // namespace

bool SplitScriptLine(const std::string& line, std::vector<std::string>& words) {
  words.clear();
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    if (i >= line.size()) break;
    std::string w;
    bool quoted = false;
    while (i < line.size() && (quoted || (line[i] != ' ' && line[i] != '\t'))) {
      if (line[i] == '"') {
        quoted = !quoted;
      } else {
        w.push_back(line[i]);
      }
      ++i;
    }
    if (quoted) return false;
    words.push_back(std::move(w));
  }
  return true;
}

bool ParseScript(const std::string& text, std::vector<TScriptStep>& steps, std::string& error) {
  steps.clear();
  size_t pos = 0;
  int lineNo = 0;
  while (pos <= text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(pos, end - pos);
    pos = end + 1;
    ++lineNo;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::string_view t = TrimView(line);
    if (t.empty() || t[0] == '#') {
      if (end == text.size()) break;
      continue;
    }
    TScriptStep step;
    step.line = lineNo;
    if (!SplitScriptLine(std::string(t), step.words)) {
      error = "line " + std::to_string(lineNo) + ": a double quote is not closed";
      return false;
    }
    size_t blank = t.find_first_of(" \t");
    step.rest = blank == std::string_view::npos ? std::string() : std::string(TrimView(t.substr(blank)));
    steps.push_back(std::move(step));
    if (end == text.size()) break;
  }
  return true;
}

THeadlessScript::THeadlessScript(TWorkForm& form, std::vector<TScriptStep> steps)
    : form_(form), steps_(std::move(steps)) {}

THeadlessScript::~THeadlessScript() {
  for (auto id : timers_) TheClock().CancelTimer(id);
}

void THeadlessScript::Start() { Schedule(0); }

void THeadlessScript::Schedule(int64_t delayMs) {
  busy_ = true;
  timers_.push_back(TheClock().StartTimer(delayMs, [this] { RunStep(); }));
}

void THeadlessScript::Fail(const TScriptStep& step, const std::string& message) {
  failed_ = true;
  busy_ = false;
  if (onFailure) onFailure("line " + std::to_string(step.line) + ": " + message);
}

void THeadlessScript::Poll(std::function<bool()> done, int64_t deadline, std::function<void(bool)> then) {
  if (done()) {
    then(true);
    return;
  }
  if (TheClock().NowMs() >= deadline) {
    then(false);
    return;
  }
  timers_.push_back(TheClock().StartTimer(kPollMs, [this, done = std::move(done), deadline, then = std::move(then)] {
    Poll(done, deadline, then);
  }));
}

void THeadlessScript::RunStep() {
  if (failed_) return;
  if (next_ >= steps_.size()) {
    busy_ = false;
    return;
  }
  const TScriptStep& step = steps_[next_++];
  const auto& w = step.words;
  const std::string& op = w[0];
  const size_t argc = w.size() - 1;
  auto need = [&](size_t lo, size_t hi) {
    if (argc >= lo && argc <= hi) return true;
    Fail(step, op + ": wrong number of arguments");
    return false;
  };

  if (SameWord(op, "wait")) {
    int64_t ms = 0;
    if (!need(1, 1)) return;
    if (!ParseMs(w[1], ms)) return Fail(step, "wait: not a number of milliseconds: " + w[1]);
    Schedule(ms);
  } else if (SameWord(op, "waitvar")) {
    if (!need(2, 3)) return;
    int64_t ms = kDefaultWaitMs;
    if (argc == 3 && !ParseMs(w[3], ms)) return Fail(step, "waitvar: not a number of milliseconds: " + w[3]);
    const AnsiString name = Utf8ToAnsi(w[1]);
    const AnsiString want = Utf8ToAnsi(w[2]);
    auto value = [name] { return GetVariableValue(ResolveVarName(name), NowDateTime()); };
    Poll([=] { return value() == want; }, TheClock().NowMs() + ms, [this, &step, value, ms](bool ok) {
      if (ok) return Schedule(0);
      Fail(step, "waitvar: [" + step.words[1] + "] is \"" + AnsiToUtf8(value()) + "\", not \"" + step.words[2] +
                     "\" after " + std::to_string(ms) + " ms");
    });
  } else if (SameWord(op, "key")) {
    if (!need(1, 1)) return;
    int key = 0;
    QString text;
    if (!KeyFromName(w[1], key, text)) return Fail(step, "key: unknown key " + w[1]);
    QWidget* target = QApplication::activeModalWidget();
    if (!target) target = QApplication::focusWidget();
    if (!target) target = &form_;
    QPointer<QWidget> guard(target);
    // The next step is due before the key runs, so it can answer a dialog
    // the key opens.
    Schedule(0);
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QCoreApplication::sendEvent(target, &press);
    if (guard) {
      QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
      QCoreApplication::sendEvent(guard, &release);
    }
  } else if (SameWord(op, "answer")) {
    if (!need(1, 2)) return;
    Poll([] { return DialogDriver::IsOpen(); }, TheClock().NowMs() + kDefaultWaitMs, [this, &step](bool open) {
      if (!open) return Fail(step, "answer: no dialog is open");
      AnsiString why;
      if (step.words.size() == 3 && !DialogDriver::Type(Utf8ToAnsi(step.words[2]), &why))
        return Fail(step, "answer: " + AnsiToUtf8(why));
      Schedule(0);
      if (!DialogDriver::Press(Utf8ToAnsi(step.words[1]), &why)) Fail(step, "answer: " + AnsiToUtf8(why));
    });
  } else if (SameWord(op, "screenshot")) {
    if (!need(1, 2)) return;
    QImage shot;
    if (argc == 2) {
      // A floating window by its title.
      TFloatingWindowForm* win = FindFloatingWindowByTitle(Utf8ToAnsi(w[2]));
      if (!win) return Fail(step, "screenshot: no window " + w[2]);
      shot = win->grab().toImage();
    } else {
      shot = form_.Screenshot();
    }
    if (!shot.save(QString::fromUtf8(w[1].c_str()), "PNG")) return Fail(step, "screenshot: cannot write " + w[1]);
    Schedule(0);
  } else if (SameWord(op, "closewindow")) {
    if (!need(1, 1)) return;
    TFloatingWindowForm* win = FindFloatingWindowByTitle(Utf8ToAnsi(w[1]));
    if (!win) return Fail(step, "closewindow: no window " + w[1]);
    // The next step is due before the window's close subroutine runs.
    Schedule(0);
    win->close();
  } else if (SameWord(op, "pick")) {
    if (!need(1, 1)) return;
    Poll([] { return OpenPopup() != nullptr && SameTextInvariant(OpenPopup()->Kind(), "menu"); },
         TheClock().NowMs() + kDefaultWaitMs, [this, &step](bool open) {
           if (!open) return Fail(step, "pick: no popup menu is open");
           AnsiString why;
           Schedule(0);
           if (!PickMenuItem(Utf8ToAnsi(step.words[1]), why)) Fail(step, "pick: " + AnsiToUtf8(why));
         });
  } else if (SameWord(op, "close")) {
    if (!need(0, 0)) return;
    Schedule(0);
    form_.RequestClose(ssCloseButton);
  } else if (SameWord(op, "run")) {
    if (step.rest.empty()) return Fail(step, "run: no action text");
    const AnsiString text = Utf8ToAnsi(step.rest);
    Schedule(0);
    if (!form_.ShuttingDown()) RunAction(text, 0, kEventPlugInRequest, kOriginPlugIn, "");
  } else if (SameWord(op, "menu")) {
    if (!need(1, 1)) return;
    const std::string name = w[1];
    Schedule(0);
    switch (TheMenus().ClickMenuItem(Utf8ToAnsi(name))) {
      case TMenuClick::Clicked: break;
      case TMenuClick::NotFound: Fail(step, "menu: no menu item " + name); break;
      case TMenuClick::Disabled: Fail(step, "menu: the menu item " + name + " is hidden or disabled"); break;
    }
  } else if (SameWord(op, "click") || SameWord(op, "dblclick") || SameWord(op, "rclick") || SameWord(op, "select") ||
             SameWord(op, "type") || SameWord(op, "drag")) {
    const bool withText = SameWord(op, "select") || SameWord(op, "type");
    const bool drag = SameWord(op, "drag");
    if (!need(withText ? 2 : drag ? 3 : 1, withText ? 2 : drag ? 3 : 1)) return;
    const AnsiString name = Utf8ToAnsi(w[1]);
    TFoundObject found = TheObjects().FindObject(name);
    if (!found) return Fail(step, op + ": no object " + w[1]);
    int64_t x = 0, y = 0;
    if (drag && (!ParseMs(w[2], x) || !ParseMs(w[3], y) || x > 100000 || y > 100000))
      return Fail(step, "drag: not a page point: " + w[2] + " " + w[3]);
    // The next step is due before the input runs, so it can answer a
    // dialog the object opens.
    Schedule(0);
    AnsiString why;
    bool ok = false;
    if (SameWord(op, "click")) ok = ClickObject(*found.object, Qt::LeftButton, false, why);
    else if (SameWord(op, "dblclick")) ok = ClickObject(*found.object, Qt::LeftButton, true, why);
    else if (SameWord(op, "rclick")) ok = ClickObject(*found.object, Qt::RightButton, false, why);
    else if (SameWord(op, "select")) ok = found.object->SelectText(Utf8ToAnsi(w[2]), why);
    else if (SameWord(op, "type")) ok = TypeIntoObject(*found.object, Utf8ToAnsi(w[2]), why);
    else ok = DragObjectTo(*found.object, QPoint(static_cast<int>(x), static_cast<int>(y)), why);
    if (!ok) Fail(step, op + ": " + AnsiToUtf8(why));
  } else {
    Fail(step, "unknown step " + op);
  }
}

}  // namespace vl
