#pragma once
// Small pieces the player's dialogs share: the picture area, labels that
// show text as it is (no accelerators, no markup) and text measuring.
#include <QFontMetrics>
#include <QImage>
#include <QLabel>
#include <QWidget>
#include <string_view>

namespace vl {

// Paints one picture at its top-left corner, with its transparency.
class PictureBox : public QWidget {
 public:
  PictureBox(const QImage& image, QWidget* parent) : QWidget(parent), image_(image) {}
  const QImage& Image() const { return image_; }

 protected:
  void paintEvent(QPaintEvent*) override;

 private:
  QImage image_;
};

// A dialog text for the screen: "|" and CR LF become line breaks.
QString DialogText(std::string_view text);
// A label showing `text` literally ("&" is not an accelerator).
QLabel* MakeDialogLabel(const QString& text, QWidget* parent);
// The size of a text on one or more lines, tabs expanded (at least one line
// high, as an empty label is).
QSize PlainTextSize(const QFontMetrics& fm, const QString& text);
// The height of a text wrapped at word breaks into `width`.
int WrappedTextHeight(const QFontMetrics& fm, const QString& text, int width);

}  // namespace vl
