// Draws the stand-in's picture of a movie into a QuickDraw port: the
// background colour and a small moving mark, or, for a transparent movie,
// only the mark blended over what the port already holds.
#pragma once

#include <cstdint>

#include "mac/platform/QuickDraw.h"

namespace kw::standin {

struct PaintArea {
  int32_t portx = 0;      // the port origin used while drawing (SetOrigin(portx, porty))
  int32_t porty = 0;
  uint32_t width = 0;     // the movie's area: local (0, 0) to (width, height)
  uint32_t height = 0;
  QDRect clip;            // in port coordinates before the origin moves (like NPWindow.clipRect)
};

struct PaintScene {
  uint32_t background = 0xFFFFFF;  // 0xRRGGBB
  bool transparent = false;
  uint32_t step = 0;               // moves the mark: elapsed ticks of the movie
};

// The mark is a disc of this diameter (smaller in small areas) with a soft edge.
inline constexpr int32_t kMarkDiameter = 24;

// Where the mark's bounding square starts for `step` in an area `width` wide:
// it travels left to right and starts over.
int32_t markLeft(uint32_t step, uint32_t width, int32_t diameter);

// Paints into `port`. The port's origin is set to (portx, porty) while
// drawing and restored afterwards, with its clip; nothing is drawn outside the
// port's clip, the area's clip or the area.
void paint(GrafPort& port, const PaintArea& area, const PaintScene& scene);

// `source` (0xRRGGBB) over `destination` (0xAARRGGBB) with coverage alpha
// 0..255.
uint32_t blend(uint32_t destination, uint32_t source, uint32_t alpha);

}  // namespace kw::standin
