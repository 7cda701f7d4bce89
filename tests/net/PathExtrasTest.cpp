// Tests of the home-folder abbreviation and the volume-name mending, over a
// temporary folder with its own home folder and volumes folder.
#include "mac/net/PathExtras.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

namespace kw {
namespace {

namespace fs = std::filesystem;

class PathExtrasTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "kw-pathextras-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    root_ = fs::canonical(pattern).string();
    fs::create_directories(root_ + "/home/docs");
    fs::create_directory_symlink(root_ + "/home", root_ + "/link");
    fs::create_directories(root_ + "/Volumes/KwData");
    std::ofstream(root_ + "/Volumes/KwData/b.txt") << "b";
    std::ofstream(root_ + "/home/a.txt") << "a";
    context_.homeFolder = root_ + "/link";
    context_.volumesFolder = root_ + "/Volumes";
    context_.startupVolumeName = "KwDisk";
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }

  std::string root_;
  PathContext context_;
};

TEST_F(PathExtrasTest, AbbreviatesTheHomeFolderResolvedOrNot) {
  EXPECT_EQ(stringByAbbreviatingWithTildeInPath(root_ + "/link/docs", context_), "~/docs");
  EXPECT_EQ(stringByAbbreviatingWithTildeInPath(root_ + "/home/docs", context_), "~/docs");
  EXPECT_EQ(stringByAbbreviatingWithTildeInPath(root_ + "/link", context_), "~");
  EXPECT_EQ(stringByAbbreviatingWithTildeInPath(root_ + "/home", context_), "~");
  // Only whole names match.
  EXPECT_EQ(stringByAbbreviatingWithTildeInPath(root_ + "/linked/x", context_), root_ + "/linked/x");
  EXPECT_EQ(stringByAbbreviatingWithTildeInPath(root_ + "/homes", context_), root_ + "/homes");
  EXPECT_EQ(stringByAbbreviatingWithTildeInPath("/elsewhere", context_), "/elsewhere");

  PathContext trailing = context_;
  trailing.homeFolder += "/";
  EXPECT_EQ(stringByAbbreviatingWithTildeInPath(root_ + "/link/docs", trailing), "~/docs");
  EXPECT_EQ(stringByAbbreviatingWithTildeInPath("/etc", PathContext{.homeFolder = "/"}), "/etc");
  EXPECT_EQ(stringByAbbreviatingWithTildeInPath("/etc", PathContext{}), "/etc");
}

TEST_F(PathExtrasTest, MendsPathsThatBeginWithAVolumeName) {
  // Existing paths and relative paths stay as they are.
  EXPECT_EQ(fixedCarbonPOSIXPath(root_ + "/home/a.txt", context_), root_ + "/home/a.txt");
  EXPECT_EQ(fixedCarbonPOSIXPath("KwDisk/a.txt", context_), "KwDisk/a.txt");
  EXPECT_EQ(fixedCarbonPOSIXPath("", context_), "");

  // The startup volume's name is dropped, with or without the volumes folder in front.
  EXPECT_EQ(fixedCarbonPOSIXPath("/KwDisk" + root_ + "/home/a.txt", context_), root_ + "/home/a.txt");
  EXPECT_EQ(fixedCarbonPOSIXPath(root_ + "/Volumes/KwDisk" + root_ + "/home/a.txt", context_),
            root_ + "/home/a.txt");
  // Another mounted volume moves under the volumes folder.
  EXPECT_EQ(fixedCarbonPOSIXPath("/KwData/b.txt", context_), root_ + "/Volumes/KwData/b.txt");

  // Nothing that exists: the path unchanged.
  EXPECT_EQ(fixedCarbonPOSIXPath("/KwData/missing.txt", context_), "/KwData/missing.txt");
  EXPECT_EQ(fixedCarbonPOSIXPath("/KwNoSuchVolume/b.txt", context_), "/KwNoSuchVolume/b.txt");
  EXPECT_EQ(fixedCarbonPOSIXPath("/KwDisk/missing", context_), "/KwDisk/missing");
  EXPECT_EQ(fixedCarbonPOSIXPath(root_ + "/Volumes/KwGone/x", context_), root_ + "/Volumes/KwGone/x");

  PathContext noStartup = context_;
  noStartup.startupVolumeName.clear();
  EXPECT_EQ(fixedCarbonPOSIXPath("/KwDisk" + root_ + "/home/a.txt", noStartup), "/KwDisk" + root_ + "/home/a.txt");
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
