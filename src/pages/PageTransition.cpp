#include "pages/PageTransition.h"

#include "pages/PageView.h"
#include "pages/VLPageList.h"
#include "platform/TransitionPlayer.h"

namespace vl {

void TPageTransition::Prepare(TPageView* view, TVLPageNavigator& nav, int from, int to) {
  old_ = QImage();
  to_ = -1;
  const TVLPage* page = nav.Pages().Page(to);
  if (!view || !view->isVisible() || from == to || !page || page->background.Effect.empty()) return;
  // A transition still running shows its last picture: the new one starts
  // from there, and the old one ends now.
  old_ = view->grab().toImage();
  FinishAllTransitions();
  to_ = to;
}

bool TPageTransition::Run(TPageView* view, TVLPageNavigator& nav, int to, int direction) {
  const QImage old = std::move(old_);
  old_ = QImage();
  const bool prepared = to_ == to;
  to_ = -1;
  const TVLPage* page = nav.Pages().Page(to);
  if (!prepared || !view || old.isNull() || !page) return false;
  TransitionRequest rq;
  rq.surface = view;
  rq.rect = view->rect();
  rq.oldPic = old;
  rq.newPic = view->grab().toImage();
  rq.direction = direction;
  rq.effect = page->background.Effect;
  rq.options = page->background.EffectOptions;
  rq.target = "page";
  return PlayTransition(rq);
}

}  // namespace vl
