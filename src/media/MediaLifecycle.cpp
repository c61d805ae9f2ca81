// Sound and media take part in the publication's life: the publication's
// own words for a file that cannot be extracted reach the media list when it
// loads, a windowed run gets the media host that really sounds, and every
// playing medium stops when the window closes.
#include <QGuiApplication>
#include <cstdio>
#include <memory>

#include "media/MediaList.h"
#include "media/QtMediaHost.h"
#include "runtime/Lifecycle.h"
#include "runtime/Publication.h"

namespace vl {
namespace {

std::unique_ptr<QtMediaHost>& RealHost() {
  static std::unique_ptr<QtMediaHost> host;
  return host;
}

// Only a run someone can hear sounds: headless runs and the off-screen and
// minimal platforms (the test suites) keep the silent host, so they never
// reach for an audio server or the machine's mixer.
bool WantsRealSound(const LifecycleContext& ctx) {
  if (ctx.headless || !qGuiApp) return false;
  const QString platform = QGuiApplication::platformName();
  return platform != "offscreen" && platform != "minimal";
}

void InstallRealHost() {
  if (RealHost()) return;
  if (!RealMediaHostBuilt()) {
    std::fprintf(stderr, "vellion: %s; sounds play silently\n", QtMediaHost::MissingParts().c_str());
    return;
  }
  if (std::string missing = QtMediaHost::MissingParts(); !missing.empty())
    std::fprintf(stderr, "vellion: %s; those files will not sound\n", missing.c_str());
  RealHost() = std::make_unique<QtMediaHost>();
  SetMediaHost(RealHost().get());
}

const LifecycleRegistrar kMedia("media", kLifeMedia, [](LifecycleParticipant& p) {
  p.load = [](LifecycleContext& ctx) {
    SetMediaExtractErrorText(ctx.publication ? ctx.publication->lang[TLangId::ExtractError] : AnsiString());
    if (WantsRealSound(ctx)) InstallRealHost();
  };
  p.close = [](LifecycleContext&) { StopAllMedia(); };
  // The sinks belong to the application: they go before it does.
  p.destroy = [](LifecycleContext&) {
    StopAllMedia();
    if (RealHost()) {
      SetMediaHost(nullptr);
      RealHost().reset();
    }
  };
});

}  // namespace
}  // namespace vl
