// The picture cache takes its capacity from CACHESIZE= when the publication
// loads and is emptied once the objects showing its pictures are gone.
#include "runtime/Lifecycle.h"
#include "images/PictureCache.h"
#include "runtime/Publication.h"

namespace vl {
namespace {

const LifecycleRegistrar kPictures("pictures", kLifePictures, [](LifecycleParticipant& p) {
  p.load = [](LifecycleContext& ctx) {
    if (ctx.publication) ThePictureCache().SetCacheCapacity(ctx.publication->settings.cacheSize);
  };
});

const LifecycleRegistrar kPicturesFreed("pictures.free", kLifePicturesFreed, [](LifecycleParticipant& p) {
  p.destroy = [](LifecycleContext&) { ThePictureCache().ClearCache(); };
});

}  // namespace
}  // namespace vl
