#pragma once
// The main window's placement kept between runs in the registry store, in
// the value the publication names (WINDOWREGKEY=, "ROOT\key\path\value"): the
// text "left,top,width,height,maximised" of the window's normal rectangle.
// Failures of the store are ignored: a placement is a convenience.
#include <QRect>
#include <QSize>
#include <optional>
#include <string_view>

#include "runtime/Ansi.h"

namespace vl {

class RegistryStore;

AnsiString FormatPlacement(const QRect& normal, bool maximised);

struct RestoredPlacement {
  QRect rect;
  bool maximise = false;
};

// Applies a stored text to the current geometry: left and top from fields 1
// and 2 (the current ones when missing or not a number), width and height
// from fields 3 and 4 only `withSize`; a left or top beyond the desktop puts
// the window back at its right or bottom edge; field 5 "1" maximises.
// Nothing for an empty text.
std::optional<RestoredPlacement> ParsePlacement(std::string_view text, const QRect& current, const QSize& desktop,
                                                bool withSize);

// Both do nothing for an empty key.
void SavePlacement(RegistryStore& store, std::string_view windowRegKey, const QRect& normal, bool maximised);
std::optional<RestoredPlacement> RestorePlacement(RegistryStore& store, std::string_view windowRegKey,
                                                  const QRect& current, const QSize& desktop, bool withSize);

}  // namespace vl
