// orbalo's portable rules: resolution and alignment codes, the fall-back
// shift and the fixed-point picture stretch; the per-run folder's name and
// removal guard, the "basepath.txt" text and the stage failure messages.
#include <gtest/gtest.h>

#include <vector>

#include "win/projector/package/Placement.h"
#include "win/projector/package/StartupRules.h"

namespace kw::orbalo {
namespace {

TEST(Placement, SixResolutionCodesAndTheFallBackShiftTowardThe640x480Centre) {
  const std::vector<Size> expected = {{320, 200}, {320, 240}, {512, 384}, {640, 480}, {800, 600}, {1024, 768}};
  for (uint32_t code = 0; code < expected.size(); ++code) EXPECT_EQ(ResolutionForCode(code), expected[code]);
  EXPECT_FALSE(ResolutionForCode(6).has_value());
  EXPECT_FALSE(ResolutionForCode(0xFFFFFFFFu).has_value());
  EXPECT_EQ(BackgroundSizeForCode(4), (Size{800, 600}));
  EXPECT_EQ(BackgroundSizeForCode(17), kFallbackResolution);
  EXPECT_EQ(FallbackShift({800, 600}), (Point{-80, -60}));
  EXPECT_EQ(FallbackShift({320, 200}), (Point{160, 140}));
  EXPECT_EQ(FallbackShift({641, 481}), (Point{0, 0})) << "toward zero";
}

TEST(Placement, AlignmentCodesWithSignedHalvesRoundedTowardZero) {
  const Size screen{640, 480};
  const Size object{100, 60};  // half = (270, 210), far = (540, 420)
  // 0-8, 9 the screen size as explicit position, 10 stretch, 11 unknown.
  const std::vector<Point> expected = {{270, 210}, {0, 0},     {270, 0},   {540, 0},   {0, 210}, {540, 210},
                                       {0, 420},   {270, 420}, {540, 420}, {640, 480}, {0, 0},   {270, 210}};
  for (uint32_t code = 0; code < expected.size(); ++code) {
    EXPECT_EQ(AlignObject(code, screen, object), expected[code]) << code;
  }
  EXPECT_EQ(AlignObject(0, screen, {550, 400}), (Point{45, 40}));
  EXPECT_EQ(AlignObject(8, screen, {700, 400}), (Point{-60, 80}));
  EXPECT_EQ(AlignObject(0, screen, {701, 481}), (Point{-30, 0}));
  EXPECT_EQ(AlignObject(0, screen, {99, 59}), (Point{270, 210}));

  ProjectorConfig config;  // the player window: by alignment on the requested mode, codes above 8 centre
  config.alignmentCode = 8;
  EXPECT_EQ(PlayerWindowPosition(config, *ResolutionForCode(3), {700, 400}), (Point{-60, 80}));
  config.alignmentCode = 9;
  EXPECT_EQ(PlayerWindowPosition(config, screen, {550, 400}), (Point{45, 40}));
  config.useAlignment = 0;  // or at the explicit fields, read as signed
  config.windowX = 12;
  config.windowY = 0xFFFFFFF6u;
  EXPECT_EQ(PlayerWindowPosition(config, screen, {550, 400}), (Point{12, -10}));
}

TEST(Placement, StretchCopiesBottomUpAndBlendsEachByteInFixedPointDroppingTheUnusedOne) {
  const std::vector<uint32_t> topDown = {1, 2, 3, 4, 5, 6};  // 3 wide, 2 high
  EXPECT_EQ(CopyBottomUp(topDown.data(), {3, 2}), (std::vector<uint32_t>{4, 5, 6, 1, 2, 3}));
  EXPECT_EQ(Resample(topDown.data(), {3, 2}, {3, 2}), CopyBottomUp(topDown.data(), {3, 2}));
  struct Row {
    std::vector<uint32_t> pixels;
    Size from, to;
    std::vector<uint32_t> expected;
  };
  const Row rows[] = {
      // 2 -> 4, step 16384: weights 0, .25, .5, .75 of pixel 1, per byte, truncated.
      {{0x00000000, 0x00FF8040}, {2, 1}, {4, 1}, {0x00000000, 0x003F2010, 0x007F4020, 0x00BF6030}},
      // Vertical: stored bottom row first, rows 0 (bottom, 0x00) and 1 (top, 0x80).
      {{0x00000080, 0x00000000}, {1, 2}, {1, 4}, {0x00000000, 0x00000020, 0x00000040, 0x00000060}},
      // 4 -> 2: step 98304, positions 0 and 1.5; the top byte is cleared.
      {{0xFF000010, 0xFF000020, 0xFF000030, 0xFF000040}, {4, 1}, {2, 1}, {0x00000010, 0x00000028}},
      {{0x00123456}, {1, 1}, {3, 2}, std::vector<uint32_t>(6, 0x00123456)},
  };
  for (const Row& row : rows) EXPECT_EQ(Resample(row.pixels.data(), row.from, row.to), row.expected);
  EXPECT_TRUE(Resample(topDown.data(), {1, 1}, {0, 5}).empty());
  EXPECT_TRUE(Resample(topDown.data(), {-1, 1}, {2, 2}).empty());
  EXPECT_TRUE(Resample(nullptr, {1, 1}, {2, 2}).empty());
  EXPECT_TRUE(Resample(topDown.data(), {1, 1}, {1 << 14, 1 << 14}).empty()) << "beyond kMaxPicturePixels";
}

TEST(StartupRules, PerRunFolderTakesMultiplesOfTheLow16BitsOfTheSeedModulo36AndStaysInTheTemporaryPath) {
  EXPECT_EQ(PerRunFolderName(0), "AAAAA");
  EXPECT_EQ(PerRunFolderName(1), "BCDEF");
  EXPECT_EQ(PerRunFolderName(7), "HOV29");
  EXPECT_EQ(PerRunFolderName(0x10007), "HOV29");
  EXPECT_EQ(PerRunFolderName(0xFFFF0000u), "AAAAA");
  EXPECT_EQ(PerRunFolderPath("C:\\TEMP\\", 7), "C:\\TEMP\\HOV29TMP\\");
  EXPECT_EQ(kInvalidPath, "\\\\INVALID_PATH\\");
  EXPECT_TRUE(IsInsideTempPath("C:\\TEMP\\HOV29TMP\\fscommand\\", "C:\\TEMP\\"));
  EXPECT_FALSE(IsInsideTempPath(kInvalidPath, "C:\\TEMP\\"));
  EXPECT_FALSE(IsInsideTempPath("C:\\TEM", "C:\\TEMP\\"));
  EXPECT_FALSE(IsInsideTempPath("c:\\temp\\X\\", "C:\\TEMP\\")) << "a byte comparison, case counts";
  EXPECT_FALSE(IsInsideTempPath("C:\\", "")) << "an unknown temporary path protects everything";
}

TEST(StartupRules, BasePathAndTheExactMessageOfEachFailingStage) {
  EXPECT_EQ(BasePathText("D:\\show\\run.exe"), "basepath=D:\\show\\");
  EXPECT_EQ(BasePathText("E:\\run.exe"), "basepath=E:\\");
  EXPECT_EQ(BasePathText("run.exe"), "basepath=");
  EXPECT_EQ(StageFailureMessage(kStageUnpack), "Unable to load configuration.");
  EXPECT_EQ(StageFailureMessage(kStageBackgroundWindow), "Unable to create background window.");
  EXPECT_EQ(StageFailureMessage(kStagePlayerStart), "Unable to load swf.");
  EXPECT_EQ(StageFailureMessage(kStageDisplaySwitch), "Unable to switch to fullscreen mode.");
  EXPECT_EQ(StageFailureMessage(kStageRunning), "");
  EXPECT_EQ(StageFailureMessage(-1), "");
}

}  // namespace
}  // namespace kw::orbalo
