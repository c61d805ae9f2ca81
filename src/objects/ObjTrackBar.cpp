// The track bar: geometry, drawing, the mouse, and the variable that follows
// its value.
#include "objects/ObjTrackBar.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "actions/Interpreter.h"
#include "actions/Vars.h"
#include "images/PictureCache.h"
#include "objects/PageObjects.h"

namespace vl {

namespace {
// Limits beyond this could overflow the reader's fix-ups (a bound plus one).
constexpr int kLimit = 1000000000;
}  // namespace

TVellionTrackBar::TVellionTrackBar(QWidget* owner, int objType) : TVellionObj(owner, objType) {
  // Always painted whole: it draws its own background.
  SetFixedTransparency(false);
  runClickOnRelease_ = false;
}

bool TVellionTrackBar::ApplyKey(const TObjectKey& key, const TObjectReadContext& ctx) {
  switch (key.id) {
    case TPubKey::Min:
      SetMinimum(Clamp(key.number, -kLimit, kLimit));
      if (max_ < min_) SetMaximum(min_ + 1);
      return true;
    case TPubKey::Max:
      SetMaximum(Clamp(key.number, -kLimit, kLimit));
      if (max_ < min_) SetMinimum(max_ - 1);
      return true;
    case TPubKey::Align:
      if (key.number == 0 || key.number == 1) Orientation = static_cast<TTrackBarOrientation>(key.number);
      return true;
    case TPubKey::ThumbSize: SetThumbHeight(Clamp(key.number, 0, kMaxObjectExtent)); return true;
    case TPubKey::TrackSize: SetTrackWidth(Clamp(key.number, 0, kMaxObjectExtent)); return true;
    case TPubKey::ThumbImage: ThumbImageFile = AnsiString(key.raw); return true;
    case TPubKey::TrackImage: TrackImageFile = AnsiString(key.raw); return true;
    case TPubKey::ThumbTransColor: ThumbTransColor = static_cast<TColor>(key.number); return true;
    case TPubKey::TrackTransColor: TrackTransColor = static_cast<TColor>(key.number); return true;
    case TPubKey::InitState: InitialValue = key.number; return true;
    case TPubKey::VarName: VarName = TrimView(key.raw).empty() ? AnsiString() : NormalizeVarName(key.raw); return true;
    case TPubKey::ObjAction: ChangeAction = key.Action(); return true;
    // Declared as a number, but the text is the action.
    case TPubKey::ChangingAction: ChangingAction = TextValue(key); return true;
    default: return TVellionObj::ApplyKey(key, ctx);
  }
}

bool TVellionTrackBar::PictureSize(const AnsiString& file, QSize& size) const {
  if (TrimView(file).empty()) return false;
  TPictureInfo info;
  if (!ThePictureCache().GetPictureInfo(ResolveObjectFileName(file), info) || info.width <= 0 || info.height <= 0)
    return false;
  size = QSize(info.width, info.height);
  return true;
}

void TVellionTrackBar::Loaded() {
  if (!VarName.empty()) WatchVariable(VarName);
  QSize s;
  if (PictureSize(ThumbImageFile, s)) {
    ThumbWidth = s.width();
    ThumbHeight = s.height();
  }
  if (PictureSize(TrackImageFile, s)) {
    TrackWidth = s.width();
    TrackHeight = s.height();
  }
}

void TVellionTrackBar::SetMinimum(int v) {
  min_ = v;
  SetValue(value_, Reading());
  update();
}

void TVellionTrackBar::SetMaximum(int v) {
  max_ = v;
  SetValue(value_, Reading());
  update();
}

void TVellionTrackBar::SetValue(int v, bool silent) {
  // Minimum wins over a maximum below it, as the limits are read.
  v = std::max(std::min(v, max_), min_);
  if (v == value_) return;
  value_ = v;
  if (silent || dragging_) return;
  update();
  Changed();
}

void TVellionTrackBar::Changing() {
  if (!VarName.empty()) SetVariable(VarName, std::to_string(value_));
  if (busy_ || ObjectEventsSuppressed()) return;
  busy_ = true;
  RunObjectAction(ChangingAction, evTrackChanging, kFlagSuspended | 1);
  busy_ = false;
}

void TVellionTrackBar::Changed() {
  if (OnChange) {
    OnChange();
    return;
  }
  if (!VarName.empty()) SetVariable(VarName, std::to_string(value_));
  RunObjectAction(ChangeAction, evTrackChanged, 0);
}

void TVellionTrackBar::OnStart(const TObjectStart&) {
  SetValue(InitialValue, true);
  update();
  if (!VarName.empty()) SetVariable(VarName, std::to_string(value_));
}

void TVellionTrackBar::OnVarChanged(const AnsiString& bracketName, const AnsiString& value) {
  if (dragging_ || VarName.empty() || !SameTextAnsi(VarName, bracketName)) return;
  int32_t v = 0;
  if (!StrToIntStrict(TrimView(value), v)) return;
  const int before = value_;
  SetValue(v, true);
  if (value_ != before) update();
}

bool TVellionTrackBar::SelectText(const AnsiString& text, AnsiString& error) {
  int32_t v = 0;
  if (!StrToIntStrict(TrimView(text), v)) {
    error = "object \"" + name_ + "\" takes a number, not \"" + text + "\"";
    return false;
  }
  if (!isVisible() || !EnabledState) {
    error = "object \"" + name_ + "\" is hidden or disabled";
    return false;
  }
  SetValue(v);
  return true;
}

// ---------------------------------------------------------------------------
// Geometry and drawing

namespace {
double Span(int lo, int hi) { return hi == lo ? 1.0 : static_cast<double>(hi) - lo; }
}  // namespace

QRect TVellionTrackBar::TrackRect() const {
  if (Orientation == slHoriz) return QRect(0, (height() - TrackHeight) / 2, width(), TrackHeight);
  return QRect((width() - TrackWidth) / 2, 0, TrackWidth, height());
}

QRect TVellionTrackBar::ThumbRect() const {
  const double frac = (static_cast<double>(value_) - min_) / Span(min_, max_);
  if (Orientation == slHoriz) {
    const int left = static_cast<int>(std::lround(frac * (width() - ThumbWidth)));
    return QRect(left, 0, ThumbWidth, height());
  }
  const int bottom = height() - static_cast<int>(std::lround(frac * (height() - ThumbHeight)));
  return QRect(0, bottom - ThumbHeight, width(), ThumbHeight);
}

void TVellionTrackBar::DrawPicture(QPainter& p, const AnsiString& file, const QRect& r) const {
  TCachedPicture pic = ThePictureCache().GetPicture(ResolveObjectFileName(file), true);
  if (!pic) return;
  try {
    pic.picture->StretchDraw(p, false, 255, r);
  } catch (...) {
    ThePictureCache().Unpin(pic.picture);
    throw;
  }
  ThePictureCache().Unpin(pic.picture);
}

void TVellionTrackBar::DrawShape(QPainter& p) {
  p.fillRect(rect(), DisplayColor(FillColor));
  const QRect track = TrackRect();
  const QRect thumb = ThumbRect();
  const QColor face = DisplayColor(kButtonFaceColor);
  const QColor light = DisplayColor(0xFF000014);   // 3D highlight
  const QColor shadow = DisplayColor(0xFF000010);  // button shadow
  const QColor dark = DisplayColor(0xFF000015);    // 3D dark shadow
  QSize dummy;
  if (PictureSize(TrackImageFile, dummy)) {
    DrawPicture(p, TrackImageFile, track);
  } else if (track.width() > 0 && track.height() > 0) {
    // A sunken groove.
    p.fillRect(track, face);
    p.setPen(shadow);
    p.drawLine(track.topLeft(), track.topRight());
    p.drawLine(track.topLeft(), track.bottomLeft());
    p.setPen(light);
    p.drawLine(track.bottomLeft(), track.bottomRight());
    p.drawLine(track.topRight(), track.bottomRight());
  }
  if (PictureSize(ThumbImageFile, dummy)) {
    DrawPicture(p, ThumbImageFile, thumb);
  } else if (thumb.width() > 0 && thumb.height() > 0) {
    // A raised thumb.
    p.fillRect(thumb, face);
    p.setPen(light);
    p.drawLine(thumb.topLeft(), thumb.topRight());
    p.drawLine(thumb.topLeft(), thumb.bottomLeft());
    p.setPen(dark);
    p.drawLine(thumb.bottomLeft(), thumb.bottomRight());
    p.drawLine(thumb.topRight(), thumb.bottomRight());
    p.setPen(shadow);
    p.drawLine(thumb.bottomLeft() + QPoint(1, -1), thumb.bottomRight() + QPoint(-1, -1));
    p.drawLine(thumb.topRight() + QPoint(-1, 1), thumb.bottomRight() + QPoint(-1, -1));
  }
  if (!EnabledState) {
    // The disabled veil: the bar shows through a wash of its fill.
    QColor veil = DisplayColor(FillColor);
    veil.setAlpha(128);
    p.fillRect(rect(), veil);
  }
}

// ---------------------------------------------------------------------------
// The mouse

void TVellionTrackBar::mousePressEvent(QMouseEvent* e) {
  TVellionObj::mousePressEvent(e);
  if (e->button() != Qt::LeftButton || !EnabledState) return;
  const QPoint pos = e->position().toPoint();
  const QRect thumb = ThumbRect();
  if (thumb.contains(pos)) {
    dragging_ = true;
    pressValue_ = value_;
    grabOffset_ = Orientation == slHoriz ? pos.x() - thumb.left() : pos.y() - thumb.top();
    return;
  }
  if (Orientation == slHoriz)
    SetValue(pos.x() < thumb.left() ? value_ - 1 : value_ + 1);
  else
    SetValue(pos.y() > thumb.bottom() ? value_ - 1 : value_ + 1);
}

void TVellionTrackBar::mouseMoveEvent(QMouseEvent* e) {
  TVellionObj::mouseMoveEvent(e);
  if (!dragging_) return;
  const QPoint pos = e->position().toPoint();
  const double range = Span(min_, max_);
  long v = 0;
  if (Orientation == slHoriz)
    v = std::lround((pos.x() - grabOffset_) / static_cast<double>(std::max(1, width() - ThumbWidth)) * range) + min_;
  else
    v = max_ - std::lround((pos.y() - grabOffset_) / static_cast<double>(std::max(1, height() - ThumbHeight)) * range);
  const int clamped = static_cast<int>(std::max<long>(std::min<long>(v, max_), min_));
  if (clamped == value_) return;
  value_ = clamped;
  update();
  Changing();
}

void TVellionTrackBar::mouseReleaseEvent(QMouseEvent* e) {
  TVellionObj::mouseReleaseEvent(e);
  if (e->button() != Qt::LeftButton || !dragging_) return;
  dragging_ = false;
  if (value_ != pressValue_) Changed();
}

VL_REGISTER_OBJECT(16, TVellionTrackBar);

}  // namespace vl
