// Effects on pages and objects end exactly on the picture the same changes
// give without effects: the transitions scenario is played as it is and with
// its effects taken out, and the last screenshots compared pixel for pixel.
// A screenshot taken while a page's effect runs shows neither page.
#include <gtest/gtest.h>

#include <QImage>
#include <cstdio>
#include <filesystem>
#include <regex>
#include <string>
#include <sys/wait.h>

#include "support/TestSupport.h"

#if defined(VELLION_PATH) && defined(VLPACK_PATH)
namespace {

int Shell(const std::string& command) {
  const int st = std::system(command.c_str());
  return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
}

std::string Q(const std::filesystem::path& p) { return "'" + p.string() + "'"; }

// Packs `pub` and plays it headless with `script`; the last screenshot.
QImage Play(const vltest::TempDir& dir, const std::string& name, const std::string& pub, const std::string& script) {
  const auto folder = dir / name;
  std::filesystem::create_directories(folder / "pub");
  vltest::WriteFileBytes(folder / "pub" / "RUNTIME.PUB", pub);
  vltest::WriteFileBytes(folder / "input.txt", script);
  EXPECT_EQ(Shell(std::string(VLPACK_PATH) + " build -o " + Q(folder / "p.pkg") + " " + Q(folder / "pub") +
                  " >/dev/null"),
            0);
  EXPECT_EQ(Shell("cd " + Q(folder) + " && QT_QPA_PLATFORM=offscreen timeout 120 " + std::string(VELLION_PATH) +
                  " --headless --screenshot end.png --script input.txt p.pkg 2>/dev/null"),
            0);
  return QImage(QString::fromStdString((folder / "end.png").string())).convertToFormat(QImage::Format_RGB32);
}

TEST(TransitionScreens, EffectsEndOnThePlainPicture) {
  const std::filesystem::path scenario = std::filesystem::path(VL_SOURCE_DIR) / "tests/scenarios/transitions";
  const std::string pub = vltest::ReadFileBytes(scenario / "pub/RUNTIME.PUB");
  const std::string script = vltest::ReadFileBytes(scenario / "input.txt");
  ASSERT_NE(pub.find("PAGEEFFECT="), std::string::npos);
  const std::string plainPub = std::regex_replace(pub, std::regex("(PAGEEFFECT|EFFECTSPEED)=[^\r]*\r\n"), "");
  const std::string plainScript =
      std::regex_replace(script, std::regex("(ShowObject|HideObject) (\"[A-Za-z]+\") \"[^\"]*\" \"[^\"]*\""), "$1 $2 \"\" \"\"");
  ASSERT_NE(plainScript, script);

  vltest::TempDir dir;
  const QImage withEffects = Play(dir, "effects", pub, script);
  const QImage plain = Play(dir, "plain", plainPub, plainScript);
  ASSERT_FALSE(withEffects.isNull());
  ASSERT_EQ(withEffects.size(), plain.size());
  EXPECT_TRUE(withEffects == plain);

  // Halfway through the Checkerboard to page Two the picture is neither
  // page: some blocks already show the new one.
  const std::string midScript =
      "run GotoPage \"Two\"\nwait 60\nscreenshot mid.png\nwait 1000\nscreenshot two.png\nclose\n";
  Play(dir, "mid", pub, midScript);
  const QImage mid(QString::fromStdString((dir / "mid" / "mid.png").string()));
  const QImage two(QString::fromStdString((dir / "mid" / "two.png").string()));
  ASSERT_FALSE(mid.isNull());
  ASSERT_FALSE(two.isNull());
  EXPECT_NE(mid.convertToFormat(QImage::Format_RGB32), two.convertToFormat(QImage::Format_RGB32));
  // Its first rows show the new page's colour (blue) in the odd blocks, the
  // old page's white in the others.
  EXPECT_EQ(QColor(mid.pixel(2, 2)).rgb() & 0xFFFFFF, 0x0000FFu);
  EXPECT_EQ(QColor(mid.pixel(10, 2)).rgb() & 0xFFFFFF, 0xFFFFFFu);
}

}  // namespace
#endif
