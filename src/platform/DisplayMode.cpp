#include "platform/DisplayMode.h"

#include <QGuiApplication>
#include <QPalette>
#include <QPointer>
#include <QScreen>
#include <QWidget>
#include <algorithm>
#include <cmath>
#include <cstdio>

namespace vl {

namespace {

// 0 and 1 both stand for the hardware's default rate, which says nothing.
bool RateKnown(int refresh) { return refresh > 1; }

bool Matches(const DisplayMode& m, int width, int height, int depth, int refresh) {
  return m.width == width && m.height == height && m.depth == depth && (refresh == 0 || m.refresh == refresh);
}

int SearchDepths(const std::vector<DisplayMode>& modes, const DisplayMode& want, int refresh) {
  for (int depth = want.depth; depth > 0; depth -= 8)
    for (size_t i = 0; i < modes.size(); ++i)
      if (Matches(modes[i], want.width, want.height, depth, refresh)) return static_cast<int>(i);
  return -1;
}

// Defined with the X11 code at the end of this file, away from the Qt headers
// its macros would break.
std::unique_ptr<DisplayBackend> MakeXRandrBackend();

}  // namespace

DisplayModeRequest MakeDisplayModeRequest(const DisplayMode& asked, const DisplayMode& current) {
  DisplayModeRequest r;
  r.mode = asked;
  if (!RateKnown(asked.refresh)) {
    r.mode.refresh = 0;
    if (RateKnown(current.refresh)) {
      r.mode.refresh = current.refresh;
      r.refreshTakenOver = true;
    }
  }
  return r;
}

int FindDisplayMode(const std::vector<DisplayMode>& modes, const DisplayModeRequest& request) {
  int found = SearchDepths(modes, request.mode, request.mode.refresh);
  if (found < 0 && request.refreshTakenOver) found = SearchDepths(modes, request.mode, 0);
  return found;
}

TDisplaySwitch::TDisplaySwitch(std::unique_ptr<DisplayBackend> backend) : backend_(std::move(backend)) {}

DisplayChange TDisplaySwitch::Change(int width, int height, int bits, const std::function<void()>& beforeSwitch) {
  if (!backend_) return DisplayChange::NotPossible;
  DisplayMode current;
  if (!backend_->Current(current)) return DisplayChange::NotPossible;
  if (!recorded_) {
    original_ = current;
    recorded_ = true;
  }
  return SwitchTo(MakeDisplayModeRequest(DisplayMode{width, height, bits, 0}, current), beforeSwitch);
}

DisplayChange TDisplaySwitch::Restore() {
  if (!backend_ || !recorded_) return DisplayChange::NotPossible;
  // The recorded rate is wanted, but another rate of the recorded size is
  // better than staying in the publication's mode.
  DisplayModeRequest r;
  r.mode = original_;
  if (!RateKnown(r.mode.refresh)) r.mode.refresh = 0;
  r.refreshTakenOver = r.mode.refresh != 0;
  return SwitchTo(r, {});
}

DisplayChange TDisplaySwitch::SwitchTo(const DisplayModeRequest& request, const std::function<void()>& beforeSwitch) {
  const int index = FindDisplayMode(backend_->Modes(), request);
  if (index < 0 || !backend_->Test(index)) return DisplayChange::NotPossible;
  if (beforeSwitch) beforeSwitch();
  return backend_->Apply(index) ? DisplayChange::Changed : DisplayChange::NotChanged;
}

// ---------------------------------------------------------------------------
// The player's switch

namespace {

QPointer<QWidget> gCover;

// A black backdrop, so nothing of the desktop shows around a smaller window
// while and after the screen changes. It never takes the focus from the
// player's own window, which is shown above it later.
void ShowCover() {
  if (gCover) return;
  QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen) return;
  auto* w = new QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus);
  w->setAttribute(Qt::WA_ShowWithoutActivating);
  QPalette p = w->palette();
  p.setColor(QPalette::Window, Qt::black);
  w->setPalette(p);
  w->setAutoFillBackground(true);
  w->setGeometry(screen->geometry());
  QObject::connect(screen, &QScreen::geometryChanged, w, [w](const QRect& r) { w->setGeometry(r); });
  w->show();
  gCover = w;
}

