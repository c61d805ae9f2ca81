#pragma once
// A clean variable store with fixed English date settings and "." as decimal
// symbol, so results do not depend on the machine's locale.
#include <gtest/gtest.h>

#include "actions/DateTime.h"
#include "actions/MathExpr.h"
#include "actions/Vars.h"
#include "runtime/Host.h"

namespace vltest {

// Records every dialog and answers with the first button.
class RecordingDialogs : public vl::DialogService {
 public:
  std::vector<vl::QueryRequest> queries;
  int Query(const vl::QueryRequest& req) override {
    queries.push_back(req);
    return 0;
  }
  bool Input(const vl::InputRequest&, vl::AnsiString&) override { return false; }
  bool ChooseFile(const vl::FileRequest&, vl::AnsiString&) override { return false; }
};

class VarsFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = vl::FormatSettings();
    vl::FormatSettings() = vl::EnglishFormatSettings();
    vl::SetDecimalSymbol('.');
    vl::VarsEnv() = vl::VarsEnvironment();
    vl::VarsEnv().showErrors = false;
    vl::SetVariableWatcher(nullptr);
    vl::ClearAllVariables();
    vl::SetDialogService(&dialogs);
  }
  void TearDown() override {
    vl::SetDialogService(nullptr);
    vl::SetVariableWatcher(nullptr);
    vl::ClearAllVariables();
    vl::VarsEnv() = vl::VarsEnvironment();
    vl::FormatSettings() = saved_;
    vl::SetDecimalSymbol('.');
  }
  static vl::AnsiString Get(std::string_view name) { return vl::ExpandReference(name); }
  static bool Exists(std::string_view name) {
    return vl::GlobalVars().Find(name) || (vl::LocalVars() && vl::LocalVars()->Find(name));
  }
  RecordingDialogs dialogs;

 private:
  vl::TFormatSettings saved_;
};

}  // namespace vltest
