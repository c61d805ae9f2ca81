#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "runtime/Package.h"
#include "support/TestSupport.h"

using vltest::ReadFileBytes;
using vltest::TempDir;
using vltest::WriteFileBytes;
namespace fs = std::filesystem;

namespace {

struct Result {
  int status = -1;
  std::string out;  // stdout and stderr together
};

std::string Quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

Result Vlpack(const std::vector<std::string>& args) {
  std::string cmd = Quote(VLPACK_PATH);
  for (const auto& a : args) cmd += " " + Quote(a);
  cmd += " 2>&1";
  Result r;
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) return r;
  char buf[4096];
  for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) r.out.append(buf, n);
  int st = pclose(p);
  r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  return r;
}

std::string Bytes(size_t n, unsigned seed) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 131 + seed * 7 + (i >> 5)) & 0xFF);
  return s;
}

struct VlpackFixture : ::testing::Test {
  TempDir t;
  fs::path src = t / "src";
  void SetUp() override {
    WriteFileBytes(src / "RUNTIME.PUB", "Title=Round trip\r\nNEWPAGE=One\r\n");
    WriteFileBytes(src / "text" / "story.rtf", std::string(5000, 'r'));
    WriteFileBytes(src / "pics" / "photo.jpg", Bytes(3000, 1));  // stays raw
    WriteFileBytes(src / "empty.dat", "");
    WriteFileBytes(src / "dup1.txt", "first of two");
    WriteFileBytes(src / "dup2.txt", "second of two");
    WriteFileBytes(src / "click.wav", Bytes(2000, 2));
    WriteFileBytes(src / "face.ttf", Bytes(900, 3));
    WriteFileBytes(src / ".git" / "ignored", "not packed");
  }
};

}  // namespace

TEST_F(VlpackFixture, RoundTripOnAnElfHostWithForeignBytesAfter) {
  fs::path host = t / "host";
  fs::copy_file("/bin/true", host);
  fs::path exe = t / "pub.bin";
  Result b = Vlpack({"build", "-o", exe.string(), "--host", host.string(), "--name", "pics/photo.jpg=C:\\pics\\a.jpg",
                  "--name", "dup1.txt=same.txt", "--name", "dup2.txt=same.txt", "--embedded", "click.wav",
                  "--prefix", "C:\\pub", src.string()});
  ASSERT_EQ(b.status, 0) << b.out;
  // The host is untouched in front and still runs.
  std::string all = ReadFileBytes(exe);
  EXPECT_EQ(all.substr(0, fs::file_size(host)), ReadFileBytes(host));
  fs::permissions(exe, fs::perms::owner_all);
  EXPECT_EQ(std::system(Quote(exe.string()).c_str()), 0);

  // A signature-like tail after the package (as a code signature would be).
  WriteFileBytes(exe, all + std::string(400, '\x5A'));

  Result l = Vlpack({"list", exe.string()});
  ASSERT_EQ(l.status, 0) << l.out;
  for (const char* want : {"RUNTIME.PUB", "C:\\pics\\a.jpg", "embedded:\\\\\\click.wav", "C:\\pub\\text\\story.rtf",
                           "C:\\pub\\empty.dat", "C:\\pub\\face.ttf", "(shadowed)", "Entries: 8"})
    EXPECT_NE(l.out.find(want), std::string::npos) << want << "\n" << l.out;
  EXPECT_EQ(l.out.find("ignored"), std::string::npos);

  // What the player sees.
  vl::TPackage pkg;
  ASSERT_EQ(pkg.OpenPackage(exe.string()), vl::kPackageOpen);
  struct {
    const char* name;
    int type;
    bool compressed;
  } expect[] = {{"RUNTIME.PUB", 1, true},         {"C:\\pics\\a.jpg", 3, false},
                {"C:\\pub\\text\\story.rtf", 2, true}, {"C:\\pub\\empty.dat", 0, false},
                {"embedded:\\\\\\click.wav", 4, true}, {"C:\\pub\\face.ttf", 6, true}};
  for (const auto& e : expect) {
    const vl::LibRec* r = pkg.FindEntry(e.name);
    ASSERT_NE(r, nullptr) << e.name;
    EXPECT_EQ(r->Type, e.type) << e.name;
    EXPECT_EQ(r->Compressed(), e.compressed) << e.name;
  }
  pkg.ClosePackage(false);

  fs::path out = t / "out";
  Result x = Vlpack({"extract", exe.string(), "-C", out.string()});
  ASSERT_EQ(x.status, 0) << x.out;
  EXPECT_EQ(ReadFileBytes(out / "RUNTIME.PUB"), ReadFileBytes(src / "RUNTIME.PUB"));
  EXPECT_EQ(ReadFileBytes(out / "pics" / "a.jpg"), ReadFileBytes(src / "pics" / "photo.jpg"));
  EXPECT_EQ(ReadFileBytes(out / "pub" / "text" / "story.rtf"), ReadFileBytes(src / "text" / "story.rtf"));
  EXPECT_EQ(ReadFileBytes(out / "click.wav"), ReadFileBytes(src / "click.wav"));
  EXPECT_EQ(ReadFileBytes(out / "pub" / "face.ttf"), ReadFileBytes(src / "face.ttf"));
  EXPECT_EQ(ReadFileBytes(out / "same.txt"), "second of two");  // the one the player finds
  ASSERT_TRUE(fs::exists(out / "pub" / "empty.dat"));
  EXPECT_EQ(fs::file_size(out / "pub" / "empty.dat"), 0u);

  // Extracting chosen entries.
  fs::path one = t / "one";
  Result x1 = Vlpack({"extract", exe.string(), "-C", one.string(), "c:/pics/A.JPG"});
  ASSERT_EQ(x1.status, 0) << x1.out;
  EXPECT_TRUE(fs::exists(one / "pics" / "a.jpg"));
  EXPECT_EQ(std::distance(fs::recursive_directory_iterator(one), {}), 2);
}

