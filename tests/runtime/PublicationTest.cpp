#include "runtime/Publication.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "runtime/PublicationLines.h"
#include "runtime/Stream.h"
#include "support/TestSupport.h"

using namespace vl;

namespace {

// Hands out at most `step` bytes per read and remembers the largest request,
// so line splitting is exercised across every chunk boundary.
class DribbleSource : public ByteSource {
 public:
  DribbleSource(std::string data, size_t step, int64_t failAt = -1)
      : data_(std::move(data)), step_(step), failAt_(failAt) {}
  int64_t Read(char* buf, int64_t n) override {
    largestRequest = std::max(largestRequest, n);
    if (failAt_ >= 0 && static_cast<int64_t>(pos_) >= failAt_) return -1;
    size_t k = std::min({static_cast<size_t>(n), step_, data_.size() - pos_});
    data_.copy(buf, k, pos_);
    pos_ += k;
    return static_cast<int64_t>(k);
  }
  int64_t Size() const override { return static_cast<int64_t>(data_.size()); }
  int64_t largestRequest = 0;

 private:
  std::string data_;
  size_t step_;
  size_t pos_ = 0;
  int64_t failAt_;
};

struct Loaded {
  TPublication pub;
  bool ok = false;
  AnsiString error;
};

std::unique_ptr<Loaded> Load(const std::string& text, int kind = 0, size_t step = 1 << 20) {
  auto r = std::make_unique<Loaded>();
  DribbleSource src(text, step);
  TLoadOptions opt;
  opt.publicationKind = kind;
  r->ok = LoadPublication(src, static_cast<int64_t>(text.size()), r->pub, opt, r->error);
  return r;
}

// Lines of a test text joined with CR LF.
std::string Pub(std::initializer_list<std::string_view> lines) {
  std::string s;
  for (auto l : lines) {
    s += l;
    s += "\r\n";
  }
  return s;
}

}  // namespace

TEST(PublicationValues, IntegerReading) {
  struct Case {
    const char* text;
    int32_t want;
  } cases[] = {
      {"800", 800},     {"800px", 800},   {"abc", 0},          {"", 0},         {"-12", -12},
      {"-12px", 12},    {"+7", 7},        {"   42", 42},       {"$FF", 255},    {"x1f", 31},
      {"X10", 16},      {"0x10", 16},     {"0X1g", 1},         {"-$10", -16},   {"12 ", 12},
      {"-12 ", 12},     {"-", 0},         {"4294967295", -1},  {"2147483648", INT32_MIN},
      {"536870912", 0x20000000},
  };
  for (const auto& c : cases) EXPECT_EQ(ReadPublicationInteger(c.text), c.want) << '"' << c.text << '"';
}

TEST(PublicationValues, YesNoIsYesOnly) {
  EXPECT_TRUE(ReadPublicationYesNo("Yes"));
  EXPECT_TRUE(ReadPublicationYesNo("yes"));
  EXPECT_TRUE(ReadPublicationYesNo("YES"));
  for (const char* no : {"True", "1", "Y", " Yes", "Yes ", "No", ""}) EXPECT_FALSE(ReadPublicationYesNo(no)) << no;
}

TEST(PublicationValues, PagePalette) {
  TPalette p{};
  p.fill(0x123456);
  ReadPagePalette("255 65280 $FF0000 abc 33554687 7", p);
  EXPECT_EQ(p[0], 255u);
  EXPECT_EQ(p[1], 65280u);
  EXPECT_EQ(p[2], 0xFF0000u);
  EXPECT_EQ(p[3], 0u);         // not a number
  EXPECT_EQ(p[4], 255u);  // only red, green and blue are kept
  EXPECT_EQ(p[5], 0u);         // the last number has no blank after it
  for (size_t i = 6; i < 256; ++i) ASSERT_EQ(p[i], 0u) << i;

  std::string full;
  for (int i = 0; i < 256; ++i) full += std::to_string(i) + " ";
  ReadPagePalette(full, p);
  EXPECT_EQ(p[0], 0u);
  EXPECT_EQ(p[255], 255u);
}

