// The file and folder commands, run as action texts against a temporary
// publication folder and drive tree.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "actions/CmdTestSupport.h"
#include "platform/WinPath.h"
#include "runtime/Global.h"
#include "runtime/Messages.h"
#include "runtime/NativePath.h"
#include "runtime/Package.h"
#include "runtime/PackageWriter.h"
#include "support/ActionRunner.h"
#include "support/TestSupport.h"

using namespace vltest;
namespace fs = std::filesystem;

namespace {

class FileCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    pub = dir / "pub";
    fs::create_directories(pub);
    vl::DriveMap() = {(dir / "drives").string(), {}, 0};
    vl::ThePackage().SetHostFolder(vl::FromNativePath(pub.string()));
  }
  void TearDown() override {
    vl::DriveMap() = {};
    vl::ThePackage().SetHostFolder("");
  }
  std::string Read(const char* name) const { return ReadFileBytes(pub / name); }
  void Write(const char* name, std::string_view bytes) const { WriteFileBytes(pub / name, bytes); }
  std::string Pub() const { return vl::FromNativePath(pub.string()); }

  TempDir dir;
  fs::path pub;
};

TEST_F(FileCommands, FileWriteBuildsLinesAsTheFileFormatSays) {
  struct Case {
    const char* name;
    std::string before;  // "\x01" = no file
    const char* action;
    std::string after;
  } cases[] = {
      {"line 5 of two lines", "a\r\nb", "FileWrite \"t.txt\" \"5\" \"e\"", "a\r\nb\r\n\r\n\r\ne"},
      {"replace keeps the others", "a\r\nb\r\nc", "FileWrite \"t.txt\" \"2\" \"B\"", "a\r\nB\r\nc"},
      {"LF and CR lines read too", "a\nb\rc", "FileWrite \"t.txt\" \"3\" \"C\"", "a\r\nb\r\nC"},
      {"new file", "\x01", "FileWrite \"t.txt\" \"1\" \"x\"", "x"},
      {"two lines stay on one", "", "SetVar \"[v]\" \"!p[#13][#10]q\"\nFileWrite \"t.txt\" \"1\" \"[v]\"", "p|q"},
      {"whole file turns | into breaks", "old", "FileWrite \"t.txt\" \"ALL\" \"p|q\"", "p\r\nq"},
      {"whole file, literal", "old", "FileWrite \"t.txt\" \"all\" \"!p|q\"", "p|q"},
      {"append after CR LF", "a\r\n", "FileWrite \"t.txt\" \"APPEND\" \"b\"", "a\r\nb"},
      {"append after a lone LF", "a\n", "FileWrite \"t.txt\" \"append\" \"b\"", "a\nb"},
      {"append without a break", "a", "FileWrite \"t.txt\" \"0\" \"b\"", "a\r\nb"},
      {"append to an empty file", "", "FileWrite \"t.txt\" \"APPEND\" \"b\"", "b"},
      {"append to a missing file", "\x01", "FileWrite \"t.txt\" \"APPEND\" \"b\"", "b"},
      {"bytes stay 8-bit", "", "FileWrite \"t.txt\" \"1\" \"caff\xE8\"", "caff\xE8"},
      {"insert", "a\r\nb", "FileInsLine \"t.txt\" \"2\"", "a\r\n\r\nb"},
      {"insert beyond the end", "a", "FileInsLine \"t.txt\" \"3\"", "a\r\n\r\n\r\n"},
      {"delete", "a\r\nb\r\nc\r\n", "FileDelLine \"t.txt\" \"2\"", "a\r\nc"},
      {"delete beyond the end leaves the file", "a\r\nb\r\n", "FileDelLine \"t.txt\" \"3\"", "a\r\nb\r\n"},
      {"delete of line 0 leaves the file", "a\r\nb\r\n", "FileDelLine \"t.txt\" \"0\"", "a\r\nb\r\n"},
      {"insert of line -1 never empties the file", "a", "FileInsLine \"t.txt\" \"-1\"", "a\r\n"},
      {"a written path is cut to its name", "\x01", "FileWrite \"C:\\elsewhere\\t.txt\" \"1\" \"z\"", "z"},
  };
  for (const auto& c : cases) {
    std::error_code ec;
    fs::remove(pub / "t.txt", ec);
    if (c.before != "\x01") Write("t.txt", c.before);
    ActionRun r = RunActionText(c.action);
    EXPECT_EQ(Read("t.txt"), c.after) << c.name;
    EXPECT_EQ(r.LastError(), "") << c.name;
  }
}

