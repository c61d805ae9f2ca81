#include "platform/RegistryStore.h"

#include <gtest/gtest.h>

#include <QFile>
#include <random>

#include "platform/WindowPlacement.h"
#include "support/TestSupport.h"

using namespace vl;

namespace {
QString Q(const std::filesystem::path& p) { return QString::fromStdString(p.string()); }
}  // namespace

TEST(RegistryStore, TypesSurviveARoundTripThroughTheFile) {
  vltest::TempDir dir;
  const auto file = dir / "sub" / "registry";  // the folder is made on the first write
  {
    RegistryStore s(Q(file));
    EXPECT_FALSE(s.Read(RegRoot::CurrentUser, "Software\\Test", "Name").has_value());
    ASSERT_TRUE(s.Write(RegRoot::CurrentUser, "Software\\Test\\", "Name", RegValue::String("caf\xE9 \"x\"\\|\r\n")));
    ASSERT_TRUE(s.Write(RegRoot::CurrentUser, "Software\\Test", "Count", RegValue::Integer(-42)));
    ASSERT_TRUE(s.Write(RegRoot::CurrentUser, "Software\\Test", "Bin", RegValue::Binary(std::string("AB\0C", 4))));
    ASSERT_TRUE(s.Write(RegRoot::CurrentUser, "Software\\Test", "", RegValue::String("default")));
    ASSERT_TRUE(s.Write(RegRoot::CurrentUser, "Software\\Test", "Multi", RegValue{kRegMultiString, std::string("a\0b\0", 4)}));
    ASSERT_TRUE(s.Write(RegRoot::LocalMachine, "Software\\Test", "Name", RegValue::String("machine")));
    EXPECT_TRUE(s.LastError().empty());
  }
  RegistryStore s(Q(file));
  EXPECT_EQ(*s.Read(RegRoot::CurrentUser, "software\\TEST", "name"), RegValue::String("caf\xE9 \"x\"\\|\r\n"));
  auto count = s.Read(RegRoot::CurrentUser, "Software\\Test", "Count");
  ASSERT_TRUE(count);
  EXPECT_EQ(count->type, kRegInteger);
  EXPECT_EQ(count->AsInteger(), -42);
  EXPECT_EQ(s.Read(RegRoot::CurrentUser, "Software\\Test", "Bin")->data, std::string("AB\0C", 4));
  EXPECT_EQ(s.Read(RegRoot::CurrentUser, "Software\\Test", "")->data, "default");
  EXPECT_EQ(s.Read(RegRoot::CurrentUser, "Software\\Test", "Multi")->type, kRegMultiString);
  EXPECT_EQ(s.Read(RegRoot::LocalMachine, "Software\\Test", "Name")->data, "machine");
  EXPECT_FALSE(s.WasDamaged());

  // Keys keep the case they were made with; parents exist.
  EXPECT_TRUE(s.KeyExists(RegRoot::CurrentUser, "SOFTWARE"));
  EXPECT_EQ(s.SubKeys(RegRoot::CurrentUser, "software"), std::vector<AnsiString>{"Test"});
  EXPECT_EQ(s.ValueNames(RegRoot::CurrentUser, "Software\\Test").size(), 5u);
  EXPECT_FALSE(s.KeyExists(RegRoot::Users, "Software"));

  EXPECT_TRUE(s.DeleteValue(RegRoot::CurrentUser, "Software\\Test", "COUNT"));
  EXPECT_FALSE(s.DeleteValue(RegRoot::CurrentUser, "Software\\Test", "Count"));
  EXPECT_TRUE(s.DeleteKey(RegRoot::CurrentUser, "Software"));
  EXPECT_FALSE(s.KeyExists(RegRoot::CurrentUser, "Software\\Test"));
  EXPECT_TRUE(s.KeyExists(RegRoot::LocalMachine, "Software\\Test"));
}

