// The push button: a framed face (classic bevel or the style's button),
// optionally a picture per state (three frames of one library picture, or
// up, down and over pictures of its own), the caption beside or over it,
// and the disabled look.
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionButton>
#include <algorithm>
#include <memory>
#include <vector>

#include "images/PictureCache.h"
#include "objects/ObjButtons.h"
#include "objects/PageObjects.h"

namespace vl {

namespace {

constexpr int kPictureGap = 4;
// The system colour of button shadows.
constexpr TColor kButtonShadowColor = 0xFF000010;

QString ScreenText(const AnsiString& text) {
  QString s = AnsiToQString(text);
  s.remove(QChar('\r'));
  return s;
}

// A transparent colour as the picture cache takes it: the default means
// none.
TColor CacheKey(TColor c) { return c == kColorDefault || c == kNoColorKey ? kNoColorKey : ColorToRgb(c); }

// One picture face held for one paint: pinned in the cache while it draws.
class TFace {
 public:
  TFace(const AnsiString& file, TColor key, int frame) : frame_(frame) {
    const TColor k = CacheKey(key);
    pic_ = ThePictureCache().GetPicture(ResolveObjectFileName(file), true, k);
    if (!pic_) return;
    if (!pic_.hasRegion && k != kNoColorKey && !pic_.picture->HasAlpha()) {
      // Another user holds the picture with another colour key.
      pic_.region = RegionFromColorKey(pic_.picture->Bitmap().Image().convertToFormat(QImage::Format_RGB32), k);
      pic_.hasRegion = true;
    }
  }
  ~TFace() {
    if (pic_) ThePictureCache().Unpin(pic_.picture);
  }
  TFace(const TFace&) = delete;
  TFace& operator=(const TFace&) = delete;
  explicit operator bool() const { return pic_.picture != nullptr && Size().width() > 0; }

  QSize Size() const {
    if (!pic_) return {};
    const int w = pic_.picture->ImageWidth();
    return {frame_ >= 0 ? w / 3 : w, pic_.picture->ImageHeight()};
  }
  // Draws the face with its top-left at `at`.
  void Draw(QPainter& p, QPoint at) const {
    p.save();
    const QPoint origin = at - QPoint(frame_ > 0 ? frame_ * Size().width() : 0, 0);
    p.setClipRect(QRect(at, Size()), Qt::IntersectClip);
    if (pic_.hasRegion) p.setClipRegion(pic_.region.translated(origin), Qt::IntersectClip);
    pic_.picture->Draw(p, 255, origin.x(), origin.y());
    p.restore();
  }
  // The disabled veil over the face's own pixels only.
  void Veil(QPainter& p, QPoint at, const QColor& fill) const {
    const QSize s = Size();
    QImage layer(s, QImage::Format_ARGB32_Premultiplied);
    layer.fill(Qt::transparent);
    {
      QPainter lp(&layer);
      Draw(lp, QPoint(0, 0));
      lp.setCompositionMode(QPainter::CompositionMode_SourceIn);
      if (UseSmoothRenderer())
        lp.fillRect(layer.rect(), QColor(192, 192, 192));
      else
        lp.fillRect(layer.rect(), QBrush(fill, Qt::Dense4Pattern));
    }
    p.save();
    if (UseSmoothRenderer()) p.setOpacity(165.0 / 255.0);
    p.drawImage(at, layer);
    p.restore();
  }

 private:
  TCachedPicture pic_;
  int frame_;
};

void Frame3D(QPainter& p, QRect r, int width, const QColor& topLeft, const QColor& bottomRight) {
  for (int i = 0; i < width && r.width() > 0 && r.height() > 0; ++i) {
    p.fillRect(QRect(r.left(), r.top(), r.width(), 1), topLeft);
    p.fillRect(QRect(r.left(), r.top(), 1, r.height()), topLeft);
    p.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), bottomRight);
    p.fillRect(QRect(r.right(), r.top(), 1, r.height()), bottomRight);
    r.adjust(1, 1, -1, -1);
  }
}

}  // namespace

