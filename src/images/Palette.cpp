#include "images/Palette.h"

#include <algorithm>
#include <unordered_map>

#include "runtime/Global.h"

namespace vl {
namespace {

TPalette MakeSixteen() {
  TPalette p{};
  static const TColor c[16] = {0x000000, 0x000080, 0x008000, 0x008080, 0x800000, 0x800080,
                               0x808000, 0xC0C0C0, 0x808080, 0x0000FF, 0x00FF00, 0x00FFFF,
                               0xFF0000, 0xFF00FF, 0xFFFF00, 0xFFFFFF};
  std::copy(std::begin(c), std::end(c), p.begin());
  return p;
}

struct ProcessPaletteState {
  TPalette entries = StandardPalette();
  int count = 256;
  // Nearest-entry answers, cleared whenever the entries change.
  std::unordered_map<TColor, TColor> nearest;
};

ProcessPaletteState& PaletteState() {
  static ProcessPaletteState s;
  return s;
}

int Red(TColor c) { return static_cast<int>(c & 0xFF); }
int Green(TColor c) { return static_cast<int>((c >> 8) & 0xFF); }
int Blue(TColor c) { return static_cast<int>((c >> 16) & 0xFF); }

}  // namespace

const TPalette& SixteenColorPalette() {
  static const TPalette p = MakeSixteen();
  return p;
}

const TPalette& ProcessPalette() { return PaletteState().entries; }

bool PaletteDisplay() { return Globals().displayColorCount == 256; }

bool SetProcessPalette(const TPalette& entries, int count) {
  ProcessPaletteState& s = PaletteState();
  if (s.entries == entries && s.count == count) return false;
  s.entries = entries;
  s.count = count;
  s.nearest.clear();
  return true;
}

TColor NearestPaletteColor(TColor rgb, int count) {
  ProcessPaletteState& s = PaletteState();
  rgb &= 0x00FFFFFF;
  count = std::clamp(std::min(count, s.count), 1, 256);
  const bool cacheable = count == s.count;
  if (cacheable) {
    auto it = s.nearest.find(rgb);
    if (it != s.nearest.end()) return it->second;
  }
  TColor best = s.entries[0] & 0x00FFFFFF;
  int bestDist = 1 << 30;
  for (int i = 0; i < count; ++i) {
    const TColor e = s.entries[static_cast<size_t>(i)] & 0x00FFFFFF;
    const int dr = Red(e) - Red(rgb), dg = Green(e) - Green(rgb), db = Blue(e) - Blue(rgb);
    const int d = dr * dr + dg * dg + db * db;
    if (d < bestDist) {
      bestDist = d;
      best = e;
      if (d == 0) break;
    }
  }
  if (cacheable && s.nearest.size() < 65536) s.nearest.emplace(rgb, best);
  return best;
}

}  // namespace vl
