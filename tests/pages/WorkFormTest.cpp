// The main window with real packages: the chained load and the variables the
// window and the screen provide.
#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QImage>
#include <QElapsedTimer>
#include <QLocalSocket>
#include <QProcess>
#include <QScreen>
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <optional>
#include <thread>

#include "actions/CommandApi.h"
#include "actions/CommandTable.h"
#include "actions/Interpreter.h"
#include "actions/Vars.h"
#include "objects/PageObjects.h"
#include "pages/RT_Main.h"
#include "platform/Cursors.h"
#include "platform/InstanceChannel.h"
#include "platform/PrivateTemp.h"
#include "runtime/Clock.h"
#include "runtime/Global.h"
#include "runtime/Lifecycle.h"
#include "runtime/Messages.h"
#include "runtime/Package.h"
#include "runtime/PackageWriter.h"
#include "support/TestCommands.h"
#include "support/TestSupport.h"
#include "windows/UserDialog.h"

using namespace vl;

namespace {

std::string WritePackage(const vltest::TempDir& dir, const char* name, const std::string& pub, bool shortForm = false,
                         bool singleInstance = false, int kind = 0) {
  PackageWriter w;
  w.header.PublicationKind = static_cast<uint8_t>(kind);
  w.header.ShortForm = shortForm;
  w.header.SingleInstance = singleInstance ? 1 : 0;
  if (shortForm) w.header.PublicationKind = 3;
  PackageEntryInput e;
  e.name = "RUNTIME.PUB";
  e.type = kEntryPublication;
  e.data = pub;
  w.AddEntry(std::move(e));
  AnsiString error;
  const std::string path = (dir / name).string();
  EXPECT_TRUE(w.WriteFile(path, "", error)) << error;
  return path;
}

// Lets the event loop run in real time until `done` (other threads and
// processes are waited for; the virtual clock would skip ahead).
void WaitReal(const std::function<bool()>& done, int maxMs) {
  QElapsedTimer t;
  t.start();
  while (!done() && t.elapsed() < maxMs) QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 20);
}

// What the test's own TestChain command does: a chained load with the given
// options, as the chaining commands ask for it.
bool gChainResult = false;
int gPagesSeenInside = -1;
int gPagesAfterInner = -1;
// What TestNested does (set by the test).
std::function<void(CommandContext&)> gNested;
void DoChain(CommandContext& c) {
  gChainResult = WorkForm()->LoadChainedPublication(c.Arg(1), c.Arg(2) == "clear", false);
  // Nothing of the old publication has gone yet.
  gPagesSeenInside = WorkForm()->PageCount();
}

class WorkFormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InstallClock(MakeVirtualClock(0));
    CommandTable().BuildBuiltinTable();
    // A chained load that completes builds the table again: the group goes
    // with the old publication, as a plug-in's would.
    commands_.emplace(std::vector<std::pair<std::string, vltest::TestCommandGroup::Body>>{
        {"TestChain", DoChain}, {"TestNested", [](CommandContext& c) {
                                   if (gNested) gNested(c);
                                 }}});
    ClearAllVariables();
  }
  void TearDown() override {
    form.reset();
    commands_.reset();
    gNested = nullptr;
    SetInterpreterHost(nullptr);
    SubroutineText().clear();
    ClearAllVariables();
    InstallClock(nullptr);
  }
  // Opens `path` and runs it to its first page.
  void Start(const std::string& path, bool channel = false, std::vector<AnsiString> args = {}) {
    TStartOptions o;
    o.packagePath = path;
    o.headless = true;
    o.channel = channel;
    o.args = std::move(args);
    form = std::make_unique<TWorkForm>(o);
    form->onClosed = [this] { closed = true; };
    form->onChainFailed = [this] { chainFailed = true; };
    ASSERT_TRUE(form->FormCreate()) << form->StartError();
    form->FormShow();
    ASSERT_TRUE(TheClock().RunUntil([this] { return form->Started(); }, TheClock().NowMs() + 5000));
  }
  void Settle() { TheClock().RunUntil([] { return false; }, TheClock().NowMs() + 500); }
  static std::string Var(std::string_view name) { return GetVariableValue(name, 0); }
  // Runs an action as a button would.
  static void Click(const std::string& text) { RunAction(text, 0, 1, 0, "Button"); }

  vltest::TempDir dir;
  std::unique_ptr<TWorkForm> form;
  bool closed = false;
  bool chainFailed = false;
  std::optional<vltest::TestCommandGroup> commands_;
};

