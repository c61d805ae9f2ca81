// The shapes as they show: outlines, fills and tiles in both renderers, the
// line's window and arrows, the polygon's outline and its hit test.
#include <QApplication>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <optional>

#include "ObjectsTestSupport.h"
#include "objects/ObjLine.h"
#include "objects/ObjPolygon.h"
#include "objects/ShapePaint.h"
#include "runtime/Global.h"

using namespace vl;
using namespace vltest;

namespace {

constexpr QRgb kRed = 0xFFFF0000, kBlue = 0xFF0000FF, kBlack = 0xFF000000, kWhite = 0xFFFFFFFF;

// Colours as the records write them (0x00BBGGRR).
const std::string kRecRed = "255", kRecBlue = "16711680";

// The plain renderer while it lives (a display of 256 colours).
struct PlainRenderer {
  int saved = Globals().displayColorCount;
  PlainRenderer() { Globals().displayColorCount = 256; }
  ~PlainRenderer() { Globals().displayColorCount = saved; }
};

class Shapes : public ObjectsTest {
 protected:
  // Forgets the publication, so the next Load starts afresh.
  void Unload() {
    TheObjects().Clear();
    view.reset();
    pub = TPublication();
  }
  // A blue page holding `objects`.
  bool LoadPage(const std::string& objects) {
    return Load("NEWPAGE=One\nPAGECOLOR=" + kRecBlue + "\n" + objects);
  }
  QImage Render() { return view->RenderPage(nav.PageIndex()); }
  static QRgb At(const QImage& img, int x, int y) { return img.pixel(x, y) | 0xFF000000u; }
  // Runs `check` once with each renderer, the objects loaded anew.
  template <typename F>
  void BothRenderers(const std::string& objects, F&& check) {
    for (bool smooth : {true, false}) {
      SCOPED_TRACE(smooth ? "smooth" : "plain");
      std::optional<PlainRenderer> plain;
      if (!smooth) plain.emplace();
      Unload();
      ASSERT_TRUE(LoadPage(objects));
      check(smooth, Render());
    }
  }
};

std::string Rect(int type, int x, int y, int w, int h, const std::string& extra) {
  return "ObjectType=" + std::to_string(type) + "\nName=S\nX=" + std::to_string(x) + "\nY=" + std::to_string(y) +
         "\nW=" + std::to_string(w) + "\nH=" + std::to_string(h) + "\n" + extra;
}

TEST_F(Shapes, ClearStyleDrawsNoOutline) {
  BothRenderers(Rect(5, 10, 10, 40, 30, "FillColor=255\nLineColor=0\nLineWidth=3\nLineStyle=7\n"),
                [](bool, const QImage& img) {
                  for (QPoint p : {QPoint(10, 10), QPoint(12, 12), QPoint(49, 39), QPoint(30, 10)})
                    EXPECT_EQ(At(img, p.x(), p.y()), kRed) << p.x() << "," << p.y();
                  EXPECT_EQ(At(img, 50, 40), kBlue);
                });
}

TEST_F(Shapes, WideDashesArePlainSolidAndSmoothDashed) {
  BothRenderers(Rect(5, 10, 10, 80, 30, "FillColor=255\nLineColor=0\nLineWidth=2\nLineStyle=1\n"),
                [](bool smooth, const QImage& img) {
                  int black = 0;
                  for (int x = 10; x < 90; ++x) black += At(img, x, 10) == kBlack;
                  if (smooth) {
                    EXPECT_GT(black, 20);
                    EXPECT_LT(black, 75);  // gaps show the fill
                  } else {
                    EXPECT_EQ(black, 80);
                  }
                  if (!smooth) {
                    EXPECT_EQ(At(img, 30, 11), kBlack);  // two pixels deep
                  }
                  EXPECT_EQ(At(img, 12, 12), kRed);
                });
}

TEST_F(Shapes, ThreeDFramesLightTheTopLeft) {
  BothRenderers(Rect(5, 10, 10, 40, 30, "FillColor=255\nLineColor=0\nLineWidth=2\nLineStyle=5\n"),
                [](bool smooth, const QImage& img) {
                  EXPECT_EQ(At(img, 20, 10), kWhite);
                  EXPECT_EQ(At(img, 11, 20), kWhite);
                  EXPECT_EQ(At(img, 20, 39), kBlack);
                  EXPECT_EQ(At(img, 48, 20), kBlack);
                  EXPECT_EQ(At(img, 12, 12), kRed);
                  // Where the colours meet: the bottom-right colour in the
                  // plain look, their blend in the smooth one.
                  const QRgb corner = At(img, 49, 10);
                  if (smooth)
                    EXPECT_EQ(corner, qRgb(127, 127, 127));
                  else
                    EXPECT_EQ(corner, kBlack);
                });
}

TEST_F(Shapes, TransparentTilesLeaveTheirSetBitsUntouched) {
  // Pattern 3 is a checkerboard whose top-left pixel is a set bit; the grid
  // starts at the object's corner, wherever that is.
  BothRenderers(Rect(5, 21, 21, 16, 16, "FillColor=255\nLineWidth=0\nFillPattern=3\nFillMode=Yes\n"),
                [](bool, const QImage& img) {
                  EXPECT_EQ(At(img, 21, 21), kBlue);
                  EXPECT_EQ(At(img, 22, 21), kRed);
                  EXPECT_EQ(At(img, 21, 22), kRed);
                  EXPECT_EQ(At(img, 22, 22), kBlue);
                  EXPECT_EQ(At(img, 29, 21), kBlue);  // the next tile
                });
  // Without FillMode the set bits are white.
  BothRenderers(Rect(5, 21, 21, 16, 16, "FillColor=255\nLineWidth=0\nFillPattern=3\n"),
                [](bool, const QImage& img) {
                  EXPECT_EQ(At(img, 21, 21), kWhite);
                  EXPECT_EQ(At(img, 22, 21), kRed);
                });
}

TEST_F(Shapes, TileTableRowsAreTheNamedPatterns) {
  ASSERT_NE(FillTileRows(2), nullptr);
  EXPECT_EQ(FillTileRows(2)[0], 0x77);
  EXPECT_EQ(FillTileRows(25)[7], 0x03);
  EXPECT_EQ(FillTileRows(48)[0], 0x03);
  EXPECT_EQ(FillTileRows(48)[7], 0xFF);
  EXPECT_EQ(FillTileRows(1), nullptr);
  EXPECT_EQ(FillTileRows(49), nullptr);
  const QImage tile = FillTile(46, QColor(Qt::red), true);  // a staircase: FE FC ... 00
  EXPECT_EQ(qAlpha(tile.pixel(0, 0)), 0);
  EXPECT_EQ(tile.pixel(7, 0), kRed);
  EXPECT_EQ(qAlpha(tile.pixel(5, 1)), 0);
  EXPECT_EQ(tile.pixel(6, 1), kRed);
  EXPECT_EQ(tile.pixel(0, 7), kRed);
}

TEST_F(Shapes, RoundedCornersDifferByRenderer) {
  // 60 by 30: radius 10 when smooth, a corner ellipse of 7 when plain.
  BothRenderers(Rect(17, 100, 100, 60, 30, "FillColor=255\nLineWidth=0\n"), [](bool smooth, const QImage& img) {
    EXPECT_EQ(At(img, 101, 101), smooth ? kBlue : kRed);
    EXPECT_EQ(At(img, 102, 101), smooth ? kBlue : kRed);
    EXPECT_EQ(At(img, 100, 100), kBlue);
    EXPECT_EQ(At(img, 130, 115), kRed);
    EXPECT_EQ(At(img, 110, 100), kRed);
  });
  BothRenderers(Rect(6, 100, 100, 61, 41, "FillColor=255\nLineWidth=0\n"), [](bool, const QImage& img) {
    EXPECT_EQ(At(img, 130, 120), kRed);
    EXPECT_EQ(At(img, 104, 104), kBlue);
    EXPECT_EQ(At(img, 101, 120), kRed);
    EXPECT_EQ(At(img, 160, 120), kBlue);  // the last column stays free
  });
}

TEST_F(Shapes, EllipseOutlineUsesThePen) {
  BothRenderers(Rect(6, 100, 100, 61, 41, "FillColor=255\nLineWidth=3\nLineColor=0\n"),
                [](bool, const QImage& img) {
                  EXPECT_EQ(At(img, 101, 120), kBlack);
                  EXPECT_EQ(At(img, 130, 101), kBlack);
                  EXPECT_EQ(At(img, 130, 120), kRed);
                });
}

struct LineCase {
  const char* keys;
  QRect window;
};

TEST_F(Shapes, LineWindowsHugTheirPoints) {
  const LineCase cases[] = {
      {"X1=10\nY1=50\nX2=110\nY2=50\n", QRect(10, 50, 100, 2)},
      {"X1=20\nY1=60\nX2=20\nY2=10\n", QRect(20, 10, 2, 50)},
      {"LineWidth=4\nX1=10\nY1=10\nX2=50\nY2=30\n", QRect(8, 8, 44, 24)},
      {"EndCaps=513\nX1=20\nY1=50\nX2=120\nY2=50\n", QRect(20, 46, 100, 8)},
      // Y2 before X2: the second x is whatever was read before.
      {"X1=10\nY1=10\nY2=40\nX2=99\n", QRect(-1, 9, 12, 32)},
      // The points win over X= and W= read after them.
      {"X1=10\nY1=50\nX2=110\nY2=50\nX=300\nW=5\n", QRect(10, 50, 100, 2)},
  };
  for (const LineCase& c : cases) {
    SCOPED_TRACE(c.keys);
    Unload();
    ASSERT_TRUE(LoadPage(std::string("ObjectType=7\nName=L\n") + c.keys));
    EXPECT_EQ(Obj("L")->geometry(), c.window);
  }
  // A wider pen grows the window, arrows included.
  auto* line = As<TVellionLine>("L");
  line->SetPoints(QPoint(10, 50), QPoint(110, 50));
  line->SetLineWidth(3);
  EXPECT_EQ(line->geometry(), QRect(8, 48, 104, 4));  // the whole pen fits
  line->SetCaps(lc_None, lc_Arrow);
  EXPECT_EQ(line->ArrowLength(), 16);
  EXPECT_EQ(line->geometry(), QRect(8, 42, 104, 16));
  // Fitted into a rectangle, each end keeps its quarter.
  line->SetLineWidth(1);
  line->SetPoints(QPoint(50, 10), QPoint(10, 30));
  line->SetLineBounds(QRect(100, 100, 40, 20));
  EXPECT_EQ(line->StartPoint(), QPoint(139, 101));
  EXPECT_EQ(line->EndPoint(), QPoint(101, 119));
}

TEST_F(Shapes, ArrowHeadsAreEightPixelsAtWidthOne) {
  PlainRenderer plain;
  ASSERT_TRUE(LoadPage("ObjectType=7\nName=L\nLineColor=0\nEndCaps=513\nX1=20\nY1=50\nX2=120\nY2=50\n"));
  const QImage img = Render();
  auto column = [&](int x) {
    int n = 0;
    for (int y = 40; y < 60; ++y) n += At(img, x, y) == kBlack;
    return n;
  };
  EXPECT_EQ(column(27), 8);  // the start arrow's base
  EXPECT_EQ(column(28), 1);  // the line
  EXPECT_EQ(column(112), 8);  // the end arrow's base
  EXPECT_EQ(At(img, 21, 50), kBlack);
  EXPECT_EQ(At(img, 19, 50), kBlue);
  // Tip on the end point, base 8 wide and 8 back.
  const QPolygonF head = ArrowHead(QPointF(20, 50), QPointF(120, 50), 8, 8);
  EXPECT_EQ(head[0], QPointF(20, 50));
  EXPECT_EQ(head[1], QPointF(28, 46));
  EXPECT_EQ(head[2], QPointF(28, 54));
}

TEST_F(Shapes, LineDrawsBetweenItsPoints) {
  BothRenderers("ObjectType=7\nName=L\nLineColor=0\nLineWidth=3\nX1=10\nY1=100\nX2=200\nY2=100\n",
                [](bool, const QImage& img) {
                  EXPECT_EQ(At(img, 100, 99), kBlack);
                  EXPECT_EQ(At(img, 100, 101), kBlack);
                  EXPECT_EQ(At(img, 100, 103), kBlue);
                });
}

TEST_F(Shapes, PolygonPointsReadLeniently) {
  struct Case {
    const char* text;
    std::vector<QPoint> points;
  } cases[] = {
      {"3,0,0,50,0,25,40", {{0, 0}, {50, 0}, {25, 40}}},
      {"3,1,2", {{1, 2}, {0, 0}, {0, 0}}},     // missing numbers read as 0
      {"2,a,5,7,8,9,10", {{0, 5}, {7, 8}}},    // a bad number is 0, extra ones ignored
      {" 2 , 1 , 2 , 3 , 4", {{1, 2}, {3, 4}}},
      {"0,1,2", {}},
      {"-3,1,2", {}},
      {"", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(TVellionPolygon::ParsePoints(c.text), c.points) << c.text;
  // A count far beyond what is given is capped.
  EXPECT_EQ(TVellionPolygon::ParsePoints("2000000000,1,1").size(), size_t(kMaxPolygonPoints));
}

// Sends a left click to whatever the window finds at page point `p`.
void ClickAtPagePoint(QWidget* view, QPoint p) {
  QWidget* window = view->window();
  const QPoint wp = view->mapTo(window, p);
  QWidget* w = window->childAt(wp);
  ASSERT_NE(w, nullptr);
  const QPointF local(w->mapFrom(window, wp));
  QMouseEvent press(QEvent::MouseButtonPress, local, QPointF(wp), QPointF(window->mapToGlobal(wp)), Qt::LeftButton,
                    Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(w, &press);
  QMouseEvent release(QEvent::MouseButtonRelease, local, QPointF(wp), QPointF(window->mapToGlobal(wp)),
                      Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(w, &release);
}

TEST_F(Shapes, TrianglePassesClicksOutsideItsOutline) {
  const std::string objects =
      "ObjectType=5\nName=Below\nX=90\nY=90\nW=100\nH=100\nFillColor=0\nObjAction=SetVar \"[hit]\" \"below\"\n"
      "ObjectType=23\nName=Tri\nX=100\nY=100\nW=10\nH=10\nFillColor=255\nLineWidth=0\nPoints=3,0,0,50,0,25,40\n"
      "ObjAction=SetVar \"[hit]\" \"triangle\"\n";
  BothRenderers(objects, [&](bool smooth, const QImage& img) {
    auto* tri = As<TVellionPolygon>("Tri");
    ASSERT_NE(tri, nullptr);
    EXPECT_EQ(tri->size(), smooth ? QSize(50, 40) : QSize(51, 41));
    EXPECT_EQ(At(img, 125, 110), kRed);
    EXPECT_EQ(At(img, 103, 135), kBlack);  // the rectangle below shows
    ClickAtPagePoint(view.get(), QPoint(103, 135));
    Drain();
    EXPECT_EQ(Var("hit"), "below");
    ClickAtPagePoint(view.get(), QPoint(125, 110));
    Drain();
    EXPECT_EQ(Var("hit"), "triangle");
  });
}

TEST_F(Shapes, PolygonWithoutPointsIsItsRectangle) {
  BothRenderers("ObjectType=23\nName=P\nX=10\nY=10\nW=30\nH=20\nFillColor=255\nLineWidth=0\nPoints=0\n",
                [&](bool, const QImage& img) {
                  EXPECT_EQ(Obj("P")->size(), QSize(30, 20));
                  EXPECT_EQ(At(img, 10, 10), kRed);
                  EXPECT_EQ(At(img, 39, 29), kRed);
                  EXPECT_EQ(At(img, 40, 30), kBlue);
                });
  // Entering the page again keeps the size.
  Obj("P")->OnPageEnter();
  Obj("P")->OnPageEnter();
  EXPECT_EQ(Obj("P")->size(), QSize(30, 20));
}

TEST_F(Shapes, PictureOutlineFollowsItsOpaquePixels) {
  // Left half red, right half green; green is the transparent colour.
  QTemporaryDir dir;
  QImage pic(20, 10, QImage::Format_RGB32);
  pic.fill(Qt::green);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 10; ++x) pic.setPixel(x, y, kRed);
  const QString file = dir.filePath("shape.bmp");
  ASSERT_TRUE(pic.save(file));
  const std::string keys = "ObjectType=5\nName=Below\nX=0\nY=0\nW=200\nH=200\nFillColor=0\n"
                           "ObjectType=23\nName=P\nX=50\nY=50\nW=5\nH=5\nPictStyle=1\nPictTransColor=65280\n"
                           "LineWidth=0\nPoints=3,0,0,5,0,0,5\nFileName=" +
                           file.toStdString() + "\n";
  BothRenderers(keys, [&](bool, const QImage& img) {
    auto* p = As<TVellionPolygon>("P");
    ASSERT_NE(p, nullptr);
    EXPECT_TRUE(p->ImageRgnOK());
    EXPECT_TRUE(p->Points().empty());
    EXPECT_EQ(p->size(), QSize(20, 10));
    EXPECT_EQ(At(img, 55, 55), kRed);
    EXPECT_EQ(At(img, 65, 55), kBlack);  // outside the outline: the rectangle below
    EXPECT_EQ(view->window()->childAt(view->mapTo(view->window(), QPoint(65, 55))), Obj("Below"));
    EXPECT_EQ(view->window()->childAt(view->mapTo(view->window(), QPoint(55, 55))), p);
  });
  // A picture that cannot be read leaves the point outline.
  Unload();
  ASSERT_TRUE(LoadPage("ObjectType=23\nName=P\nX=50\nY=50\nPictStyle=1\nPoints=3,0,0,50,0,25,40\n"
                       "FileName=" + dir.filePath("missing.bmp").toStdString() + "\n"));
  EXPECT_FALSE(As<TVellionPolygon>("P")->ImageRgnOK());
  EXPECT_EQ(As<TVellionPolygon>("P")->Points().size(), 3u);
  // A file name with a variable follows the variable.
  Unload();
  SetVariable("[pic]", file.toStdString());
  ASSERT_TRUE(LoadPage("ObjectType=23\nName=P\nX=50\nY=50\nPictStyle=1\nPictTransColor=65280\nFileName=[pic]\n"));
  EXPECT_TRUE(As<TVellionPolygon>("P")->ImageRgnOK());
  SetVariable("[pic]", dir.filePath("missing.bmp").toStdString());
  TheObjects().VarChanged("[PIC]", Var("pic"));
  EXPECT_FALSE(As<TVellionPolygon>("P")->ImageRgnOK());
}

}  // namespace
