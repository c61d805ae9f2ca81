// The text object: rich text from the publication record, laid out in the
// object's box while its page is shown.
#include "objects/ObjText.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include "actions/Vars.h"
#include "objects/PageObjects.h"
#include "runtime/Global.h"

namespace vl {

AnsiString LinkActionText(const QString& target) {
  AnsiString text = QStringToAnsi(target);
  AnsiString out;
  out.reserve(text.size());
  for (char c : text) {
    if (c == '\xB6') out += "\r\n";
    else out += c;
  }
  return out;
}

TVellionText::TVellionText(QWidget* owner, int objType) : TVellionDragObj(owner, objType) {
  setMouseTracking(true);
}

TVellionText::~TVellionText() = default;

bool TVellionText::ApplyKey(const TObjectKey& key, const TObjectReadContext& ctx) {
  switch (key.id) {
    case TPubKey::Text: Txt = TextValue(key); return true;
    case TPubKey::WordWrap: WordWrap = key.flag; return true;
    case TPubKey::HMargin: HorzMargin = Clamp(key.number, -kMaxObjectExtent, kMaxObjectExtent); return true;
    case TPubKey::VMargin: VertMargin = Clamp(key.number, -kMaxObjectExtent, kMaxObjectExtent); return true;
    default: return TVellionDragObj::ApplyKey(key, ctx);
  }
}

void TVellionText::Loaded() {
  // The variables written in the text: their changes refresh it.
  WatchVariablesIn(Txt);
}

QRect TVellionText::TextRect() const {
  QRect r = rect();
  int lw = LineWidth() > 0 ? LineWidth() : 0;
  int h = std::max(0, HorzMargin), v = std::max(0, VertMargin);
  return r.adjusted(lw + h, lw + v, -lw - h, -lw - v);
}

void TVellionText::LoadView() {
  if (!view_) view_ = std::make_unique<TVelRichText>();
  TVelRichText& v = *view_;
  v.SetDefaultFont(ObjectFont());
  v.SetLinkColor(DisplayColor(Globals().linkColor));
  v.SetFieldText([](const QString& name) { return AnsiToQString(ExpandVariables(QStringToAnsi(name))); });
  v.LoadText(Txt);
  if (pendingFontMode_ != 0) {
    int mode = pendingFontMode_;
    pendingFontMode_ = 0;
    v.ApplyFontToAll(ObjectFont(), mode == 2);
  }
  // Text in the default colour takes the object's font colour.
  v.SetDefaultColor(DisplayColor(FontColor));
  QRect tr = TextRect();
  v.SetBox(QSizeF(tr.width(), tr.height()), WordWrap);
  v.BuildMergeFields();
  WatchFields();
  v.ScrollTo(0, savedScroll_);
  update();
}

bool RichLinkUnder(const TVelRichText& view, const QRect& textRect, QPoint at, TRichLink* link) {
  if (!textRect.contains(at)) return false;
  TRichLink l = view.LinkAt(QPointF(at - textRect.topLeft()));
  if (!l.valid()) return false;
  if (link) *link = l;
  return true;
}

void WatchRichTextFields(TVellionObj& obj, const TVelRichText& view) {
  // An indexed reference shows another element when its index changes:
  // watch the element it shows now as well.
  for (const QString& name : view.FieldNames()) {
    AnsiString n = QStringToAnsi(name);
    obj.WatchVariablesIn(n);
    if (n.find('[', 1) != AnsiString::npos) obj.WatchVariable(ResolveVarName(n));
  }
}

bool RichTextShowsVariable(const TVelRichText& view, const AnsiString& bracketName) {
  QString upper = AnsiToQString(bracketName);
  for (const QString& name : view.FieldNames()) {
    if (name.contains(upper)) return true;
    AnsiString n = QStringToAnsi(name);
    if (n.find('[', 1) != AnsiString::npos) {
      AnsiString shown = AnsiUpper(ResolveVarName(n));
      if (!shown.empty() && shown.front() != '[') shown = "[" + shown + "]";
      if (shown == bracketName) return true;
    }
  }
  return false;
}

void TVellionText::WatchFields() {
  if (view_) WatchRichTextFields(*this, *view_);
}

bool TVellionText::FieldShows(const AnsiString& bracketName) const {
  return view_ && RichTextShowsVariable(*view_, bracketName);
}

void TVellionText::OnStart(const TObjectStart&) {
  if (!view_) return;
  view_->BuildMergeFields();
  view_->RefreshFields();
  WatchFields();
  update();
}

void TVellionText::OnPageEnter() { LoadView(); }

void TVellionText::OnPageLeave() {
  TVellionDragObj::OnPageLeave();
  if (view_) savedScroll_ = view_->ScrollY();
  view_.reset();
  overLink_ = false;
}

void TVellionText::OnVarChanged(const AnsiString& bracketName, const AnsiString& value) {
  TVellionDragObj::OnVarChanged(bracketName, value);
  if (!view_ || !FieldShows(bracketName)) return;
  view_->RefreshFields();
  WatchFields();
  update();
}

void TVellionText::ChangeFont(int mode) {
  if (!view_) {
    pendingFontMode_ = mode == 0 ? 1 : mode;
    return;
  }
  view_->ApplyFontToAll(ObjectFont(), mode == 2);
  Txt = view_->SaveRtf();
  LoadView();
}

void TVellionText::ReloadText() {
  WatchVariablesIn(Txt);
  if (view_)
    LoadView();
  else
    update();
}

void TVellionText::DrawShape(QPainter& p) {
  TVellionDragObj::DrawShape(p);
  if (!view_) return;
  view_->Paint(p, TextRect());
}

void TVellionText::resizeEvent(QResizeEvent* e) {
  TVellionDragObj::resizeEvent(e);
  if (!view_) return;
  QRect tr = TextRect();
  view_->SetBox(QSizeF(tr.width(), tr.height()), WordWrap);
}

bool TVellionText::LinkUnder(QPoint at, TRichLink* link) const {
  return view_ && RichLinkUnder(*view_, TextRect(), at, link);
}

void TVellionText::FollowLink(const TRichLink& link) {
  SetVariable("[HyperlinkClickedText]", QStringToAnsi(link.text));
  if (link.target.isEmpty()) return;
  // The text object runs every target as an action (no bookmark jumps).
  RunObjectAction(LinkActionText(link.target), evLinkClicked, 0);
}

void TVellionText::mousePressEvent(QMouseEvent* e) {
  if (e->button() == Qt::LeftButton && LinkUnder(e->position().toPoint())) {
    pressedOnLink_ = true;
    e->accept();
    return;
  }
  pressedOnLink_ = false;
  TVellionDragObj::mousePressEvent(e);
}

void TVellionText::mouseMoveEvent(QMouseEvent* e) {
  bool over = LinkUnder(e->position().toPoint());
  if (over != overLink_) {
    overLink_ = over;
    if (over) setCursor(ObjectCursor(1));
    else ApplyCursor();
  }
  if (pressedOnLink_) {
    e->accept();
    return;
  }
  TVellionDragObj::mouseMoveEvent(e);
}

void TVellionText::mouseReleaseEvent(QMouseEvent* e) {
  if (pressedOnLink_ && e->button() == Qt::LeftButton) {
    pressedOnLink_ = false;
    TRichLink link;
    if (EnabledState && LinkUnder(e->position().toPoint(), &link)) FollowLink(link);
    e->accept();
    return;
  }
  TVellionDragObj::mouseReleaseEvent(e);
}

void TVellionText::wheelEvent(QWheelEvent* e) {
  // Text taller than its box can be read by turning the wheel over it.
  if (!view_ || view_->MaxScrollY() == 0) return TVellionDragObj::wheelEvent(e);
  int steps = e->angleDelta().y() / 120;
  if (steps == 0) steps = e->angleDelta().y() > 0 ? 1 : e->angleDelta().y() < 0 ? -1 : 0;
  if (view_->ScrollLines(-3 * steps)) update();
  e->accept();
}

VL_REGISTER_OBJECT(8, TVellionText);

}  // namespace vl
