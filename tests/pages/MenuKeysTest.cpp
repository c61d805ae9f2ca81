// MENUKEY= values: Windows virtual keys with the Shift/Ctrl/Alt bits.
#include <gtest/gtest.h>

#include "pages/MenuItems.h"

using namespace vl;

namespace {

TEST(MenuKeys, VirtualKeysAndModifiersMapToQtKeys) {
  struct Case {
    int32_t menuKey;
    QKeySequence want;
  };
  const Case cases[] = {
      {0, QKeySequence()},
      {'A' | kMenuKeyCtrl, QKeySequence(Qt::CTRL | Qt::Key_A)},
      {'Z' | kMenuKeyShift | kMenuKeyCtrl, QKeySequence(Qt::SHIFT | Qt::CTRL | Qt::Key_Z)},
      {'7' | kMenuKeyAlt, QKeySequence(Qt::ALT | Qt::Key_7)},
      {0x70, QKeySequence(Qt::Key_F1)},
      {0x87, QKeySequence(Qt::Key_F24)},
      {0x2E | kMenuKeyShift | kMenuKeyAlt, QKeySequence(Qt::SHIFT | Qt::ALT | Qt::Key_Delete)},
      {0x0D, QKeySequence(Qt::Key_Return)},
      {0x1B, QKeySequence(Qt::Key_Escape)},
      {0x21, QKeySequence(Qt::Key_PageUp)},
      {0x28, QKeySequence(Qt::Key_Down)},
      {0x60, QKeySequence(QKeyCombination(Qt::KeypadModifier, Qt::Key_0))},
      {0x6B | kMenuKeyCtrl, QKeySequence(QKeyCombination(Qt::ControlModifier | Qt::KeypadModifier, Qt::Key_Plus))},
      {0xBA, QKeySequence(Qt::Key_Semicolon)},
      {0xDE, QKeySequence(Qt::Key_Apostrophe)},
      {0xC0, QKeySequence(Qt::Key_QuoteLeft)},
      // No Qt counterpart: no shortcut at all, modifiers or not.
      {0x07 | kMenuKeyCtrl, QKeySequence()},
      {0xFF, QKeySequence()},
      {kMenuKeyCtrl, QKeySequence()},
  };
  for (const Case& c : cases)
    EXPECT_EQ(MenuKeyToSequence(c.menuKey), c.want) << std::hex << c.menuKey;
}

}  // namespace
