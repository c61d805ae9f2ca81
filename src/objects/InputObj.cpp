// The shared part of the input objects with an inner control.
#include "objects/InputObj.h"

#include <QPalette>

#include "actions/Vars.h"
#include "objects/PageObjects.h"

namespace vl {

TVellionInputObj::TVellionInputObj(QWidget* owner, int objType) : TVellionObj(owner, objType) {}

bool TVellionInputObj::ApplyKey(const TObjectKey& key, const TObjectReadContext& ctx) {
  switch (key.id) {
    case TPubKey::VarName: VarName = TrimView(key.raw).empty() ? AnsiString() : NormalizeVarName(key.raw); return true;
    case TPubKey::ObjAction: ChangeAction = key.Action(); return true;
    default: return TVellionObj::ApplyKey(key, ctx);
  }
}

void TVellionInputObj::Loaded() {
  if (!VarName.empty()) WatchVariable(VarName);
  StyleInner();
}

void TVellionInputObj::SetInner(QWidget* w) {
  inner_ = w;
  setFocusProxy(w);
  w->setFocusPolicy(Qt::ClickFocus);
  w->setAutoFillBackground(true);
  StyleInner();
}

void TVellionInputObj::PaintShape(QPainter& p) {
  if (inner_ && !(StyleNow() == styled_)) StyleInner();
  TVellionObj::PaintShape(p);
}

void TVellionInputObj::StyleInner() {
  if (!inner_) return;
  styled_ = StyleNow();
  QPalette pal = inner_->palette();
  const QColor fill = DisplayColor(FillColor);
  const QColor text = DisplayColor(FontColor);
  for (QPalette::ColorRole role : {QPalette::Base, QPalette::Window, QPalette::Button}) {
    pal.setColor(QPalette::Active, role, fill);
    pal.setColor(QPalette::Inactive, role, fill);
    pal.setColor(QPalette::Disabled, role, fill);
  }
  for (QPalette::ColorRole role : {QPalette::Text, QPalette::WindowText, QPalette::ButtonText}) {
    pal.setColor(QPalette::Active, role, text);
    pal.setColor(QPalette::Inactive, role, text);
  }
  inner_->setPalette(pal);
  inner_->setFont(ObjectFont());
}

void TVellionInputObj::SetEnabledState(bool on) {
  TVellionObj::SetEnabledState(on);
  if (inner_) inner_->setEnabled(on);
}

bool TVellionInputObj::OfferHotKey(int key) {
  if (HotKey == 0 || key != HotKey || !isVisibleTo(parentWidget()) || !EnabledState || !inner_) return false;
  inner_->setFocus(Qt::ShortcutFocusReason);
  return true;
}

void TVellionInputObj::OnStart(const TObjectStart&) { UpdateTabStop(); }
void TVellionInputObj::OnRelayout() { UpdateTabStop(); }

void TVellionInputObj::UpdateTabStop() {
  if (!inner_) return;
  // The page layer: the first ancestor that is not an object.
  QWidget* layer = parentWidget();
  while (layer && dynamic_cast<TVellionObj*>(layer)) layer = layer->parentWidget();
  bool inside = true;
  if (layer) inside = QRect(mapTo(layer, QPoint(0, 0)), size()).intersects(layer->rect());
  inner_->setFocusPolicy(inside ? Qt::StrongFocus : Qt::ClickFocus);
}

bool TVellionInputObj::OnCurrentPage() const {
  auto& objects = TheObjects();
  const int cur = objects.currentPage ? objects.currentPage() : -1;
  if (cur < 0) return false;
  auto holds = [this](int page) {
    for (const TVellionObj* o : TheObjects().Roots(page))
      if (o == this || o->isAncestorOf(this)) return true;
    return false;
  };
  if (holds(cur)) return true;
  return cur != 0 && objects.showsMaster && objects.showsMaster(cur) && holds(0);
}

bool TVellionInputObj::IsVarName(const AnsiString& bracketName) const {
  return !VarName.empty() && SameTextAnsi(VarName, bracketName);
}

AnsiString TVellionInputObj::VarValue() const { return VarName.empty() ? AnsiString() : ExpandReference(VarName); }

}  // namespace vl
