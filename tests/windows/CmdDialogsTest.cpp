// The dialog commands, run as actions: with the answering service of runs
// without a window, and with the real dialogs answered through the driver.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>

#include "actions/CommandTable.h"
#include "actions/Interpreter.h"
#include "actions/Vars.h"
#include "runtime/Clock.h"
#include "runtime/Global.h"
#include "runtime/Lifecycle.h"
#include "support/ActionRunner.h"
#include "support/TestSupport.h"
#include "windows/DialogCommands.h"
#include "windows/DialogDriver.h"
#include "windows/DialogSettings.h"
#include "windows/QtDialogService.h"

using namespace vl;

namespace {

TEST(CmdDialogs, WithoutAWindowTheDialogsAnswerThemselves) {
  auto r = vltest::RunActionText(
      "SetVar \"[y]\" \"5\"\n"
      "SetVar \"[v]\" \"!x[y]\"\n"
      "MessageBox \"T\" \"a|b\" \"One|Two\" \"[m]\"\n"
      "InputBox \"T\" \"p\" \"[v]\"\n"
      "FileOpenBox \"T\" \"All|*.*\" \"\" \"[f]\" \"\"\n"
      "AlertBox \"Hello\" \"world\"");
  EXPECT_EQ(r.Var("m"), "1");
  EXPECT_EQ(r.Var("v"), "x5");  // the value shown is the variable's, expanded
  EXPECT_FALSE(r.Has("f"));
  auto d = r.TraceOf("dialog");
  ASSERT_EQ(d.size(), 4u);
  EXPECT_EQ(d[0], "dialog\tmessage\tT\ta|b\tOne|Two\tOne");
  EXPECT_EQ(d[3].substr(0, 19), "dialog\talert\tHello\t");
}

TEST(CmdDialogs, SaveTargets) {
  vltest::TempDir dir;
  const std::string d = dir.path().string();
  struct Case {
    std::string target, folder, name;
  } cases[] = {
      {d, d, ""},
      {d + "/", d + "/", ""},
      {d + "/out.txt", d + "/", "out.txt"},
      {"C:\\Docs\\out.txt", "C:\\Docs\\", "out.txt"},
      {"out.txt", "", "out.txt"},
      {"", "", ""},
  };
  for (const auto& c : cases) {
    AnsiString folder, name;
    SplitSaveTarget(c.target, folder, name);
    EXPECT_EQ(folder, c.folder) << c.target;
    EXPECT_EQ(name, c.name) << c.target;
  }
}

class CmdDialogsReal : public ::testing::Test {
 protected:
  void SetUp() override {
    InstallQtDialogService();
    CommandTable().BuildBuiltinTable();
    ClearAllVariables();
    VarsEnv().showErrors = false;
    TheDialogSettings() = DialogSettings{};
    TheDialogSettings().okText = "OK";
    TheDialogSettings().cancelText = "Cancel";
    DialogDriver::ClearPendingAnswers();
  }
  void TearDown() override {
    EXPECT_TRUE(DialogDriver::TakeFailures().empty());
    EXPECT_EQ(DialogDriver::PendingAnswers(), 0u);
    DialogDriver::ClearPendingAnswers();
    ClearAllVariables();
    SetDialogService(nullptr);
  }
  static void Run(std::string_view text) { RunAction(text, 0, kEventStartup, kOriginPublication, ""); }
  static AnsiString Var(std::string_view name) { return GetVariableValue(name, 0); }
  vltest::TempDir dir_;
};

// Every participant hears that a dialog blocks the publication and that it
// ended, however the dialog was closed, and before the action goes on.
TEST_F(CmdDialogsReal, ADialogIsAModalStateForTheLifecycleParticipants) {
  std::vector<std::string> heard;
  LifecycleParticipant p;
  p.name = "test.modal";
  p.order = 100000;
  p.modalState = [&heard](bool ended) {
    heard.push_back(ended ? "end" : (DialogDriver::IsOpen() ? "begin-open" : "begin"));
  };
  Lifecycle().Register(p);
  DialogDriver::QueueAnswer("Two");
  DialogDriver::QueueEscape();
  Run("MessageBox \"T\" \"a\" \"One|Two\" \"[r]\"\nSetVar \"[heard]\" \"x\"\n"
      "MessageBox \"T\" \"b\" \"One|Two\" \"[r]\"");
  Lifecycle().Unregister("test.modal");
  // The driver knows the dialog when the participants hear it begin.
  EXPECT_EQ(heard, (std::vector<std::string>{"begin-open", "end", "begin-open", "end"}));
  EXPECT_EQ(Var("heard"), "x");
}

TEST_F(CmdDialogsReal, MessageAndInputBoxesWriteTheirVariables) {
  DialogDriver::QueueAnswer("Three");
  DialogDriver::QueueEscape();
  Run("MessageBox \"T\" \"a|b\" \"One|Two|Three\" \"[r]\"");
  EXPECT_EQ(Var("r"), "3");
  Run("MessageBox \"T\" \"a|b\" \"One|Two|Three\" \"[r]\"");
  EXPECT_EQ(Var("r"), "0");

  DialogDriver::QueueAnswer("OK", "new");
  Run("SetVar \"[name]\" \"old\"\nInputBox \"T\" \"Name?\" \"[name]\"");
  EXPECT_EQ(Var("name"), "new");
  // Cancel empties the variable rather than leaving it unchanged.
  DialogDriver::QueueAnswer("Cancel", "ignored");
  Run("InputBox \"T\" \"Name?\" \"[name]\"");
  EXPECT_EQ(Var("name"), "");
  DialogDriver::QueueAnswer("OK");
  Run("AlertBox \"T\" \"done\"");
}

TEST_F(CmdDialogsReal, FileCommands) {
  const std::string d = dir_.path().string();
  vltest::WriteFileBytes(dir_ / "a.txt", "a");
  vltest::WriteFileBytes(dir_ / "b.txt", "b");
  SetVariable("[dir]", d);

  DialogDriver::QueueAnswer("OK", "a.txt;b.txt");
  Run("FileOpenBox \"Open\" \"Text|*.txt\" \"[dir]\" \"[f]\" \"Multiple\"");
  EXPECT_EQ(Var("f"), d + "/a.txt;" + d + "/b.txt");
  DialogDriver::QueueAnswer("Cancel");
  Run("FileOpenBox \"Open\" \"Text|*.txt\" \"[dir]\" \"[f]\" \"\"");
  EXPECT_EQ(Var("f"), "");

  // A full path opens in its folder proposing its name; trailing dots go.
  bool seen = false;
  TheClock().StartTimer(0, [&] {
    auto* fd = dynamic_cast<QFileDialog*>(QApplication::activeModalWidget());
    ASSERT_TRUE(fd);
    EXPECT_EQ(fd->directory().absolutePath().toStdString(), d);
    auto* edit = fd->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    ASSERT_TRUE(edit);
    EXPECT_EQ(edit->text(), QStringLiteral("b.txt"));
    DialogDriver::Type("name..");
    DialogDriver::Press("Save");
    seen = true;
  });
  Run("FileSaveBox \"Save\" \"Text|*.txt\" \"[dir]/b.txt\" \"[s]\"");
  EXPECT_TRUE(seen);
  EXPECT_EQ(Var("s"), d + "/name");

  // FolderBox starts at the variable's folder, a trailing delimiter dropped.
  seen = false;
  SetVariable("[pick]", d + "/");
  TheClock().StartTimer(0, [&] {
    auto* fd = dynamic_cast<QFileDialog*>(QApplication::activeModalWidget());
    ASSERT_TRUE(fd);
    EXPECT_EQ(fd->directory().absolutePath().toStdString(), d);
    DialogDriver::Press("OK");
    seen = true;
  });
  Run("FolderBox \"Choose\" \"[pick]\"");
  EXPECT_TRUE(seen);
  EXPECT_EQ(Var("pick"), d);
}

}  // namespace