TEST_F(FileCommands, FileReadReadsLinesAndWholeFiles) {
  Write("r.txt", "one\r\ntwo|half\nthree\rfour");
  ActionRun r = RunActionText(
      "FileRead \"r.txt\" \"1\" \"[a]\"\nFileRead \"r.txt\" \"2\" \"[b]\"\nFileRead \"r.txt\" \"4\" \"[d]\"\n"
      "FileRead \"r.txt\" \"9\" \"[e]\"\nFileRead \"r.txt\" \"ALL\" \"[all]\"\nFileRead \"r.txt\" \"0\" \"[zero]\"\n"
      "FileLen \"r.txt\" \"[n]\"\nFileLen \"missing.txt\" \"[m]\"\nFileToVar \"r.txt\" \"[tv]\"");
  EXPECT_EQ(r.Var("a"), "one");
  EXPECT_EQ(r.Var("b"), "two\r\nhalf");
  EXPECT_EQ(r.Var("d"), "four");
  EXPECT_FALSE(r.Has("e"));
  EXPECT_EQ(r.Var("all"), "one\r\ntwo|half\nthree\rfour");
  EXPECT_EQ(r.Var("zero"), r.Var("all"));
  EXPECT_EQ(r.Var("n"), "4");
  EXPECT_EQ(r.Var("m"), "0");
  EXPECT_EQ(r.Var("tv"), r.Var("all"));
  EXPECT_EQ(r.LastError(), "");

  Write("e.txt", "");
  Write("brk.txt", "x\r\n");
  r = RunActionText("FileLen \"e.txt\" \"[e]\"\nFileLen \"brk.txt\" \"[b]\"");
  EXPECT_EQ(r.Var("e"), "0");
  EXPECT_EQ(r.Var("b"), "1");

  r = RunActionText("SetVar \"[x]\" \"old\"\nFileRead \"nothere.txt\" \"1\" \"[x]\"");
  EXPECT_EQ(r.LastError(), vl::ErrorText(2));
  EXPECT_EQ(r.Var("x"), "old");
  r = RunActionText("FileRead \"!" + Pub() + "/nodir/x.txt\" \"1\" \"[x]\"");
  EXPECT_EQ(r.LastError(), vl::ErrorText(3));
}

// Reading on from where the last read stopped must never give the lines of a
// file as it was before: a write within the same clock tick keeps the time.
TEST_F(FileCommands, TheLineCacheNeverReadsAStaleFile) {
  Write("c.txt", "l1\r\nl2\r\nl3\r\nl4\r\nl5");
  ActionRun r = RunActionText("FileRead \"c.txt\" \"3\" \"[a]\"\nFileRead \"c.txt\" \"4\" \"[b]\"");
  EXPECT_EQ(r.Var("a"), "l3");
  EXPECT_EQ(r.Var("b"), "l4");
  // Our own write, then another program's write of the same size with the
  // time put back.
  r = RunActionText(
      "FileRead \"c.txt\" \"2\" \"[a]\"\nFileWrite \"c.txt\" \"3\" \"L3\"\nFileRead \"c.txt\" \"3\" \"[b]\"");
  EXPECT_EQ(r.Var("a"), "l2");
  EXPECT_EQ(r.Var("b"), "L3");
  r = RunActionText("FileRead \"c.txt\" \"1\" \"[a]\"");
  struct stat before {};
  ASSERT_EQ(::stat((pub / "c.txt").c_str(), &before), 0);
  Write("c.txt", "m1\r\nm2\r\nX3\r\nm4\r\nm5");
  const struct timespec times[2] = {before.st_atim, before.st_mtim};
  ASSERT_EQ(::utimensat(AT_FDCWD, (pub / "c.txt").c_str(), times, 0), 0);
  r = RunActionText("FileRead \"c.txt\" \"2\" \"[b]\"");
  EXPECT_EQ(r.Var("b"), "m2");
  // Reading backwards starts again from the top.
  r = RunActionText("FileRead \"c.txt\" \"5\" \"[a]\"\nFileRead \"c.txt\" \"1\" \"[b]\"");
  EXPECT_EQ(r.Var("a"), "m5");
  EXPECT_EQ(r.Var("b"), "m1");
}

