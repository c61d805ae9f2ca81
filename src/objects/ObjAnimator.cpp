// The animator: an animated GIF whose frames are clock steps.
#include "objects/ObjAnimator.h"

#include <QPainter>
#include <QResizeEvent>
#include <algorithm>
#include <cstdlib>
#include <fstream>

#include "images/Decoders.h"
#include "objects/PageObjects.h"
#include "runtime/NativePath.h"
#include "runtime/Package.h"

namespace vl {

namespace {

// The file's bytes from the publication's packed files, else from disk;
// false when it is neither or too large to be a picture we read.
bool ReadPictureBytes(const AnsiString& name, std::string& out) {
  out.clear();
  if (name.empty()) return false;
  if (ThePackage().FindEntry(name)) return ThePackage().LoadEntryToMemory(name, out) == kLoadOk;
  std::ifstream f(NativePath(name), std::ios::binary | std::ios::ate);
  if (!f) return false;
  const std::streamoff size = f.tellg();
  if (size <= 0 || size > kMaxImageFileBytes) return false;
  out.resize(static_cast<size_t>(size));
  f.seekg(0);
  return static_cast<bool>(f.read(out.data(), size));
}

}  // namespace

TVellionAnimator::TVellionAnimator(QWidget* owner, int objType) : TVellionObj(owner, objType) {
  timer_.SetOnTimer([this] { Step(); });
}

TVellionAnimator::~TVellionAnimator() = default;

bool TVellionAnimator::ApplyKey(const TObjectKey& key, const TObjectReadContext& ctx) {
  switch (key.id) {
    case TPubKey::FileName: SetImageFile(key.raw); return true;
    case TPubKey::AutoSize: AutoSizing = key.flag; return true;
    case TPubKey::AutoStart: AutoStart = key.flag; return true;
    case TPubKey::AutoRewind: AutoRewind = key.flag; return true;
    case TPubKey::LoopTimes: LoopCount = key.number == INT32_MIN ? 0 : std::abs(key.number); return true;
    case TPubKey::ObjDoneAction: DoneAction = key.Action(); return true;
    default: return TVellionObj::ApplyKey(key, ctx);
  }
}

void TVellionAnimator::SetImageFile(std::string_view name) {
  if (name == imageFile_) return;
  imageFile_ = AnsiString(name);
  usesVariables_ = imageFile_.find('[') != AnsiString::npos;
  if (usesVariables_) WatchVariablesIn(imageFile_);
  if (imageFile_.empty()) {
    Halt();
    playing_ = false;
    ClearPicture();
    return;
  }
  if (!Reading()) Load();
}

void TVellionAnimator::ClearPicture() {
  Halt();
  frozen_ = -1;
  gif_.Clear();
  update();
}

void TVellionAnimator::Load() {
  if (!showing_ || !VisibleState) return;
  Halt();
  frozen_ = -1;
  std::string data;
  const AnsiString name = ResolveObjectFileName(imageFile_);
  // A file that is missing or damaged leaves the object empty.
  if (!ReadPictureBytes(name, data) || !gif_.Load(std::move(data))) {
    gif_.Clear();
    update();
    return;
  }
  FitToPicture();
  if (playing_ || AutoStart)
    Play(LoopCount);
  else
    update();
}

void TVellionAnimator::FitToPicture() {
  if (!AutoSizing || gif_.Empty() || fitting_) return;
  const int lw = LineWidth();
  const QSize want(std::min(gif_.Width() + 2 * lw, kMaxObjectExtent), std::min(gif_.Height() + 2 * lw, kMaxObjectExtent));
  if (size() == want) return;
  fitting_ = true;
  resize(want);
  fitting_ = false;
}

void TVellionAnimator::resizeEvent(QResizeEvent* e) {
  TVellionObj::resizeEvent(e);
  FitToPicture();
}

void TVellionAnimator::Halt() { timer_.Stop(); }

void TVellionAnimator::Play(int n) {
  if (gif_.Empty()) return;
  Halt();
  LoopCount = n == INT32_MIN ? 0 : std::abs(n);
  loops_ = 0;
  // Playback goes on from a frozen frame (unless it froze on the last one),
  // else it starts from the first.
  if (frozen_ >= 0 && frozen_ < gif_.FrameCount() - 1)
    gif_.ShowFrame(frozen_);
  else
    gif_.Rewind();
  frozen_ = -1;
  playing_ = true;
  update();
  Schedule();
}

void TVellionAnimator::Schedule() {
  // A single picture playing for ever has nothing to step through.
  if (gif_.FrameCount() <= 1 && LoopCount == 0) return;
  timer_.SetInterval(gif_.DelayMs(gif_.CurrentFrame()));
}

void TVellionAnimator::Step() {
  if (gif_.Empty()) return;
  if (gif_.CurrentFrame() + 1 >= gif_.FrameCount() && LoopCount > 0 && ++loops_ >= LoopCount) {
    // The last pass has ended.
    playing_ = false;
    frozen_ = -1;
    if (AutoRewind) gif_.Rewind();
    update();
    RunObjectAction(DoneAction, evDone, 0);
    return;
  }
  gif_.Advance();
  update();
  Schedule();
}

void TVellionAnimator::StopCommand() {
  if (!AutoRewind && Animating()) {
    frozen_ = gif_.CurrentFrame();
    Halt();
    playing_ = false;
    return;
  }
  Halt();
  gif_.Rewind();
  playing_ = false;
  update();
}

void TVellionAnimator::Reload() {
  const bool again = playing_ || AutoStart;
  Halt();
  playing_ = again;
  Load();
}

void TVellionAnimator::SetVisibleState(bool on) {
  const bool was = VisibleState;
  TVellionObj::SetVisibleState(on);
  if (!showing_ || was == on) return;
  if (!on)
    ClearPicture();
  else if (!imageFile_.empty())
    Load();
}

void TVellionAnimator::OnPageEnter() {
  showing_ = true;
  if (!imageFile_.empty()) Load();
  TVellionObj::OnPageEnter();
}

void TVellionAnimator::OnPageLeave() {
  ClearPicture();
  showing_ = false;
  TVellionObj::OnPageLeave();
}

void TVellionAnimator::OnPageShown() {
  if (VisibleState && (playing_ || AutoStart)) Play(LoopCount);
  TVellionObj::OnPageShown();
}

void TVellionAnimator::OnVarChanged(const AnsiString& bracketName, const AnsiString& value) {
  if (usesVariables_ && TextUsesVariable(imageFile_, bracketName)) Load();
  TVellionObj::OnVarChanged(bracketName, value);
}

void TVellionAnimator::DrawShape(QPainter& p) {
  if (gif_.Empty()) return TVellionObj::DrawShape(p);
  const int lw = LineWidth();
  const QRect inner = rect().adjusted(lw, lw, -lw, -lw);
  const QRect image = QRect(QPoint(lw, lw), gif_.Canvas().size()) & inner;
  p.save();
  // What an opaque animation covers needs no fill below it.
  if (gif_.Opaque()) p.setClipRegion(QRegion(rect()) - image, Qt::IntersectClip);
  TVellionObj::DrawShape(p);
  p.restore();
  p.save();
  p.setClipRect(inner, Qt::IntersectClip);
  p.drawImage(QPoint(lw, lw), gif_.Canvas());
  p.restore();
}

VL_REGISTER_OBJECT(19, TVellionAnimator);

// GetObjectInfo: the file (7).
bool TVellionAnimator::CommandInfo(int word, AnsiString& out) const {
  if (word != 7) return false;
  out = imageFile_;
  return true;
}

}  // namespace vl
