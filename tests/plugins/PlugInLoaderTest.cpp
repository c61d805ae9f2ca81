// The plug-in loader in this process: real libraries built from
// tests/plugins/fixtures, loaded, called and unloaded.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "actions/CommandTable.h"
#include "actions/DateTime.h"
#include "actions/Interpreter.h"
#include "actions/Vars.h"
#include "plugins/PlugInEffects.h"
#include "plugins/PlugIns.h"
#include "runtime/Messages.h"
#include "support/TestSupport.h"

namespace vl {
namespace {

std::string Fixture(const char* name) { return std::string(VL_PLUGIN_DIR) + "/" + name + ".so"; }

class PlugInLoader : public ::testing::Test {
 protected:
  void SetUp() override {
    CommandTable().BuildBuiltinTable();
    ClearAllVariables();
    log_ = (dir_ / "log.txt").string();
    ::setenv("VLTEST_PLUGIN_LOG", log_.c_str(), 1);
  }
  void TearDown() override {
    CommandTable().BuildBuiltinTable();
    ::unsetenv("VLTEST_PLUGIN_LOG");
  }
  std::string Log() const { return vltest::ReadFileBytes(log_); }
  static std::string Var(const char* name) { return GetVariableValue(name, NowDateTime()); }
  static void Run(const std::string& text) { RunAction(text, 0, 1, kOriginPublication, ""); }

