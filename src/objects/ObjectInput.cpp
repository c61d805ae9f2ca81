#include "objects/ObjectInput.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointer>

#include "objects/VellionObj.h"

namespace vl {

namespace {

// The widget the window finds at `windowPos`, or null outside every child.
QWidget* HitTest(QWidget* window, QPoint windowPos) {
  QWidget* w = window->childAt(windowPos);
  return w ? w : window;
}

void SendMouse(QWidget* window, QEvent::Type type, QPoint windowPos, Qt::MouseButton button,
               Qt::MouseButtons buttons, QWidget* target = nullptr) {
  QWidget* w = target ? target : HitTest(window, windowPos);
  const QPoint local = w->mapFrom(window, windowPos);
  const QPoint global = window->mapToGlobal(windowPos);
  QMouseEvent ev(type, QPointF(local), QPointF(windowPos), QPointF(global), button, buttons, Qt::NoModifier);
  QApplication::sendEvent(w, &ev);
}

// The middle of the part of `obj` that the window shows, in the window's
// coordinates; false when none of it shows.
bool VisibleMiddle(TVellionObj& obj, QPoint& windowPos, AnsiString& error) {
  if (!obj.isVisible()) {
    error = "object \"" + obj.Name() + "\" is not visible";
    return false;
  }
  QWidget* window = obj.window();
  QRect r = obj.visibleRegion().boundingRect();
  if (r.isEmpty()) {
    error = "object \"" + obj.Name() + "\" is outside the window";
    return false;
  }
  windowPos = obj.mapTo(window, r.center());
  QWidget* hit = HitTest(window, windowPos);
  if (hit != &obj && !obj.isAncestorOf(hit)) {
    // The middle may be covered while another part shows: try a few points.
    const QPoint probes[] = {r.topLeft() + QPoint(1, 1), r.topRight() + QPoint(-1, 1), r.bottomLeft() + QPoint(1, -1),
                             r.bottomRight() + QPoint(-1, -1)};
    for (QPoint p : probes) {
      const QPoint wp = obj.mapTo(window, p);
      QWidget* h = HitTest(window, wp);
      if (h == &obj || obj.isAncestorOf(h)) {
        windowPos = wp;
        return true;
      }
    }
    error = "object \"" + obj.Name() + "\" is covered by " +
            (dynamic_cast<TVellionObj*>(hit) ? "object \"" + dynamic_cast<TVellionObj*>(hit)->Name() + "\""
                                              : AnsiString("another window part"));
    return false;
  }
  return true;
}

}  // namespace

bool ClickObject(TVellionObj& obj, Qt::MouseButton button, bool doubleClick, AnsiString& error) {
  QPoint wp;
  if (!VisibleMiddle(obj, wp, error)) return false;
  if (!obj.isEnabled()) {
    error = "object \"" + obj.Name() + "\" is disabled";
    return false;
  }
  QPointer<QWidget> window = obj.window();
  QPointer<QWidget> target = HitTest(window, wp);
  auto pressRelease = [&] {
    if (!window || !target) return;
    SendMouse(window, QEvent::MouseButtonPress, wp, button, button, target);
    if (window && target) SendMouse(window, QEvent::MouseButtonRelease, wp, button, Qt::NoButton, target);
  };
  pressRelease();
  if (doubleClick && window && target) {
    SendMouse(window, QEvent::MouseButtonDblClick, wp, button, button, target);
    if (window && target) SendMouse(window, QEvent::MouseButtonRelease, wp, button, Qt::NoButton, target);
  }
  return true;
}

bool TypeIntoObject(TVellionObj& obj, const AnsiString& text, AnsiString& error) {
  QWidget* target = obj.TypingTarget();
  if (!target) {
    error = "object \"" + obj.Name() + "\" does not take typing";
    return false;
  }
  if (!target->isVisible() || !target->isEnabled()) {
    error = "object \"" + obj.Name() + "\" is hidden or disabled";
    return false;
  }
  target->setFocus(Qt::OtherFocusReason);
  QPointer<QWidget> guard(target);
  const QString chars = AnsiToQString(text);
  for (QChar c : chars) {
    if (!guard) break;
    const QString t(c);
    int key = c.toUpper().unicode();
    if (c == '\r' || c == '\n') key = Qt::Key_Return;
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, t);
    QApplication::sendEvent(guard, &press);
    if (!guard) break;
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, t);
    QApplication::sendEvent(guard, &release);
  }
  return true;
}

bool DragObjectTo(TVellionObj& obj, QPoint pagePoint, AnsiString& error) {
  QPoint start;
  if (!VisibleMiddle(obj, start, error)) return false;
  QPointer<QWidget> window = obj.window();
  QWidget* page = obj.parentWidget();
  while (page && dynamic_cast<TVellionObj*>(page)) page = page->parentWidget();
  if (!page) {
    error = "object \"" + obj.Name() + "\" is not on a page";
    return false;
  }
  const QPoint end = page->mapTo(window, pagePoint);
  QPointer<QWidget> target = HitTest(window, start);
  SendMouse(window, QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::LeftButton, target);
  // The moves go to the pressed widget, as the mouse grab does.
  constexpr int kSteps = 8;
  for (int i = 1; i <= kSteps && window && target; ++i) {
    const QPoint p = start + (end - start) * i / kSteps;
    SendMouse(window, QEvent::MouseMove, p, Qt::NoButton, Qt::LeftButton, target);
  }
  if (window && target) SendMouse(window, QEvent::MouseButtonRelease, end, Qt::LeftButton, Qt::NoButton, target);
  return true;
}

}  // namespace vl