TVellionPushBtn::TVellionPushBtn(QWidget* owner, int objType) : TVellionButton(owner, objType) {
  SetUseXPTheme(false);
}

bool TVellionPushBtn::ApplyKey(const TObjectKey& key, const TObjectReadContext& ctx) {
  const int n = key.number;
  switch (key.id) {
    case TPubKey::AutoSize: return false;  // check boxes and radio buttons only
    case TPubKey::ImageStyle:
      if (n >= 0 && n <= 2) ImageStyle = static_cast<TVellionButtonImageStyles>(n);
      return true;
    case TPubKey::UpImage: UpImage = AnsiString(key.raw); return true;
    case TPubKey::DownImage: DownImage = AnsiString(key.raw); return true;
    case TPubKey::OverImage: OverImage = AnsiString(key.raw); return true;
    case TPubKey::LibImage: LibImage = AnsiString(key.raw); return true;
    case TPubKey::UpTransColor: UpTransparentColor = static_cast<TColor>(n); return true;
    case TPubKey::DownTransColor: DownTransparentColor = static_cast<TColor>(n); return true;
    case TPubKey::OverTransColor: OverTransparentColor = static_cast<TColor>(n); return true;
    case TPubKey::OverlayText: OverlayText = key.flag; return true;
    case TPubKey::BevelWidth: BevelWidth = Clamp(n, 0, 255); return true;
    case TPubKey::DepressEffect: DepressEffect = key.flag; return true;
    default: return TVellionButton::ApplyKey(key, ctx);
  }
}

void TVellionPushBtn::Loaded() {
  TVellionButton::Loaded();
  for (const AnsiString* f : {&LibImage, &UpImage, &DownImage, &OverImage}) WatchVariablesIn(*f);
  Recompute();
}

void TVellionPushBtn::OnVarChanged(const AnsiString& bracketName, const AnsiString& value) {
  TVellionButton::OnVarChanged(bracketName, value);
  for (const AnsiString* f : {&LibImage, &UpImage, &DownImage, &OverImage})
    if (TextUsesVariable(*f, bracketName)) {
      Recompute();
      update();
      return;
    }
}

bool TVellionPushBtn::GetIsTransparent() const { return IsTransparent() || Themed(); }

void TVellionPushBtn::SetUseXPTheme(bool on) {
  TVellionButton::SetUseXPTheme(on);
  Recompute();
}

void TVellionPushBtn::FillChanged() { Recompute(); }

void TVellionPushBtn::Recompute() {
  // Qt paints every widget double-buffered; what remains of the choice is
  // the style that says whether the background shows through.
  ButtonStyle = GetIsTransparent() ? bsStandardBknd : bsStandard;
  missing_.clear();
}

bool TVellionPushBtn::Loads(const AnsiString& file) const {
  if (TrimView(file).empty()) return false;
  // A file that failed is not read again on every paint; a change of the
  // variables in its name (Recompute) gives it another chance.
  const AnsiString resolved = ResolveObjectFileName(file);
  for (const AnsiString& m : missing_)
    if (SameTextInvariant(m, resolved)) return false;
  if (TFace(file, kColorDefault, -1)) return true;
  if (missing_.size() < 8) missing_.push_back(resolved);
  return false;
}

bool TVellionPushBtn::HasPictureForStyle() const {
  if (ImageStyle == vlbsLibrary) return Loads(LibImage);
  if (ImageStyle == vlbsIndividual) return Loads(UpImage) || Loads(DownImage) || Loads(OverImage);
  return false;
}

