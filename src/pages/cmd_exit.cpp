// The Exit command: closes the publication, after asking when it was given a
// title or a message. The close itself can still be refused (exit password,
// shut-down action).
#include "actions/CommandApi.h"
#include "pages/RT_Main.h"
#include "runtime/Host.h"
#include "windows/DialogSettings.h"

namespace vl {
namespace {

void DoExit(CommandContext& c) {
  TWorkForm* form = WorkForm();
  if (!form) {
    // No window to close (an action run on its own): the action ends here.
    c.Stop(ErrScriptStopped);
    return;
  }
  if (!c.Arg(1).empty() || !c.Arg(2).empty()) {
    const DialogSettings& ds = TheDialogSettings();
    QueryRequest q;
    q.kind = "exit";
    q.title = c.Arg(1);
    q.text = c.Arg(2);
    q.buttons = {ds.yesText, ds.noText};
    q.picture = ds.exitImage;
    q.defaultButton = 0;
    q.cancelButton = 1;
    if (Dialogs().Query(q) != 0) return;
  }
  form->RequestClose(ssVellion);
}

const CommandBinder kBind{{cmd::Exit, DoExit}};

}  // namespace
}  // namespace vl
