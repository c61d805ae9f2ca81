#include "runtime/Package.h"

#include <gtest/gtest.h>

#include <iostream>

#include "runtime/PackageWriter.h"
#include "support/TestSupport.h"

using namespace vl;
using vltest::ReadFileBytes;
using vltest::TempDir;
using vltest::WriteFileBytes;

namespace {

std::string Pattern(size_t n, unsigned seed = 1) {
  std::string s(n, '\0');
  uint32_t x = seed;
  for (auto& c : s) {
    x = x * 1103515245u + 12345u;
    c = static_cast<char>("abcdefgh \r\n"[(x >> 16) % 11]);
  }
  return s;
}

PackageEntryInput Entry(AnsiString name, std::string data, bool compress = true, uint8_t type = 2) {
  PackageEntryInput e;
  e.name = std::move(name);
  e.data = std::move(data);
  e.compress = compress;
  e.type = type;
  return e;
}

struct PackageFixture : ::testing::Test {
  TempDir dir;
  TPackage pkg;
  std::string path = (dir / "pub.pkg").string();

  int Write(const PackageWriter& w, std::string_view host = {}, std::string_view after = {}) {
    std::string bytes = w.Build(host);
    bytes += after;
    WriteFileBytes(path, bytes);
    AnsiString why;
    int rc = pkg.OpenPackage(path, false, &why);
    if (rc != kPackageOpen) std::cerr << "open: " << why << "\n";
    return rc;
  }
  int OpenBytes(std::string_view bytes) {
    WriteFileBytes(path, bytes);
    return pkg.OpenPackage(path);
  }
};

}  // namespace

// The worked example of the format: a 4,096-byte host and one raw 9-byte text.
TEST_F(PackageFixture, ReadsTheWorkedExampleByteForByte) {
  std::string dirBytes = std::string(10, '\0') + std::string("\x0B\0RUNTIME.PUB", 13) +
                         std::string("\x01\0\0\0\0\x00\x10\0\0\x09\0\0\0", 13);
  ASSERT_EQ(dirBytes.size(), 36u);
  LibRec rec;
  rec.Name = "RUNTIME.PUB";
  rec.Type = 1;
  rec.Offset = 4096;
  rec.StoredSize = 9;
  EXPECT_EQ(EncodeDirectory(PackageHeader{}, {rec}), dirBytes);

  std::string file(4096, 'H');
  file += "TITLE=abc";
  std::string tail = DirectoryBlockAndTrailer(4105, dirBytes);
  EXPECT_EQ(tail.substr(0, 4), std::string("\x24\0\0\0", 4));
  EXPECT_EQ(tail.substr(tail.size() - 11), std::string("\x34\x0F\0\0#n%B&e)", 11));
  file += tail;
  ASSERT_EQ(OpenBytes(file), kPackageOpen);
  std::string text;
  EXPECT_EQ(pkg.LoadEntryToMemory("runtime.pub", text), kLoadOk);
  EXPECT_EQ(text, "TITLE=abc");
  EXPECT_EQ(pkg.Header().StartPage, 1u);
}