  vltest::TempDir dir_;
  std::string log_;
};

TEST_F(PlugInLoader, ResultCodes) {
  vltest::WriteFileBytes(dir_ / "notlib.so", "this is not a library");
  std::filesystem::create_directories(dir_ / "folder.so");
  ASSERT_EQ(ThePlugIns().Load(Fixture("tp_full")), kPlugInLoaded);
  struct Case {
    std::string path;
    int result;
  } cases[] = {
      {Fixture("tp_full"), kPlugInAlreadyLoaded},
      {Fixture("tp_samename"), kPlugInNameTaken},
      {Fixture("tp_noinit"), kPlugInInvalid},
      {Fixture("tp_nullname"), kPlugInInvalid},  // no name: refused, not registered nameless
      {(dir_ / "missing.so").string(), kPlugInNoFile},
      {(dir_ / "folder.so").string(), kPlugInNoFile},
      {(dir_ / "notlib.so").string(), kPlugInCannotOpen},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    AnsiString loaderText;
    EXPECT_EQ(ThePlugIns().Load(c.path, &loaderText), c.result);
    // Only a file the system loader refused has the loader's own text.
    EXPECT_EQ(loaderText.empty(), c.result != kPlugInCannotOpen) << loaderText;
  }
  EXPECT_EQ(ThePlugIns().LoadedCount(), 1);
  // The refused plug-in of the same name was unloaded at once; the first
  // one stays until its group is freed.
  const std::string log = Log();
  EXPECT_NE(log.find("SameName init\nSameName unload\n"), std::string::npos) << log;
  EXPECT_EQ(log.find("TestPlug unload"), std::string::npos) << log;
  CommandTable().BuildBuiltinTable();
  EXPECT_NE(Log().find("TestPlug unload"), std::string::npos);
  EXPECT_EQ(ThePlugIns().LoadedCount(), 0);
  // The messages shown for each result.
  EXPECT_EQ(Msg(PlugInResultMessage(kPlugInInvalid)), "Plug-in non valido!");
  EXPECT_EQ(Msg(PlugInResultMessage(kPlugInCannotOpen)), "Impossibile aprire il plug-in.");
  EXPECT_EQ(Msg(PlugInResultMessage(kPlugInNoFile)), "File inesistente!");
  EXPECT_EQ(PlugInResultMessage(kPlugInNameTaken), 234);
  EXPECT_EQ(PlugInResultMessage(kPlugInAlreadyLoaded), 230);
}

TEST_F(PlugInLoader, CommandsGetPreparedArgumentsAndCallBack) {
  ASSERT_EQ(ThePlugIns().Load(Fixture("tp_full")), kPlugInLoaded);
  vltest::WriteFileBytes(dir_ / "data.txt", "file body");
  SetVariable("[X]", "5");
  Run("TpEcho \"hi [X]\" \"Out1\"\r\n"
      "TpEcho \"two\" \"[Name]\"\r\n"
      "TpArgs \"a\" \"2+3\" \"" + (dir_ / "data.txt").string() + "\" \"Res\" \"\"\r\n"
      "TpGet \"Out1\" \"Got2\"\r\n"
      "TpAccess \"6\" \"\" \"V6\"\r\n"
      "TpAccess \"99\" \"\" \"V99\"\r\n"
      "TpStream \"" + (dir_ / "data.txt").string() + "\" \"S1\"\r\n"
      "TpStream \"" + (dir_ / "nothere.txt").string() + "\" \"S2\"\r\n"
      "SetVar \"[BuiltinWon]\" \"yes\"\r\n"
      "TpSpaced\r\n"
      "TpBad\r\n"
      "TpThread\r\n");
  EXPECT_EQ(Var("LastError"), "");
  EXPECT_EQ(Var("Out1"), "hi 5");
  EXPECT_EQ(Var("Name"), "two");  // a variable argument: "[Name]" names the variable Name
  // Maths evaluated for a number; an existing file stays a file; slots past
  // the command's count are null.
  EXPECT_EQ(Var("Res"), "a|5|file||null|null");
  EXPECT_EQ(Var("Got2"), "hi 5");
  EXPECT_EQ(Var("V6"), "1:571.0");
  EXPECT_EQ(Var("V99"), "0:(null)");
  EXPECT_EQ(Var("S1"), "file body");
  EXPECT_EQ(Var("S2"), "(failed)");
  EXPECT_EQ(Var("BuiltinWon"), "yes");  // the built-in keeps its name
  EXPECT_EQ(Var("TpSetVarRan"), "");
  EXPECT_EQ(Var("TpSpaced"), "ran");  // blanks are removed from a registered name
  // Call-backs with null pointers are ignored; calls from another thread too.
  EXPECT_EQ(Var("TpBadDone"), "yes");
  EXPECT_EQ(Var("TpFromThread"), "");
  EXPECT_EQ(Var("TpThreadGot"), "");
}

TEST_F(PlugInLoader, CommandErrorsStopBeforeThePlugIn) {
  ASSERT_EQ(ThePlugIns().Load(Fixture("tp_full")), kPlugInLoaded);
  struct Case {
    const char* text;
    const char* error;
  } cases[] = {
      {"TpEcho \"only one\"", "TpEcho\r\rQuesta azione richiede parametro(i) 2."},
      {"TpZero \"x\"", "TpZero\r\rNon capisco questo comando!"},  // id 0 registered nothing
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    SetVariable("[LastError]", "");
    Run(std::string(c.text) + "\r\nSetVar \"[After]\" \"ran\"");
    EXPECT_EQ(Var("LastError"), c.error);
    EXPECT_EQ(Var("After"), "");
  }
  // From a web page link plug-in commands are refused.
  SetVariable("[LastError]", "");
  RunAction("TpEcho \"a\" \"B\"", kFlagFromBrowser, 1, kOriginPublication, "");
  EXPECT_NE(Var("LastError").find("TpEcho"), std::string::npos);
  EXPECT_EQ(Var("B"), "");
}

TEST_F(PlugInLoader, RunActionTextNestsAsAnAction) {
  ASSERT_EQ(ThePlugIns().Load(Fixture("tp_full")), kPlugInLoaded);
  SetVariable("[Inner]", "SetVar \"[Ran]\" \"[Ran]x\"");
  Run("TpRun \"[Inner]\"\r\nTpRun \"[Inner]\"");
  EXPECT_EQ(Var("Ran"), "xx");
}

TEST_F(PlugInLoader, ManyCommandsAndUnderscoreNames) {
  ASSERT_EQ(ThePlugIns().Load(Fixture("tp_many")), kPlugInLoaded);
  ASSERT_EQ(ThePlugIns().Load(Fixture("tp_second")), kPlugInLoaded);  // entries named "_vl..."
  EXPECT_NE(CommandTable().FindCommand("Many9999"), nullptr);
  Run("Many0 \"x\"\r\nTpEcho \"from second\" \"FromSecond\"");
  EXPECT_EQ(Var("TpMany"), "ran");
  // Both define TpEcho: the plug-in loaded first wins.
  EXPECT_EQ(Var("FromSecond"), "from second");
  const ActionGroup* group = nullptr;
  CommandTable().FindCommand("TpEcho", &group);
  ASSERT_NE(group, nullptr);
  EXPECT_EQ(group->name, "Many");
}

TEST_F(PlugInLoader, EffectsAreRegisteredAndDrawn) {
  ASSERT_EQ(ThePlugIns().Load(Fixture("tp_full")), kPlugInLoaded);
  const PlugInEffect* e = FindPlugInEffect("tpwipe");
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->number, 7);
  QImage fresh(8, 8, QImage::Format_ARGB32);
  fresh.fill(0);
  QImage target = fresh;
  ASSERT_TRUE(e->render(nullptr, fresh, target, QRect(2, 2, 3, 3), 1, "ff00ff00"));
  EXPECT_EQ(target.pixel(2, 2), 0xff00ff01u);
  EXPECT_EQ(target.pixel(4, 4), 0xff00ff01u);
  EXPECT_EQ(target.pixel(5, 5), 0u);
  CommandTable().BuildBuiltinTable();
  EXPECT_EQ(FindPlugInEffect("TpWipe"), nullptr);  // gone with its plug-in
}

}  // namespace
}  // namespace vl
