// The invisible timer object: ticks through the one clock, publishes its
// elapsed time in a variable, runs its action at once on every tick.
#include <cstdlib>

#include "actions/Interpreter.h"
#include "actions/Vars.h"
#include "objects/ObjTimer.h"
#include "objects/PageObjects.h"

namespace vl {

TVellionTimer::TVellionTimer(QWidget* owner, int objType) : TVellionObj(owner, objType) {
  SetFixedTransparency(true);
  TVellionObj::resize(32, 32);
  VisibleState = false;
  timer_.SetOnTimer([this] { Tick(); });
}

TVellionTimer::~TVellionTimer() { timer_.Stop(); }

bool TVellionTimer::ApplyKey(const TObjectKey& key, const TObjectReadContext& ctx) {
  switch (key.id) {
    case TPubKey::W:
    case TPubKey::H:
    case TPubKey::Visible: return true;  // it keeps its size and stays hidden
    case TPubKey::Interval: Interval = std::llabs(static_cast<int64_t>(key.number)); return true;
    case TPubKey::AutoStart: AutoStart = key.flag; return true;
    case TPubKey::AutoStop: AutoStop = key.flag; return true;
    case TPubKey::RunOnce: RunOnce = key.flag; return true;
    case TPubKey::VarName: VarName = key.raw.empty() ? AnsiString() : NormalizeVarName(key.raw); return true;
    case TPubKey::ObjAction: TimerAction = key.Action(); return true;
    default: return TVellionObj::ApplyKey(key, ctx);
  }
}

void TVellionTimer::Arm() {
  // An interval of 0 never fires.
  if (Interval > 0)
    timer_.SetInterval(Interval);
  else
    timer_.Stop();
}

void TVellionTimer::Start(int64_t interval) {
  timer_.Stop();
  Interval = interval < 0 ? -interval : interval;
  startTick_ = TheClock().NowMs();
  Arm();
  running_ = true;
  Publish();
}

void TVellionTimer::Stop() {
  timer_.Stop();
  running_ = false;
  Publish();
}

void TVellionTimer::Publish() {
  if (VarName.empty()) return;
  SetVariable(VarName, std::to_string(TheClock().NowMs() - startTick_));
}

void TVellionTimer::Tick() {
  timer_.Stop();
  if (RunOnce) running_ = false;
  Publish();
  if (!TimerAction.empty()) RunObjectAction(TimerAction, evTimer, kFlagSuspended);
  // The next tick comes one interval after the action ended, so a long
  // action never overlaps the next one; a stop from the action ends it.
  if (running_ && !paused_) Arm();
}

void TVellionTimer::OnPageShown() {
  if (!AutoStart) return;
  if (running_)
    Arm();
  else
    Start(Interval);
}

void TVellionTimer::OnPageLeave() {
  if (!AutoStop) return;
  timer_.Stop();
  running_ = false;
}

void TVellionTimer::OnModalState(bool ended) {
  paused_ = !ended;
  if (!running_) return;
  if (ended)
    Arm();
  else
    timer_.Stop();
}

void TVellionTimer::OnShutdown() { timer_.Stop(); }

VL_REGISTER_OBJECT(15, TVellionTimer);

}  // namespace vl