TEST_F(PackageFixture, HeaderFieldsSurviveEveryForm) {
  struct Case {
    const char* what;
    PackageHeader h;
  };
  std::vector<Case> cases;
  {
    PackageHeader h;
    h.BuildStamp = 0xDEADBEEF;
    h.RunModeWas3 = true;
    h.RunMode = 2;
    h.StartPage = 7;
    h.DebugLibraryFolder = "C:\\dbg";
    h.FunctionFileFolder = "C:\\fn";
    h.MediaPictureFolder = "C:\\media";
    h.ChangeDisplay = 1;
    h.DisplayWidth = 1024;
    h.DisplayHeight = 768;
    h.DisplayBits = 16;
    h.SplashImage = "splash.jpg";
    h.SingleInstance = 1;
    cases.push_back({"test run from a page, display switch", h});
  }
  {
    PackageHeader h;
    h.PublicationKind = 1;
    h.SplashImage = "s.bmp";
    h.PreviewImage = "preview.bmp";
    cases.push_back({"screen saver", h});
  }
  {
    PackageHeader h;
    h.RunMode = 1;
    h.ShortForm = true;
    h.PublicationKind = 3;
    cases.push_back({"chained short form", h});
  }
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    PackageWriter w;
    w.header = c.h;
    w.AddEntry(Entry("RUNTIME.PUB", "x", false, 1));
    WriteFileBytes(path, w.Build());
    ASSERT_EQ(pkg.OpenPackage(path, c.h.ShortForm), kPackageOpen);
    const PackageHeader& r = pkg.Header();
    EXPECT_EQ(r.BuildStamp, c.h.BuildStamp);
    EXPECT_EQ(r.RunMode, c.h.RunMode);
    EXPECT_EQ(r.RunModeWas3, c.h.RunModeWas3);
    EXPECT_EQ(r.StartPage, c.h.StartPage);
    EXPECT_EQ(r.DebugLibraryFolder, c.h.DebugLibraryFolder);
    EXPECT_EQ(r.MediaPictureFolder, c.h.MediaPictureFolder);
    EXPECT_EQ(r.PublicationKind, c.h.PublicationKind);
    EXPECT_EQ(r.SingleInstance, c.h.SingleInstance);
    EXPECT_EQ(r.DisplayWidth, c.h.DisplayWidth);
    EXPECT_EQ(r.DisplayBits, c.h.DisplayBits);
    EXPECT_EQ(r.SplashImage, c.h.SplashImage);
    EXPECT_EQ(r.PreviewImage, c.h.PreviewImage);
    ASSERT_EQ(pkg.Entries().size(), 1u);
    EXPECT_EQ(pkg.Entries()[0].Name, "RUNTIME.PUB");
  }
}

TEST_F(PackageFixture, LookupsFollowTheDirectoryRules) {
  PackageWriter w;
  w.AddEntry(Entry("RUNTIME.PUB", "TITLE=x", true, 1));
  w.AddEntry(Entry("C:\\pics\\a.jpg", "first", false, 3));
  w.AddEntry(Entry("C:\\pics\\a.jpg", "second", false, 3));
  w.AddEntry(Entry(":b.wav", "wave", false, 4));
  w.AddEntry(Entry("embedded:\\\\\\c.txt", "emb", true));
  w.AddEntry(Entry("empty.dat", "", false));
  ASSERT_EQ(Write(w), kPackageOpen);

  std::string data;
  for (const char* name : {"C:\\pics\\a.jpg", "C:/pics/a.jpg", "c:\\PICS\\A.JPG"}) {
    SCOPED_TRACE(name);
    ASSERT_EQ(pkg.LoadEntryToMemory(name, data), kLoadOk);
    EXPECT_EQ(data, "second");  // the later record of the directory wins
  }
  EXPECT_EQ(pkg.LoadEntryToMemory("a.jpg", data), kLoadNoEntry);
  EXPECT_EQ(pkg.ResolveBareName("a.jpg"), "C:\\pics\\a.jpg");
  EXPECT_EQ(pkg.ResolveBareName("B.WAV"), ":b.wav");
  EXPECT_EQ(pkg.ResolveBareName("c.txt"), "embedded:\\\\\\c.txt");
  EXPECT_EQ(pkg.ResolveBareName("none.txt"), "none.txt");
  ASSERT_EQ(pkg.LoadEntryToMemory("embedded:\\\\\\C.TXT", data), kLoadOk);
  EXPECT_EQ(data, "emb");
  ASSERT_EQ(pkg.LoadEntryToMemory("empty.dat", data), kLoadOk);
  EXPECT_EQ(data, "");

  ASSERT_NE(pkg.FindEntry("runtime.pub"), nullptr);
  pkg.SetPublicationLoaded(true);
  EXPECT_EQ(pkg.FindEntry("RUNTIME.PUB"), nullptr);
  EXPECT_EQ(pkg.LoadEntryToMemory("RUNTIME.PUB", data), kLoadNoEntry);
}

