// Dragging and dropping page objects: the press arms, a move of 3 pixels
// starts the drag, the release drops. The picture that follows the mouse is
// a widget of our own over the object's holder, not the desktop's drag and
// drop, so a drag never leaves the page and runs the same headless.
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cstdlib>
#include <string>

#include "actions/Interpreter.h"
#include "actions/Vars.h"
#include "objects/PageObjects.h"

namespace vl {

namespace {

TVellionDragObj* gDragged = nullptr;

// Drag pictures above this many pixels are not made: the drag would hold
// hundreds of megabytes for one object of a hostile publication.
constexpr int64_t kMaxDragImagePixels = int64_t(4096) * 4096;

// The picture of the object while it is dragged; white shows what lies
// below.
class TDragImage : public QWidget {
 public:
  TDragImage(QWidget* parent, QImage image) : QWidget(parent), image_(std::move(image)) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
    resize(image_.size());
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.drawImage(0, 0, image_);
  }

 private:
  QImage image_;
};

// The widget a page's objects live in: the first holder that is not an
// object (the page layer, or the page of a floating window).
QWidget* PageLayerOf(QWidget* w) {
  QWidget* p = w->parentWidget();
  while (p && dynamic_cast<TVellionObj*>(p)) p = p->parentWidget();
  return p;
}

// An object of the same page by name, holders before what they hold.
TVellionObj* FindOnPage(QWidget* layer, std::string_view name) {
  if (!layer || name.empty()) return nullptr;
  for (TVellionObj* o : layer->findChildren<TVellionObj*>())
    if (SameTextInvariant(o->Name(), name)) return o;
  return nullptr;
}

bool Hits(const QWidget* w, QPoint inParent) {
  if (w->isHidden() || !w->geometry().contains(inParent)) return false;
  const QRegion m = w->mask();
  return m.isEmpty() || m.contains(inParent - w->pos());
}

// The topmost direct child of `layer` at `p`, when it is an object other
// than `self` (the dragged object does not receive itself).
TVellionObj* TopObjectAt(QWidget* layer, QPoint p, const QWidget* self, const QWidget* image) {
  if (!layer) return nullptr;
  const QObjectList& kids = layer->children();
  for (auto it = kids.rbegin(); it != kids.rend(); ++it) {
    auto* w = qobject_cast<QWidget*>(*it);
    if (!w || w == self || w == image || !Hits(w, p)) continue;
    return dynamic_cast<TVellionObj*>(w);
  }
  return nullptr;
}

QRect RectIn(const QWidget* w, const QWidget* holder) {
  return QRect(holder->mapFromGlobal(w->mapToGlobal(QPoint(0, 0))), w->size());
}

int64_t Area(const QRect& r) { return r.isEmpty() ? 0 : int64_t(r.width()) * r.height(); }

}  // namespace

TVellionDragObj::~TVellionDragObj() { CancelDrag(); }

TVellionDragObj* TVellionDragObj::DraggedObject() { return gDragged; }

void TVellionDragObj::SetDragMode(int mode) {
  DragMode = mode & 0xFF;
  UpdateCursor();
}

void TVellionDragObj::OnPageLeave() {
  CancelDrag();
  TVellionObj::OnPageLeave();
}

void TVellionDragObj::EndDragImage() {
  if (gDragged == this) gDragged = nullptr;
  if (image_) {
    delete image_.data();
    QGuiApplication::restoreOverrideCursor();
  }
  image_ = nullptr;
}

void TVellionDragObj::CancelDrag() {
  armed_ = false;
  if (!Dragging()) return;
  EndDragImage();
  if (hiddenForDrag_) {
    hiddenForDrag_ = false;
    update();
  }
}

QPoint TVellionDragObj::ClampToBounds(QPoint p) const {
  return QPoint(std::clamp(p.x(), dragBounds_.left(), dragBounds_.right()),
                std::clamp(p.y(), dragBounds_.top(), dragBounds_.bottom()));
}

bool TVellionDragObj::BeginDrag(QPoint at) {
  QWidget* holder = parentWidget();
  if (!holder || width() <= 0 || height() <= 0 || int64_t(width()) * height() > kMaxDragImagePixels) return false;
  QImage image(size(), QImage::Format_ARGB32_Premultiplied);
  if (image.isNull()) return false;
  image.fill(Qt::white);
  {
    QPainter p(&image);
    PaintTo(p, 0, 0);
  }
  // White is the picture's transparent colour.
  for (int y = 0; y < image.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < image.width(); ++x)
      if ((line[x] & 0xFFFFFFu) == 0xFFFFFFu) line[x] = 0;
  }
  hotSpot_ = at;
  QGuiApplication::setOverrideCursor(ObjectCursor(3));
  if (DragMode & 0x8) {
    // Hidden in place: it still counts as visible and keeps the mouse.
    hiddenForDrag_ = true;
    VisibleState = true;
    update();
  }
  // The mouse may go where the object's top-left corner stays inside the
  // holder. An object larger than its holder can slide only while it still
  // covers the holder: the bounds are never inverted.
  const int x0 = downPos_.x(), y0 = downPos_.y();
  const int x1 = holder->width() - width() + x0, y1 = holder->height() - height() + y0;
  dragBounds_ = QRect(QPoint(std::min(x0, x1), std::min(y0, y1)), QPoint(std::max(x0, x1), std::max(y0, y1)));
  image_ = new TDragImage(holder, std::move(image));
  image_->move(ClampToBounds(mapToParent(at)) - hotSpot_);
  image_->raise();
  image_->show();
  gDragged = this;
  return true;
}

