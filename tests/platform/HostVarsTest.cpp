// The drives and system folders of this host as publications see them: the
// mount table lettered into CD-ROM and network drives, the publication's own
// drive, the Windows folders in the drive tree and the volume serial number.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "actions/Vars.h"
#include "platform/HostDrives.h"
#include "platform/HostVars.h"
#include "platform/WinPath.h"
#include "runtime/Messages.h"
#include "support/TestSupport.h"

using namespace vltest;
namespace fs = std::filesystem;

namespace {

std::string MountLine(int id, const std::string& point, const char* type, const char* source) {
  return std::to_string(id) + " 1 0:" + std::to_string(id) + " / " + point + " rw,relatime shared:" +
         std::to_string(id) + " - " + type + " " + source + " rw\n";
}

class HostVarsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(dir / "drives");
    fs::create_directories(dir / "disc" / "Setup");
    fs::create_directories(dir / "share");
    WriteFileBytes(dir / "disc" / "Setup" / "SETUP.INI", "x");
    drives = (dir / "drives").string();
    vl::DriveMap() = {drives, {}, 0};
    table = (dir / "mountinfo").string();
    WriteFileBytes(table, "");
    vl::SetMountTableFile(table);
    vl::ClearAllVariables();
  }
  void TearDown() override {
    vl::UnmapPackageDrive();
    vl::SetMountTableFile("");
    vl::DriveMap() = {};
    vl::ClearAllVariables();
  }
  // A mount table with a disc and a share mounted in the test's folder.
  void MountDiscAndShare() {
    WriteFileBytes(table, MountLine(20, "/", "ext4", "/dev/sda1") +
                              MountLine(21, (dir / "share").string(), "nfs4", "server:/export") +
                              MountLine(22, (dir / "disc").string(), "iso9660", "/dev/sr0"));
  }
  static std::string Var(const char* name) { return vl::GetVariableValue(name, 0); }

  TempDir dir;
  std::string drives, table;
};

TEST(HostDrives, MountTableGivesCdRomAndNetworkLetters) {
  const std::string text =
      "22 1 8:1 / / rw - ext4 /dev/sda1 rw\n"
      "23 22 0:5 / /proc rw - proc proc rw\n"
      "30 22 11:0 / /media/ann/MY\\040DISC ro,nosuid shared:3 - iso9660 /dev/sr0 ro\n"
      "31 22 11:1 / /media/ann/DVD ro - udf /dev/sr1 ro\n"
      "32 22 0:50 / /mnt/share rw master:4 - cifs //nas/share rw\n"
      "33 22 0:51 / /mnt/home rw - nfs4 nas:/home rw\n"
      "34 22 0:52 / /mnt/ssh rw - fuse.sshfs ann@host: rw\n"
      "35 22 8:17 / /media/ann/STICK rw - vfat /dev/sdb1 rw\n"  // a stick is no CD-ROM
      "36 22 0:50 / /mnt/share rw - cifs //nas/share rw\n"       // mounted twice: one drive
      "broken line\n"
      "37 22 0:9 / relative rw - nfs x:/y rw\n";                  // not a path: skipped
  const auto drives = vl::ParseMountInfo(text);
  std::string got;
  for (const auto& d : drives)
    got += std::string(1, d.letter) + (d.kind == vl::HostDriveKind::CdRom ? " cd " : " net ") + d.mountPoint + "\n";
  EXPECT_EQ(got,
            "d cd /media/ann/MY DISC\n"
            "e cd /media/ann/DVD\n"
            "x net /mnt/ssh\n"
            "y net /mnt/home\n"
            "z net /mnt/share\n");
  EXPECT_TRUE(vl::ParseMountInfo("").empty());
}

TEST(HostDrives, SerialNumberFromUuid) {
  struct {
    const char* uuid;
    uint32_t want;
  } cases[] = {
      {"3E6B-01AF", 0x3E6B01AFu},                             // FAT: the serial number itself
      {"1b4e28ba-2fa1-11d2-883f-0016d3cca427", 0x1B4E28BAu},  // ext4, btrfs ...
      {"0123456789ABCDEF", 0x01234567u},                      // NTFS
      {"12AB", 0},                                            // too short
      {"zz-1234", 0},
  };
  for (const auto& c : cases) EXPECT_EQ(vl::SerialFromUuid(c.uuid), c.want) << c.uuid;
  // Without listed devices the file system's id stands in: stable, and 0
  // only for a path that cannot be examined.
  TempDir dir;
  const uint32_t s = vl::VolumeSerialOf(dir.path().string(), (dir / "no-by-uuid").string());
  EXPECT_EQ(vl::VolumeSerialOf(dir.path().string(), (dir / "no-by-uuid").string()), s);
  EXPECT_EQ(vl::VolumeSerialOf((dir / "missing").string()), 0u);
}

