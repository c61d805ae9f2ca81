// The page objects take part in the publication's life: the start notice
// (told whether the publication starts in place of another), the close, the
// variable changes, the modal states and the page switch reach every object
// through TheObjects() in the order the player promises.
#include "objects/PageObjects.h"
#include "runtime/Lifecycle.h"

namespace vl {
namespace {

const LifecycleRegistrar kObjects("objects", kLifeObjects, [](LifecycleParticipant& p) {
  p.start = [](LifecycleContext& ctx) { TheObjects().Start({.chainedStart = ctx.chained}); };
  p.shutdown = [](LifecycleContext&) { TheObjects().Shutdown(); };
  p.varChanged = [](const AnsiString& name, const AnsiString& value) { TheObjects().VarChanged(name, value); };
  p.modalState = [](bool ended) { TheObjects().ModalState(ended); };
  p.pageLeave = [](int page, bool master) { TheObjects().PageLeave(page, master); };
  p.pageEnter = [](int page, bool master) { TheObjects().PageEnter(page, master); };
  p.pageShown = [](int page, bool master) { TheObjects().PageShown(page, master); };
});

// The objects go before the variables are cleared and before the pictures
// they show leave the cache.
const LifecycleRegistrar kObjectsFreed("objects.free", kLifeObjectsFreed, [](LifecycleParticipant& p) {
  p.destroy = [](LifecycleContext&) { TheObjects().Clear(); };
});

}  // namespace
}  // namespace vl
