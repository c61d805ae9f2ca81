#include "pages/Cursors.h"

#include <QGuiApplication>
#include <QIcon>
#include <QPixmap>
#include <array>
#include <fstream>

#include "images/Decoders.h"
#include "images/VL_ImageLib.h"
#include "pages/MenuItems.h"
#include "runtime/NativePath.h"
#include "runtime/Lifecycle.h"
#include "runtime/Package.h"
#include "runtime/Publication.h"

namespace vl {
namespace {

constexpr int kSlots = 5;  // 1..4 used
constexpr std::streamoff kMaxCursorFile = 1 << 20;

QCursor BuiltIn(int slot) {
  switch (slot) {
    case kCursorHotSpot: return QCursor(Qt::PointingHandCursor);
    case kCursorDrag: return QCursor(Qt::ClosedHandCursor);
    case kCursorBusy: return QCursor(Qt::WaitCursor);
    default: return QCursor(Qt::ArrowCursor);
  }
}

std::array<QCursor, kSlots>& Table() {
  static std::array<QCursor, kSlots> table = [] {
    std::array<QCursor, kSlots> s;
    for (int i = 0; i < kSlots; ++i) s[i] = BuiltIn(i);
    return s;
  }();
  return table;
}

uint32_t U32(std::string_view d, size_t at) {
  return static_cast<uint32_t>(static_cast<uint8_t>(d[at])) | static_cast<uint32_t>(static_cast<uint8_t>(d[at + 1])) << 8 |
         static_cast<uint32_t>(static_cast<uint8_t>(d[at + 2])) << 16 |
         static_cast<uint32_t>(static_cast<uint8_t>(d[at + 3])) << 24;
}
unsigned U16(std::string_view d, size_t at) {
  return static_cast<unsigned>(static_cast<uint8_t>(d[at])) | static_cast<unsigned>(static_cast<uint8_t>(d[at + 1])) << 8;
}

// The first "icon" chunk of an animated cursor (RIFF "ACON"): the frames are
// cursor files of their own. Empty when there is none.
std::string_view FirstAniFrame(std::string_view d) {
  if (d.size() < 12 || d.substr(0, 4) != "RIFF" || d.substr(8, 4) != "ACON") return {};
  // Chunks are walked iteratively, LIST bodies entered in place: no recursion.
  size_t at = 12;
  while (at + 8 <= d.size()) {
    const std::string_view id = d.substr(at, 4);
    const uint32_t len = U32(d, at + 4);
    if (len > d.size() - at - 8) return {};
    if (id == "icon") return d.substr(at + 8, len);
    if (id == "LIST") {
      at += 12;  // into the list, past its form type
      continue;
    }
    at += 8 + len + (len & 1);
  }
  return {};
}

}  // namespace

QCursor CursorForSlot(int slot) {
  return slot >= 1 && slot < kSlots ? Table()[slot] : QCursor(Qt::ArrowCursor);
}

void SetCursorSlot(int slot, const QCursor& cursor) {
  if (slot >= 1 && slot < kSlots) Table()[slot] = cursor;
}

void BusyCursor(bool on) {
  static int depth = 0;
  if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return;
  if (on) {
    if (depth++ == 0) QGuiApplication::setOverrideCursor(CursorForSlot(kCursorBusy));
  } else if (depth > 0 && --depth == 0) {
    QGuiApplication::restoreOverrideCursor();
  }
}

void ResetCursorSlots() {
  for (int i = 0; i < kSlots; ++i) Table()[i] = BuiltIn(i);
}

bool CursorFromData(std::string_view data, QCursor& cursor) {
  if (std::string_view frame = FirstAniFrame(data); !frame.empty()) data = frame;
  if (data.size() < 22 || U16(data, 0) != 0 || (U16(data, 2) != 1 && U16(data, 2) != 2) || U16(data, 4) == 0)
    return false;
  const bool isCursor = U16(data, 2) == 2;
  TIOParamsVals params;
  params.IcoImageIndex = 0;
  TVLBitmap bitmap, alpha;
  if (!DecodeByType(TIOFileType::Ico, data, params, bitmap, alpha, false)) return false;
  QImage img = bitmap.Image().convertToFormat(QImage::Format_ARGB32);
  if (img.isNull()) return false;
  if (alpha.Width() == img.width() && alpha.Height() == img.height()) {
    for (int y = 0; y < img.height(); ++y) {
      auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
      const uint8_t* a = alpha.ScanLine(y);
      for (int x = 0; x < img.width(); ++x) line[x] = qRgba(qRed(line[x]), qGreen(line[x]), qBlue(line[x]), a[x]);
    }
  }
  // A cursor's directory entry keeps its hot spot where an icon's keeps
  // planes and bit count; an icon points with its centre.
  int hx = img.width() / 2, hy = img.height() / 2;
  if (isCursor) {
    hx = std::min(static_cast<int>(U16(data, 6 + 4)), img.width() - 1);
    hy = std::min(static_cast<int>(U16(data, 6 + 6)), img.height() - 1);
  }
  cursor = QCursor(QPixmap::fromImage(img), hx, hy);
  return true;
}

bool CursorFromFile(const AnsiString& path, QCursor& cursor) {
  std::ifstream in(NativePath(path), std::ios::binary | std::ios::ate);
  if (!in) return false;
  const std::streamoff size = in.tellg();
  if (size <= 0 || size > kMaxCursorFile) return false;
  std::string data(static_cast<size_t>(size), '\0');
  in.seekg(0);
  if (!in.read(data.data(), size)) return false;
  return CursorFromData(data, cursor);
}

namespace {

class TPlayerCursorIconLoader : public CursorIconLoader {
 public:
  bool LoadCursor(const AnsiString& path, int slot) override {
    QCursor c;
    if (!CursorFromFile(path, c)) return false;
    SetCursorSlot(slot, c);
    return true;
  }
  bool LoadIcon(const AnsiString& path) override { return !LoadIconFromFile(path).isNull(); }
  void SetApplicationIcon(const AnsiString& path) override {
    QIcon icon = LoadIconFromFile(path);
    if (!icon.isNull()) TheMenus().SetApplicationIcon(icon);
  }
};

}  // namespace

void InstallCursorIconLoader() {
  static TPlayerCursorIconLoader loader;
  SetCursorIconLoader(&loader);
}

// The cursor table of a publication: its files, else the built-in cursors.
namespace {
const LifecycleRegistrar kCursors("cursors", kLifeCursors, [](LifecycleParticipant& p) {
  p.load = [](LifecycleContext& ctx) {
    InstallCursorIconLoader();
    ResetCursorSlots();
    if (!ctx.publication || !ctx.package) return;
    const TPublicationSettings& s = ctx.publication->settings;
    TPackage& pkg = *ctx.package;
    if (!s.appCursor.empty()) pkg.LoadCursorFile(s.appCursor, kCursorApplication);
    if (!s.hotspotCursor.empty()) pkg.LoadCursorFile(s.hotspotCursor, kCursorHotSpot);
    if (!s.dragCursor.empty()) pkg.LoadCursorFile(s.dragCursor, kCursorDrag);
    if (!s.busyCursor.empty()) pkg.LoadCursorFile(s.busyCursor, kCursorBusy);
  };
});
}  // namespace

}  // namespace vl
