#pragma once
// What the internet and mail commands share: one network transfer at a time,
// and the publication's texts they show.
#include "runtime/Ansi.h"

namespace vl {

struct TransferState {
  bool transferBusy = false;  // a download, request or mail is running
  bool mailBusy = false;      // a SendMail is running (the close asks first)
};
TransferState& Transfers();

// Taken from the publication when it loads (services/NetLifecycle.cpp).
struct NetTexts {
  AnsiString title;         // TITLE=: progress captions, the default [HTTPAgent]
  AnsiString cancel;        // L_CANCEL=
  AnsiString ok;            // L_OK=
  AnsiString downloadFile;  // L_DONWLOADFILE= ("%s": the address)
  AnsiString sendEmail;     // L_SENDEMAIL=
  AnsiString mailServer;    // L_MAILSERVER=
  AnsiString internetError; // L_INTERNETERROR=
};
NetTexts& NetPublicationTexts();

}  // namespace vl
