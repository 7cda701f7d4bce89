// QuickDraw ports: see QuickDraw.h.
#include "mac/platform/QuickDraw.h"

#include <algorithm>

namespace kw {

GrafPort::GrafPort(int32_t w, int32_t h, uint32_t fill)
    : pixels(static_cast<size_t>(std::max(w, 0)) * static_cast<size_t>(std::max(h, 0)), fill),
      width(std::max(w, 0)),
      height(std::max(h, 0)),
      clip{0, 0, static_cast<int16_t>(std::min(height, 32767)), static_cast<int16_t>(std::min(width, 32767))} {}

void GrafPort::setOrigin(int16_t h, int16_t v) {
  // The clip keeps its place on the buffer, so its local coordinates move too.
  const int32_t dh = h - origin.h;
  const int32_t dv = v - origin.v;
  const auto shift = [](int16_t value, int32_t by) {
    return static_cast<int16_t>(std::clamp(value + by, -32768, 32767));
  };
  clip = {shift(clip.top, dv), shift(clip.left, dh), shift(clip.bottom, dv), shift(clip.right, dh)};
  origin = {v, h};
}

uint32_t* GrafPort::pixelAt(int32_t h, int32_t v) {
  // 64-bit arithmetic: h - origin.h overflows 32 bits at the ends of the range.
  const int64_t x = int64_t{h} - origin.h;
  const int64_t y = int64_t{v} - origin.v;
  if (x < 0 || y < 0 || x >= width || y >= height) return nullptr;
  const size_t index = static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x);
  // The fields are public: a buffer resized without its dimensions is not overrun.
  if (index >= pixels.size()) return nullptr;
  return &pixels[index];
}

void GrafPort::fillRect(const QDRect& rect, uint32_t argb) {
  // The buffer's far edges in 64 bits: origin + size may pass INT32_MAX. Every
  // bound ends up within the 16-bit range of the rectangles.
  const int32_t top = std::max<int32_t>({rect.top, clip.top, origin.v});
  const int32_t left = std::max<int32_t>({rect.left, clip.left, origin.h});
  const auto bottom = static_cast<int32_t>(std::min<int64_t>({rect.bottom, clip.bottom, int64_t{origin.v} + height}));
  const auto right = static_cast<int32_t>(std::min<int64_t>({rect.right, clip.right, int64_t{origin.h} + width}));
  for (int32_t v = top; v < bottom; ++v) {
    for (int32_t h = left; h < right; ++h) {
      if (uint32_t* pixel = pixelAt(h, v)) *pixel = argb;
    }
  }
}

}  // namespace kw
