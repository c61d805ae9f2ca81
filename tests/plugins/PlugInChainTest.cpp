// Plug-ins go with their publication when another is loaded in its window.
#include <gtest/gtest.h>

#include <cstdlib>

#include "actions/CommandTable.h"
#include "actions/Vars.h"
#include "pages/RT_Main.h"
#include "plugins/PlugIns.h"
#include "runtime/Clock.h"
#include "runtime/Package.h"
#include "runtime/PackageWriter.h"
#include "support/TestSupport.h"

namespace vl {
namespace {

std::string WritePackage(const vltest::TempDir& dir, const char* name, const std::string& pub,
                         const std::string& plugInFile = "") {
  PackageWriter w;
  w.AddEntry(PackageEntryInput{"RUNTIME.PUB", kEntryPublication, pub});
  if (!plugInFile.empty()) w.AddEntry(PackageEntryInput{"tp.so", kEntryPlugIn, vltest::ReadFileBytes(plugInFile)});
  AnsiString error;
  const std::string path = (dir / name).string();
  EXPECT_TRUE(w.WriteFile(path, "", error)) << error;
  return path;
}

TEST(PlugInChain, AChainedLoadUnloadsThePlugIns) {
  InstallClock(MakeVirtualClock(0));
  CommandTable().BuildBuiltinTable();
  ClearAllVariables();
  vltest::TempDir dir;
  const std::string log = (dir / "log.txt").string();
  ::setenv("VLTEST_PLUGIN_LOG", log.c_str(), 1);
  const char kPub[] = "Title=T\r\nScreenWidth=200\r\nScreenHeight=100\r\nShowErrors=No\r\nMASTERPAGE\r\nNEWPAGE=P\r\n";
  const std::string first = WritePackage(dir, "a.pkg", kPub, std::string(VL_PLUGIN_DIR) + "/tp_full.so");
  const std::string second = WritePackage(dir, "b.pkg", kPub);
  {
    TStartOptions o;
    o.packagePath = first;
    o.headless = true;
    o.channel = false;
    TWorkForm form(o);
    ASSERT_TRUE(form.FormCreate()) << form.StartError();
    form.FormShow();
    ASSERT_TRUE(TheClock().RunUntil([&] { return form.Started(); }, TheClock().NowMs() + 5000));
    EXPECT_EQ(ThePlugIns().LoadedCount(), 1);
    EXPECT_NE(CommandTable().FindCommand("TpEcho"), nullptr);
    ASSERT_TRUE(form.LoadChainedPublication(second, false, false));
    TheClock().RunUntil([] { return false; }, TheClock().NowMs() + 500);
    EXPECT_EQ(ThePlugIns().LoadedCount(), 0);
    EXPECT_EQ(CommandTable().FindCommand("TpEcho"), nullptr);
    EXPECT_NE(CommandTable().FindCommand("SetVar"), nullptr);
    const std::string text = vltest::ReadFileBytes(log);
    EXPECT_NE(text.find("TestPlug event 2 0\nTestPlug unload\n"), std::string::npos) << text;
  }
  ::unsetenv("VLTEST_PLUGIN_LOG");
  ClearAllVariables();
  InstallClock(nullptr);
}

}  // namespace
}  // namespace vl
