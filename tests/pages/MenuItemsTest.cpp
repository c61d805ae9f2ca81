// Menu items from the publication: the tree, lookup, state bits, check marks
// bound to variables, variable captions, clicks, pictures, input blocking
// and the tray when the desktop has none.
#include <QImage>
#include <QMenu>
#include <QMenuBar>

#include "MenuTestSupport.h"
#include "pages/MenuStyle.h"
#include "runtime/Trace.h"
#include "support/TestSupport.h"

using namespace vl;
using vltest::MenuFixture;

namespace {

constexpr const char* kMainMenu =
    "MENUBEGIN\n"
    "MenuName=mFile\nMenuText=&File\n"
    "MENUBEGIN\n"
    "MenuName=mOpen\nMenuText=&Open\nMenuKey=16463\nMenuAction=SetVar \"[Opened]\" \"1\"\n"
    "MenuName=mSep\nMenuText=-\n"
    "MenuName=mSound\nMenuText=Sound\nMenuState=11\nMenuVar=[Sound]\n"
    "MenuName=mMusic\nMenuState=11\nMenuVar=Music\n"
    "MenuName=mVol\nMenuText=Volume [Vol]\n"
    "MenuName=mPlain\nMenuText=Plain\n"
    "MENUEND\n"
    "MenuName=mHelp\nMenuText=Help\n"
    "MENUBEGIN\n"
    "MenuName=mAbout\nMenuText=About\n"
    "MENUEND\n"
    "MENUEND\n";

TEST_F(MenuFixture, BuildsTheTreeAndFindsItemsByNameDepthFirst) {
  Build(kMainMenu);
  QMenuBar* bar = TheMenus().MainMenu();
  ASSERT_NE(bar, nullptr);
  ASSERT_EQ(bar->actions().size(), 2);
  auto* file = Item("MFILE");
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(file->Caption(), "&File");
  ASSERT_NE(file->Submenu(), nullptr);
  EXPECT_EQ(file->Submenu()->actions().size(), 6);
  EXPECT_EQ(file->Items()[1]->Name(), "mSep");
  EXPECT_TRUE(file->Items()[1]->IsSeparator());
  EXPECT_TRUE(file->Items()[1]->isSeparator());
  EXPECT_EQ(Item("mAbout")->ParentItem(), Item("mHelp"));
  EXPECT_EQ(Item("mAbout")->EventCode(), kEventMainMenu);
  EXPECT_EQ(Item("nothing"), nullptr);
  // Ctrl+O: 0x4000 + 'O'.
  EXPECT_EQ(Item("mOpen")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_O));
}

TEST_F(MenuFixture, NoMenuWithoutABlockAndTrayItemsCarryTheirOwnEventCode) {
  Build("TITLE=T\n"
        "TRAYMENUBEGIN\nMenuName=mShow\nMenuText=Show\nMENUEND\n"
        "MENUBEGIN\nMenuName=mShow\nMenuText=Main show\nMENUEND\n",
        true);
  // The main menu is searched first.
  EXPECT_EQ(Item("mShow")->Caption(), "Main show");
  ASSERT_EQ(TheMenus().TrayItems().size(), 1u);
  EXPECT_EQ(TheMenus().TrayItems()[0]->EventCode(), kEventTrayMenu);

  TheMenus().Clear();
  pub_ = TPublication();
  Build("TITLE=T\n");
  EXPECT_EQ(TheMenus().MainMenu(), nullptr);
  EXPECT_EQ(Item("mShow"), nullptr);
}

