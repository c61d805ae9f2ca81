// Dragging objects with real mouse events (the headless drag: press at the
// object's middle, eight moves, release at the page point), the drop
// targets, the drop action and its variables.
#include <QApplication>
#include <QMouseEvent>

#include "ObjectsTestSupport.h"
#include "objects/ObjPolygon.h"
#include "objects/ObjectInput.h"

using namespace vl;
using namespace vltest;

namespace {

// Records what the drop action saw.
const char* kSeeDrop =
    "DropAction=SetVar \"[SeenAccept]\" \"[DropAccept]\"\xB6SetVar \"[SeenX]\" \"[DropX]\"\xB6"
    "SetVar \"[SeenY]\" \"[DropY]\"\xB6SetVar \"[SeenTarget]\" \"[DropTarget]\"\n";

class DragDrop : public ObjectsTest {
 protected:
  void Unload() {
    TheObjects().Clear();
    view.reset();
    pub = TPublication();
  }
  // A 40 by 40 polygon "P" at (10, 10) with `keys`, then `more` objects.
  bool LoadDraggable(const std::string& keys, const std::string& more = "") {
    return Load("NEWPAGE=One\nObjectType=23\nName=P\nX=10\nY=10\nW=40\nH=40\nFillColor=255\n" + keys + more);
  }
  // Where the headless drag to `end` puts the object's top-left corner when
  // nothing moves it: the picture's hot spot is where the drag began (the
  // first of the eight moves).
  QPoint FreeDropOf(TVellionObj* obj, QPoint end) {
    const QPoint start = obj->pos() + obj->visibleRegion().boundingRect().center();
    const QPoint hot = start + (end - start) / 8 - obj->pos();
    return end - hot;
  }
  void Drag(const char* name, QPoint to) {
    AnsiString error;
    ASSERT_TRUE(DragObjectTo(*Obj(name), to, error)) << error;
    Drain();
  }
  // Press, move by `delta`, release: on the object's own widget.
  static void Jiggle(QWidget* w, QPoint at, QPoint delta) {
    auto send = [&](QEvent::Type type, QPoint p, Qt::MouseButton b, Qt::MouseButtons bs) {
      QMouseEvent e(type, QPointF(p), QPointF(w->mapTo(w->window(), p)), QPointF(w->mapToGlobal(p)), b, bs,
                    Qt::NoModifier);
      QApplication::sendEvent(w, &e);
    };
    send(QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton);
    send(QEvent::MouseMove, at + delta, Qt::NoButton, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, at + delta, Qt::LeftButton, Qt::NoButton);
  }
};

TEST_F(DragDrop, FreeDragMovesTheObjectAndTellsTheAction) {
  ASSERT_TRUE(LoadDraggable(std::string("DragMode=1\n") + kSeeDrop,
                            "ObjectType=5\nName=Under\nX=300\nY=200\nW=100\nH=100\n"));
  TVellionObj* p = Obj("P");
  const QPoint want = FreeDropOf(p, QPoint(320, 220));
  Drag("P", QPoint(320, 220));
  EXPECT_EQ(p->pos(), want);
  EXPECT_EQ(Var("SeenAccept"), "True");
  EXPECT_EQ(Var("SeenX"), std::to_string(want.x()));
  EXPECT_EQ(Var("SeenY"), std::to_string(want.y()));
  EXPECT_EQ(Var("SeenTarget"), "Under");  // the object under the mouse
  // The four are empty again, and no drag is left behind.
  for (const char* v : {"DropAccept", "DropX", "DropY", "DropTarget"}) EXPECT_EQ(Var(v), "") << v;
  EXPECT_EQ(TVellionDragObj::DraggedObject(), nullptr);
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST_F(DragDrop, TargetsTakeTheDropAndHoldTheObjectInside) {
  // The object is pushed inside the target it overlaps most (and brought to
  // the front, mode 4). Unknown names are skipped.
  ASSERT_TRUE(LoadDraggable(std::string("DragMode=6\nDropTarget=Nobody|T1|T2\n") + kSeeDrop,
                            "ObjectType=5\nName=T2\nX=200\nY=300\nW=100\nH=100\n"
                            "ObjectType=5\nName=T1\nX=200\nY=100\nW=100\nH=100\n"));
  TVellionObj* p = Obj("P");
  // Partly outside T1's left edge.
  const QPoint free = FreeDropOf(p, QPoint(230, 150));
  ASSERT_LT(free.x(), 200);
  ASSERT_GT(free.x() + 40, 200);
  Drag("P", QPoint(230, 150));
  EXPECT_EQ(Var("SeenTarget"), "T1");
  EXPECT_EQ(p->pos(), QPoint(200, free.y()));
  // Nowhere near a target: refused, the object stays.
  const QPoint before = p->pos();
  Drag("P", QPoint(600, 20));
  EXPECT_EQ(Var("SeenAccept"), "False");
  EXPECT_EQ(p->pos(), before);
  EXPECT_EQ(Var("DropTarget"), "");
}

TEST_F(DragDrop, EqualOverlapGoesToTheFirstListed) {
  ASSERT_TRUE(LoadDraggable(std::string("DragMode=2\nDropTarget=B|A\n") + kSeeDrop,
                            "ObjectType=5\nName=A\nX=100\nY=100\nW=100\nH=100\n"
                            "ObjectType=5\nName=B\nX=200\nY=100\nW=100\nH=100\n"));
  // The object straddles the border between A and B exactly.
  TVellionObj* p = Obj("P");
  // The end point whose free drop puts the object's left at 180.
  QPoint to(200, 150);
  for (int x = 150; x < 260; ++x)
    if (FreeDropOf(p, QPoint(x, 150)).x() == 180) to = QPoint(x, 150);
  ASSERT_EQ(FreeDropOf(p, to).x(), 180);
  Drag("P", to);
  EXPECT_EQ(Var("SeenTarget"), "B");
}

TEST_F(DragDrop, TheActionDecides) {
  struct Case {
    const char* action;
    bool moved;
    int x;  // -1: where the drop proposed
    int y;
  } cases[] = {
      {"SetVar \"[DropAccept]\" \"false\"", false, 0, 0},
      {"SetVar \"[DropX]\" \"100\"", true, 100, -1},
      {"SetVar \"[DropY]\" \"abc\"", true, -1, -1},
      {"SetVar \"[DropAccept]\" \"tRuE\"\xB6SetVar \"[DropY]\" \"7\"", true, -1, 7},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.action);
    Unload();
    ASSERT_TRUE(LoadDraggable(std::string("DragMode=9\nDropAction=") + c.action + "\n"));
    TVellionObj* p = Obj("P");
    const QPoint free = FreeDropOf(p, QPoint(300, 300));
    Drag("P", QPoint(300, 300));
    if (!c.moved) {
      EXPECT_EQ(p->pos(), QPoint(10, 10));
      // Hidden while dragged (mode 8), shown again at its old place.
      EXPECT_EQ(view->RenderPage(1).pixel(30, 30) | 0xFF000000u, 0xFFFF0000u);
      continue;
    }
    EXPECT_EQ(p->x(), c.x < 0 ? free.x() : c.x);
    EXPECT_EQ(p->y(), c.y < 0 ? free.y() : c.y);
    for (const char* v : {"DropAccept", "DropX", "DropY", "DropTarget"}) EXPECT_EQ(Var(v), "") << v;
  }
}

TEST_F(DragDrop, SmallJitterIsAClick) {
  ASSERT_TRUE(LoadDraggable(std::string("DragMode=1\nObjAction=SetVar \"[clicked]\" \"yes\"\n") + kSeeDrop));
  TVellionObj* p = Obj("P");
  Jiggle(p, QPoint(20, 20), QPoint(2, -2));
  Drain();
  EXPECT_EQ(Var("clicked"), "yes");
  EXPECT_EQ(Var("SeenAccept"), "");
  EXPECT_EQ(p->pos(), QPoint(10, 10));
  // Three pixels start a drag: released there, it is a drop, not a click.
  SetVariable("[clicked]", "");
  Jiggle(p, QPoint(20, 20), QPoint(3, 0));
  Drain();
  EXPECT_EQ(Var("clicked"), "");
  EXPECT_EQ(Var("SeenAccept"), "True");
}

TEST_F(DragDrop, CursorSaysWhatAClickDoes) {
  struct Case {
    const char* keys;
    int slot;
  } cases[] = {
      {"DragMode=1\nObjAction=Beep\n", 1},  // a click action wins
      {"DragMode=2\n", 3},
      {"DragMode=4\n", 2},  // front-on-drop alone does not make it draggable
      {"", 2},
  };
  for (const Case& c : cases) {
    Unload();
    ASSERT_TRUE(LoadDraggable(c.keys));
    EXPECT_EQ(Obj("P")->CursorSlot(), c.slot) << c.keys;
  }
}

TEST_F(DragDrop, FrontModeRaisesTheObjectInItsPageOrder) {
  ASSERT_TRUE(LoadDraggable("DragMode=5\n", "ObjectType=5\nName=Cover\nX=300\nY=300\nW=100\nH=100\n"));
  Drag("P", QPoint(320, 320));
  const auto& roots = TheObjects().Roots(1);
  ASSERT_EQ(roots.size(), 2u);
  EXPECT_EQ(roots.back(), Obj("P"));
  // On top of the cover, so its fill shows there.
  const QPoint overlap = Obj("P")->pos() + QPoint(38, 38);
  ASSERT_TRUE(Obj("Cover")->geometry().contains(overlap));
  EXPECT_EQ(view->RenderPage(1).pixel(overlap) | 0xFF000000u, 0xFFFF0000u);
}

TEST_F(DragDrop, ObjectLargerThanItsPageStillDrags) {
  ASSERT_TRUE(Load("NEWPAGE=One\nObjectType=23\nName=P\nX=0\nY=0\nW=700\nH=500\nDragMode=1\n" +
                   std::string(kSeeDrop)));
  TVellionObj* p = Obj("P");
  Drag("P", p->visibleRegion().boundingRect().center() + QPoint(-40, -30));
  // It may only slide while it covers the page: never right of 0 nor left of
  // the page's width less its own.
  EXPECT_EQ(Var("SeenAccept"), "True");
  EXPECT_LE(p->x(), 0);
  EXPECT_GE(p->x(), 640 - 700);
  EXPECT_LE(p->y(), 0);
  EXPECT_GE(p->y(), 480 - 500);
  EXPECT_LT(p->x(), 0);
}

TEST_F(DragDrop, LeavingThePageEndsADrag) {
  ASSERT_TRUE(LoadDraggable("DragMode=9\n"));
  auto* p = As<TVellionPolygon>("P");
  QMouseEvent press(QEvent::MouseButtonPress, QPointF(20, 20), QPointF(30, 30), QPointF(30, 30), Qt::LeftButton,
                    Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(p, &press);
  QMouseEvent move(QEvent::MouseMove, QPointF(30, 30), QPointF(40, 40), QPointF(40, 40), Qt::NoButton,
                   Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(p, &move);
  ASSERT_TRUE(p->Dragging());
  EXPECT_EQ(TVellionDragObj::DraggedObject(), p);
  p->OnPageLeave();
  EXPECT_FALSE(p->Dragging());
  EXPECT_EQ(TVellionDragObj::DraggedObject(), nullptr);
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

}  // namespace
