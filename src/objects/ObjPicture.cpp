// The picture object: layouts, zoom, transparency and opacity, the scroll
// box and panning.
#include "objects/ObjPicture.h"

#include <QEnterEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QScrollArea>
#include <QScrollBar>
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "images/Decoders.h"
#include "images/PictureCache.h"
#include "objects/PageObjects.h"
#include "objects/ShapePaint.h"

namespace vl {

namespace {

// Zoom factors above this (a thousand times) are taken as this: a picture
// that large is beyond any screen, and the sizes must stay within integers.
constexpr int kMaxZoomFactor = 100000;

int RoundSide(double v) {
  if (!(v > 0)) return 0;
  return static_cast<int>(std::min(std::lround(v), static_cast<long>(1) << 24));
}

bool VectorExtension(const AnsiString& name) {
  const size_t dot = name.rfind('.');
  if (dot == AnsiString::npos) return false;
  const AnsiString ext = AnsiUpper(std::string_view(name).substr(dot));
  return ext == ".WMF" || ext == ".EMF";
}

}  // namespace

// The scrolled canvas of a picture with scroll bars: as large as the zoomed
// picture, at least as large as the scroll box's client area. It reports
// the mouse for the picture.
class TVellionPictureBox : public QWidget {
 public:
  explicit TVellionPictureBox(TVellionPicture* pic) : QWidget(nullptr), pic_(pic) {
    setAttribute(Qt::WA_OpaquePaintEvent);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    const QSize z = pic_->ZoomedSize();
    const QRect picRect(QPoint(0, 0), pic_->fileExists_ ? z : QSize(0, 0));
    // The box's shape fills what the picture leaves (a vector picture gets
    // the fill first: it may not cover its own rectangle).
    const QBrush brush = ObjectFillBrush(*pic_);
    if (pic_->vector_) {
      p.fillRect(rect(), brush);
    } else {
      QRegion rest(rect());
      rest -= picRect;
      p.save();
      p.setClipRegion(rest);
      p.fillRect(rect(), brush);
      p.restore();
    }
    pic_->DrawPicture(p, rect(), false, 1.0, 1.0);
  }
  void enterEvent(QEnterEvent* e) override {
    QWidget::enterEvent(e);
    pic_->MouseEntered();
  }
  void leaveEvent(QEvent* e) override {
    QWidget::leaveEvent(e);
    pic_->MouseLeft();
  }
  void mousePressEvent(QMouseEvent* e) override {
    if (e->button() == Qt::LeftButton && pic_->mouseScrollable_) {
      panning_ = true;
      last_ = e->globalPosition().toPoint();
    }
  }
  void mouseMoveEvent(QMouseEvent* e) override {
    if (!panning_ || !pic_->scrollBox_) return;
    const QPoint at = e->globalPosition().toPoint();
    QScrollBar* h = pic_->scrollBox_->horizontalScrollBar();
    QScrollBar* v = pic_->scrollBox_->verticalScrollBar();
    const int oldH = h->value(), oldV = v->value();
    h->setValue(oldH + last_.x() - at.x());
    v->setValue(oldV + last_.y() - at.y());
    // The remembered position follows what the scroll bars accepted.
    last_ += QPoint(oldH - h->value(), oldV - v->value());
  }
  void mouseReleaseEvent(QMouseEvent* e) override {
    panning_ = false;
    if (!rect().contains(e->position().toPoint()) || !pic_->EnabledState) return;
    if (e->button() == Qt::LeftButton)
      pic_->RunObjectAction(pic_->ClickAction, evClick, 0);
    else if (e->button() == Qt::RightButton)
      pic_->RunObjectAction(pic_->RClickAction, evRClick, 0);
  }