TEST(PublicationReader, LineSplittingAcrossChunks) {
  // A lone CR or LF stays inside the line; the last line needs no CR LF.
  const std::string text = "Title=a\rb\nc\r\nAuthor=x\r\n\r\nPubVersion=1.0";
  for (size_t step : {size_t{1}, size_t{2}, size_t{3}, size_t{7}, size_t{2048}}) {
    auto r = Load(text, 0, step);
    ASSERT_TRUE(r->ok) << r->error;
    EXPECT_EQ(r->pub.settings.title, "a\rb\nc") << step;
    EXPECT_EQ(r->pub.settings.author, "x") << step;
    EXPECT_EQ(r->pub.settings.pubVersion, "1.0") << step;
  }
  // CR as the last byte of a full chunk, its LF in the next one.
  std::string longTitle(2048 - 1 - 6, 'T');
  auto r = Load("Title=" + longTitle + "\r\nAuthor=me\r\n");
  ASSERT_TRUE(r->ok);
  EXPECT_EQ(r->pub.settings.title, longTitle);
  EXPECT_EQ(r->pub.settings.author, "me");
}

TEST(PublicationReader, KeysAndValues) {
  struct Case {
    const char* line;
    const char* title;
  } cases[] = {
      {"Title= My Book", " My Book"},   // the value keeps its blanks
      {"Title=", ""},                   // empty keeps the default
      {"title=x", "x"},                 // keys ignore case
      {"  \tTITLE=x", "x"},             // blanks and controls around the key go
      {"Title  =x", ""},                // ... but not inside it
      {"Title=a=b", "a=b"},             // later "=" belong to the value
      {"Titles=x", ""},                 // unknown key
      {"Title", ""},                    // a marker line with a key's name
  };
  for (const auto& c : cases) {
    auto r = Load(Pub({c.line}));
    ASSERT_TRUE(r->ok);
    EXPECT_EQ(r->pub.settings.title, c.title) << c.line;
  }
  auto r = Load(Pub({"Title=first", "Title=", "Title=  "}));
  EXPECT_EQ(r->pub.settings.title, "  ");  // an empty value does not clear it
}

TEST(PublicationReader, SettingsDefaults) {
  auto r = Load("");
  ASSERT_TRUE(r->ok);
  const auto& s = r->pub.settings;
  EXPECT_EQ(s.screenWidth, 640);
  EXPECT_EQ(s.screenHeight, 480);
  EXPECT_EQ(s.screenColors, Globals().displayColorCount);
  EXPECT_EQ(s.windowProps, 31);
  EXPECT_EQ(s.shapeTransColor, kColorDefault);
  EXPECT_TRUE(s.allowEsc && s.allowPageUpDn && s.useUpdateTimer && s.showErrors);
  EXPECT_FALSE(s.screenAutoSize || s.mouseExit || s.autoReturn || s.showMarquee);
  EXPECT_EQ(s.returnTime, 60);
  EXPECT_EQ(s.customFontName, "MS Sans Serif");
  EXPECT_EQ(s.customFontSize, 8);
  EXPECT_EQ(s.customFontStyle, 1);
  EXPECT_EQ(s.linkColor, 16711680u);
  EXPECT_EQ(s.extractOp, 132);
  EXPECT_EQ(s.cacheSize, 30);
  ASSERT_EQ(r->pub.pages.size(), 1u);
  EXPECT_TRUE(r->pub.usesStandardPalette);
  EXPECT_FALSE(r->pub.mainMenu.present);
}

