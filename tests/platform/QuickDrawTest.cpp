// QuickDraw ports: clipping of fills, origins and the clip's local coordinates,
// and pixel lookups at and beyond the buffer's edges.
#include "mac/platform/QuickDraw.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>

namespace kw {
namespace {

constexpr uint32_t kBlack = 0xFF000000;
constexpr uint32_t kRed = 0xFFFF0000;

size_t countOf(const GrafPort& port, uint32_t argb) {
  return static_cast<size_t>(std::count(port.pixels.begin(), port.pixels.end(), argb));
}

TEST(QuickDrawTest, FillRectPaintsOnlyInsideTheClipAndTheBuffer) {
  GrafPort port(8, 6);
  EXPECT_EQ(port.clip, (QDRect{0, 0, 6, 8}));
  EXPECT_EQ(countOf(port, kBlack), 48u);

  port.clip = {1, 2, 4, 6};
  port.fillRect({0, 0, 10, 10}, kRed);
  EXPECT_EQ(countOf(port, kRed), 12u);
  for (int32_t v = 0; v < 6; ++v) {
    for (int32_t h = 0; h < 8; ++h) {
      const bool inside = v >= 1 && v < 4 && h >= 2 && h < 6;
      EXPECT_EQ(*port.pixelAt(h, v), inside ? kRed : kBlack) << h << "," << v;
    }
  }

  // A clip larger than the buffer and a rectangle over every edge: the buffer bounds.
  GrafPort whole(5, 4);
  whole.clip = {-32768, -32768, 32767, 32767};
  whole.fillRect({-32768, -32768, 32767, 32767}, kRed);
  EXPECT_EQ(countOf(whole, kRed), 20u);

  // Inverted rectangles paint nothing.
  whole.fillRect({3, 3, 1, 1}, kBlack);
  EXPECT_EQ(countOf(whole, kBlack), 0u);
}

TEST(QuickDrawTest, SetOriginMovesLocalCoordinatesOfPixelsAndClip) {
  GrafPort port(4, 3);
  port.setOrigin(10, 20);
  EXPECT_EQ(port.origin, (QDPoint{20, 10}));
  // The clip stays on the same pixels, so its local coordinates move along.
  EXPECT_EQ(port.clip, (QDRect{20, 10, 23, 14}));
  EXPECT_EQ(port.pixelAt(10, 20), &port.pixels[0]);
  EXPECT_EQ(port.pixelAt(13, 22), &port.pixels[11]);
  EXPECT_EQ(port.pixelAt(0, 0), nullptr);

  port.fillRect({21, 11, 22, 12}, kRed);  // local (11, 21) is buffer (1, 1)
  EXPECT_EQ(port.pixels[5], kRed);
  EXPECT_EQ(countOf(port, kRed), 1u);
  port.fillRect({0, 0, 3, 4}, kRed);  // the old local rectangle is now off the port
  EXPECT_EQ(countOf(port, kRed), 1u);

  port.setOrigin(0, 0);
  EXPECT_EQ(port.clip, (QDRect{0, 0, 3, 4}));
  EXPECT_EQ(port.pixelAt(1, 1), &port.pixels[5]);

  // Negative origins and the ends of the 16-bit range.
  port.setOrigin(-2, -1);
  EXPECT_EQ(port.pixelAt(-2, -1), &port.pixels[0]);
  EXPECT_EQ(port.clip, (QDRect{-1, -2, 2, 2}));
  port.setOrigin(32767, -32768);
  EXPECT_EQ(port.pixelAt(32767, -32768), &port.pixels[0]);
  port.fillRect({-32768, 32767, -32767, 32767}, kRed);  // zero width
  EXPECT_EQ(countOf(port, kRed), 1u);
}

TEST(QuickDrawTest, PixelAtAnswersNullOutsideTheBuffer) {
  GrafPort port(3, 2);
  EXPECT_EQ(port.pixelAt(2, 1), &port.pixels[5]);
  const std::pair<int32_t, int32_t> outside[] = {{3, 0}, {0, 2}, {-1, 0}, {0, -1}};
  for (const auto& [h, v] : outside) EXPECT_EQ(port.pixelAt(h, v), nullptr) << h << "," << v;
  // The ends of the 32-bit range with an origin away from 0: local minus origin must not overflow.
  for (const auto& [h0, v0] : {std::pair<int16_t, int16_t>{5, -5}, {-5, 5}}) {
    port.setOrigin(h0, v0);
    for (int32_t h : {INT32_MIN, INT32_MAX}) {
      EXPECT_EQ(port.pixelAt(h, h), nullptr);
      EXPECT_EQ(port.pixelAt(h, 0), nullptr);
    }
  }

  // Empty ports and a buffer that disagrees with its size.
  GrafPort empty;
  EXPECT_EQ(empty.pixelAt(0, 0), nullptr);
  empty.fillRect({0, 0, 10, 10}, kRed);
  GrafPort shrunk(4, 4);
  shrunk.pixels.resize(6);
  EXPECT_EQ(shrunk.pixelAt(1, 1), &shrunk.pixels[5]);
  EXPECT_EQ(shrunk.pixelAt(2, 1), nullptr);
  shrunk.fillRect({0, 0, 4, 4}, kRed);
  EXPECT_EQ(countOf(shrunk, kRed), 6u);

  // A very tall empty port: origin plus height passes INT32_MAX.
  GrafPort tall(0, INT32_MAX);
  tall.setOrigin(0, 100);
  tall.fillRect({0, 0, 32767, 32767}, kRed);
  EXPECT_TRUE(tall.pixels.empty());
}

}  // namespace
}  // namespace kw
