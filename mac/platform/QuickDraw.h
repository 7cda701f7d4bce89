// QuickDraw geometry and ports as the plug-in sees them: rectangles and points
// with 16-bit coordinates (top-left origin, v downward) and a port that is a
// 32-bit pixel buffer with a movable origin and a clip rectangle.
#pragma once

#include <cstdint>
#include <vector>

namespace kw {

struct QDPoint {
  int16_t v = 0;
  int16_t h = 0;
  friend bool operator==(const QDPoint&, const QDPoint&) = default;
};

struct QDRect {
  int16_t top = 0;
  int16_t left = 0;
  int16_t bottom = 0;
  int16_t right = 0;
  friend bool operator==(const QDRect&, const QDRect&) = default;
};

// A drawing port. Pixel (0, 0) of the buffer has the local coordinates
// `origin`; SetOrigin moves them. The clip rectangle is in local coordinates.
// Pixels are 0xAARRGGBB.
struct GrafPort {
  std::vector<uint32_t> pixels;
  int32_t width = 0;
  int32_t height = 0;
  QDPoint origin;
  QDRect clip;

  GrafPort() = default;
  GrafPort(int32_t w, int32_t h, uint32_t fill = 0xFF000000);

  void setOrigin(int16_t h, int16_t v);
  // The pixel at local coordinates (h, v), or nullptr outside the buffer.
  uint32_t* pixelAt(int32_t h, int32_t v);
  // Fills the part of `rect` (local coordinates) inside the clip and the buffer.
  void fillRect(const QDRect& rect, uint32_t argb);
};

}  // namespace kw
