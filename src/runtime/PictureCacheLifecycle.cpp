// The picture cache takes its capacity from CACHESIZE= when the publication
// loads and is emptied once the objects showing its pictures are gone.
#include "runtime/Lifecycle.h"
#include "runtime/PictureCache.h"
#include "runtime/Publication.h"

namespace vl {
namespace {

const LifecycleRegistrar kPictures{{
    .name = "pictures",
    .order = kLifePictures,
    .load =
        [](LifecycleContext& ctx) {
          if (ctx.publication) ThePictureCache().SetCacheCapacity(ctx.publication->settings.cacheSize);
        },
}};

const LifecycleRegistrar kPicturesFreed{{
    .name = "pictures.free",
    .order = kLifePicturesFreed,
    .destroy = [](LifecycleContext&) { ThePictureCache().ClearCache(); },
}};

}  // namespace
}  // namespace vl
