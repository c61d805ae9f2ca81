// The tray icon and the application icon.
#include <QApplication>
#include <QMenu>
#include <QPixmap>
#include <QSystemTrayIcon>
#include <fstream>

#include "images/VL_ImageLib.h"
#include "pages/MenuItems.h"
#include "pages/MenuStyle.h"
#include "runtime/NativePath.h"

namespace vl {

namespace {
constexpr size_t kMaxTip = 63;
// Icon files are small; anything beyond this is not one we show.
constexpr std::streamoff kMaxIconFile = 16 << 20;
}  // namespace

TVelTrayIcon::TVelTrayIcon(QObject* parent) : QObject(parent), icon_(TheMenus().ApplicationIcon()) {
  if (!Available()) return;
  tray_ = new QSystemTrayIcon(this);
  connect(tray_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason why) {
    // The context menu (right button) is opened by the tray itself.
    if (why == QSystemTrayIcon::Trigger && onClick) onClick();
    if (why == QSystemTrayIcon::DoubleClick && onDblClick) onDblClick();
    if (why == QSystemTrayIcon::Context && onPopup) onPopup();
  });
}

TVelTrayIcon::~TVelTrayIcon() {
  visibleInTaskList_ = false;
  SetActive(false);
}

bool TVelTrayIcon::Available() { return QSystemTrayIcon::isSystemTrayAvailable(); }

void TVelTrayIcon::SetActive(bool on) {
  active_ = on;
  Update();
  if (tray_) tray_->setVisible(on);
}

void TVelTrayIcon::SetHint(const AnsiString& hint) {
  hint_ = hint;
  Update();
}

AnsiString TVelTrayIcon::Tip() const {
  AnsiString tip = hint_.substr(0, hint_.find('|'));
  if (tip.size() > kMaxTip) tip.resize(kMaxTip);
  return tip;
}

void TVelTrayIcon::SetIcon(const QIcon& icon) {
  icon_ = icon;
  Update();
}

void TVelTrayIcon::SetPopupMenu(QMenu* menu) {
  popup_ = menu;
  if (tray_) tray_->setContextMenu(menu);
}

void TVelTrayIcon::Update() {
  if (!tray_) return;
  tray_->setIcon(icon_);
  tray_->setToolTip(AnsiToQString(Tip()));
}

// ---------------------------------------------------------------------------

QIcon TVelMenus::ProgramIcon() const {
  if (!programIconKept_) {
    programIconKept_ = true;
    programIcon_ = QApplication::windowIcon();
  }
  return programIcon_;
}

QIcon TVelMenus::ApplicationIcon() const {
  ProgramIcon();  // remembered before anything changes it
  return QApplication::windowIcon();
}

void TVelMenus::SetApplicationIcon(const QIcon& icon) {
  ProgramIcon();
  QApplication::setWindowIcon(icon);
  if (host_.applicationIconChanged) host_.applicationIconChanged(icon);
}

// ---------------------------------------------------------------------------

namespace {

// The entry of the icon directory to show small: the first 16 by 16 one,
// else the first. -1 when the data is not an icon file.
int SmallIconEntry(std::string_view data) {
  auto u16 = [&](size_t at) {
    return static_cast<unsigned>(static_cast<uint8_t>(data[at])) |
           static_cast<unsigned>(static_cast<uint8_t>(data[at + 1])) << 8;
  };
  if (data.size() < 6 || u16(0) != 0 || u16(2) != 1) return -1;
  const size_t count = u16(4);
  if (count == 0) return -1;
  for (size_t i = 0; i < count && 6 + i * 16 + 16 <= data.size(); ++i) {
    const auto w = static_cast<uint8_t>(data[6 + i * 16]);
    const auto h = static_cast<uint8_t>(data[6 + i * 16 + 1]);
    if (w == 16 && h == 16) return static_cast<int>(i);
  }
  return 0;
}

}  // namespace

QImage ViewToArgb(const TVLImageView& view) {
  QImage img = view.Bitmap().Image().convertToFormat(QImage::Format_ARGB32);
  const TVLBitmap* alpha = view.AlphaChannel();
  if (!alpha || alpha->Width() != img.width() || alpha->Height() != img.height()) return img;
  for (int y = 0; y < img.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
    const uint8_t* a = alpha->ScanLine(y);
    for (int x = 0; x < img.width(); ++x) line[x] = qRgba(qRed(line[x]), qGreen(line[x]), qBlue(line[x]), a[x]);
  }
  return img;
}

QIcon LoadIconFromFile(const AnsiString& path) {
  std::ifstream in(NativePath(path), std::ios::binary | std::ios::ate);
  if (!in) return {};
  const std::streamoff size = in.tellg();
  if (size <= 0 || size > kMaxIconFile) return {};
  std::string data(static_cast<size_t>(size), '\0');
  in.seekg(0);
  if (!in.read(data.data(), size)) return {};
  const int entry = SmallIconEntry(data);
  if (entry < 0) return {};
  TVLImageView view;
  view.Params().IcoImageIndex = entry;
  view.LoadFromMemory(data);
  if (view.BadImage() || view.IsEmpty()) return {};
  const QImage img = ViewToArgb(view);
  return QIcon(QPixmap::fromImage(img));
}

}  // namespace vl