TEST_F(FileCommands, CopyEraseSizeAndExistence) {
  Write("src.txt", std::string("a\0b\xFF", 4));
  fs::create_directories(pub / "sub");
  ActionRun r = RunActionText("FileCopy \"src.txt\" \"copy.txt\"\nFileSize \"copy.txt\" \"[s]\"\n"
                              "FileExists \"COPY.TXT\" \"[e]\"\nFolderExists \"" + Pub() + "/SUB\" \"[f]\"\n"
                              "FolderExists \"  \" \"[g]\"\nFileExists \"sub\" \"[h]\"");
  EXPECT_EQ(Read("copy.txt"), std::string("a\0b\xFF", 4));
  EXPECT_EQ(r.Var("s"), "4");
  EXPECT_EQ(r.Var("e"), "True");
  EXPECT_EQ(r.Var("f"), "True");
  EXPECT_EQ(r.Var("g"), "False");
  EXPECT_EQ(r.Var("h"), "False");
  EXPECT_EQ(r.LastError(), "");
  struct stat s1 {}, s2 {};
  ::stat((pub / "src.txt").c_str(), &s1);
  ::stat((pub / "copy.txt").c_str(), &s2);
  EXPECT_EQ(s1.st_mtim.tv_sec, s2.st_mtim.tv_sec) << "the copy keeps the source's time";

  struct Case {
    const char* name;
    std::string action;
    std::string lastError;
  } cases[] = {
      {"copy onto itself", "FileCopy \"src.txt\" \"SRC.TXT\"", vl::Msg(300)},
      {"copy onto itself named another way",
       "FileCopy \"" + Pub() + "/src.txt\" \"" + Pub() + "/sub/../src.txt\"", vl::Msg(300)},
      {"copy without a name", "FileCopy \"\" \"x.txt\"", vl::Msg(301)},
      {"copy of a missing file", "FileCopy \"none.txt\" \"x.txt\"", vl::ErrorText(2)},
      {"copy into a missing folder", "FileCopy \"src.txt\" \"" + Pub() + "/nodir/x.txt\"", vl::ErrorText(5)},
      {"erase a missing file", "FileErase \"none.txt\"", vl::ErrorText(2)},
      {"erase a folder", "FileErase \"sub\"", vl::ErrorText(2)},
      {"erase without a name", "FileErase \"\"", vl::ErrorText(2)},
      {"size of a missing file", "FileSize \"none.txt\" \"[s]\"", vl::ErrorText(2)},
      {"size in a missing folder", "FileSize \"" + Pub() + "/nodir/x\" \"[s]\"", vl::ErrorText(3)},
  };
  for (const auto& c : cases) EXPECT_EQ(RunActionText(c.action).LastError(), c.lastError) << c.name;
  EXPECT_EQ(Read("src.txt"), std::string("a\0b\xFF", 4)) << "the source survives a copy onto itself";

  r = RunActionText("FileCopy \"src.txt\" \"" + Pub() + "/sub\\\"\nFileErase \"copy.txt\"\nFileExists \"copy.txt\" \"[e]\"");
  EXPECT_EQ(ReadFileBytes(pub / "sub" / "src.txt"), std::string("a\0b\xFF", 4)) << "a folder gets the source's name";
  EXPECT_EQ(r.Var("e"), "False");
  EXPECT_EQ(r.LastError(), "");
}