TEST(PublicationReader, SettingsValues) {
  auto r = Load(Pub({
      "ScreenWidth=800px", "ScreenHeight=abc", "ScreenColors=256", "AllowEsc=yes", "AllowPageUpDn=True",
      "ShowErrors=1", "NoPrintScrn=YES", "BkndColor=$FF", "CustomFontStyle=31", "CacheSize=-5",
      "BiDiMode=1", "StartupAction=SetVar [a]=1\xB6GotoPage 2", "EmbeddedFiles=a=1\xB6" "b=2",
      "ExtractOp=4", "Icon=x.ico", "WindowStyle=3",
  }));
  ASSERT_TRUE(r->ok);
  const auto& s = r->pub.settings;
  EXPECT_EQ(s.screenWidth, 800);
  EXPECT_EQ(s.screenHeight, 0);
  EXPECT_EQ(s.screenColors, 256);
  EXPECT_TRUE(s.allowEsc);
  EXPECT_FALSE(s.allowPageUpDn);
  EXPECT_FALSE(s.showErrors);
  EXPECT_TRUE(s.noPrintScrn);
  EXPECT_EQ(s.bkndColor, 255u);
  EXPECT_EQ(s.customFontStyle, 15);  // higher bits dropped
  EXPECT_EQ(s.cacheSize, 1);
  EXPECT_EQ(s.bidiMode, 1);
  EXPECT_EQ(s.startupAction, "SetVar [a]=1\r\nGotoPage 2");
  EXPECT_EQ(s.embeddedFiles, "a=1\xB6" "b=2");  // a list, not an action
  EXPECT_EQ(s.extractOp, 4);
  EXPECT_EQ(s.windowStyle, 3);

  // Values outside the accepted sets keep what was there.
  r = Load(Pub({"ScreenColors=16", "ScreenColors=300", "BiDiMode=2", "BiDiMode=9", "BiDiMode=-1"}));
  EXPECT_EQ(r->pub.settings.screenColors, 16);
  EXPECT_EQ(r->pub.settings.bidiMode, 2);
}

TEST(PublicationReader, LanguageStrings) {
  auto r = Load(Pub({"L_OK=Va bene", "l_pleasewait=Attendere...", "L_DONWLOADFILE=Scarico %s", "L_NOPE=x"}));
  ASSERT_TRUE(r->ok);
  const auto& lang = r->pub.lang;
  EXPECT_EQ(lang[TLangId::Ok], "Va bene");
  EXPECT_EQ(lang[0], "Va bene");
  EXPECT_EQ(lang[34], "Attendere...");
  EXPECT_EQ(lang.ByName("L_PLEASEWAIT"), "Attendere...");
  EXPECT_EQ(lang.ByName("donwloadfile="), "Scarico %s");
  EXPECT_EQ(lang[TLangId::Cancel], "");  // no built-in default
  EXPECT_EQ(lang.ByName("nope"), "");
  EXPECT_STREQ(TLanguageStrings::Name(0), "L_OK");
  EXPECT_STREQ(TLanguageStrings::Name(19), "L_INSTDIRPROMPT");
  EXPECT_STREQ(TLanguageStrings::Name(34), "L_PLEASEWAIT");
  EXPECT_EQ(TLanguageStrings::IndexOf("L_SendEmail"), static_cast<int>(TLangId::SendEmail));
  // Every language key of the table lands on the string of its own name.
  std::string text;
  for (int i = 0; i < kLanguageStringCount; ++i) text += std::string(TLanguageStrings::Name(i)) + "=" + std::to_string(i) + "\r\n";
  r = Load(text);
  for (int i = 0; i < kLanguageStringCount; ++i) EXPECT_EQ(r->pub.lang[i], std::to_string(i));
}

