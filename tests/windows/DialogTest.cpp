#include <gtest/gtest.h>

#include <QApplication>
#include <QAbstractItemView>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <functional>

#include "runtime/Clock.h"
#include "runtime/Global.h"
#include "runtime/Messages.h"
#include "runtime/Trace.h"
#include "support/TestSupport.h"
#include "windows/DialogDriver.h"
#include "windows/DialogSettings.h"
#include "windows/FileDialogs.h"
#include "windows/InputBox.h"
#include "windows/Password.h"
#include "windows/QtDialogService.h"
#include "windows/UserDialog.h"

using namespace vl;

namespace {

Clock::TimerId gWatchdog = 0;

// Runs `f` from the event loop once the dialog about to open is showing. A
// dialog that `f` fails to close is closed after a while, so a fault fails
// the test instead of hanging it.
void WhenOpen(std::function<void()> f) {
  TheClock().StartTimer(0, std::move(f));
  if (gWatchdog) TheClock().CancelTimer(gWatchdog);
  gWatchdog = TheClock().StartTimer(3000, [] {
    gWatchdog = 0;
    if (DialogDriver::IsOpen()) {
      ADD_FAILURE() << "dialog left open: " << DialogDriver::Current().title;
      DialogDriver::Escape();
    }
  });
}

template <class T>
T* OpenForm() {
  return dynamic_cast<T*>(QApplication::activeModalWidget());
}

class DialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InstallQtDialogService();
    DialogDriver::ClearPendingAnswers();
    DialogDriver::TakeFailures();
    auto& s = TheDialogSettings();
    s = DialogSettings{};
    s.okText = "OK";
    s.cancelText = "Annulla";
    s.pwordTitle = "Password";
    s.pwordMsg = "Publication|protected";
    s.pwordPrompt = "Password:";
    s.pwordError = "Wrong password";
    ASSERT_TRUE(trace::Open((dir_ / "trace.txt").string()));
  }
  void TearDown() override {
    if (gWatchdog) TheClock().CancelTimer(gWatchdog);
    gWatchdog = 0;
    trace::Close();
    SetDialogService(nullptr);
    EXPECT_FALSE(DialogDriver::IsOpen());
  }
  std::vector<std::string> TraceLines() {
    trace::Close();
    std::vector<std::string> lines;
    std::string all = vltest::ReadFileBytes(dir_ / "trace.txt"), line;
    for (char c : all) {
      if (c == '\n') {
        lines.push_back(line);
        line.clear();
      } else {
        line.push_back(c);
      }
    }
    return lines;
  }
  vltest::TempDir dir_;
};

TEST_F(DialogTest, MessageDialogNumbersItsButtonsAndTracesTheAnswer) {
  bool checked = false;
  WhenOpen([&] {
    ASSERT_TRUE(DialogDriver::IsOpen());
    DialogInfo info = DialogDriver::Current();
    EXPECT_EQ(info.kind, "message");
    EXPECT_EQ(info.title, "Title");
    EXPECT_EQ(info.text, "one|two");
    EXPECT_EQ(info.buttons, (std::vector<AnsiString>{"&Yes", "No", "Maybe"}));
    auto* form = OpenForm<TQueryForm>();
    ASSERT_TRUE(form);
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Title"));
    EXPECT_EQ(form->Prompt()->text(), QStringLiteral("one\ntwo"));
    EXPECT_TRUE(form->AskIcon());
    const auto& b = form->Buttons();
    ASSERT_EQ(b.size(), 3u);
    EXPECT_LT(b[0]->x(), b[1]->x());
    EXPECT_LT(b[1]->x(), b[2]->x());
    EXPECT_EQ(b[0]->y(), b[2]->y());
    EXPECT_GE(b[0]->height(), 25);
    // The prompt is right of the picture, the buttons under both.
    EXPECT_GE(form->Prompt()->x(), form->ImagePanel()->geometry().right() + 8);
    EXPECT_GT(b[0]->y(), form->Prompt()->geometry().bottom());
    EXPECT_GE(form->Prompt()->height(), 2 * QFontMetrics(form->font()).height());
    AnsiString why;
    EXPECT_FALSE(DialogDriver::Press("Never", &why));
    EXPECT_NE(why.find("Never"), AnsiString::npos);
    EXPECT_TRUE(DialogDriver::IsOpen());
    EXPECT_TRUE(DialogDriver::Press("MAYBE"));
    checked = true;
  });
  EXPECT_EQ(QueryDialog("Title", "one|two", "&Yes|No|Maybe", ""), 3);
  EXPECT_TRUE(checked);
  auto lines = TraceLines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], "dialog\tmessage\tTitle\tone|two\t&Yes|No|Maybe\tMaybe");
}