const char kFirst[] =
    "Title=First\r\nScreenWidth=320\r\nScreenHeight=200\r\nShowErrors=No\r\n"
    "StartupAction=SetVar \"[Order]\" \"[Order]startA,\"\r\n"
    "ShutdownAction=SetVar \"[Order]\" \"[Order]shutdownA,\"\r\n"
    "MASTERPAGE\r\nNEWPAGE=One\r\nNEWPAGE=Two\r\n";
const char kSecond[] =
    "Title=Second\r\nScreenWidth=400\r\nScreenHeight=300\r\nShowErrors=No\r\n"
    "StartupAction=SetVar \"[Order]\" \"[Order]startB,\"\r\n"
    "MASTERPAGE\r\nNEWPAGE=Alpha\r\nPgEnterAction=SetVar \"[Order]\" \"[Order]enterAlpha,\"\r\n";

TEST_F(WorkFormTest, ChainedLoadWaitsForTheOutermostActionAndReplacesThePublication) {
  const std::string second = WritePackage(dir, "second.pkg", kSecond);
  Start(WritePackage(dir, "first.pkg", kFirst));
  EXPECT_EQ(form->PageCount(), 2);
  // The chain is asked for inside an action inside another action: both
  // stop after the request, and the old pages stay until both have returned.
  gNested = [](CommandContext&) {
    RunAction("TestChain \"second.pkg\" \"\"\rSetVar \"[After]\" \"inner\"", 0, 1, 0, "Inner");
    QCoreApplication::sendPostedEvents();  // as a dialog's wait would
    gPagesAfterInner = WorkForm()->PageCount();
  };
  Click("TestNested\rSetVar \"[After]\" \"outer\"");
  EXPECT_TRUE(gChainResult);
  EXPECT_EQ(gPagesSeenInside, 2);
  EXPECT_EQ(gPagesAfterInner, 2);  // the outer action still ran
  EXPECT_EQ(Var("After"), "");  // neither action went on
  EXPECT_TRUE(form->ChainPending());
  Settle();
  EXPECT_FALSE(form->ChainPending());
  EXPECT_FALSE(closed);
  EXPECT_EQ(form->PageCount(), 1);
  EXPECT_EQ(form->Settings().title, "Second");
  EXPECT_EQ(ThePackage().HostPath(), second);
  // Variables are kept without the clear option; the new start-up action
  // runs before its first page's enter action.
  EXPECT_EQ(Var("Order"), "startA,shutdownA,startB,enterAlpha,");
  EXPECT_EQ(Var("LastError"), "");
}