TEST(PublicationReader, PagesAndTheirKeys) {
  auto r = Load(Pub({
      "PageColor=1",  // before any page: ignored
      "MasterPage", "PageColor=$FF", "ShowMasterPage=No",
      "NewPage=Intro", "PageStyle=1", "PageGradient1=5", "PgEnterAction=a\xB6" "b", "PageEffect=Fade",
      "EffectSpeed=3", "PageWallpaper=C:\\w.bmp", "WallpaperStyle=2", "PageGradientDir=0",
      "NewPage=Second",
  }));
  ASSERT_TRUE(r->ok);
  const auto& pages = r->pub.pages;
  ASSERT_EQ(pages.size(), 3u);
  EXPECT_EQ(pages[0].name, "");
  EXPECT_EQ(pages[0].pageColor, 255u);
  EXPECT_FALSE(pages[0].showMasterPage);
  EXPECT_EQ(pages[1].name, "Intro");
  EXPECT_EQ(pages[1].pageStyle, 1);
  EXPECT_EQ(pages[1].gradient1, 5u);
  EXPECT_EQ(pages[1].enterAction, "a\r\nb");
  EXPECT_EQ(pages[1].effect, "Fade");
  EXPECT_EQ(pages[1].effectOptions, "3");
  EXPECT_EQ(pages[1].wallpaper, "C:\\w.bmp");
  EXPECT_EQ(pages[1].wallpaperStyle, 2);
  EXPECT_EQ(pages[1].gradientDir, 0);
  // A new page's defaults.
  const auto& p = pages[2];
  EXPECT_TRUE(p.showMasterPage);
  EXPECT_EQ(p.pageStyle, 0);
  EXPECT_EQ(p.pageColor, 16777215u);
  EXPECT_EQ(p.gradient1, 16711680u);
  EXPECT_EQ(p.gradient2, 255u);
  EXPECT_EQ(p.gradientDir, 1);
  EXPECT_FALSE(p.HasPalette());
  EXPECT_EQ(p.Palette(), StandardPalette());
  EXPECT_EQ(r->pub.FindPage("SECOND"), 2);
  EXPECT_EQ(r->pub.FindPage("none"), -1);
}

TEST(PublicationReader, UniquePageNames) {
  auto r = Load(Pub({"NewPage=Intro", "NewPage=Intro", "NewPage=intro", "NewPage=Page 3", "NewPage=Page 3",
                     "NewPage=My Page 3", "NewPage=My Page 3", "NewPage=Intro1x", "NewPage=Intro", "NewPage=",
                     "NewPage=7", "NewPage=7"}));
  ASSERT_TRUE(r->ok);
  std::vector<std::string> names;
  for (const auto& p : r->pub.pages) names.push_back(p.name);
  const std::vector<std::string> want = {"",         "Intro",     "Intro1",  "intro2", "Page 3", "Page1",
                                         "My Page 3", "My Page 1", "Intro1x", "Intro3", "7",      "1"};
  EXPECT_EQ(names, want);
}

TEST(PublicationReader, ManySameNamedPagesStayCheap) {
  std::string text;
  for (int i = 0; i < 20000; ++i) text += "NewPage=Same\r\n";
  auto r = Load(text);
  ASSERT_TRUE(r->ok);
  ASSERT_EQ(r->pub.pages.size(), 20001u);
  EXPECT_EQ(r->pub.pages[20000].name, "Same19999");
}

TEST(PublicationReader, PagePaletteMarksThePublication) {
  auto r = Load(Pub({"NewPage=A", "PagePalette=1 2 3", "NewPage=B"}));
  ASSERT_TRUE(r->ok);
  EXPECT_FALSE(r->pub.usesStandardPalette);
  const auto& a = r->pub.pages[1];
  ASSERT_TRUE(a.HasPalette());
  EXPECT_EQ(a.Palette()[0], 1u);
  EXPECT_EQ(a.Palette()[1], 2u);
  EXPECT_EQ(a.Palette()[2], 0u);
  EXPECT_EQ(a.Palette()[255], 0u);
  EXPECT_FALSE(r->pub.pages[2].HasPalette());
  EXPECT_EQ(r->pub.pages[2].Palette(), StandardPalette());
}