TEST(RegistryStore, RootNamesAndValuePaths) {
  EXPECT_EQ(RootFromName(" hkey_local_machine "), RegRoot::LocalMachine);
  EXPECT_EQ(RootFromName("HKEY_DYN_DATA"), RegRoot::DynData);
  EXPECT_EQ(RootFromName("HKLM"), RegRoot::CurrentUser);  // any other text: the current user
  RegPath p = SplitValuePath("HKEY_USERS\\Software\\Firm\\\\Book\\Placement");
  EXPECT_EQ(p.root, RegRoot::Users);
  EXPECT_EQ(p.key, "Software\\Firm\\Book");
  EXPECT_EQ(p.value, "Placement");
  p = SplitValuePath("Mine\\Value");
  EXPECT_EQ(p.root, RegRoot::CurrentUser);
  EXPECT_EQ(p.key, "");
  EXPECT_EQ(p.value, "Value");
}

TEST(RegistryStore, WritesReplaceTheFileAtomicallyAndSeeOtherWriters) {
  vltest::TempDir dir;
  const auto file = dir / "registry";
  RegistryStore a(Q(file)), b(Q(file));
  ASSERT_TRUE(a.Write(RegRoot::CurrentUser, "K", "one", RegValue::String("1")));
  const std::string before = vltest::ReadFileBytes(file);
  QFile old(Q(file));
  ASSERT_TRUE(old.open(QIODevice::ReadOnly));
  // A second store (another player) writes: the first one's value stays.
  ASSERT_TRUE(b.Write(RegRoot::CurrentUser, "K", "two", RegValue::String("2")));
  EXPECT_EQ(a.Read(RegRoot::CurrentUser, "K", "two")->data, "2");
  ASSERT_TRUE(a.Write(RegRoot::CurrentUser, "K", "three", RegValue::String("3")));
  EXPECT_EQ(b.Read(RegRoot::CurrentUser, "K", "one")->data, "1");
  // The old file was replaced whole, not rewritten in place: a reader that
  // had it open still reads it complete.
  EXPECT_EQ(old.readAll().toStdString(), before);
  EXPECT_FALSE(std::filesystem::exists(dir / "registry.damaged"));
  size_t files = 0;
  for (auto& e : std::filesystem::directory_iterator(dir.path())) files += e.is_regular_file();
  EXPECT_EQ(files, 1u);  // no temporary left behind
}

TEST(RegistryStore, AFailedWriteReportsAndForgetsTheChange) {
  vltest::TempDir dir;
  vltest::WriteFileBytes(dir / "blocker", "not a folder");
  RegistryStore s(Q(dir / "blocker" / "registry"));
  EXPECT_FALSE(s.Write(RegRoot::CurrentUser, "K", "v", RegValue::String("x")));
  EXPECT_FALSE(s.LastError().empty());
  EXPECT_FALSE(s.Read(RegRoot::CurrentUser, "K", "v").has_value());
  EXPECT_FALSE(s.Write(RegRoot::CurrentUser, "K", "big", RegValue::Binary(std::string(RegistryStore::kMaxValueBytes + 1, 'x'))));
}