TEST_F(VlpackFixture, HeaderOptionsReachTheDirectory) {
  fs::path pkgPath = t / "saver.pkg";
  Result b = Vlpack({"build", "-o", pkgPath.string(), "--build-stamp", "0x1234ABCD", "--start-page", "4",
                  "--debug-folder", "C:\\dbg", "--function-folder", "C:\\fn", "--media-folder", "C:\\media",
                  "--icon-file", "C:\\app.ico", "--kind", "screensaver", "--single-instance", "--splash", "s.bmp",
                  "--preview", "p.bmp", "--compress-images", "--startup", "dup1.txt", "--type", "dup2.txt=16",
                  src.string()});
  ASSERT_EQ(b.status, 0) << b.out;
  vl::TPackage pkg;
  ASSERT_EQ(pkg.OpenPackage(pkgPath.string()), vl::kPackageOpen);
  const vl::PackageHeader& h = pkg.Header();
  EXPECT_EQ(h.BuildStamp, 0x1234ABCDu);
  EXPECT_EQ(h.RunMode, 2);
  EXPECT_TRUE(h.RunModeWas3);
  EXPECT_EQ(h.StartPage, 4u);
  EXPECT_EQ(h.FunctionFileFolder, "C:\\fn");
  EXPECT_EQ(h.ApplicationIconFile, "C:\\app.ico");
  EXPECT_EQ(h.PublicationKind, 1);
  EXPECT_EQ(h.SingleInstance, 1);
  EXPECT_EQ(h.SplashImage, "s.bmp");
  EXPECT_EQ(h.PreviewImage, "p.bmp");
  EXPECT_TRUE(pkg.FindEntry("pics\\photo.jpg")->Compressed());
  EXPECT_EQ(pkg.FindEntry("dup1.txt")->Type, 11);
  EXPECT_EQ(pkg.FindEntry("dup2.txt")->Type, 16);
  pkg.ClosePackage(false);

  // A window with a display switch, and the short form of chained loads.
  Result d = Vlpack({"build", "-o", pkgPath.string(), "--display", "800x600x16", src.string()});
  ASSERT_EQ(d.status, 0) << d.out;
  ASSERT_EQ(pkg.OpenPackage(pkgPath.string()), vl::kPackageOpen);
  EXPECT_EQ(pkg.Header().ChangeDisplay, 1);
  EXPECT_EQ(pkg.Header().DisplayHeight, 600u);
  EXPECT_EQ(pkg.Header().DisplayBits, 16);
  pkg.ClosePackage(false);
  Result c = Vlpack({"build", "-o", pkgPath.string(), "--chained", "--run-mode", "1", src.string()});
  ASSERT_EQ(c.status, 0) << c.out;
  ASSERT_EQ(pkg.OpenPackage(pkgPath.string(), true), vl::kPackageOpen);
  EXPECT_EQ(pkg.Header().PublicationKind, 3);
  EXPECT_EQ(pkg.Header().RunMode, 1);
  pkg.ClosePackage(false);
  Result l = Vlpack({"list", pkgPath.string()});  // a .pkg is tried in both forms
  EXPECT_EQ(l.status, 0) << l.out;
  EXPECT_NE(l.out.find("chained package"), std::string::npos) << l.out;
}

