#pragma once
// The transition effects plug-ins add: a registry by name and number that
// the transitions consult after their own built-in effects (a plug-in's
// effect never replaces a built-in one of the same name). Each entry knows
// how to ask its plug-in to draw.
#include <QImage>
#include <QRect>
#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "runtime/Ansi.h"

namespace vl {

struct PlugInEffect {
  AnsiString name;
  int32_t number = 0;
  AnsiString plugIn;  // the group (plug-in) name
  // Draws the effect into `target` (the rectangle `area`): `old` may be
  // null. `options` is the transition's option text. False when the plug-in
  // did not draw (the caller then copies the new picture plainly).
  std::function<bool(const QImage* old, const QImage& fresh, QImage& target, const QRect& area, int direction,
                     const AnsiString& options)>
      render;
};

// Registered by the plug-in loader while a plug-in registers its effects;
// dropped when the plug-in unloads.
void AddPlugInEffect(PlugInEffect effect);
void RemovePlugInEffects(std::string_view plugIn);

// The plug-in effects in load and registration order.
const std::vector<PlugInEffect>& PlugInEffects();
// The first plug-in effect of that name (letter case ignored), or null.
const PlugInEffect* FindPlugInEffect(std::string_view name);

}  // namespace vl
