// What the object commands share.
#include "objects/ObjCommands.h"

#include <algorithm>

#include "actions/CommandApi.h"
#include "objects/ObjLine.h"
#include "objects/ObjTimer.h"
#include "runtime/Global.h"

namespace vl {

TFoundObject CommandObject(CommandContext& c) {
  TFoundObject f = TheObjects().FindObject(c.Arg(1));
  if (!f) ObjectNotFound(c.Arg(1));
  return f;
}

bool ObjectOnScreen(const TFoundObject& f) {
  if (!f) return false;
  const TPageObjects& objects = TheObjects();
  const int cur = objects.currentPage ? objects.currentPage() : -1;
  if (f.page == cur) return true;
  return f.page == 0 && cur > 0 && objects.showsMaster && objects.showsMaster(cur);
}

QWidget* ObjectSurface(const TVellionObj* obj) {
  QWidget* w = obj->parentWidget();
  while (w && dynamic_cast<TVellionObj*>(w)) w = w->parentWidget();
  if (w && w->parentWidget()) w = w->parentWidget();
  return w;
}

QRect ObjectBox(const TVellionObj* obj) {
  if (auto* line = dynamic_cast<const TVellionLine*>(obj)) {
    const QPoint a = line->StartPoint(), b = line->EndPoint();
    return QRect(QPoint(std::min(a.x(), b.x()), std::min(a.y(), b.y())),
                 QPoint(std::max(a.x(), b.x()) - 1, std::max(a.y(), b.y()) - 1));
  }
  return obj->geometry();
}

namespace {

int ClampCoordinate(int v) { return std::clamp(v, -kMaxObjectCoordinate, kMaxObjectCoordinate); }
int ClampExtent(int v) { return std::clamp(v, 0, kMaxObjectExtent); }

void MoveLine(TVellionLine* line, TMoveMode mode, int x, int y, int width, int height) {
  const QRect box = ObjectBox(line);
  QPoint a = line->StartPoint(), b = line->EndPoint();
  if (mode == TMoveMode::Move) {
    const QPoint by(ClampCoordinate(x) - box.left(), ClampCoordinate(y) - box.top());
    line->SetPoints(a + by, b + by);
    return;
  }
  // The end that was left (top) of the other stays left (top) of it.
  const int left = box.left(), top = box.top();
  const int right = left + ClampExtent(width), bottom = top + ClampExtent(height);
  const bool aLeft = a.x() <= b.x(), aTop = a.y() <= b.y();
  a = QPoint(aLeft ? left : right, aTop ? top : bottom);
  b = QPoint(aLeft ? right : left, aTop ? bottom : top);
  line->SetPoints(a, b);
}

}  // namespace

void MoveAndRedraw(TVellionObj* obj, TMoveMode mode, int x, int y, int width, int height) {
  if (!obj || dynamic_cast<TVellionTimer*>(obj)) return;
  if (auto* line = dynamic_cast<TVellionLine*>(obj)) {
    MoveLine(line, mode, x, y, width, height);
  } else if (mode == TMoveMode::Move) {
    obj->move(ClampCoordinate(x), ClampCoordinate(y));
  } else {
    obj->resize(ClampExtent(width), ClampExtent(height));
  }
  // What lay under the old place is painted by Qt's own composition of the
  // light object widgets: the holder repaints what the object uncovered.
  obj->OnRelayout();
}

void RedrawObject(TVellionObj* obj) {
  if (!obj) return;
  obj->update();
  // A transparent object shows its holder through itself: the holder paints
  // the place again (Qt composes the parent first).
  if (obj->GetIsTransparent() && obj->parentWidget()) obj->parentWidget()->update(obj->geometry());
}

int WholeNumberOr(std::string_view text, int otherwise) {
  int32_t v = 0;
  return StrToIntStrict(text, v) ? v : otherwise;
}

}  // namespace vl