TEST_F(FileCommands, FoldersAreMadeRemovedAndListed) {
  ActionRun r = RunActionText("CreateFolder \"C:\\Games\\Quiz\\Data\\\"\nFolderExists \"c:\\games\\QUIZ\" \"[f]\"");
  EXPECT_TRUE(fs::is_directory(dir / "drives" / "c" / "Games" / "Quiz" / "Data"));
  EXPECT_EQ(r.Var("f"), "True");
  EXPECT_EQ(r.LastError(), "");

  WriteFileBytes(dir / "drives" / "c" / "Games" / "Quiz" / "Data" / "a.txt", "1");
  r = RunActionText("RemoveFolder \"C:\\Games\\Quiz\\Data\"");
  EXPECT_EQ(r.LastError(), "\"C:\\Games\\Quiz\\Data\"||" + vl::Msg(316));
  fs::remove(dir / "drives" / "c" / "Games" / "Quiz" / "Data" / "a.txt");
  r = RunActionText("RemoveFolder \"C:\\Games\\Quiz\\Data\"");
  EXPECT_EQ(r.LastError(), "");
  EXPECT_FALSE(fs::exists(dir / "drives" / "c" / "Games" / "Quiz" / "Data"));
  r = RunActionText("CreateFolder \"\"");
  EXPECT_EQ(r.LastError(), vl::ErrorText(3));

  fs::create_directories(pub / "list" / "Sub.d");
  fs::create_directories(pub / "list" / "other");
  for (const char* n : {"b.TXT", "A.txt", "c.doc", "d.bmp", "x1.txt", "x22.txt"})
    WriteFileBytes(pub / "list" / n, "");
  const std::string L = Pub() + "/list/";
  struct Case {
    const char* name;
    std::string pattern, options, want;
  } cases[] = {
      {"one mask, sorted without case", L + "*.txt", "", "A.txt\rb.TXT\rx1.txt\rx22.txt"},
      {"two masks", L + "*.doc|*.bmp", "", "c.doc\rd.bmp"},
      {"question mark", L + "x?.txt", "", "x1.txt"},
      {"sets and ranges", L + "[a-c].*", "", "A.txt\rb.TXT\rc.doc"},
      {"negated set", L + "[!a-c]*.*", "", "d.bmp\rx1.txt\rx22.txt"},
      {"unreadable mask", L + "[a-c", "", ""},
      {"folders only", L + "*", "folders", "other\rSub.d"},
      {"folders and files", L + "*.d|*.doc", "FOLDERS FILES", "c.doc\rSub.d"},
      {"without extensions", L + "*.txt", "noext", "A\rb\rx1\rx22"},
  };
  for (const auto& c : cases) {
    // Brackets in an action's text name variables: a mask with a set comes
    // from a file.
    Write("mask.txt", c.pattern);
    r = RunActionText("FileRead \"mask.txt\" \"ALL\" \"[m]\"\nFileList \"[m]\" \"" + c.options + "\" \"[v]\"");
    EXPECT_EQ(r.Var("v"), c.want) << c.name;
    EXPECT_EQ(r.LastError(), "") << c.name;
  }
  r = RunActionText("FileList \"" + Pub() + "/nodir/*.*\" \"\" \"[v]\"");
  EXPECT_EQ(r.LastError(), vl::ErrorText(3));
}

TEST_F(FileCommands, DevicesNeverBecomeFiles) {
  ActionRun r = RunActionText("SetVar \"[LastError]\" \"before\"\nFileWrite \"com1\" \"1\" \"x\"\n"
                              "FileWrite \"NUL\" \"1\" \"x\"\nFileWrite \"C:\\LPT2.txt\" \"APPEND\" \"x\"");
  EXPECT_EQ(r.LastError(), "before");
  for (const char* n : {"com1", "COM1", "NUL", "LPT2.txt"}) EXPECT_FALSE(fs::exists(pub / n)) << n;
  EXPECT_FALSE(fs::exists(dir / "drives" / "c" / "LPT2.txt"));
}