TEST_F(MenuFixture, StateBits) {
  struct Case {
    int state;
    bool visible, enabled, checkable, checked;
  };
  const Case cases[] = {
      {0, false, false, false, false}, {1, true, false, false, false}, {3, true, true, false, false},
      {7, true, true, false, false},   {11, true, true, true, false},  {15, true, true, true, true},
      {14, false, true, true, true},
  };
  std::string text = "MENUBEGIN\nMenuName=top\nMENUBEGIN\n";
  for (const Case& c : cases)
    text += "MenuName=s" + std::to_string(c.state) + "\nMenuState=" + std::to_string(c.state) + "\n";
  text += "MENUEND\nMENUEND\n";
  Build(text);
  for (const Case& c : cases) {
    TVelMenuItem* item = Item("s" + std::to_string(c.state));
    ASSERT_NE(item, nullptr) << c.state;
    EXPECT_EQ(item->isVisible(), c.visible) << c.state;
    // A hidden action reports itself disabled; showing it brings back the
    // enabled bit it was given.
    item->setVisible(true);
    EXPECT_EQ(item->isEnabled(), c.enabled) << c.state;
    EXPECT_EQ(item->isCheckable(), c.checkable) << c.state;
    EXPECT_EQ(item->isChecked(), c.checked) << c.state;
  }
}

TEST_F(MenuFixture, CheckMarkAndItsVariableFollowEachOther) {
  Build(kMainMenu);
  TVelMenuItem* sound = Item("mSound");
  // Unchecked at the start of a first load: the variable is left alone.
  EXPECT_EQ(V("Sound"), "");
  ASSERT_EQ(TheMenus().ClickMenuItem("msound"), TMenuClick::Clicked);
  EXPECT_TRUE(sound->isChecked());
  EXPECT_EQ(V("Sound"), "Checked");
  TheMenus().ClickMenuItem("mSound");
  EXPECT_FALSE(sound->isChecked());
  EXPECT_EQ(V("Sound"), "");
  // An action setting the variable to a true word checks the item.
  Run("SetVar \"[Sound]\" \"Yes\"");
  EXPECT_TRUE(sound->isChecked());
  Run("SetVar \"[Sound]\" \"UnChecked\"");
  EXPECT_FALSE(sound->isChecked());
  // MENUVAR= written without brackets still follows its variable.
  Run("SetVar \"[music]\" \"T\"");
  EXPECT_TRUE(Item("mMusic")->isChecked());
}

TEST_F(MenuFixture, PreparingSetsTheVariableFromTheStartingCheck) {
  SetVariable("[On]", "stale");
  SetVariable("[Off]", "stale");
  SetVariable("[Kept]", "stale");
  const char* text =
      "MENUBEGIN\nMenuName=top\nMENUBEGIN\n"
      "MenuName=a\nMenuState=15\nMenuVar=[On]\n"
      "MenuName=b\nMenuState=11\nMenuVar=[Off]\n"
      "MenuName=c\nMenuState=3\nMenuVar=[Kept]\n"
      "MENUEND\nMENUEND\n";
  Build(text, false, /*chained=*/true);
  EXPECT_EQ(V("On"), "Checked");
  EXPECT_EQ(V("Off"), "");     // emptied only during a chained load
  EXPECT_EQ(V("Kept"), "stale");  // an item that does not toggle
  TheMenus().Clear();
  pub_ = TPublication();
  SetVariable("[Off]", "stale");
  Build(text, false, /*chained=*/false);
  EXPECT_EQ(V("Off"), "stale");
}

TEST_F(MenuFixture, CaptionsWithVariablesFollowThem) {
  SetVariable("[Vol]", "3");
  Build(kMainMenu);
  TVelMenuItem* vol = Item("mVol");
  EXPECT_EQ(vol->Caption(), "Volume 3");
  EXPECT_TRUE(vol->CaptionHasVariables());
  Run("SetVar \"[vol]\" \"7\"");
  EXPECT_EQ(vol->Caption(), "Volume 7");
  EXPECT_FALSE(Item("mPlain")->CaptionHasVariables());
  EXPECT_EQ(Item("mPlain")->Caption(), "Plain");
}

