// Page backgrounds rendered through the page view, checked by pixel probes:
// solid, gradients, wallpapers, the master page behind pages and the palette
// of a 256-colour display.
#include <QColor>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include "PagesTestSupport.h"
#include "images/PictureCache.h"
#include "pages/PageView.h"

using namespace vl;
using namespace vltest;

namespace {

QRgb Rgb(int r, int g, int b) { return qRgb(r, g, b); }
QRgb At(const QImage& img, int x, int y) { return img.pixel(x, y) | 0xFF000000u; }

class Background : public PagesTest {
 protected:
  void SetUp() override {
    PagesTest::SetUp();
    ASSERT_TRUE(dir.isValid());
    Globals().displayColorCount = 16777216;
  }
  void TearDown() override {
    view.reset();
    ThePictureCache().ClearCache();
    Globals().displayColorCount = 16777216;
    ApplyPagePalette(nullptr, true, 256);
    PagesTest::TearDown();
  }
  // A publication of `n` pages of `w` x `h` and its view; `edit` sets up
  // the page records first.
  void Make(int n, int w, int h, const std::function<void(TPublication&)>& edit = {}) {
    TPublication p;
    for (int i = 1; i <= n; ++i) {
      TPageRecord r;
      r.name = "P" + std::to_string(i);
      p.pages.push_back(std::move(r));
    }
    if (edit) edit(p);
    nav.Build(p);
    view = std::make_unique<TPageView>(nav);
    view->resize(w, h);
    view->SetPublicationRect(QRect(0, 0, w, h));
    nav.MakeStartPageCurrent(1);
  }
  // A picture file: the top-left pixel red, the rest blue.
  AnsiString Picture(int w, int h) {
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(Rgb(0, 0, 255));
    img.setPixel(0, 0, Rgb(255, 0, 0));
    const QString path = dir.filePath(QString("pic%1x%2.png").arg(w).arg(h));
    EXPECT_TRUE(img.save(path, "PNG"));
    return path.toStdString();
  }
  void Wallpaper(TPublication& p, int page, const AnsiString& file, int style, TColor colour = 0x00FF00) {
    p.pages[page].pageStyle = 2;
    p.pages[page].wallpaper = file;
    p.pages[page].wallpaperStyle = style;
    p.pages[page].pageColor = colour;
  }
  QTemporaryDir dir;
  std::unique_ptr<TPageView> view;
};

TEST_F(Background, SolidAndSystemColours) {
  Make(2, 8, 8, [](TPublication& p) {
    p.pages[1].pageColor = 0x0000FF;     // red, in the low byte
    p.pages[2].pageColor = 0xFF000005;   // the window colour
  });
  EXPECT_EQ(At(view->RenderPage(1), 3, 3), Rgb(255, 0, 0));
  EXPECT_EQ(At(view->RenderPage(2), 3, 3), Rgb(255, 255, 255));
}

TEST(Gradient, RowColoursFollowTheStepRule) {
  std::vector<TColor> c(255);
  GradientColors(0x000000, 0xFFFFFF, 255, c.data());
  EXPECT_EQ(c[0], 0x000000u);
  EXPECT_EQ(c[127], 0x7F7F7Fu);
  EXPECT_EQ(c[254], 0xFEFEFEu);  // one step short of white
  GradientColors(0x000000, 0xFFFFFF, 51, c.data());
  EXPECT_EQ(c[1], 0x050505u);
  EXPECT_EQ(c[50], 0xFAFAFAu);
  // Green (target 10) reaches its target early and then swings around it
  // by less than one step of 2.55 while red goes on.
  GradientColors(0x000000, 0x000AFF, 100, c.data());
  std::vector<int> green;
  for (int i = 3; i < 8; ++i) green.push_back((c[i] >> 8) & 0xFF);
  EXPECT_EQ(green, (std::vector<int>{8, 10, 8, 10, 8}));
  // Halves go to the even neighbour: 0.5 * k over 2 rows of 1 -> step 0.5.
  GradientColors(0x000000, 0x000001, 2, c.data());
  EXPECT_EQ(c[1], 0x000000u);
}

TEST_F(Background, GradientsBothDirections) {
  Make(3, 255, 255, [](TPublication& p) {
    for (int i = 1; i <= 3; ++i) {
      p.pages[i].pageStyle = 1;
      p.pages[i].gradient1 = 0x000000;
      p.pages[i].gradient2 = 0xFFFFFF;
    }
    p.pages[2].gradientDir = 0;
    p.pages[3].gradient1 = p.pages[3].gradient2 = 0x0000FF;
  });
  QImage v = view->RenderPage(1), h = view->RenderPage(2), plain = view->RenderPage(3);
  EXPECT_EQ(At(v, 200, 0), Rgb(0, 0, 0));
  EXPECT_EQ(At(v, 10, 127), Rgb(127, 127, 127));
  EXPECT_EQ(At(v, 10, 254), Rgb(254, 254, 254));
  EXPECT_EQ(At(h, 0, 200), Rgb(0, 0, 0));
  EXPECT_EQ(At(h, 127, 10), Rgb(127, 127, 127));
  EXPECT_EQ(At(h, 254, 10), Rgb(254, 254, 254));
  EXPECT_EQ(At(plain, 0, 0), Rgb(255, 0, 0));
  EXPECT_EQ(At(plain, 254, 254), Rgb(255, 0, 0));
}

TEST_F(Background, WallpaperStyles) {
  const AnsiString small = Picture(4, 3), large = Picture(30, 20);
  Make(5, 20, 12, [&](TPublication& p) {
    Wallpaper(p, 1, small, 0);
    Wallpaper(p, 2, small, 1);
    Wallpaper(p, 3, small, 2);
    Wallpaper(p, 4, large, 1);
    Wallpaper(p, 5, dir.filePath("missing.png").toStdString(), 0);
  });
  const QRgb red = Rgb(255, 0, 0), blue = Rgb(0, 0, 255), green = Rgb(0, 255, 0);
  QImage tile = view->RenderPage(1);
  EXPECT_EQ(At(tile, 0, 0), red);
  EXPECT_EQ(At(tile, 4, 3), red);
  EXPECT_EQ(At(tile, 16, 9), red);
  EXPECT_EQ(At(tile, 1, 0), blue);
  EXPECT_EQ(At(tile, 19, 11), blue);
  QImage centre = view->RenderPage(2);
  EXPECT_EQ(At(centre, 8, 4), red);  // (20-4)/2, (12-3)/2 truncated
  EXPECT_EQ(At(centre, 9, 5), blue);
  EXPECT_EQ(At(centre, 0, 0), green);
  EXPECT_EQ(At(centre, 12, 7), green);
  QImage stretched = view->RenderPage(3);
  EXPECT_EQ(At(stretched, 2, 2), red);
  EXPECT_EQ(At(stretched, 5, 4), blue);
  EXPECT_EQ(At(stretched, 19, 11), blue);
  // Larger than the page: clipped, offset by (-5, -4), no page colour.
  QImage big = view->RenderPage(4);
  for (QPoint pt : {QPoint(0, 0), QPoint(19, 11), QPoint(10, 6)}) EXPECT_EQ(At(big, pt.x(), pt.y()), blue);
  // A wallpaper that cannot be read leaves the plain colour.
  EXPECT_EQ(At(view->RenderPage(5), 3, 3), green);
  // The pictures came from the cache and are no longer pinned.
  TCachedPicture pic = ThePictureCache().GetPicture(small, false);
  ASSERT_TRUE(pic);
  EXPECT_EQ(ThePictureCache().PinCount(pic.picture), 0);
}

TEST_F(Background, ScaledWallpaperForPrinting) {
  const AnsiString small = Picture(4, 3);
  Make(1, 20, 12, [&](TPublication& p) { Wallpaper(p, 1, small, 0); });
  QImage img(20, 12, QImage::Format_RGB32);
  QPainter painter(&img);
  PaintBackground(nav.Pages().Page(1)->background, painter, QRect(0, 0, 20, 12), true, 2.0, 2.0);
  painter.end();
  EXPECT_EQ(At(img, 1, 1), Rgb(255, 0, 0));
  EXPECT_EQ(At(img, 8, 6), Rgb(255, 0, 0));  // second copy at (8, 6)
  EXPECT_EQ(At(img, 2, 2), Rgb(0, 0, 255));
}

TEST_F(Background, MasterPageShowsBehindPagesThatWantIt) {
  Make(2, 20, 20, [](TPublication& p) {
    p.pages[1].pageColor = 0xFF0000;  // blue
    p.pages[2].pageColor = 0x00FF00;  // green
    p.pages[2].showMasterPage = false;
  });
  auto object = [&](int page, QRect where, QColor colour) {
    auto* w = new QWidget(view->ObjectLayer(page));
    w->setGeometry(where);
    w->setAutoFillBackground(true);
    QPalette pal = w->palette();
    pal.setColor(QPalette::Window, colour);
    w->setPalette(pal);
    w->show();
  };
  object(0, QRect(0, 0, 6, 6), Qt::yellow);
  object(1, QRect(4, 4, 6, 6), Qt::magenta);
  object(2, QRect(12, 12, 4, 4), Qt::cyan);

  QImage one = view->RenderPage(1);
  EXPECT_EQ(At(one, 1, 1), Rgb(255, 255, 0));  // master object
  EXPECT_EQ(At(one, 5, 5), Rgb(255, 0, 255));  // the page's own object on top
  EXPECT_EQ(At(one, 15, 15), Rgb(0, 0, 255));  // the page's look
  // Below the page's own object lie the master object and the look.
  QImage behind(20, 20, QImage::Format_RGB32);
  {
    QPainter p(&behind);
    view->PaintBehind(p, 1, view->ObjectLayer(1)->findChild<QWidget*>());
  }
  EXPECT_EQ(At(behind, 5, 5), Rgb(255, 255, 0));
  EXPECT_EQ(At(behind, 8, 8), Rgb(0, 0, 255));
  QImage two = view->RenderPage(2);
  EXPECT_EQ(At(two, 1, 1), Rgb(0, 255, 0));  // no master objects
  EXPECT_EQ(At(two, 13, 13), Rgb(0, 255, 255));

  // The master background takes over the look of the page it is behind and
  // returns to plain white on a page that does not show it.
  EXPECT_EQ(nav.MasterOn(), 1);
  EXPECT_EQ(nav.MasterBackground()->Color, 0xFF0000u);
  EXPECT_TRUE(view->ObjectLayer(0)->isVisibleTo(view.get()));
  nav.ProcessPageChange(2);
  EXPECT_EQ(nav.MasterOn(), 0);
  EXPECT_EQ(nav.MasterBackground()->Color, 0xFFFFFFu);
  EXPECT_FALSE(view->ObjectLayer(0)->isVisibleTo(view.get()));
  EXPECT_FALSE(view->ObjectLayer(1)->isVisibleTo(view.get()));
  EXPECT_TRUE(view->ObjectLayer(2)->isVisibleTo(view.get()));
  // The widget shows what RenderPage renders.
  EXPECT_EQ(At(view->grab().toImage(), 1, 1), Rgb(0, 255, 0));
  nav.ProcessPageChange(1);
  EXPECT_EQ(At(view->grab().toImage(), 1, 1), Rgb(255, 255, 0));
  EXPECT_EQ(At(view->grab().toImage(), 15, 15), Rgb(0, 0, 255));
}

TEST_F(Background, PaletteDisplayShowsPaletteColours) {
  Make(1, 8, 8, [](TPublication& p) { p.pages[1].pageColor = 0x563412; });
  EXPECT_EQ(At(view->RenderPage(1), 1, 1), Rgb(0x12, 0x34, 0x56));
  Globals().displayColorCount = 256;
  const QRgb shown = At(view->RenderPage(1), 1, 1);
  EXPECT_NE(shown, Rgb(0x12, 0x34, 0x56));
  const TColor asColour = qRed(shown) | (qGreen(shown) << 8) | (qBlue(shown) << 16);
  const auto& pal = StandardPalette();
  EXPECT_NE(std::find(pal.begin(), pal.end(), asColour), pal.end());
  // A 16-colour publication loads the 16-colour palette.
  EXPECT_TRUE(ApplyPagePalette(&nav.Pages().Page(1)->background, false, 16));
  const QRgb sixteen = At(view->RenderPage(1), 1, 1);
  const TColor c16 = qRed(sixteen) | (qGreen(sixteen) << 8) | (qBlue(sixteen) << 16);
  const auto& p16 = SixteenColorPalette();
  EXPECT_NE(std::find(p16.begin(), p16.begin() + 16, c16), p16.begin() + 16);
  EXPECT_FALSE(ApplyPagePalette(&nav.Pages().Page(1)->background, false, 16));
}

TEST_F(Background, PageOwnPaletteOnlyWithoutTheStandardOne) {
  Make(1, 4, 4, [](TPublication& p) {
    p.pages[1].ownPalette = std::make_unique<TPalette>();
    p.pages[1].ownPalette->fill(0x0000FF);
    p.usesStandardPalette = false;
    p.settings.screenColors = 256;
  });
  nav.ApplyPagePalette();
  EXPECT_EQ(ProcessPalette()[0], 0x0000FFu);
  nav.usesStandardPalette = true;
  nav.ApplyPagePalette();
  EXPECT_EQ(ProcessPalette(), StandardPalette());
}

}  // namespace
