// The dialogs take their texts and pictures from the publication when it
// loads: the button words (a publication without them still gets buttons a
// reader can see and press), the password form's texts and the pictures of
// the message boxes, which are named as the publication names its pictures
// (a package entry first, else a file).
#include <QImage>
#include <QPainter>

#include "images/VL_ImageLib.h"
#include "runtime/Lifecycle.h"
#include "images/PictureCache.h"
#include "runtime/Publication.h"
#include "windows/DialogSettings.h"
#include "windows/UserDialog.h"

namespace vl {
namespace {

QImage PublicationPicture(const AnsiString& name) {
  QImage out;
  TCachedPicture pic = ThePictureCache().GetPicture(name, true);
  if (!pic) return out;
  const int w = pic.picture->ImageWidth(), h = pic.picture->ImageHeight();
  if (w > 0 && h > 0 && w <= 8192 && h <= 8192) {
    out = QImage(w, h, QImage::Format_ARGB32_Premultiplied);
    out.fill(Qt::transparent);
    QPainter p(&out);
    pic.picture->Draw(p, 255, 0, 0);
  }
  ThePictureCache().Unpin(pic.picture);
  return out;
}

void LoadSettings(LifecycleContext& ctx) {
  if (!ctx.publication) return;
  const TPublication& pub = *ctx.publication;
  const TPublicationSettings& s = pub.settings;
  DialogSettings& ds = TheDialogSettings();
  ds.appTitle = s.title.empty() ? AnsiString("Vellion") : s.title;
  auto word = [&pub](TLangId id, const char* fallback) {
    const AnsiString& w = pub.lang[id];
    return w.empty() ? AnsiString(fallback) : w;
  };
  ds.okText = word(TLangId::Ok, "OK");
  ds.cancelText = word(TLangId::Cancel, "Cancel");
  ds.yesText = word(TLangId::Yes, "Yes");
  ds.noText = word(TLangId::No, "No");
  ds.errorTitle = pub.lang[TLangId::ErrorTitle];
  ds.pwordTitle = pub.lang[TLangId::PwordTitle];
  ds.pwordMsg = pub.lang[TLangId::PwordMsg];
  ds.pwordPrompt = pub.lang[TLangId::PwordPrompt];
  ds.pwordError = pub.lang[TLangId::PwordError];
  SetDialogPictureLoader(PublicationPicture);
  ds.alertImage = s.alertBoxImage;
  ds.msgImage = s.msgBoxImage;
  ds.exitImage = s.exitBoxImage;
}

const LifecycleRegistrar kDialogs("dialogs", kLifeDialogs, [](LifecycleParticipant& p) { p.load = LoadSettings; });

// Dialog pictures come from files again once the package is going.
const LifecycleRegistrar kDialogsFreed("dialogs.free", kLifeDialogsFreed, [](LifecycleParticipant& p) {
  p.destroy = [](LifecycleContext&) { SetDialogPictureLoader(nullptr); };
});

}  // namespace
}  // namespace vl
