#include "windows/DialogDriver.h"


#include <QCoreApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <algorithm>
#include <deque>
#include <memory>
#include <optional>

#include "runtime/Lifecycle.h"
#include "platform/Foreground.h"
#include "runtime/Clock.h"
#include "runtime/Global.h"
#include "runtime/Trace.h"

namespace vl {
namespace {

struct Entry {
  uint64_t id;
  QPointer<QDialog> dialog;
  DialogInfo info;
  DialogHooks hooks;
};

struct Queued {
  enum Action { Press, Escape } action = Press;
  AnsiString caption;
  std::optional<AnsiString> typed;
};

struct State {
  std::vector<Entry> open;
  std::deque<Queued> queue;
  std::vector<AnsiString> failures;
  uint64_t nextId = 0;
};

State& S() {
  static State s;
  return s;
}

Entry* Top() {
  auto& open = S().open;
  return open.empty() ? nullptr : &open.back();
}

Entry* ById(uint64_t id) {
  for (auto& e : S().open)
    if (e.id == id) return &e;
  return nullptr;
}

void SendEscape(QDialog* d) {
  QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
  QCoreApplication::sendEvent(d, &press);
}

bool IsEntryDialog(const AnsiString& kind) {
  return kind == "input" || kind == "password";
}

bool GenericPress(Entry& e, std::string_view caption, AnsiString& why) {
  QPushButton* found = nullptr;
  for (QPushButton* b : e.dialog->findChildren<QPushButton*>()) {
    if (!b->isVisibleTo(e.dialog)) continue;
    if (DialogDriver::SameCaption(QStringToAnsi(b->text()), caption)) {
      found = b;
      break;
    }
  }
  if (!found && IsEntryDialog(e.info.kind)) {
    if (SameTextAnsi(caption, "Cancel")) {
      SendEscape(e.dialog);
      return true;
    }
    if (SameTextAnsi(caption, "OK"))
      for (QPushButton* b : e.dialog->findChildren<QPushButton*>())
        if (b->isDefault()) found = b;
  }
  if (!found) {
    why = "the dialog has no button \"" + AnsiString(caption) + "\"";
    return false;
  }
  if (!found->isEnabled()) {
    why = "the button \"" + AnsiString(caption) + "\" is disabled";
    return false;
  }
  found->click();
  return true;
}

bool GenericType(Entry& e, std::string_view text, AnsiString& why) {
  for (QLineEdit* edit : e.dialog->findChildren<QLineEdit*>()) {
    if (!edit->isVisibleTo(e.dialog) || !edit->isEnabled()) continue;
    edit->setFocus();
    edit->setText(AnsiToQString(text));
    return true;
  }
  why = "the dialog has no entry to type into";
  return false;
}

bool DoPress(Entry& e, std::string_view caption, AnsiString& why) {
  return e.hooks.press ? e.hooks.press(caption, why) : GenericPress(e, caption, why);
}

bool DoType(Entry& e, std::string_view text, AnsiString& why) {
  return e.hooks.type ? e.hooks.type(text, why) : GenericType(e, text, why);
}

void ApplyQueued(uint64_t id) {
  Entry* e = ById(id);
  if (!e || !e->dialog || S().queue.empty()) return;
  Queued q = std::move(S().queue.front());
  S().queue.pop_front();
  if (q.action == Queued::Escape) {
    SendEscape(e->dialog);
    return;
  }
  AnsiString why;
  bool ok = !q.typed || DoType(*e, *q.typed, why);
  // Typing may have run code that closed the dialog.
  e = ById(id);
  if (!e || !e->dialog) return;
  if (ok) ok = DoPress(*e, q.caption, why);
  if (!ok) {
    S().failures.push_back("answer \"" + q.caption + "\": " + why);
    if ((e = ById(id)) && e->dialog) SendEscape(e->dialog);
  }
}

}  // namespace

bool DialogDriver::IsOpen() { return Top() != nullptr; }
int DialogDriver::OpenCount() { return static_cast<int>(S().open.size()); }

DialogInfo DialogDriver::Current() {
  Entry* e = Top();
  return e ? e->info : DialogInfo{};
}

void DialogDriver::WhenDialogOpen(int64_t ms, std::function<void()> then, std::function<void()> timedOut) {
  const int64_t deadline = TheClock().NowMs() + std::max<int64_t>(0, ms);
  auto poll = std::make_shared<std::function<void()>>();
  *poll = [poll, deadline, then = std::move(then), timedOut = std::move(timedOut)] {
    // Once done the closure drops itself (ending the cycle through `poll`):
    // what it still needs is copied out first.
    if (IsOpen() || TheClock().NowMs() >= deadline) {
      auto fn = IsOpen() ? then : timedOut;
      auto keep = poll;
      *poll = nullptr;
      if (fn) fn();
      return;
    }
    TheClock().StartTimer(10, [poll] {
      if (*poll) (*poll)();
    });
  };
  (*poll)();
}

bool DialogDriver::Press(std::string_view caption, AnsiString* why) {
  AnsiString reason;
  Entry* e = Top();
  bool ok = false;
  if (!e || !e->dialog)
    reason = "no dialog is open";
  else
    ok = DoPress(*e, caption, reason);
  if (why) *why = reason;
  return ok;
}

bool DialogDriver::Type(std::string_view text, AnsiString* why) {
  AnsiString reason;
  Entry* e = Top();
  bool ok = false;
  if (!e || !e->dialog)
    reason = "no dialog is open";
  else
    ok = DoType(*e, text, reason);
  if (why) *why = reason;
  return ok;
}

bool DialogDriver::Escape() {
  Entry* e = Top();
  if (!e || !e->dialog) return false;
  SendEscape(e->dialog);
  return true;
}

bool DialogDriver::CloseBox() {
  Entry* e = Top();
  if (!e || !e->dialog) return false;
  e->dialog->close();
  return true;
}

void DialogDriver::QueueAnswer(std::string_view caption) { S().queue.push_back({Queued::Press, AnsiString(caption), {}}); }

void DialogDriver::QueueAnswer(std::string_view caption, std::string_view typed) {
  S().queue.push_back({Queued::Press, AnsiString(caption), AnsiString(typed)});
}

void DialogDriver::QueueEscape() { S().queue.push_back({Queued::Escape, {}, {}}); }
size_t DialogDriver::PendingAnswers() { return S().queue.size(); }
void DialogDriver::ClearPendingAnswers() { S().queue.clear(); }

std::vector<AnsiString> DialogDriver::TakeFailures() {
  std::vector<AnsiString> r;
  r.swap(S().failures);
  return r;
}

int DialogDriver::RunModal(QDialog& dialog, const DialogInfo& info, DialogHooks hooks) {
  const uint64_t id = ++S().nextId;
  S().open.push_back({id, &dialog, info, std::move(hooks)});
  bool done = false;
  auto conn = QObject::connect(&dialog, &QDialog::finished, [&done](int) { done = true; });
  QPointer<QDialog> guard(&dialog);
  dialog.setWindowModality(Qt::ApplicationModal);
  // Whatever keeps time for the publication (object timers, later media and
  // floating windows) pauses while a dialog blocks it.
  Lifecycle().ModalState(false);
  struct ModalEnd {
    ~ModalEnd() { Lifecycle().ModalState(true); }
  } modalEnd;
  dialog.show();
  ForceForeground(&dialog);
  if (!S().queue.empty()) TheClock().StartTimer(0, [id] { ApplyQueued(id); });
  TheClock().RunUntil([&] { return done || !guard || !guard->isVisible(); }, -1);
  auto& open = S().open;
  for (auto it = open.begin(); it != open.end(); ++it)
    if (it->id == id) {
      open.erase(it);
      break;
    }
  if (!guard) return QDialog::Rejected;
  QObject::disconnect(conn);
  if (dialog.isVisible()) dialog.hide();
  return dialog.result();
}

void DialogDriver::Record(const DialogInfo& info, std::string_view answer) {
  AnsiString buttons;
  for (size_t i = 0; i < info.buttons.size(); ++i) {
    if (i) buttons.push_back('|');
    buttons += info.buttons[i];
  }
  trace::Record({"dialog", info.kind, info.title, info.text, buttons, answer});
}

AnsiString DialogDriver::StripAccelerators(std::string_view caption) {
  AnsiString r;
  for (size_t i = 0; i < caption.size(); ++i) {
    if (caption[i] == '&') {
      if (i + 1 < caption.size() && caption[i + 1] == '&') {
        r.push_back('&');
        ++i;
      }
      continue;
    }
    r.push_back(caption[i]);
  }
  return r;
}

bool DialogDriver::SameCaption(std::string_view a, std::string_view b) {
  // Every "&" is left out on both sides, so "Fish & Chips" finds the button
  // written "Fish && Chips" as well as "&Fish".
  auto bare = [](std::string_view s) {
    AnsiString r;
    for (char c : s)
      if (c != '&') r.push_back(c);
    return r;
  };
  return SameTextAnsi(bare(a), bare(b));
}

}  // namespace vl
