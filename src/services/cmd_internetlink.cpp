// InternetLink: an address, mail link or document opened with the desktop's
// program for it (xdg-open, through the network host).
#include "actions/CommandApi.h"
#include "actions/Vars.h"
#include "services/NetHost.h"
#include "services/Transfers.h"

namespace vl {
namespace {

void DoInternetLink(CommandContext& c) {
  if (Net().OpenLink(c.Arg(1)))
    SetLastError("");
  else
    SetLastError(NetPublicationTexts().internetError);
}

const CommandBinder kBind{{cmd::InternetLink, DoInternetLink}};

}  // namespace
}  // namespace vl
