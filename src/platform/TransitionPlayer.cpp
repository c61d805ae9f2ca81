// The cover a transition is shown in, and the steps driven by the clock.
#include "platform/TransitionPlayer.h"

#include <QPaintEvent>
#include <QPainter>
#include <QPointer>
#include <QWidget>
#include <algorithm>
#include <string>
#include <vector>

#include "images/Transitions.h"
#include "runtime/Clock.h"
#include "runtime/Trace.h"

namespace vl {

namespace {

// Shows the transition's picture over the rectangle. It takes no input:
// clicks reach what lies below, as they would without the effect.
class TTransitionCover : public QWidget {
 public:
  TTransitionCover(QWidget* parent, const QImage& screen) : QWidget(parent), screen_(screen) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    setObjectName(QStringLiteral("transition"));
  }

 protected:
  void paintEvent(QPaintEvent* e) override {
    QPainter p(this);
    p.drawImage(e->rect().topLeft(), screen_, e->rect());
  }

 private:
  const QImage& screen_;
};

struct TRun {
  bool done = false;
  QPointer<QWidget> cover;
};

std::vector<TRun*>& Runs() {
  static std::vector<TRun*> runs;
  return runs;
}

// The picture as the effects take it: RGB32 of exactly `size`.
QImage Fit(const QImage& img, QSize size) {
  QImage out = img.convertToFormat(QImage::Format_RGB32);
  if (out.size() == size) return out;
  QImage fitted(size, QImage::Format_RGB32);
  fitted.fill(Qt::black);
  QPainter p(&fitted);
  p.drawImage(0, 0, out);
  p.end();
  return fitted;
}

void TraceTransition(int number, std::string_view target) {
  if (trace::Active()) trace::Record({"transition", std::to_string(number), target});
}

}  // namespace

bool PlayTransition(const TransitionRequest& rq) {
  if (!rq.surface || rq.newPic.isNull() || rq.rect.isEmpty()) return false;
  int number = EffectNumber(rq.effect);
  PlugInEffectFn plugIn;
  int plugInNumber = 0;
  if (number < 0 && !FindPlugInEffect(rq.effect, plugInNumber, plugIn)) return false;

  const QSize size = rq.rect.size();
  const QImage newPic = Fit(rq.newPic, size);
  QImage screen = Fit(rq.oldPic.isNull() ? rq.surface->grab(rq.rect).toImage() : rq.oldPic, size);

  std::unique_ptr<TTransitionEffect> fx;
  if (number >= 0) {
    TransitionInput in;
    in.oldPic = screen;
    in.newPic = newPic;
    in.direction = rq.direction;
    in.speed = EffectSpeed(rq.options);
    in.region = rq.region;
    fx = MakeTransitionEffect(number, in);
  }

  QPointer<QWidget> cover = new TTransitionCover(rq.surface, screen);
  cover->setGeometry(rq.rect);
  cover->raise();
  cover->show();

  TRun run;
  run.cover = cover;
  Runs().push_back(&run);
  Clock& clock = TheClock();
  Clock::TimerId timer = 0;
  if (!fx) {
    // A plug-in draws its whole effect at once; when it cannot, the new
    // picture is copied plainly.
    const QImage old = screen;
    if (!plugIn(plugInNumber, rq.oldPic.isNull() ? nullptr : &old, newPic, screen, rq.direction, rq.options))
      screen = newPic;
    cover->repaint();
    run.done = true;
  } else {
    std::function<void()> tick = [&] {
      timer = 0;
      int pause = 0;
      if (run.done || !cover || !fx->Step(screen, pause)) {
        run.done = true;
        return;
      }
      cover->repaint();
      timer = clock.StartTimer(std::max(0, pause), tick);
    };
    tick();
    clock.RunUntil([&] { return run.done || !cover; }, -1);
  }
  if (timer) clock.CancelTimer(timer);
  Runs().erase(std::remove(Runs().begin(), Runs().end(), &run), Runs().end());
  delete cover.data();
  TraceTransition(fx ? number : plugInNumber, rq.target);
  return true;
}

void FinishAllTransitions() {
  // Hidden at once, so what is drawn next sees the real surface even before
  // the interrupted transitions get to end.
  for (TRun* r : Runs()) {
    r->done = true;
    if (r->cover) r->cover->hide();
  }
}

int RunningTransitions() { return static_cast<int>(Runs().size()); }

}  // namespace vl
