#pragma once
// A publication of named pages and a host that records what the page switch
// asks of the main window, so tests can read the order of events.
#include <QCoreApplication>
#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "actions/Interpreter.h"
#include "actions/Vars.h"
#include "pages/VLPageList.h"
#include "runtime/Clock.h"
#include "runtime/Publication.h"
#include "support/ActionRunner.h"

namespace vltest {

// Records every request; actions run through the real interpreter.
class RecordingHost : public vl::PageHost {
 public:
  std::vector<std::string> log;
  std::deque<int> posted;
  bool shuttingDown = false;

  void PostPageChange(int index) override {
    log.push_back("post " + std::to_string(index));
    posted.push_back(index);
    vl::NotePostedWork();
  }
  void RepaintPage(int from, int to, int) override {
    log.push_back("repaint " + std::to_string(from) + ">" + std::to_string(to));
  }
  void RunPublicationAction(const vl::AnsiString& text, std::string_view source, uint8_t flags,
                            uint8_t eventCode) override {
    log.push_back("run " + std::to_string(eventCode) + " " + std::string(source));
    vl::RunAction(text, flags, eventCode, eventCode == 50 || eventCode == 51 ? vl::kOriginPage
                                                                             : vl::kOriginPublication,
                  source);
  }
  bool ShuttingDown() const override { return shuttingDown; }
  void PageShown(int index, const vl::AnsiString& name) override {
    log.push_back("shown " + std::to_string(index) + " " + name);
  }
  // Runs the queued page changes the way the window's loop would.
  void Drain(vl::TVLPageNavigator& nav) {
    while (!posted.empty()) {
      int i = posted.front();
      posted.pop_front();
      nav.ProcessPageChange(i);
    }
  }
  // The log lines that start with `kind`, and clears the log.
  std::vector<std::string> Take(std::string_view kind = {}) {
    std::vector<std::string> out;
    for (auto& l : log)
      if (kind.empty() || l.rfind(kind, 0) == 0) out.push_back(l);
    log.clear();
    return out;
  }
};

struct PageSpec {
  const char* name;
  const char* enter = "";
  const char* exit = "";
};

inline vl::TPublication MakePublication(const std::vector<PageSpec>& pages) {
  vl::TPublication pub;
  for (const auto& p : pages) {
    vl::TPageRecord rec;
    rec.name = p.name;
    rec.enterAction = p.enter;
    rec.exitAction = p.exit;
    pub.pages.push_back(std::move(rec));
  }
  return pub;
}

// Interpreter, clock and variables for one test.
class PagesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    vl::InstallClock(vl::MakeVirtualClock(0));
    vl::ClearAllVariables();
    vl::VarsEnv().showErrors = false;
  }
  void TearDown() override {
    vl::SetActivePages(nullptr);
    vl::SetInterpreterHost(nullptr);
    vl::SubroutineText().clear();
    vl::SetSuspendCount(0);
    vl::VarsEnv().showErrors = true;
    vl::VarsEnv().runMode = 0;
    vl::ClearAllVariables();
    vl::InstallClock(nullptr);
  }
  // Builds the navigator over `pages` and starts it on page `start` the way
  // the main window does (the first display runs the start-up and enter
  // actions).
  void Start(const std::vector<PageSpec>& pages, int start = 1, const char* pageChange = "",
             const char* startup = "") {
    pub = MakePublication(pages);
    pub.settings.pageChangeAction = pageChange;
    pub.settings.startupAction = startup;
    nav.Build(pub);
    vl::SetActivePages(&nav);
    nav.MakeStartPageCurrent(start);
    nav.ChangePage(nav.PageIndex(), false);
  }
  // Runs an action as a button would (event code 1).
  void Click(const std::string& text) { vl::RunAction(Lines(text), 0, 1, 0, "Button"); }
  static std::string Lines(const std::string& text) {
    std::string out;
    for (char ch : text) {
      if (ch == '\n') out += "\r\n";
      else out += ch;
    }
    return out;
  }
  static std::string Var(std::string_view name) { return vl::GetVariableValue(name, 0); }

  RecordingHost host;
  vl::TVLPageNavigator nav{host};
  vl::TPublication pub;
};

}  // namespace vltest
