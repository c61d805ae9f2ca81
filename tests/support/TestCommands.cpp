#include "support/TestCommands.h"

#include <memory>

#include "actions/CommandTable.h"

namespace vltest {

namespace {
// Far from the built-in ids, so no rule keyed on an id applies to them.
constexpr int32_t kFirstTestId = 900000;
}  // namespace

TestCommandGroup::TestCommandGroup(std::vector<std::pair<std::string, Body>> commands) {
  vl::TCommandTable& table = vl::CommandTable();
  vl::ActionGroup& group = table.CreateGroup("_TEST", "", nullptr, 1);
  auto bodies = std::make_shared<std::vector<Body>>();
  uint8_t kinds[vl::kMaxArgs];
  for (auto& k : kinds) k = vl::ArgText;
  for (auto& [name, body] : commands) {
    table.RegisterCommand(group, kFirstTestId + static_cast<int32_t>(bodies->size()), name, kinds, 0, vl::kMaxArgs);
    bodies->push_back(std::move(body));
  }
  group.runPlugIn = [bodies](vl::CommandContext& c, const vl::ActionRecord& rec) {
    const Body& body = (*bodies)[static_cast<size_t>(rec.id - kFirstTestId)];
    if (body) body(c);
  };
}

TestCommandGroup::~TestCommandGroup() { vl::CommandTable().BuildBuiltinTable(); }

}  // namespace vltest
