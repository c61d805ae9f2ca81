// Painting a page's look (solid, gradient, wallpaper) and the palette used on
// 256-colour displays.
#include "pages/PageBackground.h"

#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <vector>

#include "images/Palette.h"
#include "images/PictureCache.h"

namespace vl {

TVellionBackground::TVellionBackground(const TPageRecord& page) {
  Color = page.pageColor;
  GradientColor1 = page.gradient1;
  GradientColor2 = page.gradient2;
  GradientAngle = page.gradientDir == 0 ? G_Horz : G_Vert;
  BackgroundStyle = (page.pageStyle >= 0 && page.pageStyle <= 2) ? static_cast<TBkndStyles>(page.pageStyle) : pbSolid;
  WallpaperFile = page.wallpaper;
  WallpaperStyle = (page.wallpaperStyle >= 0 && page.wallpaperStyle <= 2)
                       ? static_cast<TWallPaperStyles>(page.wallpaperStyle)
                       : wsTile;
  Effect = page.effect;
  EffectOptions = page.effectOptions;
  ShowMasterPage = page.showMasterPage;
  EnterAction = page.enterAction;
  ExitAction = page.exitAction;
  Palette = page.Palette();
  OwnPalette = page.HasPalette();
}

void TVellionBackground::CopyLookFrom(const TVellionBackground& o) {
  BackgroundStyle = o.BackgroundStyle;
  Color = o.Color;
  GradientColor1 = o.GradientColor1;
  GradientColor2 = o.GradientColor2;
  GradientAngle = o.GradientAngle;
  WallpaperFile = o.WallpaperFile;
  WallpaperStyle = o.WallpaperStyle;
}

void TVellionBackground::ResetLook() {
  BackgroundStyle = pbSolid;
  Color = 16777215;
}

bool TVellionBackground::SameLook(const TVellionBackground& o) const {
  return BackgroundStyle == o.BackgroundStyle && Color == o.Color && GradientColor1 == o.GradientColor1 &&
         GradientColor2 == o.GradientColor2 && GradientAngle == o.GradientAngle &&
         WallpaperFile == o.WallpaperFile && WallpaperStyle == o.WallpaperStyle;
}

// ---------------------------------------------------------------------------
// Palette

namespace {

int Red(TColor c) { return static_cast<int>(c & 0xFF); }
int Green(TColor c) { return static_cast<int>((c >> 8) & 0xFF); }
int Blue(TColor c) { return static_cast<int>((c >> 16) & 0xFF); }
TColor Rgb(int r, int g, int b) {
  return static_cast<TColor>(r) | (static_cast<TColor>(g) << 8) | (static_cast<TColor>(b) << 16);
}
QColor ToQColor(TColor c) { return QColor(Red(c), Green(c), Blue(c)); }

// What the display shows for a colour of the publication.
TColor Shown(TColor c) {
  c = ColorToRgb(c);
  return PaletteDisplay() ? NearestPaletteColor(c) : c;
}

// Nearest integer, halves to the even neighbour (independent of the
// process's floating-point rounding mode).
int RoundHalfEven(double x) {
  const double f = std::floor(x);
  const double d = x - f;
  double r = f;
  if (d > 0.5 || (d == 0.5 && std::fmod(f, 2.0) != 0.0)) r = f + 1.0;
  return static_cast<int>(r);
}

}  // namespace

bool ApplyPagePalette(const TVellionBackground* page, bool usesStandardPalette, int publicationColors) {
  const TPalette* want = &StandardPalette();
  int count = 256;
  if (page && !(usesStandardPalette && publicationColors == 256)) {
    if (publicationColors == 16) {
      want = &SixteenColorPalette();
      count = 16;
    } else if (publicationColors == 256) {
      want = &page->Palette;
    }
  }
  return SetProcessPalette(*want, count);
}

// ---------------------------------------------------------------------------
// Painting

void GradientColors(TColor c1, TColor c2, int steps, TColor* out) {
  if (steps <= 0) return;
  c1 = ColorToRgb(c1);
  c2 = ColorToRgb(c2);
  const int target[3] = {Red(c2), Green(c2), Blue(c2)};
  double comp[3] = {double(Red(c1)), double(Green(c1)), double(Blue(c1))};
  int diff = 0;
  for (int k = 0; k < 3; ++k) diff = std::max(diff, std::abs(target[k] - static_cast<int>(comp[k])));
  const double step = static_cast<double>(diff) / steps;
  for (int row = 0; row < steps; ++row) {
    out[row] = Rgb(RoundHalfEven(comp[0]), RoundHalfEven(comp[1]), RoundHalfEven(comp[2]));
    for (int k = 0; k < 3; ++k) {
      if (comp[k] < target[k])
        comp[k] = std::min(comp[k] + step, 255.0);
      else if (comp[k] > target[k])
        comp[k] = std::max(comp[k] - step, 0.0);
    }
  }
}

namespace {

void PaintGradient(const TVellionBackground& bg, QPainter& canvas, const QRect& rect) {
  const bool vert = bg.GradientAngle == G_Vert;
  const int steps = vert ? rect.height() : rect.width();
  if (steps <= 0) return;
  if (ColorToRgb(bg.GradientColor1) == ColorToRgb(bg.GradientColor2)) {
    canvas.fillRect(rect, ToQColor(Shown(bg.GradientColor1)));
    return;
  }
  std::vector<TColor> colours(static_cast<size_t>(steps));
  GradientColors(bg.GradientColor1, bg.GradientColor2, steps, colours.data());
  const bool pal = PaletteDisplay();
  for (int i = 0; i < steps; ++i) {
    const TColor c = pal ? NearestPaletteColor(colours[static_cast<size_t>(i)]) : colours[static_cast<size_t>(i)];
    if (vert)
      canvas.fillRect(rect.left(), rect.top() + i, rect.width(), 1, ToQColor(c));
    else
      canvas.fillRect(rect.left() + i, rect.top(), 1, rect.height(), ToQColor(c));
  }
}

// On a 256-colour display a wallpaper shows in the colours of the palette.
void MapToPalette(QPainter& canvas, const QRect& rect) {
  auto* image = dynamic_cast<QImage*>(canvas.device());
  if (!image || (image->format() != QImage::Format_RGB32 && image->format() != QImage::Format_ARGB32 &&
                 image->format() != QImage::Format_ARGB32_Premultiplied))
    return;
  QRect area = canvas.deviceTransform().mapRect(rect).intersected(image->rect());
  if (canvas.hasClipping()) area = area.intersected(canvas.clipBoundingRect().toAlignedRect());
  for (int y = area.top(); y <= area.bottom(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(image->scanLine(y));
    for (int x = area.left(); x <= area.right(); ++x) {
      const QRgb p = line[x];
      const TColor c = NearestPaletteColor(Rgb(qRed(p), qGreen(p), qBlue(p)));
      line[x] = qRgba(Red(c), Green(c), Blue(c), qAlpha(p));
    }
  }
}

void PaintWallpaper(const TVellionBackground& bg, QPainter& canvas, const QRect& rect, bool scaled,
                    double vf, double hf) {
  const QColor fill = ToQColor(Shown(bg.Color));
  TCachedPicture pic;
  if (!bg.WallpaperFile.empty()) pic = ThePictureCache().GetPicture(bg.WallpaperFile, true);
  if (!pic) {
    canvas.fillRect(rect, fill);
    return;
  }
  const TVLImageView& view = *pic.picture;
  try {
    int pw = view.ImageWidth(), ph = view.ImageHeight();
    if (scaled) {
      pw = static_cast<int>(std::lround(pw * hf));
      ph = static_cast<int>(std::lround(ph * vf));
    }
    canvas.save();
    canvas.setClipRect(rect, Qt::IntersectClip);
    // Alpha pictures blend onto the page colour rather than onto what the
    // device held before.
    const bool fillFirst = bg.WallpaperStyle != wsTile || view.HasAlpha();
    if (fillFirst) canvas.fillRect(rect, fill);
    auto drawAt = [&](int x, int y) {
      if (scaled)
        view.StretchDraw(canvas, false, 255, QRect(x, y, pw, ph));
      else
        view.Draw(canvas, 255, x, y);
    };
    if (pw > 0 && ph > 0) {
      switch (bg.WallpaperStyle) {
        case wsTile:
          for (int y = rect.top(); y <= rect.bottom(); y += ph)
            for (int x = rect.left(); x <= rect.right(); x += pw) drawAt(x, y);
          break;
        case wsCenter:
          // Integer halves, truncated as the original's division does.
          drawAt(rect.left() + (rect.width() - pw) / 2, rect.top() + (rect.height() - ph) / 2);
          break;
        case wsStretched:
          view.StretchDraw(canvas, false, 255, rect);
          break;
      }
    }
    if (PaletteDisplay()) MapToPalette(canvas, rect);
    canvas.restore();
  } catch (...) {
    ThePictureCache().Unpin(pic.picture);
    throw;
  }
  ThePictureCache().Unpin(pic.picture);
}

}  // namespace

void PaintBackground(const TVellionBackground& bg, QPainter& canvas, const QRect& rect, bool scaled,
                     double vertFactor, double horzFactor) {
  if (rect.isEmpty()) return;
  switch (bg.BackgroundStyle) {
    case pbSolid:
      canvas.fillRect(rect, ToQColor(Shown(bg.Color)));
      break;
    case pbGradient:
      PaintGradient(bg, canvas, rect);
      break;
    case pbWallpaper:
      PaintWallpaper(bg, canvas, rect, scaled, vertFactor, horzFactor);
      break;
  }
}

}  // namespace vl
