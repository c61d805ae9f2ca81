#include "platform/Foreground.h"

#include <gtest/gtest.h>

#include <QCursor>
#include <QGuiApplication>

using namespace vl;

TEST(Foreground, PointerComesBackWhileADialogIsOpen) {
  QGuiApplication::setOverrideCursor(QCursor(Qt::BlankCursor));
  {
    PointerVisibleGuard guard;
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::ArrowCursor);
  }
  EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::BlankCursor);
  QGuiApplication::restoreOverrideCursor();
  {
    PointerVisibleGuard guard;  // a visible pointer is left alone
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
  }
}
