// The stand-in's painter: background fill and a soft-edged moving mark.
#include "tools/standin/Painter.h"

#include <algorithm>
#include <cmath>

namespace kw::standin {
namespace {

int16_t clamp16(int64_t value) { return static_cast<int16_t>(std::clamp<int64_t>(value, -32768, 32767)); }

QDRect intersect(const QDRect& a, const QDRect& b) {
  return {std::max(a.top, b.top), std::max(a.left, b.left), std::min(a.bottom, b.bottom),
          std::min(a.right, b.right)};
}

// The most a mark pixel covers: the centre stays a little see-through, so a
// transparent movie shows what lies under it.
constexpr double kMarkOpacity = 0.75;

}  // namespace

uint32_t blend(uint32_t destination, uint32_t source, uint32_t alpha) {
  alpha = std::min<uint32_t>(alpha, 255);
  const auto channel = [&](unsigned shift) {
    const uint32_t d = (destination >> shift) & 0xFF;
    const uint32_t s = (source >> shift) & 0xFF;
    return ((s * alpha + d * (255 - alpha) + 127) / 255) << shift;
  };
  const uint32_t destinationAlpha = destination >> 24;
  const uint32_t outAlpha = alpha + (destinationAlpha * (255 - alpha) + 127) / 255;
  return (outAlpha << 24) | channel(16) | channel(8) | channel(0);
}

int32_t markLeft(uint32_t step, uint32_t width, int32_t diameter) {
  const int64_t travel = int64_t{width} - diameter;
  if (travel <= 0) return 0;
  return static_cast<int32_t>((int64_t{step} * 2) % (travel + 1));
}

void paint(GrafPort& port, const PaintArea& area, const PaintScene& scene) {
  const QDPoint savedOrigin = port.origin;
  const QDRect savedClip = port.clip;
  port.setOrigin(clamp16(area.portx), clamp16(area.porty));

  // The area's clip in local coordinates, then the area itself.
  const QDRect areaClip{clamp16(int64_t{area.clip.top} + area.porty), clamp16(int64_t{area.clip.left} + area.portx),
                        clamp16(int64_t{area.clip.bottom} + area.porty),
                        clamp16(int64_t{area.clip.right} + area.portx)};
  const QDRect bounds{0, 0, clamp16(area.height), clamp16(area.width)};
  port.clip = intersect(intersect(port.clip, areaClip), bounds);

  if (!scene.transparent) port.fillRect(bounds, 0xFF000000 | (scene.background & 0xFFFFFF));

  const int32_t diameter =
      std::min<int32_t>({kMarkDiameter, static_cast<int32_t>(std::min<uint32_t>(area.width, 4096)),
                         static_cast<int32_t>(std::min<uint32_t>(area.height, 4096))});
  if (diameter > 0) {
    const int32_t left = markLeft(scene.step, area.width, diameter);
    const int32_t top = static_cast<int32_t>((std::min<uint32_t>(area.height, 65535) - static_cast<uint32_t>(diameter)) / 2);
    const uint32_t colour = (scene.background ^ 0xFFFFFF) & 0xFFFFFF;
    const double radius = diameter / 2.0;
    const int32_t fromV = std::max<int32_t>(top, port.clip.top);
    const int32_t toV = std::min<int32_t>(top + diameter, port.clip.bottom);
    const int32_t fromH = std::max<int32_t>(left, port.clip.left);
    const int32_t toH = std::min<int32_t>(left + diameter, port.clip.right);
    for (int32_t v = fromV; v < toV; ++v) {
      for (int32_t h = fromH; h < toH; ++h) {
        uint32_t* pixel = port.pixelAt(h, v);
        if (pixel == nullptr) continue;
        const double dx = h + 0.5 - left - radius;
        const double dy = v + 0.5 - top - radius;
        // Full cover inside radius - 2, fading to nothing at the radius.
        const double cover = std::clamp((radius - std::sqrt(dx * dx + dy * dy)) / 2.0, 0.0, 1.0);
        const auto alpha = static_cast<uint32_t>(std::lround(cover * kMarkOpacity * 255.0));
        if (alpha > 0) *pixel = blend(*pixel, colour, alpha);
      }
    }
  }

  port.setOrigin(savedOrigin.h, savedOrigin.v);
  port.clip = savedClip;
}

}  // namespace kw::standin
