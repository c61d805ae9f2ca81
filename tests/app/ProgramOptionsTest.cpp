// The option table of `vellion`: what it accepts, what it refuses, and the
// help and usage made from it.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "app/ProgramOptions.h"

namespace {

// Splits a command line on blanks into argv (argv[0] "vellion" added).
struct Argv {
  explicit Argv(const std::string& line) {
    words.push_back("vellion");
    std::istringstream in(line);
    for (std::string w; in >> w;) words.push_back(w);
    for (auto& w : words) ptrs.push_back(w.data());
    ptrs.push_back(nullptr);
  }
  int argc() const { return static_cast<int>(words.size()); }
  char** argv() { return ptrs.data(); }
  std::vector<std::string> words;
  std::vector<char*> ptrs;
};

bool Parse(const std::string& line, vl::TCommandLine& cl, std::string& error) {
  Argv a(line);
  return vl::ParseCommandLine(a.argc(), a.argv(), cl, error);
}

TEST(ProgramOptions, RefusesOptionsThatWouldBeIgnored) {
  const struct {
    const char* line;
    const char* error;
  } kCases[] = {
      {"--script s.txt p.pkg", "--script works only with --headless"},
      {"--timeout 5 p.pkg", "--timeout works only with --headless"},
      {"--screenshot a.png p.pkg", "--screenshot works only with --headless"},
      {"--dump-vars v.txt p.pkg", "--dump-vars works only with --headless"},
      {"--channel p.pkg", "--channel works only with --headless"},
      // The check looks at the whole line, not at the order.
      {"--script s.txt --headless --eval a.act", "--script cannot be used with --eval"},
      {"--safe --eval a.act", "--safe cannot be used with --eval"},
      {"--headless --timeout soon p.pkg", "--timeout takes a number of seconds, not soon"},
      {"--headless --timeout -1 p.pkg", "--timeout takes a number of seconds, not -1"},
      {"--headless --trace", "--trace needs FILE"},
      {"--bogus p.pkg", "unknown option --bogus"},
      {"-x p.pkg", "unknown option -x"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.line);
    vl::TCommandLine cl;
    std::string error;
    EXPECT_FALSE(Parse(c.line, cl, error));
    EXPECT_EQ(error.rfind(c.error, 0), 0u) << error;
  }
}

TEST(ProgramOptions, ReadsOptionsFileAndArgs) {
  vl::TCommandLine cl;
  std::string error;
  ASSERT_TRUE(Parse("--headless --trace t.txt --script s.txt --timeout 2.5 --channel p.pkg /Kx --timeout", cl, error))
      << error;
  EXPECT_TRUE(cl.play.headless);
  EXPECT_TRUE(cl.play.channel);
  EXPECT_EQ(cl.play.tracePath, "t.txt");
  EXPECT_EQ(cl.play.scriptPath, "s.txt");
  EXPECT_EQ(cl.play.timeoutSeconds, 2.5);
  EXPECT_EQ(cl.play.packagePath, "p.pkg");
  // Options end at FILE: the rest is the publication's.
  EXPECT_EQ(cl.play.args, (std::vector<std::string>{"/Kx", "--timeout"}));

  // Without --timeout a headless run still ends.
  ASSERT_TRUE(Parse("--headless p.pkg", cl, error));
  EXPECT_EQ(cl.play.timeoutSeconds, vl::kDefaultHeadlessTimeoutSeconds);
  // ... unless it waits for other programs on its channel, in real time.
  ASSERT_TRUE(Parse("--headless --channel p.pkg", cl, error));
  EXPECT_LT(cl.play.timeoutSeconds, 0);
  ASSERT_TRUE(Parse("--headless --channel --timeout 0 p.pkg", cl, error));
  EXPECT_EQ(cl.play.timeoutSeconds, 0);
  // "--" ends the options; "-" alone is a file name.
  ASSERT_TRUE(Parse("-- --script", cl, error));
  EXPECT_EQ(cl.play.packagePath, "--script");
  ASSERT_TRUE(Parse("-", cl, error));
  EXPECT_EQ(cl.play.packagePath, "-");
  // The trace goes with --eval as well as with playing, windowed or not.
  ASSERT_TRUE(Parse("--trace t.txt --eval a.act", cl, error));
  EXPECT_EQ(cl.evalPath, "a.act");
  ASSERT_TRUE(Parse("--trace t.txt p.pkg", cl, error));
  // Safe mode plays windowed or headless.
  ASSERT_TRUE(Parse("--safe p.pkg", cl, error));
  EXPECT_TRUE(cl.play.safe);
  ASSERT_TRUE(Parse("--headless --safe p.pkg", cl, error));
  EXPECT_TRUE(cl.play.safe && cl.play.headless);
}

TEST(ProgramOptions, HelpOptionsActAtOnce) {
  const struct {
    const char* line;
    vl::TOptionId id;
  } kCases[] = {
      {"-h", vl::TOptionId::Help},
      {"--help --bogus", vl::TOptionId::Help},
      {"--version", vl::TOptionId::Version},
      {"--headless --list-commands", vl::TOptionId::ListCommands},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.line);
    vl::TCommandLine cl;
    std::string error;
    ASSERT_TRUE(Parse(c.line, cl, error)) << error;
    ASSERT_TRUE(cl.alone.has_value());
    EXPECT_EQ(*cl.alone, c.id);
  }
}

TEST(ProgramOptions, HelpAndUsageComeFromTheTable) {
  const std::string help = vl::HelpText();
  const std::string usage = vl::UsageText();
  for (const auto& o : vl::ProgramOptionTable()) {
    SCOPED_TRACE(o.name);
    EXPECT_NE(help.find(std::string("  ") + (o.alias ? std::string(o.alias) + ", " : "") + o.name),
              std::string::npos);
    if (o.use != vl::TOptionUse::Alone) {
      std::string synopsis = std::string("[") + o.name + (o.value ? std::string(" ") + o.value : "") + "]";
      if (o.use == vl::TOptionUse::Mode) synopsis = o.name;
      EXPECT_NE(usage.find(synopsis), std::string::npos) << usage;
    }
  }
  EXPECT_NE(help.find("default 600"), std::string::npos);
  // Both fit a terminal of 80 columns.
  for (const std::string* text : {&help, &usage}) {
    std::istringstream in(*text);
    for (std::string line; std::getline(in, line);) EXPECT_LE(line.size(), 79u) << line;
  }
}

TEST(ProgramOptions, MessagesAreWrittenAsLines) {
  const struct {
    const char* in;
    const char* out;
  } kCases[] = {
      {"Impossibile accedere a questa risorsa.\r\rErrore di lettura disco!",
       "Impossibile accedere a questa risorsa.\nErrore di lettura disco!\n"},
      {"one\r\ntwo\nthree\r", "one\ntwo\nthree\n"},
      {"single", "single\n"},
      {"", "\n"},
  };
  for (const auto& c : kCases) EXPECT_EQ(vl::MessageLines(c.in), c.out) << c.in;
}

}  // namespace
