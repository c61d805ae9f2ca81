// The machine's side of the publication's life: the fonts packaged with the
// publication become application fonts while it runs (they are released
// after the package, whose closing removes them), and the black cover of a
// display switch goes with the window.
#include "platform/AppFonts.h"
#include "platform/DisplayMode.h"
#include "runtime/Lifecycle.h"
#include "runtime/Package.h"

namespace vl {
namespace {

TAppFontRegistry& AppFonts() {
  static TAppFontRegistry fonts;
  return fonts;
}

const LifecycleRegistrar kFonts("fonts", kLifeFonts, [](LifecycleParticipant& p) {
  p.load = [](LifecycleContext& ctx) {
    SetFontRegistry(&AppFonts());
    if (ctx.package) ctx.package->InstallEmbeddedFonts();
  };
});

const LifecycleRegistrar kFontsFreed("fonts.free", kLifeFontsFreed, [](LifecycleParticipant& p) {
  p.destroy = [](LifecycleContext&) { SetFontRegistry(nullptr); };
});

const LifecycleRegistrar kDisplay("display", kLifeDisplay, [](LifecycleParticipant& p) {
  p.close = [](LifecycleContext&) { FreeDisplayCover(); };
});

}  // namespace
}  // namespace vl
