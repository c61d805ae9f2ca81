// The built `vellion` program, end to end.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <sys/wait.h>

#include "support/TestSupport.h"

namespace {

struct Result {
  int status;
  std::string out;
};

Result RunVellion(const std::string& args) {
  std::string cmd = std::string(VL_BINARY_DIR) + "/src/vellion " + args + " 2>/dev/null";
  Result r{-1, {}};
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) return r;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
  int st = pclose(p);
  r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  return r;
}

}  // namespace

TEST(InterpreterProgram, EvalWritesTheGlobalsAsUtf8) {
  vltest::TempDir dir;
  // Windows-1252 bytes in, UTF-8 out; LastError carries the stopping error.
  vltest::WriteFileBytes(dir / "a.txt",
                         "Loop \"7\" \"7\" \"[caff\xE8]\"\r\nEndLoop\r\nLoop \"1\" \"3\" \"[i]\"\r\nEndLoop\r\n"
                         "NoSuchCommand\r\nLoop \"1\" \"1\" \"[never]\"\r\n");
  Result r = RunVellion("--trace " + (dir / "t.txt").string() + " --eval " + (dir / "a.txt").string());
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "caff\xC3\xA8=7\r\ni=3\r\nLastError=NoSuchCommand[#13][#13]Non capisco questo comando!\r\n");
  EXPECT_NE(vltest::ReadFileBytes(dir / "t.txt").find("dialog\terror\t"), std::string::npos);
}

TEST(InterpreterProgram, Options) {
  EXPECT_EQ(RunVellion("--help").status, 0);
  EXPECT_NE(RunVellion("--help").out.find("Exit status"), std::string::npos);
  EXPECT_EQ(RunVellion("--version").out.rfind("vellion ", 0), 0u);
  Result list = RunVellion("--list-commands");
  EXPECT_EQ(list.status, 0);
  size_t lines = 0;
  for (char c : list.out) lines += c == '\n';
  EXPECT_EQ(lines, 201u);
  EXPECT_NE(list.out.find("123\tLoop\t3\t3\t3 3 6\tbuilt\n"), std::string::npos);
  EXPECT_EQ(RunVellion("--bogus").status, 2);
  EXPECT_EQ(RunVellion("--eval").status, 2);
  EXPECT_EQ(RunVellion("--eval /nonexistent/file").status, 3);
  // Options end at "--": what follows is a file name.
  EXPECT_EQ(RunVellion("-- --help").status, 2);
}

// The front end's repairs, through the built program: what it refuses, what
// it says and in which order, and how a headless run that nobody answers ends.
#if defined(VELLION_PATH) && defined(VLPACK_PATH)
namespace {

struct ShellRun {
  int status = -1;
  std::string out;
  std::string err;
};

// Runs `command` (a shell command line) with stderr kept apart.
ShellRun RunShell(const std::string& command) {
  vltest::TempDir dir;
  const std::string errPath = (dir / "stderr.txt").string();
  ShellRun r;
  FILE* p = popen((command + " 2>'" + errPath + "'").c_str(), "r");
  if (!p) return r;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
  const int st = pclose(p);
  r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  r.err = vltest::ReadFileBytes(errPath);
  return r;
}

std::string Quoted(const std::string& s) { return "'" + s + "'"; }

// A package whose start-up action opens an alert that nobody answers.
std::string PackAlertPublication(const vltest::TempDir& dir) {
  std::filesystem::create_directories(dir / "pub");
  vltest::WriteFileBytes(dir / "pub" / "RUNTIME.PUB",
                         "Title=Alert\r\nScreenWidth=320\r\nScreenHeight=200\r\nShowErrors=No\r\nL_OK=OK\r\n"
                         "StartupAction=AlertBox \"Hello\" \"Hi there|second line\"\r\nMASTERPAGE\r\nNEWPAGE=P\r\n");
  const std::string pkg = (dir / "alert.pkg").string();
  const ShellRun packed = RunShell(std::string(VLPACK_PATH) + " build -o " + Quoted(pkg) + " " +
                              Quoted((dir / "pub").string()));
  EXPECT_EQ(packed.status, 0) << packed.err;
  return pkg;
}

TEST(ProgramFrontEnd, RefusesHeadlessOptionsWithoutHeadless) {
  vltest::TempDir dir;
  const std::string pkg = PackAlertPublication(dir);
  for (const char* option : {"--script s.txt", "--timeout 5", "--screenshot a.png", "--dump-vars v.txt", "--channel"}) {
    SCOPED_TRACE(option);
    const ShellRun r = RunShell(std::string(VELLION_PATH) + " " + option + " " + Quoted(pkg));
    EXPECT_EQ(r.status, 2);
    const std::string name = std::string(option).substr(0, std::string(option).find(' '));
    EXPECT_EQ(r.err, "vellion: " + name + " works only with --headless (see --help)\n");
  }
}

TEST(ProgramFrontEnd, ShortHelpIsTheHelp) {
  const ShellRun h = RunShell(std::string(VELLION_PATH) + " -h");
  const ShellRun help = RunShell(std::string(VELLION_PATH) + " --help");
  EXPECT_EQ(h.status, 0);
  EXPECT_EQ(h.out, help.out);
  EXPECT_NE(h.out.find("--timeout SECONDS"), std::string::npos);
}

TEST(ProgramFrontEnd, StartErrorIsWrittenAsLines) {
  vltest::TempDir dir;
  vltest::WriteFileBytes(dir / "not.pkg", "not a package at all");
  const ShellRun r = RunShell("QT_QPA_PLATFORM=offscreen " + std::string(VELLION_PATH) + " --headless " +
                         Quoted((dir / "not.pkg").string()));
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err.find('\r'), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("not.pkg: Impossibile accedere a questa risorsa.\n"), std::string::npos) << r.err;
}

TEST(ProgramFrontEnd, WithoutDisplayTheFileIsReportedFirst) {
  vltest::TempDir dir;
  const std::string pkg = PackAlertPublication(dir);
  const std::string noDisplay = "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " + std::string(VELLION_PATH);
  const struct {
    std::string file;
    std::string err;
  } kCases[] = {
      {(dir / "missing.pkg").string(), (dir / "missing.pkg").string() + ": No such file or directory\n"},
      {dir.path().string(), dir.path().string() + ": Is a directory\n"},
      {pkg, "no display to show the publication on"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.file);
    const ShellRun r = RunShell(noDisplay + " " + Quoted(c.file));
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("vellion: " + c.err), std::string::npos) << r.err;
  }
}

TEST(ProgramFrontEnd, DefaultTimeoutNamesTheOpenDialog) {
  vltest::TempDir dir;
  const std::string pkg = PackAlertPublication(dir);
  const std::string trace = (dir / "trace.txt").string();
  // No --timeout: the run must still end, on the default timeout (and
  // quickly: the outer limit only keeps a regression from hanging the suite).
  const ShellRun r = RunShell("QT_QPA_PLATFORM=offscreen timeout 120 " + std::string(VELLION_PATH) +
                              " --headless --trace " + Quoted(trace) + " " + Quoted(pkg));
  EXPECT_EQ(r.status, 3);
  EXPECT_NE(r.err.find("vellion: the timeout of 600 virtual seconds expired while a dialog was open:\n"
                       "  alert \"Hello\"\n  Hi there\n  second line\n"),
            std::string::npos)
      << r.err;
  const std::string t = vltest::ReadFileBytes(trace);
  EXPECT_NE(t.find("\ntimeout\talert\tHello\tHi there|second line\nexit\t3\n"), std::string::npos) << t;
}

}  // namespace
#endif
