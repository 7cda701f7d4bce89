// Tests of the home-folder abbreviation and the volume-name mending, over a
// temporary folder with its own home folder and volumes folder.
#include "mac/net/PathExtras.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tests/support/TempDir.h"

namespace kw {
namespace {

namespace fs = std::filesystem;

class PathExtrasTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(root_ + "/home/docs");
    fs::create_directory_symlink(root_ + "/home", root_ + "/link");
    fs::create_directories(root_ + "/Volumes/KwData");
    std::ofstream(root_ + "/Volumes/KwData/b.txt") << "b";
    std::ofstream(root_ + "/home/a.txt") << "a";
    context_ = {.homeFolder = root_ + "/link", .volumesFolder = root_ + "/Volumes", .startupVolumeName = "KwDisk"};
  }
  std::string tilde(const std::string& path) { return stringByAbbreviatingWithTildeInPath(path, context_); }
  std::string fixed(const std::string& path) { return fixedCarbonPOSIXPath(path, context_); }

  const test::TempDir temp_;
  const std::string root_ = temp_.path().string();
  PathContext context_;
};

TEST_F(PathExtrasTest, AbbreviatesTheHomeFolderResolvedOrNot) {
  for (const char* path : {"/link/docs", "/home/docs"}) EXPECT_EQ(tilde(root_ + path), "~/docs") << path;
  for (const char* path : {"/link", "/home"}) EXPECT_EQ(tilde(root_ + path), "~") << path;
  // Only whole names match.
  for (const std::string& path : {root_ + "/linked/x", root_ + "/homes", std::string("/elsewhere")}) {
    EXPECT_EQ(tilde(path), path);
  }
  context_.homeFolder += "/";
  EXPECT_EQ(tilde(root_ + "/link/docs"), "~/docs");
  EXPECT_EQ(stringByAbbreviatingWithTildeInPath("/etc", PathContext{.homeFolder = "/"}), "/etc");
  EXPECT_EQ(stringByAbbreviatingWithTildeInPath("/etc", PathContext{}), "/etc");
}

TEST_F(PathExtrasTest, MendsPathsThatBeginWithAVolumeName) {
  // The startup volume's name is dropped, with or without the volumes folder in front.
  EXPECT_EQ(fixed("/KwDisk" + root_ + "/home/a.txt"), root_ + "/home/a.txt");
  EXPECT_EQ(fixed(root_ + "/Volumes/KwDisk" + root_ + "/home/a.txt"), root_ + "/home/a.txt");
  // Another mounted volume moves under the volumes folder.
  EXPECT_EQ(fixed("/KwData/b.txt"), root_ + "/Volumes/KwData/b.txt");
  // Existing, relative, empty and mended-but-missing paths stay as they are.
  for (const std::string& path : {root_ + "/home/a.txt", std::string("KwDisk/a.txt"), std::string(),
                                 std::string("/KwData/missing.txt"), std::string("/KwNoSuchVolume/b.txt"),
                                 std::string("/KwDisk/missing"), root_ + "/Volumes/KwGone/x"}) {
    EXPECT_EQ(fixed(path), path);
  }
  context_.startupVolumeName.clear();
  EXPECT_EQ(fixed("/KwDisk" + root_ + "/home/a.txt"), "/KwDisk" + root_ + "/home/a.txt");
}

TEST(PathContext, DefaultComesFromTheEnvironment) {
  const PathContext context = PathContext::fromSystem("Boot");
  EXPECT_EQ(context.volumesFolder, "/Volumes");
  EXPECT_EQ(context.startupVolumeName, "Boot");
  EXPECT_FALSE(context.homeFolder.empty());
  EXPECT_EQ(PathContext::fromSystem().startupVolumeName, PathContext::kDefaultStartupVolumeName);
}

}  // namespace
}  // namespace kw