TEST_F(PackageFixture, OpensWithHostBytesBeforeAndForeignBytesAfter) {
  PackageWriter w;
  w.AddEntry(Entry("RUNTIME.PUB", Pattern(5000), true, 1));
  // Foreign bytes that contain the signature's characters and a cut signature.
  std::string after = std::string(300, 'x') + "#n%B&eX" + std::string(40, ')') + "%B&e)#n%";
  ASSERT_EQ(Write(w, std::string(12345, '\x7F'), after), kPackageOpen);
  std::string data;
  ASSERT_EQ(pkg.LoadEntryToMemory("RUNTIME.PUB", data), kLoadOk);
  EXPECT_EQ(data, Pattern(5000));
  EXPECT_EQ(pkg.Entries()[0].Offset, 12345);

  // Beyond the search window the package is not found.
  EXPECT_EQ(Write(w, {}, std::string(10000, 'z')), kPackageUnusable);
  EXPECT_FALSE(pkg.IsOpen());
}

TEST_F(PackageFixture, DamagedPackagesGiveOneHundred) {
  PackageWriter w;
  w.AddEntry(Entry("RUNTIME.PUB", "TITLE=x", true, 1));
  w.AddEntry(Entry("pic.bmp", "BMxxxx", false, 3));
  const std::string good = w.Build();

  // Every truncation of a package (the trailer is gone or cut) is refused.
  for (size_t n = 0; n < good.size(); ++n) {
    ASSERT_EQ(OpenBytes(good.substr(0, n)), kPackageUnusable) << n;
  }

  auto tail = [](int64_t dirPos, uint32_t len, std::string_view stream) {
    std::string s;
    for (int i = 0; i < 4; ++i) s.push_back(static_cast<char>((len >> (8 * i)) & 0xFF));
    s += stream;
    uint32_t p = static_cast<uint32_t>(dirPos - kDirectoryBias);
    for (int i = 0; i < 4; ++i) s.push_back(static_cast<char>((p >> (8 * i)) & 0xFF));
    return s + "#n%B&e)";
  };
  PackageHeader h;
  LibRec rec;
  rec.Name = "RUNTIME.PUB";
  rec.Type = 1;
  rec.StoredSize = 0;
  const std::string dirb = EncodeDirectory(h, {rec});
  const std::string z = ZlibCompress(dirb);
  std::string badString = dirb.substr(0, 10) + "\xFF\x00" "abc";  // splash name claims 255 bytes

  struct Case {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"directory position before the file", tail(-100, (uint32_t)dirb.size(), z)},
      {"directory position after the trailer", tail(1 << 20, (uint32_t)dirb.size(), z)},
      {"directory inflates to more than its length", tail(0, (uint32_t)dirb.size() - 1, z)},
      {"directory inflates to less than its length", tail(0, (uint32_t)dirb.size() + 1, z)},
      {"directory length of zero", tail(0, 0, z)},
      {"directory length of gigabytes", tail(0, 0xFFFFFFF0u, z)},
      {"directory is not a zlib stream", tail(0, (uint32_t)dirb.size(), "not zlib at all")},
      {"zlib stream cut short", tail(0, (uint32_t)dirb.size(), z.substr(0, z.size() - 3))},
      {"package string past the end", tail(0, (uint32_t)badString.size(), ZlibCompress(badString))},
      {"header cut short", tail(0, 3, ZlibCompress("\0\0\0"))},
      {"signature only", "#n%B&e)"},
  };
  for (const auto& c : cases) {
    AnsiString why;
    WriteFileBytes(path, c.bytes);
    EXPECT_EQ(pkg.OpenPackage(path, false, &why), kPackageUnusable) << c.what;
    EXPECT_FALSE(why.empty()) << c.what;
    EXPECT_TRUE(pkg.Entries().empty()) << c.what;
  }
  EXPECT_EQ(pkg.OpenPackage((dir / "missing.pkg").string()), kPackageUnusable);
  EXPECT_EQ(pkg.OpenPackage(dir.path().string()), kPackageUnusable);  // a folder
}

