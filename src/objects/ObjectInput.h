#pragma once
// Input that the headless script sends to page objects: real mouse and key
// events delivered where the window's own hit-testing finds them, so an
// object covered by another is not reached through it.
#include <QPoint>
#include <Qt>

#include "runtime/Ansi.h"

namespace vl {

class TVellionObj;

// Presses and releases `button` at the middle of the object's visible part
// (twice, with a double-click event between, for `doubleClick`).
bool ClickObject(TVellionObj& obj, Qt::MouseButton button, bool doubleClick, AnsiString& error);
// Focuses the object's typing target and types `text` key by key.
bool TypeIntoObject(TVellionObj& obj, const AnsiString& text, AnsiString& error);
// Presses the left button on the object, moves to `pagePoint` (in the
// page's coordinates) in steps and releases there.
bool DragObjectTo(TVellionObj& obj, QPoint pagePoint, AnsiString& error);

}  // namespace vl
