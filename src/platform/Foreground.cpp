#include "platform/Foreground.h"

#include <QApplication>
#include <QCursor>
#include <QWidget>
#include <QWindow>

namespace vl {

void RaiseWindow(QWidget* window) {
  // The offscreen platform has no stacking order (and says so on every call).
  static const bool stacking = QGuiApplication::platformName() != QLatin1String("offscreen");
  if (window && stacking) window->raise();
}

void ForceForeground(QWidget* window) {
  if (!window) return;
  if (window->isMinimized()) window->showNormal();
  if (QApplication::activeWindow() == window) return;
  RaiseWindow(window);
  window->activateWindow();
  if (QWindow* h = window->windowHandle()) h->requestActivate();
}

void RestoreMinimisedApplication() {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->isVisible() && w->isMinimized()) w->showNormal();
}

PointerVisibleGuard::PointerVisibleGuard() {
  // The publication hides the pointer with a blank override cursor; a
  // dialog needs it back.
  const QCursor* c = QGuiApplication::overrideCursor();
  if (c && c->shape() == Qt::BlankCursor) {
    QGuiApplication::setOverrideCursor(QCursor(Qt::ArrowCursor));
    pushed_ = true;
  }
}

PointerVisibleGuard::~PointerVisibleGuard() {
  if (pushed_) QGuiApplication::restoreOverrideCursor();
}

}  // namespace vl