TEST_F(WorkFormTest, ChainedLoadOptionsAndRefusals) {
  WritePackage(dir, "short.pkg", kSecond, true);
  const char vetoing[] =
      "Title=Veto\r\nScreenWidth=320\r\nScreenHeight=200\r\nShowErrors=No\r\n"
      "ShutdownAction=SetVar \"[ShutdownStatus]\" \"[Refuse]\"\r\nMASTERPAGE\r\nNEWPAGE=One\r\n";
  Start(WritePackage(dir, "veto.pkg", vetoing));

  // Not found anywhere: only [LastError] tells.
  Click("TestChain \"nowhere.pkg\" \"\"\rSetVar \"[After]\" \"yes\"");
  EXPECT_FALSE(gChainResult);
  EXPECT_EQ(Var("After"), "yes");
  EXPECT_EQ(Var("LastError"), ErrorText(2));

  // The shut-down action refuses: the publication goes on, the action too.
  SetVariable("[Refuse]", "FALSE");
  Click("TestChain \"short.pkg\" \"\"\rSetVar \"[After]\" \"again\"");
  EXPECT_FALSE(gChainResult);
  EXPECT_EQ(Var("After"), "again");
  Settle();
  EXPECT_EQ(form->Settings().title, "Veto");

  // Accepted, with the clear option, into a package in the short form.
  SetVariable("[Refuse]", "TRUE");
  Click("TestChain \"" + (dir / "short.pkg").string() + "\" \"clear\"");
  EXPECT_TRUE(gChainResult);
  Settle();
  EXPECT_EQ(form->Settings().title, "Second");
  EXPECT_EQ(Var("Refuse"), "");  // cleared before the new start-up action
  EXPECT_EQ(Var("Order"), "startB,enterAlpha,");
}

TEST_F(WorkFormTest, ChainedLoadOfADamagedPackageEndsTheRun) {
  vltest::WriteFileBytes(dir / "bad.pkg", "not a package at all");
  Start(WritePackage(dir, "first.pkg", kFirst));
  Click("TestChain \"bad.pkg\" \"\"");
  Settle();
  EXPECT_TRUE(chainFailed);
  EXPECT_NE(form->StartError().find(Msg(236)), std::string::npos);
}

TEST(ChainedPackageSearch, FolderThenSearchPath) {
  vltest::TempDir pubDir, pathDir;
  vltest::WriteFileBytes(pubDir / "here.pkg", "x");
  vltest::WriteFileBytes(pathDir / "onpath.pkg", "x");
  const std::string oldPath = qEnvironmentVariable("PATH").toStdString();
  qputenv("PATH", ("/nonexistent:" + pathDir.path().string()).c_str());
  const AnsiString folder = pubDir.path().string();
  EXPECT_EQ(FindChainedPackage("here.pkg", folder), folder + "/here.pkg");
  // A folder that does not hold it: its file-name part is looked for.
  EXPECT_EQ(FindChainedPackage("C:\\Somewhere\\here.pkg", folder), folder + "/here.pkg");
  EXPECT_EQ(FindChainedPackage("onpath.pkg", folder), pathDir.path().string() + "/onpath.pkg");
  EXPECT_EQ(FindChainedPackage((pubDir / "here.pkg").string(), ""), (pubDir / "here.pkg").string());
  EXPECT_EQ(FindChainedPackage("missing.pkg", folder), "");
  EXPECT_EQ(FindChainedPackage("", folder), "");
  qputenv("PATH", oldPath.c_str());
}

// ---------------------------------------------------------------------------
// The window's variables