 private:
  TVellionPicture* pic_;
  bool panning_ = false;
  QPoint last_;
};

TVellionPicture::TVellionPicture(QWidget* owner, int objType) : TVellionObj(owner, objType) {}

TVellionPicture::~TVellionPicture() = default;

bool TVellionPicture::ApplyKey(const TObjectKey& key, const TObjectReadContext& ctx) {
  const int n = key.number;
  switch (key.id) {
    case TPubKey::FileName: SetImageFile(key.raw); return true;
    case TPubKey::PictStyle:
      if (n >= pNormal && n <= pAuto) SetPaintMode(n);
      return true;
    case TPubKey::PictTransColor: SetTransColor(static_cast<TColor>(n)); return true;
    case TPubKey::PictMousePan: SetMouseScrollable(key.flag); return true;
    case TPubKey::PictZoomFactor: zoom_ = std::clamp(n, 10, kMaxZoomFactor); return true;
    case TPubKey::Centered: Centered = key.flag; return true;
    case TPubKey::Resample: ResampleMode = key.flag; return true;
    case TPubKey::OpacityEx: SetOpacity(n); return true;
    case TPubKey::ScrollBar: SetScrollBars(key.flag); return true;
    default: return TVellionObj::ApplyKey(key, ctx);
  }
}

// ---------------------------------------------------------------------------
// Properties

void TVellionPicture::SetImageFile(std::string_view name) {
  if (name == imageFile_ && !reloadNeeded_) return;
  imageFile_ = AnsiString(name);
  usesVariables_ = imageFile_.find('[') != AnsiString::npos;
  if (usesVariables_) WatchVariablesIn(imageFile_);
  reloadNeeded_ = true;
  update();
  if (pictureBox_) pictureBox_->update();
}

void TVellionPicture::Reload() {
  reloadNeeded_ = true;
  update();
  if (pictureBox_) pictureBox_->update();
}

void TVellionPicture::SetZoomFactor(int v) {
  if (v == zoom_) return;
  const int old = zoom_;
  zoom_ = std::clamp(v == INT32_MIN ? kMaxZoomFactor : std::abs(v), 10, kMaxZoomFactor);
  if (zoom_ == old) return;
  if (!scrollBox_) {
    UpdateScrollBox(false);
    update();
    return;
  }
  QScrollBar* h = scrollBox_->horizontalScrollBar();
  QScrollBar* vb = scrollBox_->verticalScrollBar();
  const double f = static_cast<double>(zoom_) / old;
  const int x = static_cast<int>(std::lround(h->value() * f));
  const int y = static_cast<int>(std::lround(vb->value() * f));
  UpdateScrollBox(false);
  h->setValue(x);
  vb->setValue(y);
  pictureBox_->repaint();
}

void TVellionPicture::SetOpacity(int v) {
  opacity_ = std::clamp(v, 1, 255);
  update();
}

void TVellionPicture::SetPaintMode(int mode) {
  paintMode_ = static_cast<TPicturePaintModes>(std::clamp(mode, 0, 6));
  UpdateScrollBox(false);
  update();
}

void TVellionPicture::SetScrollBars(bool on) {
  scrollBars_ = on;
  if (on) {
    SetTransparent(false);
    if (FillPattern() == 1) TVellionObj::SetFillPattern(0);
  }
  UpdateScrollBox(false);
  update();
}

void TVellionPicture::SetMouseScrollable(bool on) {
  mouseScrollable_ = on;
  if (on) {
    SetTransparent(false);
    if (FillPattern() == 1) TVellionObj::SetFillPattern(0);
  }
  UpdateCursor();
}

void TVellionPicture::SetTransColor(TColor c) {
  transColor_ = c;
  update();
}

void TVellionPicture::SetFillPattern(int pattern) {
  if (pattern == 1 && (scrollBars_ || mouseScrollable_)) return;
  TVellionObj::SetFillPattern(pattern);
  if (pictureBox_) pictureBox_->update();
}

void TVellionPicture::SetTransparent(bool on) {
  if (on && (scrollBars_ || mouseScrollable_)) return;
  TVellionObj::SetTransparent(on);
}

bool TVellionPicture::GetIsTransparent() const {
  if (scrollBox_ || mouseScrollable_) return false;
  return TVellionObj::GetIsTransparent();
}

bool TVellionPicture::FileExists() {
  LoadIfNeeded();
  return fileExists_;
}

bool TVellionPicture::HasAlphaMask() {
  LoadIfNeeded();
  return hasAlpha_;
}

int TVellionPicture::ImageWidth() {
  if (naturalW_ == 0) LoadIfNeeded();
  return naturalW_;
}

int TVellionPicture::ImageHeight() {
  if (naturalH_ == 0) LoadIfNeeded();
  return naturalH_;
}

// ---------------------------------------------------------------------------
// Loading

void TVellionPicture::LoadNow() {
  reloadNeeded_ = false;
  loadedName_ = imageFile_.empty() ? AnsiString() : ResolveObjectFileName(imageFile_);
  fileExists_ = false;
  hasAlpha_ = false;
  naturalW_ = naturalH_ = 0;
  if (!loadedName_.empty()) {
    // A file that is there but cannot be read (damaged) counts as missing:
    // the object shows its shape alone rather than a stand-in picture.
    const TCachedPicture pic = ThePictureCache().GetPicture(loadedName_, false);
    if (pic && !pic.picture->BadImage()) {
      fileExists_ = true;
      naturalW_ = pic.picture->ImageWidth();
      naturalH_ = pic.picture->ImageHeight();
      hasAlpha_ = pic.picture->HasAlpha();
    }
  }
  vector_ = VectorExtension(loadedName_);
  pan_ = QPoint();
  UpdateScrollBox(true);
  update();
}

void TVellionPicture::OnPageEnter() {
  if (usesVariables_ && !reloadNeeded_ && ResolveObjectFileName(imageFile_) != loadedName_) LoadNow();
  TVellionObj::OnPageEnter();
}

void TVellionPicture::OnPageShown() {
  showing_ = true;
  UpdateScrollBox(false);
  TVellionObj::OnPageShown();
}

void TVellionPicture::OnPageLeave() {
  showing_ = false;
  FreeScrollBox();
  panning_ = false;
  TVellionObj::OnPageLeave();
}

void TVellionPicture::OnVarChanged(const AnsiString& bracketName, const AnsiString& value) {
  if (usesVariables_ && TextUsesVariable(imageFile_, bracketName)) {
    LoadNow();
    if (pictureBox_) pictureBox_->update();
  }
}

// ---------------------------------------------------------------------------
// The scroll box

QSize TVellionPicture::ZoomedSize() const {
  const double z = zoom_ / 100.0;
  return QSize(RoundSide(naturalW_ * z), RoundSide(naturalH_ * z));
}

QRect TVellionPicture::PictureArea() const {
  const int lw = LineWidth();
  return rect().adjusted(lw, lw, -lw, -lw);
}

void TVellionPicture::FreeScrollBox() {
  if (!scrollBox_) return;
  setFocusProxy(nullptr);
  delete scrollBox_;  // with the picture box
  scrollBox_ = nullptr;
  pictureBox_ = nullptr;
  UpdateCursor();
}

void TVellionPicture::UpdateScrollBox(bool resetPositions) {
  if (!showing_) return;
  if (paintMode_ != pNormal || !scrollBars_) {
    FreeScrollBox();
    UpdateCursor();
    return;
  }
  // The ranges need the picture's size.
  LoadIfNeeded();
  if (!scrollBox_) {
    scrollBox_ = new QScrollArea(this);
    scrollBox_->setFrameShape(QFrame::NoFrame);
    scrollBox_->setWidgetResizable(false);
    scrollBox_->setFocusPolicy(Qt::NoFocus);
    QPalette pal = scrollBox_->palette();
    pal.setColor(QPalette::Window, DisplayColor(FillColor));
    scrollBox_->setPalette(pal);
    scrollBox_->setAutoFillBackground(true);
    pictureBox_ = new TVellionPictureBox(this);
    scrollBox_->setWidget(pictureBox_);
    scrollBox_->setGeometry(rect());
    scrollBox_->show();
    setFocusProxy(scrollBox_);
    UpdateTabStop();
  }
  scrollBox_->setGeometry(rect());
  if (resetPositions) {
    scrollBox_->horizontalScrollBar()->setValue(0);
    scrollBox_->verticalScrollBar()->setValue(0);
  }
  const QSize z = fileExists_ ? ZoomedSize() : QSize(0, 0);
  // Twice: the client area shrinks once a scroll bar shows.
  for (int i = 0; i < 2; ++i) {
    const QSize vp = scrollBox_->viewport()->size();
    pictureBox_->resize(std::max(z.width(), vp.width()), std::max(z.height(), vp.height()));
  }
  pictureBox_->update();
  UpdateCursor();
}

void TVellionPicture::OnRelayout() {
  UpdateTabStop();
  TVellionObj::OnRelayout();
}

void TVellionPicture::UpdateTabStop() {
  if (!scrollBox_) return;
  bool stop = false;
  if (Globals().showMarquee) {
    QWidget* page = parentWidget();
    while (page && dynamic_cast<TVellionObj*>(page)) page = page->parentWidget();
    if (page) stop = QRect(mapTo(page, QPoint(0, 0)), size()).intersects(page->rect());
  }
  scrollBox_->setFocusPolicy(stop ? Qt::StrongFocus : Qt::NoFocus);
}

void TVellionPicture::UpdateCursor() {
  QCursor c = mouseScrollable_ ? QCursor(Qt::SizeAllCursor) : ObjectCursor(CursorSlot());
  if (pictureBox_) {
    pictureBox_->setCursor(c);
    unsetCursor();
  } else {
    setCursor(c);
  }
}

// ---------------------------------------------------------------------------
// Drawing

void TVellionPicture::DrawShape(QPainter& p) {
  if (scrollBox_) return;  // the scroll box covers the object
  LoadIfNeeded();
  const QRect r = rect();
  const bool noFill = fileExists_ && transColor_ != kNoColorKey && FillPattern() == 1;
  const QBrush brush = ObjectFillBrush(*this);
  if (!noFill && brush.style() != Qt::NoBrush) p.fillRect(r, brush);
  const int w = LineWidth();
  if (w > 0 && LineStyle != vlpsClear) {
    const QColor line = DisplayColor(LineColor);
    if (LineStyle == vlpsRaised || LineStyle == vlpsSunken) {
      Draw3DFrame(p, r, w, line, LineStyle == vlpsRaised, UseSmoothRenderer());
    } else if (LineStyle == vlpsSolid || (w > 1 && !UseSmoothRenderer())) {
      FillFrameBand(p, r, w, line);
    } else {
      p.save();
      QPen pen = OutlinePen(*this, UseSmoothRenderer());
      p.setPen(pen);
      p.setBrush(Qt::NoBrush);
      const int half = w / 2;
      p.drawRect(QRectF(r).adjusted(half + 0.5, half + 0.5, -half - 0.5, -half - 0.5));
      p.restore();
    }
  }
  DrawPicture(p, PictureArea(), false, 1.0, 1.0);
}

void TVellionPicture::DrawPicture(QPainter& p, const QRect& r, bool printing, double sx, double sy) {
  LoadIfNeeded();
  if (!fileExists_ || r.isEmpty() || naturalW_ <= 0 || naturalH_ <= 0) return;
  if (printing && hasAlpha_) return;
  const bool scroll = scrollBox_ != nullptr;
  const bool keyed = !scroll && transColor_ != kNoColorKey;
  const bool blend = opacity_ < 255 && !scroll && UseSmoothRenderer();
  if (printing && blend) return;
  // What Draw is asked for: the alpha channel applies unless scroll bars
  // are in use; a global opacity only when blending.
  int op = blend ? opacity_ : 255;
  if (scroll) op = kOpaqueNoAlpha;

  const double z = zoom_ / 100.0;
  const QSize zoomed(RoundSide(naturalW_ * sx * z), RoundSide(naturalH_ * sy * z));
  if (zoomed.isEmpty()) return;
  const bool centre = Centered && !scroll;
  auto placed = [&](QSize size) {
    QPoint at = r.topLeft();
    if (centre)
      at += QPoint(std::max(0, r.width() / 2 - size.width() / 2), std::max(0, r.height() / 2 - size.height() / 2));
    at -= QPoint(static_cast<int>(std::lround(pan_.x() * sx)), static_cast<int>(std::lround(pan_.y() * sy)));
    return QRect(at, size);
  };
  // The largest size with the picture's aspect ratio that fits R.
  auto fitted = [&]() {
    int w = naturalW_, h = naturalH_;
    FitInside(r.width(), r.height(), w, h);
    return placed(QSize(w, h));
  };

  // One rectangle, or tiles of one size.
  QRect one;
  QSize tile;
  switch (paintMode_) {
    case pNormal: one = placed(zoomed); break;
    case pStretch: one = r; break;
    case pStretchAspect: one = fitted(); break;
    case pTile: tile = zoomed; break;
    case pTileHorz: tile = QSize(zoomed.width(), r.height()); break;
    case pTileVert: tile = QSize(r.width(), zoomed.height()); break;
    case pAuto: one = (zoomed.width() > r.width() || zoomed.height() > r.height()) ? fitted() : placed(zoomed); break;
  }
  const QSize size = tile.isValid() ? tile : one.size();
  if (size.isEmpty()) return;

  const TCachedPicture pic =
      ThePictureCache().GetPicture(loadedName_, false, keyed ? transColor_ : kNoColorKey, size.width(), size.height());
  if (!pic || pic.picture->BadImage()) return;
  const TVLImageView& view = *pic.picture;
  const bool natural = size == QSize(view.ImageWidth(), view.ImageHeight());
  auto drawAt = [&](QPainter& into, const QRect& t, int opacity) {
    into.save();
    if (keyed && pic.hasRegion) into.setClipRegion(pic.region.translated(t.topLeft()), Qt::IntersectClip);
    if (natural)
      view.Draw(into, opacity, t.left(), t.top());
    else
      view.StretchDraw(into, ResampleMode, opacity, t);
    into.restore();
  };

  p.save();
  p.setClipRect(r, Qt::IntersectClip);
  if (!tile.isValid()) {
    drawAt(p, one, op);
  } else {
    // The tile is drawn once and the area filled with it, so a tiny tile
    // over a large object costs no more than a large one.
    const int64_t across = (r.width() + tile.width() - 1) / tile.width();
    const int64_t down = (r.height() + tile.height() - 1) / tile.height();
    if (across * down > 16 && ImageSizeAllowed(tile.width(), tile.height(), 32)) {
      QImage img(tile, QImage::Format_ARGB32_Premultiplied);
      img.fill(Qt::transparent);
      {
        QPainter ip(&img);
        drawAt(ip, QRect(QPoint(0, 0), tile), scroll ? kOpaqueNoAlpha : 255);
      }
      if (blend) p.setOpacity(opacity_ / 255.0);
      p.setBrushOrigin(r.topLeft());
      p.fillRect(QRect(r.topLeft(), QSize(static_cast<int>(across * tile.width()),
                                          static_cast<int>(down * tile.height()))),
                 QBrush(img));
    } else {
      for (int64_t j = 0; j < down; ++j)
        for (int64_t i = 0; i < across; ++i)
          drawAt(p, QRect(r.topLeft() + QPoint(static_cast<int>(i * tile.width()), static_cast<int>(j * tile.height())), tile), op);
    }
  }
  p.restore();
}

// ---------------------------------------------------------------------------
// The mouse

void TVellionPicture::enterEvent(QEnterEvent* e) {
  if (scrollBox_) return QWidget::enterEvent(e);
  TVellionObj::enterEvent(e);
}

void TVellionPicture::leaveEvent(QEvent* e) {
  if (scrollBox_) return QWidget::leaveEvent(e);
  TVellionObj::leaveEvent(e);
}

void TVellionPicture::mousePressEvent(QMouseEvent* e) {
  TVellionObj::mousePressEvent(e);
  if (e->button() != Qt::LeftButton || !mouseScrollable_ || scrollBox_ || !FileExists()) return;
  const double z = zoom_ / 100.0;
  const int lw = LineWidth();
  panMax_ = QPoint(std::max(0, RoundSide(naturalW_ * z) + 2 * lw - width()),
                   std::max(0, RoundSide(naturalH_ * z) + 2 * lw - height()));
  panning_ = true;
  lastMouse_ = e->position().toPoint();
}

void TVellionPicture::mouseMoveEvent(QMouseEvent* e) {
  TVellionObj::mouseMoveEvent(e);
  if (!panning_) return;
  const QPoint at = e->position().toPoint();
  pan_.setX(std::min(panMax_.x(), std::max(0, pan_.x() + lastMouse_.x() - at.x())));
  pan_.setY(std::min(panMax_.y(), std::max(0, pan_.y() + lastMouse_.y() - at.y())));
  lastMouse_ = at;
  repaint();
}

void TVellionPicture::mouseReleaseEvent(QMouseEvent* e) {
  if (e->button() == Qt::LeftButton) panning_ = false;
  if (scrollBox_) return QWidget::mouseReleaseEvent(e);
  TVellionObj::mouseReleaseEvent(e);
}

VL_REGISTER_OBJECT(4, TVellionPicture);

// GetObjectInfo: the file (7) and the picture's natural size (10, 11).
bool TVellionPicture::CommandInfo(int word, AnsiString& out) const {
  auto* self = const_cast<TVellionPicture*>(this);  // the size may load the file first
  switch (word) {
    case 7: out = imageFile_; return true;
    case 10: out = std::to_string(self->ImageWidth()); return true;
    case 11: out = std::to_string(self->ImageHeight()); return true;
    default: return false;
  }
}

}  // namespace vl
