// Resolution codes, alignment of the player window and pictures, the
// fall-back shift and the fixed-point picture stretch.
#include <gd.h>
#include <gtest/gtest.h>

#include <vector>

#include "win/projector/package/Placement.h"

namespace kw::orbalo {
namespace {

TEST(Resolution, SixCodesAndNothingElse) {
  const std::vector<Size> expected = {{320, 200}, {320, 240}, {512, 384}, {640, 480}, {800, 600}, {1024, 768}};
  for (uint32_t code = 0; code < expected.size(); ++code) EXPECT_EQ(ResolutionForCode(code), expected[code]);
  EXPECT_FALSE(ResolutionForCode(6).has_value());
  EXPECT_FALSE(ResolutionForCode(0xFFFFFFFFu).has_value());
  EXPECT_EQ(BackgroundSizeForCode(4), (Size{800, 600}));
  EXPECT_EQ(BackgroundSizeForCode(17), kFallbackResolution);
}

TEST(Alignment, NineCodesOnAScreen) {
  const Size screen{640, 480};
  const Size object{100, 60};  // half = (270, 210), far = (540, 420)
  const std::vector<Point> expected = {{270, 210}, {0, 0},   {270, 0},   {540, 0},  {0, 210},
                                       {540, 210}, {0, 420}, {270, 420}, {540, 420}};
  for (uint32_t code = 0; code < expected.size(); ++code) {
    EXPECT_EQ(AlignObject(code, screen, object), expected[code]) << code;
  }
  EXPECT_EQ(AlignObject(kAlignExplicit, screen, object), (Point{640, 480}));
  EXPECT_EQ(AlignObject(kAlignStretch, screen, object), (Point{0, 0}));
}

TEST(Alignment, HalvingIsSignedAndRoundsTowardZero) {
  EXPECT_EQ(AlignObject(0, {640, 480}, {550, 400}), (Point{45, 40}));
  EXPECT_EQ(AlignObject(8, {640, 480}, {700, 400}), (Point{-60, 80}));
  EXPECT_EQ(AlignObject(0, {640, 480}, {701, 481}), (Point{-30, 0}));
  EXPECT_EQ(AlignObject(0, {640, 480}, {99, 59}), (Point{270, 210}));
}

TEST(PlayerWindow, PlacedByAlignmentOnTheRequestedModeOrAtExplicitFields) {
  ProjectorConfig config;
  config.useAlignment = 1;
  config.alignmentCode = 0;
  EXPECT_EQ(PlayerWindowPosition(config, *ResolutionForCode(3), {550, 400}), (Point{45, 40}));
  config.alignmentCode = 8;
  EXPECT_EQ(PlayerWindowPosition(config, {640, 480}, {700, 400}), (Point{-60, 80}));
  config.alignmentCode = 9;
  EXPECT_EQ(PlayerWindowPosition(config, {640, 480}, {550, 400}), (Point{45, 40})) << "codes above 8 centre";

  config.useAlignment = 0;
  config.alignmentCode = 8;
  config.windowX = 12;
  config.windowY = 0xFFFFFFF6u;
  EXPECT_EQ(PlayerWindowPosition(config, {640, 480}, {550, 400}), (Point{12, -10}));
}

TEST(Pictures, CentredWhenTheyFitElseTopLeftOrStretched) {
  const Size screen{640, 480};
  PicturePlacement big = PlacePicture(false, {1000, 800}, screen);
  EXPECT_EQ(big.position, (Point{0, 0}));
  EXPECT_EQ(big.size, (Size{1000, 800}));
  EXPECT_FALSE(big.stretched);
  EXPECT_EQ(PlacePicture(false, {300, 200}, screen).position, (Point{170, 140}));
  EXPECT_EQ(PlacePicture(false, {640, 480}, screen).position, (Point{0, 0}));
  EXPECT_EQ(PlacePicture(false, {300, 481}, screen).position, (Point{0, 0})) << "must fit both ways";
  const PicturePlacement stretched = PlacePicture(true, {300, 200}, screen);
  EXPECT_EQ(stretched.position, (Point{0, 0}));
  EXPECT_EQ(stretched.size, screen);
  EXPECT_TRUE(stretched.stretched);
}

TEST(Pictures, FallBackShiftMovesTowardThe640x480Centre) {
  EXPECT_EQ(FallbackShift({800, 600}), (Point{-80, -60}));
  EXPECT_EQ(FallbackShift({320, 200}), (Point{160, 140}));
  EXPECT_EQ(FallbackShift({1024, 768}), (Point{-192, -144}));
  EXPECT_EQ(FallbackShift({641, 481}), (Point{0, 0}));
}

TEST(Stretch, BottomUpCopyReversesRowsOnly) {
  const std::vector<uint32_t> topDown = {1, 2, 3, 4, 5, 6};  // 3 wide, 2 high
  EXPECT_EQ(CopyBottomUp(topDown.data(), {3, 2}), (std::vector<uint32_t>{4, 5, 6, 1, 2, 3}));
  EXPECT_EQ(Resample(topDown.data(), {3, 2}, {3, 2}), CopyBottomUp(topDown.data(), {3, 2}));
}

TEST(Stretch, FixedPointStepsBlendEachByteAndDropTheUnusedOne) {
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
}

TEST(Stretch, UnusableSizesGiveNothing) {
  const std::vector<uint32_t> pixel = {1};
  EXPECT_TRUE(Resample(pixel.data(), {1, 1}, {0, 5}).empty());
  EXPECT_TRUE(Resample(pixel.data(), {-1, 1}, {2, 2}).empty());
  EXPECT_TRUE(Resample(nullptr, {1, 1}, {2, 2}).empty());
  EXPECT_TRUE(Resample(pixel.data(), {1, 1}, {1 << 14, 1 << 14}).empty()) << "beyond kMaxPicturePixels";
}

TEST(Stretch, TakesTheDecodedTrueColourPixelsAsTheyAre) {
  // The shell hands over libgd's true-colour rows; their layout is ours.
  gdImagePtr image = gdImageCreateTrueColor(2, 2);
  ASSERT_NE(image, nullptr);
  gdImageSetPixel(image, 0, 0, gdTrueColor(0x11, 0x22, 0x33));
  gdImageSetPixel(image, 1, 1, gdTrueColor(0xAA, 0xBB, 0xCC));
  std::vector<uint32_t> topDown;
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 2; ++x) topDown.push_back(static_cast<uint32_t>(gdImageTrueColorPixel(image, x, y)));
  }
  gdImageDestroy(image);
  const std::vector<uint32_t> stored = CopyBottomUp(topDown.data(), {2, 2});
  EXPECT_EQ(stored[2], 0x00112233u) << "top-left pixel, stored in the upper row";
  EXPECT_EQ(stored[1], 0x00AABBCCu) << "bottom-right pixel, stored in the first row";
}

}  // namespace
}  // namespace kw::orbalo
