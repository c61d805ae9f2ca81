// The built `vellion` program, end to end.
#include <gtest/gtest.h>

#include <cstdio>
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
