#pragma once
// Showing and hiding objects, with or without a transition effect: the
// ShowObject and HideObject commands, and the redraw of an object in place
// that other object commands ask for (shown again without an effect).
#include <QWidget>
#include <string_view>

#include "objects/PageObjects.h"

namespace vl {

// Whether an object shows now (ObjectOnScreen) and the surface it is drawn
// on (ObjectSurface) are the object commands' own, in objects/ObjCommands.h;
// transitions are composed in the surface's coordinates.

// Sets the object's visible state. On screen with an effect (a non-empty
// name other than "0") the change is drawn through that effect at `speed`
// (an effect speed text); an unknown effect shows the change at once.
// Timer objects are never shown or hidden.
void ShowHideObject(const TFoundObject& found, bool show, std::string_view effect, std::string_view speed);

}  // namespace vl
