// Plug-ins carried in a package and played by the built program: loading
// from the package, the event notices in order, the dialogs of the load
// errors and the unloading at the close.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "support/TestSupport.h"

namespace {

namespace fs = std::filesystem;

std::string Quoted(const std::string& s) { return "'" + s + "'"; }

int Shell(const std::string& command) {
  const int st = std::system(command.c_str());
  return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
}

struct Played {
  int status = -1;
  std::string trace, vars, log;
};

// Packs `pub` (RUNTIME.PUB text, the other files copied in by name) and
// plays it headless with `script`.
class PlugInProgram : public ::testing::Test {
 protected:
  Played Play(const std::string& publication, const std::vector<std::pair<std::string, std::string>>& files,
              const std::string& script, const std::string& packOptions = "", const std::string& playerOptions = "") {
    const fs::path pub = dir_ / "pub";
    fs::create_directories(pub);
    vltest::WriteFileBytes(pub / "RUNTIME.PUB", publication);
    for (const auto& [name, source] : files) {
      if (fs::exists(source))
        fs::copy_file(source, pub / name, fs::copy_options::overwrite_existing);
      else
        vltest::WriteFileBytes(pub / name, source);
    }
    const std::string pkg = (dir_ / "p.pkg").string();
    EXPECT_EQ(Shell(std::string(VLPACK_PATH) + " build " + packOptions + " -o " + Quoted(pkg) + " " +
                    Quoted(pub.string()) + " >/dev/null"),
              0);
    vltest::WriteFileBytes(dir_ / "script.txt", script);
    Played r;
    const std::string log = (dir_ / "log.txt").string();
    r.status = Shell("QT_QPA_PLATFORM=offscreen VLTEST_PLUGIN_LOG=" + Quoted(log) + " timeout 120 " +
                     std::string(VELLION_PATH) + " --headless --timeout 60 " + playerOptions + " --script " +
                     Quoted((dir_ / "script.txt").string()) + " --trace " + Quoted((dir_ / "t.txt").string()) +
                     " --dump-vars " + Quoted((dir_ / "v.txt").string()) + " " + Quoted(pkg) + " 2>/dev/null");
    r.trace = vltest::ReadFileBytes(dir_ / "t.txt");
    r.vars = vltest::ReadFileBytes(dir_ / "v.txt");
    if (fs::exists(log)) r.log = vltest::ReadFileBytes(log);
    return r;
  }
  static std::string Fixture(const char* name) { return std::string(VL_PLUGIN_DIR) + "/" + name + ".so"; }
  // The log lines of plug-in `tag`, window notices (moved, activated) left
  // out: how many a window manager sends is its own business.
  static std::string LogOf(const std::string& log, const std::string& tag) {
    std::string out;
    size_t pos = 0;
    while (pos < log.size()) {
      size_t end = log.find('\n', pos);
      if (end == std::string::npos) end = log.size();
      const std::string line = log.substr(pos, end - pos);
      pos = end + 1;
      if (line.rfind(tag + " ", 0) != 0) continue;
      const std::string rest = line.substr(tag.size() + 1);
      if (std::regex_match(rest, std::regex("event [345] .*"))) continue;
      out += rest + "\n";
    }
    return out;
  }