// Entry records are not trusted either: each operation fails by its own code.
TEST_F(PackageFixture, DamagedEntriesFailTheirOperations) {
  const std::string text = Pattern(3000);
  const std::string z = ZlibCompress(text);
  std::string data = z + "RAWBYTES";
  auto rec = [](const char* name, int32_t size, int32_t off, int32_t stored) {
    LibRec r;
    r.Name = name;
    r.Size = size;
    r.Offset = off;
    r.StoredSize = stored;
    return r;
  };
  const int32_t zs = static_cast<int32_t>(z.size());
  std::vector<LibRec> recs = {
      rec("good", 3000, 0, zs),
      rec("short", 3001, 0, zs),         // inflates to less than Size
      rec("long", 2999, 0, zs),          // inflates to more than Size
      rec("bomb", 0x7FFFFFFF, 0, zs),    // claims 2 GiB from 1 KiB
      rec("outside", 0, 1 << 30, 10),    // raw data beyond the end of the file
      rec("negative", 0, -5, 10),
      rec("overlong", 0, zs, 1 << 20),   // stored bytes run past the file
      rec("notzlib", 100, zs, 8),
      rec("raw", 0, zs, 8),
  };
  std::string file = data + DirectoryBlockAndTrailer(static_cast<int64_t>(data.size()), EncodeDirectory({}, recs));
  ASSERT_EQ(OpenBytes(file), kPackageOpen);
  std::string out;
  EXPECT_EQ(pkg.LoadEntryToMemory("good", out), kLoadOk);
  EXPECT_EQ(out, text);
  for (const char* name : {"short", "long", "bomb", "outside", "negative", "overlong", "notzlib"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(pkg.LoadEntryToMemory(name, out), kLoadFailed);
    EXPECT_TRUE(out.empty());
    std::unique_ptr<MemorySource> stream;
    int64_t count = 99;
    EXPECT_EQ(pkg.LoadEntryToComStream(name, stream, count), kLoadFailed);
    EXPECT_EQ(stream, nullptr);
    EXPECT_EQ(count, 0);
    size_t delivered = 0;
    EXPECT_FALSE(pkg.CopyEntryData(*pkg.FindEntry(name), [&](const char*, size_t n) {
      delivered += n;
      return true;
    }));
    EXPECT_LE(delivered, 3000u);
  }
  std::unique_ptr<MemorySource> stream;
  int64_t count = 0;
  EXPECT_EQ(pkg.LoadEntryToComStream("nothing", stream, count), kLoadNoEntry);
  ASSERT_EQ(pkg.LoadEntryToComStream("raw", stream, count), kLoadOk);
  EXPECT_EQ(count, 8);
  char buf[16] = {};
  EXPECT_EQ(stream->Read(buf, 16), 8);
  EXPECT_EQ(std::string(buf, 8), "RAWBYTES");
}

TEST_F(PackageFixture, ReadEntryBytesReadsStoredBytes) {
  PackageWriter w;
  w.AddEntry(Entry("raw.bin", "0123456789", false));
  w.AddEntry(Entry("z.txt", Pattern(500), true));
  ASSERT_EQ(Write(w, "HOST"), kPackageOpen);
  char buf[32] = {};
  EXPECT_EQ(pkg.ReadEntryBytes("raw.bin", 3, buf, 4), 4);
  EXPECT_EQ(std::string(buf, 4), "3456");
  EXPECT_EQ(pkg.ReadEntryBytes("raw.bin", 8, buf, 10), 2);  // at most StoredSize - position
  EXPECT_EQ(pkg.ReadEntryBytes("raw.bin", 10, buf, 4), 0);
  EXPECT_EQ(pkg.ReadEntryBytes("raw.bin", -1, buf, 4), 0);
  EXPECT_EQ(pkg.ReadEntryBytes("none", 0, buf, 4), kReadNoEntry);
  // A compressed entry gives its zlib bytes, not the text.
  EXPECT_EQ(pkg.ReadEntryBytes("z.txt", 0, buf, 2), 2);
  EXPECT_EQ(static_cast<unsigned char>(buf[0]), 0x78);
}

TEST_F(PackageFixture, EntryReaderStreamsInSmallPiecesAndOutlivesClose) {
  const std::string big = Pattern(700000, 7);
  PackageWriter w;
  w.AddEntry(Entry("RUNTIME.PUB", big, true, 1));
  ASSERT_EQ(Write(w), kPackageOpen);
  auto reader = pkg.OpenEntryReader(*pkg.FindEntry("RUNTIME.PUB"));
  ASSERT_NE(reader, nullptr);
  EXPECT_EQ(reader->Size(), 700000);
  pkg.ClosePackage(true);
  std::string got;
  char buf[777];
  for (int64_t n; (n = reader->Read(buf, sizeof buf)) > 0;) got.append(buf, static_cast<size_t>(n));
  EXPECT_EQ(got, big);
  EXPECT_EQ(reader->Read(buf, sizeof buf), 0);
}

TEST_F(PackageFixture, OpeningCallsTheStartUpHooksAndCloseRestoresTheDisplay) {
  struct Recording : PackageOpenHost {
    std::vector<std::string> calls;
    void SingleInstance(const PackageHeader&) override { calls.push_back("single"); }
    bool ChangeDisplay(uint32_t w, uint32_t h, uint8_t b) override {
      calls.push_back("display " + std::to_string(w) + "x" + std::to_string(h) + "x" + std::to_string(b));
      return true;
    }
    void RestoreDisplay() override { calls.push_back("restore"); }
  } host;
  std::vector<std::string>& calls = host.calls;
  SetPackageOpenHost(&host);
  PackageWriter w;
  w.header.SingleInstance = 1;
  w.header.ChangeDisplay = 1;
  w.header.DisplayWidth = 800;
  w.header.DisplayHeight = 600;
  w.header.DisplayBits = 32;
  ASSERT_EQ(Write(w), kPackageOpen);
  pkg.ClosePackage(false);
  // A chained load skips the single-instance hand-over.
  ASSERT_EQ(pkg.OpenPackage(path, false), kPackageOpen);
  SetPackageOpenHost(nullptr);
  EXPECT_EQ(calls, (std::vector<std::string>{"single", "display 800x600x32", "restore", "single",
                                              "display 800x600x32"}));
  pkg.ClosePackage(false);
}

TEST_F(PackageFixture, EmbeddedMappingOnlyInTestRuns) {
  PackageWriter w;
  ASSERT_EQ(Write(w), kPackageOpen);
  pkg.SetEmbeddedFiles("a.jpg=/data/a.jpg");
  EXPECT_EQ(pkg.MapEmbeddedName("embedded:\\\\\\a.jpg"), "embedded:\\\\\\a.jpg");
  w.header.RunMode = 2;
  ASSERT_EQ(Write(w), kPackageOpen);
  pkg.SetEmbeddedFiles("a.jpg=/data/a.jpg\xB6" "B.WAV=/data/b.wav\xB6" "a.jpg=/other/a.jpg\xB6" "noequals");
  EXPECT_EQ(pkg.MapEmbeddedName("embedded:\\\\\\a.jpg"), "/data/a.jpg");
  EXPECT_EQ(pkg.MapEmbeddedName("EMBEDDED:\\\\\\b.wav"), "/data/b.wav");
  EXPECT_EQ(pkg.MapEmbeddedName("embedded:\\\\\\sub\\a.jpg"), "embedded:\\\\\\sub\\a.jpg");
  EXPECT_EQ(pkg.MapEmbeddedName("embedded:\\\\\\c.jpg"), "embedded:\\\\\\c.jpg");
  EXPECT_EQ(pkg.MapEmbeddedName("C:\\a.jpg"), "C:\\a.jpg");
}

TEST(PackageNames, SafeNamesAndUniqueStems) {
  struct {
    const char* in;
    const char* out;
  } cases[] = {
      {"C:\\pics\\a.jpg", "a.jpg"}, {"embedded:\\\\\\f.ttf", "f.ttf"}, {"../../etc/passwd", "passwd"},
      {"C:evil.txt", "evil.txt"},   {"sub/..", ""},                    {"a\\.", ""},
      {"dir\\", ""},                {"", ""},                          {"plain", "plain"},
  };
  for (const auto& c : cases) EXPECT_EQ(SafeExtractName(c.in), c.out) << c.in;
  EXPECT_EQ(UniqueNameStem(0, 0), "3B9B4B0D");  // 1,000,033,037
  EXPECT_EQ(UniqueNameStem(0xFFFFFFFFu, 1), "3B9B4B0D");  // wraps at 32 bits
  // 2024-03-05 14:30:20 in the DOS format.
  EXPECT_EQ(UniqueNameStem((((2024 - 1980) << 9 | 3 << 5 | 5) << 16) | (14 << 11 | 30 << 5 | 10), 0), "9400BED7");
}
