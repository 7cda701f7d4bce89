// Pictures of the desktop model: RGBA bitmaps (8 bits per sample, alpha
// premultiplied, rows of a given length), colours, images made of bitmap
// representations, and the drawing operations views use: fill, source-over
// compositing and copying a QuickDraw port. Raster coordinates: (0, 0) is the
// top-left pixel, y downward.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

#include "mac/platform/Geometry.h"
#include "mac/platform/QuickDraw.h"

namespace kw {

struct RGBAColor {
  double red = 0, green = 0, blue = 0, alpha = 0;  // 0..1, not premultiplied
  friend bool operator==(const RGBAColor&, const RGBAColor&) = default;
  static RGBAColor clear() { return {0, 0, 0, 0}; }
  static RGBAColor black() { return {0, 0, 0, 1}; }
  static RGBAColor white() { return {1, 1, 1, 1}; }
};

class Bitmap {
 public:
  // A cleared (transparent) bitmap; `rowBytes` 0 means width * 4, a smaller
  // value is raised to it. Negative sizes count as 0.
  Bitmap(int32_t width, int32_t height, size_t rowBytes = 0);

  int32_t width() const { return width_; }
  int32_t height() const { return height_; }
  size_t rowBytes() const { return rowBytes_; }
  uint8_t* data() { return data_.data(); }
  const uint8_t* data() const { return data_.data(); }
  // The pixel's four bytes R, G, B, A, or nullptr outside the bitmap.
  uint8_t* pixel(int32_t x, int32_t y);
  const uint8_t* pixel(int32_t x, int32_t y) const;

  // Sets every pixel of `rect` (raster coordinates, clipped) to the colour.
  void fill(int32_t x, int32_t y, int32_t width, int32_t height, const RGBAColor& color);
  // Composites `source` with its top-left pixel at (x, y), source-over,
  // with its alpha further scaled by `opacity` (0..1). Clipped to both.
  void compositeSourceOver(const Bitmap& source, int32_t x, int32_t y, double opacity = 1.0);
  // Copies a QuickDraw port's pixels (0xAARRGGBB) to (x, y) as they are,
  // alpha included, clipped to both.
  void copyPort(const GrafPort& port, int32_t x, int32_t y);

  // Reads a PNG or JPEG file (libgd); none when it cannot be read.
  static std::optional<Bitmap> readImageFile(const std::filesystem::path& path);
  // Writes the bitmap as a PNG file (libgd); false when it cannot be written.
  bool writePng(const std::filesystem::path& path) const;

 private:
  int32_t width_ = 0;
  int32_t height_ = 0;
  size_t rowBytes_ = 0;
  std::vector<uint8_t> data_;
};

// An image: a size and the bitmap representations that draw it (the last
// added is the one drawn).
struct Image {
  DesktopSize size;
  std::vector<std::shared_ptr<const Bitmap>> representations;

  // The image of a PNG or JPEG file, sized as its pixels; none when unreadable.
  static std::shared_ptr<Image> fromFile(const std::filesystem::path& path);
  const Bitmap* bestRepresentation() const {
    return representations.empty() ? nullptr : representations.back().get();
  }
};

}  // namespace kw