TEST_F(WorkFormTest, WindowAndScreenVariables) {
  const char pub[] =
      "Title=Vars\r\nAuthor=Ann\r\nPubVersion=1.2\r\nScreenWidth=320\r\nScreenHeight=200\r\n"
      "ShowErrors=No\r\nMASTERPAGE\r\nNEWPAGE=One\r\n";
  Start(WritePackage(dir, "vars.pkg", pub));
  QScreen* screen = QGuiApplication::primaryScreen();
  ASSERT_NE(screen, nullptr);
  struct Read {
    const char* name;
    std::string want;
  } reads[] = {
      {"PubWidth", "320"},
      {"PubHeight", "200"},
      {"ClientWidth", "320"},
      {"ClientHeight", "200"},
      {"PubTitle", "Vars"},
      {"AppTitle", "Vars"},
      {"PubAuthor", "Ann"},
      {"PubVersion", "1.2"},
      {"WindowOrder", "Normal"},
      {"WindowState", "Normal"},
      {"ScreenWidth", std::to_string(screen->geometry().width())},
      {"ScreenHeight", std::to_string(screen->geometry().height())},
      {"TempDir", PrivateTempFolder() + "/"},
      {"WindowsPlatform", "2"},
      {"WindowsVer", "6.2"},
      {"VLType", "A"},
      {"PubDir", dir.path().string() + "/"},
  };
  for (const auto& r : reads) EXPECT_EQ(Var(r.name), r.want) << r.name;
  const QPoint origin = form->centralWidget()->mapToGlobal(QPoint(0, 0));
  EXPECT_EQ(Var("PubLeft"), std::to_string(origin.x()));
  EXPECT_EQ(Var("PubTop"), std::to_string(origin.y()));
  EXPECT_NE(Var("WinHandle"), "0");
  EXPECT_EQ(Var("MyDocuments").back(), '/');

  // Writes.
  struct Write {
    const char* name;
    const char* value;
    const char* reads;  // what the variable then reads
  } writes[] = {
      {"WindowOrder", "ontop", "OnTop"},    {"WindowOrder", " OnBottom ", "OnBottom"},
      {"WindowOrder", "anything", "Normal"}, {"PubWidth", "400", "400"},
      {"PubHeight", "250", "250"},          {"ClientWidth", "420", "420"},
      {"WindowLeft", "37", "37"},           {"WindowTop", "41", "41"},
      {"PubTitle", "New caption", "New caption"}, {"AppTitle", "App", "App"},
      {"Clipboard", "copied \xE8", "copied \xE8"}, {"WindowState", "maximized", "Maximized"},
      {"WindowState", "Normal", "Normal"},
  };
  for (const auto& w : writes) {
    SetVariable(std::string("[") + w.name + "]", w.value);
    QCoreApplication::processEvents();
    EXPECT_EQ(Var(w.name), w.reads) << w.name << " = " << w.value;
  }
  EXPECT_EQ(form->windowTitle(), "New caption");
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QString::fromUtf8("copied \u00E8"));
  // The publication area follows [PubWidth]/[PubHeight].
  EXPECT_EQ(form->PageArea()->size(), QSize(400, 250));
  // Read-only ones refuse a write.
  SetVariable("[ScreenWidth]", "5");
  EXPECT_EQ(Var("ScreenWidth"), std::to_string(screen->geometry().width()));
}

// Writing one side of the publication keeps the other side of the client
// area as it is; a size that is not a whole number changes nothing.
TEST_F(WorkFormTest, PublicationAndClientSizeWrites) {
  const char pub[] = "Title=Sizes\r\nScreenWidth=320\r\nScreenHeight=200\r\nShowErrors=No\r\nMASTERPAGE\r\nNEWPAGE=One\r\n";
  Start(WritePackage(dir, "sizes.pkg", pub));
  struct Step {
    const char* name;
    const char* value;
    QSize client;  // the client area afterwards
    QSize pub;     // the publication area afterwards
  } steps[] = {
      {"ClientHeight", "260", {320, 260}, {320, 200}},
      {"PubWidth", "400", {400, 260}, {400, 200}},   // the client keeps its 260
      {"PubHeight", "240", {400, 240}, {400, 240}},
      {"ClientHeight", "12.5", {400, 240}, {400, 240}},  // not whole: unchanged
      {"ClientWidth", "wide", {400, 240}, {400, 240}},
      {"PubWidth", "", {400, 240}, {400, 240}},
      {"WindowHeight", "x", {400, 240}, {400, 240}},
      {"PubHeight", "99999999", {400, 8192}, {400, 8192}},  // capped
      {"PubHeight", "180", {400, 180}, {400, 180}},
  };
  for (const auto& s : steps) {
    SetVariable(std::string("[") + s.name + "]", s.value);
    QCoreApplication::processEvents();
    EXPECT_EQ(form->ClientSize(), s.client) << s.name << " = " << s.value;
    EXPECT_EQ(form->PublicationRect().size(), s.pub) << s.name << " = " << s.value;
    EXPECT_EQ(Var("LastError"), "") << s.name;
  }
}

