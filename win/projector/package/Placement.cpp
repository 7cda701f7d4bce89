// Resolution and alignment tables, window and picture placement, and the
// separable 16.16 fixed-point picture resample.
#include "win/projector/package/Placement.h"

#include <algorithm>
#include <limits>
#include <new>

namespace kw::orbalo {

namespace {

constexpr Size kResolutions[] = {{320, 200}, {320, 240}, {512, 384}, {640, 480}, {800, 600}, {1024, 768}};

int32_t Clamp32(int64_t value) {
  return static_cast<int32_t>(
      std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

// (a * (65536 - f) + b * f) >> 16 for the blue, green and red bytes; the
// fourth byte stays 0.
uint32_t Blend(uint32_t a, uint32_t b, uint32_t f) {
  uint32_t result = 0;
  for (unsigned shift = 0; shift < 24; shift += 8) {
    const uint64_t ca = (a >> shift) & 0xFFu;
    const uint64_t cb = (b >> shift) & 0xFFu;
    const uint64_t mixed = (ca * (65536u - f) + cb * f) >> 16;
    result |= static_cast<uint32_t>(mixed) << shift;
  }
  return result;
}

bool Allocatable(Size size) {
  return size.width > 0 && size.height > 0 &&
         static_cast<uint64_t>(size.width) * static_cast<uint64_t>(size.height) <= kMaxPicturePixels;
}

}  // namespace

std::optional<Size> ResolutionForCode(uint32_t code) {
  if (code >= std::size(kResolutions)) return std::nullopt;
  return kResolutions[code];
}

Size BackgroundSizeForCode(uint32_t code) { return ResolutionForCode(code).value_or(kFallbackResolution); }

Point AlignObject(uint32_t code, Size screen, Size object) {
  const int64_t right = int64_t{screen.width} - object.width;
  const int64_t bottom = int64_t{screen.height} - object.height;
  const int64_t halfX = right / 2;  // C++ division rounds toward zero
  const int64_t halfY = bottom / 2;
  int64_t x = halfX;
  int64_t y = halfY;
  switch (code) {
    case 1: x = 0; y = 0; break;
    case 2: x = halfX; y = 0; break;
    case 3: x = right; y = 0; break;
    case 4: x = 0; y = halfY; break;
    case 5: x = right; y = halfY; break;
    case 6: x = 0; y = bottom; break;
    case 7: x = halfX; y = bottom; break;
    case 8: x = right; y = bottom; break;
    case kAlignExplicit: x = screen.width; y = screen.height; break;
    case kAlignStretch: x = 0; y = 0; break;
    default: break;  // 0 and unknown codes: centred
  }
  return Point{Clamp32(x), Clamp32(y)};
}

Point PlayerWindowPosition(const ProjectorConfig& config, Size requested, Size window) {
  if (config.useAlignment == 0) {
    return Point{static_cast<int32_t>(config.windowX), static_cast<int32_t>(config.windowY)};
  }
  const uint32_t code = config.alignmentCode <= 8 ? config.alignmentCode : 0;
  return AlignObject(code, requested, window);
}

PicturePlacement PlacePicture(bool stretch, Size picture, Size screen) {
  if (stretch) return PicturePlacement{AlignObject(kAlignStretch, screen, picture), screen, true};
  PicturePlacement placement{AlignObject(1, screen, picture), picture, false};
  if (picture.width <= screen.width && picture.height <= screen.height) {
    placement.position = AlignObject(0, screen, picture);
  }
  return placement;
}

Point FallbackShift(Size configured) {
  return Point{Clamp32((int64_t{kFallbackResolution.width} - configured.width) / 2),
               Clamp32((int64_t{kFallbackResolution.height} - configured.height) / 2)};
}

std::vector<uint32_t> CopyBottomUp(const uint32_t* topDown, Size size) {
  std::vector<uint32_t> out;
  if (topDown == nullptr || !Allocatable(size)) return out;
  const size_t width = static_cast<size_t>(size.width);
  const size_t height = static_cast<size_t>(size.height);
  out.resize(width * height);
  for (size_t y = 0; y < height; ++y) {
    std::copy_n(topDown + y * width, width, out.data() + (height - 1 - y) * width);
  }
  return out;
}

std::vector<uint32_t> Resample(const uint32_t* topDown, Size source, Size target) {
  if (topDown == nullptr || !Allocatable(source) || !Allocatable(target)) return {};
  if (source == target) return CopyBottomUp(topDown, source);
  try {
    const size_t iw = static_cast<size_t>(source.width);
    const size_t ih = static_cast<size_t>(source.height);
    const size_t dw = static_cast<size_t>(target.width);
    const size_t dh = static_cast<size_t>(target.height);
    const std::vector<uint32_t> first = CopyBottomUp(topDown, source);

    // Horizontal pass: ih rows of iw pixels into ih rows of dw pixels.
    std::vector<uint32_t> second(ih * dw, 0);
    if (iw == dw) {
      second.assign(first.begin(), first.end());
    } else {
      const uint64_t step = (uint64_t{iw} - 1) * 65536u / dw;
      for (size_t row = 0; row < ih; ++row) {
        const uint32_t* in = first.data() + row * iw;
        uint32_t* out = second.data() + row * dw;
        uint64_t p = 0;
        for (size_t x = 0; x < dw; ++x, p += step) {
          const size_t i = static_cast<size_t>(p >> 16);
          const uint32_t f = static_cast<uint32_t>(p & 0xFFFFu);
          // Beyond the last pixel the weight is 0 (a one-pixel-wide row).
          out[x] = Blend(in[i], in[std::min(i + 1, iw - 1)], f);
        }
      }
    }

    // Vertical pass: ih rows into dh rows of dw pixels.
    if (ih == dh) return second;
    std::vector<uint32_t> result(dh * dw, 0);
    const uint64_t step = (uint64_t{ih} - 1) * 65536u / dh;
    uint64_t q = 0;
    for (size_t row = 0; row < dh; ++row, q += step) {
      const size_t j = static_cast<size_t>(q >> 16);
      const uint32_t f = static_cast<uint32_t>(q & 0xFFFFu);
      const uint32_t* a = second.data() + j * dw;
      const uint32_t* b = second.data() + std::min(j + 1, ih - 1) * dw;
      uint32_t* out = result.data() + row * dw;
      for (size_t x = 0; x < dw; ++x) out[x] = Blend(a[x], b[x], f);
    }
    return result;
  } catch (const std::bad_alloc&) {
    return {};
  }
}

}  // namespace kw::orbalo