bool TVellionPushBtn::FaceFor(int state, AnsiString& file, TColor& key, int& frame) const {
  if (ImageStyle == vlbsLibrary) {
    if (!Loads(LibImage)) return false;
    file = LibImage;
    key = kColorDefault;
    frame = state == kVisualUp ? 0 : state == kVisualHot ? 1 : 2;
    return true;
  }
  if (ImageStyle != vlbsIndividual) return false;
  struct Choice {
    const AnsiString* file;
    TColor key;
  };
  const Choice down{&DownImage, DownTransparentColor}, over{&OverImage, OverTransparentColor},
      up{&UpImage, UpTransparentColor};
  std::vector<Choice> order;
  if (state == kVisualDown)
    order = {down, over, up};
  else if (state == kVisualHot)
    order = {over, up};
  else
    order = {up};
  for (const Choice& c : order)
    if (Loads(*c.file)) {
      file = *c.file;
      key = c.key;
      frame = -1;
      return true;
    }
  return false;
}

void TVellionPushBtn::mouseReleaseEvent(QMouseEvent* e) {
  if (e->button() == Qt::RightButton) {
    if (EnabledState && rect().contains(e->position().toPoint())) RunObjectAction(RClickAction, evRClick, 0);
    return;
  }
  TVellionButton::mouseReleaseEvent(e);
}

void TVellionPushBtn::MouseInsideChanged() {
  if (mouseInside_) {
    if (pressed_ || visual_ == kVisualHot) return;
    const bool hotFace = (ImageStyle == vlbsLibrary && Loads(LibImage)) ||
                         (ImageStyle == vlbsIndividual && Loads(OverImage)) || Themed();
    if (hotFace) SetVisualState(kVisualHot);
  } else if (visual_ == kVisualHot) {
    SetVisualState(kVisualUp);
  }
}