TEST_F(MenuFixture, ClickRunsTheActionAtOnceWithTheItemsEventCode) {
  Build(kMainMenu);
  TheMenus().ClickMenuItem("mOpen");
  EXPECT_EQ(V("Opened"), "1");

  struct Seen {
    AnsiString text, source;
    int flags = -1, code = -1;
  } seen;
  TMenuHost host;
  host.runPublicationAction = [&](const AnsiString& text, const AnsiString& source, uint8_t flags,
                                  uint8_t code) { seen = {text, source, flags, code}; };
  TheMenus().SetHost(host);
  vltest::TempDir dir;
  ASSERT_TRUE(trace::Open((dir / "trace.txt").string()));
  EXPECT_EQ(TheMenus().ClickMenuItem("MOPEN"), TMenuClick::Clicked);
  trace::Close();
  EXPECT_EQ(seen.text, "SetVar \"[Opened]\" \"1\"");
  EXPECT_EQ(seen.source, "mOpen");
  EXPECT_EQ(seen.flags, 0);
  EXPECT_EQ(seen.code, kEventMainMenu);
  EXPECT_EQ(vltest::ReadFileBytes(dir / "trace.txt"), "menu\tmOpen\n");

  // Nothing to click: unknown, separators, disabled items and items under a
  // disabled parent.
  EXPECT_EQ(TheMenus().ClickMenuItem("zzz"), TMenuClick::NotFound);
  EXPECT_EQ(TheMenus().ClickMenuItem("mSep"), TMenuClick::Disabled);
  Item("mFile")->setEnabled(false);
  seen = {};
  EXPECT_EQ(TheMenus().ClickMenuItem("mOpen"), TMenuClick::Disabled);
  EXPECT_EQ(seen.code, -1);
}

TEST_F(MenuFixture, InputBlockDisablesTheEnabledTopLevelItemsOnly) {
  Build("MENUBEGIN\nMenuName=a\nMenuName=b\nMenuState=1\nMENUEND\n");
  TheMenus().SetInputBlocked(true);
  EXPECT_FALSE(Item("a")->isEnabled());
  EXPECT_FALSE(Item("b")->isEnabled());
  TheMenus().SetInputBlocked(false);
  EXPECT_TRUE(Item("a")->isEnabled());
  EXPECT_FALSE(Item("b")->isEnabled());
}

// --- pictures --------------------------------------------------------------

class MenuPictureTest : public MenuFixture {
 protected:
  // A 24-bit BMP, red with a white bottom-left pixel (its own transparent
  // colour).
  std::string Picture(const char* name, int w, int h) {
    QImage img(w, h, QImage::Format_RGB888);
    img.fill(QColor(255, 0, 0));
    img.setPixelColor(0, h - 1, Qt::white);
    const std::string path = (dir_ / name).string();
    EXPECT_TRUE(img.save(QString::fromStdString(path), "BMP"));
    return path;
  }
  vltest::TempDir dir_;
};

TEST_F(MenuPictureTest, PicturesAreFittedAndWidenTheirLevelsColumn) {
  const std::string wide = Picture("wide.bmp", 128, 32);
  const std::string small = Picture("small.bmp", 20, 40);
  Build("MENUBEGIN\nMenuName=top\nMenuImage=" + wide +
        "\nMENUBEGIN\n"
        "MenuName=w\nMenuImage=" + wide + "\n"
        "MenuName=s\nMenuImage=" + small + "\n"
        "MenuName=missing\nMenuImage=" + (dir_ / "none.bmp").string() + "\n"
        "MenuName=plain\n"
        "MENUEND\nMENUEND\n");
  EXPECT_EQ(Item("w")->DisplaySize(), QSize(64, 16));
  EXPECT_EQ(Item("s")->DisplaySize(), QSize(20, 40));
  EXPECT_EQ(Item("top")->LargestChildPicture(), QSize(64, 40));
  EXPECT_EQ(Item("top")->Submenu()->property(kPictureColumnProperty).toSize(), QSize(64, 40));
  EXPECT_FALSE(Item("w")->icon().isNull());
  EXPECT_TRUE(Item("missing")->Picture().isNull());
  EXPECT_TRUE(Item("missing")->icon().isNull());
  // The menu bar's own items never show one.
  EXPECT_TRUE(Item("top")->Picture().isNull());
  EXPECT_TRUE(Item("top")->icon().isNull());
  // The picture's own transparent colour (the default) is clear.
  const QImage& pic = Item("s")->Picture();
  EXPECT_EQ(qAlpha(pic.pixel(0, 39)), 0);
  EXPECT_EQ(qAlpha(pic.pixel(5, 5)), 255);

  // The column is at least the check mark and as wide as the widest picture.
  const TMenuItemMetrics m = MeasureMenuItem(false, QSize(64, 40), 50, 13);
  EXPECT_EQ(m.column, 64);
  EXPECT_EQ(m.width, 64 + 8 + 50 + 12);
  EXPECT_EQ(m.height, 48);
  const TMenuItemMetrics plain = MeasureMenuItem(false, QSize(), 50, 13);
  EXPECT_EQ(plain.column, kMenuCheckWidth);
  EXPECT_EQ(plain.height, 17);
  EXPECT_EQ(MeasureMenuItem(true, QSize(), 0, 13).height, 7);
}

