#include <gtest/gtest.h>

#include "runtime/Package.h"
#include "runtime/PackageWriter.h"
#include "runtime/Publication.h"
#include "support/TestSupport.h"

using namespace vl;

namespace {

const std::string kText =
    "Title=Il mio libro\r\nLinkColor=255\r\nCustomFontName=Arial\r\n"
    "TrayMenuBegin\r\nMenuName=mnuShow\r\nMenuEnd\r\n"
    "MasterPage\r\nNewPage=Intro\r\nObjectType=3\r\nName=Btn\r\nX=10";

struct Fixture {
  vltest::TempDir dir;
  TPackage package;

  // Writes a package with RUNTIME.PUB (and one picture) and opens it.
  void Open(bool compress, uint8_t kind, const std::string& text = kText, bool damage = false) {
    PackageWriter w;
    w.header.PublicationKind = kind;
    w.AddEntry({"C:\\pics\\a.jpg", kEntryPicture, std::string(100, 'j'), false, 4, 4, false});
    w.AddEntry({"RUNTIME.PUB", kEntryPublication, text, compress});
    std::string bytes = w.Build(std::string(512, 'H'));
    const auto path = dir / "pub.pkg";
    vltest::WriteFileBytes(path, bytes);
    ASSERT_EQ(package.OpenPackage(path.string()), kPackageOpen);
    if (damage) {
      const LibRec* e = package.FindEntry("RUNTIME.PUB");
      ASSERT_NE(e, nullptr);
      bytes[static_cast<size_t>(e->Offset + e->StoredSize / 2)] ^= 0x5A;
      vltest::WriteFileBytes(path, bytes);
      ASSERT_EQ(package.OpenPackage(path.string()), kPackageOpen);
    }
  }
};

class SavedGlobals {
 public:
  SavedGlobals() : saved_(Globals()) {}
  ~SavedGlobals() { Globals() = saved_; }

 private:
  ProcessValues saved_;
};

}  // namespace

TEST(PublicationPackage, LoadsFromACompressedOrRawEntry) {
  for (bool compress : {true, false}) {
    SavedGlobals keep;
    Fixture f;
    f.Open(compress, 0);
    TPublication pub;
    AnsiString error;
    ASSERT_TRUE(LoadPublication(f.package, pub, {}, error)) << error;
    EXPECT_EQ(pub.settings.title, "Il mio libro");
    ASSERT_EQ(pub.pages.size(), 2u);
    EXPECT_EQ(pub.pages[1].objects.at(0)->Find(TPubKey::X)->number, 10);
    EXPECT_FALSE(pub.trayMenu.present);  // kind 0 is not a tray publication
    // Once loaded the text is out of reach, and the shared values are set.
    EXPECT_TRUE(f.package.PublicationLoaded());
    EXPECT_EQ(f.package.FindEntry("RUNTIME.PUB"), nullptr);
    EXPECT_EQ(Globals().linkColor, 255u);
    EXPECT_EQ(Globals().dialogFontName, "Arial");
  }
}

TEST(PublicationPackage, TrayKindComesFromThePackage) {
  Fixture f;
  f.Open(true, kPublicationKindTray);
  TPublication pub;
  AnsiString error;
  SavedGlobals keep;
  ASSERT_TRUE(LoadPublication(f.package, pub, {}, error)) << error;
  ASSERT_TRUE(pub.trayMenu.present);
  EXPECT_EQ(pub.trayMenu.items.at(0).name, "mnuShow");
}

TEST(PublicationPackage, Failures) {
  {
    Fixture f;
    f.Open(true, 0);
    TPublication pub;
    AnsiString error;
    EXPECT_FALSE(LoadPublication(f.package, pub, {}, error, "OTHER.PUB"));
    EXPECT_NE(error.find("OTHER.PUB"), std::string::npos) << error;
  }
  {
    // A damaged zlib stream stops the reading with the read error.
    std::string big;
    for (int i = 0; i < 3000; ++i) big += "NewPage=Page" + std::to_string(i * 7919) + "\r\n";
    Fixture f;
    f.Open(true, 0, big, true);
    TPublication pub;
    AnsiString error;
    EXPECT_FALSE(LoadPublication(f.package, pub, {}, error));
    EXPECT_EQ(error, ErrorText(100));
  }
}
