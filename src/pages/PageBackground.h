#pragma once
// The page background: every page (the master page too) has one. It keeps the
// page's look (colour, gradient, wallpaper), its transition settings and its
// enter and exit actions, and knows how to paint its look into a rectangle.
//
// It is a plain object, not a widget: the page view (PageView.h) paints the
// current page with it, and the off-screen renderings (transitions, printing,
// transparent objects) call PaintBackground on their own painters.
#include <QRect>
#include <cstdint>

#include "images/Palette.h"
#include "runtime/Ansi.h"
#include "runtime/Global.h"
#include "runtime/Publication.h"

class QPainter;

namespace vl {

enum TGradientAngles : uint8_t { G_Horz = 0, G_Vert = 1 };
enum TBkndStyles : uint8_t { pbSolid = 0, pbGradient = 1, pbWallpaper = 2 };
enum TWallPaperStyles : uint8_t { wsTile = 0, wsCenter = 1, wsStretched = 2 };

class TVellionBackground {
 public:
  TVellionBackground() = default;
  // The look, actions and palette of a page record; unknown enumeration
  // values fall back to the defaults.
  explicit TVellionBackground(const TPageRecord& page);

  TColor Color = 16777215;
  TColor GradientColor1 = 16711680;
  TColor GradientColor2 = 255;
  TGradientAngles GradientAngle = G_Vert;
  TBkndStyles BackgroundStyle = pbSolid;
  AnsiString WallpaperFile;
  TWallPaperStyles WallpaperStyle = wsTile;
  AnsiString Effect;
  AnsiString EffectOptions;
  // The master page's background; null for the master page itself.
  TVellionBackground* MasterPage = nullptr;
  bool ShowMasterPage = true;
  bool ShowBorder = true;
  AnsiString EnterAction;
  AnsiString ExitAction;
  // The page's palette (a copy of the standard palette unless the page has
  // its own).
  TPalette Palette = StandardPalette();
  bool OwnPalette = false;

  // Where the page content lies, in the background's coordinates (set by the
  // main window).
  QRect PublicationRect{0, 0, 640, 480};

  // Copies the look (style, colours, gradient, wallpaper) from `other`: what
  // the master page takes over from the page it is shown behind.
  void CopyLookFrom(const TVellionBackground& other);
  // Back to the master page's resting look: solid white.
  void ResetLook();
  bool SameLook(const TVellionBackground& other) const;
};

// Paints the background's look into `rect`. With `scaled` (printing) each
// wallpaper copy is drawn at its size times the factors. Wallpapers come from
// the picture cache, pinned while they are drawn. On a 256-colour display
// (Globals().displayColorCount) solid and gradient colours are those of the
// process palette nearest to them.
void PaintBackground(const TVellionBackground& bg, QPainter& canvas, const QRect& rect,
                     bool scaled = false, double vertFactor = 1.0, double horzFactor = 1.0);

// The gradient's row (or column) colours from `c1` to `c2` over `steps` rows,
// as the painter computes them (RGB, red in the low byte; system colours
// turned into RGB first).
void GradientColors(TColor c1, TColor c2, int steps, TColor* out);

// ---- The page palette -----------------------------------------------------

// Loads the palette for the current page into the process palette
// (images/Palette.h): the standard one when the publication uses it with 256
// colours or when there is no page (`page` null); otherwise the page's, or at
// 16 publication colours the 16-colour palette, and at any count other than
// 256 the standard one. True when the process palette changed.
bool ApplyPagePalette(const TVellionBackground* page, bool usesStandardPalette, int publicationColors);

}  // namespace vl
