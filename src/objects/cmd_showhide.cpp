// ShowObject and HideObject: the object's visible state, changed on screen
// through a transition effect when one is named.
#include <QImage>
#include <QPointer>

#include "actions/CommandApi.h"
#include "objects/ObjCommands.h"
#include "objects/ShowHide.h"
#include "platform/TransitionPlayer.h"
#include "runtime/Global.h"

namespace vl {

namespace {

constexpr int kObjectTypeTimer = 15;

bool EffectGiven(std::string_view effect) {
  const std::string_view e = TrimView(effect);
  // An empty effect argument arrives as "0" (a number argument).
  return !e.empty() && e != "0";
}

void DoShowHide(CommandContext& c, bool show) {
  const TFoundObject found = TheObjects().FindObject(c.Arg(1));
  if (!found) {
    ObjectNotFound(c.Arg(1));
    return;
  }
  ShowHideObject(found, show, c.Arg(2), c.Arg(3));
}

void DoShowObject(CommandContext& c) { DoShowHide(c, true); }
void DoHideObject(CommandContext& c) { DoShowHide(c, false); }

const CommandBinder kBind{
    {cmd::ShowObject, DoShowObject},
    {cmd::HideObject, DoHideObject},
};

}  // namespace

void ShowHideObject(const TFoundObject& found, bool show, std::string_view effect, std::string_view speed) {
  TVellionObj* obj = found.object;
  if (!obj || obj->ObjType() == kObjectTypeTimer) return;
  if (!ObjectOnScreen(found)) {
    obj->SetVisibleState(show);
    return;
  }
  QWidget* surface = ObjectSurface(obj);
  QRect r;
  QImage old;
  if (EffectGiven(effect) && surface && surface->isVisible()) {
    r = QRect(obj->mapTo(surface, QPoint(0, 0)), obj->size()) & surface->rect();
    if (!r.isEmpty()) old = surface->grab(r).toImage();
  }
  obj->SetVisibleState(show);
  QPointer<TVellionObj> alive(obj);
  if (!old.isNull()) {
    TransitionRequest rq;
    rq.surface = surface;
    rq.rect = r;
    rq.oldPic = old;
    rq.newPic = surface->grab(r).toImage();
    rq.effect = TrimView(effect);
    rq.options = speed;
    rq.target = obj->Name();
    PlayTransition(rq);
  }
  // The effect waited on the clock: the publication may have gone meanwhile.
  if (alive) obj->OnRelayout();
}

}  // namespace vl
