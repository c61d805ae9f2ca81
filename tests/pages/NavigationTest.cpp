// The page list, the navigation commands and the history.
#include "PagesTestSupport.h"
#include "runtime/Messages.h"

using namespace vl;
using namespace vltest;

namespace {

const std::vector<PageSpec> kFive = {{"One"}, {"Two"}, {"Three"}, {"Four"}, {"Five"}};

TEST(PageList, AddFindAndSwitchRules) {
  TVLPageList list;
  list.AddPage("", 0);
  list.AddPage("Intro", 1);
  list.AddPage("End", 2);
  EXPECT_EQ(list.FindPage("intro"), 1);
  EXPECT_EQ(list.FindPage("END"), 2);
  EXPECT_EQ(list.FindPage("nope"), -1);
  EXPECT_EQ(list.FindPage(""), 0);
  EXPECT_THROW(list.AddPage("x", 5), EInvalidPageIndex);
  EXPECT_THROW(list.SetPageIndex(3), EInvalidPageIndex);

  std::vector<std::string> seen;
  list.OnPageChange = [&](int i, bool& allow) {
    seen.push_back("change " + std::to_string(i) + " next " + std::to_string(list.NextPageIndex()));
    allow = i != 2;
  };
  list.OnPageChanged = [&](int i) { seen.push_back("changed " + std::to_string(i)); };
  list.SetPageIndex(0);  // from -1: no OnPageChange
  list.SetPageIndex(1);
  list.SetPageIndex(2);  // vetoed
  EXPECT_EQ(list.PageIndex(), 1);
  EXPECT_EQ(list.NextPageIndex(), 1);
  EXPECT_TRUE(list.Page(1)->visible);
  EXPECT_FALSE(list.Page(0)->visible);
  EXPECT_EQ(seen, (std::vector<std::string>{"changed 0", "change 1 next 1", "changed 1", "change 2 next 2"}));

  // Inserting at or before the current page moves the current index.
  list.AddPage("New", 1);
  EXPECT_EQ(list.PageIndex(), 2);
  EXPECT_EQ(list.Page(2)->name, "Intro");
}

class Navigation : public PagesTest {};

TEST_F(Navigation, CommandTargets) {
  struct Case {
    int from;
    const char* action;
    int want;
  } cases[] = {
      {1, "GotoNextPage", 2},         {5, "GotoNextPage", 5},       {3, "GotoPrevPage", 2},
      {1, "GotoPrevPage", 1},         {3, "GotoFirstPage", 1},      {2, "GotoLastPage", 5},
      {1, "GotoPage \"four\"", 4},    {1, "GotoPageNum \"3\"", 3},      {1, "GotoPageNum \"2+3\"", 5},
      {4, "GotoPage \"Four\"", 4},
  };
  for (const auto& c : cases) {
    Start(kFive, c.from);
    SetLastError("");
    Click(c.action);
    EXPECT_EQ(nav.PageIndex(), c.want) << c.action << " from " << c.from;
    EXPECT_EQ(Var("LastError"), "") << c.action;
  }
}

TEST_F(Navigation, UnknownPagesFail) {
  for (const char* action : {"GotoPage \"Six\"", "GotoPage \"\"", "GotoPageNum \"0\"", "GotoPageNum \"6\"",
                             "GotoPageNum \"abc\""}) {
    Start(kFive, 2);
    Click(std::string(action) + "\nSetVar \"[after]\" \"1\"");
    EXPECT_EQ(nav.PageIndex(), 2) << action;
    EXPECT_NE(Var("LastError").find(Msg(246)), std::string::npos) << action;
    EXPECT_EQ(Var("after"), "") << action << ": the action stops";
  }
}

TEST_F(Navigation, RefusedInTestModeAndInsidePageChangeActions) {
  Start(kFive, 1);
  VarsEnv().runMode = 1;
  Click("GotoNextPage");
  EXPECT_EQ(nav.PageIndex(), 1);
  EXPECT_NE(Var("LastError").find(Msg(345)), std::string::npos);
  VarsEnv().runMode = 0;
  // An exit action may not change the page.
  Start({{"One", "", "GotoPage \"Three\""}, {"Two"}, {"Three"}}, 1);
  Click("GotoPage \"Two\"");
  EXPECT_EQ(nav.PageIndex(), 2);
  EXPECT_NE(Var("LastError").find(Msg(255)), std::string::npos);
}

TEST_F(Navigation, StartupThenEnterActionOnceAndExitEnterOrder) {
  Start({{"One", "A", "B"}, {"Two", "C", "D"}}, 1, "", "S");
  EXPECT_EQ(host.Take(), (std::vector<std::string>{"shown 1 One", "run 52 ", "run 50 One"}));
  EXPECT_TRUE(nav.StartupActionRan());
  Click("GotoPage \"Two\"");
  EXPECT_EQ(host.Take(), (std::vector<std::string>{"run 51 One", "repaint 1>2", "shown 2 Two", "run 50 Two"}));
  nav.ProcessPageChange(1);
  EXPECT_EQ(host.Take("run"), (std::vector<std::string>{"run 51 Two", "run 50 One"}));
}

TEST_F(Navigation, PageChangeActionRedirectsOrCancels) {
  const std::vector<PageSpec> pages = {{"One", "", "X"}, {"Two"}, {"Three"}};
  // Cancelled: the exit action does not run and the variable is gone.
  Start(pages, 1, "SetVar \"[PageChangeName]\" \"\"");
  host.Take();
  Click("GotoPage \"Two\"");
  EXPECT_EQ(nav.PageIndex(), 1);
  EXPECT_EQ(host.Take("run"), (std::vector<std::string>{"run 56 "}));
  EXPECT_FALSE(GlobalVars().Find("PageChangeName"));

  // Redirected to another page.
  Start(pages, 1, "SetVar \"[seen]\" \"![PageChangeName]\"\nSetVar \"[PageChangeName]\" \"!three\"");
  Click("GotoPage \"Two\"");
  EXPECT_EQ(nav.PageIndex(), 3);
  EXPECT_EQ(Var("seen"), "Two");
  EXPECT_FALSE(GlobalVars().Find("PageChangeName"));

  // Redirected to no page: cancelled with message 246.
  Start(pages, 1, "SetVar \"[PageChangeName]\" \"!Nowhere\"");
  SetLastError("");
  Click("GotoNextPage");
  EXPECT_EQ(nav.PageIndex(), 1);
  EXPECT_EQ(Var("LastError"), Msg(246));
  // Navigation inside the page-change action is refused: the action ran, its
  // GotoPage failed, and the change it was asked about went ahead.
  Start({{"One"}, {"Two"}, {"Three"}}, 1, "GotoPage \"Three\"");
  SetLastError("");
  host.Take();
  Click("GotoPage \"Two\"");
  EXPECT_EQ(nav.PageIndex(), 2);
  EXPECT_EQ(host.Take("run"), (std::vector<std::string>{"run 56 "}));
  EXPECT_NE(Var("LastError").find(Msg(255)), std::string::npos) << Var("LastError");
}

TEST_F(Navigation, EnterActionEndingInGotoIsDeferred) {
  struct Case {
    const char* enter;
    bool deferred;
  } cases[] = {
      {"SetVar \"[x]\" \"1\"\nGotoPage \"Three\"", true},
      {"GotoPage \"Three\"\n. a comment\n\n:label\n", true},
      {"GotoPage \"Three\"\nSetVar \"[x]\" \"1\"", false},
  };
  for (const auto& c : cases) {
    Start({{"One"}, {"Two", c.enter}, {"Three", "", ""}}, 1);
    host.Take();
    nav.ProcessPageChange(2);
    if (c.deferred) {
      EXPECT_EQ(nav.PageIndex(), 2) << c.enter;
      EXPECT_EQ(host.posted, std::deque<int>{3}) << c.enter;
      // The action gave its suspension back when it ended.
      EXPECT_EQ(SuspendCount(), 0);
      host.Drain(nav);
    } else {
      EXPECT_TRUE(host.posted.empty()) << c.enter;
    }
    EXPECT_EQ(nav.PageIndex(), 3) << c.enter;
  }
  // The deferred change runs after the enter action has finished.
  Start({{"One"}, {"Two", "GotoPage \"Three\""}, {"Three", "SetVar \"[x]\" \"3\""}}, 1);
  host.Take();
  nav.ProcessPageChange(2);
  EXPECT_EQ(host.Take(), (std::vector<std::string>{"repaint 1>2", "shown 2 Two", "run 50 Two", "post 3"}));
}

TEST_F(Navigation, ReturnToPageWalksBackThroughTheHistory) {
  Start(kFive, 1);
  Click("GotoPage \"Three\"");
  Click("GotoPage \"Five\"");
  std::vector<int> seen;
  for (int i = 0; i < 4; ++i) {
    Click("ReturnToPage");
    seen.push_back(nav.PageIndex());
  }
  EXPECT_EQ(seen, (std::vector<int>{3, 1, 1, 1}));
  EXPECT_TRUE(nav.History().empty());
  EXPECT_TRUE(nav.HistoryEnabled());
}

TEST_F(Navigation, HistoryKeepsTheNewest25) {
  Start(kFive, 1);
  for (int i = 0; i < 40; ++i) Click(i % 2 ? "GotoPrevPage" : "GotoNextPage");
  ASSERT_EQ(nav.History().size(), 25u);
  EXPECT_EQ(nav.History().back(), 2);  // the page left last
}

}  // namespace