TEST_F(DialogTest, WaysOfClosingTheMessageDialog) {
  struct Case {
    const char* name;
    const char* buttons;
    std::function<void()> act;
    int result;
    const char* answer;
  } cases[] = {
      {"accelerator ignored", "&Yes|&No", [] { DialogDriver::Press("yes"); }, 1, "&Yes"},
      {"doubled ampersand", "Fish && Chips|No", [] { DialogDriver::Press("fish & chips"); }, 1, "Fish && Chips"},
      {"Esc", "Yes|No", [] { DialogDriver::Escape(); }, 0, ""},
      {"close box", "Yes|No", [] { DialogDriver::CloseBox(); }, 0, ""},
      {"Enter takes the first", "Yes|No", [] {
         QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
         auto* f = OpenForm<TQueryForm>();
         ASSERT_TRUE(f && f->focusWidget());
         QApplication::sendEvent(f->focusWidget(), &enter);
       }, 1, "Yes"},
      {"trailing bar adds an empty caption", "Yes|", [] {
         AnsiString why;
         EXPECT_TRUE(DialogDriver::Press("", &why)) << why;
       }, 2, ""},
  };
  for (auto& c : cases) {
    WhenOpen(c.act);
    EXPECT_EQ(QueryDialog("T", "m", c.buttons, ""), c.result) << c.name;
  }
  auto lines = TraceLines();
  ASSERT_EQ(lines.size(), std::size(cases));
  for (size_t i = 0; i < lines.size(); ++i) {
    std::string tail = std::string("\t") + cases[i].answer;
    EXPECT_EQ(lines[i].substr(lines[i].size() - tail.size()), tail) << cases[i].name;
  }
}

TEST_F(DialogTest, ButtonListsIconsAndPictures) {
  EXPECT_EQ(SplitButtonCaptions(""), std::vector<AnsiString>{});
  EXPECT_EQ(SplitButtonCaptions("A|"), (std::vector<AnsiString>{"A", ""}));
  EXPECT_EQ(SplitButtonCaptions("\"A|B\""), (std::vector<AnsiString>{"\"A", "B\""}));  // quotes mean nothing
  std::string many;
  for (int i = 1; i <= 60; ++i) many += std::to_string(i) + "|";
  auto fifty = SplitButtonCaptions(many);
  ASSERT_EQ(fifty.size(), 50u);
  EXPECT_EQ(fifty.back(), "50");

  // One button: the alert icon. None: only Esc closes it.
  WhenOpen([] {
    auto* f = OpenForm<TQueryForm>();
    ASSERT_TRUE(f);
    EXPECT_FALSE(f->AskIcon());
    EXPECT_TRUE(f->ShowsStandardIcon());
    DialogDriver::Press("OK");
  });
  EXPECT_EQ(QueryDialog("T", "m", "OK", ""), 1);
  WhenOpen([] {
    auto* f = OpenForm<TQueryForm>();
    ASSERT_TRUE(f);
    EXPECT_EQ(f->ButtonCount(), 0);
    EXPECT_FALSE(f->AskIcon());
    EXPECT_FALSE(DialogDriver::Press(""));
    DialogDriver::Escape();
  });
  EXPECT_EQ(QueryDialog("T", "notice", "", ""), 0);

  // The publication's picture sizes the picture area; an unreadable one
  // falls back to the icon without a word.
  QImage pic(60, 20, QImage::Format_ARGB32);
  pic.fill(Qt::red);
  const auto png = dir_ / "pic.png";
  ASSERT_TRUE(pic.save(QString::fromStdString(png.string())));
  WhenOpen([] {
    auto* f = OpenForm<TQueryForm>();
    ASSERT_TRUE(f);
    EXPECT_FALSE(f->ShowsStandardIcon());
    EXPECT_EQ(f->ImagePanel()->size(), QSize(60, 20));
    DialogDriver::Escape();
  });
  QueryDialog("T", "m", "OK", png.string());
  vltest::WriteFileBytes(dir_ / "bad.png", "\x89PNG broken");
  WhenOpen([] {
    auto* f = OpenForm<TQueryForm>();
    ASSERT_TRUE(f);
    EXPECT_TRUE(f->ShowsStandardIcon());
    EXPECT_EQ(f->ImagePanel()->size(), QSize(32, 32));
    DialogDriver::Escape();
  });
  QueryDialog("T", "m", "OK", (dir_ / "bad.png").string());
}

