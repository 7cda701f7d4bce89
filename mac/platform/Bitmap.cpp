// RGBA bitmaps with premultiplied alpha: filling, source-over compositing in
// exact integer arithmetic, copying QuickDraw ports, and reading and writing
// image files through libgd (whose alpha is 7 bits, 0 opaque .. 127 clear).
#include "mac/platform/Bitmap.h"

#include <gd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <limits>
#include <string>

namespace kw {

namespace {

// Image files larger than this are not read (the gd readers take an int size).
constexpr std::uintmax_t kMaxImageFileBytes = 64u * 1024 * 1024;
// Pictures with more pixels than this are refused when read.
constexpr int64_t kMaxImagePixels = int64_t{1} << 26;

uint8_t unitToByte(double value) {
  if (!(value > 0)) return 0;  // also NaN
  if (value >= 1) return 255;
  return static_cast<uint8_t>(std::lround(value * 255));
}

// round(numerator / denominator) for non-negative values, halves up.
uint32_t divRound(uint32_t numerator, uint32_t denominator) { return (numerator + denominator / 2) / denominator; }

// The overlap of [start, start + length) with [0, limit), as a start and a
// length (0 when they do not overlap). 64-bit so that no sum overflows.
void clipSpan(int64_t start, int64_t length, int64_t limit, int64_t& from, int64_t& count) {
  const int64_t lo = std::max<int64_t>(start, 0);
  const int64_t hi = std::min<int64_t>(start + length, limit);
  from = lo;
  count = hi > lo ? hi - lo : 0;
}

size_t offsetOf(int64_t x, int64_t y, size_t rowBytes) {
  return static_cast<size_t>(y) * rowBytes + static_cast<size_t>(x) * 4;
}

std::optional<std::string> readSmallFile(const std::filesystem::path& path) {
  std::error_code error;
  const auto size = std::filesystem::file_size(path, error);
  if (error || size == 0 || size > kMaxImageFileBytes) return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (bytes.empty() || bytes.size() > kMaxImageFileBytes) return std::nullopt;
  return bytes;
}

bool startsWith(const std::string& bytes, const char* magic, size_t length) {
  return bytes.size() >= length && std::memcmp(bytes.data(), magic, length) == 0;
}

// Picks the gd reader by the file's signature rather than its name.
gdImagePtr decodeImage(std::string& bytes) {
  const int size = static_cast<int>(bytes.size());
  void* data = bytes.data();
  if (startsWith(bytes, "\x89PNG\r\n\x1a\n", 8)) return gdImageCreateFromPngPtr(size, data);
  if (startsWith(bytes, "\xff\xd8\xff", 3)) return gdImageCreateFromJpegPtr(size, data);
  if (startsWith(bytes, "GIF8", 4)) return gdImageCreateFromGifPtr(size, data);
  if (startsWith(bytes, "BM", 2)) return gdImageCreateFromBmpPtr(size, data);
  if (startsWith(bytes, "II*\0", 4) || startsWith(bytes, "MM\0*", 4)) return gdImageCreateFromTiffPtr(size, data);
  return nullptr;
}

struct GdImageDeleter {
  void operator()(gdImage* image) const { gdImageDestroy(image); }
};

}  // namespace

Bitmap::Bitmap(int32_t width, int32_t height, size_t rowBytes)
    : width_(std::max(width, 0)), height_(std::max(height, 0)) {
  rowBytes_ = std::max(rowBytes, static_cast<size_t>(width_) * 4);
  data_.assign(rowBytes_ * static_cast<size_t>(height_), 0);
}

uint8_t* Bitmap::pixel(int32_t x, int32_t y) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return nullptr;
  return data_.data() + offsetOf(x, y, rowBytes_);
}

const uint8_t* Bitmap::pixel(int32_t x, int32_t y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return nullptr;
  return data_.data() + offsetOf(x, y, rowBytes_);
}

void Bitmap::fill(int32_t x, int32_t y, int32_t width, int32_t height, const RGBAColor& color) {
  if (width <= 0 || height <= 0) return;
  int64_t x0, columns, y0, rows;
  clipSpan(x, width, width_, x0, columns);
  clipSpan(y, height, height_, y0, rows);
  if (columns == 0 || rows == 0) return;
  const uint8_t alpha = unitToByte(color.alpha);
  const double a = alpha / 255.0;
  const uint8_t pixelBytes[4] = {unitToByte(color.red * a), unitToByte(color.green * a), unitToByte(color.blue * a),
                                 alpha};
  for (int64_t row = y0; row < y0 + rows; ++row) {
    uint8_t* p = data_.data() + offsetOf(x0, row, rowBytes_);
    for (int64_t column = 0; column < columns; ++column, p += 4) std::memcpy(p, pixelBytes, 4);
  }
}

