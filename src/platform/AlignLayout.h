#pragma once
// Laying out the aligned objects of a page together with those of the master
// page behind it: top, bottom, left, right and client in this order, each
// taking its own height or width from what is left of the page.
#include <QRect>
#include <vector>

namespace vl {

enum TObjectAlign : int { alNone = 0, alTop = 1, alBottom = 2, alLeft = 3, alRight = 4, alClient = 5 };

struct TAlignItem {
  int align = alNone;  // ALIGN=; other values count as none
  QRect bounds;        // in the page's coordinates; updated by the layout
  bool visible = true;
  bool changed = false;  // set when the layout moved or sized it
};

// `items`: the master page's objects in creation order (only when the page
// shows the master page), then the page's own. `cause` is the object whose
// change asked for the layout (it goes first among its alignment), or null.
void AlignObjects(const QRect& client, const std::vector<TAlignItem*>& items, const TAlignItem* cause);

}  // namespace vl
