// The alignment layout of page objects.
#include <gtest/gtest.h>

#include "platform/AlignLayout.h"

using namespace vl;

namespace {

TEST(AlignLayout, EdgesThenClientInOrder) {
  TAlignItem top{alTop, QRect(5, 5, 10, 20)}, bottom{alBottom, QRect(0, 0, 10, 30)},
      left{alLeft, QRect(0, 0, 40, 10)}, right{alRight, QRect(0, 0, 50, 10)},
      client{alClient, QRect(1, 1, 1, 1)}, free{alNone, QRect(7, 7, 3, 3)};
  AlignObjects(QRect(0, 0, 400, 300), {&client, &right, &left, &bottom, &top, &free}, nullptr);
  EXPECT_EQ(top.bounds, QRect(0, 0, 400, 20));
  EXPECT_EQ(bottom.bounds, QRect(0, 270, 400, 30));
  EXPECT_EQ(left.bounds, QRect(0, 20, 40, 250));
  EXPECT_EQ(right.bounds, QRect(350, 20, 50, 250));
  EXPECT_EQ(client.bounds, QRect(40, 20, 310, 250));
  EXPECT_EQ(free.bounds, QRect(7, 7, 3, 3));
  EXPECT_FALSE(free.changed);
  EXPECT_TRUE(client.changed);
}

TEST(AlignLayout, OrderByEdgeTiesAndTheCause) {
  // Master object first (collected first), page objects after.
  TAlignItem m{alTop, QRect(0, 50, 10, 10)}, a{alTop, QRect(0, 10, 10, 20)}, b{alTop, QRect(0, 50, 10, 5)};
  AlignObjects(QRect(0, 0, 100, 100), {&m, &a, &b}, nullptr);
  // a (top 10) first; m and b tie at 50: the earlier-collected m stays first.
  EXPECT_EQ(a.bounds.top(), 0);
  EXPECT_EQ(m.bounds.top(), 20);
  EXPECT_EQ(b.bounds.top(), 30);
  // On equal bottom edges the later-collected object goes first.
  TAlignItem p{alBottom, QRect(0, 80, 10, 10)}, q{alBottom, QRect(0, 85, 10, 5)};
  AlignObjects(QRect(0, 0, 100, 100), {&p, &q}, nullptr);
  EXPECT_EQ(q.bounds, QRect(0, 95, 100, 5));
  EXPECT_EQ(p.bounds, QRect(0, 85, 100, 10));
  // The object whose change caused the layout goes before the others; the
  // hidden ones take no room.
  TAlignItem x{alLeft, QRect(0, 0, 10, 10)}, y{alLeft, QRect(50, 0, 20, 10)}, hidden{alLeft, QRect(0, 0, 30, 10)};
  hidden.visible = false;
  AlignObjects(QRect(0, 0, 100, 100), {&hidden, &x, &y}, &y);
  EXPECT_EQ(y.bounds, QRect(0, 0, 20, 100));
  EXPECT_EQ(x.bounds, QRect(20, 0, 10, 100));
  EXPECT_EQ(hidden.bounds, QRect(0, 0, 30, 10));
}

}  // namespace
