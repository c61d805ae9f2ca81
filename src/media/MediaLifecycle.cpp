// Sound and media take part in the publication's life: the publication's
// own words for a file that cannot be extracted reach the media list when it
// loads, and every playing medium stops when the window closes.
#include "media/MediaList.h"
#include "runtime/Lifecycle.h"
#include "runtime/Publication.h"

namespace vl {
namespace {

const LifecycleRegistrar kMedia("media", kLifeMedia, [](LifecycleParticipant& p) {
  p.load = [](LifecycleContext& ctx) {
    SetMediaExtractErrorText(ctx.publication ? ctx.publication->lang[TLangId::ExtractError] : AnsiString());
  };
  p.close = [](LifecycleContext&) { StopAllMedia(); };
});

}  // namespace
}  // namespace vl
