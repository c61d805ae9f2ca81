#include "objects/ObjPolygon.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>

#include "images/PictureCache.h"
#include "objects/PageObjects.h"
#include "objects/ShapePaint.h"

namespace vl {

TVellionPolygon::TVellionPolygon(QWidget* owner, int objType) : TVellionDragObj(owner, objType) {
  SetFixedTransparency(true);
}

TVellionPolygon::~TVellionPolygon() { ReleasePicture(); }

std::vector<QPoint> TVellionPolygon::ParsePoints(std::string_view text) {
  std::vector<QPoint> out;
  std::string_view rest = text;
  bool more = true;
  auto next = [&]() -> int {
    if (!more) return 0;
    const size_t comma = rest.find(',');
    const std::string_view field = TrimView(rest.substr(0, comma));
    if (comma == std::string_view::npos) {
      more = false;
      rest = {};
    } else {
      rest = rest.substr(comma + 1);
    }
    int32_t v = 0;
    if (!StrToIntStrict(field, v)) return 0;
    return std::clamp<int32_t>(v, -kMaxObjectCoordinate, kMaxObjectCoordinate);
  };
  const int n = std::min(next(), kMaxPolygonPoints);
  if (n <= 0) return out;
  out.reserve(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) {
    const int x = next();
    const int y = next();
    out.emplace_back(x, y);
  }
  return out;
}

void TVellionPolygon::SetPoints(std::vector<QPoint> points) {
  points_ = std::move(points);
  if (!Reading()) RebuildShape();
}

void TVellionPolygon::SetImageFile(std::string_view name) {
  ImageFile = AnsiString(name);
  if (ImageFile.find('[') != AnsiString::npos) WatchVariablesIn(ImageFile);
  if (!Reading()) RebuildShape();
}

void TVellionPolygon::SetTransColor(TColor c) {
  TransColor = c;
  if (!Reading()) RebuildShape();
}

void TVellionPolygon::SetUseImageRgn(bool on) {
  UseImageRgn = on;
  if (!Reading()) RebuildShape();
}

void TVellionPolygon::SetOpacity(int opacity) {
  opacity_ = std::clamp(opacity, 1, 255);
  update();
}

bool TVellionPolygon::ApplyKey(const TObjectKey& key, const TObjectReadContext& ctx) {
  switch (key.id) {
    case TPubKey::Points: SetPoints(ParsePoints(key.raw)); return true;
    case TPubKey::FileName: SetImageFile(key.raw); return true;
    case TPubKey::PictStyle: SetUseImageRgn(key.number == 1); return true;
    case TPubKey::PictTransColor: SetTransColor(static_cast<TColor>(key.number)); return true;
    case TPubKey::OpacityEx: SetOpacity(key.number); return true;
    default: return TVellionDragObj::ApplyKey(key, ctx);
  }
}

void TVellionPolygon::Loaded() {
  // The size and outline are known from the start; the picture itself is
  // held only while the page shows.
  RebuildShape();
  if (!shown_) ReleasePicture();
}

void TVellionPolygon::OnPageEnter() {
  shown_ = true;
  RebuildShape();
  TVellionDragObj::OnPageEnter();
}

void TVellionPolygon::OnPageLeave() {
  shown_ = false;
  ReleasePicture();
  TVellionDragObj::OnPageLeave();
}

void TVellionPolygon::OnVarChanged(const AnsiString& bracketName, const AnsiString& value) {
  if (TextUsesVariable(ImageFile, bracketName)) {
    RebuildShape();
    if (!shown_) ReleasePicture();
  }
  TVellionDragObj::OnVarChanged(bracketName, value);
}

void TVellionPolygon::ReleasePicture() {
  if (picture_) ThePictureCache().Unpin(picture_);
  picture_ = nullptr;
}

void TVellionPolygon::RebuildShape() {
  ReleasePicture();
  imageRgnOK_ = false;
  fileExists_ = false;
  const AnsiString file = ImageFile.empty() ? AnsiString() : ResolveObjectFileName(ImageFile);
  if (!file.empty()) {
    TColor key = kNoColorKey;
    if (UseImageRgn) key = TransColor == kNoColorKey ? kOwnTransparentColor : TransColor;
    TCachedPicture pic = ThePictureCache().GetPicture(file, true, key);
    if (pic && pic.picture->BadImage()) {
      ThePictureCache().Unpin(pic.picture);
      pic = {};
    }
    if (pic) {
      picture_ = pic.picture;
      fileExists_ = true;
      if (UseImageRgn && pic.hasRegion) {
        outline_ = pic.region;
        polygon_.clear();
        points_.clear();
        imageRgnOK_ = true;
        resize(std::clamp(picture_->ImageWidth(), 0, kMaxObjectExtent),
               std::clamp(picture_->ImageHeight(), 0, kMaxObjectExtent));
      }
    }
  }
  if (!imageRgnOK_) {
    if (points_.empty()) {
      // Without points the client area is the outline; the object keeps its
      // size (growing it by the pixel the point outline adds would make it
      // grow on every page entry).
      const int w = width(), h = height();
      polygon_ = QPolygon({QPoint(0, 0), QPoint(w, 0), QPoint(w, h), QPoint(0, h)});
    } else {
      polygon_ = QPolygon(QList<QPoint>(points_.begin(), points_.end()));
      const QRect box = polygon_.boundingRect();
      // The plain outline includes its last column and row; the smooth one
      // ends on the path's bounds.
      const int extra = UseSmoothRenderer() ? 0 : 1;
      resize(std::clamp(box.right() + extra, 0, kMaxObjectExtent),
             std::clamp(box.bottom() + extra, 0, kMaxObjectExtent));
    }
    outline_ = QRegion(polygon_, Qt::OddEvenFill);
  }
  // Outside the outline the object lets the mouse through (an empty mask
  // would mean none at all, so a degenerate outline gets a pixel outside
  // the widget).
  setMask(outline_.isEmpty() ? QRegion(-1, -1, 1, 1) : outline_);
  update();
}

void TVellionPolygon::DrawShape(QPainter& p) {
  const QPen pen = OutlinePen(*this, UseSmoothRenderer());
  const QColor line = DisplayColor(LineColor);
  const int w = LineWidth();
  const bool outlined = w > 0 && LineStyle != vlpsClear;
  const QBrush brush = ObjectFillBrush(*this);
  if (imageRgnOK_) {
    p.save();
    p.setClipRegion(outline_, Qt::IntersectClip);
    if (!UseSmoothRenderer() && brush.style() != Qt::NoBrush) p.fillRect(rect(), brush);
    if (picture_) picture_->Draw(p, opacity_, 0, 0);
    p.restore();
    if (outlined)
      for (const QRect& r : FrameOfRegion(outline_, w)) p.fillRect(r, line);
    return;
  }
  if (UseSmoothRenderer()) {
    QPainterPath path;
    path.addPolygon(QPolygonF(polygon_));
    path.closeSubpath();
    path.setFillRule(Qt::OddEvenFill);
    p.setRenderHint(QPainter::Antialiasing, true);
    if (brush.style() != Qt::NoBrush) p.fillPath(path, brush);
    p.save();
    p.setClipPath(path, Qt::IntersectClip);
    if (picture_) picture_->Draw(p, opacity_, 0, 0);
    if (outlined) {
      // Twice as wide and clipped: the outline lies inside the path.
      QPen inside = pen;
      inside.setWidth(2 * w);
      p.strokePath(path, inside);
    }
    p.restore();
    return;
  }
  p.setRenderHint(QPainter::Antialiasing, false);
  p.save();
  p.setClipRegion(outline_, Qt::IntersectClip);
  if (brush.style() != Qt::NoBrush) p.fillRect(rect(), brush);
  if (picture_) picture_->Draw(p, opacity_, 0, 0);
  if (outlined) {
    // Still clipped to the outline: a wide pen, doubled, frames it inside
    // as the smooth outline does.
    QPen inside = pen;
    if (w > 1) inside.setWidth(2 * w);
    p.setPen(inside);
    p.setBrush(Qt::NoBrush);
    p.drawPolygon(polygon_, Qt::OddEvenFill);
  }
  p.restore();
}

VL_REGISTER_OBJECT(23, TVellionPolygon);

}  // namespace vl
