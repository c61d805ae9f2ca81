// The object base: the keys every object reads, the line and fill state,
// mouse enter and leave, hints, actions and the plain rectangle drawing.
#include "objects/VellionObj.h"

#include <QEnterEvent>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

#include "actions/Interpreter.h"
#include "actions/Vars.h"
#include "images/Palette.h"
#include "images/PictureCache.h"
#include "objects/PageObjects.h"
#include "platform/Cursors.h"
#include "platform/FontMap.h"
#include "runtime/Package.h"

namespace vl {

namespace {
bool gSuppressed = true;
}  // namespace

bool ObjectEventsSuppressed() { return gSuppressed; }
void SetObjectEventsSuppressed(bool on) { gSuppressed = on; }

QColor DisplayColor(TColor c) {
  TColor rgb = ColorToRgb(c);
  if (PaletteDisplay()) rgb = NearestPaletteColor(rgb);
  return QColor(static_cast<int>(rgb & 0xFF), static_cast<int>((rgb >> 8) & 0xFF), static_cast<int>((rgb >> 16) & 0xFF));
}

bool UseSmoothRenderer() { return Globals().displayColorCount > 256; }

AnsiString ResolveObjectFileName(std::string_view name) {
  AnsiString s(TrimView(name));
  if (s.find('[') != AnsiString::npos) s = AnsiString(TrimView(ExpandVariables(s)));
  if (s.size() >= sizeof(kEmbeddedPrefix) - 1 &&
      SameTextInvariant(std::string_view(s).substr(0, sizeof(kEmbeddedPrefix) - 1), kEmbeddedPrefix))
    s = ThePackage().MapEmbeddedName(s);
  if (!s.empty() && s[0] == '!') s.erase(0, 1);
  return s;
}

// ---------------------------------------------------------------------------

TVellionObj::TVellionObj(QWidget* owner, int objType) : QWidget(owner), objType_(objType) {
  // Light widgets: what lies behind shows through wherever the object does
  // not paint, and clicks go to the object on top.
  setAttribute(Qt::WA_NoSystemBackground);
  setFocusPolicy(Qt::NoFocus);
  setMouseTracking(false);
}

TVellionObj::~TVellionObj() { TheObjects().Forget(this); }

void TVellionObj::SetName(std::string_view name) {
  name_ = AnsiString(name);
  setObjectName(AnsiToQString(name_));
}

QFont TVellionObj::ObjectFont() const { return MakeFont(FontName, FontSize, FontStyle & 15); }

void TVellionObj::SetEnabledState(bool on) {
  EnabledState = on;
  setEnabled(on);
  if (!on) mouseInside_ = false;
}

void TVellionObj::SetVisibleState(bool on) {
  VisibleState = on;
  setVisible(on);
}

void TVellionObj::SetLineWidth(int width) {
  lineWidth_ = Clamp(width, 0, 1000);
  update();
  LineChanged();
}

void TVellionObj::SetFillPattern(int pattern) {
  fillPattern_ = static_cast<uint8_t>(Clamp(pattern, 0, 255));
  UpdateTransparency();
  update();
  FillChanged();
}

void TVellionObj::SetTransparent(bool on) {
  transparent_ = on;
  UpdateTransparency();
  update();
  FillChanged();
}

void TVellionObj::SetFixedTransparency(bool transparent) {
  fixedTransparency_ = true;
  isTransparent_ = transparent;
}

void TVellionObj::UpdateTransparency() {
  if (fixedTransparency_) return;
  isTransparent_ = fillPattern_ == 1 || (fillPattern_ != 0 && transparent_);
}

void TVellionObj::paintEvent(QPaintEvent*) {
  QPainter p(this);
  PaintShape(p);
}

void TVellionObj::PaintShape(QPainter& p) { DrawShape(p); }

void TVellionObj::DrawShape(QPainter& p) {
  // The plain look of an object without a drawing of its own: its fill
  // colour, framed when it has an outline.
  const QRect r = rect();
  if (fillPattern_ != 1) p.fillRect(r, DisplayColor(FillColor));
  if (lineWidth_ > 0 && LineStyle != vlpsClear) {
    QPen pen(DisplayColor(LineColor));
    pen.setWidth(lineWidth_);
    pen.setJoinStyle(Qt::MiterJoin);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    const int half = lineWidth_ / 2;
    p.drawRect(r.adjusted(half, half, -half - (lineWidth_ % 2 ? 1 : 0), -half - (lineWidth_ % 2 ? 1 : 0)));
  }
}

void TVellionObj::PaintTo(QPainter& p, int x, int y) {
  QWidget::RenderFlags flags = QWidget::DrawChildren;
  render(&p, QPoint(x, y), QRegion(), flags);
}

bool TVellionObj::ApplyKey(const TObjectKey& key, const TObjectReadContext& ctx) {
  const int n = key.number;
  switch (key.id) {
    case TPubKey::ObjectType: return true;
    case TPubKey::Name: SetName(key.raw); return true;
    case TPubKey::Visible: VisibleState = key.flag; return true;
    case TPubKey::X:
      move(Clamp(n + ctx.offset.x(), -kMaxObjectCoordinate, kMaxObjectCoordinate), y());
      return true;
    case TPubKey::Y:
      move(x(), Clamp(n + ctx.offset.y(), -kMaxObjectCoordinate, kMaxObjectCoordinate));
      return true;
    case TPubKey::W: resize(Clamp(n, 0, kMaxObjectExtent), height()); return true;
    case TPubKey::H: resize(width(), Clamp(n, 0, kMaxObjectExtent)); return true;
    case TPubKey::LineColor: LineColor = static_cast<TColor>(n); return true;
    case TPubKey::LineWidth: SetLineWidth(n); return true;
    case TPubKey::LineStyle:
      if (n >= 0 && n <= 7) LineStyle = static_cast<TVellionPenStyle>(n);
      return true;
    case TPubKey::FillColor: FillColor = static_cast<TColor>(n); return true;
    case TPubKey::FillPattern: SetFillPattern(n); return true;
    case TPubKey::FillMode: SetTransparent(key.flag); return true;
    case TPubKey::Enabled: EnabledState = key.flag; return true;
    case TPubKey::TabOrder: TabOrder = n & 0xFFFF; return true;
    case TPubKey::Anchor: Anchor = (n >= 0 && n <= 5) ? n : 0; return true;
    case TPubKey::TextColor: FontColor = static_cast<TColor>(n); return true;
    case TPubKey::Font: FontName = AnsiString(key.raw); return true;
    case TPubKey::FontSize: FontSize = n; return true;
    case TPubKey::FontStyle: FontStyle = n & 15; return true;
    case TPubKey::FontCharset: FontCharset = n; return true;
    case TPubKey::Hint: Hint = TextValue(key); return true;
    case TPubKey::Key: HotKey = n & 0xFFFF; return true;
    case TPubKey::ObjAction: ClickAction = key.Action(); return true;
    case TPubKey::ObjRAction: RClickAction = key.Action(); return true;
    case TPubKey::ObjEnterAction: EnterAction = key.Action(); return true;
    case TPubKey::ObjExitAction: ExitAction = key.Action(); return true;
    default: return false;
  }
}

void TVellionObj::OnVarChanged(const AnsiString&, const AnsiString&) { update(); }

bool TVellionObj::OfferHotKey(int key) {
  if (HotKey == 0 || key != HotKey || !isVisibleTo(parentWidget()) || !EnabledState) return false;
  DoClick();
  return true;
}

bool TVellionObj::SelectText(const AnsiString&, AnsiString& error) {
  error = "object \"" + name_ + "\" has no items to select";
  return false;
}

void TVellionObj::RunObjectAction(const AnsiString& text, uint8_t code, uint8_t flags) {
  if (text.empty() || ObjectEventsSuppressed()) return;
  if (flags & kFlagSuspended)
    RunAction(text, flags, code, objType_, name_);
  else
    PostAction(this, text, code, flags);
}

void TVellionObj::WatchVariablesIn(std::string_view text) {
  // Every bracketed name, outermost and nested alike.
  std::vector<size_t> open;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '[') {
      open.push_back(i);
    } else if (text[i] == ']' && !open.empty()) {
      const size_t start = open.back();
      open.pop_back();
      WatchVariable(text.substr(start, i - start + 1));
    }
  }
}

