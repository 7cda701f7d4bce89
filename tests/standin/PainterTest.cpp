// Tests of the painter: port offsets, clipping, restoring the port, the
// moving mark and blending for transparent movies.
#include <gtest/gtest.h>

#include <utility>

#include "tools/standin/Painter.h"

namespace kw::standin {
namespace {

constexpr uint32_t kUntouched = 0xFF102030;

// The area sits at port pixels (10, 20) to (50, 50): 40 wide, 30 high.
PaintArea areaAt10x20() { return {-10, -20, 40, 30, QDRect{20, 10, 50, 50}}; }

uint32_t pixel(const GrafPort& port, int32_t x, int32_t y) {
  return port.pixels[static_cast<size_t>(y) * static_cast<size_t>(port.width) + static_cast<size_t>(x)];
}

TEST(Painting, BackgroundFillsExactlyTheAreaAtThePortOffsetsAndRestoresThePort) {
  GrafPort port(80, 60, kUntouched);
  port.setOrigin(3, 4);
  const QDPoint origin = port.origin;
  port.clip = {-100, -100, 200, 200};
  paint(port, areaAt10x20(), {0x336699, false, 0});
  EXPECT_EQ(port.origin, origin);
  EXPECT_EQ(port.clip, (QDRect{-100, -100, 200, 200}));
  // Corners of the area (far from the mark, which is centred vertically), then just outside it.
  for (const auto& [x, y] : {std::pair{10, 20}, {49, 49}}) EXPECT_EQ(pixel(port, x, y), 0xFF336699U) << x << "," << y;
  for (const auto& [x, y] : {std::pair{9, 20}, {10, 19}, {50, 49}, {49, 50}}) {
    EXPECT_EQ(pixel(port, x, y), kUntouched) << x << "," << y;
  }
}

TEST(Painting, WindowClipAndPortClipLimitTheDrawing) {
  GrafPort port(80, 60, kUntouched);
  PaintArea area = areaAt10x20();
  area.clip = {20, 10, 30, 25};  // only the top-left part of the area
  paint(port, area, {0x336699, false, 0});
  EXPECT_EQ(pixel(port, 24, 21), 0xFF336699U);
  EXPECT_EQ(pixel(port, 25, 20), kUntouched);
  EXPECT_EQ(pixel(port, 10, 30), kUntouched);

  GrafPort left(80, 60, kUntouched);
  left.clip = {0, 0, 60, 30};  // left part of the port only
  paint(left, areaAt10x20(), {0x336699, false, 0});
  EXPECT_EQ(pixel(left, 29, 20), 0xFF336699U);
  EXPECT_EQ(pixel(left, 30, 20), kUntouched);
}

TEST(Painting, AreaLargerThanThePortStaysInsideTheBuffer) {
  GrafPort port(20, 10, kUntouched);
  paint(port, {5, 5, 1000, 1000, QDRect{-100, -100, 2000, 2000}}, {0x000000, false, 7});
  EXPECT_EQ(pixel(port, 0, 0), 0xFF000000U);
  EXPECT_EQ(pixel(port, 19, 9), 0xFF000000U);
}

TEST(Painting, MarkMovesWithTheStep) {
  GrafPort first(80, 60, kUntouched);
  GrafPort later(80, 60, kUntouched);
  paint(first, areaAt10x20(), {0xFFFFFF, false, 0});
  paint(later, areaAt10x20(), {0xFFFFFF, false, 5});
  EXPECT_NE(first.pixels, later.pixels);
  EXPECT_NE(markLeft(0, 400, kMarkDiameter), markLeft(5, 400, kMarkDiameter));
  for (uint32_t step = 0; step < 1000; step += 37) {
    const int32_t left = markLeft(step, 400, kMarkDiameter);
    EXPECT_GE(left, 0);
    EXPECT_LE(left + kMarkDiameter, 400);
  }
}

TEST(TransparentPainting, OnlyTheMarkIsDrawnAndItBlendsWithThePort) {
  GrafPort overBlack(80, 60, 0xFF000000);
  GrafPort overWhite(80, 60, 0xFFFFFFFF);
  paint(overBlack, areaAt10x20(), {0x808080, true, 0});
  paint(overWhite, areaAt10x20(), {0x808080, true, 0});
  // The area's corner is outside the mark: the port shows through unchanged.
  EXPECT_EQ(pixel(overBlack, 10, 20), 0xFF000000U);
  EXPECT_EQ(pixel(overWhite, 10, 20), 0xFFFFFFFFU);
  // The mark's centre (area x 12, y 15) is drawn, and differently over each.
  const uint32_t centreBlack = pixel(overBlack, 10 + kMarkDiameter / 2, 20 + 15);
  const uint32_t centreWhite = pixel(overWhite, 10 + kMarkDiameter / 2, 20 + 15);
  EXPECT_NE(centreBlack, 0xFF000000U);
  EXPECT_NE(centreWhite, 0xFFFFFFFFU);
  EXPECT_NE(centreBlack, centreWhite);
}

TEST(TransparentPainting, MarkEdgeIsSoft) {
  GrafPort port(80, 60, 0xFF000000);
  paint(port, {0, 0, 80, 60, QDRect{0, 0, 60, 80}}, {0x000000, true, 0});
  // The mark is white over black here; along its middle row brightness rises
  // through in-between values from the edge to the centre.
  const int32_t row = (60 - kMarkDiameter) / 2 + kMarkDiameter / 2;
  bool sawPartial = false;
  uint32_t previous = 0;
  for (int32_t x = 0; x <= kMarkDiameter / 2; ++x) {
    const uint32_t red = (pixel(port, x, row) >> 16) & 0xFF;
    EXPECT_GE(red, previous);
    previous = red;
    if (red > 0 && red < 0xBF) sawPartial = true;
  }
  EXPECT_TRUE(sawPartial);
}

TEST(Blending, CoverageWeighsSourceAgainstDestination) {
  EXPECT_EQ(blend(0xFF123456, 0xABCDEF, 0), 0xFF123456U);
  EXPECT_EQ(blend(0x00123456, 0xABCDEF, 255), 0xFFABCDEFU);
  EXPECT_EQ(blend(0xFF000000, 0xFFFFFF, 128), 0xFF808080U);
  EXPECT_EQ(blend(0x00000000, 0xFFFFFF, 128) >> 24, 128U);
}

}  // namespace
}  // namespace kw::standin
