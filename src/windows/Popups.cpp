#include "windows/Popups.h"

#include <QApplication>
#include <QFont>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QScreen>
#include <algorithm>
#include <vector>

#include "actions/Interpreter.h"
#include "runtime/Lifecycle.h"
#include "runtime/Trace.h"

namespace vl {
namespace {

std::vector<QPointer<TPopUpPalette>>& Waiting() {
  static std::vector<QPointer<TPopUpPalette>> list;
  return list;
}

}  // namespace

TPopUpPalette::TPopUpPalette(const char* kind, AnsiString title)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                           Qt::WindowDoesNotAcceptFocus | Qt::NoDropShadowWindowHint),
      kind_(kind),
      title_(std::move(title)) {
  setAttribute(Qt::WA_ShowWithoutActivating);
  setFocusPolicy(Qt::NoFocus);
  setMinimumSize(25, 25);
  QFont font(QStringLiteral("Arial"));
  font.setPixelSize(12);
  setFont(font);
}

TPopUpPalette::~TPopUpPalette() {
  if (timer_) TheClock().CancelTimer(timer_);
  if (waiting_) qApp->removeEventFilter(this);
}

void TPopUpPalette::SetResult(int r) {
  if (result_ == NoResult) result_ = r;
}

int TPopUpPalette::ShowPopup(int x, int y) {
  if (isVisible()) {
    SetResult(Dismissed);
    return Dismissed;
  }
  result_ = NoResult;
  QScreen* screen = QGuiApplication::screenAt(QPoint(x, y));
  if (!screen) screen = QGuiApplication::primaryScreen();
  if (screen) {
    const QRect wa = screen->availableGeometry();
    x = std::max(x, wa.left());
    y = std::max(y, wa.top());
    if (x + width() > wa.right() + 1) x = std::max(wa.left(), wa.right() + 1 - width());
    if (y + height() > wa.bottom() + 1) y = std::max(wa.top(), wa.bottom() + 1 - height());
  }
  move(x, y);
  trace::Record({"window", "open", kind_, title_});
  show();
  if (timeout == -1) {
    // Shown, drawn once, and left to whatever repaints the screen next.
    QCoreApplication::processEvents();
    hide();
    trace::Record({"window", "close", title_});
    return Chosen;
  }
  QPointer<TPopUpPalette> self(this);
  waiting_ = true;
  Waiting().push_back(self);
  qApp->installEventFilter(this);
  if (timeout > 0) timer_ = TheClock().StartTimer(timeout, [self] {
      if (self) {
        self->timer_ = 0;
        self->SetResult(Dismissed);
      }
    });
  TheClock().RunUntil([&] { return !self || self->result_ != NoResult || !self->isVisible() || Terminating(); }, -1);
  auto& w = Waiting();
  w.erase(std::remove_if(w.begin(), w.end(), [&](const QPointer<TPopUpPalette>& p) { return !p || p == self; }),
          w.end());
  if (!self) return Dismissed;
  qApp->removeEventFilter(this);
  waiting_ = false;
  if (timer_) TheClock().CancelTimer(timer_);
  timer_ = 0;
  if (result_ == NoResult) result_ = Dismissed;
  hide();
  trace::Record({"window", "close", title_});
  return result_;
}

void TPopUpPalette::PopupKey(QKeyEvent*) {}

bool TPopUpPalette::eventFilter(QObject* watched, QEvent* e) {
  auto* w = qobject_cast<QWidget*>(watched);
  // Events of windows reach their widgets next: those are judged there.
  if (!w) return false;
  const bool inside = w == this || isAncestorOf(w);
  switch (e->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
      if (inside) return false;
      SetResult(Dismissed);
      return true;
    case QEvent::MouseMove:
    case QEvent::MouseButtonRelease:
    case QEvent::Wheel:
    case QEvent::ShortcutOverride:
    case QEvent::KeyRelease:
      return !inside;
    case QEvent::KeyPress: {
      auto* k = static_cast<QKeyEvent*>(e);
      if (k->key() == Qt::Key_Escape) {
        SetResult(Dismissed);
      } else if ((k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter) && !TakesEnter()) {
        SetResult(Chosen);
      } else if (inside) {
        return false;
      } else {
        PopupKey(k);
      }
      return true;
    }
    default: return false;
  }
}

TPopUpPalette* OpenPopup() {
  auto& w = Waiting();
  for (auto it = w.rbegin(); it != w.rend(); ++it)
    if (*it && (*it)->ResultCode() == TPopUpPalette::NoResult) return *it;
  return nullptr;
}

void DismissAllPopups() {
  for (auto& p : Waiting())
    if (p) p->SetResult(TPopUpPalette::Dismissed);
}

namespace {

// A popup waiting when the player closes is dismissed, so its command
// returns into an action that is stopping.
const LifecycleRegistrar kPopups("popups", kLifeFloating + 2, [](LifecycleParticipant& p) {
  p.shutdown = [](LifecycleContext&) { DismissAllPopups(); };
  p.close = [](LifecycleContext&) { DismissAllPopups(); };
});

}  // namespace
}  // namespace vl