TEST_F(DialogTest, AMessageWiderThanTheScreenWraps) {
  std::string words;
  for (int i = 0; i < 120; ++i) words += "wordy ";
  WhenOpen([] {
    auto* f = OpenForm<TQueryForm>();
    ASSERT_TRUE(f);
    const int screenW = QGuiApplication::primaryScreen()->geometry().width();
    EXPECT_LE(f->width(), screenW);
    EXPECT_TRUE(f->Prompt()->wordWrap());
    EXPECT_GE(f->Prompt()->height(), 3 * QFontMetrics(f->font()).height());
    EXPECT_GT(f->Buttons()[0]->y(), f->Prompt()->geometry().bottom());
    DialogDriver::Press("OK");
  });
  EXPECT_EQ(QueryDialog("T", words, "OK", ""), 1);
}

TEST_F(DialogTest, InputDialogTypesAndCancels) {
  WhenOpen([] {
    auto* f = OpenForm<TInputBoxForm>();
    ASSERT_TRUE(f);
    EXPECT_EQ(f->EditBox()->text(), QStringLiteral("old"));
    EXPECT_GE(f->width(), 293);
    EXPECT_EQ(f->OKBtn()->y(), f->CancelBtn()->y());
    EXPECT_LT(f->OKBtn()->x(), f->CancelBtn()->x());
    EXPECT_EQ(DialogDriver::Current().kind, "input");
    EXPECT_TRUE(DialogDriver::Type("new text"));
    EXPECT_TRUE(DialogDriver::Press("ok"));
  });
  EXPECT_EQ(InputDialog("Ask", "Your|name", "old", "Annulla", "OK"), "new text");

  WhenOpen([] {
    DialogDriver::Type("ignored");
    DialogDriver::Press("annulla");
  });
  EXPECT_EQ(InputDialog("Ask", "p", "old", "Annulla", "OK"), "");
  WhenOpen([] { DialogDriver::Escape(); });
  EXPECT_EQ(InputDialog("Ask", "p", "old", "Annulla", "OK"), "");
  WhenOpen([] {
    // Enter is OK.
    auto* f = OpenForm<TInputBoxForm>();
    ASSERT_TRUE(f);
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(f->EditBox(), &enter);
  });
  EXPECT_EQ(InputDialog("Ask", "p", "kept", "Annulla", "OK"), "kept");
  // Without language texts the captions are empty; OK and Cancel still name them.
  WhenOpen([] {
    DialogDriver::Type("x");
    EXPECT_TRUE(DialogDriver::Press("OK"));
  });
  EXPECT_EQ(InputDialog("Ask", "p", "", "", ""), "x");

  auto lines = TraceLines();
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0], "dialog\tinput\tAsk\tYour|name\tOK|Annulla\tOK");
  EXPECT_EQ(lines[1], "dialog\tinput\tAsk\tp\tOK|Annulla\tAnnulla");
  EXPECT_EQ(lines[2], "dialog\tinput\tAsk\tp\tOK|Annulla\t");
}

TEST_F(DialogTest, PasswordFormAcceptsTheRightEntryInAnyCase) {
  WhenOpen([] {
    auto* f = OpenForm<TPasswordEntryForm>();
    ASSERT_TRUE(f);
    EXPECT_FALSE(f->OkBtn()->isEnabled());
    EXPECT_EQ(f->Password()->echoMode(), QLineEdit::Password);
    EXPECT_EQ(f->Msg()->text(), QStringLiteral("Publication\nprotected"));
    EXPECT_EQ(f->focusWidget(), f->Password());
    AnsiString why;
    EXPECT_FALSE(DialogDriver::Press("OK", &why));
    EXPECT_NE(why.find("disabled"), AnsiString::npos);
    DialogDriver::Type("sECRET");
    EXPECT_TRUE(f->OkBtn()->isEnabled());
    DialogDriver::Press("OK");
  });
  EXPECT_EQ(PasswordDialog("Secret"), PasswordResult::Accepted);

  DialogDriver::QueueAnswer("OK", "wrong");
  DialogDriver::QueueAnswer("OK");  // the rejection message
  EXPECT_EQ(PasswordDialog("Secret"), PasswordResult::Rejected);
  DialogDriver::QueueAnswer("Annulla");
  EXPECT_EQ(PasswordDialog("Secret"), PasswordResult::Cancelled);
  EXPECT_TRUE(DialogDriver::TakeFailures().empty());

  auto lines = TraceLines();
  ASSERT_EQ(lines.size(), 4u);
  // The typed password never reaches the trace.
  EXPECT_EQ(lines[0], "dialog\tpassword\tPassword\tPublication|protected\tOK|Annulla\tOK");
  EXPECT_EQ(lines[2], "dialog\talert\tPassword\tWrong password\tOK\tOK");
  EXPECT_EQ(lines[3], "dialog\tpassword\tPassword\tPublication|protected\tOK|Annulla\tAnnulla");
}

