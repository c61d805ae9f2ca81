// The movers of MoveObjectAlongPath as steps on the clock, their registry,
// and the lifecycle's stops (a page change, the window closing).
#include "objects/PathMover.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "actions/EventCodes.h"
#include "actions/Interpreter.h"
#include "actions/MathExpr.h"
#include "objects/ObjLine.h"
#include "platform/TransitionPlayer.h"
#include "runtime/Global.h"
#include "runtime/Lifecycle.h"

namespace vl {

namespace {

constexpr int kObjectTypeTimer = 15;
// The shortest time between two steps: a movement without a pause still
// lets the interface thread serve its queue (and a looping one with no
// pause would otherwise never give the clock back).
constexpr int64_t kMinStepMs = 1;

std::vector<std::shared_ptr<TVellionObjMover>>& Registry() {
  static std::vector<std::shared_ptr<TVellionObjMover>> movers;
  return movers;
}

// Where a label goes when the object's window is gone.
QObject* FallbackTarget() {
  static TActionTarget* target = new TActionTarget;
  return target;
}

int WholeOrZero(std::string_view text) {
  int32_t v = 0;
  return StrToIntStrict(TrimView(text), v) ? v : 0;
}

const LifecycleRegistrar kLife("movers", kLifeMovers, [](LifecycleParticipant& p) {
  p.pageLeave = [](int, bool) { StopAllMovers(); };
  p.close = [](LifecycleContext&) {
    FinishAllTransitions();
    StopAllMovers();
  };
});

}  // namespace

TVellionObjMover::TVellionObjMover(TVellionObj* object, std::vector<QPoint> path, const Options& options)
    : object_(object), path_(std::move(path)), opt_(options) {
  if (object) {
    name_ = object->Name();
    window_ = object->window();
    start_ = object->pos();
    if (!opt_.leftTop) centre_ = QPoint(object->width() / 2, object->height() / 2);
  }
  cur_ = start_ + centre_;
}

TVellionObjMover::~TVellionObjMover() {
  if (timer_) TheClock().CancelTimer(timer_);
}

void TVellionObjMover::Start() {
  Registry().push_back(shared_from_this());
  if (!path_.empty()) Aim();
  std::weak_ptr<TVellionObjMover> weak = shared_from_this();
  timer_ = TheClock().StartTimer(0, [weak] {
    if (auto self = weak.lock()) self->Tick();
  });
}

void TVellionObjMover::Aim() {
  const QPoint t = path_[index_];
  const double dx = std::abs(t.x() - cur_.x()), dy = std::abs(t.y() - cur_.y());
  const double steps = std::max(dx, dy) / 2;
  sx_ = sy_ = 0;
  if (steps > 0) {
    sx_ = t.x() < cur_.x() ? -dx / steps : dx / steps;
    sy_ = t.y() < cur_.y() ? -dy / steps : dy / steps;
  }
  ex_ = cur_.x();
  ey_ = cur_.y();
}

bool TVellionObjMover::Advance() {
  const size_t n = path_.size();
  if (forward_) {
    if (index_ + 1 < n) {
      ++index_;
      return true;
    }
    if (opt_.mode != kMoveLoop) return false;
    // Back from the last point, which is reached already.
    forward_ = false;
    index_ = n >= 2 ? n - 2 : 0;
    return true;
  }
  if (index_ > 0) {
    --index_;
    return true;
  }
  forward_ = true;
  index_ = n >= 2 ? 1 : 0;
  return true;
}

void TVellionObjMover::Tick() {
  timer_ = 0;
  if (finished_) return;
  auto self = shared_from_this();  // End() drops the registry's hold
  if (!object_ || path_.empty()) return End();
  std::weak_ptr<TVellionObjMover> weak = self;
  auto next = [weak] {
    if (auto m = weak.lock()) m->Tick();
  };
  // Past the points already reached. A loop whose points are all where the
  // object stands has nothing to do but wait to be stopped.
  for (size_t turns = 0; cur_ == path_[index_]; ++turns) {
    if (turns > 2 * path_.size() + 2) {
      timer_ = TheClock().StartTimer(std::max<int64_t>(opt_.delayMs, 15), next);
      return;
    }
    if (!Advance()) return End();
    Aim();
  }
  const QPoint t = path_[index_];
  ex_ += sx_;
  ey_ += sy_;
  // Halves round to even, as the floating-point unit does by default.
  int x = static_cast<int>(std::nearbyint(ex_));
  int y = static_cast<int>(std::nearbyint(ey_));
  x = sx_ >= 0 ? std::min(x, t.x()) : std::max(x, t.x());
  y = sy_ >= 0 ? std::min(y, t.y()) : std::max(y, t.y());
  cur_ = QPoint(x, y);
  MoveObjectTo(cur_ - centre_);
  if (finished_) return;
  timer_ = TheClock().StartTimer(std::max(opt_.delayMs, kMinStepMs), next);
}

void TVellionObjMover::MoveObjectTo(QPoint topLeft) {
  TVellionObj* o = object_;
  if (!o || o->ObjType() == kObjectTypeTimer) return;
  if (auto* line = dynamic_cast<TVellionLine*>(o)) {
    // A line's widget is the box around its points: the points move along.
    const QPoint d = topLeft - o->pos();
    line->SetPoints(line->StartPoint() + d, line->EndPoint() + d);
  } else {
    o->move(topLeft);
  }
  o->OnRelayout();
}

void TVellionObjMover::Terminate() { End(); }

void TVellionObjMover::End() {
  if (finished_) return;
  finished_ = true;
  auto self = shared_from_this();
  if (timer_) {
    TheClock().CancelTimer(timer_);
    timer_ = 0;
  }
  if (opt_.restore && object_) MoveObjectTo(start_);
  if (!opt_.label.empty()) PostAction(window_ ? window_.data() : FallbackTarget(), opt_.label, kEventSubroutine, 0);
  auto& reg = Registry();
  reg.erase(std::remove(reg.begin(), reg.end(), self), reg.end());
}

std::vector<QPoint> ParseMoverPath(std::string_view text) {
  std::vector<QPoint> path;
  bool haveX = false;
  int x = 0;
  size_t pos = 0;
  while (pos <= text.size()) {
    size_t comma = text.find(',', pos);
    if (comma == std::string_view::npos) comma = text.size();
    const std::string_view field = text.substr(pos, comma - pos);
    int v = 0;
    if (PlainNumber(field)) {
      v = WholeOrZero(field);
    } else {
      const ExprResult r = EvaluateExpression(field, -1, false);
      if (!r.syntaxError) v = WholeOrZero(r.text);
    }
    if (haveX)
      path.emplace_back(x, v);
    else
      x = v;
    haveX = !haveX;
    pos = comma + 1;
  }
  return path;
}

TVellionObjMover::Options ParseMoverOptions(std::string_view speed, std::string_view options) {
  TVellionObjMover::Options o;
  Extended d = 0;
  if (TextToExtended(TrimView(speed), d))
    o.delayMs = d <= 0 ? 0 : d >= 3.6e6L ? 3600000 : static_cast<int64_t>(d);
  else
    o.delayMs = 15;
  o.mode = ContainsText(options, "Loop") ? kMoveLoop : ContainsText(options, "Wait") ? kMoveWait : kMoveOnce;
  o.restore = ContainsText(options, "Restore");
  o.leftTop = ContainsText(options, "LeftTop");
  return o;
}

std::shared_ptr<TVellionObjMover> IsMoving(std::string_view name) {
  for (const auto& m : Registry())
    if (!m->Finished() && SameTextInvariant(m->ObjectName(), name)) return m;
  return nullptr;
}

void StopAllMovers() {
  // Each one leaves the registry as it ends.
  const auto movers = Registry();
  for (const auto& m : movers) m->Terminate();
  Registry().clear();
}

int RunningMovers() { return static_cast<int>(Registry().size()); }

}  // namespace vl