  vltest::TempDir dir_;
};

const std::string kPub =
    "Title=Plug\r\nScreenWidth=320\r\nScreenHeight=200\r\nShowErrors=No\r\nL_OK=OK\r\n"
    "StartupAction=Greet \"World\" \"Answer\"\xB6TpAccess \"3\" \"\" \"Titles\"\xB6TpStream \"data.txt\" \"S\"\xB6"
    "TpArgs \"a\" \"1\" \"data.txt\" \"Res\" \"\"\xB6TpAccess \"7\" \"NoSuch\" \"V7\"\xB6SetVar \"[Ready]\" \"1\"\r\n"
    "MASTERPAGE\r\nNEWPAGE=P1\r\nNEWPAGE=P2\r\n";

TEST(PlugInProgramSetup, FixturesAreBuilt) { ASSERT_TRUE(fs::exists(VL_HELLO_PLUGIN)); }

TEST_F(PlugInProgram, LoadsFromThePackageCallsAndUnloadsAtTheClose) {
  const Played r = Play(kPub, {{"hello.so", VL_HELLO_PLUGIN}, {"tp.so", Fixture("tp_full")}, {"data.txt", "packed"}},
                        "waitvar Ready 1\nrun GotoPage \"P2\"\nrun TpAccess \"9\" \"Hi there\" \"V9\"\nanswer OK\nclose\n");
  EXPECT_EQ(r.status, 0) << r.trace;
  EXPECT_NE(r.vars.find("Answer=Hello, World!\r\n"), std::string::npos) << r.vars;
  EXPECT_NE(r.vars.find("Titles=1:P1[#13][#10]P2\r\n"), std::string::npos) << r.vars;
  EXPECT_NE(r.vars.find("S=packed\r\n"), std::string::npos) << r.vars;  // a packaged file as a stream
  EXPECT_NE(r.vars.find("Res=a|1|file||null|null\r\n"), std::string::npos) << r.vars;  // extracted for the plug-in
  EXPECT_NE(r.vars.find("V7=1:0\r\n"), std::string::npos) << r.vars;
  EXPECT_NE(r.vars.find("V9=1:\r\n"), std::string::npos) << r.vars;
  EXPECT_NE(r.trace.find("dialog\tmessage\tPlug\tHi there\tOK\tOK\n"), std::string::npos) << r.trace;
  // 9 once every plug-in has loaded, 1 at the first paint, 6 with the new
  // page, 2 at the close; unloaded after that.
  EXPECT_EQ(LogOf(r.log, "TestPlug"), "init\nevent 9 0\nevent 1 0\nevent 6 2\nevent 2 0\nunload\n") << r.log;
  EXPECT_NE(r.vars.find("HelloEvents=9 0;1 0;"), std::string::npos) << r.vars;
}

TEST_F(PlugInProgram, SafeModeLoadsNoPlugIn) {
  const Played r = Play("Title=Plug\r\nScreenWidth=320\r\nScreenHeight=200\r\nShowErrors=No\r\nL_OK=OK\r\n"
                        "StartupAction=SetVar \"[Ready]\" \"1\"\r\nMASTERPAGE\r\nNEWPAGE=P1\r\n",
                        {{"tp.so", Fixture("tp_full")}}, "waitvar Ready 1\nclose\n", "", "--safe");
  EXPECT_EQ(r.status, 0) << r.trace;
  EXPECT_EQ(LogOf(r.log, "TestPlug"), "") << r.log;  // never initialised
  EXPECT_NE(r.trace.find("error\tSafe mode refused plug-in: "), std::string::npos) << r.trace;
}

TEST_F(PlugInProgram, LoadErrorsAreShownAndThePublicationGoesOn) {
  const Played r = Play(
      "Title=Plug\r\nScreenWidth=320\r\nScreenHeight=200\r\nShowErrors=No\r\nL_OK=OK\r\n"
      "StartupAction=TpEcho \"ok\" \"Works\"\r\nMASTERPAGE\r\nNEWPAGE=P1\r\n",
      {{"a.so", Fixture("tp_full")},
       {"b.so", Fixture("tp_samename")},
       {"c.so", Fixture("tp_noinit")},
       {"d.so", "not a library"}},
      "answer OK\nanswer OK\nanswer OK\nanswer OK\nwaitvar Works ok\nclose\n");
  EXPECT_EQ(r.status, 0) << r.trace;
  EXPECT_NE(r.vars.find("Works=ok\r\n"), std::string::npos) << r.vars;
  auto count = [&](const std::string& text) {
    size_t n = 0;
    for (size_t p = r.trace.find(text); p != std::string::npos; p = r.trace.find(text, p + 1)) ++n;
    return n;
  };
  EXPECT_EQ(count("\\nPlug-in non valido!\tOK\tOK\n"), 1u) << r.trace;
  EXPECT_EQ(count("\\nIl nome di questo plug-in \xC3\xA8 in conflitto"), 1u) << r.trace;
  // Not a library: the system loader's text, then message 233.
  EXPECT_EQ(count("\\nImpossibile aprire il plug-in.\tOK\tOK\n"), 1u) << r.trace;
  EXPECT_EQ(count("dialog\terror\t"), 4u) << r.trace;
  // Of the two plug-ins named alike, the second was unloaded at once.
  const std::string both = LogOf(r.log, "TestPlug") + "|" + LogOf(r.log, "SameName");
  EXPECT_TRUE(both == "init\nevent 9 0\nevent 1 0\nevent 2 0\nunload\n|init\nunload\n" ||
              both == "init\nunload\n|init\nevent 9 0\nevent 1 0\nevent 2 0\nunload\n")
      << both;
}

}  // namespace
