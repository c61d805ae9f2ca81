#include <gtest/gtest.h>

#include <set>

#include "actions/CommandTable.h"

using namespace vl;

TEST(CommandTable, BuiltinsInRegistrationOrder) {
  TCommandTable t;
  t.BuildBuiltinTable();
  ASSERT_EQ(t.Groups().size(), 1u);
  const ActionGroup& g = *t.Groups()[0];
  EXPECT_EQ(g.name, "_VLK");
  EXPECT_EQ(g.kind, 0);
  ASSERT_EQ(g.CommandCount(), 201);
  EXPECT_EQ(g.records.front().id, 17);   // GotoPage opens the list
  EXPECT_EQ(g.records.back().id, 194);   // GetArrayInfo closes it
  std::set<int> ids;
  for (const auto& r : g.records) ids.insert(r.id);
  EXPECT_EQ(ids.size(), 201u);
  EXPECT_FALSE(ids.count(0));
  EXPECT_FALSE(ids.count(32));
  EXPECT_EQ(*ids.rbegin(), 202);

  auto kw = t.KeywordList();
  ASSERT_EQ(kw.size(), 207u);
  EXPECT_EQ(kw[0], "ELSE");
  EXPECT_EQ(kw[5], "DEBUGON");
  EXPECT_EQ(kw[6], "GotoPage");
}

TEST(CommandTable, RecordsCarryCountsAndKinds) {
  TCommandTable t;
  t.BuildBuiltinTable();
  struct Case {
    const char* word;
    int id, min, max;
    std::vector<int> kinds;
    bool ownPrep;
  } cases[] = {
      {"If", 23, 3, 3, {4, 1, 4}, false},
      {"menuex", 29, 4, 6, {3, 3, 2, 6, 3, 3}, false},
      {"SETVAR", 46, 2, 2, {6, 4}, true},
      {"Math", 26, 3, 3, {3, 3, 6}, true},
      {"ClearVariables", 75, 0, 1, {6}, false},
      {"GotoFirstPage", 18, 0, 0, {}, false},
      {"PlayCartoonFile", 31, 8, 8, {3, 3, 3, 3, 5, 3, 3, 1}, false},
      {"FileSize", 202, 2, 2, {1, 6}, false},
  };
  for (auto& c : cases) {
    const ActionRecord* r = t.FindCommand(c.word);
    ASSERT_NE(r, nullptr) << c.word;
    EXPECT_EQ(r->id, c.id) << c.word;
    EXPECT_EQ(r->minArgs, c.min) << c.word;
    EXPECT_EQ(r->maxArgs, c.max) << c.word;
    EXPECT_EQ(std::vector<int>(r->kinds, r->kinds + r->maxArgs), c.kinds) << c.word;
    EXPECT_EQ(r->preparesOwnArgs, c.ownPrep) << c.word;
  }
  EXPECT_EQ(t.FindCommand("Goto"), nullptr);
  EXPECT_EQ(t.FindCommand("Goto Page"), nullptr);
}

TEST(CommandTable, PlugInsComeAfterTheBuiltins) {
  TCommandTable t;
  t.BuildBuiltinTable();
  bool freed = false;
  ActionGroup& g = t.CreateGroup("Extra", "/plugins/extra.so", nullptr, 1);
  g.onFree = [&](ActionGroup&) { freed = true; };
  const uint8_t kinds[] = {1, 3};
  t.RegisterCommand(g, 7, "Set Var", kinds, 2, 2);   // blanks removed: SetVar, shadowed
  t.RegisterCommand(g, 8, "Do It", kinds, 2, 2);
  t.RegisterEffect(g, 3, "Swirl");

  const ActionGroup* found = nullptr;
  const ActionRecord* r = t.FindCommand("SetVar", &found);
  EXPECT_EQ(found->kind, 0);  // the built-in wins
  EXPECT_EQ(r->id, 46);
  r = t.FindCommand("doit", &found);
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(found, &g);
  EXPECT_EQ(r->id, 8);
  EXPECT_EQ(g.effects.size(), 1u);
  EXPECT_EQ(t.FindGroupByName("EXTRA"), &g);
  EXPECT_EQ(t.FindGroupByFileName("/plugins/extra.so"), &g);

  // Hidden commands are neither found nor listed.
  t.SetHidden(g.records[1], true);
  EXPECT_EQ(t.FindCommand("DoIt"), nullptr);
  EXPECT_EQ(t.KeywordList().back(), "SetVar");

  t.FreeAllGroups();
  EXPECT_TRUE(freed);
  EXPECT_EQ(t.FindCommand("If"), nullptr);
}

static void Dummy(CommandContext&) {}

TEST(CommandTable, BindingReachesTheLiveTable) {
  TCommandTable& t = CommandTable();
  CommandHandler before = BoundHandler(cmd::HelpTopic);
  EXPECT_TRUE(BindCommand(cmd::HelpTopic, Dummy));
  EXPECT_EQ(t.FindCommand("HelpTopic")->handler, &Dummy);
  BindCommand(cmd::HelpTopic, before);
  EXPECT_FALSE(BindCommand(32, Dummy));
  EXPECT_FALSE(BindCommand(203, Dummy));
  // The flow commands are bound by their own file.
  EXPECT_NE(t.FindCommand("Loop")->handler, nullptr);
}
