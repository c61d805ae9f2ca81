// RegistryRead and RegistryWrite run as action texts against a store of the
// test's own: every value type, types kept when overwritten, a missing key
// against a missing value, and the texts that read or write nothing.
#include <gtest/gtest.h>

#include <QFile>
#include <QString>
#include <memory>

#include "platform/RegistryStore.h"
#include "runtime/Messages.h"
#include "services/RegistryCommands.h"
#include "support/ActionRunner.h"
#include "support/TestSupport.h"

using namespace vltest;
using vl::RegRoot;
using vl::RegValue;

namespace {

class RegistryCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    store = std::make_unique<vl::RegistryStore>(QString::fromStdString((dir / "registry").string()));
    vl::SetActionRegistry(store.get());
    Put("Int", RegValue::Integer(-7));
    Put("Str", RegValue::String("caff\xE8"));
    Put("Exp", RegValue{vl::kRegExpandString, "%HOME%\\x"});
    Put("Bin", RegValue::Binary(std::string("AB\0C", 4)));
    Put("Multi", RegValue{vl::kRegMultiString, std::string("one\0two\0\0", 9)});
    Put("", RegValue::String("default"));
  }
  void TearDown() override { vl::SetActionRegistry(nullptr); }
  void Put(const char* name, const RegValue& v) { ASSERT_TRUE(store->Write(RegRoot::CurrentUser, "Software\\Firm", name, v)); }
  RegValue Get(const char* name, RegRoot root = RegRoot::CurrentUser) {
    auto v = store->Read(root, "Software\\Firm", name);
    return v ? *v : RegValue{vl::kRegNone, "<missing>"};
  }

  TempDir dir;
  std::unique_ptr<vl::RegistryStore> store;
};

TEST_F(RegistryCommands, ReadGivesEachTypeAsText) {
  struct {
    const char* path;
    const char* want;
  } cases[] = {
      {"Software\\Firm\\Int", "-7"},
      {"Software\\Firm\\Str", "caff\xE8"},
      {"Software\\Firm\\Exp", "%HOME%\\x"},  // not expanded
      {"Software\\Firm\\Bin", "ABC"},        // the non-zero bytes
      {"Software\\Firm\\Multi", "onetwo"},
      {"Software\\Firm\\", "default"},       // no value name: the key's default value
      {" software\\FIRM\\str ", "caff\xE8"},  // blanks trimmed, case ignored
      {"Software\\Firm\\Missing", ""},       // a missing value reads as empty, no error
  };
  for (const auto& c : cases) {
    ActionRun r = RunActionText(std::string("SetVar \"[v]\" \"old\"\nRegistryRead \"HKEY_CURRENT_USER\" \"") +
                                c.path + "\" \"[v]\"");
    EXPECT_EQ(r.Var("v"), c.want) << c.path;
    EXPECT_EQ(r.LastError(), "") << c.path;
  }
}

TEST_F(RegistryCommands, AMissingKeyOrAnEmptyPathLeavesTheVariable) {
  ActionRun r = RunActionText(
      "SetVar \"[a]\" \"old\"\nRegistryRead \"HKEY_CURRENT_USER\" \"Software\\Nobody\\Name\" \"[a]\"");
  EXPECT_EQ(r.Var("a"), "old");
  EXPECT_EQ(r.LastError(), vl::Msg(253));
  // Another root is another tree.
  r = RunActionText("RegistryRead \"HKEY_LOCAL_MACHINE\" \"Software\\Firm\\Str\" \"[a]\"");
  EXPECT_EQ(r.LastError(), vl::Msg(253));
  // An empty key and value text reads and writes nothing and reports nothing.
  r = RunActionText(
      "SetVar \"[LastError]\" \"before\"\nSetVar \"[a]\" \"old\"\nRegistryRead \"\" \"  \" \"[a]\"\n"
      "RegistryWrite \"HKEY_USERS\" \"\" \"x\"");
  EXPECT_EQ(r.Var("a"), "old");
  EXPECT_EQ(r.LastError(), "before");
  EXPECT_EQ(store->ValueNames(RegRoot::Users, "").size(), 0u);
}

TEST_F(RegistryCommands, WriteKeepsTheTypeTheValueHas) {
  struct {
    const char* name;
    const char* text;
    RegValue want;
  } cases[] = {
      {"Int", "42", RegValue::Integer(42)},
      {"Int", "$10", RegValue::Integer(16)},
      {"Int", "", RegValue::Integer(0)},
      {"Int", "many", RegValue::String("many")},  // not a number: kept as text, not lost
      {"Bin", "XY", RegValue::Binary("XY")},
      {"Bin", "", RegValue::Binary("")},
      {"Str", "new \xE8", RegValue::String("new \xE8")},
      {"Exp", "plain", RegValue::String("plain")},
      {"Fresh", "12", RegValue::String("12")},    // a new value is a string
      {"", "dflt", RegValue::String("dflt")},
  };
  for (const auto& c : cases) {
    if (c.want.type == vl::kRegInteger) Put("Int", RegValue::Integer(-7));
    ActionRun r = RunActionText(std::string("RegistryWrite \"\" \"Software\\Firm\\") + c.name + "\" \"" + c.text + "\"");
    EXPECT_EQ(Get(c.name), c.want) << c.name << " = " << c.text;
    EXPECT_EQ(r.LastError(), "") << c.name;
  }
  // Writing makes the key, under the root named.
  ActionRun r = RunActionText(
      "RegistryWrite \"hkey_local_machine\" \"Software\\New\\Key\\Name\" \"v\"\n"
      "RegistryRead \"HKEY_LOCAL_MACHINE\" \"Software\\New\\Key\\Name\" \"[got]\"");
  EXPECT_EQ(r.Var("got"), "v");
  EXPECT_EQ(r.LastError(), "");
  EXPECT_FALSE(store->KeyExists(RegRoot::CurrentUser, "Software\\New"));
}

TEST_F(RegistryCommands, ValuesThatCannotBeStoredAreReported) {
  // A value beyond the store's limit is refused with a message; the old one stays.
  const std::string big(vl::RegistryStore::kMaxValueBytes + 1, 'x');
  ActionRun r = RunActionText("SetVar \"[big]\" \"!" + big + "\"\nRegistryWrite \"\" \"Software\\Firm\\Str\" \"[big]\"");
  EXPECT_NE(r.LastError(), "");
  EXPECT_EQ(Get("Str"), RegValue::String("caff\xE8"));
  // NUL bytes and "|" in a value are kept as they are.
  r = RunActionText("RegistryWrite \"\" \"Software\\Firm\\Bin\" \"a|b[#0]c\"\n"
                    "RegistryRead \"\" \"Software\\Firm\\Bin\" \"[back]\"");
  EXPECT_EQ(r.LastError(), "");
  EXPECT_EQ(Get("Bin"), RegValue::Binary(std::string("a|b\0c", 5)));
  EXPECT_EQ(r.Var("back"), "a|bc");
}

}  // namespace