TEST(PublicationReader, ObjectRecords) {
  auto r = Load(Pub({
      "ObjectType=3", "X=5",  // before any page: nothing
      "NewPage=P", "X=1",     // no object yet: ignored
      "ObjectType=3", "Name=Btn", "X=-12", "Y=-12px", "Visible=yes", "Enabled=True", "ObjAction=a\xB6" "b",
      "Text=one\xB6two", "FillColor=$FF", "X=7",
      "ObjectType=99", "X=100", "Name=Lost",  // unknown type: its keys are dropped
      "ObjectType=15", "Interval=1000",
      "NewPage=Q", "W=9",  // a page marker ends the object
  }));
  ASSERT_TRUE(r->ok);
  ASSERT_EQ(r->pub.pages.size(), 3u);
  EXPECT_TRUE(r->pub.pages[0].objects.empty());
  EXPECT_TRUE(r->pub.pages[2].objects.empty());
  const auto& objs = r->pub.pages[1].objects;
  ASSERT_EQ(objs.size(), 2u);
  const TObjectRecord& b = *objs[0];
  EXPECT_EQ(b.objectType, 3);
  EXPECT_EQ(b.pageIndex, 1);
  EXPECT_EQ(b.parent, nullptr);
  EXPECT_EQ(b.Name(), "Btn");
  EXPECT_STREQ(ObjectClassName(b.objectType), "TVellionPushBtn");
  ASSERT_EQ(b.keys.size(), 9u);
  EXPECT_EQ(b.keys[0].id, TPubKey::Name);
  EXPECT_STREQ(b.keys[1].Name(), "X=");
  EXPECT_EQ(b.keys[1].number, -12);
  EXPECT_EQ(b.keys[2].number, 12);
  EXPECT_EQ(b.keys[2].raw, "-12px");
  EXPECT_TRUE(b.keys[3].flag);
  EXPECT_FALSE(b.keys[4].flag);
  EXPECT_EQ(b.keys[5].type, TKeyType::Action);
  EXPECT_EQ(b.keys[5].Action(), "a\r\nb");
  EXPECT_EQ(b.keys[6].raw, "one\xB6two");  // text keys stay as written
  EXPECT_EQ(b.Find(TPubKey::FillColor)->number, 255);
  EXPECT_EQ(b.Find(TPubKey::X)->number, 7);  // the last one is in force
  EXPECT_EQ(b.Find(TPubKey::H), nullptr);
  EXPECT_EQ(objs[1]->objectType, 15);
  EXPECT_EQ(objs[1]->Find(TPubKey::Interval)->number, 1000);
  EXPECT_EQ(objs[1]->line, 18);
}

TEST(PublicationReader, GroupsAndContainersNest) {
  auto r = Load(Pub({
      "NewPage=P",
      "ObjectType=20", "Name=G",
      "GroupBegin",
      "ObjectType=3", "Name=B1",
      "ObjectType=21", "Name=C",
      "ContainerBegin",
      "ObjectType=5", "Name=R",
      "ContainerEnd",
      "W=50",  // back on the container
      "GroupEnd",
      "ObjectType=8", "Name=T",
      "GroupEnd",  // nothing open: ignored, reading goes on
      "ObjectType=6", "Name=E",
      "NewPage=Q",
  }));
  ASSERT_TRUE(r->ok) << r->error;
  const auto& objs = r->pub.pages[1].objects;
  ASSERT_EQ(objs.size(), 3u);
  const TObjectRecord& g = *objs[0];
  EXPECT_EQ(g.Name(), "G");
  ASSERT_EQ(g.children.size(), 2u);
  EXPECT_EQ(g.children[0]->Name(), "B1");
  EXPECT_EQ(g.children[0]->parent, &g);
  const TObjectRecord& c = *g.children[1];
  EXPECT_EQ(c.Find(TPubKey::W)->number, 50);
  ASSERT_EQ(c.children.size(), 1u);
  EXPECT_EQ(c.children[0]->Name(), "R");
  EXPECT_EQ(c.children[0]->parent, &c);
  EXPECT_EQ(c.children[0]->pageIndex, 1);
  EXPECT_EQ(objs[1]->Name(), "T");
  EXPECT_EQ(objs[2]->Name(), "E");
  // Tab order: the container, the group, then page P and page Q at the end.
  const auto& f = r->pub.tabOrderFixups;
  ASSERT_EQ(f.size(), 4u);
  EXPECT_EQ(f[0].holder, &c);
  EXPECT_EQ(f[1].holder, &g);
  EXPECT_EQ(f[2].holder, nullptr);
  EXPECT_EQ(f[2].pageIndex, 1);
  EXPECT_EQ(f[3].pageIndex, 2);
}

