// The menu-item commands and LoadIcon, run as actions.
#include <QApplication>
#include <QIcon>
#include <QPixmap>

#include "MenuTestSupport.h"
#include "runtime/Messages.h"
#include "support/TestSupport.h"

using namespace vl;
using vltest::MenuFixture;

namespace {

constexpr const char* kMenu =
    "MENUBEGIN\nMenuName=mFile\nMENUBEGIN\n"
    "MenuName=mOpen\nMenuText=Open\n"
    "MenuName=mSep\nMenuText=-\n"
    "MENUEND\nMENUEND\n";

TEST_F(MenuFixture, ShowHideEnableDisable) {
  Build(kMenu);
  TVelMenuItem* open = Item("mOpen");
  SetVariable("[LastError]", "old");
  SetVariable("[Which]", "MOPEN");
  Run("HideMenuItem \"[Which]\"");
  EXPECT_FALSE(open->isVisible());
  EXPECT_EQ(V("LastError"), "");
  Run("ShowMenuItem \"mopen\"");
  EXPECT_TRUE(open->isVisible());
  Run("DisableMenuItem \"mOpen\"");
  EXPECT_FALSE(open->isEnabled());
  Run("EnableMenuItem \"mOpen\"");
  EXPECT_TRUE(open->isEnabled());

  // A separator is left as it is, without an error.
  TVelMenuItem* sep = Item("mSep");
  Run("HideMenuItem \"mSep\"\nDisableMenuItem \"mSep\"");
  EXPECT_TRUE(sep->isVisible());
  EXPECT_TRUE(sep->isEnabled());
  EXPECT_EQ(V("LastError"), "");
}

TEST_F(MenuFixture, UnknownItemNamesAreReported) {
  Build(kMenu);
  for (const char* command : {"ShowMenuItem", "HideMenuItem", "EnableMenuItem", "DisableMenuItem"}) {
    Run(std::string(command) + " \"Nope\"");
    EXPECT_EQ(V("LastError"), "\"Nope\"||" + Msg(343)) << command;
  }
  EXPECT_EQ(Msg(343), "Voce di menu inesistente!");
  EXPECT_TRUE(Item("mOpen")->isVisible());
}

// An icon file of 32-bit entries of the given sizes, each green of the
// given shade, with the top-left quarter transparent through its alpha.
std::string IconFile(std::vector<std::pair<int, int>> entries = {{16, 200}}) {
  auto u16 = [](std::string& s, unsigned v) { s += char(v & 0xFF), s += char(v >> 8 & 0xFF); };
  auto u32 = [&](std::string& s, unsigned v) { u16(s, v & 0xFFFF), u16(s, v >> 16); };
  std::vector<std::string> dibs;
  for (auto [n, green] : entries) {
    std::string dib;
    u32(dib, 40), u32(dib, n), u32(dib, 2 * n), u16(dib, 1), u16(dib, 32);
    for (int i = 0; i < 6; ++i) u32(dib, 0);
    for (int y = 0; y < n; ++y)  // bottom-up
      for (int x = 0; x < n; ++x) {
        const bool clear = x < n / 2 && y >= n / 2;
        dib += char(0), dib += char(green), dib += char(0), dib += char(clear ? 0 : 255);
      }
    dib += std::string(static_cast<size_t>(n * ((n + 31) / 32) * 4), '\0');  // AND mask
    dibs.push_back(dib);
  }
  std::string ico;
  u16(ico, 0), u16(ico, 1), u16(ico, static_cast<unsigned>(entries.size()));
  unsigned offset = 6 + 16 * static_cast<unsigned>(entries.size());
  for (size_t i = 0; i < entries.size(); ++i) {
    ico += char(entries[i].first), ico += char(entries[i].first), ico += char(0), ico += char(0);
    u16(ico, 1), u16(ico, 32), u32(ico, static_cast<unsigned>(dibs[i].size())), u32(ico, offset);
    offset += static_cast<unsigned>(dibs[i].size());
  }
  for (const std::string& d : dibs) ico += d;
  return ico;
}

TEST(LoadIconFile, TakesTheFirstSmallIconOfTheFile) {
  vltest::TempDir dir;
  vltest::WriteFileBytes(dir / "two.ico", IconFile({{32, 100}, {16, 200}, {16, 50}}));
  const QIcon icon = LoadIconFromFile((dir / "two.ico").string());
  ASSERT_FALSE(icon.isNull());
  const QImage img = icon.pixmap(icon.availableSizes().value(0)).toImage().convertToFormat(QImage::Format_ARGB32);
  EXPECT_EQ(img.size(), QSize(16, 16));
  EXPECT_EQ(qGreen(img.pixel(12, 12)), 200);
  // Without a small one, the first entry.
  vltest::WriteFileBytes(dir / "big.ico", IconFile({{32, 100}, {48, 10}}));
  const QIcon big = LoadIconFromFile((dir / "big.ico").string());
  ASSERT_FALSE(big.isNull());
  EXPECT_EQ(big.availableSizes().value(0), QSize(32, 32));
  EXPECT_TRUE(LoadIconFromFile((dir / "missing.ico").string()).isNull());
}

TEST_F(MenuFixture, LoadIconChangesTheApplicationIconAndRestoresTheProgramsOwn) {
  QPixmap own(8, 8);
  own.fill(Qt::blue);
  QApplication::setWindowIcon(QIcon(own));
  const QIcon program = TheMenus().ProgramIcon();
  vltest::TempDir dir;
  vltest::WriteFileBytes(dir / "app.ico", IconFile());
  vltest::WriteFileBytes(dir / "plain.txt", "no icon here");
  QIcon shown;
  TMenuHost host;
  host.applicationIconChanged = [&](const QIcon& icon) { shown = icon; };
  TheMenus().SetHost(host);

  Run("LoadIcon \"" + (dir / "app.ico").string() + "\" \"App\"");
  EXPECT_EQ(V("LastError"), "");
  const QImage img = QApplication::windowIcon().pixmap(16, 16).toImage().convertToFormat(QImage::Format_ARGB32);
  ASSERT_EQ(img.size(), QSize(16, 16));
  EXPECT_EQ(qGreen(img.pixel(12, 12)), 200);
  EXPECT_EQ(qAlpha(img.pixel(2, 2)), 0);
  EXPECT_FALSE(shown.isNull());

  // A missing file leaves the icon; a file without icons empties it.
  Run("LoadIcon \"" + (dir / "none.ico").string() + "\" \"App\"");
  EXPECT_FALSE(QApplication::windowIcon().isNull());
  Run("LoadIcon \"" + (dir / "plain.txt").string() + "\" \"App\"");
  EXPECT_TRUE(QApplication::windowIcon().isNull());

  Run("LoadIcon \"\" \"App\"");
  EXPECT_EQ(QApplication::windowIcon().cacheKey(), program.cacheKey());
  EXPECT_EQ(V("LastError"), "");
}

TEST_F(MenuFixture, LoadIconForTheTrayWithoutATrayIconChangesNothing) {
  Build("TRAYMENUBEGIN\nMenuName=t\nMENUEND\n", true);
  const qint64 before = QApplication::windowIcon().cacheKey();
  vltest::TempDir dir;
  vltest::WriteFileBytes(dir / "app.ico", IconFile());
  SetVariable("[LastError]", "old");
  Run("LoadIcon \"" + (dir / "app.ico").string() + "\" \"TrayIcon\"");
  EXPECT_EQ(QApplication::windowIcon().cacheKey(), before);
  EXPECT_EQ(V("LastError"), "");
}

}  // namespace