// A file another writer holds locked is waited for, then refused with 5;
// the file is left as it was.
TEST_F(FileCommands, ALockedFileIsWaitedForThenRefused) {
  Write("held.txt", "a\r\nb");
  const int fd = ::open((pub / "held.txt").c_str(), O_RDWR);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::flock(fd, LOCK_EX), 0);
  ActionRun r = RunActionText("FileWrite \"held.txt\" \"1\" \"x\"");
  EXPECT_EQ(r.LastError(), vl::ErrorText(5));
  ::close(fd);
  EXPECT_EQ(Read("held.txt"), "a\r\nb");
  r = RunActionText("FileWrite \"held.txt\" \"1\" \"x\"");
  EXPECT_EQ(r.LastError(), "");
  EXPECT_EQ(Read("held.txt"), "x\r\nb");
}

// A name holding a NUL byte (from a variable) names no file: it must not
// reach the shorter name before the NUL.
TEST_F(FileCommands, ANameWithANulByteIsRefused) {
  Write("a.txt", "keep");
  vl::AnsiString name = "a.txt";
  name.push_back('\0');
  name += "x";
  EXPECT_EQ(vl::HostFilePath(name), "");
  Write("name.txt", name);
  ActionRun r = RunActionText("FileRead \"name.txt\" \"ALL\" \"[n]\"\nFileWrite \"[n]\" \"ALL\" \"lost\"\nSetVar \"[w]\" \"[LastError]\"\n"
                    "FileErase \"[n]\"");
  EXPECT_EQ(r.Var("w"), vl::ErrorText(3));
  EXPECT_EQ(r.LastError(), vl::ErrorText(2));
  EXPECT_EQ(Read("a.txt"), "keep");
}

// Files packaged with the publication: existence, size, extraction, reading.
TEST_F(FileCommands, PackagedFiles) {
  vl::PackageWriter w;
  w.AddEntry({"embedded:\\\\\\data.txt", 0, "hello\r\nworld!", true});
  w.AddEntry({"C:\\authoring\\raw.bin", 0, std::string("r\0w", 3), false});
  const std::string path = (pub / "pub.pkg").string();
  fs::create_directories(pub / "sub");
  WriteFileBytes(path, w.Build());
  ASSERT_EQ(vl::ThePackage().OpenPackage(vl::FromNativePath(path)), vl::kPackageOpen);
  ActionRun r = RunActionText(
      "FileExists \"[Embedded]data.txt\" \"[e1]\"\nFileExists \"[Embedded]none.txt\" \"[e2]\"\n"
      "FileSize \"[Embedded]data.txt\" \"[s1]\"\nFileSize \"[Embedded]raw.bin\" \"[s2]\"\n"
      "FileToVar \"[Embedded]data.txt\" \"[tv]\"\n"
      "SetVar \"[LastError]\" \"kept\"\n"
      "ExtractFile \"data.txt\" \"out.txt\"\nExtractFile \"raw.bin\" \"" + Pub() + "/sub\\\"\n"
      "ExtractFile \"missing.bin\" \"empty.bin\"");
  EXPECT_EQ(r.Var("e1"), "True");
  EXPECT_EQ(r.Var("e2"), "False");
  EXPECT_EQ(r.Var("s1"), "13");
  EXPECT_EQ(r.Var("s2"), "");
  EXPECT_EQ(r.Var("tv"), "hello\r\nworld!");
  EXPECT_EQ(r.LastError(), "kept") << "a successful extraction leaves [LastError] alone";
  EXPECT_EQ(Read("out.txt"), "hello\r\nworld!");
  EXPECT_EQ(ReadFileBytes(pub / "sub" / "raw.bin"), std::string("r\0w", 3));
  EXPECT_TRUE(fs::exists(pub / "empty.bin"));
  EXPECT_EQ(fs::file_size(pub / "empty.bin"), 0u);
  r = RunActionText("FileSize \"[Embedded]raw.bin\" \"[s]\"\nExtractFile \"\" \"x\"");
  EXPECT_EQ(r.LastError(), vl::ErrorText(2));
  vl::ThePackage().ClosePackage(false);
}

}  // namespace
