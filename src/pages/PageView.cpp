// Showing the current page: the background look, and the object layers
// shown and hidden with the pages.
#include "pages/PageView.h"

#include <QPaintEvent>
#include <QPainter>

namespace vl {

TPageView::TPageView(TVLPageNavigator& nav, QWidget* parent) : QWidget(parent), nav_(nav) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setFocusPolicy(Qt::NoFocus);
  auto& list = nav_.Pages();
  auto prevInvalidate = std::move(list.OnInvalidate);
  list.OnInvalidate = [this, prevInvalidate] {
    SyncLayers();
    update();
    if (prevInvalidate) prevInvalidate();
  };
  auto prevArranged = std::move(nav_.Events().masterArranged);
  nav_.Events().masterArranged = [this, prevArranged](int page) {
    SyncLayers();
    if (prevArranged) prevArranged(page);
  };
  const TVellionBackground* master = nav_.MasterBackground();
  resize(master ? master->PublicationRect.size() : QSize(640, 480));
}

TPageView::~TPageView() {
  // The navigator may outlive the view.
  nav_.Pages().OnInvalidate = nullptr;
  nav_.Events().masterArranged = nullptr;
}

QWidget* TPageView::ObjectLayer(int index) {
  if (!nav_.Pages().IsValidIndex(index)) return nullptr;
  auto it = layers_.find(index);
  if (it != layers_.end()) return it->second;
  auto* layer = new QWidget(this);
  layer->setObjectName(QStringLiteral("page%1").arg(index));
  layer->setGeometry(rect());
  layer->setAttribute(Qt::WA_NoSystemBackground);
  layer->hide();
  layers_.emplace(index, layer);
  SyncLayers();
  return layer;
}

void TPageView::SetPublicationRect(const QRect& r) {
  for (int i = 0; i < nav_.PageCount(); ++i) nav_.Pages().Page(i)->background.PublicationRect = r;
  if (width() < r.right() + 1 || height() < r.bottom() + 1)
    resize(std::max(width(), r.right() + 1), std::max(height(), r.bottom() + 1));
  update();
}

void TPageView::ClearLayers() {
  auto layers = std::move(layers_);
  layers_.clear();
  for (auto& [index, layer] : layers) delete layer;
}

void TPageView::SyncLayers() {
  const int cur = nav_.PageIndex();
  const bool master = nav_.ShowsMaster(cur);
  for (auto& [index, layer] : layers_) {
    const bool show = index == cur || (index == 0 && master);
    if (layer->isVisibleTo(this) != show) layer->setVisible(show);
  }
  // The master page's objects lie between the page's background and its
  // own objects.
  auto m = layers_.find(0);
  if (m != layers_.end()) m->second->lower();
}

void TPageView::PaintLook(QPainter& painter, int index) {
  const TVLPage* page = nav_.Pages().Page(index);
  if (!page) return;
  PaintBackground(page->background, painter, page->background.PublicationRect);
}

void TPageView::PaintPageTo(QPainter& painter, int index, int dx, int dy) {
  Render(painter, index, nullptr, dx, dy);
}

void TPageView::PaintBehind(QPainter& painter, int index, const QWidget* object, int dx, int dy) {
  Render(painter, index, object, dx, dy);
}

void TPageView::Render(QPainter& painter, int index, const QWidget* stopAt, int dx, int dy) {
  ++offscreen_;
  try {
    painter.save();
    painter.translate(dx, dy);
    painter.setClipRect(rect(), Qt::IntersectClip);
    PaintLook(painter, index);
    bool stopped = false;
    auto drawLayer = [&](int i) {
      auto it = layers_.find(i);
      if (it == layers_.end() || stopped) return;
      // Only the objects: the layer itself has no look of its own.
      for (QObject* child : it->second->children()) {
        auto* w = qobject_cast<QWidget*>(child);
        if (w && w == stopAt) {
          stopped = true;
          return;
        }
        if (!w || w->isHidden()) continue;
        QWidget::RenderFlags flags = QWidget::DrawChildren;
        if (w->autoFillBackground()) flags |= QWidget::DrawWindowBackground;
        w->render(&painter, it->second->pos() + w->pos(), QRegion(), flags);
      }
    };
    if (nav_.ShowsMaster(index)) drawLayer(0);
    drawLayer(index);
    painter.restore();
  } catch (...) {
    --offscreen_;
    throw;
  }
  --offscreen_;
}

QImage TPageView::RenderPage(int index) {
  QImage img(size(), QImage::Format_RGB32);
  img.fill(Qt::black);
  QPainter p(&img);
  PaintPageTo(p, index);
  return img;
}

void TPageView::paintEvent(QPaintEvent* e) {
  // Straight into the window's own back buffer: a second one of ours would
  // cost a page-sized image and a copy on every paint, the first one most.
  QPainter p(this);
  p.setClipRegion(e->region());
  PaintLook(p, nav_.PageIndex());
  // Objects are child widgets and paint themselves over this.
}

void TPageView::resizeEvent(QResizeEvent* e) {
  QWidget::resizeEvent(e);
  for (auto& [index, layer] : layers_) layer->setGeometry(rect());
}

}  // namespace vl
