// The picture object as it shows: every layout, zoom, the transparent
// colour and alpha over what lies below, opacity, the scroll box, panning,
// file names with variables, and missing or damaged files.
#include <QMouseEvent>
#include <QScrollArea>
#include <QScrollBar>
#include <optional>

#include "ObjectsTestSupport.h"
#include "objects/ObjPicture.h"
#include "runtime/Global.h"

using namespace vl;
using namespace vltest;

namespace {

constexpr QRgb kRed = 0xFFFF0000, kLime = 0xFF00FF00, kBlue = 0xFF0000FF, kYellow = 0xFFFFFF00,
               kWhite = 0xFFFFFFFF, kBlack = 0xFF000000, kGreen = 0xFF008000;

std::string Fixture(const std::string& name) {
  return std::string(VL_SOURCE_DIR) + "/tests/objects/fixtures/" + name;
}

class PictureObject : public ObjectsTest {
 protected:
  void Unload() {
    TheObjects().Clear();
    view.reset();
    pub = TPublication();
  }
  // A black page with a white 20 by 16 picture P at (10, 10) showing
  // `file`, without an outline, and `extra` keys.
  bool LoadPicture(const std::string& file, const std::string& extra, const std::string& below = "") {
    Unload();
    return Load("NEWPAGE=One\nPAGECOLOR=0\n" + below +
                "ObjectType=4\nName=P\nX=10\nY=10\nW=20\nH=16\nLineWidth=0\nFillColor=16777215\nFileName=" +
                Fixture(file) + "\n" + extra);
  }
  TVellionPicture* Pic() { return As<TVellionPicture>("P"); }
  QImage Render() { return view->RenderPage(nav.PageIndex()); }
  // A pixel of the picture object (its own coordinates).
  QRgb At(const QImage& img, int x, int y) { return img.pixel(10 + x, 10 + y) | 0xFF000000u; }
};

struct LayoutCase {
  const char* name;
  const char* keys;
  // Points of the object and the colour each must show.
  std::vector<std::tuple<int, int, QRgb>> expect;
};

TEST_F(PictureObject, EveryLayoutPutsTheQuadrantsWhereItShould) {
  // quad.png is 8 by 6: red, lime / blue, yellow quadrants of 4 by 3.
  const LayoutCase cases[] = {
      {"normal", "", {{1, 1, kRed}, {5, 1, kLime}, {1, 4, kBlue}, {7, 5, kYellow}, {8, 1, kWhite}, {1, 6, kWhite}}},
      {"normal centred", "Centered=Yes", {{6, 5, kRed}, {13, 10, kYellow}, {5, 5, kWhite}, {14, 5, kWhite}}},
      {"normal zoom 200", "PictZoomFactor=200", {{7, 5, kRed}, {8, 5, kLime}, {7, 6, kBlue}, {15, 11, kYellow}, {16, 1, kWhite}}},
      {"zoom below 10 is 10", "PictZoomFactor=5", {{0, 0, kRed}, {1, 0, kWhite}, {0, 1, kWhite}}},
      {"stretch", "PictStyle=1", {{2, 2, kRed}, {17, 2, kLime}, {2, 13, kBlue}, {19, 15, kYellow}}},
      {"stretch with aspect", "PictStyle=2", {{2, 2, kRed}, {19, 14, kYellow}, {5, 15, kWhite}}},
      {"stretch with aspect, centred", "PictStyle=2\nCentered=Yes", {{0, 0, kWhite}, {2, 2, kRed}, {19, 15, kYellow}}},
      {"tile", "PictStyle=3", {{9, 1, kRed}, {1, 7, kRed}, {13, 10, kYellow}, {17, 13, kRed}, {19, 15, kBlue}}},
      {"tile across", "PictStyle=4", {{9, 2, kRed}, {9, 12, kBlue}, {13, 15, kYellow}, {19, 0, kRed}}},
      {"tile down", "PictStyle=5", {{2, 1, kRed}, {17, 1, kLime}, {2, 7, kRed}, {17, 10, kYellow}, {0, 15, kBlue}}},
      {"auto, smaller", "PictStyle=6", {{1, 1, kRed}, {10, 10, kWhite}}},
      {"auto, smaller, centred", "PictStyle=6\nCentered=Yes", {{6, 5, kRed}, {1, 1, kWhite}}},
      {"auto, larger", "PictStyle=6\nPictZoomFactor=300", {{2, 2, kRed}, {19, 14, kYellow}, {5, 15, kWhite}}},
  };
  for (const LayoutCase& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(LoadPicture("quad.png", std::string(c.keys) + "\n"));
    const QImage img = Render();
    for (auto [x, y, want] : c.expect)
      EXPECT_EQ(At(img, x, y), want) << "at " << x << "," << y;
  }
}

TEST_F(PictureObject, TransparentColourAndAlphaShowWhatLiesBelow) {
  const std::string below = "ObjectType=5\nName=Below\nX=0\nY=0\nW=100\nH=100\nLineWidth=0\nFillColor=32768\n";
  // Magenta is the transparent colour; the hollow fill lets the page show.
  ASSERT_TRUE(LoadPicture("keyed.bmp", "FillPattern=1\nPictTransColor=16711935\n", below));
  QImage img = Render();
  EXPECT_EQ(At(img, 0, 0), kGreen);
  EXPECT_EQ(At(img, 2, 2), kBlue);
  EXPECT_EQ(At(img, 10, 10), kGreen);  // outside the picture: hollow
  // Scaled, the key still applies.
  ASSERT_TRUE(LoadPicture("keyed.bmp", "FillPattern=1\nPictStyle=1\nPictTransColor=16711935\n", below));
  img = Render();
  EXPECT_EQ(At(img, 1, 1), kGreen);
  EXPECT_EQ(At(img, 10, 8), kBlue);
  // Without a key the picture is opaque.
  ASSERT_TRUE(LoadPicture("keyed.bmp", "FillPattern=1\n", below));
  EXPECT_EQ(At(Render(), 0, 0), 0xFFFF00FF);
  // The alpha mask: red left, nothing right.
  ASSERT_TRUE(LoadPicture("alpha.png", "FillPattern=1\n", below));
  EXPECT_TRUE(Pic()->HasAlphaMask());
  img = Render();
  EXPECT_EQ(At(img, 1, 1), kRed);
  EXPECT_EQ(At(img, 4, 1), kGreen);
  // With scroll bars the picture is drawn opaque (alpha ignored).
  ASSERT_TRUE(LoadPicture("alpha.png", "ScrollBar=Yes\nPictZoomFactor=1000\n", below));
  EXPECT_NE(Pic()->ScrollBox(), nullptr);
  EXPECT_NE(At(Render(), 40 / 10 + 4, 1), kGreen);
}

TEST_F(PictureObject, OpacityBlendsOnlyOnDisplaysOfMoreThan256Colours) {
  ASSERT_TRUE(LoadPicture("quad.png", "FillPattern=1\nOpacityEx=128\n"));
  QRgb c = At(Render(), 1, 1);
  EXPECT_NEAR(qRed(c), 128, 2);
  EXPECT_EQ(qGreen(c), 0);
  const int saved = Globals().displayColorCount;
  Globals().displayColorCount = 256;
  Pic()->update();
  c = At(Render(), 1, 1);
  Globals().displayColorCount = saved;
  EXPECT_EQ(c, kRed);
  // Out of range: clamped into 1..255.
  Pic()->SetOpacity(0);
  EXPECT_EQ(Pic()->Opacity(), 1);
  Pic()->SetOpacity(1000);
  EXPECT_EQ(Pic()->Opacity(), 255);
  EXPECT_EQ(At(Render(), 1, 1), kRed);
}

TEST_F(PictureObject, ScrollBoxOnlyForTheNormalLayoutAndZoomKeepsThePlace) {
  ASSERT_TRUE(LoadPicture("quad.png", "ScrollBar=Yes\nPictStyle=1\nFillPattern=1\n"));
  EXPECT_EQ(Pic()->ScrollBox(), nullptr);
  EXPECT_EQ(Pic()->FillPattern(), 0);  // scroll bars turn hollow into solid
  ASSERT_TRUE(LoadPicture("quad.png", "ScrollBar=Yes\nPictZoomFactor=1000\n"));
  QScrollArea* box = Pic()->ScrollBox();
  ASSERT_NE(box, nullptr);
  EXPECT_FALSE(Pic()->GetIsTransparent());
  Pic()->SetFillPattern(1);  // refused while scroll bars are on
  EXPECT_EQ(Pic()->FillPattern(), 0);
  EXPECT_EQ(box->widget()->size(), QSize(80, 60));
  box->horizontalScrollBar()->setValue(30);
  box->verticalScrollBar()->setValue(20);
  // The picture box scrolled: the lime quadrant (x 40..79) shows at x 10.
  EXPECT_EQ(At(Render(), 12, 2), kLime);
  Click("PictureMagnify \"P\" \"-2000\"");
  EXPECT_EQ(Pic()->ZoomFactor(), 2000);
  EXPECT_EQ(box->widget()->size(), QSize(160, 120));
  EXPECT_EQ(box->horizontalScrollBar()->value(), 60);
  EXPECT_EQ(box->verticalScrollBar()->value(), 40);
  // A tab stop only with the keyboard marquee.
  EXPECT_FALSE(box->focusPolicy() & Qt::TabFocus);
  const bool marquee = Globals().showMarquee;
  Globals().showMarquee = true;
  Pic()->OnRelayout();
  Globals().showMarquee = marquee;
  EXPECT_TRUE(box->focusPolicy() & Qt::TabFocus);
  EXPECT_EQ(TheObjects().TabStops(1), std::vector<QWidget*>{box});
  // Leaving the page frees the box; showing it again makes it anew.
  Pic()->OnPageLeave();
  EXPECT_EQ(Pic()->ScrollBox(), nullptr);
  Pic()->OnPageShown();
  EXPECT_NE(Pic()->ScrollBox(), nullptr);
}

TEST_F(PictureObject, PictureMagnifyTakesTheSizeOfTheNumberAndAtLeastTen) {
  ASSERT_TRUE(LoadPicture("quad.png", ""));
  Click("PictureMagnify \"P\" \"-200\"");
  EXPECT_EQ(Pic()->ZoomFactor(), 200);
  EXPECT_EQ(Var("LastError"), "");
  Click("PictureMagnify \"P\" \"5\"");
  EXPECT_EQ(Pic()->ZoomFactor(), 10);
  Click("PictureMagnify \"P\" \"abc\"");
  EXPECT_EQ(Pic()->ZoomFactor(), 10);
  Click("PictureMagnify \"P\" \"99999999999\"");
  EXPECT_GE(Pic()->ZoomFactor(), 10);
  Render();  // a huge zoom draws without trouble
  Click("PictureMagnify \"Nobody\" \"100\"");
  EXPECT_EQ(Var("LastError"), "\"Nobody\"||Oggetto inesistente.");
}

TEST_F(PictureObject, ObjectCommandsReachThePicture) {
  ASSERT_TRUE(LoadPicture("quad.png", ""));
  Click("GetObjectInfo \"P\" \"ImageWidth\" \"[w]\"");
  Click("GetObjectInfo \"P\" \"ImageHeight\" \"[h]\"");
  const QImage natural(QString::fromStdString(Fixture("quad.png")));
  EXPECT_EQ(Var("w"), std::to_string(natural.width()));
  EXPECT_EQ(Var("h"), std::to_string(natural.height()));
  const std::string other = Fixture("quad.png") + "x";
  Click("SetObjectFileName \"P\" \"" + other + "\"");
  EXPECT_EQ(Var("LastError"), "");
  EXPECT_EQ(Pic()->ImageFile(), other);
  Click("GetObjectInfo \"P\" \"FileName\" \"[f]\"");
  EXPECT_EQ(Var("f"), other);
  Click("RefreshObject \"P\"");
  EXPECT_EQ(Var("LastError"), "");
}

TEST_F(PictureObject, PanningIsClampedToThePicture) {
  ASSERT_TRUE(LoadPicture("quad.png", "PictMousePan=Yes\nPictZoomFactor=500\n"));
  EXPECT_EQ(Pic()->cursor().shape(), Qt::SizeAllCursor);
  auto mouse = [&](QEvent::Type t, QPoint at, Qt::MouseButtons buttons) {
    QMouseEvent e(t, at, Pic()->mapToGlobal(at), t == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons,
                  Qt::NoModifier);
    QApplication::sendEvent(Pic(), &e);
  };
  mouse(QEvent::MouseButtonPress, QPoint(15, 12), Qt::LeftButton);
  mouse(QEvent::MouseMove, QPoint(5, 8), Qt::LeftButton);
  EXPECT_EQ(Pic()->PanOffset(), QPoint(10, 4));
  // 40 by 30 in 20 by 16: at most 20 by 14.
  mouse(QEvent::MouseMove, QPoint(-100, -100), Qt::LeftButton);
  EXPECT_EQ(Pic()->PanOffset(), QPoint(20, 14));
  mouse(QEvent::MouseMove, QPoint(500, 500), Qt::LeftButton);
  EXPECT_EQ(Pic()->PanOffset(), QPoint(0, 0));
  mouse(QEvent::MouseMove, QPoint(-5, 0), Qt::LeftButton);
  mouse(QEvent::MouseButtonRelease, QPoint(-5, 0), Qt::NoButton);
  mouse(QEvent::MouseMove, QPoint(-50, 0), Qt::NoButton);  // released: no more panning
  EXPECT_EQ(Pic()->PanOffset(), QPoint(20, 14));
  // The picture moved with it: the lime quadrant (x 20..39, y 0..14) is at 0, 0.
  EXPECT_EQ(At(Render(), 0, 0), kLime);
}

TEST_F(PictureObject, FileNameWithAVariableFollowsThatVariableOnly) {
  SetVariable("[pic]", "quad.png");
  ASSERT_TRUE(Load("NEWPAGE=One\nPAGECOLOR=0\nObjectType=4\nName=P\nX=10\nY=10\nW=20\nH=16\nLineWidth=0\n"
                   "FillColor=16777215\nFileName=" + Fixture("[pic]") + "\n"));
  EXPECT_TRUE(Pic()->FileExists());
  EXPECT_EQ(Pic()->ImageWidth(), 8);
  EXPECT_EQ(At(Render(), 1, 1), kRed);
  // The main window passes each change on; here the test does.
  SetVariable("[other]", "x");
  TheObjects().VarChanged("[OTHER]", "x");
  EXPECT_EQ(Pic()->ImageWidth(), 8);
  SetVariable("[pic]", "keyed.bmp");
  TheObjects().VarChanged("[PIC]", "keyed.bmp");
  EXPECT_EQ(Pic()->ImageWidth(), 6);
  EXPECT_EQ(At(Render(), 1, 1), 0xFFFF00FF);
  // Through SetObjectFileName's way in.
  EXPECT_TRUE(Pic()->SetFileName(Fixture("alpha.png")));
  EXPECT_EQ(Pic()->ImageFile(), Fixture("alpha.png"));
  EXPECT_EQ(At(Render(), 1, 1), kRed);
}

TEST_F(PictureObject, MissingAndDamagedPicturesShowTheShapeAlone) {
  for (const char* file : {"missing.png", "damaged.png", "damaged.gif"}) {
    SCOPED_TRACE(file);
    ASSERT_TRUE(LoadPicture(file, "LineWidth=1\nLineColor=255\n"));
    EXPECT_FALSE(Pic()->FileExists());
    EXPECT_EQ(Pic()->ImageWidth(), 0);
    const QImage img = Render();
    EXPECT_EQ(At(img, 0, 0), kRed);  // the outline
    EXPECT_EQ(At(img, 5, 5), kWhite);
  }
}

}  // namespace