// dst = src * o + dst * (1 - srcA * o) with o the opacity in 1/255 steps,
// evaluated over the common denominator 255 * 255 and rounded once.
void Bitmap::compositeSourceOver(const Bitmap& source, int32_t x, int32_t y, double opacity) {
  const uint32_t o = unitToByte(opacity);
  if (o == 0) return;
  if (&source == this) {  // reads and writes would overlap
    const Bitmap copy = source;
    compositeSourceOver(copy, x, y, opacity);
    return;
  }
  int64_t x0, columns, y0, rows;
  clipSpan(x, source.width_, width_, x0, columns);
  clipSpan(y, source.height_, height_, y0, rows);
  if (columns == 0 || rows == 0) return;
  constexpr uint32_t kFull = 255 * 255;
  for (int64_t row = 0; row < rows; ++row) {
    const uint8_t* s = source.data_.data() + offsetOf(x0 - x, y0 - y + row, source.rowBytes_);
    uint8_t* d = data_.data() + offsetOf(x0, y0 + row, rowBytes_);
    for (int64_t column = 0; column < columns; ++column, s += 4, d += 4) {
      const uint32_t sourceAlpha = s[3];
      if (o == 255 && sourceAlpha == 255) {
        std::memcpy(d, s, 4);
        continue;
      }
      if (sourceAlpha == 0 && s[0] == 0 && s[1] == 0 && s[2] == 0) continue;
      const uint32_t keep = kFull - sourceAlpha * o;  // dst weight, times 255 * 255
      for (int i = 0; i < 4; ++i) {
        const uint32_t value = divRound(s[i] * o * 255 + d[i] * keep, kFull);
        // Only colour bytes above their alpha (not premultiplied) can exceed 255.
        d[i] = static_cast<uint8_t>(std::min<uint32_t>(value, 255));
      }
    }
  }
}

void Bitmap::copyPort(const GrafPort& port, int32_t x, int32_t y) {
  if (port.width <= 0 || port.height <= 0) return;
  if (port.pixels.size() < static_cast<size_t>(port.width) * static_cast<size_t>(port.height)) return;
  int64_t x0, columns, y0, rows;
  clipSpan(x, port.width, width_, x0, columns);
  clipSpan(y, port.height, height_, y0, rows);
  for (int64_t row = 0; row < rows; ++row) {
    const uint32_t* s = port.pixels.data() + static_cast<size_t>(y0 - y + row) * static_cast<size_t>(port.width) +
                        static_cast<size_t>(x0 - x);
    uint8_t* d = data_.data() + offsetOf(x0, y0 + row, rowBytes_);
    for (int64_t column = 0; column < columns; ++column, ++s, d += 4) {
      const uint32_t argb = *s;
      d[0] = static_cast<uint8_t>(argb >> 16);
      d[1] = static_cast<uint8_t>(argb >> 8);
      d[2] = static_cast<uint8_t>(argb);
      d[3] = static_cast<uint8_t>(argb >> 24);
    }
  }
}

std::optional<Bitmap> Bitmap::readImageFile(const std::filesystem::path& path) {
  auto bytes = readSmallFile(path);
  if (!bytes) return std::nullopt;
  std::unique_ptr<gdImage, GdImageDeleter> image(decodeImage(*bytes));
  if (!image) return std::nullopt;
  const int width = gdImageSX(image.get());
  const int height = gdImageSY(image.get());
  if (width <= 0 || height <= 0 || int64_t{width} * height > kMaxImagePixels) return std::nullopt;
  gdImage* im = image.get();
  const int transparent = im->trueColor ? -1 : gdImageGetTransparent(im);
  Bitmap bitmap(width, height);
  for (int y = 0; y < height; ++y) {
    uint8_t* d = bitmap.pixel(0, y);
    for (int x = 0; x < width; ++x, d += 4) {
      const int c = gdImageGetPixel(im, x, y);
      // gd alpha 0 (opaque) .. 127 (clear) to 255 .. 0.
      const int gdAlpha = (c == transparent) ? gdAlphaTransparent : std::clamp(gdImageAlpha(im, c), 0, 127);
      const uint32_t alpha = divRound(static_cast<uint32_t>(gdAlphaMax - gdAlpha) * 255, gdAlphaMax);
      const uint32_t rgb[3] = {static_cast<uint32_t>(gdImageRed(im, c)), static_cast<uint32_t>(gdImageGreen(im, c)),
                               static_cast<uint32_t>(gdImageBlue(im, c))};
      for (int i = 0; i < 3; ++i) d[i] = static_cast<uint8_t>(divRound((rgb[i] & 0xFF) * alpha, 255));
      d[3] = static_cast<uint8_t>(alpha);
    }
  }
  return bitmap;
}

bool Bitmap::writePng(const std::filesystem::path& path) const {
  if (width_ == 0 || height_ == 0) return false;
  std::unique_ptr<gdImage, GdImageDeleter> image(gdImageCreateTrueColor(width_, height_));
  if (!image) return false;
  gdImage* im = image.get();
  gdImageAlphaBlending(im, 0);
  gdImageSaveAlpha(im, 1);
  for (int32_t y = 0; y < height_; ++y) {
    const uint8_t* s = pixel(0, y);
    for (int32_t x = 0; x < width_; ++x, s += 4) {
      const uint32_t alpha = s[3];
      int rgb[3] = {0, 0, 0};
      if (alpha != 0) {
        for (int i = 0; i < 3; ++i) rgb[i] = static_cast<int>(std::min<uint32_t>(divRound(s[i] * 255u, alpha), 255));
      }
      const int gdAlpha = gdAlphaMax - static_cast<int>(divRound(alpha * gdAlphaMax, 255));
      gdImageSetPixel(im, x, y, gdTrueColorAlpha(rgb[0], rgb[1], rgb[2], gdAlpha));
    }
  }
  int size = 0;
  void* png = gdImagePngPtr(im, &size);
  if (!png) return false;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(static_cast<const char*>(png), size);
  gdFree(png);
  out.close();
  return static_cast<bool>(out);
}

std::shared_ptr<Image> Image::fromFile(const std::filesystem::path& path) {
  auto bitmap = Bitmap::readImageFile(path);
  if (!bitmap) return nullptr;
  auto image = std::make_shared<Image>();
  image->size = {static_cast<double>(bitmap->width()), static_cast<double>(bitmap->height())};
  image->representations.push_back(std::make_shared<const Bitmap>(std::move(*bitmap)));
  return image;
}

}  // namespace kw
