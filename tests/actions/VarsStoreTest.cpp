#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "VarsTestSupport.h"
#include "actions/SpecialVarCheck.h"
#include "runtime/Clock.h"
#include "runtime/Messages.h"
#include "runtime/Package.h"
#include "runtime/PackageWriter.h"
#include "support/TestSupport.h"
#include "support/HostSpies.h"

using namespace vl;
using vltest::VarsFixture;

namespace {

class VarsStore : public VarsFixture {};

TEST_F(VarsStore, NormalizeVarNameAddsAtMostOneBalancingBracket) {
  const std::pair<const char*, const char*> cases[] = {
      {"", ""},          {"x", "[x]"},         {"[x]", "[x]"},      {"a[x", "[a[x]]"},
      {"x]]", "[[x]]"},  {"[a[x]]", "[a[x]]"}, {"[[[x", "[[[x]]"}, {"[", "[]"},
  };
  for (auto [in, out] : cases) EXPECT_EQ(NormalizeVarName(in), out) << in;
}

TEST_F(VarsStore, ExpandVariablesReadsNestedNamesAndStopsAtStrayBrackets) {
  SetVariable("[x]", "3");
  SetVariable("[a3]", "three");
  SetVariable("[a]", "plain");
  SetVariable("[i]", "1");
  SetVariable("[j]", "12");
  SetVariable("[m112]", "cell");
  SetVariable("[b]", "bee");
  const std::pair<const char*, const char*> cases[] = {
      {"<[a[x]]>", "<three>"},
      {"[A[X]]", "three"},           // names ignore case
      {"[m[i][j]]", "cell"},
      {"100 [USD", "100 "},          // unclosed bracket: the rest is dropped
      {"5]6", "5"},                  // stray closing bracket ends the text
      {"[#34]", "\""},
      {"[#300]", "\xFF"},
      {"a[]b]c", "abeec"},           // "[]" yields nothing and stays open
      {"[nothing]", ""},
      {"no refs", "no refs"},
  };
  for (auto [in, out] : cases) EXPECT_EQ(ExpandVariables(in), out) << in;
  EXPECT_EQ(ExpandVariables("[#x]"), std::string(1, '\0'));
  EXPECT_EQ(ExpandVariables("[tot]+1", true), "0+1");
  EXPECT_EQ(ExpandVariables("[a[x]]", false, true), "a3");
  SetVariable("[i]", "11");
  SetVariable("[j]", "2");
  EXPECT_EQ(ExpandVariables("[m[i][j]]"), "cell");
  SetVariable("[x]", "");
  EXPECT_EQ(ExpandVariables("[a[x]]"), "plain");
}

TEST_F(VarsStore, DeepBracketNestingDoesNotExhaustTheStack) {
  const size_t depth = 300'000;
  std::string deep(depth, '[');
  deep += "x";
  deep += std::string(depth, ']');
  EXPECT_EQ(ExpandVariables(deep), "");
  SetVariable("[x]", "1");
  SetVariable("[v1]", "ok");
  EXPECT_EQ(ExpandVariables("[v" + std::string(1000, '[') + "x" + std::string(1000, ']') + "]"), "");
  EXPECT_EQ(ExpandVariables("[v[[[x]]]]"), "");  // [[x]] reads the variable named "1"
  SetVariable("[1]", "x");
  EXPECT_EQ(ExpandVariables("[v[[[x]]]]"), "ok");
  // The same through a saved-variables text, where names are read back.
  const int before = GlobalVars().Count();
  LoadVariablesFromText(std::string(depth, '[') + "=1\r\n");
  EXPECT_EQ(GlobalVars().Count(), before);
}

TEST_F(VarsStore, ExpansionIsCutAtItsLimit) {
  const size_t limit = size_t(64) << 20;
  SetVariable("[big]", std::string(limit / 2 + 10, 'x'));
  EXPECT_EQ(ExpandVariables("[big][big]").size(), limit);
}

TEST_F(VarsStore, AssignmentCreatesDeletesAndNotifies) {
  std::vector<std::pair<AnsiString, AnsiString>> notices;
  vltest::ScopedVarWatch watch([&](const AnsiString& n, const AnsiString& v) { notices.emplace_back(n, v); });
  SetVariable("[tot]", "5");
  SetVariable("tot", "5");  // same value: no notice
  SetVariable("[Tot]", "");
  SetVariable("[never]", "");  // nothing created, but still a notice
  ASSERT_EQ(notices.size(), 3u);
  EXPECT_EQ(notices[0], (std::pair<AnsiString, AnsiString>{"[TOT]", "5"}));
  EXPECT_EQ(notices[1], (std::pair<AnsiString, AnsiString>{"[TOT]", ""}));
  EXPECT_EQ(notices[2].first, "[NEVER]");
  EXPECT_FALSE(Exists("tot"));
  EXPECT_EQ(GlobalVars().Count(), 0);
}

TEST_F(VarsStore, ReadOnlySpecialVariableRefusesWithoutNotice) {
  int notices = 0;
  vltest::ScopedVarWatch watch([&](const AnsiString& n, const AnsiString&) { notices += n == "[TIME]"; });
  SetVariable("[Time]", "12:00");
  EXPECT_EQ(Get("LastError"), Msg(229) + " [Time].");
  EXPECT_EQ(notices, 0);
  EXPECT_FALSE(Exists("Time"));
}

TEST_F(VarsStore, TypedAssignmentsTakeTheirCanonicalForm) {
  struct Case {
    const char* type;
    const char* param;
    const char* value;
    const char* stored;  // after the assignment
    int refusal;         // message id in [LastError], 0 none
  };
  const Case cases[] = {
      {"Integer", "", "42", "42", 0},
      {"Integer", "", " -0x1F", "-31", 0},
      {"Integer", "", "12.5", "0", 324},
      {"Integer", "", "", "0", 0},
      {"Currency", "", "1,5", "1.50", 0},
      {"Currency", "", "12 kg", "12.00", 0},
      {"Currency", "", "1,234.5", "0.00", 0},
      {"Currency", "", "0.125", "0.13", 0},
      {"Decimal", "3", "2.5", "2.500", 0},
      {"Decimal", "x", "2", "2.00", 0},
      {"Boolean", "", "yes", "True", 0},
      {"Boolean", "", "Cancel", "False", 0},
      {"Boolean", "", "maybe", "False", 327},
      {"Date", "Default", "24-12-2024", "24/12/2024", 0},
      {"Date", "yyyy.mm.dd", "2024/12/24", "2024.12.24", 0},
      {"Date", "mm/dd/yyyy", "12/24/2024", "12/24/2024", 0},
      {"Date", "mdy", "12/24/2024", "122424", 0},  // the parameter is also the format
      {"Date", "Default", "31/02/2024", "", 328},
  };
  for (const auto& c : cases) {
    ClearAllVariables();
    ASSERT_TRUE(DefineVariable("[v]", c.type, c.param, false)) << c.type;
    SetVariable("[v]", c.value);
    EXPECT_EQ(Get("v"), c.stored) << c.type << " " << c.value;
    if (c.refusal) {
      AnsiString expected = Msg(c.refusal);
      expected.replace(expected.find("%s"), 2, c.value);
      EXPECT_EQ(Get("LastError"), expected);
      EXPECT_TRUE(GlobalVars().conversionFailed);
    } else {
      EXPECT_EQ(Get("LastError"), "") << c.type << " " << c.value;
    }
  }
}

TEST_F(VarsStore, RefusedAssignmentKeepsOldValueAndNoticeCarriesIt) {
  DefineVariable("[n]", "Integer", "", false);
  SetVariable("[n]", "7");
  AnsiString noticed;
  vltest::ScopedVarWatch watch([&](const AnsiString& n, const AnsiString& v) {
    if (n == "[N]") noticed = v;
  });
  SetVariable("[n]", "seven");
  EXPECT_EQ(Get("n"), "7");
  EXPECT_EQ(noticed, "7");
}

TEST_F(VarsStore, DefineVariableRules) {
  EXPECT_TRUE(DefineVariable("[c]", " currency ", "", false));
  SetVariable("[c]", "3");
  EXPECT_FALSE(DefineVariable("[c]", "Currency", "", false));  // same type: value kept
  EXPECT_EQ(Get("c"), "3.00");
  EXPECT_TRUE(DefineVariable("[c]", "Integer", "", false));  // "3.00" is no integer
  EXPECT_EQ(Get("c"), "0");
  EXPECT_TRUE(DefineVariable("[c]", "Undefined", "", false));
  SetVariable("[c]", "");
  EXPECT_FALSE(Exists("c"));  // untyped again: deleted by the empty text

  EXPECT_FALSE(DefineVariable("[d]", "Float", "", false));
  EXPECT_EQ(Get("LastError"), "\"Float\" \xE8 un tipo di variabile non valida.");
  EXPECT_FALSE(DefineVariable("[LastError]", "Integer", "", false));  // exists by now
  EXPECT_EQ(GetVarType("[LastError]"), vtUndefined);
  EXPECT_EQ(Get("LastError"), Msg(329) + "\"[LastError]\".");
  EXPECT_FALSE(DefineVariable("[pagecount]", "Integer", "", false));
  EXPECT_EQ(Get("LastError"), Msg(329) + "\"[pagecount]\".");
  EXPECT_FALSE(DefineVariable("[u]", "Undefined", "", false));
  EXPECT_FALSE(Exists("u"));

  // Date to Date: read with the old format, written with the new one.
  DefineVariable("[when]", "Date", "Default", false);
  SetVariable("[when]", "5/3/2024");
  EXPECT_EQ(Get("when"), "05/03/2024");
  DefineVariable("[when]", "Date", "yyyy-mm-dd", false);
  EXPECT_EQ(Get("when"), "2024-03-05");
}

TEST_F(VarsStore, LocalsBelongToTheRunningAction) {
  SetVariable("[g]", "global");
  {
    LocalScope caller;
    DefineVariable("[v]", "Undefined", "", true);
    SetVariable("[v]", "caller");
    SetVariable("[v]", "");  // a declared local is not deleted by the empty text
    SetVariable("[v]", "caller");
    {
      LocalScope routine;
      EXPECT_EQ(Get("v"), "");
      DefineVariable("[v]", "String", "", true);
      SetVariable("[v]", "routine");
      EXPECT_EQ(Get("v"), "routine");
      EXPECT_EQ(Get("g"), "global");
    }
    EXPECT_EQ(Get("v"), "caller");
  }
  EXPECT_EQ(LocalVars(), nullptr);
  EXPECT_FALSE(Exists("v"));
  EXPECT_EQ(GlobalVars().Count(), 1);
}

TEST_F(VarsStore, ScanArrayCountsElementsOfBothLists) {
  for (const char* n : {"a1", "a5", "a-2", "a", "ab", "a2x", "b3"}) SetVariable(n, "x");
  ArrayScan s = ScanArray("A");
  EXPECT_TRUE(s.found);
  EXPECT_EQ(s.lowest, -2);
  EXPECT_EQ(s.highest, 5);
  EXPECT_EQ(s.count, 3);
  LocalScope scope;
  DefineVariable("[a5]", "String", "", true);
  DefineVariable("[a9]", "String", "", true);
  s = ScanArray("a");
  EXPECT_EQ(s.count, 5);
  EXPECT_EQ(s.highest, 9);
  EXPECT_FALSE(ScanArray("zz").found);
}

TEST_F(VarsStore, SavedVariablesRoundTripLineBreaksAndReportFailures) {
  vltest::TempDir dir;
  SetVariable("[first]", "1");
  SetVariable("[text]", "two\r\nlines");
  DefineVariable("[n]", "Integer", "", false);
  const std::string file = (dir / "vars.txt").string();
  SaveVariables(file);
  EXPECT_EQ(Get("LastError"), "");
  EXPECT_EQ(vltest::ReadFileBytes(file), "first=1\r\ntext=two[#13][#10]lines\r\nn=0\r\n");

  ClearAllVariables();
  DefineVariable("[n]", "Integer", "", false);
  vltest::WriteFileBytes(dir / "in.txt", "first=1\ntext=two[#13][#10]lines\r\n=ignored\nnoequals\nn=x\n");
  LoadVariables((dir / "in.txt").string());
  EXPECT_EQ(Get("first"), "1");
  EXPECT_EQ(Get("text"), "two\r\nlines");
  EXPECT_EQ(Get("n"), "0");
  EXPECT_EQ(GlobalVars().Count(), 4);  // first, text, n and [LastError] (from n=x)

  LoadVariables((dir / "missing.txt").string());
  EXPECT_EQ(Get("LastError"), Msg(204));
  SaveVariables((dir / "no" / "such" / "dir.txt").string());
  EXPECT_EQ(Get("LastError"), Msg(205));
}

TEST_F(VarsStore, LoadVariablesPrefersThePackage) {
  VarsEnv().runMode = 1;
  VarsEnv().mapEmbedded = [](const AnsiString& n, AnsiString& real) {
    real = "mapped:" + n.substr(12);
    return true;
  };
  AnsiString asked;
  VarsEnv().loadPackaged = [&](const AnsiString& n, std::string& bytes) {
    asked = n;
    bytes = "k=v\r\n";
    return true;
  };
  LoadVariables("embedded:\\\\\\vars.txt");
  EXPECT_EQ(asked, "mapped:vars.txt");
  EXPECT_EQ(Get("k"), "v");
}

TEST_F(VarsStore, LoadVariablesReadsTheOpenPackageFirst) {
  vltest::TempDir dir;
  PackageWriter w;
  PackageEntryInput e;
  e.name = "vars.txt";
  e.data = "from=package\r\n";
  w.AddEntry(e);
  const std::string pkgPath = (dir / "pub.pkg").string();
  vltest::WriteFileBytes(pkgPath, w.Build());
  ASSERT_EQ(ThePackage().OpenPackage(pkgPath), kPackageOpen);
  vltest::WriteFileBytes(dir / "vars.txt", "from=disk\r\n");
  LoadVariables("vars.txt");
  EXPECT_EQ(Get("from"), "package");
  LoadVariables((dir / "vars.txt").string());  // not an entry: read from disk
  EXPECT_EQ(Get("from"), "disk");
  ThePackage().ClosePackage(false);
}

TEST_F(VarsStore, ClearVariablesBlankClearsEveryUntypedGlobal) {
  SetVariable("[u1]", "1");
  DefineVariable("[i]", "Integer", "", false);
  SetVariable("[i]", "5");
  SetVariable("[shadowed]", "g");
  SetVariable("[u2]", "2");
  DefineVariable("[c]", "Currency", "", false);
  SetVariable("[c]", "9");
  DefineVariable("[b]", "Boolean", "", false);
  SetVariable("[b]", "yes");
  SetVariable("[u3]", "3");
  LocalScope scope;
  DefineVariable("[shadowed]", "String", "", true);
  SetVariable("[shadowed]", "local");
  ClearVariables("");
  EXPECT_EQ(Get("i"), "0");
  EXPECT_EQ(Get("c"), "0.00");
  EXPECT_EQ(Get("b"), "True");
  EXPECT_EQ(Get("LastError"), "\"\" \xE8 un valore booleano non valido.");
  EXPECT_EQ(Get("shadowed"), "");  // the pass reached the local
  for (const char* n : {"u1", "u2", "u3"}) EXPECT_EQ(GlobalVars().Find(n), nullptr) << n;
}

TEST_F(VarsStore, ClearVariablesListAndLargeStores) {
  SetVariable("[a]", "1");
  SetVariable("[b]", "2");
  SetVariable("[c]", "3");
  ClearVariables("[a]|b");
  EXPECT_FALSE(Exists("a"));
  EXPECT_FALSE(Exists("b"));
  EXPECT_TRUE(Exists("c"));
  // Deleting many lines one after another stays linear.
  for (int k = 0; k < 50000; ++k) GlobalVars().Append("v" + std::to_string(k), "x");
  ClearVariables(" ");
  EXPECT_EQ(GlobalVars().Count(), 0);
}

TEST_F(VarsStore, LastErrorShowsTheErrorBoxWhileErrorsAreShown) {
  auto& env = VarsEnv();
  env.showErrors = true;
  env.errorTitle = "Errore";
  env.okText = "Va bene";
  env.alertBoxImage = "alert.bmp";
  SetLastError("boom");
  SetLastError("");
  ASSERT_EQ(dialogs.queries.size(), 1u);
  EXPECT_EQ(dialogs.queries[0].kind, "error");
  EXPECT_EQ(dialogs.queries[0].title, "Errore");
  EXPECT_EQ(dialogs.queries[0].text, "boom");
  EXPECT_EQ(dialogs.queries[0].buttons, std::vector<AnsiString>{"Va bene"});
  EXPECT_EQ(dialogs.queries[0].picture, "alert.bmp");

  std::vector<AnsiString> sent;
  env.debuggerAttached = true;
  env.debuggerLastError = [&](const AnsiString& t) { sent.push_back(t); };
  SetVariable("[LastError]", "from the interpreter", true);
  EXPECT_EQ(dialogs.queries.size(), 1u);
  SetVariable("[lasterror]", "from a command");
  EXPECT_EQ(dialogs.queries.size(), 2u);
  EXPECT_EQ(sent, (std::vector<AnsiString>{"from the interpreter", "from a command"}));
  env.showErrors = false;
  SetLastError("quiet");
  EXPECT_EQ(dialogs.queries.size(), 2u);
}

TEST_F(VarsStore, SpecialVariables) {
  ASSERT_EQ(SpecialVarIndex("pagenumber"), 1);
  EXPECT_EQ(SpecialVarIndex("PubTop"), 65);
  EXPECT_EQ(SpecialVarIndex("LastError"), -1);
  int writable = 0;
  for (int i = 0; i < kSpecialVarCount; ++i) writable += SpecialVarTable()[i].writable;
  EXPECT_EQ(writable, 17);

  EXPECT_EQ(Get("Embedded"), "embedded:\\\\\\");
  EXPECT_EQ(Get("VellionVersion"), "571.0");
  EXPECT_EQ(Get("VLMode"), "R");
  EXPECT_EQ(Get("PageTitle"), "");  // no provider yet
  // This program links the core alone: the start-up check would name what the
  // pages and the window provide in the player.
  const std::vector<AnsiString> problems = SpecialVarProblems();
  for (const char* p : {"PageTitle: no provider, reads as empty", "PageNumberOffset: writable, but writes are lost"})
    EXPECT_NE(std::find(problems.begin(), problems.end(), p), problems.end()) << p;
  for (const char* core : {"Time", "CommandLine", "DecimalSymbol", "MailServer", "HDSerialNum"})
    for (const auto& p : problems) EXPECT_NE(p.rfind(std::string(core) + ":", 0), 0u) << p;
  SetVariable("[PageNumberOffset]", "3");  // writable without provider: ignored
  EXPECT_EQ(Get("LastError"), "");

  DefineVariable("[c]", "Currency", "", false);
  SetVariable("[DecimalSymbol]", ",");
  EXPECT_EQ(Get("DecimalSymbol"), ",");
  SetVariable("[c]", "1.5");
  EXPECT_EQ(Get("c"), "1,50");
  SetVariable("[DecimalSymbol]", "ab");
  EXPECT_EQ(Get("DecimalSymbol"), ".");

  EXPECT_TRUE(RegisterSpecialVar("PageTitle", [](TDateTime) { return AnsiString("Home"); }));
  EXPECT_EQ(Get("pagetitle"), "Home");
  EXPECT_FALSE(RegisterSpecialVar("NotSpecial", {}));
  RegisterSpecialVar("PageTitle", {});
}

TEST_F(VarsStore, CurrentDirWriteFailureLeavesMessage304) {
  const auto before = std::filesystem::current_path();
  SetVariable("[CurrentDir]", "/no/such/folder/at/all");
  EXPECT_EQ(Get("LastError"), Msg(304));
  EXPECT_EQ(std::filesystem::current_path(), before);
  AnsiString cur = Get("CurrentDir");
  EXPECT_EQ(cur.back(), '/');
}

// A clock whose wall time moves on by a second at every reading, so values
// taken from separate readings cannot agree by chance.
class TickingWallClock : public Clock {
 public:
  int64_t NowMs() override { return 0; }
  int64_t WallMs() override { return 978307200000LL + 1000 * reads++; }
  TimerId StartTimer(int64_t, std::function<void()>) override { return 1; }
  void CancelTimer(TimerId) override {}
  void Yield() override {}
  bool RunUntil(const std::function<bool()>& done, int64_t) override { return done(); }
  bool IsVirtual() const override { return true; }
  int reads = 0;
};

TEST_F(VarsStore, TimeVariablesOfOneTextAgree) {
  // "Now" is taken once per substitution, however many time variables the
  // text holds and however much time their reading takes.
  auto clock = std::make_unique<TickingWallClock>();
  TickingWallClock& ticking = *clock;
  InstallClock(std::move(clock));
  AnsiString t = ExpandVariables("[Time24]|[Hour]:[Minute]:[Second]");
  const int readsOfOneText = ticking.reads;
  AnsiString later = ExpandVariables("[Time24]");
  InstallClock(nullptr);
  size_t bar = t.find('|');
  ASSERT_NE(bar, AnsiString::npos);
  AnsiString a = t.substr(0, bar), b = t.substr(bar + 1);
  // Time24 is h:nn:ss; rebuild it from the parts.
  EXPECT_EQ(a, b);
  EXPECT_EQ(readsOfOneText, 1);
  EXPECT_NE(later, a);  // the clock did move between texts
}

}  // namespace
