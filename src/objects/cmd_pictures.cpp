// The picture and animator commands: GIFPlay, GIFStop and PictureMagnify.
// Each finds its object first (an unknown name is reported as such); on an
// object of another kind it does nothing.
#include <algorithm>
#include <cstdint>

#include "actions/CmdArgs.h"
#include "actions/CommandApi.h"
#include "actions/Vars.h"
#include "objects/ObjAnimator.h"
#include "objects/ObjPicture.h"
#include "objects/PageObjects.h"

namespace vl {
namespace {

// The object named by argument 1, with [LastError] cleared; null (reported)
// when there is none.
TVellionObj* FindFor(CommandContext& c) {
  TFoundObject f = TheObjects().FindObject(c.Arg(1));
  if (!f) {
    ObjectNotFound(c.Arg(1));
    return nullptr;
  }
  SetLastError("");
  return f.object;
}

int WholeInt(std::string_view text) {
  return static_cast<int>(std::clamp<int64_t>(WholeArg(text), -INT32_MAX, INT32_MAX));
}

void DoGIFPlay(CommandContext& c) {
  if (auto* a = dynamic_cast<TVellionAnimator*>(FindFor(c)))
    if (a->Showing() && a->HasPicture()) a->Play(WholeInt(c.Arg(2)));
}

void DoGIFStop(CommandContext& c) {
  if (auto* a = dynamic_cast<TVellionAnimator*>(FindFor(c))) a->StopCommand();
}

void DoPictureMagnify(CommandContext& c) {
  if (auto* p = dynamic_cast<TVellionPicture*>(FindFor(c))) p->SetZoomFactor(WholeInt(c.Arg(2)));
}

const CommandBinder kBind{
    {cmd::GIFPlay, DoGIFPlay}, {cmd::GIFStop, DoGIFStop}, {cmd::PictureMagnify, DoPictureMagnify}};

}  // namespace
}  // namespace vl
