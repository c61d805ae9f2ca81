#pragma once
// What the player's standard dialogs take from the publication: the language
// texts of their buttons and titles, the dialog pictures and the title of the
// application. Start-up fills it from the publication's settings (the dialog
// font itself is a process-wide value, Globals()); until then every text is
// empty, as for a publication that sets none.
#include "runtime/Ansi.h"

namespace vl {

struct DialogSettings {
  AnsiString appTitle;    // title of the error display and of start-up messages
  AnsiString okText;      // L_OK=
  AnsiString cancelText;  // L_CANCEL=
  AnsiString yesText;     // L_YES=
  AnsiString noText;      // L_NO=
  AnsiString errorTitle;  // L_ERRORTITLE=
  AnsiString pwordTitle;  // L_PWORDTITLE=
  AnsiString pwordMsg;    // L_PWORDMSG= ("|" breaks lines)
  AnsiString pwordPrompt; // L_PWORDPROMPT=
  AnsiString pwordError;  // L_PWORDERROR=
  AnsiString alertImage;  // ALERTBOXIMAGE=
  AnsiString msgImage;    // MSGBOXIMAGE=
  AnsiString exitImage;   // EXITBOXIMAGE=
};

DialogSettings& TheDialogSettings();

}  // namespace vl
