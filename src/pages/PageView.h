#pragma once
// The widget that shows the current page: its background look (and the
// master page's objects behind it when the page shows the master page), with
// one layer widget per page that the page's objects are created in.
#include <QImage>
#include <QWidget>
#include <map>

#include "pages/VLPageList.h"

namespace vl {

class TPageView : public QWidget {
 public:
  // The view follows `nav`: it redraws on every switch and shows the layer
  // of the current page (and the master page's layer under it). It chains
  // the navigator's OnInvalidate and masterArranged callbacks.
  TPageView(TVLPageNavigator& nav, QWidget* parent = nullptr);
  ~TPageView() override;

  // The widget page `index`'s objects are children of (created on first
  // use, the view's size, transparent). Layer 0 holds the master page's
  // objects and is shown under the layer of a page that shows the master
  // page.
  QWidget* ObjectLayer(int index);
  // Gives every page background the publication rectangle; the view takes
  // the publication size (or more, when the window makes it fill more).
  void SetPublicationRect(const QRect& rect);

  // Renders page `index` as it shows (background, then the master page's
  // objects when it shows them, then its own visible objects) into
  // `painter` shifted by (dx, dy) and clipped to the view's size.
  void PaintPageTo(QPainter& painter, int index, int dx = 0, int dy = 0);
  // The same, but stopping before `object` (a page object widget), so only
  // what lies below it is drawn: what a transparent object shows through.
  void PaintBehind(QPainter& painter, int index, const QWidget* object, int dx = 0, int dy = 0);
  // The same into a new picture of the view's size.
  QImage RenderPage(int index);
  // Set while PaintPageTo runs.
  bool PaintingOffscreen() const { return offscreen_ > 0; }

  // Shows the layers of the current page (after a switch).
  void SyncLayers();
  // Deletes every layer with the objects in it (the pages are going).
  void ClearLayers();

 protected:
  void paintEvent(QPaintEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;

 private:
  // The background look of page `index` into the picture.
  void PaintLook(QPainter& painter, int index);
  // PaintPageTo and PaintBehind: stops at `stopAt` when it is given.
  void Render(QPainter& painter, int index, const QWidget* stopAt, int dx, int dy);

  TVLPageNavigator& nav_;
  std::map<int, QWidget*> layers_;
  int offscreen_ = 0;
};

}  // namespace vl
