#pragma once
// What the object commands share: finding the object an action names, the
// move-and-redraw of MoveObject, SizeObject and the path movements, and the
// redraw after a command changed how an object looks.
#include <QPoint>
#include <string_view>

#include "objects/PageObjects.h"
#include "runtime/Ansi.h"

namespace vl {

class CommandContext;

// The object named by argument 1 of the running command; reports it
// (message 251 in [LastError]) and gives null when there is none.
TFoundObject CommandObject(CommandContext& c);

// Whether the object shows now: on the current page, or on the master page
// the current page shows.
bool ObjectOnScreen(const TFoundObject& f);

// The surface that shows the object (the page view, or the page layer when
// it has no parent): where "AbsLeft" and "AbsTop" are counted from.
QWidget* ObjectSurface(const TVellionObj* obj);

enum class TMoveMode { Move, Size };

// Moves (the left and top) or sizes (the width and height) an object; the
// other pair is taken as it stands. A timer is never moved or sized; a
// line keeps its direction inside the new box of its two ends. The object
// hears OnRelayout afterwards.
void MoveAndRedraw(TVellionObj* obj, TMoveMode mode, int x, int y, int width, int height);

// The box of an object as GetObjectInfo and MoveObject see it, in its
// parent's coordinates: a line's is the box of its two end points.
QRect ObjectBox(const TVellionObj* obj);

// Redraws an object after a command changed its look, with what lies
// behind it when it lets that show through.
void RedrawObject(TVellionObj* obj);

// A whole number of a command argument (StrToIntStrict); `otherwise` when
// the text is not one.
int WholeNumberOr(std::string_view text, int otherwise);

}  // namespace vl