TEST(RegistryStore, ADamagedFileKeepsWhatCanBeReadAndIsBackedUp) {
  vltest::TempDir dir;
  const auto file = dir / "registry";
  const std::string damaged =
      "VLREGISTRY 1\n"
      "\"orphan\"=sz:\"before any key\"\n"
      "[HKEY_CURRENT_USER\\Good]\n"
      "\"a\"=sz:\"kept\"\n"
      "\"b\"=dword:12x\n"
      "\"c\"=hex:4\n"
      "\"d\"=sz:\"unterminated\n"
      "\"e\"=hex(99999999999):00\n"
      "\xFF\xFE garbage \x01\n"
      "[NOT_A_ROOT\\Key]\n"
      "\"f\"=sz:\"lost key\"\n"
      "[HKEY_CURRENT_USER\\Good\\Sub]\n"
      "\"g\"=dword:7\n"
      "\"h\"=sz:\"bad \\xZZ escape\"\n";
  vltest::WriteFileBytes(file, damaged);
  RegistryStore s(Q(file));
  EXPECT_EQ(s.Read(RegRoot::CurrentUser, "Good", "a")->data, "kept");
  EXPECT_EQ(s.Read(RegRoot::CurrentUser, "Good\\Sub", "g")->AsInteger(), 7);
  EXPECT_TRUE(s.WasDamaged());
  for (const char* v : {"b", "c", "d", "e", "h"}) EXPECT_FALSE(s.Read(RegRoot::CurrentUser, "Good", v)) << v;
  ASSERT_TRUE(s.Write(RegRoot::CurrentUser, "Good", "new", RegValue::String("n")));
  EXPECT_EQ(vltest::ReadFileBytes(dir / "registry.damaged"), damaged);
  RegistryStore again(Q(file));
  EXPECT_EQ(again.Read(RegRoot::CurrentUser, "Good", "a")->data, "kept");
  EXPECT_EQ(again.Read(RegRoot::CurrentUser, "Good", "new")->data, "n");
  EXPECT_FALSE(again.WasDamaged());

  // Random bytes never crash the reader.
  std::mt19937 rng(5);
  for (int i = 0; i < 200; ++i) {
    std::string junk = "VLREGISTRY 1\n[HKEY_USERS\\x]\n";
    for (int n = 0; n < 300; ++n) junk.push_back(static_cast<char>("[]\"=\\x:,\n@hexdwordsz0aF"[rng() % 24] ^ (rng() % 7 == 0 ? rng() : 0)));
    vltest::WriteFileBytes(file, junk);
    RegistryStore r(Q(file));
    r.ValueNames(RegRoot::Users, "x");
  }
}

TEST(WindowPlacement, SavedAndRestoredByTheRules) {
  vltest::TempDir dir;
  RegistryStore s(Q(dir / "registry"));
  const char* key = "HKEY_CURRENT_USER\\Software\\Pub\\Placement";
  const QRect current(10, 20, 640, 480);
  const QSize desktop(1920, 1080);
  EXPECT_FALSE(RestorePlacement(s, key, current, desktop, true));  // nothing stored yet
  SavePlacement(s, key, QRect(100, 50, 800, 600), true);
  EXPECT_EQ(s.Read(RegRoot::CurrentUser, "Software\\Pub", "Placement")->data, "100,50,800,600,1");
  auto p = RestorePlacement(s, key, current, desktop, true);
  ASSERT_TRUE(p);
  EXPECT_EQ(p->rect, QRect(100, 50, 800, 600));
  EXPECT_TRUE(p->maximise);
  p = RestorePlacement(s, key, current, desktop, false);  // size only with the sizeable border
  EXPECT_EQ(p->rect, QRect(100, 50, 640, 480));

  struct Case {
    const char* text;
    QRect want;
    bool maximise;
  } cases[] = {
      {"5000,6000,0,0,0", QRect(1920 - 640, 1080 - 480, 640, 480), false},  // back on the desktop
      {"x,30", QRect(10, 30, 640, 480), false},                             // missing or bad fields: current values
      {"1,2,300,200,1", QRect(1, 2, 300, 200), true},
      {"1,2,-5,0", QRect(1, 2, 640, 480), false},  // no empty or negative window
  };
  for (const auto& c : cases) {
    auto r = ParsePlacement(c.text, current, desktop, true);
    ASSERT_TRUE(r) << c.text;
    EXPECT_EQ(r->rect, c.want) << c.text;
    EXPECT_EQ(r->maximise, c.maximise) << c.text;
  }
  EXPECT_FALSE(ParsePlacement("", current, desktop, true));
  SavePlacement(s, "", QRect(), false);  // no key: nothing written, nothing fails
}
