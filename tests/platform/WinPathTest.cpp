// The path layer: separators, drives, the publication's drive, letter case
// and device names.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "platform/HostDrives.h"
#include "platform/WinPath.h"
#include "runtime/Package.h"
#include "support/TestSupport.h"

using namespace vltest;

namespace {

class WinPathTest : public ::testing::Test {
 protected:
  void SetUp() override {
    drives = (dir / "drives").string();
    pkg = (dir / "pkg").string();
    std::filesystem::create_directories(dir / "pkg" / "Data");
    WriteFileBytes(dir / "pkg" / "Data" / "Scores.TXT", "1");
    WriteFileBytes(dir / "pkg" / "Data" / "b.txt", "1");
    WriteFileBytes(dir / "pkg" / "Data" / "B.TXT", "1");
    vl::DriveMap() = {drives, pkg, 0};
    vl::SetMountTableFile("/dev/null");  // no disc or share takes a letter here
  }
  void TearDown() override {
    vl::DriveMap() = {};
    vl::SetMountTableFile("");
  }
  // "@D" stands for the drive root, "@P" for the package folder.
  std::string Expand(std::string s) const {
    if (s.rfind("@D", 0) == 0) s = drives + s.substr(2);
    if (s.rfind("@P", 0) == 0) s = pkg + s.substr(2);
    return s;
  }
  TempDir dir;
  std::string drives, pkg;
};

TEST_F(WinPathTest, MapsWindowsNamesIntoTheTrees) {
  struct Case {
    const char* in;
    const char* want;
  } cases[] = {
      {"/usr/share/x.txt", "/usr/share/x.txt"},          // a host path as given
      {"/tmp\\sub\\f.txt", "/tmp/sub/f.txt"},            // both separators
      {"C:\\Windows\\win.ini", "@D/c/Windows/win.ini"},  // a drive letter
      {"c:/a//b\\", "@D/c/a/b/"},                        // doubled and trailing separators
      {"E:", "@D/e"},
      {"C:\\..\\..\\etc\\passwd", "@D/c/etc/passwd"},    // ".." stops at the drive's root
      {"C:\\a\\.\\b\\..\\c.txt", "@D/c/a/c.txt"},
      {"\\Data\\new.txt", "@P/Data/new.txt"},            // the publication's drive
      {"\\..\\..\\x", "@P/x"},
      {"\\\\server\\share\\f.txt", "@D/unc/server/share/f.txt"},
      {"rel\\f.txt", "rel/f.txt"},                       // relative to the current folder
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(vl::HostFilePath(c.in), Expand(c.want)) << c.in;
  struct stat st {};
  EXPECT_EQ(::stat((drives + "/c").c_str(), &st), 0) << "the drive's folder is made on first use";
  EXPECT_NE(::stat((drives + "/c/Windows").c_str(), &st), 0) << "but nothing below it";
}

TEST_F(WinPathTest, ThePublicationsDriveIsThePackageFolder) {
  vl::DriveMap().packageDrive = 'd';
  EXPECT_EQ(vl::HostFilePath("D:\\Data\\Scores.TXT"), pkg + "/Data/Scores.TXT");
  EXPECT_EQ(vl::HostFilePath("d:\\..\\x"), pkg + "/x");
  EXPECT_EQ(vl::HostFilePath("C:\\x"), drives + "/c/x");
}

TEST_F(WinPathTest, NamesIgnoreCaseButNewOnesKeepTheAuthorsCase) {
  struct Case {
    const char* in;
    const char* want;
  } cases[] = {
      {"\\DATA\\scores.txt", "@P/Data/Scores.TXT"},
      {"\\data\\SCORES.TXT", "@P/Data/Scores.TXT"},
      {"\\Data\\b.txt", "@P/Data/b.txt"},    // exists as written
      {"\\Data\\b.Txt", "@P/Data/B.TXT"},    // first of two matches in name order
      {"\\daTA\\NewFile.Txt", "@P/Data/NewFile.Txt"},
      {"\\NewDir\\Sub\\F.txt", "@P/NewDir/Sub/F.txt"},
  };
  for (const auto& c : cases) EXPECT_EQ(vl::HostFilePath(c.in), Expand(c.want)) << c.in;
  // Host paths look up case the same way.
  EXPECT_EQ(vl::HostFilePath(pkg + "/data/scores.txt"), pkg + "/Data/Scores.TXT");
  // The lexical form looks nothing up.
  EXPECT_EQ(vl::HostFilePathLexical("\\DATA\\scores.txt"), pkg + "/DATA/scores.txt");
}

TEST_F(WinPathTest, DeviceNamesNeverBecomeFiles) {
  for (const char* dev : {"COM1", "com4", "LPT1", "lpt9", "NUL", "nul.txt", "CON", "Con.log", "PRN", "AUX",
                          "C:\\data\\nul", "\\x\\COM2.dat", "COM1:"}) {
    EXPECT_TRUE(vl::IsDeviceName(dev)) << dev;
    EXPECT_EQ(vl::HostFilePath(dev), "") << dev;
  }
  for (const char* file : {"COM10", "COM0", "console.txt", "nullify", "C:", "LPT", "C:\\NUL\\x.txt", "aux1"})
    EXPECT_FALSE(vl::IsDeviceName(file)) << file;
}

}  // namespace
