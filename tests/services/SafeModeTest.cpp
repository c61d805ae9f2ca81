// Safe mode: a publication's files stay in its own folders (links and ".."
// followed), its registry lies apart from the user's, and the commands that
// reach beyond the player are refused with a message that says so.
#include <gtest/gtest.h>

#include <unistd.h>

#include <QString>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "actions/Vars.h"
#include "platform/RegistryStore.h"
#include "platform/SafeMode.h"
#include "platform/WinPath.h"
#include "runtime/NativePath.h"
#include "runtime/Package.h"
#include "services/RegistryCommands.h"
#include "services/SafeModeCommands.h"
#include "support/ActionRunner.h"
#include "support/TestSupport.h"

using namespace vltest;
namespace fs = std::filesystem;

namespace {

class SafeMode : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(dir / "pub");
    fs::create_directories(dir / "extract");
    fs::create_directories(dir / "outside");
    WriteFileBytes(dir / "outside" / "secret.txt", "secret");
    WriteFileBytes(dir / "pub" / "mine.txt", "mine");
    ::symlink((dir / "outside").c_str(), (dir / "pub" / "link").c_str());
    oldData = std::getenv("XDG_DATA_HOME") ? std::getenv("XDG_DATA_HOME") : "";
    ::setenv("XDG_DATA_HOME", (dir / "data").c_str(), 1);
    vl::DriveMap() = {(dir / "drives").string(), {}, 0};
    vl::ThePackage().SetHostFolder(Pub());
    vl::ApplySafeMode(Pub() + "/quiz.pkg", Pub(), vl::FromNativePath((dir / "extract").string()));
  }
  void TearDown() override {
    vl::LeaveSafeMode();
    vl::DriveMap() = {};
    vl::ThePackage().SetHostFolder("");
    if (oldData.empty()) ::unsetenv("XDG_DATA_HOME");
    else ::setenv("XDG_DATA_HOME", oldData.c_str(), 1);
  }
  std::string Pub() const { return vl::FromNativePath((dir / "pub").string()); }
  std::string Outside(const char* name) const { return (dir / "outside" / name).string(); }

  TempDir dir;
  std::string oldData;
};

TEST_F(SafeMode, FilesStayInThePublicationsFolders) {
  const std::string data = vl::SafeDataFolder();
  ASSERT_EQ(data.rfind((dir / "data" / "vellion" / "safe").string() + "/quiz_pkg-", 0), 0u) << data;
  // Allowed: beside the package, the extraction folder, the drive letters
  // (a tree inside the data folder).
  ActionRun r = RunActionText(
      "FileWrite \"new.txt\" \"1\" \"a\"\nFileRead \"mine.txt\" \"1\" \"[mine]\"\n"
      "FileWrite \"!" + (dir / "extract" / "x.txt").string() + "\" \"1\" \"x\"\n"
      "FileWrite \"!C:\\n.txt\" \"1\" \"n\"\nFileRead \"!c:\\N.TXT\" \"1\" \"[n]\"");
  EXPECT_EQ(r.LastError(), "");
  EXPECT_EQ(r.Var("mine"), "mine");
  EXPECT_EQ(r.Var("n"), "n");
  EXPECT_EQ(ReadFileBytes(dir / "pub" / "new.txt"), "a");
  EXPECT_EQ(ReadFileBytes(fs::path(data) / "drives" / "c" / "n.txt"), "n");
  EXPECT_FALSE(fs::exists(dir / "drives"));  // the user's drive tree is not touched

  // Refused: a host path outside, ".." out of the folder, a link inside that
  // leads out, a copy out, a port. Nothing is read, written or removed.
  struct {
    std::string action;
    std::string what;  // what the message names
  } refused[] = {
      {"FileToVar \"!" + Outside("secret.txt") + "\" \"[v]\"", Outside("secret.txt")},
      {"FileRead \"!" + (dir / "pub").string() + "/../outside/secret.txt\" \"1\" \"[v]\"",
       (dir / "pub").string() + "/../outside/secret.txt"},
      {"FileRead \"!" + (dir / "pub").string() + "\\link\\secret.txt\" \"ALL\" \"[v]\"", (dir / "pub" / "link" / "secret.txt").string()},
      {"FileWrite \"!" + Outside("new.txt") + "\" \"1\" \"x\"", Outside("new.txt")},
      {"FileCopy \"mine.txt\" \"" + Outside("copy.txt") + "\"", Outside("copy.txt")},
      {"FileErase \"!" + Outside("secret.txt") + "\"", Outside("secret.txt")},
      {"FileWrite \"COM1\" \"1\" \"x\"", "/dev/ttyS0"},
  };
  for (const auto& c : refused) {
    r = RunActionText("SetVar \"[v]\" \"kept\"\n" + c.action);
    EXPECT_EQ(r.LastError(), "Safe mode refused " + c.action.substr(0, c.action.find(' ')) + ": " + c.what) << c.action;
    EXPECT_EQ(r.Var("v"), "kept") << c.action;
    EXPECT_EQ(r.TraceOf("error").size(), 1u) << c.action << ": reported once, as the refusal";
  }
  // The current folder cannot be moved out either (the player names the
  // store's files through the path layer).
  const fs::path cwd = fs::current_path();
  vl::VarsEnv().hostPath = [](const vl::AnsiString& n) { return vl::HostFilePath(n); };
  vl::SetVariable("[CurrentDir]", (dir / "outside").string());
  EXPECT_EQ(vl::GetVariableValue("LastError", 0), "Safe mode refused " + (dir / "outside").string());
  EXPECT_EQ(fs::current_path(), cwd);
  vl::VarsEnv().hostPath = nullptr;
  vl::ClearAllVariables();
  EXPECT_EQ(ReadFileBytes(dir / "outside" / "secret.txt"), "secret");
  EXPECT_FALSE(fs::exists(dir / "outside" / "new.txt"));
  EXPECT_FALSE(fs::exists(dir / "outside" / "copy.txt"));
}

TEST_F(SafeMode, RegistryIsThePublicationsOwnAndOtherProgramsAreRefused) {
  ActionRun r = RunActionText(
      "RegistryWrite \"HKEY_CURRENT_USER\" \"Software\\Quiz\\Score\" \"9\"\n"
      "RegistryRead \"HKEY_CURRENT_USER\" \"Software\\Quiz\\Score\" \"[score]\"");
  EXPECT_EQ(r.Var("score"), "9");
  EXPECT_EQ(vl::ActionRegistry().FilePath().toStdString(), vl::SafeDataFolder() + "/registry");
  EXPECT_TRUE(fs::exists(vl::SafeDataFolder() + "/registry"));

  for (const char* line : {"Run \"xterm\" \"\" \"\"", "DOSCommand \"DIR\" \"\" \"\"", "SendKeys \"abc\" \"\"",
                           "DownloadFile \"http://127.0.0.1/x\" \"x\" \"\"", "SetMousePos \"1\" \"1\""}) {
    r = RunActionText(std::string(line) + "\nSetVar \"[after]\" \"went on\"");
    const std::string name = std::string(line).substr(0, std::string(line).find(' '));
    EXPECT_EQ(r.LastError(), "Safe mode refused " + name) << line;
    EXPECT_EQ(r.Var("after"), "went on") << line;
  }
}

}  // namespace
