// Function files in JavaScript, run by Call on the JavaScript engine.
#include <gtest/gtest.h>

#include "support/ActionRunner.h"
#include "support/TestSupport.h"

using namespace vltest;

namespace {

class JsFunctions : public ::testing::Test {
 protected:
  std::string File(const char* name, const std::string& body, const std::string& params = "") {
    WriteFileBytes(dir_ / name, "{Vellion Function}\r\nLanguage=JScript\r\n" + params + "{End}\r\n" + body);
    return (dir_ / name).string();
  }
  TempDir dir_;
};

TEST_F(JsFunctions, ParametersArePastedAndThePublicationObjectReachesThePlayer) {
  const std::string f = File("f.vlf",
                             "var n = [N] * 2;\r\n"
                             "Publication.vlSetVar(\"[R]\", Publication.vlGetVar(\"[R]\") + \":\" + n + \":\" + \"[T]\");\r\n"
                             "Publication.vlExecAction('SetVar \"[Ran]\" \"yes\"');",
                             "Param=[N]|Number\r\nParam=[R]|Variable\r\nParam=[T]|Text\r\n");
  ActionRun r = RunActionText("SetVar \"[total]\" \"t\"\nCall \"" + f + "\" \"2+3\" \"[total]\" \"caf\xE9\"\n"
                              "SetVar \"[after]\" \"1\"");
  EXPECT_EQ(r.LastError(), "");
  EXPECT_EQ(r.Var("total"), "t:10:caf\xE9");  // Windows-1252 text survives the trip
  EXPECT_EQ(r.Var("Ran"), "yes");
  EXPECT_EQ(r.Var("after"), "1");
}

TEST_F(JsFunctions, ErrorsStopTheCaller) {
  struct Case {
    std::string body;
    std::string timeout;
    std::string error;  // the start of [LastError]
  } cases[] = {
      {"var = ;", "", "SyntaxError"},
      {"undefinedFunction();", "", "ReferenceError: undefinedFunction is not defined"},
      {"throw new Error('told to fail');", "", "Error: told to fail"},
      {"while (true) {}", "150", "The script ran longer than its time-out of 150 ms."},
  };
  int n = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.body);
    // A new name each time: calling the same file again would not read it.
    const std::string f = File(("e" + std::to_string(++n) + ".vlf").c_str(), c.body);
    const std::string timeout = c.timeout.empty() ? "" : "SetVar \"[WSHTimeOut]\" \"" + c.timeout + "\"\n";
    ActionRun r = RunActionText(timeout + "Call \"" + f + "\"\nSetVar \"[after]\" \"1\"");
    EXPECT_EQ(r.LastError().rfind(c.error, 0), 0u) << r.LastError();
    EXPECT_EQ(r.Var("after"), "");
  }
}

}  // namespace
