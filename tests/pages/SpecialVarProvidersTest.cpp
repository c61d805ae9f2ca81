// With every subsystem linked, each special variable of the list has its
// provider (else it would read as empty without notice), and the ones this
// host answers by itself read as they should.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>

#include "actions/SpecialVarCheck.h"
#include "actions/Vars.h"

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
  struct {
    const char* name;
    const char* want;
  } reads[] = {
      {"CDRomDrive", "Error"},  // no drive letters here
      {"NetworkDrive", "Error"}, {"PubDrive", ""},          {"SystemDir", "/usr/lib/"},
      {"WindowsDir", "/usr/"},   {"ProgramFiles", "/opt/"}, {"FocusedObject", ""},
  };
  for (const auto& r : reads) EXPECT_EQ(GetVariableValue(r.name, 0), r.want) << r.name;

  const AnsiString serial = GetVariableValue("HDSerialNum", 0);
  EXPECT_FALSE(serial.empty());
  EXPECT_TRUE(std::all_of(serial.begin(), serial.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); }))
      << serial;
  EXPECT_EQ(GetVariableValue("HDSerialNum", 0), serial);

  // [MailServer] keeps what is written for the mail commands.
  SetVariable("[MailServer]", "mail.local");
  EXPECT_EQ(GetVariableValue("MailServer", 0), "mail.local");
  EXPECT_EQ(MailServerName(), "mail.local");
  EXPECT_EQ(GetVariableValue("LastError", 0), "");
  SetVariable("[MailServer]", "");
  EXPECT_EQ(MailServerName(), "");
  ClearAllVariables();
}
