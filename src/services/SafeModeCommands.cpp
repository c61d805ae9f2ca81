// Safe mode's side of the commands (platform/SafeMode.h): the commands that
// reach beyond the player are refused, the file commands report a name the
// confinement refused as safe mode's refusal, and the registry commands use
// a store in the publication's data folder. Set up when the publication
// loads, once its extraction folder is known.
#include <QString>
#include <memory>
#include <unordered_map>

#include "actions/CmdArgs.h"
#include "actions/CommandApi.h"
#include "actions/Vars.h"
#include "platform/SafeMode.h"
#include "runtime/Host.h"
#include "runtime/Lifecycle.h"
#include "runtime/Package.h"
#include "runtime/Trace.h"
#include "services/RegistryCommands.h"
#include "services/SafeModeCommands.h"

namespace vl {
namespace {

std::unordered_map<int32_t, CommandHandler>& Originals() {
  static std::unordered_map<int32_t, CommandHandler> m;
  return m;
}

void Refuse(CommandContext& c) { SetLastError(SafeRefusalMessage(c.Record().name, "")); }

AnsiString gCommand;  // the confined command running

// The refusal noted since the command began, as its message, taken once:
// the error the command then reports is the refusal, not its own.
AnsiString TakeRefusal() {
  if (LastSafeRefusal().empty()) return {};
  AnsiString m = SafeRefusalMessage(gCommand, LastSafeRefusal());
  ClearSafeRefusal();
  return m;
}

// Runs the command; a name the confinement refused makes the refusal the
// command's result, also for a command that reports nothing otherwise
// (FileExists).
void Confined(CommandContext& c) {
  ClearSafeRefusal();
  gCommand = c.Record().name;
  auto it = Originals().find(c.Record().id);
  if (it != Originals().end() && it->second) it->second(c);
  if (AnsiString m = TakeRefusal(); !m.empty()) SetLastError(m);
  gCommand.clear();
}

// Plug-ins are libraries of native code: none is loaded.
class RefusingPlugInLoader : public PlugInLoader {
 public:
  void LoadPlugIn(const AnsiString& path) override {
    trace::Record({"error", "Safe mode refused plug-in: " + path});
  }
};

std::unordered_map<int32_t, CommandHandler>& RefusedOriginals() {
  static std::unordered_map<int32_t, CommandHandler> m;
  return m;
}

void Bind() {
  for (int32_t id : SafeRefusedCommands()) {
    CommandHandler h = BoundHandler(id);
    if (h == Refuse) continue;
    RefusedOriginals()[id] = h;
    BindCommand(id, Refuse);
  }
  for (int32_t id : SafeConfinedCommands()) {
    CommandHandler h = BoundHandler(id);
    if (!h || h == Confined) continue;  // not built, or wrapped already
    Originals()[id] = h;
    BindCommand(id, Confined);
  }
}

std::unique_ptr<RegistryStore>& Store() {
  static std::unique_ptr<RegistryStore> store;
  return store;
}

const LifecycleRegistrar kSafeMode("safe-mode", kLifeSafeMode, [](LifecycleParticipant& p) {
  p.load = [](LifecycleContext& ctx) {
    if (SafeModeOn() && ctx.package)
      ApplySafeMode(ctx.package->HostPath(), ctx.package->HostFolder(), ctx.package->ExtractionFolder());
  };
});

}  // namespace

void ApplySafeMode(const AnsiString& packagePath, const AnsiString& packageFolder, const AnsiString& extractionFolder) {
  EnableSafeMode(true);
  ConfineToPublication(packagePath, packageFolder, extractionFolder);
  Store() = std::make_unique<RegistryStore>(QString::fromStdString(SafeDataFolder() + "/registry"));
  SetActionRegistry(Store().get());
  SetRefusalSource(TakeRefusal);
  static RefusingPlugInLoader loader;
  SetPlugInLoader(&loader);
  Bind();
}

void LeaveSafeMode() {
  for (auto* m : {&RefusedOriginals(), &Originals()}) {
    for (auto& [id, h] : *m) BindCommand(id, h);
    m->clear();
  }
  SetActionRegistry(nullptr);
  SetRefusalSource(nullptr);
  ClearSafeRefusal();
  Store().reset();
  SetPlugInLoader(nullptr);
  EnableSafeMode(false);
}

}  // namespace vl
