// With every subsystem linked, each special variable of the list has its
// provider (else it would read as empty without notice), and the ones this
// host answers by itself read as they should.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>

#include "actions/SpecialVarCheck.h"
#include "actions/Vars.h"
#include "platform/HostDrives.h"
#include "platform/WinPath.h"
#include "runtime/Messages.h"
#include "support/TestSupport.h"

using namespace vl;

TEST(SpecialVarProviders, EveryNameIsProvidedAndOnlyWritableOnesTakeWrites) {
  std::string problems;
  for (const auto& p : SpecialVarProblems()) problems += p + "\n";
  EXPECT_EQ(problems, "");
  // The list finds each name at its own place (the place selects the value).
  for (int i = 0; i < kSpecialVarCount; ++i)
    EXPECT_EQ(SpecialVarIndex(SpecialVarTable()[i].name), i) << SpecialVarTable()[i].name;
}

TEST(SpecialVarProviders, WhatThisHostAnswers) {
  ClearAllVariables();
  // The drives and folders are those of a drive tree of the test's own
  // (platform/HostVarsTest.cpp tests them); nothing is made in the user's.
  vltest::TempDir dir;
  DriveMap() = {(dir / "drives").string(), {}, 0};
  SetMountTableFile("/dev/null");
  EXPECT_EQ(GetVariableValue("FocusedObject", 0), "");
  EXPECT_EQ(GetVariableValue("CDRomDrive", 0), "Error");
  EXPECT_EQ(GetVariableValue("SystemDir", 0), (dir / "drives").string() + "/c/Windows/System32/");

  const AnsiString serial = GetVariableValue("HDSerialNum", 0);
  EXPECT_FALSE(serial.empty());
  EXPECT_TRUE(std::all_of(serial.begin(), serial.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); }))
      << serial;
  EXPECT_EQ(GetVariableValue("HDSerialNum", 0), serial);
  DriveMap() = {};
  SetMountTableFile("");

  // [MailServer] keeps what is written for the mail commands.
  SetVariable("[MailServer]", "mail.local");
  EXPECT_EQ(GetVariableValue("MailServer", 0), "mail.local");
  EXPECT_EQ(MailServerName(), "mail.local");
  EXPECT_EQ(GetVariableValue("LastError", 0), "");
  SetVariable("[MailServer]", "");
  EXPECT_EQ(MailServerName(), "");
  ClearAllVariables();
}

// Every name of the list, as the store treats it: a read-only one refuses a
// write with message 229 and no variable of that name comes to be; a
// writable one takes its own value back without complaint; none can be
// declared, globally or locally (message 329).
TEST(SpecialVarProviders, WritesAndDeclarationsFollowTheList) {
  ClearAllVariables();
  vltest::TempDir dir;
  DriveMap() = {(dir / "drives").string(), {}, 0};
  SetMountTableFile("/dev/null");
  for (int i = 0; i < kSpecialVarCount; ++i) {
    const SpecialVarDef& d = SpecialVarTable()[i];
    const std::string name = d.name;
    SetVariable("[LastError]", "");
    if (d.writable) {
      SetVariable("[" + name + "]", GetVariableValue(name, 0));
      EXPECT_EQ(GetVariableValue("LastError", 0), "") << name;
    } else {
      SetVariable("[" + name + "]", "written");
      EXPECT_EQ(GetVariableValue("LastError", 0), Msg(229) + " [" + name + "].") << name;
    }
    EXPECT_EQ(GlobalVars().Find(name), nullptr) << name;
    for (bool local : {false, true}) {
      SetVariable("[LastError]", "");
      EXPECT_FALSE(DefineVariable("[" + name + "]", "Integer", "", local)) << name;
      EXPECT_EQ(GetVariableValue("LastError", 0), Msg(329) + "\"[" + name + "]\".") << name;
      EXPECT_EQ(GlobalVars().Find(name), nullptr) << name;
      EXPECT_TRUE(!LocalVars() || !LocalVars()->Find(name)) << name;
    }
  }
  DriveMap() = {};
  SetMountTableFile("");
  ClearAllVariables();
}
