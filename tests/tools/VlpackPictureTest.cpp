// vlpack build records the size and alpha flag of picture entries, read from
// the pictures' headers.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>

#include "runtime/Package.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;

TEST(VlpackPictures, BuildRecordsSizeAndAlphaFromTheHeader) {
  vltest::TempDir t;
  const fs::path data = fs::path(VL_SOURCE_DIR) / "tests/images/data";
  vltest::WriteFileBytes(t / "src" / "RUNTIME.PUB", "Title=Pictures\r\n");
  fs::copy_file(data / "photo.jpg", t / "src" / "photo.jpg");
  fs::copy_file(data / "pal8.bmp", t / "src" / "wall.bmp");
  // A 32-bit BMP whose header names an alpha mask.
  fs::copy_file(data / "pngsuite" / "bmp" / "basn6a08.bmp", t / "src" / "alpha.bmp");
  vltest::WriteFileBytes(t / "src" / "broken.png", "not a picture");
  fs::path out = t / "pub.pkg";
  std::string cmd = std::string("'") + VLPACK_PATH + "' build -o '" + out.string() + "' --prefix 'C:\\p' '" +
                    (t / "src").string() + "' 2>&1";
  FILE* p = popen(cmd.c_str(), "r");
  ASSERT_NE(p, nullptr);
  char buf[1024];
  std::string said;
  for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) said.append(buf, n);
  ASSERT_EQ(WEXITSTATUS(pclose(p)), 0) << said;

  vl::TPackage pkg;
  ASSERT_EQ(pkg.OpenPackage(out.string()), vl::kPackageOpen);
  struct {
    const char* name;
    int w, h;
    bool alpha;
  } expect[] = {{"C:\\p\\photo.jpg", 64, 48, false}, {"C:\\p\\wall.bmp", 37, 21, false}, {"C:\\p\\broken.png", 0, 0, false},
                {"C:\\p\\alpha.bmp", 32, 32, true}};
  for (const auto& e : expect) {
    const vl::LibRec* r = pkg.FindEntry(e.name);
    ASSERT_NE(r, nullptr) << e.name;
    EXPECT_EQ(r->Type, vl::kEntryPicture) << e.name;
    EXPECT_EQ(r->ImageWidth, e.w) << e.name;
    EXPECT_EQ(r->ImageHeight, e.h) << e.name;
    EXPECT_EQ(r->ImageAlpha, e.alpha) << e.name;
  }
  pkg.ClosePackage(false);
}