void TVellionObj::WatchVariable(std::string_view bracketName) {
  if (bracketName.empty()) return;
  AnsiString name = AnsiUpper(bracketName);
  if (name.front() != '[') name = "[" + name + "]";
  TheObjects().Watch(this, name);
}

bool TVellionObj::TextUsesVariable(std::string_view text, std::string_view bracketName) {
  if (bracketName.empty() || text.size() < bracketName.size()) return false;
  const AnsiString upper = AnsiUpper(text);
  return upper.find(bracketName) != AnsiString::npos;
}

QCursor ObjectCursor(int slot) {
  if (slot == 0) return Qt::IBeamCursor;
  return CursorForSlot(slot);
}

void TVellionObj::ApplyCursor() { setCursor(ObjectCursor(CursorSlot())); }

void TVellionObj::MouseEntered() {
  if (mouseInside_ || !EnabledState) return;
  mouseInside_ = true;
  RunObjectAction(EnterAction, evMouseEnter, kFlagSuspended);
}

void TVellionObj::MouseLeft() {
  if (!mouseInside_ || !EnabledState) return;
  mouseInside_ = false;
  RunObjectAction(ExitAction, evMouseLeave, kFlagSuspended);
}

void TVellionObj::enterEvent(QEnterEvent* e) {
  QWidget::enterEvent(e);
  MouseEntered();
}

