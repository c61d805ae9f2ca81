#pragma once
// Menus built from publication text, with a clean variable store whose change
// notices reach the menus as the main window routes them.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>

#include "actions/Interpreter.h"
#include "actions/Vars.h"
#include "pages/MenuItems.h"
#include "runtime/Clock.h"
#include "runtime/Publication.h"
#include "runtime/Stream.h"
#include "support/ActionRunner.h"
#include "support/HostSpies.h"

namespace vltest {

// "\n" between lines; CR LF in the publication.
inline std::string PubText(std::string_view lines) {
  std::string out;
  for (char c : lines) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

class MenuFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    vl::InstallClock(vl::MakeVirtualClock(0));
    vl::VarsEnv().showErrors = false;
    vl::ClearAllVariables();
    watch_.emplace([](const vl::AnsiString& name, const vl::AnsiString& value) {
      vl::TheMenus().MenuVariableChanged(name, value);
    });
    vl::TheMenus().Clear();
    vl::TheMenus().SetHost({});
  }
  void TearDown() override {
    vl::TheMenus().Clear();
    vl::TheMenus().SetHost({});
    watch_.reset();
    vl::ClearAllVariables();
    vl::VarsEnv().showErrors = true;
  }

  // Reads the publication text (as a tray publication when `tray`), builds
  // its menus and prepares them.
  void Build(std::string_view lines, bool tray = false, bool chained = false) {
    const std::string text = PubText(lines);
    vl::MemorySource src(text);
    vl::TLoadOptions opt;
    opt.publicationKind = tray ? vl::kPublicationKindTray : 0;
    vl::AnsiString error;
    ASSERT_TRUE(vl::LoadPublication(src, static_cast<int64_t>(text.size()), pub_, opt, error)) << error;
    vl::TheMenus().CreateMainMenu(pub_.mainMenu, nullptr);
    if (tray) vl::TheMenus().CreateTray(pub_.trayMenu, pub_.settings.title);
    vl::TheMenus().PrepareMenuItems(chained);
  }

  static vl::TVelMenuItem* Item(std::string_view name) { return vl::TheMenus().FindMenuItem(name); }
  static vl::AnsiString V(std::string_view name) { return vl::GetVariableValue(name, 0); }
  // "\n" between lines.
  static void Run(std::string_view action) { vl::RunAction(PubText(action), 0, 0, vl::kOriginPublication, ""); }

  vl::TPublication pub_;
  std::optional<vltest::ScopedVarWatch> watch_;
};

}  // namespace vltest
