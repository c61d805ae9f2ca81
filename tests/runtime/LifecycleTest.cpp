// The lifecycle registry: the order of the participants, the close query's
// veto, and participants that come and go while a hook runs.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/Lifecycle.h"

using namespace vl;

namespace {

// A registry of its own per test: the player's participants are left alone.
class LifecycleTest : public ::testing::Test {
 protected:
  LifecycleParticipant Recorder(const char* name, int order) {
    LifecycleParticipant p;
    p.name = name;
    p.order = order;
    p.load = [this, name](LifecycleContext&) { calls.push_back(std::string("load:") + name); };
    p.destroy = [this, name](LifecycleContext&) { calls.push_back(std::string("destroy:") + name); };
    p.varChanged = [this, name](const AnsiString& n, const AnsiString& v) {
      calls.push_back(std::string(name) + ":" + n + "=" + v);
    };
    return p;
  }
  LifecycleRegistry reg;
  LifecycleContext ctx;
  std::vector<std::string> calls;
};

TEST_F(LifecycleTest, EveryHookRunsInAscendingOrderThenByName) {
  reg.Register(Recorder("menus", 690));
  reg.Register(Recorder("objects", 700));
  reg.Register(Recorder("cursors", 200));
  reg.Register(Recorder("b-same", 500));
  reg.Register(Recorder("a-same", 500));
  reg.Load(ctx);
  reg.VarChanged("[X]", "1");
  reg.Destroy(ctx);
  EXPECT_EQ(calls, (std::vector<std::string>{"load:cursors", "load:a-same", "load:b-same", "load:menus",
                                             "load:objects", "cursors:[X]=1", "a-same:[X]=1", "b-same:[X]=1",
                                             "menus:[X]=1", "objects:[X]=1", "destroy:cursors", "destroy:a-same",
                                             "destroy:b-same", "destroy:menus", "destroy:objects"}));
  // Registering a name again replaces the participant (and its place).
  calls.clear();
  reg.Register(Recorder("cursors", 999));
  reg.Load(ctx);
  EXPECT_EQ(calls.back(), "load:cursors");
  EXPECT_EQ(reg.Participants().size(), 5u);
}

TEST_F(LifecycleTest, TheFirstRefusalEndsTheCloseQuery) {
  struct Case {
    std::vector<bool> answers;  // of the participants at orders 1, 2, 3
    bool accepted;
    std::string refusedBy;
    std::vector<std::string> asked;
  };
  const Case cases[] = {
      {{true, true, true}, true, "", {"p1", "p2", "p3"}},
      {{true, false, true}, false, "p2", {"p1", "p2"}},
      {{false, false, true}, false, "p1", {"p1"}},
  };
  for (const Case& c : cases) {
    LifecycleRegistry r;
    std::vector<std::string> asked;
    static const char* const kNames[] = {"p1", "p2", "p3"};
    for (int i = 0; i < 3; ++i) {
      LifecycleParticipant p;
      p.name = kNames[i];
      p.order = i + 1;
      const bool answer = c.answers[i];
      p.closeQuery = [&asked, answer, name = kNames[i]](LifecycleContext&) {
        asked.push_back(name);
        return answer;
      };
      r.Register(p);
    }
    // A participant without a close query has no say.
    LifecycleParticipant silent;
    silent.name = "silent";
    r.Register(silent);
    LifecycleContext x;
    EXPECT_EQ(r.CloseQuery(x), c.accepted);
    EXPECT_EQ(x.refusedBy, c.refusedBy);
    EXPECT_EQ(asked, c.asked);
  }
}

TEST_F(LifecycleTest, ParticipantsMayComeAndGoWhileAHookRuns) {
  // "first" removes itself and adds "late" (ordered after everyone): the
  // loop goes on with "second" and reaches "late" in the same pass.
  LifecycleParticipant first = Recorder("first", 1);
  first.load = [this](LifecycleContext&) {
    calls.push_back("load:first");
    reg.Unregister("first");
    reg.Register(Recorder("late", 99));
  };
  reg.Register(first);
  reg.Register(Recorder("second", 2));
  reg.Load(ctx);
  EXPECT_EQ(calls, (std::vector<std::string>{"load:first", "load:second", "load:late"}));
  calls.clear();
  reg.Load(ctx);
  EXPECT_EQ(calls, (std::vector<std::string>{"load:second", "load:late"}));
}

}  // namespace
