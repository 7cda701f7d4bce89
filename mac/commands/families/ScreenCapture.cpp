// Screen capture to JPEG and the dock icon's badge, drawn with libgd.
#include "mac/commands/families/ScreenCapture.h"

#include <gd.h>
#include <gdfonts.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "mac/platform/SystemLog.h"

namespace kw {
namespace fs = std::filesystem;

namespace {

constexpr double kDefaultJPEGQuality = 0.85;
constexpr double kBadgeFontPoints = 24;
// Bold sans-serif font files, the first one found is used (metric twins of the
// classic badge font first). Named by path: going through fontconfig would
// keep memory of its own for the life of the process.
constexpr char kBadgeFont[] =
    "/usr/share/fonts/truetype/liberation/LiberationSans-Bold.ttf;"
    "/usr/share/fonts/truetype/liberation2/LiberationSans-Bold.ttf;"
    "/usr/share/fonts/liberation/LiberationSans-Bold.ttf;"
    "/usr/share/fonts/opentype/urw-base35/NimbusSans-Bold.otf;"
    "/usr/share/fonts/truetype/freefont/FreeSansBold.ttf;"
    "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf;"
    "/usr/share/fonts/TTF/DejaVuSans-Bold.ttf;"
    "/usr/share/fonts/dejavu/DejaVuSans-Bold.ttf";
constexpr double kIconSide = 128;
// Longer badge texts are cut here (at a character boundary): nobody can read
// them on an icon, and laying out megabytes of text would stall the program.
constexpr size_t kLongestBadge = 256;

struct GdImage {
  gdImagePtr image = nullptr;
  explicit GdImage(gdImagePtr made) : image(made) {}
  ~GdImage() {
    if (image != nullptr) gdImageDestroy(image);
  }
  GdImage(const GdImage&) = delete;
  GdImage& operator=(const GdImage&) = delete;
};

int toGdAlpha(uint8_t alpha) { return gdAlphaMax - (alpha * gdAlphaMax + 127) / 255; }

// A true-colour gd image of the (premultiplied) bitmap; null when it cannot be made.
gdImagePtr gdImageFromBitmap(const Bitmap& bitmap) {
  gdImagePtr image = gdImageCreateTrueColor(bitmap.width(), bitmap.height());
  if (image == nullptr) return nullptr;
  gdImageAlphaBlending(image, 0);
  gdImageSaveAlpha(image, 1);
  for (int32_t y = 0; y < bitmap.height(); ++y) {
    for (int32_t x = 0; x < bitmap.width(); ++x) {
      const uint8_t* p = bitmap.pixel(x, y);
      const int a = p[3];
      auto straight = [a](int c) { return a == 0 ? 0 : std::min(255, (c * 255 + a / 2) / a); };
      gdImageSetPixel(image, x, y, gdTrueColorAlpha(straight(p[0]), straight(p[1]), straight(p[2]), toGdAlpha(p[3])));
    }
  }
  return image;
}

Bitmap bitmapFromGdImage(gdImagePtr image) {
  Bitmap bitmap(gdImageSX(image), gdImageSY(image));
  for (int32_t y = 0; y < bitmap.height(); ++y) {
    for (int32_t x = 0; x < bitmap.width(); ++x) {
      const int color = gdImageGetTrueColorPixel(image, x, y);
      const int a = 255 - (gdTrueColorGetAlpha(color) * 255 + gdAlphaMax / 2) / gdAlphaMax;
      uint8_t* p = bitmap.pixel(x, y);
      p[0] = static_cast<uint8_t>((gdTrueColorGetRed(color) * a + 127) / 255);
      p[1] = static_cast<uint8_t>((gdTrueColorGetGreen(color) * a + 127) / 255);
      p[2] = static_cast<uint8_t>((gdTrueColorGetBlue(color) * a + 127) / 255);
      p[3] = static_cast<uint8_t>(a);
    }
  }
  return bitmap;
}

// Writes the bytes to a temporary file beside `path` and renames it over it.
bool writeAtomically(const fs::path& path, const void* bytes, size_t size) {
  std::string temporary = path.string() + ".XXXXXX";
  const int fd = mkstemp(temporary.data());
  if (fd < 0) return false;
  const char* data = static_cast<const char*>(bytes);
  size_t written = 0;
  while (written < size) {
    const ssize_t n = ::write(fd, data + written, size - written);
    if (n <= 0) break;
    written += static_cast<size_t>(n);
  }
  const bool synced = written == size && ::fsync(fd) == 0;
  const bool ok = ::close(fd) == 0 && synced;
  if (!ok || std::rename(temporary.c_str(), path.c_str()) != 0) {
    ::unlink(temporary.c_str());
    return false;
  }
  return true;
}

std::string cutBadge(const std::string& text) {
  if (text.size() <= kLongestBadge) return text;
  size_t end = kLongestBadge;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return text.substr(0, end);
}

gdFTStringExtra fontOptions() {
  gdFTStringExtra options{};
  options.flags = gdFTEX_RESOLUTION | gdFTEX_FONTPATHNAME;
  options.hdpi = 72;  // points are pixels
  options.vdpi = 72;
  return options;
}

// The text's bounding box (gd's eight corner coordinates); false when no font is at hand.
bool measure(const std::string& text, int box[8]) {
  gdFTStringExtra options = fontOptions();
  std::string copy = text;
  return gdImageStringFTEx(nullptr, box, 0, const_cast<char*>(kBadgeFont), kBadgeFontPoints, 0, 0, 0, copy.data(),
                           &options) == nullptr;
}

}  // namespace

bool scaleAndSaveAsJPEG(const Bitmap* bitmap, int32_t maxWidth, int32_t maxHeight, double quality,
                        const fs::path& path) {
  if (!(quality > 0)) quality = kDefaultJPEGQuality;
  if (quality > 1.0) quality = 1.0;
  if (bitmap == nullptr) {
    systemLog("Could not load");
    return false;
  }
  GdImage source(bitmap->width() > 0 && bitmap->height() > 0 ? gdImageFromBitmap(*bitmap) : nullptr);
  if (source.image == nullptr) {
    systemLog("Could not render image");
    return false;
  }
  int32_t width = bitmap->width();
  int32_t height = bitmap->height();
  if (width > maxWidth || height > maxHeight) {
    if (maxWidth <= 0 || maxHeight <= 0) {
      systemLog("Could not scale image");
      return false;
    }
    const double rw = static_cast<double>(width) / maxWidth;
    const double rh = static_cast<double>(height) / maxHeight;
    if (rw > rh) {
      height = static_cast<int32_t>(height / rw);
      width = maxWidth;
    } else {
      width = static_cast<int32_t>(width / rh);
      height = maxHeight;
    }
  }
  GdImage scaled(width > 0 && height > 0 ? gdImageCreateTrueColor(width, height) : nullptr);
  if (scaled.image == nullptr) {
    systemLog("Could not scale image");
    return false;
  }
  gdImageCopyResampled(scaled.image, source.image, 0, 0, 0, 0, width, height, bitmap->width(), bitmap->height());
  int size = 0;
  void* jpeg = gdImageJpegPtr(scaled.image, &size, static_cast<int>(std::lround(quality * 100)));
  if (jpeg == nullptr || size <= 0) {
    if (jpeg != nullptr) gdFree(jpeg);
    systemLog("Could not convert to JPEG");
    return false;
  }
  const bool written = writeAtomically(path, jpeg, static_cast<size_t>(size));
  gdFree(jpeg);
  return written;
}

RGBAColor colorFromHexRGB(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])) != 0) ++i;
  if (text.size() - i > 2 && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X') &&
      std::isxdigit(static_cast<unsigned char>(text[i + 2])) != 0) {
    i += 2;
  }
  uint32_t value = 0;
  bool any = false;
  for (; i < text.size() && std::isxdigit(static_cast<unsigned char>(text[i])) != 0; ++i) {
    const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(text[i])));
    value = (value << 4) | static_cast<uint32_t>(c <= '9' ? c - '0' : c - 'a' + 10);
    any = true;
  }
  if (!any) return RGBAColor::black();
  return {((value >> 16) & 0xFF) / 255.0, ((value >> 8) & 0xFF) / 255.0, (value & 0xFF) / 255.0, 1};
}