namespace {

class PageVariables : public vltest::PagesTest {};

TEST_F(PageVariables, NumbersTitleAndOffset) {
  Start(kFive, 1);
  EXPECT_EQ(Var("PageNumber"), "1");
  EXPECT_EQ(Var("P"), "1");
  EXPECT_EQ(Var("PageTitle"), "One");
  EXPECT_EQ(Var("PageCount"), "5");
  EXPECT_EQ(Var("PageNumberRight"), "2");
  EXPECT_EQ(Var("PageNumberLeft"), "1");
  Click("SetVar \"[PageNumberOffset]\" \"1\"");
  EXPECT_EQ(Var("PageNumber"), "0");
  EXPECT_EQ(Var("PageNumberRight"), "1");
  EXPECT_EQ(Var("PageNumberLeft"), "");
  Click("SetVar \"[PageNumberOffset]\" \"x\"");
  EXPECT_EQ(Var("PageNumberOffset"), "0");
  // While the objects are told of the change, the title names the target.
  std::string title;
  nav.Events().pageLeave = [&](int, bool) { title = Var("PageTitle"); };
  Click("GotoPage \"Four\"");
  EXPECT_EQ(title, "Four");
}

}  // namespace

namespace {

class PageEvents : public vltest::PagesTest {};

TEST_F(PageEvents, ObjectsAreToldInOrderWithTheMasterPage) {
  Start({{"One"}, {"Two"}, {"Three"}}, 1);
  pub.pages[3].showMasterPage = false;
  nav.Build(pub);
  nav.MakeStartPageCurrent(1);
  std::vector<std::string> seen;
  auto note = [&](const char* what) {
    return [&seen, what](int page, bool master) {
      seen.push_back(std::string(what) + " " + std::to_string(page) + (master ? "+m" : ""));
    };
  };
  auto& ev = nav.Events();
  ev.pageLeave = note("leave");
  ev.pageEnter = note("enter");
  ev.pageShown = note("shown");
  ev.beforeSwitch = [&] { seen.push_back("pause"); };
  ev.afterSwitch = [&] { seen.push_back("resume"); };
  ev.plugInPageChange = [&](int i) { seen.push_back("plugin " + std::to_string(i)); };
  nav.ProcessPageChange(3);
  EXPECT_EQ(seen, (std::vector<std::string>{"plugin 3", "pause", "leave 1+m", "enter 3", "shown 3", "resume"}));
  EXPECT_EQ(nav.MasterOn(), 0);
  seen.clear();
  // Showing the current page again (the first display) tells no plug-in and
  // switches nothing, but the objects hear that it was shown.
  nav.ShowPage(3);
  EXPECT_EQ(seen, (std::vector<std::string>{"pause", "shown 3", "resume"}));
}

TEST_F(PageEvents, NoPageChangeActionWhileShuttingDown) {
  // The page-change action cancels every change; while shutting down it is
  // not run at all, so the change goes ahead.
  struct {
    bool shuttingDown;
    std::vector<std::string> runs;
    int page;
  } cases[] = {
      {false, {"run 56 "}, 1},
      {true, {"run 51 One", "run 50 Two"}, 2},
  };
  for (const auto& c : cases) {
    Start({{"One", "", "SetVar \"[left]\" \"1\""}, {"Two", "SetVar \"[entered]\" \"1\""}}, 1,
          "SetVar \"[PageChangeName]\" \"\"");
    host.shuttingDown = c.shuttingDown;
    host.Take();
    nav.ProcessPageChange(2);
    EXPECT_EQ(host.Take("run"), c.runs) << c.shuttingDown;
    EXPECT_EQ(nav.PageIndex(), c.page) << c.shuttingDown;
  }
}

}  // namespace
