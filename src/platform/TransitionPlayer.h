#pragma once
// Playing a transition effect on the screen: the steps of an effect
// (images/Transitions.h) shown one after another in a cover laid over the
// rectangle of a surface (the page view, a group), each step painted and
// flushed at once, the pauses waited on the one clock. The interface thread
// keeps serving its queue and timers meanwhile; in headless runs the pauses
// cost no real time.
//
// Pages use it when they change (pages/PageTransition.cpp), objects when
// they are shown or hidden with an effect (objects/cmd_showhide.cpp).
#include <QImage>
#include <QRect>
#include <QRegion>
#include <string_view>

class QWidget;

namespace vl {

struct TransitionRequest {
  QWidget* surface = nullptr;  // the widget whose rectangle changes
  QRect rect;                  // in the surface's coordinates
  QImage oldPic;               // null: what the surface shows there now
  QImage newPic;               // the rectangle's new look
  int direction = 0;           // new page index minus the old one; 0 for objects
  std::string_view effect;     // the effect's name
  std::string_view options;    // its speed text
  std::string_view target;     // for the trace: "page" or the object's name
  QRegion region;              // "Transparent": the parts to copy
};

// Runs the effect to its end. False, drawing nothing, when no effect was
// run: the name is neither one of the table nor a plug-in's, there is no
// new picture, or the rectangle is empty (the caller then simply repaints).
// An effect that has run writes the trace record
// "transition<TAB>NUMBER<TAB>TARGET" (a plug-in effect its own number).
bool PlayTransition(const TransitionRequest& rq);

// Ends every running transition at once (a new page, the window closing).
void FinishAllTransitions();
// Transitions running now (one inside another while an action waits).
int RunningTransitions();

}  // namespace vl