TDisplaySwitch* PlayerSwitch(bool create) {
  static std::unique_ptr<TDisplaySwitch> sw;
  if (!sw && create) sw = std::make_unique<TDisplaySwitch>(MakeXRandrBackend());
  return sw.get();
}

bool OnX11() {
  return QGuiApplication::instance() && QGuiApplication::platformName() == QLatin1String("xcb");
}

void Note(const char* what, int width, int height, int bits) {
  std::fprintf(stderr, "vellion: display mode %dx%d, %d bits %s\n", width, height, bits, what);
}

}  // namespace

DisplayChange ChangeDisplayMode(int width, int height, int bits, bool cover) {
  // Only an X server lets a program set the screen's mode; offscreen and
  // Wayland sessions keep theirs.
  if (!OnX11()) return DisplayChange::NotPossible;
  const DisplayChange r = PlayerSwitch(true)->Change(width, height, bits, cover ? ShowCover : std::function<void()>());
  if (r == DisplayChange::NotPossible) Note("not possible", width, height, bits);
  if (r == DisplayChange::NotChanged) Note("not changed", width, height, bits);
  return r;
}

void RestoreDisplayMode() {
  TDisplaySwitch* sw = PlayerSwitch(false);
  if (!sw || !sw->Recorded()) return;
  const DisplayMode& m = sw->RecordedMode();
  if (sw->Restore() != DisplayChange::Changed) Note("not restored", m.width, m.height, m.depth);
}

void FreeDisplayCover() { delete gCover.data(); }

}  // namespace vl

// ---------------------------------------------------------------------------
// XRandR

#if VL_HAVE_XRANDR
#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>

namespace vl {
namespace {

int gXError = 0;
int TrapXError(Display*, XErrorEvent* e) {
  gXError = e->error_code;
  return 0;
}

// Xlib's own handler ends the process on any error; a refused request must
// only make the call fail. The handler is global but our connection is the
// only Xlib one (Qt talks to the server through xcb).
class XErrorTrap {
 public:
  explicit XErrorTrap(Display* d) : d_(d) {
    XSync(d_, False);
    gXError = 0;
    old_ = XSetErrorHandler(TrapXError);
  }
  ~XErrorTrap() {
    XSync(d_, False);
    XSetErrorHandler(old_);
  }
  bool Failed() {
    XSync(d_, False);
    return gXError != 0;
  }

 private:
  Display* d_;
  int (*old_)(Display*, XErrorEvent*) = nullptr;
};

int RefreshOf(const XRRModeInfo& m) {
  if (m.hTotal == 0 || m.vTotal == 0) return 0;
  double lines = m.vTotal;
  if (m.modeFlags & RR_DoubleScan) lines *= 2;
  if (m.modeFlags & RR_Interlace) lines /= 2;
  return static_cast<int>(std::lround(static_cast<double>(m.dotClock) / (m.hTotal * lines)));
}

bool Sideways(Rotation r) { return (r & (RR_Rotate_90 | RR_Rotate_270)) != 0; }

struct ResourcesDeleter {
  void operator()(XRRScreenResources* p) const { XRRFreeScreenResources(p); }
};
struct OutputDeleter {
  void operator()(XRROutputInfo* p) const { XRRFreeOutputInfo(p); }
};
struct CrtcDeleter {
  void operator()(XRRCrtcInfo* p) const { XRRFreeCrtcInfo(p); }
};
using Resources = std::unique_ptr<XRRScreenResources, ResourcesDeleter>;
using OutputInfo = std::unique_ptr<XRROutputInfo, OutputDeleter>;
using CrtcInfo = std::unique_ptr<XRRCrtcInfo, CrtcDeleter>;

// The screen as it is now: the primary output (or the first connected one
// with a CRTC) and its CRTC.
struct Target {
  Resources res;
  OutputInfo output;
  RRCrtc crtcId = 0;
  CrtcInfo crtc;
};

class XRandrBackend final : public DisplayBackend {
 public:
  XRandrBackend() {
    dpy_ = XOpenDisplay(nullptr);
    if (!dpy_) return;
    int event = 0, error = 0, major = 0, minor = 0;
    if (!XRRQueryExtension(dpy_, &event, &error) || !XRRQueryVersion(dpy_, &major, &minor) ||
        major * 100 + minor < 102) {
      XCloseDisplay(dpy_);
      dpy_ = nullptr;
      return;
    }
    root_ = DefaultRootWindow(dpy_);
    depth_ = DefaultDepth(dpy_, DefaultScreen(dpy_));
  }
  ~XRandrBackend() override {
    if (dpy_) XCloseDisplay(dpy_);
  }

