// Menu shortcuts: publications store a Windows virtual-key code with the
// modifier bits of the authoring tool's shortcut format.
#include <Qt>

#include "pages/MenuItems.h"

namespace vl {

namespace {

struct KeyPair {
  int vk;
  int key;
};

// Virtual keys that are not letters, digits, function or keypad keys.
constexpr KeyPair kNamedKeys[] = {
    {0x08, Qt::Key_Backspace}, {0x09, Qt::Key_Tab},      {0x0C, Qt::Key_Clear},
    {0x0D, Qt::Key_Return},    {0x13, Qt::Key_Pause},    {0x14, Qt::Key_CapsLock},
    {0x1B, Qt::Key_Escape},    {0x20, Qt::Key_Space},    {0x21, Qt::Key_PageUp},
    {0x22, Qt::Key_PageDown},  {0x23, Qt::Key_End},      {0x24, Qt::Key_Home},
    {0x25, Qt::Key_Left},      {0x26, Qt::Key_Up},       {0x27, Qt::Key_Right},
    {0x28, Qt::Key_Down},      {0x29, Qt::Key_Select},   {0x2A, Qt::Key_Print},
    {0x2B, Qt::Key_Execute},   {0x2C, Qt::Key_Print},    {0x2D, Qt::Key_Insert},
    {0x2E, Qt::Key_Delete},    {0x2F, Qt::Key_Help},     {0x5D, Qt::Key_Menu},
    {0x5F, Qt::Key_Sleep},     {0x90, Qt::Key_NumLock},  {0x91, Qt::Key_ScrollLock},
    {0xBA, Qt::Key_Semicolon}, {0xBB, Qt::Key_Equal},    {0xBC, Qt::Key_Comma},
    {0xBD, Qt::Key_Minus},     {0xBE, Qt::Key_Period},   {0xBF, Qt::Key_Slash},
    {0xC0, Qt::Key_QuoteLeft}, {0xDB, Qt::Key_BracketLeft}, {0xDC, Qt::Key_Backslash},
    {0xDD, Qt::Key_BracketRight}, {0xDE, Qt::Key_Apostrophe},
};

// The keypad's operator keys 0x6A..0x6F.
constexpr int kKeypadOps[] = {Qt::Key_Asterisk, Qt::Key_Plus, Qt::Key_Comma,
                              Qt::Key_Minus,    Qt::Key_Period, Qt::Key_Slash};

}  // namespace

int VirtualKeyToQtKey(int vk) {
  if (vk >= '0' && vk <= '9') return Qt::Key_0 + (vk - '0');
  if (vk >= 'A' && vk <= 'Z') return Qt::Key_A + (vk - 'A');
  if (vk >= 0x60 && vk <= 0x69) return (Qt::Key_0 + (vk - 0x60)) | Qt::KeypadModifier;
  if (vk >= 0x6A && vk <= 0x6F) return kKeypadOps[vk - 0x6A] | Qt::KeypadModifier;
  if (vk >= 0x70 && vk <= 0x87) return Qt::Key_F1 + (vk - 0x70);
  for (const KeyPair& k : kNamedKeys)
    if (k.vk == vk) return k.key;
  return 0;
}

int QtKeyToShortcut(int key, Qt::KeyboardModifiers mods) {
  int vk = 0;
  if (mods & Qt::KeypadModifier) {
    if (key >= Qt::Key_0 && key <= Qt::Key_9) vk = 0x60 + (key - Qt::Key_0);
    for (int i = 0; i < 6 && !vk; ++i)
      if (kKeypadOps[i] == key) vk = 0x6A + i;
  }
  if (!vk && key >= Qt::Key_0 && key <= Qt::Key_9) vk = '0' + (key - Qt::Key_0);
  if (!vk && key >= Qt::Key_A && key <= Qt::Key_Z) vk = 'A' + (key - Qt::Key_A);
  if (!vk && key >= Qt::Key_F1 && key <= Qt::Key_F24) vk = 0x70 + (key - Qt::Key_F1);
  if (!vk && key == Qt::Key_Enter) vk = 0x0D;
  for (const KeyPair& k : kNamedKeys)
    if (!vk && k.key == key) vk = k.vk;
  if (!vk) return 0;
  if (mods & Qt::ShiftModifier) vk |= kMenuKeyShift;
  if (mods & Qt::ControlModifier) vk |= kMenuKeyCtrl;
  if (mods & Qt::AltModifier) vk |= kMenuKeyAlt;
  return vk;
}

QKeySequence MenuKeyToSequence(int32_t menuKey) {
  // Bits beyond the key byte and the three modifiers mean nothing here.
  const int key = VirtualKeyToQtKey(menuKey & 0xFF);
  if (key == 0) return {};
  int mods = 0;
  if (menuKey & kMenuKeyShift) mods |= Qt::SHIFT;
  if (menuKey & kMenuKeyCtrl) mods |= Qt::CTRL;
  if (menuKey & kMenuKeyAlt) mods |= Qt::ALT;
  return QKeySequence(key | mods);
}

}  // namespace vl
