#pragma once
// Showing and hiding objects, with or without a transition effect: the
// ShowObject and HideObject commands, and the redraw of an object in place
// that other object commands ask for (shown again without an effect).
#include <QWidget>
#include <string_view>

#include "objects/PageObjects.h"

namespace vl {

// Whether the object shows now: it lies on the current page, or on the
// master page while the current page shows the master page.
bool ObjectOnScreen(const TFoundObject& found);
// The widget an object's page (or window) is drawn in: the page view for
// page objects. Transitions and redraws are composed in its coordinates.
QWidget* ObjectSurface(const QWidget* object);

// Sets the object's visible state. On screen with an effect (a non-empty
// name other than "0") the change is drawn through that effect at `speed`
// (an effect speed text); an unknown effect shows the change at once.
// Timer objects are never shown or hidden.
void ShowHideObject(const TFoundObject& found, bool show, std::string_view effect, std::string_view speed);

}  // namespace vl
