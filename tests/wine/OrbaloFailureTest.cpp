// orbalo under Wine when a start-up stage fails: the exact messages, in order,
// the player told to quit, and the per-run folder removed in every case.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/wine/OrbaloShow.h"

namespace kw::winetest {
namespace {

class OrbaloFailureTest : public ::testing::Test {
 protected:
  explicit OrbaloFailureTest(bool virtualDesktop = true)
      : session_(BuildSetup(), CurrentTestName(), virtualDesktop), show_(session_) {}

  // Runs the show to its end and returns the message boxes it showed.
  std::vector<std::string> RunToEnd(size_t expectedDialogs) {
    show_.Start();
    auto texts = show_.WaitForDialogs(expectedDialogs);
    auto code = show_.WaitForEnd(60s);
    EXPECT_TRUE(code) << "orbalo did not end";
    if (code) {
      EXPECT_EQ(*code, 0);
    }
    EXPECT_TRUE(show_.RunFoldersLeft().empty()) << "per-run folder left behind";
    return show_.DialogTexts();
  }

  WineSession session_;
  OrbaloShow show_;
};

TEST_F(OrbaloFailureTest, ProjectorWithoutPackageCannotLoadConfiguration) {
  std::filesystem::copy_file(session_.setup().windowsBin / "orbalo.exe", session_.DriveC() / "show" / "run.exe");
  EXPECT_EQ(RunToEnd(1), (std::vector<std::string>{"Orbalo|Unable to load configuration.\n"}));
}

TEST_F(OrbaloFailureTest, MissingRuntimeLibraryReportsTheLoadErrorThenConfiguration) {
  ASSERT_TRUE(show_.Pack({}, /*withRuntime=*/false));
  // 126: the module was not found.
  EXPECT_EQ(RunToEnd(2), (std::vector<std::string>{"Orbalo|Unable to load ORBALORT.DLL 126\n",
                                                   "Orbalo|Unable to load configuration.\n"}));
  EXPECT_TRUE(show_.PlayerLog().empty()) << "the player must not start";
}

TEST_F(OrbaloFailureTest, MissingPlayerCannotLoadConfiguration) {
  ASSERT_TRUE(show_.Pack({}, true, /*withPlayer=*/false));
  EXPECT_EQ(RunToEnd(1), (std::vector<std::string>{"Orbalo|Unable to load configuration.\n"}));
}

TEST_F(OrbaloFailureTest, MissingExtraFileCannotLoadConfiguration) {
  ASSERT_TRUE(show_.Pack({"--extra", show_.File("one.txt", "one")}));
  ASSERT_TRUE(show_.PatchConfig(1, 2));  // two extra files counted, one packed
  EXPECT_EQ(RunToEnd(1), (std::vector<std::string>{"Orbalo|Unable to load configuration.\n"}));
  EXPECT_TRUE(show_.PlayerLog().empty());
}

TEST_F(OrbaloFailureTest, PlayerThatIsNoProgramCannotStart) {
  ASSERT_TRUE(show_.Pack({"--player", show_.File("player.exe", "this is no program\n")}, true, false));
  // 193: not a valid application.
  EXPECT_EQ(RunToEnd(2), (std::vector<std::string>{"Orbalo|unable to start swf: 193\n",
                                                   "Orbalo|Unable to load swf.\n"}));
}

TEST_F(OrbaloFailureTest, UnknownResolutionCodeFailsTheSwitchAndTellsThePlayerToQuit) {
  ASSERT_TRUE(show_.Pack({"--set", "resolution=6"}));
  EXPECT_EQ(RunToEnd(1), (std::vector<std::string>{"Orbalo|Unable to switch to fullscreen mode.\n"}));
  auto quit = show_.WaitForPlayer([](const LogLine& line) { return line.event == "quit"; }, 30s);
  EXPECT_TRUE(quit) << "the player was not told to quit";
}

class BareXServerFailureTest : public OrbaloFailureTest {
 protected:
  BareXServerFailureTest() : OrbaloFailureTest(/*virtualDesktop=*/false) {}
};

TEST_F(BareXServerFailureTest, DisplayWithoutModesFailsTheSwitchEvenAt640x480) {
  ASSERT_TRUE(show_.Pack({"--set", "resolution=800x600"}));
  EXPECT_EQ(RunToEnd(1), (std::vector<std::string>{"Orbalo|Unable to switch to fullscreen mode.\n"}));
  EXPECT_TRUE(show_.WaitForPlayer([](const LogLine& line) { return line.event == "quit"; }, 30s));
}

}  // namespace
}  // namespace kw::winetest
