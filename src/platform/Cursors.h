#pragma once
// The application's cursor table, filled at start-up from the publication's
// cursor files: slot 1 the hot-spot cursor (HOTSPOTCURSOR=, else a pointing
// hand), slot 2 the application pointer (APPCURSOR=, else the arrow), slot 3
// the drag cursor (DRAGCURSOR=, else a grabbing hand), slot 4 the busy cursor
// (BUSYCURSOR=, else the system's). Objects pick their cursor by slot.
#include <QCursor>
#include <string_view>

#include "runtime/Ansi.h"

namespace vl {

constexpr int kCursorHotSpot = 1;
constexpr int kCursorApplication = 2;
constexpr int kCursorDrag = 3;
constexpr int kCursorBusy = 4;

// The cursor in `slot`; the arrow for an unknown slot.
QCursor CursorForSlot(int slot);
void SetCursorSlot(int slot, const QCursor& cursor);
// Every slot back to its built-in cursor.
void ResetCursorSlots();

// Shows the busy cursor (slot 4) over the whole application while work
// runs; taken and released in pairs, nested.
void BusyCursor(bool on);

// A cursor from a cursor file's bytes: ".cur" (with its hot spot), ".ico",
// or the first frame of an animated ".ani". False for anything else or a
// damaged file.
bool CursorFromData(std::string_view data, QCursor& cursor);
// The same from a file on disk (files above 1 MiB are refused).
bool CursorFromFile(const AnsiString& path, QCursor& cursor);

}  // namespace vl
