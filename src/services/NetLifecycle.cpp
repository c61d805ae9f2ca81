// The network commands in the publication's life: their texts when it loads,
// and the question that holds the close while a mail is being sent.
#include "runtime/Lifecycle.h"
#include "runtime/Messages.h"
#include "runtime/Publication.h"
#include "services/Transfers.h"
#include "windows/DialogSettings.h"
#include "windows/UserDialog.h"

namespace vl {

TransferState& Transfers() {
  static TransferState s;
  return s;
}

NetTexts& NetPublicationTexts() {
  static NetTexts t;
  return t;
}

namespace {

const LifecycleRegistrar kNetTexts("mail", kLifeMailInProgress, [](LifecycleParticipant& p) {
  p.load = [](LifecycleContext& ctx) {
    if (!ctx.publication) return;
    const TPublication& pub = *ctx.publication;
    NetTexts& t = NetPublicationTexts();
    t.title = pub.settings.title;
    t.cancel = pub.lang[TLangId::Cancel];
    t.ok = pub.lang[TLangId::Ok];
    t.downloadFile = pub.lang[TLangId::DonwloadFile];
    t.sendEmail = pub.lang[TLangId::SendEmail];
    t.mailServer = pub.lang[TLangId::MailServer];
    t.internetError = pub.lang[TLangId::InternetError];
  };
  // While a mail is being sent the close asks first; the first button
  // ("Yes", cancel the close) keeps the player open.
  p.closeQuery = [](LifecycleContext&) {
    if (!Transfers().mailBusy) return true;
    const DialogSettings& ds = TheDialogSettings();
    const int answer = QueryDialog(ds.appTitle, Msg(238), ds.yesText + "|" + ds.noText, ds.msgImage);
    return answer != 1;
  };
  p.destroy = [](LifecycleContext&) { NetPublicationTexts() = NetTexts{}; };
});

}  // namespace
}  // namespace vl
