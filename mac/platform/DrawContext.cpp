// Drawing into a target bitmap in view coordinates: the view's bottom-left
// origin with y upward becomes the bitmap's top-left origin with y downward.
#include <algorithm>
#include <cmath>

#include "mac/platform/View.h"

namespace kw {

namespace {

// floor(value) as a raster coordinate; NaN counts as 0 and anything beyond
// the 32-bit range is held at its end (drawing there is clipped anyway).
int32_t floorToInt32(double value) {
  if (std::isnan(value)) return 0;
  constexpr double kLimit = 1 << 30;
  return static_cast<int32_t>(std::floor(std::clamp(value, -kLimit, kLimit)));
}

int32_t offsetBy(int32_t base, int32_t delta) {
  const int64_t sum = int64_t{base} + delta;
  return static_cast<int32_t>(std::clamp<int64_t>(sum, INT32_MIN, INT32_MAX));
}

}  // namespace

void DrawContext::toRaster(const DesktopRect& rect, int32_t& x, int32_t& y, int32_t& width, int32_t& height) const {
  x = offsetBy(left_, floorToInt32(rect.minX()));
  y = offsetBy(top_, floorToInt32(viewHeight_ - rect.maxY()));
  width = std::max(floorToInt32(rect.size.width), 0);
  height = std::max(floorToInt32(rect.size.height), 0);
}

void DrawContext::fill(const DesktopRect& rect, const RGBAColor& color) {
  int32_t x, y, width, height;
  toRaster(rect, x, y, width, height);
  target_.fill(x, y, width, height, color);
}

void DrawContext::composite(const Bitmap& bitmap, DesktopPoint at, double opacity) {
  // The bitmap's top edge lies its height above its bottom-left corner.
  int32_t x, y, width, height;
  toRaster({at, {static_cast<double>(bitmap.width()), static_cast<double>(bitmap.height())}}, x, y, width, height);
  target_.compositeSourceOver(bitmap, x, y, opacity);
}

void DrawContext::copyPort(const GrafPort& port) { target_.copyPort(port, left_, top_); }

}  // namespace kw