// A subsystem's view of the publication's life: a participant ordered after
// every other one hears each hook once, in the order of start-up and
// shut-down, with what the window has done by then.
TEST_F(WorkFormTest, LifecycleParticipantsHearStartUpAndShutDownInOrder) {
  std::vector<std::string> heard;
  auto flag = [](bool b) { return b ? "1" : "0"; };
  LifecycleParticipant p;
  p.name = "test.recorder";
  p.order = 100000;
  p.load = [&](LifecycleContext& ctx) {
    // The publication is read; the objects are not built yet.
    heard.push_back("load " + ctx.publication->settings.title + " objects=" +
                    std::to_string(TheObjects().PageCount()));
  };
  p.start = [&](LifecycleContext& ctx) {
    heard.push_back(std::string("start page=") + std::to_string(WorkForm()->PageIndex()) + " chained=" +
                    flag(ctx.chained) + " [Order]=" + Var("Order"));
  };
  p.started = [&](LifecycleContext&) { heard.push_back("started"); };
  p.closeQuery = [&](LifecycleContext&) {
    heard.push_back("closeQuery [Order]=" + Var("Order"));
    return true;
  };
  p.shutdown = [&](LifecycleContext&) { heard.push_back(std::string("shutdown ") + flag(WorkForm()->ShuttingDown())); };
  p.close = [&](LifecycleContext&) { heard.push_back("close"); };
  p.destroy = [&](LifecycleContext& ctx) {
    // Ordered last: the variables (unless a chained load keeps them) and
    // the objects have gone already.
    heard.push_back(std::string("destroy chained=") + flag(ctx.chained) + " clear=" + flag(ctx.clearVariables) +
                    " objects=" + std::to_string(TheObjects().PageCount()) + " [Order]=" + Var("Order"));
  };
  // The start page is entered before the start notice (the page switch may
  // tell it twice; once is what matters here).
  p.pageEnter = [&](int page, bool) {
    const std::string e = "enter " + std::to_string(page);
    if (heard.empty() || heard.back() != e) heard.push_back(e);
  };
  Lifecycle().Register(p);

  const std::string second = WritePackage(dir, "second.pkg", kSecond);
  Start(WritePackage(dir, "first.pkg", kFirst));
  Settle();
  Click("TestChain \"second.pkg\" \"\"");
  Settle();
  form->RequestClose(ssVellion);
  form->FormDestroy();
  Lifecycle().Unregister("test.recorder");
  EXPECT_EQ(heard, (std::vector<std::string>{
                       "load First objects=0", "enter 1", "start page=1 chained=0 [Order]=", "started",
                       "closeQuery [Order]=startA,shutdownA,", "shutdown 1", "close",
                       "destroy chained=1 clear=0 objects=0 [Order]=startA,shutdownA,",
                       "load Second objects=0", "enter 1", "start page=1 chained=1 [Order]=startA,shutdownA,",
                       "started", "closeQuery [Order]=startA,shutdownA,startB,enterAlpha,", "shutdown 1",
                       "close", "destroy chained=0 clear=0 objects=0 [Order]="}));
}

// A participant may refuse the close before the publication's own checks:
// as mail in progress does, it keeps the shut-down action from running.
TEST_F(WorkFormTest, ACloseQueryParticipantVetoesTheClose) {
  Start(WritePackage(dir, "first.pkg", kFirst));
  LifecycleParticipant busy;
  busy.name = "test.busy";
  busy.order = kLifeMailInProgress;
  busy.closeQuery = [](LifecycleContext&) { return Var("Busy") != "1"; };
  Lifecycle().Register(busy);
  SetVariable("[Busy]", "1");
  EXPECT_FALSE(form->RequestClose(ssVellion));
  EXPECT_FALSE(form->Closed());
  EXPECT_FALSE(form->ShuttingDown());
  EXPECT_EQ(Var("Order"), "startA,");
  // Still running: actions go on.
  Click("SetVar \"[Order]\" \"[Order]click,\"");
  SetVariable("[Busy]", "0");
  EXPECT_TRUE(form->RequestClose(ssVellion));
  Lifecycle().Unregister("test.busy");
  EXPECT_TRUE(closed);
  EXPECT_EQ(Var("Order"), "startA,click,shutdownA,");
}

