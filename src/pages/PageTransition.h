#pragma once
// The transition of a page change: what the page view shows is kept before
// the switch when the new page has an effect, and once the switch is made
// the effect draws the new page over it.
#include <QImage>

namespace vl {

class TPageView;
class TVLPageNavigator;

class TPageTransition {
 public:
  // Before the switch from page `from` to `to`: keeps the view's look when
  // `to` has an effect and the view is shown.
  void Prepare(TPageView* view, TVLPageNavigator& nav, int from, int to);
  // After it: runs the effect of page `to` over the whole view. False when
  // none ran (the view is then to be repainted plainly).
  bool Run(TPageView* view, TVLPageNavigator& nav, int to, int direction);

 private:
  QImage old_;
  int to_ = -1;
};

}  // namespace vl