TextSize badgeTextSize(const std::string& text) {
  const std::string badge = cutBadge(text);
  if (badge.empty()) return {};
  int box[8] = {};
  int line[8] = {};
  if (measure(badge, box) && measure("Hg", line)) return {box[2] - box[0], line[1] - line[7]};
  const gdFontPtr font = gdFontGetSmall();
  return {static_cast<int32_t>(badge.size()) * font->w, font->h};
}

BadgeOval badgeOval(TextSize text) {
  const double w = text.width;
  const double h = text.height;
  const double d = 12 + std::max(w, h);
  if (d < 60) return {0, kIconSide - d, d, d};
  const double ovalHeight = h + 12 + w / 3;
  return {0, kIconSide - ovalHeight, w + 12, ovalHeight};
}

std::shared_ptr<Image> badgedIcon(const Image& icon, const std::string& text, const RGBAColor& color) {
  const Bitmap* original = icon.bestRepresentation();
  const int32_t width = original != nullptr ? original->width() : static_cast<int32_t>(icon.size.width);
  const int32_t height = original != nullptr ? original->height() : static_cast<int32_t>(icon.size.height);
  const Bitmap base = original != nullptr ? *original : Bitmap(width, height);
  GdImage canvas(width > 0 && height > 0 ? gdImageFromBitmap(base) : nullptr);
  if (canvas.image == nullptr) return std::make_shared<Image>(icon);
  gdImageAlphaBlending(canvas.image, 1);

  const std::string badge = cutBadge(text);
  const TextSize size = badgeTextSize(badge);
  const BadgeOval oval = badgeOval(size);
  // Icon coordinates (y up) to raster coordinates (y down).
  const double top = height - (oval.y + oval.height);
  auto channel = [](double c) { return static_cast<int>(std::lround(std::clamp(c, 0.0, 1.0) * 255)); };
  const int fill = gdTrueColorAlpha(channel(color.red), channel(color.green), channel(color.blue), 0);
  gdImageFilledEllipse(canvas.image, static_cast<int>(std::lround(oval.x + oval.width / 2)),
                       static_cast<int>(std::lround(top + oval.height / 2)), static_cast<int>(std::lround(oval.width)),
                       static_cast<int>(std::lround(oval.height)), fill);

  const int white = gdTrueColorAlpha(255, 255, 255, 0);
  const double left = oval.x + (oval.width - size.width) / 2;
  const double textTop = top + (oval.height - size.height) / 2;
  int box[8] = {};
  int line[8] = {};
  if (measure(badge, box) && measure("Hg", line)) {
    gdFTStringExtra options = fontOptions();
    std::string copy = badge;
    gdImageStringFTEx(canvas.image, box, white, const_cast<char*>(kBadgeFont), kBadgeFontPoints, 0,
                      static_cast<int>(std::lround(left)) - box[0], static_cast<int>(std::lround(textTop)) - line[7],
                      copy.data(), &options);
  } else {
    std::string copy = badge;
    gdImageString(canvas.image, gdFontGetSmall(), static_cast<int>(std::lround(left)),
                  static_cast<int>(std::lround(textTop)), reinterpret_cast<unsigned char*>(copy.data()), white);
  }
  auto image = std::make_shared<Image>();
  image->size = {static_cast<double>(width), static_cast<double>(height)};
  image->representations.push_back(std::make_shared<const Bitmap>(bitmapFromGdImage(canvas.image)));
  return image;
}

}  // namespace kw