  bool Current(DisplayMode& mode) override {
    Target s;
    if (!Locate(s) || s.crtc->mode == 0) return false;
    const XRRModeInfo* info = ModeInfo(s.res.get(), s.crtc->mode);
    if (!info) return false;
    mode = Describe(*info, s.crtc->rotation);
    if (!haveOriginal_) {
      // The restore looks for the recorded size; the mode it was shown in is
      // offered first so the same one comes back, not a twin of its size.
      haveOriginal_ = true;
      originalMode_ = s.crtc->mode;
      const int screen = DefaultScreen(dpy_);
      originalScreen_ = {DisplayWidth(dpy_, screen), DisplayHeight(dpy_, screen), DisplayWidthMM(dpy_, screen),
                         DisplayHeightMM(dpy_, screen)};
    }
    return true;
  }

  std::vector<DisplayMode> Modes() override {
    ids_.clear();
    std::vector<DisplayMode> modes;
    Target s;
    if (!Locate(s)) return modes;
    std::vector<RRMode> ids(s.output->modes, s.output->modes + s.output->nmode);
    for (size_t i = 0; i < ids.size(); ++i)
      if (ids[i] == originalMode_ && i > 0) std::rotate(ids.begin(), ids.begin() + i, ids.begin() + i + 1);
    for (RRMode id : ids) {
      const XRRModeInfo* info = ModeInfo(s.res.get(), id);
      if (!info) continue;
      ids_.push_back(id);
      modes.push_back(Describe(*info, s.crtc->rotation));
    }
    return modes;
  }

  bool Test(int index) override {
    Target s;
    if (index < 0 || static_cast<size_t>(index) >= ids_.size() || !Locate(s)) return false;
    const XRRModeInfo* info = ModeInfo(s.res.get(), ids_[index]);
    if (!info || !std::count(s.output->modes, s.output->modes + s.output->nmode, ids_[index])) return false;
    int minW = 0, minH = 0, maxW = 0, maxH = 0;
    if (!XRRGetScreenSizeRange(dpy_, root_, &minW, &minH, &maxW, &maxH)) return false;
    const auto [w, h] = Needed(s, *info);
    return w <= maxW && h <= maxH;
  }