void TVellionPushBtn::DrawShape(QPainter& p) {
  const bool themed = Themed();
  const bool down = visual_ == kVisualDown;
  const int W = LineWidth(), B = BevelWidth;
  const QColor shadow = DisplayColor(kButtonShadowColor), white(255, 255, 255);

  // 1. The face and outline; 2. the frame, and how far the content moves.
  if (!themed) TVellionObj::DrawShape(p);
  QPoint shift(0, 0);
  const QRect inner = rect().adjusted(W, W, -W, -W);
  if (themed) {
    QStyleOptionButton opt;
    opt.initFrom(this);
    opt.rect = rect();
    opt.state = QStyle::State_None;
    if (EnabledState) opt.state |= QStyle::State_Enabled;
    if (down)
      opt.state |= QStyle::State_Sunken;
    else
      opt.state |= QStyle::State_Raised;
    if (visual_ == kVisualHot) opt.state |= QStyle::State_MouseOver;
    style()->drawControl(QStyle::CE_PushButtonBevel, &opt, &p, this);
    if (down && ImageStyle != vlbsLibrary && DepressEffect) shift = QPoint(1, 1);
  } else if (B > 0) {
    if (W > 0) {
      if (down) {
        p.fillRect(QRect(inner.left(), inner.top(), inner.width(), std::min(B, inner.height())), shadow);
        p.fillRect(QRect(inner.left(), inner.top(), std::min(B, inner.width()), inner.height()), shadow);
        shift = QPoint(B, B);
      } else {
        Frame3D(p, inner, B, white, shadow);
      }
    } else if (down) {
      Frame3D(p, inner, B, shadow, white);
      shift = QPoint(1, 1);
    } else {
      Frame3D(p, inner, B, white, shadow);
    }
  } else if (down && ImageStyle != vlbsLibrary && DepressEffect) {
    shift = QPoint(1, 1);
  }

  // 3. The picture for the state.
  AnsiString file;
  TColor key = kColorDefault;
  int frame = -1;
  std::unique_ptr<TFace> face;
  if (FaceFor(visual_, file, key, frame)) {
    face = std::make_unique<TFace>(file, key, frame);
    if (!*face) face.reset();
  }

  // 4, 5. Layout.
  const QRect content = rect().adjusted(W + B, W + B, -W - B, -W - B).translated(shift);
  const QString text = ScreenText(DisplayedCaption());
  const int align = Alignment();
  const int hflag = align == 1 ? Qt::AlignLeft : align == 4 ? Qt::AlignRight : Qt::AlignHCenter;
  QRect captionArea = content;
  int captionFlags = hflag | Qt::AlignVCenter;
  QPoint picAt;
  if (face) {
    const QSize P = face->Size();
    if (OverlayText || text.isEmpty()) {
      if (align == 1) captionArea.setLeft(captionArea.left() + kPictureGap);
      if (align == 4) captionArea.setRight(captionArea.right() - kPictureGap);
      const int y = content.top() + (content.height() - P.height()) / 2;
      if (align == 1)
        picAt = QPoint(content.left() + kPictureGap, y);
      else if (align == 4)
        picAt = QPoint(content.right() + 1 - kPictureGap - P.width(), y);
      else
        picAt = QPoint(content.left() + (content.width() - P.width()) / 2, y);
      if (text.isEmpty() && !OverlayText) picAt.setX(content.left() + (content.width() - P.width()) / 2);
    } else {
      const QSize T = CaptionSize(text);
      const int gap = kPictureGap;
      if (align == 2) {
        const int top = content.top() + (content.height() - (P.height() + gap + T.height())) / 2;
        picAt = QPoint(content.left() + (content.width() - P.width()) / 2, top);
        captionArea = QRect(content.left(), top + P.height() + gap, content.width(), T.height());
        captionFlags = Qt::AlignHCenter | Qt::AlignTop;
      } else {
        const int left = content.left() + (content.width() - (T.width() + gap + P.width())) / 2;
        const int picY = content.top() + (content.height() - P.height()) / 2;
        const int textY = content.top() + (content.height() - T.height()) / 2;
        if (align == 4) {
          captionArea = QRect(left, textY, T.width(), T.height());
          picAt = QPoint(left + T.width() + gap, picY);
        } else {
          picAt = QPoint(left, picY);
          captionArea = QRect(left + P.width() + gap, textY, T.width(), T.height());
        }
        captionFlags = Qt::AlignLeft | Qt::AlignTop;
      }
    }
  } else {
    if (align == 1) captionArea.setLeft(captionArea.left() + kPictureGap);
    if (align == 4) captionArea.setRight(captionArea.right() - kPictureGap);
  }

  // 7. How a disabled button looks: embossed caption and veiled picture, or
  // a veil over everything.
  const bool embossed = (IsTransparent() && W == 0) || themed || StandAlone;
  const QColor fill = DisplayColor(FillColor);
  if (face) {
    face->Draw(p, picAt);
    if (!EnabledState && embossed) face->Veil(p, picAt, fill);
  }

  // 6. The caption.
  if (!text.isEmpty()) {
    if (!EnabledState && embossed) {
      DrawEmbossed(p, captionArea, captionFlags, text);
    } else {
      const bool seeThrough = GetIsTransparent() || FillPattern() != 0 || OverlayText || themed;
      if (!seeThrough) {
        p.setFont(ObjectFont());
        const QRect used = p.boundingRect(captionArea, captionFlags | Qt::TextShowMnemonic, text);
        p.fillRect(used.intersected(content), fill);
      }
      DrawCaption(p, captionArea, captionFlags, text, DisplayColor(FontColor));
    }
  }

  if (!EnabledState && !embossed) {
    if (UseSmoothRenderer())
      p.fillRect(rect(), QColor(192, 192, 192, 165));
    else
      p.fillRect(rect(), QBrush(fill, Qt::Dense4Pattern));
  }

  // 8. The focus rectangle.
  if (ShowsFocus()) {
    QPen pen(QColor(0, 0, 0));
    pen.setStyle(Qt::DotLine);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    const int m = W + B + 2;
    p.drawRect(rect().adjusted(m, m, -m - 1, -m - 1));
  }
}

VL_REGISTER_OBJECT(3, TVellionPushBtn);

}  // namespace vl