void TVellionDragObj::Drop(QPoint mouseInParent) {
  QPointer<TVellionDragObj> self(this);
  QWidget* holder = parentWidget();
  busy_ = true;
  const QPoint hot = hotSpot_;
  EndDragImage();
  QPoint pos = ClampToBounds(mouseInParent) - hot;
  const QRect candidate(pos, size());
  QWidget* layer = PageLayerOf(this);
  TVellionObj* target = nullptr;
  bool accepted = false;
  if ((DragMode & 0x2) && !DropTargets.empty()) {
    int64_t best = 0;
    std::string_view rest(DropTargets);
    while (!rest.empty()) {
      const size_t bar = rest.find('|');
      const std::string_view name = TrimView(rest.substr(0, bar));
      rest = bar == std::string_view::npos ? std::string_view() : rest.substr(bar + 1);
      TVellionObj* t = FindOnPage(layer, name);
      if (!t || t == this || !holder) continue;
      const QRect tr = RectIn(t, holder);
      const int64_t area = Area(candidate & tr);
      if (area <= best) continue;  // the first of equal overlaps wins
      best = area;
      target = t;
      // Pushed inside the target.
      QPoint p = candidate.topLeft();
      if (candidate.left() < tr.left())
        p.setX(tr.left());
      else if (candidate.right() > tr.right())
        p.setX(tr.right() - width() + 1);
      if (candidate.top() < tr.top())
        p.setY(tr.top());
      else if (candidate.bottom() > tr.bottom())
        p.setY(tr.bottom() - height() + 1);
      pos = p;
    }
    accepted = target != nullptr;
  } else {
    if (holder && layer) target = TopObjectAt(layer, layer->mapFromGlobal(holder->mapToGlobal(mouseInParent)), this, nullptr);
    accepted = true;
  }
  if (!DropAction.empty() && !ObjectEventsSuppressed()) {
    SetVariable("[DropAccept]", accepted ? "True" : "False");
    SetVariable("[DropX]", std::to_string(pos.x()));
    SetVariable("[DropY]", std::to_string(pos.y()));
    if (target) SetVariable("[DropTarget]", target->Name());
    RunObjectAction(DropAction, evDropped, kFlagSuspended | kFlagNoPageChange);
    accepted = SameTextInvariant(ExpandReference("[DropAccept]"), "TRUE");
    int32_t v = 0;
    if (StrToIntStrict(ExpandReference("[DropX]"), v))
      pos.setX(std::clamp<int32_t>(v, -kMaxObjectCoordinate, kMaxObjectCoordinate));
    if (StrToIntStrict(ExpandReference("[DropY]"), v))
      pos.setY(std::clamp<int32_t>(v, -kMaxObjectCoordinate, kMaxObjectCoordinate));
    // All four are empty again, whatever the action did with them.
    for (const char* name : {"[DropAccept]", "[DropX]", "[DropY]", "[DropTarget]"}) SetVariable(name, "");
    if (!self) return;
  }
  if (hiddenForDrag_) {
    hiddenForDrag_ = false;
    update();
  }
  if (accepted) {
    if (DragMode & 0x4) {
      raise();
      TheObjects().BringToFront(this);
    }
    move(pos);
    OnRelayout();
  } else {
    update();
  }
  busy_ = false;
}

void TVellionDragObj::paintEvent(QPaintEvent* e) {
  if (hiddenForDrag_) return;
  TVellionObj::paintEvent(e);
}

void TVellionDragObj::mousePressEvent(QMouseEvent* e) {
  if (e->button() == Qt::LeftButton && Draggable() && !busy_) {
    downPos_ = e->position().toPoint();
    armed_ = true;
    e->accept();
    return;
  }
  TVellionObj::mousePressEvent(e);
}

void TVellionDragObj::mouseMoveEvent(QMouseEvent* e) {
  if (!(e->buttons() & Qt::LeftButton) || !Draggable() || busy_) return TVellionObj::mouseMoveEvent(e);
  e->accept();
  const QPoint at = e->position().toPoint();
  if (Dragging()) {
    image_->move(ClampToBounds(mapToParent(at)) - hotSpot_);
    return;
  }
  if (armed_ && (std::abs(at.x() - downPos_.x()) >= 3 || std::abs(at.y() - downPos_.y()) >= 3)) {
    // A picture that cannot be made leaves the object undragged: the
    // release is then a click.
    if (!BeginDrag(at)) armed_ = false;
  }
}

void TVellionDragObj::mouseReleaseEvent(QMouseEvent* e) {
  if (busy_) return;
  const QPoint at = e->position().toPoint();
  if (Dragging()) {
    if (e->button() == Qt::LeftButton) {
      armed_ = false;
      Drop(mapToParent(at));
    }
    return;
  }
  if (e->button() == Qt::LeftButton) armed_ = false;
  // A shaped object is clicked only inside its outline.
  const QRegion m = mask();
  if (!m.isEmpty() && !m.contains(at)) return;
  TVellionObj::mouseReleaseEvent(e);
}

void TVellionDragObj::enterEvent(QEnterEvent* e) {
  if (Dragging() || busy_) return;
  TVellionObj::enterEvent(e);
}

void TVellionDragObj::leaveEvent(QEvent* e) {
  if (Dragging() || busy_) return;
  TVellionObj::leaveEvent(e);
}

}  // namespace vl
