// The main window's own participants in the publication's life: the
// extraction folder, the menus' share of the variable changes and input
// blocks, and the two checks of the close query that belong to the
// publication (the exit password and the shut-down action, which may veto).
#include "actions/DateTime.h"
#include "actions/Interpreter.h"
#include "actions/Vars.h"
#include "pages/MenuItems.h"
#include "platform/PrivateTemp.h"
#include "runtime/Global.h"
#include "runtime/Lifecycle.h"
#include "runtime/Package.h"
#include "runtime/Publication.h"
#include "windows/Password.h"

namespace vl {
namespace {

// The system's temporary folder is replaced by the user's private one.
void ChooseFolder(LifecycleContext& ctx) {
  if (!ctx.package || !ctx.publication) return;
  TPackage& pkg = *ctx.package;
  // The folder chosen is written back into the settings the publication
  // carries, as [ExtractDir] shows it.
  TPublicationSettings& s = ctx.publication->settings;
  const AnsiString temp = Utf8ToAnsi(PrivateTempFolder());
  const AnsiString folder = ChooseExtractionFolder(s.extractOp, s.extractDir, pkg.HostFolder(), temp, AnsiString());
  pkg.SetExtractOp(s.extractOp);
  pkg.SetExtractionFolder(folder);
  s.extractDir = folder;
}

const char* SourceName(int source) {
  switch (source) {
    case 1: return "Vellion";
    case 2: return "CloseButton";
    default: return "Windows";
  }
}

bool ExitPassword(LifecycleContext& ctx) {
  if (!ctx.publication) return true;
  const AnsiString& pw = ctx.publication->settings.exitPassword;
  return pw.empty() || PasswordDialog(pw) == PasswordResult::Accepted;
}

// The shut-down action runs once, with [ShutdownStatus] "TRUE" and the
// source of the close; setting the status to anything else keeps the
// publication open. Both variables are gone afterwards.
bool ShutdownAction(LifecycleContext& ctx) {
  if (!ctx.publication || ctx.shuttingDown) return true;
  const AnsiString& action = ctx.publication->settings.shutdownAction;
  if (action.empty()) return true;
  SetVariable("[ShutdownStatus]", "TRUE");
  SetVariable("[ShutdownSource]", SourceName(ctx.shutdownSource));
  RunAction(action, 0, kEventShutdown, kOriginPublication, "");
  const bool go = SameTextInvariant(GetVariableValue("ShutdownStatus", NowDateTime()), "TRUE");
  GlobalVars().Remove("ShutdownStatus");
  GlobalVars().Remove("ShutdownSource");
  ctx.shutdownSource = 0;
  return go;
}

const LifecycleRegistrar kExtraction("extraction-folder", kLifeExtraction,
                                     [](LifecycleParticipant& p) { p.load = ChooseFolder; });
const LifecycleRegistrar kExitPassword("exit-password", kLifeExitPassword,
                                       [](LifecycleParticipant& p) { p.closeQuery = ExitPassword; });
const LifecycleRegistrar kShutdownAction("shutdown-action", kLifeShutdownAction,
                                         [](LifecycleParticipant& p) { p.closeQuery = ShutdownAction; });

// Menu items refresh captions that show variables, and the top-level items
// are disabled while input is blocked.
const LifecycleRegistrar kMenus("menus", kLifeMenus, [](LifecycleParticipant& p) {
  p.varChanged = [](const AnsiString& name, const AnsiString& value) { TheMenus().MenuVariableChanged(name, value); };
  p.inputBlock = [](bool blocked) { TheMenus().SetInputBlocked(blocked); };
});

const LifecycleRegistrar kMenusFreed("menus.free", kLifeMenusFreed, [](LifecycleParticipant& p) {
  p.destroy = [](LifecycleContext&) { TheMenus().Clear(); };
});

}  // namespace
}  // namespace vl