TEST_F(WorkFormTest, TrayPublicationWithoutATrayShowsItsWindow) {
  // The offscreen platform has no system tray, like a desktop without one:
  // the publication must still start and stay in view.
  const char pub[] = "Title=Tray\r\nScreenWidth=320\r\nScreenHeight=200\r\nMASTERPAGE\r\nNEWPAGE=One\r\n";
  Start(WritePackage(dir, "tray.pkg", pub, false, false, 2));
  EXPECT_TRUE(form->isVisible());
  EXPECT_EQ(Var("VLType"), "T");
}

TEST_F(WorkFormTest, ShapedWindowTakesThePicturesShape) {
  // A 100 x 80 picture whose left half is transparent.
  QImage img(100, 80, QImage::Format_ARGB32);
  img.fill(Qt::transparent);
  for (int y = 0; y < 80; ++y)
    for (int x = 50; x < 100; ++x) img.setPixel(x, y, qRgba(0, 128, 0, 255));
  QByteArray png;
  {
    QBuffer buf(&png);
    buf.open(QIODevice::WriteOnly);
    img.save(&buf, "PNG");
  }
  PackageWriter w;
  PackageEntryInput pubEntry;
  pubEntry.name = "RUNTIME.PUB";
  pubEntry.type = kEntryPublication;
  pubEntry.data =
      "Title=Shaped\r\nScreenWidth=100\r\nScreenHeight=80\r\nWindowStyle=2\r\nShapeFile=shape.png\r\n"
      "MASTERPAGE\r\nNEWPAGE=One\r\n";
  w.AddEntry(std::move(pubEntry));
  PackageEntryInput pic;
  pic.name = "shape.png";
  pic.type = kEntryPicture;
  pic.data = png.toStdString();
  pic.imageWidth = 100;
  pic.imageHeight = 80;
  pic.imageAlpha = true;
  w.AddEntry(std::move(pic));
  AnsiString error;
  ASSERT_TRUE(w.WriteFile((dir / "shaped.pkg").string(), "", error)) << error;
  Start((dir / "shaped.pkg").string());
  const QRegion mask = form->mask();
  EXPECT_FALSE(mask.isEmpty());
  EXPECT_FALSE(mask.contains(QPoint(10, 40)));
  EXPECT_TRUE(mask.contains(QPoint(80, 40)));
  EXPECT_EQ(form->ClientSize(), QSize(100, 80));

  // Without its picture the window stays rectangular.
  form.reset();
  ClearAllVariables();
  const char noPicture[] =
      "Title=Plain\r\nScreenWidth=100\r\nScreenHeight=80\r\nWindowStyle=2\r\nShapeFile=missing.png\r\n"
      "MASTERPAGE\r\nNEWPAGE=One\r\n";
  Start(WritePackage(dir, "plain.pkg", noPicture));
  EXPECT_TRUE(form->mask().isEmpty());
}

// ---------------------------------------------------------------------------
// Cursors

