#pragma once
// The process palette: on a 256-colour display colours are realised through
// it, so pages, objects and pictures draw with its nearest entries. Pages
// choose which palette is loaded (ApplyPagePalette in pages/PageBackground.h);
// everything that paints asks here.
#include "runtime/Publication.h"

namespace vl {

// The classic 16 colours.
const TPalette& SixteenColorPalette();  // entries 16..255 repeat black
// The process palette: what the last SetProcessPalette loaded.
const TPalette& ProcessPalette();
// Loads `entries` as the process palette, of which the first `count` are
// used. True when the process palette changed.
bool SetProcessPalette(const TPalette& entries, int count);
// The entry of the process palette nearest to `rgb` (RGB, red low), among the
// first `count` entries.
TColor NearestPaletteColor(TColor rgb, int count = 256);
// True when colours are realised through the palette (a 256-colour display).
bool PaletteDisplay();

}  // namespace vl
