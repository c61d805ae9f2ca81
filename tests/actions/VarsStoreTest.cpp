#include <gtest/gtest.h>

#include "actions/Vars.h"

using namespace vl;

TEST(VarsStore, Smoke) {
  ClearAllVariables();
  SetVariable("[x]", "3");
  SetVariable("a3", "hello");
  EXPECT_EQ(ExpandVariables("<[a[x]]>"), "<hello>");
}