TEST_F(HostVarsTest, NoMountsMeansNoDriveAndFoldersLieInTheDriveTree) {
  struct {
    const char* name;
    std::string want;
  } reads[] = {
      {"CDRomDrive", "Error"},
      {"NetworkDrive", "Error"},
      {"PubDrive", ""},
      {"WindowsDir", drives + "/c/Windows/"},
      {"SystemDir", drives + "/c/Windows/System32/"},
      {"ProgramFiles", drives + "/c/Program Files/"},
  };
  for (const auto& r : reads) EXPECT_EQ(Var(r.name), r.want) << r.name;
  // The folders exist, as a publication testing for them expects.
  EXPECT_TRUE(fs::is_directory(drives + "/c/Windows/System32"));
  // And "C:\Windows" names the same folder through the path layer.
  EXPECT_EQ(vl::HostFilePath("c:\\WINDOWS\\system32\\"), drives + "/c/Windows/System32/");

  const std::string serial = Var("HDSerialNum");
  EXPECT_EQ(serial.find_first_not_of("0123456789"), std::string::npos) << serial;
  EXPECT_NE(serial, "0");
}

TEST_F(HostVarsTest, MountedDiscAndShareTakeTheirLetters) {
  MountDiscAndShare();
  EXPECT_EQ(Var("CDRomDrive"), "D:");
  EXPECT_EQ(Var("NetworkDrive"), "Z:");
  // The letter names the mount point, with Windows' letter case rules.
  EXPECT_EQ(vl::HostFilePath("D:\\setup\\setup.ini"), (dir / "disc" / "Setup" / "SETUP.INI").string());
  EXPECT_EQ(vl::HostFilePath("z:\\a.txt"), (dir / "share" / "a.txt").string());
  EXPECT_EQ(vl::HostFilePath("E:\\a.txt"), drives + "/e/a.txt");  // no mount: the drive tree
  // Taken away again: the letter is the drive tree's once more.
  WriteFileBytes(table, MountLine(20, "/", "ext4", "/dev/sda1") + std::string(40, '\n'));
  EXPECT_EQ(Var("CDRomDrive"), "Error");
  EXPECT_EQ(vl::HostFilePath("D:\\x"), drives + "/d/x");
}

TEST_F(HostVarsTest, ThePublicationsDriveComesFromWhereThePackageLies) {
  MountDiscAndShare();
  fs::create_directories(drives + "/e/Pubs/Quiz");
  struct {
    std::string folder;
    const char* drive;          // [PubDrive]
    std::string rootOfDrive;    // what "\x.txt" becomes
  } cases[] = {
      {drives + "/e/Pubs/Quiz", "E:", drives + "/e/x.txt"},
      {(dir / "disc" / "Setup").string(), "D:", (dir / "disc" / "x.txt").string()},
      {(dir / "share").string(), "Z:", (dir / "share" / "x.txt").string()},
      // Elsewhere on this host: no letter, "\" is the package's own folder.
      {(dir / "elsewhere").string(), "", (dir / "elsewhere" / "x.txt").string()},
  };
  for (const auto& c : cases) {
    vl::MapPackageDrive(c.folder);
    EXPECT_EQ(Var("PubDrive"), c.drive) << c.folder;
    EXPECT_EQ(vl::HostFilePath("\\x.txt"), c.rootOfDrive) << c.folder;
  }
  // The variable store now names files through the path layer: [CurrentDir]
  // takes a Windows path into the drive tree, and a missing one is refused
  // with message 304, the current folder unchanged.
  const std::string before = Var("CurrentDir");
  vl::SetVariable("[CurrentDir]", "E:\\Pubs\\quiz");
  EXPECT_EQ(Var("CurrentDir"), drives + "/e/Pubs/Quiz/");
  EXPECT_EQ(Var("LastError"), "");
  vl::SetVariable("[CurrentDir]", "E:\\No\\Such\\Folder");
  EXPECT_EQ(Var("LastError"), vl::Msg(304));
  EXPECT_EQ(Var("CurrentDir"), drives + "/e/Pubs/Quiz/");
  std::filesystem::current_path(before);
}

}  // namespace
