// SystemSound plays the sound theme's file for the five event names (any
// case), one at a time, and a beep for anything else or a missing theme;
// it never waits.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "media/MediaHost.h"
#include "support/ActionRunner.h"
#include "support/TestSupport.h"

using namespace vl;

TEST(SystemSound, ThemeFileOrBeep) {
  vltest::TempDir dir;
  const auto stereo = dir.path() / "sounds" / "freedesktop" / "stereo";
  std::filesystem::create_directories(stereo);
  vltest::WriteFileBytes(stereo / "dialog-warning.oga", "x");
  const char* old = std::getenv("XDG_DATA_DIRS");
  const std::string saved = old ? old : "";
  setenv("XDG_DATA_DIRS", dir.path().c_str(), 1);

  SilentMediaHost spy;
  SetMediaHost(&spy);
  vltest::RunActionText("SystemSound \"systemEXCLAMATION\"\n");
  EXPECT_EQ(spy.Sounding(), 1);
  EXPECT_EQ(spy.TonesPlayed(), 0);
  // The second replaces the first.
  vltest::RunActionText("SystemSound \"SystemExclamation\"\n");
  EXPECT_EQ(spy.Sounding(), 1);
  // Not an event name; an event whose theme file is missing ("bell" here).
  vltest::RunActionText("SystemSound \"Fanfare\"\nSystemSound \"SystemDefault\"\n");
  EXPECT_EQ(spy.Sounding(), 0);
  EXPECT_EQ(spy.TonesPlayed(), 2);
  SetMediaHost(nullptr);
  if (old)
    setenv("XDG_DATA_DIRS", saved.c_str(), 1);
  else
    unsetenv("XDG_DATA_DIRS");
}
