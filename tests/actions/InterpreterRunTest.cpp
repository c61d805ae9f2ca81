// Starting actions: RunAction's flags and Self, posted requests, subroutines,
// Suspend, the nesting limit, and stopping on Terminating and Generation.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <optional>

#include "actions/Interpreter.h"
#include "actions/Vars.h"
#include "runtime/Clock.h"
#include "runtime/Messages.h"
#include "support/TestCommands.h"
#include "support/HostSpies.h"

using namespace vl;

namespace {

AnsiString V(std::string_view name) { return GetVariableValue(name, 0); }

// TestProbe, a command of the test's own group, runs the body the test
// chooses.
std::function<void(CommandContext&)> gProbe;
int gProbeCalls = 0;  // so a test that expects an action to stop sees the probe ran

class InterpreterRun : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!QCoreApplication::instance()) {
      static int argc = 1;
      static char name[] = "test";
      static char* argv[] = {name, nullptr};
      app_ = new QCoreApplication(argc, argv);
    }
    InstallClock(MakeVirtualClock(0));
    ClearAllVariables();
    VarsEnv().showErrors = false;
    SetInterpreterHost(&host_);
    probe_.emplace(std::vector<std::pair<std::string, vltest::TestCommandGroup::Body>>{
        {"TestProbe", [](CommandContext& c) {
           ++gProbeCalls;
           if (gProbe) gProbe(c);
         }}});
  }
  void TearDown() override {
    probe_.reset();
    gProbe = nullptr;
    gProbeCalls = 0;
    SetInterpreterHost(nullptr);
    SubroutineText().clear();
    SetTerminating(false);
    SetSuspendCount(0);
    SelfValue().clear();
    VarsEnv().showErrors = true;
    VarsEnv().runMode = 0;
    ClearAllVariables();
    InstallClock(nullptr);
  }
  static QCoreApplication* app_;
  std::optional<vltest::TestCommandGroup> probe_;
  vltest::InterpreterHostSpy host_;
};
QCoreApplication* InterpreterRun::app_ = nullptr;

}  // namespace

TEST_F(InterpreterRun, RefusedCommandsByFlags) {
  struct Case {
    uint8_t flags;
    int runMode;
    const char* text;
    AnsiString error;
  } cases[] = {
      {kFlagNoPageChange, 0, "GotoPage \"x\"", "GotoPage\r\r" + Msg(255)},
      {kFlagNoPageChange, 0, "gotonextpage", "gotonextpage\r\r" + Msg(255)},
      {0, 1, "GotoPage \"x\"", "GotoPage\r\r" + Msg(345)},
      {kFlagFromBrowser, 0, "FileErase \"x\"", "FileErase\r\rL'azione FileErase non pu\xF2 essere originata da un collegamento del navigatore web."},
      {kFlagFromBrowser, 0, "Suspend \"True\"", "Suspend\r\rL'azione Suspend non pu\xF2 essere originata da un collegamento del navigatore web."},
  };
  for (auto& c : cases) {
    VarsEnv().runMode = c.runMode;
    SetVariable("[LastError]", "");
    RunAction(AnsiString(c.text) + "\r\nSetVar \"[after]\" \"1\"", c.flags, 1, 1, "obj");
    EXPECT_EQ(V("LastError"), c.error) << c.text;
    EXPECT_EQ(V("after"), "") << c.text;
  }
  // Allowed commands still run under flag 2.
  RunAction("SetVar \"[ok]\" \"1\"", kFlagFromBrowser, 20, 1, "web");
  EXPECT_EQ(V("ok"), "1");
}

TEST_F(InterpreterRun, SelfIsClearedNotRestored) {
  AnsiString insideInner, outerAfter;
  gProbe = [&](CommandContext& c) {
    if (c.Arg(1) == "nest") {
      RunAction("SetVar \"[inner]\" \"[Self]\"", 0, 1, 1, "Inner");
      outerAfter = SelfValue();
    }
  };
  RunAction("SetVar \"[outer]\" \"[Self]\"\r\nTestProbe \"nest\"\r\nSetVar \"[outer2]\" \"[self]\"", 0, 1, 1, "Outer");
  EXPECT_EQ(V("outer"), "Outer");
  EXPECT_EQ(V("inner"), "Inner");
  EXPECT_EQ(outerAfter, "");  // the inner action cleared it
  EXPECT_EQ(V("outer2"), "");
  EXPECT_EQ(SelfValue(), "");
  // Events outside 1..26 leave Self alone.
  RunAction("SetVar \"[p]\" \"[Self]\"", 0, kEventPageEnter, kOriginPage, "Page1");
  EXPECT_EQ(V("p"), "");
}

