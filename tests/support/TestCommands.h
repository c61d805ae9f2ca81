#pragma once
// A command group of the test's own: commands whose bodies the test chooses,
// put into action texts beside the player's commands without rebinding any of
// them. The group sits after the built-in group, as a plug-in's would, so its
// names must not be those of built-in commands.
//
//   vltest::TestCommandGroup probe({{"Probe", [&](vl::CommandContext& c) { ... c.Arg(1) ... }}});
//   vl::RunAction("Probe \"x\"", ...);
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "actions/CommandApi.h"

namespace vltest {

class TestCommandGroup {
 public:
  using Body = std::function<void(vl::CommandContext&)>;
  // Registers the commands (up to ten text arguments each) in a new group.
  explicit TestCommandGroup(std::vector<std::pair<std::string, Body>> commands);
  // Builds the command table again without the group.
  ~TestCommandGroup();
  TestCommandGroup(const TestCommandGroup&) = delete;
  TestCommandGroup& operator=(const TestCommandGroup&) = delete;
};

}  // namespace vltest
