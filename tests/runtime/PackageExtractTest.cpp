#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <regex>
#include <set>

#include "runtime/Messages.h"
#include "runtime/Package.h"
#include "runtime/PackageWriter.h"
#include "support/TestSupport.h"

using namespace vl;
using vltest::ReadFileBytes;
using vltest::TempDir;
using vltest::WriteFileBytes;
namespace fs = std::filesystem;

namespace {

PackageEntryInput Entry(AnsiString name, std::string data, bool compress = true, uint8_t type = 2) {
  PackageEntryInput e;
  e.name = std::move(name);
  e.data = std::move(data);
  e.compress = compress;
  e.type = type;
  return e;
}

std::vector<std::string> Listing(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

struct ExtractFixture : ::testing::Test {
  TempDir host;   // the publication's folder
  TempDir out;    // the extraction folder
  TPackage pkg;
  std::string path = (host / "pub.pkg").string();

  void Open(const PackageWriter& w) {
    WriteFileBytes(path, w.Build());
    ASSERT_EQ(pkg.OpenPackage(path), kPackageOpen);
    pkg.SetExtractionFolder(out.path().string());
  }
  void TearDown() override { pkg.ClosePackage(false); }
};

struct RecordingFonts : FontRegistry {
  std::vector<std::string> calls;
  bool RegisterFont(const AnsiString& p) override {
    calls.push_back("+" + p);
    return true;
  }
  void UnregisterFont(const AnsiString& p) override { calls.push_back("-" + p); }
  void FontsChanged() override { calls.push_back("changed"); }
};

struct RecordingPlugIns : PlugInLoader {
  std::vector<std::string> paths;
  void LoadPlugIn(const AnsiString& p) override { paths.push_back(p); }
};

struct RecordingCursors : CursorIconLoader {
  std::vector<std::string> seen;
  bool LoadCursor(const AnsiString& p, int slot) override {
    seen.push_back(p + " exists=" + std::to_string(fs::exists(p)) + " slot=" + std::to_string(slot));
    return true;
  }
  bool LoadIcon(const AnsiString& p) override {
    seen.push_back("icon " + p);
    return ReadFileBytes(p).rfind("ICON", 0) == 0;
  }
};

}  // namespace

TEST_F(ExtractFixture, ExtractsOnceAndReusesAnExistingFile) {
  PackageWriter w;
  w.AddEntry(Entry("C:\\media\\click.wav", "RIFF-data", true, 4));
  w.AddEntry(Entry("empty.txt", "", false));
  Open(w);
  AnsiString target;
  EXPECT_EQ(pkg.ExtractEntry(*pkg.FindEntry("C:\\media\\click.wav"), false, target), kExtractWritten);
  EXPECT_EQ(target, (out / "click.wav").string());
  EXPECT_EQ(ReadFileBytes(target), "RIFF-data");
  EXPECT_TRUE(pkg.FindEntry("C:\\media\\click.wav")->Extracted);

  WriteFileBytes(target, "changed by hand");
  EXPECT_EQ(pkg.ExtractEntry(*pkg.FindEntry("C:\\media\\click.wav"), false, target), kExtractExisting);
  EXPECT_EQ(ReadFileBytes(target), "changed by hand");

  EXPECT_EQ(pkg.ExtractEntry(*pkg.FindEntry("empty.txt"), false, target), kExtractWritten);
  EXPECT_TRUE(fs::exists(target));
  EXPECT_EQ(fs::file_size(target), 0u);
}

TEST_F(ExtractFixture, NamesCannotEscapeTheExtractionFolder) {
  PackageWriter w;
  for (const char* n : {"..\\..\\evil1.txt", "../../evil2.txt", "C:evil3.txt", "sub\\..", "trailing\\", ".."})
    w.AddEntry(Entry(n, "x", false));
  Open(w);
  AnsiString target;
  for (const char* n : {"..\\..\\evil1.txt", "../../evil2.txt", "C:evil3.txt"}) {
    EXPECT_EQ(pkg.ExtractEntry(*pkg.FindEntry(n), false, target), kExtractWritten) << n;
    EXPECT_EQ(fs::path(target).parent_path(), out.path()) << n;
  }
  for (const char* n : {"sub\\..", "trailing\\", ".."})
    EXPECT_EQ(pkg.ExtractEntry(*pkg.FindEntry(n), false, target), kExtractWriteError) << n;
  EXPECT_EQ(Listing(out.path()), (std::vector<std::string>{"evil1.txt", "evil2.txt", "evil3.txt"}));
  EXPECT_EQ(Listing(host.path()), (std::vector<std::string>{"pub.pkg"}));
}

TEST_F(ExtractFixture, APlantedLinkIsNotWrittenThrough) {
  PackageWriter w;
  w.AddEntry(Entry("a.txt", "payload", false));
  Open(w);
  WriteFileBytes(host / "victim", "keep");
  fs::create_symlink(host / "victim", out / "a.txt");
  AnsiString target;
  EXPECT_EQ(pkg.ExtractEntry(*pkg.FindEntry("a.txt"), false, target), kExtractExisting);
  EXPECT_EQ(ReadFileBytes(host / "victim"), "keep");
}

TEST_F(ExtractFixture, AShortCopyLeavesNoFileBehind) {
  // A compressed entry whose stream yields fewer bytes than its Size says.
  std::string z = ZlibCompress("only this");
  LibRec r;
  r.Name = "cut.txt";
  r.Size = 500;
  r.StoredSize = static_cast<int32_t>(z.size());
  std::string file = z + DirectoryBlockAndTrailer(static_cast<int64_t>(z.size()), EncodeDirectory({}, {r}));
  WriteFileBytes(path, file);
  ASSERT_EQ(pkg.OpenPackage(path), kPackageOpen);
  pkg.SetExtractionFolder(out.path().string());
  AnsiString target;
  EXPECT_EQ(pkg.ExtractEntry(*pkg.FindEntry("cut.txt"), false, target), kExtractIncomplete);
  EXPECT_FALSE(fs::exists(target));
  EXPECT_FALSE(pkg.FindEntry("cut.txt")->Extracted);
  AnsiString err;
  WriteFileBytes(host / "keep.txt", "precious");
  EXPECT_FALSE(pkg.ExtractFileTo("cut.txt", (host / "keep.txt").string(), false, err));
  EXPECT_EQ(ReadFileBytes(host / "keep.txt"), "precious");  // the old target survives a failed copy
  EXPECT_FALSE(err.empty());
  EXPECT_EQ(Listing(host.path()), (std::vector<std::string>{"keep.txt", "pub.pkg"}));
}

TEST_F(ExtractFixture, AnUnwritableFolderGivesOneHundred) {
  PackageWriter w;
  w.AddEntry(Entry("a.txt", "x", false));
  w.AddEntry(Entry("f.ttf", "x", false, kEntryFont));
  Open(w);
  WriteFileBytes(out / "plainfile", "");
  pkg.SetExtractionFolder((out / "plainfile").string());  // not a folder
  AnsiString target;
  EXPECT_EQ(pkg.ExtractEntry(*pkg.FindEntry("a.txt"), false, target), kExtractWriteError);
  EXPECT_EQ(pkg.ExtractEntry(*pkg.FindEntry("f.ttf"), true, target), kExtractWriteError);
  EXPECT_FALSE(pkg.FindEntry("a.txt")->Extracted);
}

TEST_F(ExtractFixture, CloseDeletesExtractedFilesOnlyWhenAsked) {
  PackageWriter w;
  w.AddEntry(Entry("a.txt", "aaa", true));
  w.AddEntry(Entry("b.txt", "bbb", false));
  struct {
    int op;
    bool flag;
    bool remain;
  } cases[] = {{132, true, false}, {4, true, true}, {132, false, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.op);
    Open(w);
    pkg.SetExtractOp(c.op);
    AnsiString target;
    int err = 0;
    ASSERT_EQ(pkg.ResolveFile("a.txt", target, err), kExtractWritten);
    ASSERT_EQ(pkg.ResolveFile("b.txt", target, err), kExtractWritten);
    pkg.ClosePackage(c.flag);
    EXPECT_EQ(fs::exists(out / "a.txt"), c.remain);
    EXPECT_EQ(fs::exists(out / "b.txt"), c.remain);
    if (c.remain) {
      // The next run reuses what the last one left.
      Open(w);
      EXPECT_EQ(pkg.ResolveFile("a.txt", target, err), kExtractExisting);
      pkg.ClosePackage(false);
      fs::remove(out / "a.txt");
      fs::remove(out / "b.txt");
    }
  }
}

TEST_F(ExtractFixture, ResolveFileFindsEntriesThenDiskFiles) {
  PackageWriter w;
  w.AddEntry(Entry("C:\\pics\\in.bmp", "BM", false, 3));
  Open(w);
  WriteFileBytes(host / "top.txt", "t");
  WriteFileBytes(host / "deep" / "er" / "Found.TXT", "f");
  WriteFileBytes(host / ".hidden" / "secret.txt", "s");
  fs::create_directories(host / "deep" / "loop");
  fs::create_symlink(host.path(), host / "deep" / "loop" / "back");  // a cycle
  WriteFileBytes(out / "elsewhere.txt", "e");

  struct {
    std::string name;
    int status;
    std::string path;
  } cases[] = {
      {"c:/PICS/in.bmp", kExtractWritten, (out / "in.bmp").string()},
      {(host / "top.txt").string(), kExtractExisting, (host / "top.txt").string()},
      {"D:\\author\\top.txt", kExtractExisting, (host / "top.txt").string()},
      {"C:\\x\\found.txt", kExtractExisting, (host / "deep" / "er" / "Found.TXT").string()},
      {(out / "elsewhere.txt").string(), kExtractExisting, (out / "elsewhere.txt").string()},
      {"secret.txt", kExtractIncomplete, ""},
      {"nowhere.txt", kExtractIncomplete, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    AnsiString p;
    int err = -1;
    EXPECT_EQ(pkg.ResolveFile(c.name, p, err), c.status);
    EXPECT_EQ(p, c.path);
    EXPECT_EQ(err, c.status == kExtractIncomplete ? 2 : 0);
  }
}

TEST_F(ExtractFixture, ExtractFileToCopiesCreatesOrReports) {
  PackageWriter w;
  w.AddEntry(Entry("data.bin", std::string(100000, 'q'), true));
  Open(w);
  AnsiString err;
  WriteFileBytes(host / "t.bin", "old");
  EXPECT_TRUE(pkg.ExtractFileTo("DATA.BIN", (host / "t.bin").string(), false, err));
  EXPECT_EQ(ReadFileBytes(host / "t.bin"), std::string(100000, 'q'));
  EXPECT_EQ(err, "");

  EXPECT_FALSE(pkg.ExtractFileTo("missing", (host / "m.bin").string(), false, err));
  EXPECT_EQ(err, Msg(303));
  EXPECT_FALSE(fs::exists(host / "m.bin"));
  EXPECT_FALSE(pkg.ExtractFileTo("missing", (host / "m.bin").string(), true, err));
  EXPECT_TRUE(fs::exists(host / "m.bin"));
  EXPECT_EQ(fs::file_size(host / "m.bin"), 0u);

  EXPECT_FALSE(pkg.ExtractFileTo("data.bin", (host / "no" / "such" / "dir.bin").string(), false, err));
  EXPECT_FALSE(err.empty());
}

TEST_F(ExtractFixture, FontsGetUniqueNamesAndAreAlwaysRemoved) {
  PackageWriter w;
  w.AddEntry(Entry("C:\\fonts\\Face.ttf", "font one", true, kEntryFont));
  w.AddEntry(Entry("D:\\other\\face.ttf", "font two", true, kEntryFont));
  Open(w);
  RecordingFonts fonts;
  SetFontRegistry(&fonts);
  EXPECT_EQ(pkg.InstallEmbeddedFonts(), 2);
  ASSERT_EQ(fonts.calls.size(), 3u);
  EXPECT_EQ(fonts.calls[2], "changed");
  auto files = Listing(out.path());
  ASSERT_EQ(files.size(), 2u);
  for (const auto& f : files) EXPECT_TRUE(std::regex_match(f, std::regex("[0-9A-F]{8}\\.ttf"))) << f;
  // Each entry now carries its extracted path as its name.
  std::set<std::string> contents;
  for (const auto& e : pkg.Entries()) contents.insert(ReadFileBytes(e.Name));
  EXPECT_EQ(contents, (std::set<std::string>{"font one", "font two"}));
  pkg.ClosePackage(false);  // fonts go even without the delete flag
  SetFontRegistry(nullptr);
  EXPECT_TRUE(Listing(out.path()).empty());
  EXPECT_EQ(fonts.calls.size(), 6u);
  EXPECT_EQ(fonts.calls.back(), "changed");
}

TEST_F(ExtractFixture, PreparePlugInsExtractsStartUpFilesFirst) {
  PackageWriter w;
  w.AddEntry(Entry("helper.dat", "needed", false, kEntryStartupFile));
  w.AddEntry(Entry("C:\\plug\\one.dll", "dll one", true, kEntryPlugIn));
  w.AddEntry(Entry("C:\\plug\\two.dll", "", false, kEntryPlugIn2));
  w.AddEntry(Entry("nothing.dat", "", false, kEntryStartupFile));
  Open(w);
  RecordingPlugIns loader;
  SetPlugInLoader(&loader);
  pkg.PreparePlugIns();
  SetPlugInLoader(nullptr);
  EXPECT_EQ(ReadFileBytes(out / "helper.dat"), "needed");
  EXPECT_FALSE(fs::exists(out / "nothing.dat"));
  ASSERT_EQ(loader.paths.size(), 2u);
  // Lookup order: the plug-in stored last comes first; an empty one is
  // expected beside the publication.
  EXPECT_EQ(loader.paths[0], (host / "two.dll").string());
  EXPECT_TRUE(std::regex_match(fs::path(loader.paths[1]).filename().string(), std::regex("[0-9A-F]{8}\\.dll")));
  EXPECT_EQ(ReadFileBytes(loader.paths[1]), "dll one");

  // In a test run plug-ins are used where the author's machine had them.
  w.header.RunMode = 2;
  Open(w);
  SetPlugInLoader(&loader);
  loader.paths.clear();
  pkg.PreparePlugIns();
  SetPlugInLoader(nullptr);
  EXPECT_EQ(loader.paths, (std::vector<std::string>{"C:\\plug\\two.dll", "C:\\plug\\one.dll"}));
}

TEST_F(ExtractFixture, CursorsAreLoadedFromATemporaryCopyIconsFromTheResolvedFile) {
  PackageWriter w;
  w.AddEntry(Entry("hand.cur", "CURSOR", false));
  w.AddEntry(Entry("app.ico", "ICON", false));
  w.AddEntry(Entry("plain.ico", "NOPE", false));
  Open(w);
  RecordingCursors loader;
  EXPECT_FALSE(pkg.LoadCursorFile("hand.cur", 3));  // no loader installed
  SetCursorIconLoader(&loader);
  EXPECT_TRUE(pkg.LoadCursorFile("hand.cur", 3));
  EXPECT_FALSE(pkg.LoadCursorFile("missing.cur", 4));
  EXPECT_TRUE(pkg.LoadIconFile("app.ico"));
  EXPECT_FALSE(pkg.LoadIconFile("plain.ico"));
  SetCursorIconLoader(nullptr);
  ASSERT_GE(loader.seen.size(), 1u);
  EXPECT_EQ(loader.seen[0], (out / "hand.cur").string() + " exists=1 slot=3");
  EXPECT_FALSE(fs::exists(out / "hand.cur"));  // deleted again after loading
}

TEST(ExtractionFolder, ChosenFromTheBitsInOrder) {
  TempDir t, pub, win;
  std::string tmp = t.path().string();
  std::string custom = (t / "made" / "here").string();
  EXPECT_EQ(ChooseExtractionFolder(132, "", pub.path().string(), tmp, win.path().string()), tmp);
  EXPECT_EQ(ChooseExtractionFolder(2 | 4, "", pub.path().string(), tmp, win.path().string()), win.path().string());
  EXPECT_EQ(ChooseExtractionFolder(1, "", pub.path().string(), tmp, win.path().string()), pub.path().string());
  EXPECT_EQ(ChooseExtractionFolder(8, custom, pub.path().string(), tmp, win.path().string()), custom);
  EXPECT_TRUE(fs::is_directory(custom));
  EXPECT_EQ(ChooseExtractionFolder(8, "", pub.path().string(), tmp, win.path().string()), tmp);
  EXPECT_EQ(ChooseExtractionFolder(1, "", "/no/such/folder", tmp, win.path().string()), tmp);
}