void TVellionObj::leaveEvent(QEvent* e) {
  QWidget::leaveEvent(e);
  MouseLeft();
}

void TVellionObj::mouseReleaseEvent(QMouseEvent* e) {
  QWidget::mouseReleaseEvent(e);
  if (!runClickOnRelease_ || !rect().contains(e->position().toPoint())) return;
  if (e->button() == Qt::LeftButton)
    RunObjectAction(ClickAction, evClick, 0);
  else if (e->button() == Qt::RightButton)
    RunObjectAction(RClickAction, evRClick, 0);
}

bool TVellionObj::event(QEvent* e) {
  if (e->type() == TActionRequestEvent::EventType()) {
    if (!ObjectEventsSuppressed()) HandleActionRequest(e, objType_, name_);
    return true;
  }
  if (e->type() == QEvent::ToolTip) {
    if (Hint.empty()) {
      e->ignore();
      return true;
    }
    const AnsiString text = Hint.find('[') != AnsiString::npos ? ExpandVariables(Hint) : Hint;
    QToolTip::showText(static_cast<QHelpEvent*>(e)->globalPos(), AnsiToQString(text), this);
    return true;
  }
  return QWidget::event(e);
}

// ---------------------------------------------------------------------------

std::vector<TVellionObj*> TVellionRepositor::ChildObjects() const {
  std::vector<TVellionObj*> out;
  for (QObject* c : children())
    if (auto* o = dynamic_cast<TVellionObj*>(c)) out.push_back(o);
  return out;
}

void TVellionRepositor::SetEnabledState(bool on) {
  TVellionObj::SetEnabledState(on);
  for (TVellionObj* c : ChildObjects()) c->SetEnabledState(on);
}

#define VL_FORWARD(Method, ...)                          \
  for (TVellionObj* c : ChildObjects()) c->Method(__VA_ARGS__)

void TVellionRepositor::OnStart(const TObjectStart& how) { VL_FORWARD(OnStart, how); }
void TVellionRepositor::OnModalState(bool ended) { VL_FORWARD(OnModalState, ended); }
void TVellionRepositor::OnPageLeave() { VL_FORWARD(OnPageLeave); }
void TVellionRepositor::OnPageEnter() { VL_FORWARD(OnPageEnter); }
void TVellionRepositor::OnPageShown() { VL_FORWARD(OnPageShown); }
void TVellionRepositor::OnRelayout() { VL_FORWARD(OnRelayout); }
void TVellionRepositor::OnShutdown() { VL_FORWARD(OnShutdown); }
void TVellionRepositor::OnParentSized() {
  AlignChildren();
  VL_FORWARD(OnParentSized);
}
#undef VL_FORWARD

bool TVellionRepositor::OfferHotKey(int key) {
  if (!isVisibleTo(parentWidget()) || !EnabledState) return false;
  for (TVellionObj* c : ChildObjects())
    if (c->OfferHotKey(key)) return true;
  return false;
}

void TVellionRepositor::AlignChildren() { AlignObjectsIn(this, ChildArea(), nullptr); }

void TVellionRepositor::resizeEvent(QResizeEvent* e) {
  TVellionObj::resizeEvent(e);
  if (Reading()) return;
  AlignChildren();
  for (TVellionObj* c : ChildObjects()) c->OnParentSized();
}

// ---------------------------------------------------------------------------

bool TVellionDragObj::ApplyKey(const TObjectKey& key, const TObjectReadContext& ctx) {
  switch (key.id) {
    case TPubKey::DragMode: DragMode = key.number & 0xFF; return true;
    case TPubKey::DropAction: DropAction = key.Action(); return true;
    case TPubKey::DropTarget: DropTargets = AnsiString(key.raw); return true;
    default: return TVellionObj::ApplyKey(key, ctx);
  }
}

}  // namespace vl
