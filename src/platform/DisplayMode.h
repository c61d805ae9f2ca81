#pragma once
// Switching the display to the mode a publication asks for at start-up, and
// back when its package closes.
//
// The search is plain code over a list of modes so it can be checked without
// a screen; the screen's side (XRandR on an X server) sits behind
// `DisplayBackend`. Under XRandR the colour depth is the X screen's root
// depth, fixed for the life of the server: every mode it offers carries that
// depth, so a publication asking for another depth finds its size only after
// the search has lowered the depth far enough.
#include <functional>
#include <memory>
#include <vector>

namespace vl {

struct DisplayMode {
  int width = 0;
  int height = 0;
  int depth = 0;    // bits per pixel
  int refresh = 0;  // Hz; 0 = unknown (a current mode) or any (a request)
};

struct DisplayModeRequest {
  DisplayMode mode;
  bool refreshTakenOver = false;  // the rate is the current one, not asked for
};

// When no rate is asked for and the current one is known, the current rate is
// asked for (and noted as taken over), so a switch does not also change the
// rate unless it has to.
DisplayModeRequest MakeDisplayModeRequest(const DisplayMode& asked, const DisplayMode& current);

// The first mode with exactly the size, depth and (when asked) rate; else the
// same with the depth lowered by 8 while it stays above 0; else, when the
// rate was taken over, all of it again accepting any rate. Returns the index
// into `modes`, or -1.
int FindDisplayMode(const std::vector<DisplayMode>& modes, const DisplayModeRequest& request);

// The screen's side of a switch.
class DisplayBackend {
 public:
  virtual ~DisplayBackend() = default;
  // The mode shown now; false when the screen cannot be asked.
  virtual bool Current(DisplayMode& mode) = 0;
  virtual std::vector<DisplayMode> Modes() = 0;
  // Whether `Apply(index)` may succeed, changing nothing.
  virtual bool Test(int index) = 0;
  virtual bool Apply(int index) = 0;
};

enum class DisplayChange {
  Changed,
  NotPossible,  // no screen to switch, or no mode fits
  NotChanged,   // a mode fits but the screen refused it; nothing was lost
};

// The start-up switch: records the mode shown the first time it is asked,
// switches, and restores the recorded mode when asked.
class TDisplaySwitch {
 public:
  explicit TDisplaySwitch(std::unique_ptr<DisplayBackend> backend);

  // `beforeSwitch` runs once a mode was found and accepted by the test call,
  // just before the switch (the black cover of the screen).
  DisplayChange Change(int width, int height, int bits, const std::function<void()>& beforeSwitch = {});
  // Back to the mode recorded by the first `Change`, with the same search.
  DisplayChange Restore();
  bool Recorded() const { return recorded_; }
  const DisplayMode& RecordedMode() const { return original_; }

 private:
  DisplayChange SwitchTo(const DisplayModeRequest& request, const std::function<void()>& beforeSwitch);

  std::unique_ptr<DisplayBackend> backend_;
  bool recorded_ = false;
  DisplayMode original_;
};

// The player's switch: XRandR on the "xcb" platform, nothing anywhere else
// (offscreen, Wayland, or a build without XRandR): those give NotPossible.
// `cover` shows the black window over the whole screen before the switch.
DisplayChange ChangeDisplayMode(int width, int height, int bits, bool cover);
void RestoreDisplayMode();
// Frees the black window (the main window's close).
void FreeDisplayCover();

}  // namespace vl
