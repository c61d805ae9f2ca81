// The track bar: its limits as read, the mouse, the variable both ways and
// its two actions.
#include <QMouseEvent>

#include "InputTestSupport.h"
#include "images/PictureCache.h"
#include "objects/ObjTrackBar.h"
#include "support/TestSupport.h"

using namespace vl;
using namespace vltest;

namespace {

class TrackBar : public InputTest {
 protected:
  TVellionTrackBar* Bar(std::string_view name = "T") { return As<TVellionTrackBar>(name); }
  // A 24-bit bottom-up BMP of one colour (r, g, b).
  static std::string Bmp(int w, int h, uint8_t r, uint8_t g, uint8_t b) {
    const int stride = (w * 3 + 3) & ~3;
    const uint32_t size = 54 + static_cast<uint32_t>(stride * h);
    std::string f(size, '\0');
    auto put32 = [&](size_t at, uint32_t v) {
      for (int i = 0; i < 4; ++i) f[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    };
    f[0] = 'B';
    f[1] = 'M';
    put32(2, size);
    put32(10, 54);
    put32(14, 40);
    put32(18, static_cast<uint32_t>(w));
    put32(22, static_cast<uint32_t>(h));
    f[26] = 1;
    f[28] = 24;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const size_t at = 54 + static_cast<size_t>(y * stride + x * 3);
        f[at] = static_cast<char>(b);
        f[at + 1] = static_cast<char>(g);
        f[at + 2] = static_cast<char>(r);
      }
    return f;
  }
  void Mouse(QEvent::Type type, QPoint p, Qt::MouseButtons buttons) {
    QMouseEvent e(type, QPointF(p), QPointF(Bar()->mapToGlobal(p)),
                  type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons, Qt::NoModifier);
    QApplication::sendEvent(Bar(), &e);
  }
};

TEST_F(TrackBar, LimitsAreFixedUpAsTheyAreRead) {
  ASSERT_TRUE(Load("NEWPAGE=One\n"
                   "ObjectType=16\nName=A\nMin=50\nMax=10\n"
                   "ObjectType=16\nName=B\nMax=-5\n"
                   "ObjectType=16\nName=C\nMin=200\n"
                   "ObjectType=16\nName=D\nMin=-2147483648\nMax=-2147483648\nInitState=7\n"));
  struct Case {
    const char* name;
    int min, max;
  } cases[] = {{"A", 9, 10}, {"B", -6, -5}, {"C", 200, 201}, {"D", -1000000000, -1000000000}};
  for (const Case& c : cases) {
    EXPECT_EQ(Bar(c.name)->Minimum(), c.min) << c.name;
    EXPECT_EQ(Bar(c.name)->Maximum(), c.max) << c.name;
    EXPECT_GE(Bar(c.name)->Value(), c.min) << c.name;
    EXPECT_LE(Bar(c.name)->Value(), c.max) << c.name;
  }
}

TEST_F(TrackBar, VerticalBarClickAndDragToTheTop) {
  ASSERT_TRUE(Load("NEWPAGE=One\nObjectType=16\nName=T\nW=20\nH=110\nAlign=1\nMin=0\nMax=10\nThumbSize=10\n"
                   "VarName=Level\nObjAction=SetVar \"[done]\" \"![done]x\"\n"
                   "ChangingAction=SetVar \"[moving]\" \"![moving][Level],\"\n"));
  ActionSpy& s = Spy("T");
  EXPECT_EQ(Var("Level"), "0");  // the initial value at the start
  EXPECT_EQ(Bar()->ThumbRect(), QRect(0, 100, 20, 10));
  // A click above the thumb adds one.
  Mouse(QEvent::MouseButtonPress, QPoint(10, 50), Qt::LeftButton);
  Mouse(QEvent::MouseButtonRelease, QPoint(10, 50), Qt::NoButton);
  EXPECT_EQ(Bar()->Value(), 1);
  EXPECT_EQ(Var("Level"), "1");
  // Dragging the thumb to the top: the changing action runs at once at
  // every step, the change action once, queued.
  const QRect thumb = Bar()->ThumbRect();
  Mouse(QEvent::MouseButtonPress, thumb.center(), Qt::LeftButton);
  Mouse(QEvent::MouseMove, QPoint(10, 40), Qt::LeftButton);
  EXPECT_EQ(Var("moving"), "6,");
  Mouse(QEvent::MouseMove, QPoint(10, -30), Qt::LeftButton);
  Mouse(QEvent::MouseButtonRelease, QPoint(10, -30), Qt::NoButton);
  EXPECT_EQ(Bar()->Value(), 10);
  EXPECT_EQ(Var("Level"), "10");
  EXPECT_EQ(Var("moving"), "6,10,");
  EXPECT_EQ(Var("done"), "");
  Drain();
  EXPECT_EQ(Var("done"), "xx");
  EXPECT_EQ(s.codes, (std::vector<int>{evTrackChanged, evTrackChanged}));
}

TEST_F(TrackBar, TheBarFollowsItsVariableWithinItsLimits) {
  ASSERT_TRUE(Load("NEWPAGE=One\nObjectType=16\nName=T\nW=110\nH=20\nMax=100\nInitState=30\nVarName=Pos\n"
                   "ThumbImage=nowhere.bmp\n"
                   "ObjAction=SetVar \"[done]\" \"x\"\n"));
  EXPECT_EQ(Var("Pos"), "30");
  EXPECT_EQ(Bar()->ThumbRect(), QRect(30, 0, 10, 20));
  Notices("");
  SetVariable("[Pos]", "500");
  EXPECT_EQ(Bar()->Value(), 100);
  EXPECT_EQ(Var("Pos"), "500");
  EXPECT_EQ(Notices("[POS]").size(), 1u);  // not written back
  SetVariable("[Pos]", "abc");
  EXPECT_EQ(Bar()->Value(), 100);
  Drain();
  EXPECT_EQ(Var("done"), "");
  // "select" sets the position as the reader would.
  AnsiString why;
  EXPECT_TRUE(Bar()->SelectText("42", why));
  EXPECT_EQ(Var("Pos"), "42");
  EXPECT_FALSE(Bar()->SelectText("far", why));
  Drain();
  EXPECT_EQ(Var("done"), "x");
}

TEST_F(TrackBar, AThumbPictureGivesTheThumbItsSizeAndFace) {
  TempDir dir;
  WriteFileBytes(dir / "thumb.bmp", Bmp(6, 20, 255, 0, 0));
  const std::string pic = (dir / "thumb.bmp").string();
  ASSERT_TRUE(Load("NEWPAGE=One\nObjectType=16\nName=T\nW=106\nH=20\nMax=100\nInitState=50\n"
                   "FillColor=16777215\nThumbImage=" + pic + "\n"));
  EXPECT_EQ(Bar()->ThumbWidth, 6);
  EXPECT_EQ(Bar()->ThumbRect(), QRect(50, 0, 6, 20));
  const QImage page = view->RenderPage(1);
  EXPECT_EQ(page.pixelColor(52, 3), QColor(255, 0, 0));
  EXPECT_EQ(page.pixelColor(20, 3), QColor(255, 255, 255));
  ThePictureCache().ClearCache();
}

}  // namespace