TEST_F(DialogTest, QueuedAnswersRunOnTheVirtualClockToo) {
  InstallClock(MakeVirtualClock(0));
  DialogDriver::QueueAnswer("No");
  DialogDriver::QueueEscape();
  DialogDriver::QueueAnswer("Nope");
  EXPECT_EQ(DialogDriver::PendingAnswers(), 3u);
  EXPECT_EQ(QueryDialog("T", "m", "Yes|No", ""), 2);
  EXPECT_EQ(QueryDialog("T", "m", "Yes|No", ""), 0);
  // An answer that fits no button closes the dialog with Esc and is reported.
  EXPECT_EQ(QueryDialog("T", "m", "Yes|No", ""), 0);
  auto failures = DialogDriver::TakeFailures();
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_NE(failures[0].find("Nope"), AnsiString::npos);
  EXPECT_EQ(DialogDriver::PendingAnswers(), 0u);
  InstallClock(MakeRealClock());
}

TEST_F(DialogTest, ErrorDisplayAndStartupErrors) {
  TheDialogSettings().appTitle = "My Book";
  DialogErrorDisplay display;
  SetErrorDisplay(&display);
  DialogDriver::QueueAnswer("OK");
  ShowErrorMessage("bad|thing");
  SetErrorDisplay(nullptr);
  DialogDriver::QueueAnswer("ok");
  ShowStartupError("Vellion 5 Player", "no package");
  auto lines = TraceLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "dialog\terror\tMy Book\tbad|thing\tOK\tOK");
  EXPECT_EQ(lines[1], "dialog\terror\tVellion 5 Player\tno package\t" + Msg(202) + "\t" + Msg(202));
}

TEST_F(DialogTest, DriverWithoutADialog) {
  AnsiString why;
  EXPECT_FALSE(DialogDriver::IsOpen());
  EXPECT_FALSE(DialogDriver::Press("OK", &why));
  EXPECT_EQ(why, "no dialog is open");
  EXPECT_FALSE(DialogDriver::Type("x"));
  EXPECT_FALSE(DialogDriver::Escape());
  bool timedOut = false;
  DialogDriver::WhenDialogOpen(20, [] { ADD_FAILURE() << "no dialog was opened"; }, [&] { timedOut = true; });
  TheClock().Sleep(100);
  EXPECT_TRUE(timedOut);
  // A step that comes before its dialog acts once it opens.
  DialogDriver::WhenDialogOpen(2000, [] { DialogDriver::Press("Later"); });
  int result = -1;
  TheClock().StartTimer(30, [&] { result = QueryDialog("T", "m", "Now|Later", ""); });
  TheClock().RunUntil([&] { return result >= 0; }, TheClock().NowMs() + 3000);
  EXPECT_EQ(result, 2);
  EXPECT_EQ(DialogDriver::StripAccelerators("&Save && Exit&"), "Save & Exit");
}

TEST(FileFilters, WindowsFiltersBecomeQtNameFilters) {
  struct Case {
    const char* windows;
    QStringList qt;
  } cases[] = {
      {"Text|*.txt;*.log|All|*.*", {"Text (*.txt *.log)", "All (*)"}},
      {"Pictures (JPEG)|*.jpg; *.jpeg", {"Pictures (JPEG) (*.jpg *.jpeg)"}},
      {"|*.dat", {"*.dat (*.dat)"}},
      {"Broken|", {}},
      {"Only a description", {}},
      {"", {}},
      {"Any|*.*;*", {"Any (*)"}},
  };
  for (const auto& c : cases) EXPECT_EQ(TranslateFilter(c.windows), c.qt) << c.windows;
  EXPECT_EQ(DefaultSuffixOf(QStringLiteral("Text (*.txt *.log)")), QStringLiteral("txt"));
  EXPECT_EQ(DefaultSuffixOf(QStringLiteral("All (*)")), QString());
  EXPECT_EQ(DefaultSuffixOf(QStringLiteral("Pictures (JPEG) (*.jpg)")), QStringLiteral("jpg"));
}

