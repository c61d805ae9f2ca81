#include "platform/PrivateTemp.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace {

TEST(PrivateTemp, MakesAFolderOnlyTheUserCanReachAndRefusesALink) {
  char templ[] = "/tmp/vl-privtemp-XXXXXX";
  ASSERT_NE(::mkdtemp(templ), nullptr);
  const std::string base = templ;
  const std::string own = base + "/vellion-" + std::to_string(::getuid());

  std::string made = vl::PrivateTempFolderIn(base);
  EXPECT_EQ(made, own);
  struct stat st{};
  ASSERT_EQ(::lstat(made.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  EXPECT_EQ(vl::PrivateTempFolderIn(base), own);  // reused

  // A folder open to others, or a link planted under the name, is not used.
  ::chmod(own.c_str(), 0777);
  std::string other = vl::PrivateTempFolderIn(base);
  EXPECT_NE(other, own);
  EXPECT_FALSE(other.empty());
  std::filesystem::remove_all(own);
  std::filesystem::create_directory_symlink("/tmp", own);
  std::string fromLink = vl::PrivateTempFolderIn(base);
  EXPECT_NE(fromLink, own);
  EXPECT_FALSE(fromLink.empty());
  std::filesystem::remove_all(base);
}

}  // namespace
