// Pictures made by the system commands: a bitmap scaled to fit a maximum size
// and saved as a JPEG file (screen capture), and the application icon with a
// badge (a coloured oval with white text, drawn in its top-left corner).
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "mac/platform/Bitmap.h"

namespace kw {

// scaleAndSaveAsJPEG:maxwidth:maxheight:quality:saveTo:. Quality 0 or less is
// 0.85, above 1 is 1. A bitmap wider or higher than the maximum is scaled down
// keeping its proportions (the ratio that is larger decides). The file is
// written atomically. Failures are logged ("Could not load", "Could not render
// image", "Could not scale image", "Could not convert to JPEG") and give false.
bool scaleAndSaveAsJPEG(const Bitmap* bitmap, int32_t maxWidth, int32_t maxHeight, double quality,
                        const std::filesystem::path& path);

// colorFromHexRGB: "RRGGBB" (optionally after blanks and "0x"); black when unreadable.
RGBAColor colorFromHexRGB(std::string_view text);

struct TextSize {
  int32_t width = 0;
  int32_t height = 0;
};
// The size of a badge text in the badge font (bold sans-serif, 24 points).
TextSize badgeTextSize(const std::string& text);

// The oval of a badge in icon coordinates (origin at the bottom left of a
// 128 by 128 icon): a circle of diameter 12 + the text's larger side when
// that is below 60, else an oval wide and high enough for longer texts.
struct BadgeOval {
  double x = 0, y = 0, width = 0, height = 0;
};
BadgeOval badgeOval(TextSize text);

// A new image of the icon's size: the icon, the oval in `color` and the text
// centred in it in white. An icon without pixels is drawn as a transparent one.
std::shared_ptr<Image> badgedIcon(const Image& icon, const std::string& badge, const RGBAColor& color);

}  // namespace kw