TEST_F(InterpreterRun, PostedRequestRunsAtTheNextYield) {
  TActionTarget target;
  gProbe = [&](CommandContext&) { PostAction(&target, "SetVar \"[posted]\" \"yes\"", 1, 0); };
  RunAction("TestProbe \"post\"\r\nSetVar \"[seen]\" \"[posted]\"", 0, 52, 26, "");
  EXPECT_EQ(V("seen"), "yes");
  EXPECT_EQ(PendingActionRequests(), 0);
  PostAction(&target, "", 1, 0);  // an empty text posts nothing
  EXPECT_EQ(PendingActionRequests(), 0);
}

TEST_F(InterpreterRun, SuspendHoldsPostedWorkAndDiscardsInput) {
  TActionTarget target;
  int discarded = 0;
  host_.discardQueuedInput = [&] { ++discarded; };
  gProbe = [&](CommandContext&) { PostAction(&target, "SetVar \"[posted]\" \"yes\"", 1, 0); };
  RunAction(
      "Suspend \"True\"\r\nTestProbe \"post\"\r\nSetVar \"[during]\" \"[posted]\"\r\n"
      "Suspend \"False\"\r\nSetVar \"[x]\" \"1\"\r\nSetVar \"[after]\" \"[posted]\"",
      0, 52, 26, "");
  EXPECT_EQ(V("during"), "");
  EXPECT_EQ(V("after"), "yes");
  EXPECT_EQ(discarded, 1);
  EXPECT_EQ(SuspendCount(), 0);

  RunAction("Suspend \"Yes\"\r\nSuspend \"False+NoBuffer\"", 0, 52, 26, "");
  EXPECT_EQ(discarded, 1);
  // An action that ends suspended gives its own count back.
  RunAction("Suspend \"True\"\r\nSuspend \"True\"", 0, 52, 26, "");
  EXPECT_EQ(SuspendCount(), 0);
  // Flag 4 counts as one Suspend while the action runs.
  int seen = -1;
  gProbe = [&](CommandContext&) { seen = SuspendCount(); };
  RunAction("TestProbe \"x\"", kFlagSuspended, 1, 1, "o");
  EXPECT_EQ(seen, 1);
  EXPECT_EQ(SuspendCount(), 0);
}

TEST_F(InterpreterRun, Subroutines) {
  SubroutineText() =
      "SetVar \"[before]\" \"1\"\r\n:Double\r\nSetVar \"[n]\" \"[n]*2\"\r\nReturn\r\n"
      ":Fail\r\nFooo\r\nSetVar \"[notreached]\" \"1\"\r\n"
      ":Fall\r\nSetVar \"[f]\" \"[f]a\"\r\n:Next\r\nSetVar \"[f]\" \"[f]b\"\r\n"
      ":Local\r\nSetVar \"[seen]\" \"[x]\"";
  RunAction(
      "SetVar \"[n]\" \"3\"\r\nGoSub \"double\"\r\nGoSub \"DOUBLE\"\r\nGoSub \"Fail\"\r\nSetVar \"[goon]\" \"1\"\r\n"
      "GoSub \"Fall\"",
      0, 52, 26, "");
  EXPECT_EQ(V("n"), "12");
  EXPECT_EQ(V("before"), "");
  EXPECT_EQ(V("LastError"), "Fooo\r\r" + Msg(247));  // the subroutine stopped ...
  EXPECT_EQ(V("notreached"), "");
  EXPECT_EQ(V("goon"), "1");  // ... the caller went on
  EXPECT_EQ(V("f"), "ab");    // later labels are passed over
  EXPECT_TRUE(RunSubroutine(":Double", 0));
  EXPECT_FALSE(RunSubroutine("Nope", 0));
}

TEST_F(InterpreterRun, DeepRecursionStopsTheInnermostAction) {
  SubroutineText() = ":R\r\nSetVar \"[depth]\" \"[depth]+1\"\r\nGoSub \"R\"\r\nSetVar \"[back]\" \"[back]+1\"";
  RunAction("GoSub \"R\"", 0, 52, 26, "");
  EXPECT_EQ(V("depth"), std::to_string(kMaxRunningActions - 1));
  EXPECT_EQ(V("back"), std::to_string(kMaxRunningActions - 2));  // all but the stopped one went on
  EXPECT_NE(V("LastError").find("Too many actions"), AnsiString::npos) << V("LastError");
  EXPECT_EQ(RunningActions(), 0);
}