TEST_F(DialogTest, FilterPatternsMatchWithoutRegardToCase) {
  vltest::WriteFileBytes(dir_ / "UPPER.TXT", "a");
  vltest::WriteFileBytes(dir_ / "other.dat", "b");
  vltest::WriteFileBytes(dir_ / "NODOT", "c");
  auto shown = [&](const char* filter) {
    QStringList names;
    WhenOpen([&] {
      auto* fd = dynamic_cast<QFileDialog*>(QApplication::activeModalWidget());
      ASSERT_TRUE(fd);
      auto* model = fd->findChild<QFileSystemModel*>();
      ASSERT_TRUE(model);
      const QModelIndex root = model->index(QString::fromStdString(dir_.path().string()));
      // The model reads the folder in the background.
      TheClock().RunUntil([&] { return model->rowCount(root) > 0 && !model->canFetchMore(root); },
                          TheClock().NowMs() + 2000);
      TheClock().Sleep(50);
      auto* proxyView = fd->findChild<QAbstractItemView*>(QStringLiteral("listView"));
      ASSERT_TRUE(proxyView);
      QAbstractItemModel* m = proxyView->model();
      const QModelIndex r = proxyView->rootIndex();
      for (int i = 0; i < m->rowCount(r); ++i) names << m->index(i, 0, r).data().toString();
      DialogDriver::Press("Cancel");
    });
    FileRequest req;
    req.kind = "fileopen";
    req.filter = filter;
    req.initialDir = dir_.path().string();
    AnsiString path;
    vl::Dialogs().ChooseFile(req, path);
    names.sort(Qt::CaseInsensitive);
    return names;
  };
  EXPECT_EQ(shown("Text|*.txt"), (QStringList{"trace.txt", "UPPER.TXT"}));
  EXPECT_EQ(shown("All|*.*"), (QStringList{"NODOT", "other.dat", "trace.txt", "UPPER.TXT"}));
}

TEST_F(DialogTest, FileDialogsChooseThroughTheDriver) {
  vltest::WriteFileBytes(dir_ / "a.txt", "a");
  vltest::WriteFileBytes(dir_ / "NOEXT", "b");
  const std::string folder = dir_.path().string();

  FileRequest open;
  open.kind = "fileopen";
  open.title = "Open";
  open.filter = "Text|*.txt|All|*.*";
  open.initialDir = folder;
  open.multiple = true;
  WhenOpen([] {
    EXPECT_EQ(DialogDriver::Current().kind, "fileopen");
    DialogDriver::Type("a.txt;NOEXT");
    EXPECT_TRUE(DialogDriver::Press("Open"));
  });
  AnsiString path;
  ASSERT_TRUE(Dialogs().ChooseFile(open, path));
  EXPECT_EQ(path, folder + "/a.txt;" + folder + "/NOEXT");

  WhenOpen([] { DialogDriver::Press("cancel"); });
  EXPECT_FALSE(Dialogs().ChooseFile(open, path));
  EXPECT_EQ(path, "");

  FileRequest save;
  save.kind = "filesave";
  save.title = "Save";
  save.filter = "Text|*.txt";
  save.initialDir = folder;
  save.initialName = "out.txt";
  save.defaultExt = ".";
  WhenOpen([] {
    AnsiString why;
    EXPECT_FALSE(DialogDriver::Press("Print", &why));
    DialogDriver::Type("new.txt");
    DialogDriver::Press("OK");
  });
  ASSERT_TRUE(Dialogs().ChooseFile(save, path));
  EXPECT_EQ(path, folder + "/new.txt");

  FileRequest dir;
  dir.kind = "folder";
  dir.title = "Pick a folder";
  dir.initialDir = folder;
  WhenOpen([] { DialogDriver::Press("OK"); });
  ASSERT_TRUE(Dialogs().ChooseFile(dir, path));
  EXPECT_EQ(path, folder);

  auto lines = TraceLines();
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], "dialog\tfileopen\tOpen\tText|*.txt|All|*.*\t\t" + folder + "/a.txt;" + folder + "/NOEXT");
  EXPECT_EQ(lines[1], "dialog\tfileopen\tOpen\tText|*.txt|All|*.*\t\t");
}

}  // namespace