TEST(PublicationReader, OpenLevelsCloseAtPageEndAndEndOfFile) {
  auto r = Load(Pub({"NewPage=P", "ObjectType=20", "GroupBegin", "ObjectType=3", "NewPage=Q", "ObjectType=4",
                     "ObjectType=20", "GroupBegin", "ObjectType=5"}));
  ASSERT_TRUE(r->ok);
  EXPECT_EQ(r->pub.pages[1].objects[0]->children.size(), 1u);
  ASSERT_EQ(r->pub.pages[2].objects.size(), 2u);  // the page marker left the group
  EXPECT_EQ(r->pub.pages[2].objects[1]->children.size(), 1u);
  EXPECT_EQ(r->pub.tabOrderFixups.size(), 4u);
}

TEST(PublicationReader, NestingDepthIsCapped) {
  auto nested = [](int depth) {
    std::string t = "NewPage=P\r\n";
    for (int i = 0; i < depth; ++i) t += "ObjectType=20\r\nGroupBegin\r\n";
    t += "ObjectType=3\r\n";
    for (int i = 0; i < depth; ++i) t += "GroupEnd\r\n";
    return t;
  };
  auto ok = Load(nested(kMaxNestingDepth));
  EXPECT_TRUE(ok->ok) << ok->error;
  auto deep = Load(nested(kMaxNestingDepth + 1));
  EXPECT_FALSE(deep->ok);
  EXPECT_NE(deep->error.find("nested deeper"), std::string::npos) << deep->error;
  // A hostile file of nothing but begins fails cleanly too.
  std::string begins;
  for (int i = 0; i < 100000; ++i) begins += "GroupBegin\r\n";
  EXPECT_FALSE(Load(begins)->ok);
}

TEST(PublicationReader, MainMenu) {
  auto r = Load(Pub({
      "MenuText=stray",  // outside a block: ignored
      "MenuBegin",
      "MenuText=before any item",  // ignored
      "MenuBegin",                 // no item yet: ignored
      "MenuName=mnuFile", "MenuText=&File",
      "MenuBegin",
      "MenuName=mnuOpen", "MenuText=Open [Name]", "MenuAction=a\xB6" "b", "MenuState=15", "MenuKey=$4000",
      "MenuVar=[Sound]", "MenuImage=open.bmp", "MenuImTransClr=255",
      "MenuName=mnuQuit",
      "MenuEnd",
      "MenuName=mnuHelp",
      "Title=ignored inside a block",
      "MenuEnd",
      "MenuEnd",  // no block open
      "Author=after",
  }));
  ASSERT_TRUE(r->ok) << r->error;
  const auto& m = r->pub.mainMenu;
  ASSERT_TRUE(m.present);
  ASSERT_EQ(m.items.size(), 2u);
  const auto& file = m.items[0];
  EXPECT_EQ(file.name, "mnuFile");
  EXPECT_EQ(file.caption, "&File");
  ASSERT_EQ(file.items.size(), 2u);
  const auto& open = file.items[0];
  EXPECT_EQ(open.caption, "Open [Name]");
  EXPECT_EQ(open.action, "a\r\nb");
  EXPECT_EQ(open.state, 15);
  EXPECT_EQ(open.key, 0x4000);
  EXPECT_EQ(open.var, "[Sound]");
  EXPECT_EQ(open.image, "open.bmp");
  EXPECT_EQ(open.imageTransColor, 255u);
  const auto& quit = file.items[1];
  EXPECT_EQ(quit.caption, "mnuQuit");  // the name is the first caption
  EXPECT_EQ(quit.state, 3);
  EXPECT_EQ(quit.imageTransColor, kColorDefault);
  EXPECT_EQ(m.items[1].name, "mnuHelp");
  EXPECT_EQ(r->pub.settings.title, "");
  EXPECT_EQ(r->pub.settings.author, "after");
  EXPECT_FALSE(r->pub.trayMenu.present);
}