  bool Apply(int index) override {
    Target s;
    if (index < 0 || static_cast<size_t>(index) >= ids_.size() || !Locate(s)) return false;
    const RRMode id = ids_[index];
    const XRRModeInfo* info = ModeInfo(s.res.get(), id);
    if (!info) return false;
    const int screen = DefaultScreen(dpy_);
    const ScreenSize before{DisplayWidth(dpy_, screen), DisplayHeight(dpy_, screen), DisplayWidthMM(dpy_, screen),
                            DisplayHeightMM(dpy_, screen)};
    const auto [needW, needH] = Needed(s, *info);
    XErrorTrap trap(dpy_);
    // A CRTC must lie inside the screen: a larger mode grows the screen
    // first, keeping its pixel density.
    bool grew = false;
    if (needW > before.w || needH > before.h) {
      const int w = std::max(needW, before.w), h = std::max(needH, before.h);
      XRRSetScreenSize(dpy_, root_, w, h, before.w ? before.mmW * w / before.w : before.mmW,
                       before.h ? before.mmH * h / before.h : before.mmH);
      if (trap.Failed()) return false;
      grew = true;
    }
    const Status st = XRRSetCrtcConfig(dpy_, s.res.get(), s.crtcId, CurrentTime, s.crtc->x, s.crtc->y, id,
                                       s.crtc->rotation, s.crtc->outputs, s.crtc->noutput);
    if (st != RRSetConfigSuccess || trap.Failed()) {
      if (grew) XRRSetScreenSize(dpy_, root_, before.w, before.h, before.mmW, before.mmH);
      return false;
    }
    // Back in the recorded mode, the screen gets back its recorded size.
    if (haveOriginal_ && id == originalMode_ && (before.w != originalScreen_.w || before.h != originalScreen_.h)) {
      XRRSetScreenSize(dpy_, root_, originalScreen_.w, originalScreen_.h, originalScreen_.mmW, originalScreen_.mmH);
      trap.Failed();  // a screen left larger than its mode loses nothing
    }
    return true;
  }

 private:
  struct ScreenSize {
    int w = 0, h = 0, mmW = 0, mmH = 0;
  };

  bool Locate(Target& s) {
    if (!dpy_) return false;
    s.res.reset(XRRGetScreenResourcesCurrent(dpy_, root_));
    if (!s.res) return false;
    auto usable = [&](RROutput id) {
      OutputInfo o(XRRGetOutputInfo(dpy_, s.res.get(), id));
      if (!o || o->connection != RR_Connected || o->crtc == 0) return false;
      CrtcInfo c(XRRGetCrtcInfo(dpy_, s.res.get(), o->crtc));
      if (!c) return false;
      s.crtcId = o->crtc;
      s.output = std::move(o);
      s.crtc = std::move(c);
      return true;
    };
    const RROutput primary = XRRGetOutputPrimary(dpy_, root_);
    if (primary && usable(primary)) return true;
    for (int i = 0; i < s.res->noutput; ++i)
      if (usable(s.res->outputs[i])) return true;
    return false;
  }

  static const XRRModeInfo* ModeInfo(const XRRScreenResources* res, RRMode id) {
    for (int i = 0; i < res->nmode; ++i)
      if (res->modes[i].id == id) return &res->modes[i];
    return nullptr;
  }

  DisplayMode Describe(const XRRModeInfo& m, Rotation r) const {
    const int w = static_cast<int>(m.width), h = static_cast<int>(m.height);
    return Sideways(r) ? DisplayMode{h, w, depth_, RefreshOf(m)} : DisplayMode{w, h, depth_, RefreshOf(m)};
  }

  static std::pair<int, int> Needed(const Target& s, const XRRModeInfo& m) {
    int w = static_cast<int>(m.width), h = static_cast<int>(m.height);
    if (Sideways(s.crtc->rotation)) std::swap(w, h);
    return {s.crtc->x + w, s.crtc->y + h};
  }

  Display* dpy_ = nullptr;
  Window root_ = 0;
  int depth_ = 0;
  bool haveOriginal_ = false;
  RRMode originalMode_ = 0;
  ScreenSize originalScreen_;
  std::vector<RRMode> ids_;  // the XRandR modes behind the last Modes()
};

std::unique_ptr<DisplayBackend> MakeXRandrBackend() { return std::make_unique<XRandrBackend>(); }

}  // namespace
}  // namespace vl

#else

namespace vl {
namespace {
std::unique_ptr<DisplayBackend> MakeXRandrBackend() { return nullptr; }
}  // namespace
}  // namespace vl

#endif
