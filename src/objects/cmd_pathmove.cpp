// MoveObjectAlongPath and StopMovingObject.
#include "actions/CommandApi.h"
#include "actions/Interpreter.h"
#include "objects/PageObjects.h"
#include "objects/PathMover.h"
#include "runtime/Clock.h"
#include "runtime/Global.h"
#include "runtime/Host.h"

namespace vl {

namespace {

void DoMoveObjectAlongPath(CommandContext& c) {
  // A second movement of an object that moves is ignored.
  if (IsMoving(c.Arg(1))) return;
  const TFoundObject found = TheObjects().FindObject(c.Arg(1));
  if (!found) {
    ObjectNotFound(c.Arg(1));
    return;
  }
  TVellionObjMover::Options opt = ParseMoverOptions(c.Arg(3), c.Arg(4));
  opt.label = AnsiString(TrimView(c.Arg(5)));
  auto mover = std::make_shared<TVellionObjMover>(found.object, ParseMoverPath(c.Arg(2)), opt);
  mover->Start();
  if (opt.mode != kMoveWait) return;
  // "Wait": the action waits here while the movement runs on the clock.
  const bool lock = SuspendCount() > 0;
  if (lock) Interp().BlockingState(true);
  TheClock().RunUntil([&] { return mover->Finished() || c.ShouldStop(); }, -1);
  if (lock) Interp().BlockingState(false);
  if (!mover->Finished()) mover->Terminate();
}

void DoStopMovingObject(CommandContext& c) {
  const std::string_view name = TrimView(c.Arg(1));
  if (name.empty()) {
    StopAllMovers();
    return;
  }
  if (auto mover = IsMoving(name)) {
    mover->Terminate();
    return;
  }
  if (!TheObjects().FindObject(name)) ObjectNotFound(name);
}

const CommandBinder kBind{
    {cmd::MoveObjectAlongPath, DoMoveObjectAlongPath},
    {cmd::StopMovingObject, DoStopMovingObject},
};

}  // namespace

}  // namespace vl