TEST_F(InterpreterRun, TerminatingAndGenerationStopEveryAction) {
  gProbe = [&](CommandContext& c) {
    if (c.Arg(1) == "gen") NewGeneration();
    if (c.Arg(1) == "term") SetTerminating(true);
  };
  RunAction("TestProbe \"gen\"\r\nSetVar \"[a]\" \"1\"", 0, 52, 26, "");
  EXPECT_EQ(gProbeCalls, 1);
  EXPECT_EQ(V("a"), "");
  RunAction("TestProbe \"term\"\r\nSetVar \"[b]\" \"1\"", 0, 52, 26, "");
  EXPECT_EQ(gProbeCalls, 2);
  EXPECT_EQ(V("b"), "");
  EXPECT_EQ(V("LastError"), "");  // stopped, not failed
  SetTerminating(false);
  // A Delay gives up at once when the player is closing.
  gProbe = [&](CommandContext&) { SetTerminating(true); };
  TheClock().StartTimer(10, [] { RunAction("TestProbe \"x\"", 0, 1, 1, "t"); });
  int64_t t0 = TheClock().NowMs();
  RunAction("Delay \"100000\"", 0, 52, 26, "");
  EXPECT_LT(TheClock().NowMs() - t0, 1000);
}

TEST_F(InterpreterRun, DelayLetsOtherActionsRunUnlessNegative) {
  TActionTarget target;
  gProbe = [&](CommandContext&) { PostAction(&target, "SetVar \"[posted]\" \"yes\"", 1, 0); };
  int64_t t0 = TheClock().NowMs();
  RunAction("TestProbe \"p\"\r\nDelay \"-500\"", 0, 52, 26, "");
  // No message was handled during a negative delay; the time did pass.
  EXPECT_GE(TheClock().NowMs() - t0, 500);
  RunAction("TestProbe \"p\"\r\nDelay \"200\"\r\nSetVar \"[seen]\" \"[posted]\"", 0, 52, 26, "");
  EXPECT_EQ(V("seen"), "yes");
}

TEST_F(InterpreterRun, HandlersMoveTheLinePosition) {
  gProbe = [&](CommandContext& c) { c.SetSkipAfter(2); };  // as Menu does
  RunAction("TestProbe \"m\"\r\nSetVar \"[a]\" \"1\"\r\nSetVar \"[b]\" \"1\"\r\nSetVar \"[c]\" \"1\"\r\nSetVar \"[d]\" \"1\"",
            0, 52, 26, "");
  EXPECT_EQ(V("a"), "1");  // the next line runs, then two are skipped
  EXPECT_EQ(V("b"), "");
  EXPECT_EQ(V("c"), "");
  EXPECT_EQ(V("d"), "1");
}

TEST_F(InterpreterRun, DebuggerDecidesAfterAnError) {
  VarsEnv().debuggerAttached = true;
  int answer = 0, closed = 0;
  AnsiString seenText;
  int seenLine = 0;
  host_.debuggerError = [&](const AnsiString& msg, TActionEval& ev) {
    seenText = ev.SourceText();
    seenLine = ev.LineNumber();
    return answer;
  };
  host_.closeMainWindow = [&] { ++closed; };
  const char* text = "SetVar \"[a]\" \"1\"\r\nFooo\r\nSetVar \"[b]\" \"1\"";
  RunAction(text, 0, 52, 26, "");
  EXPECT_EQ(V("LastError"), Msg(247));  // the message alone
  EXPECT_EQ(V("b"), "1");               // answer 0: goes on
  EXPECT_EQ(seenText, text);
  EXPECT_EQ(seenLine, 2);
  ClearAllVariables();
  answer = 1;
  RunAction(text, 0, 52, 26, "");
  EXPECT_EQ(V("b"), "");
  answer = 3;
  RunAction(text, 0, kEventShutdown, 26, "");
  EXPECT_TRUE(Terminating());
  EXPECT_EQ(closed, 0);  // not from the shutdown action
  SetTerminating(false);
  RunAction(text, 0, 52, 26, "");
  EXPECT_EQ(closed, 1);
  VarsEnv().debuggerAttached = false;
}

TEST_F(InterpreterRun, SuspendedActionsYieldOnlyForEsc) {
  TActionTarget target;
  bool esc = false;
  host_.escapePending = [&] { return esc; };
  gProbe = [&](CommandContext& c) {
    if (c.Arg(1) == "post") PostAction(&target, "SetVar \"[posted]\" \"yes\"", 1, 0);
    if (c.Arg(1) == "esc") esc = true;
  };
  RunAction(
      "Suspend \"True\"\r\nTestProbe \"post\"\r\nSetVar \"[held]\" \"[posted]\"\r\nTestProbe \"esc\"\r\n"
      "SetVar \"[escaped]\" \"[posted]\"\r\nSuspend \"False\"",
      0, 52, 26, "");
  EXPECT_EQ(V("held"), "");
  EXPECT_EQ(V("escaped"), "yes");  // a waiting Esc lets the queue run
}