TEST(PublicationReader, InvalidMenuItemNamesFail) {
  for (const char* bad : {"1abc", "has blank", "a-b", "caf\xE8"}) {
    auto r = Load(Pub({"MenuBegin", std::string("MenuName=").append(bad), "MenuEnd"}));
    EXPECT_FALSE(r->ok) << bad;
    EXPECT_NE(r->error.find("not a valid menu item name"), std::string::npos) << r->error;
    EXPECT_NE(r->error.find("line 2"), std::string::npos) << r->error;
  }
  auto dup = Load(Pub({"MenuBegin", "MenuName=a", "MenuBegin", "MenuName=A", "MenuEnd", "MenuEnd"}));
  EXPECT_FALSE(dup->ok);
  EXPECT_NE(dup->error.find("already exists"), std::string::npos) << dup->error;
}

TEST(PublicationReader, TrayMenuOnlyInATrayPublication) {
  const std::string text = Pub({"TrayMenuBegin", "MenuName=mnuShow", "MenuBegin", "MenuName=sub", "MenuEnd",
                                "MenuName=9bad", "MenuEnd", "Title=after"});
  auto plain = Load(text, 0);
  ASSERT_TRUE(plain->ok) << plain->error;  // skipped with its items, bad names and all
  EXPECT_FALSE(plain->pub.trayMenu.present);
  EXPECT_FALSE(plain->pub.mainMenu.present);
  EXPECT_EQ(plain->pub.settings.title, "after");

  auto tray = Load(Pub({"TrayMenuBegin", "MenuName=mnuShow", "MenuBegin", "MenuName=sub", "MenuEnd", "MenuEnd",
                        "Title=after"}),
                   kPublicationKindTray);
  ASSERT_TRUE(tray->ok) << tray->error;
  ASSERT_TRUE(tray->pub.trayMenu.present);
  ASSERT_EQ(tray->pub.trayMenu.items.size(), 1u);
  EXPECT_EQ(tray->pub.trayMenu.items[0].items[0].name, "sub");
  EXPECT_EQ(tray->pub.settings.title, "after");
}

TEST(PublicationReader, ReadsInChunksWithProgress) {
  std::string text;
  for (int i = 0; i < 1000; ++i) text += "Title=line " + std::to_string(i) + "\r\n";
  DribbleSource src(text, 1 << 20);
  std::vector<int> seen;
  TLoadOptions opt;
  opt.progress = [&](int pct) { seen.push_back(pct); };
  TPublication pub;
  AnsiString error;
  ASSERT_TRUE(LoadPublication(src, static_cast<int64_t>(text.size()), pub, opt, error));
  EXPECT_EQ(pub.settings.title, "line 999");
  EXPECT_LE(src.largestRequest, 2048);
  ASSERT_EQ(seen.size(), (text.size() + 2047) / 2048);
  EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
  EXPECT_EQ(seen.back(), 100);
}

TEST(PublicationReader, ReadFailureStopsWithAnError) {
  std::string text;
  for (int i = 0; i < 500; ++i) text += "NewPage=P\r\n";
  DribbleSource src(text, 100, 3000);
  TPublication pub;
  AnsiString error;
  EXPECT_FALSE(LoadPublication(src, static_cast<int64_t>(text.size()), pub, {}, error));
  EXPECT_EQ(error, ErrorText(100));
  EXPECT_GT(pub.pages.size(), 1u);  // what was read before the failure is kept
}

TEST(PublicationReader, HostileSizesAreRefused) {
  // A small package can inflate to a huge text: the reader stops at its cap.
  std::string text(5000, 'x');
  MemorySource src(text);
  TPublicationLines lines(src, 5000, nullptr, 2048, 3000);
  std::string_view line;
  EXPECT_EQ(lines.Next(line), TPublicationLines::kError);
  EXPECT_TRUE(lines.TooBig());

  std::string pages;
  for (int i = 0; i < kMaxPages; ++i) pages += "NewPage=P\r\n";
  auto r = Load(pages);
  EXPECT_FALSE(r->ok);
  EXPECT_NE(r->error.find("pages"), std::string::npos) << r->error;
  EXPECT_EQ(r->pub.pages.size(), static_cast<size_t>(kMaxPages));
}
