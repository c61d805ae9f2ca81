#include "platform/AlignLayout.h"

namespace vl {
namespace {

// True when `a`, collected after `b`, goes before it.
bool GoesBefore(int align, const QRect& a, const QRect& b) {
  switch (align) {
    case alTop: return a.top() < b.top();
    case alBottom: return a.top() + a.height() >= b.top() + b.height();
    case alLeft: return a.left() < b.left();
    case alRight: return a.left() + a.width() >= b.left() + b.width();
    default: return false;
  }
}

}  // namespace

void AlignObjects(const QRect& client, const std::vector<TAlignItem*>& items, const TAlignItem* cause) {
  // The rest of the page, edges exclusive on the right and bottom.
  int left = client.left(), top = client.top();
  int right = client.left() + client.width(), bottom = client.top() + client.height();
  for (int align : {alTop, alBottom, alLeft, alRight, alClient}) {
    std::vector<TAlignItem*> list;
    for (TAlignItem* it : items) {
      if (!it || !it->visible || it->align != align || it == cause) continue;
      // Insertion by the alignment's edge.
      size_t at = list.size();
      for (size_t k = 0; k < list.size(); ++k)
        if (GoesBefore(align, it->bounds, list[k]->bounds)) {
          at = k;
          break;
        }
      list.insert(list.begin() + static_cast<std::ptrdiff_t>(at), it);
    }
    if (cause && cause->visible && cause->align == align) list.insert(list.begin(), const_cast<TAlignItem*>(cause));
    for (TAlignItem* it : list) {
      const int w = it->bounds.width(), h = it->bounds.height();
      QRect r;
      switch (align) {
        case alTop: r = QRect(left, top, right - left, h); top += h; break;
        case alBottom: r = QRect(left, bottom - h, right - left, h); bottom -= h; break;
        case alLeft: r = QRect(left, top, w, bottom - top); left += w; break;
        case alRight: r = QRect(right - w, top, w, bottom - top); right -= w; break;
        default: r = QRect(left, top, right - left, bottom - top); break;
      }
      if (r != it->bounds) {
        it->bounds = r;
        it->changed = true;
      }
    }
  }
}

}  // namespace vl
