#pragma once
// The look of the player's menus: a proxy over the application style that
// measures and draws menu items itself (picture column, pictures, check
// marks, shortcut texts, the highlight gradient).
#include <QSize>

class QImage;
class QStyle;

namespace vl {

class TVLImageView;

// A picture with its alpha channel (opaque without one) as one ARGB image.
QImage ViewToArgb(const TVLImageView& view);

// Property of a QMenu: the largest picture of its items (QSize), which sets
// the width of its picture column.
inline constexpr const char* kPictureColumnProperty = "vlPictureColumn";

// The one style object of every player menu (made on first use, after the
// application exists; never freed while menus may use it).
QStyle* MenuStyle();

// Measuring of one popup item, shared by the drawing and the tests.
struct TMenuItemMetrics {
  int column = 0;  // picture column width
  int width = 0;
  int height = 0;
};
// `largest`: the level's largest picture (empty without pictures);
// `captionWidth`: the caption's width, with the shortcut's text when there is
// one; `textHeight`: the font's height.
TMenuItemMetrics MeasureMenuItem(bool separator, QSize largest, int captionWidth, int textHeight);

// The system's check-mark size.
constexpr int kMenuCheckWidth = 16;
constexpr int kMenuCheckHeight = 16;

}  // namespace vl