TEST(CursorSlots, BuiltInsAndCursorFiles) {
  ResetCursorSlots();
  EXPECT_EQ(CursorForSlot(kCursorHotSpot).shape(), Qt::PointingHandCursor);
  EXPECT_EQ(CursorForSlot(kCursorApplication).shape(), Qt::ArrowCursor);
  EXPECT_EQ(CursorForSlot(kCursorDrag).shape(), Qt::ClosedHandCursor);
  EXPECT_EQ(CursorForSlot(99).shape(), Qt::ArrowCursor);

  // A 2 x 2, 32-bit cursor with its hot spot at (1, 0).
  auto le16 = [](std::string& s, unsigned v) { s += char(v & 0xFF); s += char(v >> 8); };
  auto le32 = [&](std::string& s, uint32_t v) { le16(s, v & 0xFFFF); le16(s, v >> 16); };
  std::string dib;
  le32(dib, 40); le32(dib, 2); le32(dib, 4); le16(dib, 1); le16(dib, 32);
  le32(dib, 0); le32(dib, 0); le32(dib, 0); le32(dib, 0); le32(dib, 0); le32(dib, 0);
  for (int i = 0; i < 4; ++i) dib += std::string("\x00\x00\xFF\xFF", 4);  // red, opaque
  dib += std::string(8, '\0');  // the AND mask: two rows of 4 bytes
  std::string cur;
  le16(cur, 0); le16(cur, 2); le16(cur, 1);
  cur += char(2); cur += char(2); cur += char(0); cur += char(0);
  le16(cur, 1); le16(cur, 0);  // hot spot
  le32(cur, static_cast<uint32_t>(dib.size())); le32(cur, 22);
  cur += dib;
  QCursor c;
  ASSERT_TRUE(CursorFromData(cur, c));
  EXPECT_EQ(c.hotSpot(), QPoint(1, 0));
  EXPECT_EQ(c.pixmap().size(), QSize(2, 2));

  // The same inside an animated cursor.
  std::string icon = "icon";
  le32(icon, static_cast<uint32_t>(cur.size()));
  icon += cur;
  std::string list = "LIST";
  le32(list, static_cast<uint32_t>(4 + icon.size()));
  list += "fram" + icon;
  std::string ani = "RIFF";
  le32(ani, static_cast<uint32_t>(4 + list.size()));
  ani += "ACON" + list;
  ASSERT_TRUE(CursorFromData(ani, c));
  EXPECT_EQ(c.hotSpot(), QPoint(1, 0));

  // Damaged files are refused.
  for (std::string bad : {std::string(), std::string("RIFF\xFF\xFF\xFF\x7F" "ACON", 12), cur.substr(0, 30),
                          std::string("not a cursor at all, really")})
    EXPECT_FALSE(CursorFromData(bad, c));
}

// ---------------------------------------------------------------------------
// The single-instance hand-over

