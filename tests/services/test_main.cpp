// The network commands wait on Qt's event loop, and their progress window is
// a real widget: the folder's tests run under an application object.
#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv) {
  // Also when CTest lists the tests, which it does without the test
  // environment: never a real display.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
