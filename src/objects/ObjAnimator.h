#pragma once
// TVellionAnimator: plays an animated GIF a given number of times (or for
// ever), each frame for its own delay, then runs its done action. Frames
// advance on the one clock, one timer step per frame, so a headless run
// shows the same frame at the same virtual time every time.
#include <string_view>

#include "images/GifAnimation.h"
#include "objects/VellionObj.h"
#include "runtime/Clock.h"

namespace vl {

class TVellionAnimator : public TVellionObj {
 public:
  TVellionAnimator(QWidget* owner, int objType);
  ~TVellionAnimator() override;

  // --- published properties
  bool Showing() const { return showing_; }
  bool AutoSizing = true;
  const AnsiString& ImageFile() const { return imageFile_; }
  bool AutoStart = true;
  bool AutoRewind = true;
  int LoopCount = 0;  // 0: for ever
  AnsiString DoneAction;

  // A different non-empty name reloads; an empty one stops (back to the
  // first frame) and clears the picture.
  void SetImageFile(std::string_view name);
  // SetObjectFileName's way in: the animator always takes a file name.
  bool SetFileName(std::string_view name) {
    SetImageFile(name);
    return true;
  }
  // The object commands' ways in.
  bool CommandSetFileName(const AnsiString& file) override { return SetFileName(file); }
  bool CommandInfo(int word, AnsiString& out) const override;
  bool CommandRefresh() override {
    Reload();
    return true;
  }
  // GIFPlay: only with a picture; plays |n| passes (0 for ever), from the
  // frame GIFStop froze when there is one.
  void Play(int n);
  // GIFStop: with AutoRewind back to the first frame, else frozen where it
  // is (a later Play goes on from there).
  void StopCommand();
  // RefreshObject: stop, read the file again, and play again if it was
  // playing or AutoStart is set.
  void Reload();

  bool Playing() const { return playing_; }
  bool Animating() const { return timer_.Running(); }
  bool HasPicture() const { return !gif_.Empty(); }
  int CurrentFrame() const { return gif_.CurrentFrame(); }
  int FrameCount() const { return gif_.FrameCount(); }
  const TGifAnimation& Animation() const { return gif_; }

  bool ApplyKey(const TObjectKey& key, const TObjectReadContext& ctx) override;
  void SetVisibleState(bool on) override;
  void DrawShape(QPainter& p) override;
  void OnPageEnter() override;
  void OnPageLeave() override;
  void OnPageShown() override;
  void OnVarChanged(const AnsiString& bracketName, const AnsiString& value) override;

 protected:
  void resizeEvent(QResizeEvent* e) override;

 private:
  void Load();
  void ClearPicture();
  // Switches the animation off; the frame shown stays.
  void Halt();
  void Step();
  void Schedule();
  void FitToPicture();

  AnsiString imageFile_;
  bool usesVariables_ = false;
  bool showing_ = false;
  bool playing_ = false;
  int loops_ = 0;
  int frozen_ = -1;  // the frame GIFStop froze, -1 none
  bool fitting_ = false;
  TGifAnimation gif_;
  TVelTimer timer_;
};

}  // namespace vl