TEST_F(WorkFormTest, SecondCopyHandsItsCommandLineToTheRunningOne) {
  const char pub[] =
      "Title=Single\r\nScreenWidth=320\r\nScreenHeight=200\r\nShowErrors=No\r\n"
      "SubroutineAction=:CommandLine_OnChange\xB6SetVar \"[Got]\" \"[CommandLine]\"\xB6Return\r\n"
      "MASTERPAGE\r\nNEWPAGE=One\r\n";
  const std::string path = WritePackage(dir, "single.pkg", pub, false, true);
  Start(path, true, {"first"});
  const AnsiString name = ApplicationNameOf(path);
  EXPECT_EQ(name, "single");
  ASSERT_TRUE(TInstanceChannel::Alive(name));

  // A second copy, as a separate client would be.
  std::atomic<int> handed{-1};
  std::thread second([&] { handed = TInstanceChannel::HandOver(name, "/Kpage\rsecond", 2) ? 1 : 0; });
  WaitReal([&] { return handed >= 0; }, 10000);
  second.join();
  EXPECT_EQ(handed, 1);
  Settle();
  const std::string got = Var("Got");
  EXPECT_NE(got.find("\r/Kpage\rsecond"), std::string::npos) << got;

  // Macros: a variable reference becomes the item, other lines run.
  SetVariable("[Colour]", "blue");
  std::atomic<int> done{-1};
  AnsiString item;
  std::thread client([&] {
    bool ok = TInstanceChannel::Execute(name, "[Colour]\r\nSetVar \"[FromMacro]\" \"yes\"");
    ok = ok && TInstanceChannel::Request(name, item);
    done = ok ? 1 : 0;
  });
  WaitReal([&] { return done >= 0; }, 10000);
  client.join();
  EXPECT_EQ(done, 1);
  EXPECT_EQ(item, "blue");
  Settle();
  EXPECT_EQ(Var("FromMacro"), "yes");

  // A second copy started for real: it hands over and ends at once,
  // without showing a page.
#ifdef VELLION_PATH
  const std::string trace = (dir / "second.trace").string();
  QProcess proc;
  proc.setProcessEnvironment(QProcessEnvironment::systemEnvironment());
  proc.start(VELLION_PATH, {"--headless", "--channel", "--trace", QString::fromStdString(trace),
                            QString::fromStdString(path), "third"});
  WaitReal([&] { return proc.state() == QProcess::NotRunning; }, 30000);
  EXPECT_EQ(proc.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(proc.exitCode(), 0) << proc.readAllStandardError().toStdString();
  EXPECT_EQ(vltest::ReadFileBytes(trace), "exit\t0\n");
  Settle();
  EXPECT_EQ(Globals().commandLineText, "third");
  EXPECT_NE(Var("Got").find("\rthird"), std::string::npos);
#endif
}

TEST(InstanceChannel, BadFramesAndStaleSockets) {
  const AnsiString name = "channel-test-" + std::to_string(QCoreApplication::applicationPid());
  // A socket file left by a copy that died does not keep a new one out.
  const QString path = TInstanceChannel::SocketPath(name);
  ASSERT_FALSE(path.isEmpty());
  vltest::WriteFileBytes(path.toStdString(), "");
  TInstanceChannel ch;
  ASSERT_TRUE(ch.Listen(name));
  TInstanceChannel other;
  EXPECT_FALSE(other.Listen(name));  // a live copy answers there
  // Odd names become safe file names in the private folder.
  EXPECT_TRUE(TInstanceChannel::SocketPath("../../etc/x").startsWith(QString::fromStdString(PrivateTempFolder() + "/pub-")));
  EXPECT_FALSE(TInstanceChannel::SocketPath("../../etc/x").contains("/../"));

  // An oversized or unknown frame closes the connection without an answer.
  std::atomic<int> state{0};
  std::thread t([&] {
    QLocalSocket s;
    s.connectToServer(path);
    if (!s.waitForConnected(3000)) return void(state = -1);
    s.write(QByteArray("\x7F\xFF\xFF\xFF", 4));
    s.waitForBytesWritten(3000);
    s.waitForDisconnected(3000);
    state = s.state() == QLocalSocket::UnconnectedState ? 1 : -2;
  });
  WaitReal([&] { return state != 0; }, 10000);
  t.join();
  EXPECT_EQ(state, 1);
  ch.Close();
  EXPECT_FALSE(TInstanceChannel::Alive(name));
}

}  // namespace

namespace {

TEST_F(WorkFormTest, DialogPicturesComeFromThePackage) {
  QImage img(20, 10, QImage::Format_RGB32);
  img.fill(qRgb(0, 160, 0));
  QByteArray png;
  {
    QBuffer buf(&png);
    buf.open(QIODevice::WriteOnly);
    img.save(&buf, "PNG");
  }
  PackageWriter w;
  PackageEntryInput pubEntry;
  pubEntry.name = "RUNTIME.PUB";
  pubEntry.type = kEntryPublication;
  pubEntry.data = "Title=Pictures\r\nAlertBoxImage=pics\\sign.png\r\nMASTERPAGE\r\nNEWPAGE=One\r\n";
  w.AddEntry(std::move(pubEntry));
  PackageEntryInput pic;
  pic.name = "pics\\sign.png";
  pic.type = kEntryPicture;
  pic.data = png.toStdString();
  w.AddEntry(std::move(pic));
  AnsiString error;
  ASSERT_TRUE(w.WriteFile((dir / "pictures.pkg").string(), "", error)) << error;
  Start((dir / "pictures.pkg").string());
  const QImage shown = LoadDialogPicture("pics\\sign.png");
  ASSERT_EQ(shown.size(), QSize(20, 10));
  EXPECT_EQ(QColor(shown.pixel(5, 5)), QColor(0, 160, 0));
  EXPECT_TRUE(LoadDialogPicture("pics\\missing.png").isNull());
}

}  // namespace
