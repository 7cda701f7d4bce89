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
  const int32_t x = h - origin.h;
  const int32_t y = v - origin.v;
  if (x < 0 || y < 0 || x >= width || y >= height) return nullptr;
  return &pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
}

void GrafPort::fillRect(const QDRect& rect, uint32_t argb) {
  const int32_t top = std::max<int32_t>({rect.top, clip.top, origin.v});
  const int32_t left = std::max<int32_t>({rect.left, clip.left, origin.h});
  const int32_t bottom = std::min<int32_t>({rect.bottom, clip.bottom, origin.v + height});
  const int32_t right = std::min<int32_t>({rect.right, clip.right, origin.h + width});
  for (int32_t v = top; v < bottom; ++v) {
    for (int32_t h = left; h < right; ++h) *pixelAt(h, v) = argb;
  }
}

}  // namespace kw
