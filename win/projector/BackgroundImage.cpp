// Decoding a package picture with the gd JPEG reader, placing and resampling
// it, and drawing it with SetDIBitsToDevice. The only user of gd.
#include "win/projector/BackgroundImage.h"

#include <gd.h>

#include <cstdio>
#include <memory>
#include <new>
#include <string>

#include "win/projector/OwnPackage.h"
#include "win/projector/RunFolder.h"
#include "win/projector/package/Placement.h"

namespace kw::orbalo {

namespace {

struct GdImageCloser {
  void operator()(gdImagePtr image) const {
    if (image != nullptr) gdImageDestroy(image);
  }
};

gdImagePtr DecodeJpegFile(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return nullptr;
  gdImagePtr image = gdImageCreateFromJpeg(file);
  std::fclose(file);
  return image;
}

// The decoded picture, top row first, as 0x00RRGGBB pixels.
std::vector<uint32_t> TopDownPixels(gdImagePtr image, Size size) {
  std::vector<uint32_t> pixels;
  if (size.width <= 0 || size.height <= 0 ||
      static_cast<uint64_t>(size.width) * static_cast<uint64_t>(size.height) > kMaxPicturePixels) {
    return pixels;
  }
  pixels.resize(static_cast<size_t>(size.width) * static_cast<size_t>(size.height));
  for (int y = 0; y < size.height; ++y) {
    uint32_t* row = pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(size.width);
    for (int x = 0; x < size.width; ++x) {
      const int colour = gdImageTrueColorPixel(image, x, y);
      row[x] = static_cast<uint32_t>(colour) & 0x00FFFFFFu;
    }
  }
  return pixels;
}

}  // namespace

BackgroundImage::BackgroundImage() { info_.biSize = sizeof(BITMAPINFOHEADER); }

bool BackgroundImage::Load(uint32_t entryId, uint32_t alignmentCode, int screenWidth, int screenHeight) {
  const std::string& folder = PerRunFolder();
  EntryHeader header;
  if (!OwnPackage().ExtractEntry(entryId, folder, &header)) return false;

  std::unique_ptr<gdImageStruct, GdImageCloser> image(DecodeJpegFile(folder + header.Name()));
  if (!image || !gdImageTrueColor(image.get())) return false;

  const Size decoded{gdImageSX(image.get()), gdImageSY(image.get())};
  const Size screen{screenWidth, screenHeight};
  const Point position = AlignObject(alignmentCode, screen, decoded);
  const bool stretch = alignmentCode == kAlignStretch;
  const Size size = stretch ? screen : decoded;
  std::vector<uint32_t> pixels;
  try {
    const std::vector<uint32_t> topDown = TopDownPixels(image.get(), decoded);
    if (topDown.empty()) return false;
    pixels = stretch ? Resample(topDown.data(), decoded, screen) : CopyBottomUp(topDown.data(), decoded);
  } catch (const std::bad_alloc&) {
    return false;  // a picture too large for memory is simply not shown
  }
  if (pixels.empty()) return false;

  x_ = position.x;
  y_ = position.y;
  width_ = size.width;
  height_ = size.height;
  pixels_ = std::move(pixels);

  info_ = BITMAPINFOHEADER{};
  info_.biSize = sizeof(BITMAPINFOHEADER);
  info_.biWidth = width_;
  info_.biHeight = height_;
  info_.biPlanes = 1;
  info_.biBitCount = 32;
  info_.biCompression = BI_RGB;
  loaded_ = true;
  return true;
}

void BackgroundImage::Align(uint32_t alignmentCode, int screenWidth, int screenHeight) {
  const Point position = AlignObject(alignmentCode, Size{screenWidth, screenHeight}, Size{width_, height_});
  x_ = position.x;
  y_ = position.y;
}

void BackgroundImage::Shift(int dx, int dy) {
  x_ += dx;
  y_ += dy;
}

void BackgroundImage::Draw(HDC device) {
  if (!loaded_ || device == nullptr) return;
  SetDIBitsToDevice(device, x_, y_, static_cast<DWORD>(width_), static_cast<DWORD>(height_), 0, 0, 0,
                    static_cast<UINT>(height_), pixels_.data(), reinterpret_cast<const BITMAPINFO*>(&info_),
                    DIB_RGB_COLORS);
}

}  // namespace kw::orbalo
