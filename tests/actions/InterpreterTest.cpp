// The interpreter through the --eval path: action text -> variables and
// error texts.
#include <gtest/gtest.h>

#include <cctype>

#include "CmdTestSupport.h"
#include "support/ActionRunner.h"
#include "actions/CommandApi.h"
#include "actions/CommandTable.h"
#include "runtime/Messages.h"

using namespace vltest;

namespace {

std::string Err(const char* word, int msg) { return std::string(word) + "\r\r" + vl::Msg(msg); }

using Case = CmdCase;
void RunCases(const std::vector<Case>& cases) { RunCmdCases(cases); }

}  // namespace

TEST(Interpreter, ParseErrorsStopTheAction) {
  RunCases({
      {"open quote", "SetVar \"[a]\" \"1\nSetVar \"[b]\" \"2\"", {{"LastError", Err("SetVar", 241)}, {"b", ""}}},
      {"count", "If \"1\" \"=\"\nSetVar \"[b]\" \"2\"",
       {{"LastError", "If\r\rQuesta azione richiede parametro(i) 3."}, {"b", ""}}},
      {"unknown", "Fooo \"1\"\nSetVar \"[b]\" \"2\"", {{"LastError", Err("Fooo", 247)}, {"b", ""}}},
      {"word without quote", "Return now", {{"LastError", Err("Return now", 247)}}},
      {"block word with words", "EndIf later", {{"LastError", Err("EndIf later", 247)}}},
      {"words after arguments", "SetVar \"[a]\" \"1\" and more", {{"a", "1"}, {"LastError", ""}}},
      {"too many arguments", "SetVar \"[a]\" \"1\" \"3\"", {{"LastError", "SetVar\r\rQuesta azione richiede parametro(i) 2."}}},
      {"quote code", "SetVar \"[a]\" \"say [#34]hi[#34]\"", {{"a", "say \"hi\""}}},
      {"comments and labels", ". comment\n.also\n:label\n\n   \nSetVar \"[a]\" \"1\"", {{"a", "1"}, {"LastError", ""}}},
  });
}

TEST(Interpreter, ErrorShownInTheErrorBox) {
  ActionRun r = RunActionText("Fooo");
  auto dialogs = r.TraceOf("dialog");
  ASSERT_EQ(dialogs.size(), 1u);
  EXPECT_NE(dialogs[0].find("Fooo\\n\\nNon capisco questo comando!"), std::string::npos) << dialogs[0];
}

TEST(Interpreter, CommandOfAnAbsentSubsystemNamesItself) {
  // This program links the core alone: the commands of the other subsystems
  // are in the table without a handler, as in a build that lacks them.
  const vl::ActionRecord* absent = nullptr;
  for (const auto& rec : vl::CommandTable().Groups().front()->records)
    if (!rec.handler && !rec.hidden) {
      absent = &rec;
      break;
    }
  ASSERT_NE(absent, nullptr);
  const std::string name = absent->name;  // the run may build the table again
  std::string word;
  for (char c : name) word += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  std::string text = word;
  for (int i = 0; i < absent->minArgs; ++i) text += " \"x\"";
  ActionRun r = RunActionText(text + "\nSetVar \"[b]\" \"2\"");
  EXPECT_EQ(r.LastError(), word + "\r\r" + name + " is not available in this build.") << text;
  EXPECT_FALSE(r.Has("b"));
}

TEST(Interpreter, ArgumentPreparationByKind) {
  RunCases({
      // Kind 4 evaluates expressions, leaves plain numbers, keeps syntax errors.
      {"expression", "SetVar \"[a]\" \"10/4\"", {{"a", "2.5"}}},
      {"division by zero", "SetVar \"[a]\" \"10/0\"", {{"a", "Error"}}},
      {"plain number", "SetVar \"[a]\" \"007\"", {{"a", "007"}}},
      {"literal", "SetVar \"[a]\" \"!10/4\"", {{"a", "10/4"}}},
      {"syntax error kept", "SetVar \"[a]\" \"2**3\"", {{"a", "2**3"}}},
      // Kind 6: the names-only expansion.
      {"array name", "SetVar \"[x]\" \"2\"\nSetVar \"[a[x]]\" \"v\"", {{"a2", "v"}}},
      // Loop bounds are kind 3: empty values read as 0.
      {"empty as zero", "Loop \"[none]\" \"[none]\" \"[i]\"\nEndLoop", {{"i", "0"}}},
  });
}

TEST(Interpreter, VariablesComeOutInTheSavedFormat) {
  // Nothing posts in an empty publication, so the run ends with the action.
  ActionRun r = RunActionText("SetVar \"[a]\" \"1\"");
  EXPECT_EQ(r.varsText, "a=1\r\n");
}