TEST_F(VlpackFixture, FailuresSayWhatWentWrong) {
  fs::path pkgPath = t / "x.pkg";
  WriteFileBytes(t / "junk.bin", std::string(50, 'j'));
  struct {
    std::vector<std::string> args;
    int status;
    const char* says;
  } cases[] = {
      {{"list", (t / "missing.pkg").string()}, 1, "no usable package"},
      {{"list", (t / "junk.bin").string()}, 1, "no package signature"},
      {{"list"}, 2, "no FILE"},
      {{"frobnicate"}, 2, "unknown command"},
      {{"build", src.string()}, 2, "no output"},
      {{"build", "-o", pkgPath.string(), "--name", "nothere.txt=x", src.string()}, 1, "nothere.txt"},
      {{"build", "-o", pkgPath.string(), "--display", "big", src.string()}, 2, "--display"},
      {{"build", "-o", pkgPath.string(), "--run-mode", "7", src.string()}, 2, "--run-mode"},
      {{"build", "-o", pkgPath.string(), (t / "nofolder").string()}, 1, "not a folder"},
      {{"build", "-o", (t / "no" / "dir" / "x.pkg").string(), src.string()}, 1, "cannot create"},
      {{"build", "-o", pkgPath.string(), "--host", (t / "nohost").string(), src.string()}, 1, "host"},
      // A folder without its publication text is refused unless files only are meant.
      {{"build", "-o", pkgPath.string(), (src / "text").string()}, 1, "no RUNTIME.PUB"},
      {{"build", "-o", pkgPath.string(), "--files-only", src.string()}, 1, "has a RUNTIME.PUB"},
  };
  for (const auto& c : cases) {
    Result r = Vlpack(c.args);
    EXPECT_EQ(r.status, c.status) << c.args[0] << ": " << r.out;
    EXPECT_NE(r.out.find(c.says), std::string::npos) << r.out;
  }
  EXPECT_FALSE(fs::exists(t / "no"));
  EXPECT_FALSE(fs::exists(pkgPath)) << "a refused build left a package";

  // Unsafe names are refused at extraction while the rest is written.
  Result b = Vlpack({"build", "-o", pkgPath.string(), "--name", "dup1.txt=..\\..\\escape.txt", "--name",
                  "dup2.txt=C:\\ok\\fine.txt", src.string()});
  ASSERT_EQ(b.status, 0) << b.out;
  fs::path out = t / "deep" / "out";
  Result x = Vlpack({"extract", pkgPath.string(), "-C", out.string()});
  EXPECT_EQ(x.status, 1);
  EXPECT_NE(x.out.find("unsafe name"), std::string::npos) << x.out;
  EXPECT_TRUE(fs::exists(out / "ok" / "fine.txt"));
  EXPECT_FALSE(fs::exists(t / "escape.txt"));
  EXPECT_FALSE(fs::exists(t / "deep" / "escape.txt"));
  Result n = Vlpack({"extract", pkgPath.string(), "-C", out.string(), "no-such-entry"});
  EXPECT_EQ(n.status, 1);
  EXPECT_NE(n.out.find("no entry named no-such-entry"), std::string::npos);

  Result help = Vlpack({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("vlpack build -o OUT"), std::string::npos);
}

TEST_F(VlpackFixture, FilesOnlyPacksAFolderWithoutPublication) {
  fs::path pkgPath = t / "files.pkg";
  Result b = Vlpack({"build", "-o", pkgPath.string(), "--files-only", (src / "pics").string()});
  ASSERT_EQ(b.status, 0) << b.out;
  EXPECT_EQ(b.out, "");  // asked for, so no warning either
  vl::TPackage pkg;
  ASSERT_EQ(pkg.OpenPackage(pkgPath.string()), vl::kPackageOpen);
  EXPECT_EQ(pkg.FindEntry("RUNTIME.PUB"), nullptr);
  const vl::LibRec* photo = pkg.FindEntry("photo.jpg");
  ASSERT_NE(photo, nullptr);
  std::string data;
  ASSERT_EQ(pkg.LoadEntryToMemory("photo.jpg", data), vl::kLoadOk);
  EXPECT_EQ(data, ReadFileBytes(src / "pics" / "photo.jpg"));
  pkg.ClosePackage(false);
}
