#include "platform/FontMap.h"

#include <QCoreApplication>
#include <QFontDatabase>
#include <QHash>
#include <algorithm>
#include <future>
#include <memory>
#include <system_error>

#ifdef VL_HAVE_FONTCONFIG
#include <fontconfig/fontconfig.h>
#endif

#include "runtime/Global.h"

namespace vl {
namespace {

const QHash<QString, QString>& Table() {
  static const QHash<QString, QString> table = [] {
    const QString sans = QStringLiteral("Liberation Sans");
    const QString serif = QStringLiteral("Liberation Serif");
    const QString mono = QStringLiteral("Liberation Mono");
    QHash<QString, QString> t;
    for (const char* n : {"arial", "helvetica", "arial narrow", "ms sans serif", "microsoft sans serif", "ms shell dlg",
                          "ms shell dlg 2", "system", "tahoma", "segoe ui", "trebuchet ms"})
      t.insert(QString::fromLatin1(n), sans);
    for (const char* n : {"times new roman", "times", "ms serif", "georgia", "book antiqua"})
      t.insert(QString::fromLatin1(n), serif);
    for (const char* n : {"courier new", "courier", "lucida console", "fixedsys", "terminal", "consolas"})
      t.insert(QString::fromLatin1(n), mono);
    t.insert(QStringLiteral("verdana"), QStringLiteral("DejaVu Sans"));
    return t;
  }();
  return table;
}

bool Installed(const QString& family) { return QFontDatabase::hasFamily(family); }

QString MapUncached(const QString& windowsName) {
  QString name = windowsName.trimmed();
  if (name.isEmpty()) name = QStringLiteral("MS Sans Serif");
  if (Installed(name)) return name;
  auto it = Table().constFind(name.toLower());
  if (it == Table().constEnd()) return name;  // the font system's own substitution
  if (Installed(*it)) return *it;
  return QStringLiteral("Liberation Sans");
}

// Asking the font system whether a family exists goes through fontconfig's
// substitution each time; objects ask for their font at every creation and
// paint, so answers are kept until the set of fonts changes.
QHash<QString, QString>& Mapped() {
  static QHash<QString, QString> mapped;
  return mapped;
}

// The warm-up worker. Only the main thread starts and finishes it.
std::future<void>& WarmUp() {
  static std::future<void> warmUp;
  return warmUp;
}

}  // namespace

void StartFontWarmUp() {
#ifdef VL_HAVE_FONTCONFIG
  // The worker only loads the configuration, which the font system keeps
  // process-wide and sets up safely from any thread; it touches no Qt
  // object. Two first loads at once would both be paid (one is thrown
  // away), so our first use of fonts waits for this one instead of racing it.
  static bool started = false;
  if (started) return;
  started = true;
  try {
    WarmUp() = std::async(std::launch::async, [] { FcInit(); });
  } catch (const std::system_error&) {
    // No thread to spare: the configuration loads at the first use instead.
  }
#endif
}

void ContinueFontWarmUp() {
  // Qt's own list of families is built from the configuration once, under
  // the font database's lock; every font database call is safe from any
  // thread once the application object exists. Building it here lets the
  // main thread read the package and make the page meanwhile; our first
  // font use then finds it ready (or waits on the lock for the rest).
  static bool continued = false;
  if (continued || !QCoreApplication::instance()) return;
  continued = true;
  auto& warmUp = WarmUp();
  try {
    auto previous = std::make_shared<std::future<void>>(std::move(warmUp));
    warmUp = std::async(std::launch::async, [previous] {
      if (previous->valid()) previous->get();
      (void)QFontDatabase::families();
    });
  } catch (const std::system_error&) {
    // No thread to spare: the list is built at the first use instead.
  }
}

void FinishFontWarmUp() {
  auto& warmUp = WarmUp();
  if (warmUp.valid()) warmUp.get();
}

void ForgetFontMappings() { Mapped().clear(); }

QString MapFontFamily(const QString& windowsName) {
  auto& mapped = Mapped();
  auto it = mapped.constFind(windowsName);
  if (it != mapped.constEnd()) return *it;
  FinishFontWarmUp();
  if (mapped.size() > 4096) mapped.clear();
  const QString family = MapUncached(windowsName);
  mapped.insert(windowsName, family);
  return family;
}

QFont MakeFont(const AnsiString& name, int size, int styleBits) {
  QFont f(MapFontFamily(AnsiToQString(name)));
  if (size < 0) {
    f.setPixelSize(std::clamp(-size, 1, 500));
  } else {
    f.setPointSize(size == 0 ? 8 : std::min(size, 500));
  }
  f.setBold(styleBits & 1);
  f.setItalic(styleBits & 2);
  f.setUnderline(styleBits & 4);
  f.setStrikeOut(styleBits & 8);
  return f;
}

QFont DialogFont() {
  const auto& g = Globals();
  return MakeFont(g.dialogFontName, g.dialogFontSize, g.dialogFontStyle & 15);
}

int CodePageOfCharset(int charset) {
  switch (charset) {
    case 0:
    case 1:
      return ActiveCodePage();
    case 128: return 932;   // Shift-JIS
    case 129: return 949;   // Hangul
    case 134: return 936;   // GB2312
    case 136: return 950;   // Big5
    case 161: return 1253;  // Greek
    case 162: return 1254;  // Turkish
    case 163: return 1258;  // Vietnamese
    case 177: return 1255;  // Hebrew
    case 178: return 1256;  // Arabic
    case 186: return 1257;  // Baltic
    case 204: return 1251;  // Cyrillic
    case 222: return 874;   // Thai
    case 238: return 1250;  // Central European
    default: return 0;
  }
}

}  // namespace vl
