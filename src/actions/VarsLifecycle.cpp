// The variable store takes part in the publication's life: the error box
// takes its settings from the publication when it loads, and the variables
// are cleared when it goes (a chained load keeps them unless asked not to).
#include "actions/Vars.h"
#include "runtime/Lifecycle.h"
#include "runtime/Package.h"
#include "runtime/Publication.h"

namespace vl {
namespace {

void LoadSettings(LifecycleContext& ctx) {
  if (!ctx.publication) return;
  const TPublication& pub = *ctx.publication;
  VarsEnvironment& env = VarsEnv();
  env.showErrors = pub.settings.showErrors;
  env.errorTitle = pub.lang[TLangId::ErrorTitle];
  env.okText = pub.lang[TLangId::Ok].empty() ? AnsiString("OK") : pub.lang[TLangId::Ok];
  env.alertBoxImage = pub.settings.alertBoxImage;
  if (ctx.package) env.runMode = ctx.package->Header().RunMode;
}

const LifecycleRegistrar kVariables("variables", kLifeVariables, [](LifecycleParticipant& p) { p.load = LoadSettings; });

const LifecycleRegistrar kVariablesCleared("variables.clear", kLifeVariablesCleared, [](LifecycleParticipant& p) {
  p.destroy = [](LifecycleContext& ctx) {
    if (!ctx.chained || ctx.clearVariables) ClearAllVariables();
  };
});

}  // namespace
}  // namespace vl