TEST_F(MenuPictureTest, TrayTopLevelShowsPicturesWithTheItemsTransparentColour) {
  const std::string pic = Picture("p.bmp", 10, 10);
  // Red made clear instead of the bottom-left white.
  Build("TRAYMENUBEGIN\nMenuName=t\nMenuImage=" + pic + "\nMenuImTransClr=255\nMENUEND\n", true);
  TVelMenuItem* t = Item("t");
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->DisplaySize(), QSize(10, 10));
  EXPECT_EQ(qAlpha(t->Picture().pixel(5, 5)), 0);
  EXPECT_EQ(qAlpha(t->Picture().pixel(0, 9)), 255);
  EXPECT_EQ(TheMenus().TrayMenu()->property(kPictureColumnProperty).toSize(), QSize(10, 10));
}

TEST_F(MenuPictureTest, MenusPaintWithPicturesAndChecks) {
  const std::string pic = Picture("p.bmp", 24, 24);
  Build("MENUBEGIN\nMenuName=top\nMENUBEGIN\n"
        "MenuName=a\nMenuImage=" + pic + "\nMenuKey=16449\n"
        "MenuName=b\nMenuState=15\n"
        "MenuName=sep\nMenuText=-\n"
        "MenuName=c\nMenuState=1\n"
        "MENUEND\nMENUEND\n");
  QMenu* menu = Item("top")->Submenu();
  menu->ensurePolished();
  const QSize hint = menu->sizeHint();
  EXPECT_GE(hint.width(), 24 + 8 + 12);
  EXPECT_GE(menu->actionGeometry(Item("a")).height(), 32);
  EXPECT_EQ(menu->actionGeometry(Item("sep")).height(), 7);
  // Painting walks every kind of item without failing.
  QImage out = menu->grab().toImage();
  EXPECT_FALSE(out.isNull());
}

// --- the tray --------------------------------------------------------------

TEST_F(MenuFixture, WithoutASystemTrayThereIsNoIconButTheTrayMenuWorks) {
  ASSERT_FALSE(TVelTrayIcon::Available()) << "the offscreen platform has no tray";
  Build("TITLE=Puzzle\nTRAYMENUBEGIN\nMenuName=tQuit\nMenuAction=SetVar \"[Quit]\" \"1\"\nMENUEND\n", true);
  EXPECT_EQ(TheMenus().TrayIcon(), nullptr);
  ASSERT_NE(TheMenus().TrayMenu(), nullptr);
  EXPECT_EQ(TheMenus().ClickMenuItem("tquit"), TMenuClick::Clicked);
  EXPECT_EQ(V("Quit"), "1");
}

TEST(TrayIcon, TipIsTheHintsShortPartCutTo63Characters) {
  TVelTrayIcon icon;
  icon.SetHint("My book|the long part");
  EXPECT_EQ(icon.Tip(), "My book");
  icon.SetHint(std::string(70, 'x'));
  EXPECT_EQ(icon.Tip(), std::string(63, 'x'));
  icon.SetHint(std::string(70, 'y') + "|z");
  EXPECT_EQ(icon.Tip(), std::string(63, 'y'));
  EXPECT_TRUE(icon.VisibleInTaskList());
}

}  // namespace
