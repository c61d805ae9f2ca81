// The package takes part in the publication's life: plug-ins are prepared
// at start, the embedded-file list goes at the close, and the package is
// closed last of all, deleting what was extracted.
#include "runtime/Lifecycle.h"
#include "runtime/Package.h"

namespace vl {
namespace {

const LifecycleRegistrar kPlugIns("plug-ins", kLifePlugIns, [](LifecycleParticipant& p) {
  p.start = [](LifecycleContext& ctx) {
    if (ctx.package) ctx.package->PreparePlugIns();
  };
});

const LifecycleRegistrar kPackage("package", kLifePackage, [](LifecycleParticipant& p) {
  p.close = [](LifecycleContext& ctx) {
    if (ctx.package) ctx.package->ClearEmbeddedFiles();
  };
  p.destroy = [](LifecycleContext& ctx) {
    if (ctx.package) ctx.package->ClosePackage(true);
  };
});

}  // namespace
}  // namespace vl
