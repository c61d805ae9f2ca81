// Floating windows and popups without a main window: text windows sized to
// their text and following their variables, the desktop limits, and the
// popups' placement and keys, driven through the one clock as a user would.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>

#include "actions/Vars.h"
#include "objects/ObjArticle.h"
#include "runtime/Clock.h"
#include "runtime/Host.h"
#include "runtime/Lifecycle.h"
#include "support/TestSupport.h"
#include "windows/FloatWindows.h"
#include "windows/Popups.h"

using namespace vl;

namespace {

// Variable changes reach the participants as the main window passes them on.
struct LifecycleWatcher : VariableWatcher {
  void VarChanged(const AnsiString& name, const AnsiString& value) override { Lifecycle().VarChanged(name, value); }
};

std::string WriteFile(const vltest::TempDir& dir, const char* name, const std::string& text) {
  const std::string path = (dir / name).string();
  QFile f(QString::fromStdString(path));
  EXPECT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(text.data(), static_cast<qint64>(text.size()));
  return path;
}

QRect Desktop() { return QGuiApplication::primaryScreen()->virtualGeometry(); }

TEST(FloatWindows, TextWindowSizesToItsTextAndShowsVariables) {
  vltest::TempDir dir;
  LifecycleWatcher watcher;
  SetVariableWatcher(&watcher);
  SetVariable("Clue", "red");
  const std::string path = WriteFile(dir, "clue.rtf", "{\\rtf1\\ansi Hello [Clue]\\par Second line\\par}");
  TFloatRequest req;
  req.kind = fkText;
  req.title = "Clues";
  req.name = path;
  TFloatingWindowForm* w = OpenFloatingWindow(req);
  ASSERT_NE(w, nullptr);
  auto* article = dynamic_cast<TVellionArticle*>(w->content);
  ASSERT_NE(article, nullptr);
  EXPECT_TRUE(article->View()->PlainText().contains("Hello red"));
  // Width and height 0: the window takes the text's size (and the scroll
  // bar's width), not a fixed one.
  const QSizeF text = article->View()->ContentSize();
  EXPECT_GE(w->width(), static_cast<int>(text.width()));
  EXPECT_GE(w->height(), static_cast<int>(text.height()) - 1);
  EXPECT_LT(w->height(), 200);

  SetVariable("Clue", "blue");
  EXPECT_TRUE(article->View()->PlainText().contains("Hello blue"));

  // The same file again only brings the window forward.
  req.title = "Other";
  EXPECT_EQ(OpenFloatingWindow(req), w);
  EXPECT_EQ(FloatingWindows().size(), 1u);
  CloseFloatingWindowsNow(TCloseWhich::All);
  EXPECT_TRUE(FloatingWindows().empty());
  SetVariableWatcher(nullptr);
}

TEST(FloatWindows, MissingFilesOpenNothingAndSayWhy) {
  for (TFloatKind kind : {fkText, fkImage}) {
    SetLastError("");
    TFloatRequest req;
    req.kind = kind;
    req.title = "Lost";
    req.name = "/nonexistent/lost.file";
    EXPECT_EQ(OpenFloatingWindow(req), nullptr);
    EXPECT_EQ(GetVariableValue("LastError", 0), "\"/nonexistent/lost.file\"||File non trovato!");
    EXPECT_TRUE(FloatingWindows().empty());
  }
}

TEST(FloatWindows, AWindowWiderThanTheDesktopShrinksToIt) {
  vltest::TempDir dir;
  TFloatRequest req;
  req.kind = fkText;
  req.title = "Wide";
  req.name = WriteFile(dir, "wide.txt", "wide");
  req.width = Desktop().width() + 500;
  req.height = 100;
  req.x = 50;
  req.y = 50;
  TFloatingWindowForm* w = OpenFloatingWindow(req);
  ASSERT_NE(w, nullptr);
  EXPECT_LE(w->width(), Desktop().width());
  EXPECT_GE(w->x(), Desktop().left());
  CloseFloatingWindowsNow(TCloseWhich::All);
}

// Sends keys to the application, one every 10 ms from `startMs`, as the
// user's keyboard would (the popup takes them from whichever widget has
// them).
void TypeKeys(QWidget& target, std::vector<std::pair<int, QString>> keys, int64_t startMs = 20) {
  int64_t at = startMs;
  for (const auto& [key, text] : keys) {
    QPointer<QWidget> t(&target);
    TheClock().StartTimer(at, [t, key = key, text = text] {
      if (!t) return;
      QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
      QCoreApplication::sendEvent(t, &press);
    });
    at += 10;
  }
}

TEST(Popups, MenuKeys) {
  struct Case {
    const char* items;
    std::vector<std::pair<int, QString>> keys;
    int chosen;
  } cases[] = {
      // Down skips the separator.
      {"a|-|b", {{Qt::Key_Down, ""}, {Qt::Key_Down, ""}, {Qt::Key_Return, "\r"}}, 3},
      // At the end of the list the search turns back.
      {"a|-|b", {{Qt::Key_End, ""}, {Qt::Key_Down, ""}, {Qt::Key_Return, "\r"}}, 3},
      {"a|b|c", {{Qt::Key_Up, ""}, {Qt::Key_Home, ""}, {Qt::Key_Return, "\r"}}, 1},
      // Only separators: nothing to highlight, Enter dismisses.
      {"-|-", {{Qt::Key_Down, ""}, {Qt::Key_Return, "\r"}}, 0},
      // The letter after "&"; "&&" is no accelerator, and a letter of none
      // only beeps.
      {"&Red|&Blue", {{Qt::Key_B, "b"}}, 2},
      {"x && y|&Red", {{Qt::Key_Y, "y"}, {Qt::Key_Escape, "\x1b"}}, 0},
      {"a|b", {{Qt::Key_Escape, "\x1b"}}, 0},
  };
  QWidget page;
  for (const auto& c : cases) {
    TypeKeys(page, c.keys);
    int count = 0;
    EXPECT_EQ(ShowPopupMenu(c.items, 0, 0, false, false, 0, 0, count), c.chosen) << c.items;
    EXPECT_EQ(OpenPopup(), nullptr);
  }
}

TEST(Popups, AMenuOfTenThousandItemsIsCutToItsRowsAndScrolls) {
  AnsiString items = "x";
  for (int i = 2; i <= 10000; ++i) items += "|x";
  QWidget page;
  TheClock().StartTimer(20, [] {
    TPopUpPalette* p = OpenPopup();
    ASSERT_NE(p, nullptr);
    EXPECT_LT(p->height(), 200);
  });
  TypeKeys(page, {{Qt::Key_End, ""}, {Qt::Key_Return, "\r"}}, 30);
  int count = 0;
  EXPECT_EQ(ShowPopupMenu(items, 0, 0, false, false, 0, 8, count), 10000);
  EXPECT_EQ(count, 10000);
}

// Where a popup showed: read from the clock while it waits, then dismissed.
QRect PopupPlace(const std::function<void()>& show) {
  QRect at;
  TheClock().StartTimer(10, [&at] {
    if (TPopUpPalette* p = OpenPopup()) {
      at = p->geometry();
      p->SetResult(TPopUpPalette::Dismissed);
    }
  });
  show();
  return at;
}

TEST(Popups, TheBalloonPointsAtItsPointAndFlipsNearTheTop) {
  const QRect scr = QGuiApplication::primaryScreen()->geometry();
  const QRect below = PopupPlace([&] { ShowBalloon("Hello", 200, 300, false, false, 0); });
  EXPECT_EQ(below.bottom() + 1, 300);  // the stem's tip at the point, under the text
  EXPECT_NEAR(below.center().x(), 200, 2);
  const QRect flipped = PopupPlace([&] { ShowBalloon("Hello", 200, scr.top() + 3, false, false, 0); });
  EXPECT_EQ(flipped.top(), scr.top() + 3);  // the stem on top, the text below it
}

TEST(Popups, ABalloonTimesOutAndANoteWiderThanTheScreenWraps) {
  const int64_t t0 = TheClock().NowMs();
  ShowBalloon("Tick", 100, 100, false, false, 300);
  EXPECT_GE(TheClock().NowMs() - t0, 300);

  const QRect scr = QGuiApplication::primaryScreen()->geometry();
  AnsiString wide;
  for (int i = 0; i < 400; ++i) wide += "word ";
  const QRect note = PopupPlace([&] { ShowStickyNote(wide, 0, 0, 0); });
  EXPECT_EQ(note.width(), scr.width() - 10);
  EXPECT_GT(note.height(), 40);  // several lines
}

TEST(Popups, ASecondPopupOfAKind) {
  // A second balloon while one is up is ignored; the first stays.
  AnsiString up;
  TheClock().StartTimer(10, [&up] {
    ShowBalloon("Second", 100, 100, false, false, 0);
    if (TPopUpPalette* p = OpenPopup()) {
      up = p->Title();
      p->SetResult(TPopUpPalette::Dismissed);
    }
  });
  ShowBalloon("First", 100, 100, false, false, 0);
  EXPECT_EQ(up, "First");

  // A second menu closes the first, and both answer 0.
  int second = -1, count = 0;
  TheClock().StartTimer(10, [&second] {
    int n = 0;
    second = ShowPopupMenu("c|d|e", 0, 0, false, false, 0, 0, n);
    EXPECT_EQ(n, 3);
  });
  EXPECT_EQ(ShowPopupMenu("a|b", 0, 0, false, false, 0, 0, count), 0);
  EXPECT_EQ(second, 0);
  EXPECT_EQ(OpenPopup(), nullptr);
}

}  // namespace
