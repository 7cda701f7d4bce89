// Portable display geometry of orbalo: resolution codes, alignment codes, where
// the player window and the pictures go, and the fixed-point picture stretch.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "win/projector/package/PackageFormat.h"

namespace kw::orbalo {

struct Size {
  int32_t width = 0;
  int32_t height = 0;
  bool operator==(const Size&) const = default;
};

struct Point {
  int32_t x = 0;
  int32_t y = 0;
  bool operator==(const Point&) const = default;
};

// Codes 0-5: 320x200, 320x240, 512x384, 640x480, 800x600, 1024x768.
std::optional<Size> ResolutionForCode(uint32_t code);
inline constexpr Size kFallbackResolution{640, 480};
// The background window's size: the code's resolution, 640x480 for an
// unknown code (the run then ends at the display switch).
Size BackgroundSizeForCode(uint32_t code);

// Alignment codes 0-8 (half = (screen - object) / 2, signed, toward zero),
// 9 (the screen size taken as an explicit position) and 10 (0, 0; the object
// is stretched to the screen). Unknown codes centre like code 0.
inline constexpr uint32_t kAlignExplicit = 9;
inline constexpr uint32_t kAlignStretch = 10;
Point AlignObject(uint32_t code, Size screen, Size object);

// Where the display switch puts the player window: with kUseAlignment set, by
// kAlignmentCode on the requested resolution (codes above 8 centre); else at
// (kWindowX, kWindowY) read as signed values.
Point PlayerWindowPosition(const ProjectorConfig& config, Size requested, Size window);

// Where a picture goes when it is loaded: stretched to the screen at (0, 0)
// when stretching is on; otherwise its own size, centred when it fits in both
// directions, else at (0, 0).
struct PicturePlacement {
  Point position;
  Size size;
  bool stretched = false;
};
PicturePlacement PlacePicture(bool stretch, Size picture, Size screen);

// The shift of the player window and the pictures after the display fell
// back to 640x480: ((640 - width) / 2, (480 - height) / 2), toward zero.
Point FallbackShift(Size configured);

// Pixels are 0x00RRGGBB (bytes blue, green, red, unused in memory).
// Decoded pictures come top row first; the stored bitmap is bottom row first.

// Decoded row y becomes stored row height - 1 - y; values unchanged.
std::vector<uint32_t> CopyBottomUp(const uint32_t* topDown, Size size);

// The separable 16.16 fixed-point resample of a decoded (top-down) picture to
// `target`, returning a bottom-up buffer. Same size: only the bottom-up copy.
// Empty when a size is zero or negative or too large to allocate
// (kMaxPicturePixels). The unused byte of resampled pixels is 0.
inline constexpr size_t kMaxPicturePixels = size_t{1} << 26;
std::vector<uint32_t> Resample(const uint32_t* topDown, Size source, Size target);

}  // namespace kw::orbalo
