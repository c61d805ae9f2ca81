#pragma once
// Bringing the player's windows to the user's attention. A Linux desktop
// decides itself whether a program may take the focus from another one
// (focus-stealing prevention); we ask as firmly as the window system allows
// and accept its answer.
class QWidget;

namespace vl {

// Nothing when the window is already the active one; otherwise restores it
// when minimised, raises it and asks for the input focus.
void ForceForeground(QWidget* window);

// Brings the window to the top of the stacking order.
void RaiseWindow(QWidget* window);

// Restores every minimised top-level window of the player (a dialog of a
// minimised program would otherwise open out of sight).
void RestoreMinimisedApplication();

// Keeps the mouse pointer visible while it exists, also when the publication
// has hidden it.
class PointerVisibleGuard {
 public:
  PointerVisibleGuard();
  ~PointerVisibleGuard();
  PointerVisibleGuard(const PointerVisibleGuard&) = delete;
  PointerVisibleGuard& operator=(const PointerVisibleGuard&) = delete;

 private:
  bool pushed_ = false;
};

}  // namespace vl
