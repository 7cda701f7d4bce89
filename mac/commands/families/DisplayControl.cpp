// Display mode search and switching over the desktop's main display.
#include "mac/commands/families/DisplayControl.h"

#include <algorithm>

namespace kw {

void DisplayControl::gatherDisplayModes(int32_t width, int32_t height) {
  if (!originalDisplayMode_) originalDisplayMode_ = desktop_.currentDisplayMode();
  // The switch never changes the colour depth.
  const uint32_t depth = originalDisplayMode_->bitsPerPixel;
  displayModes_.clear();
  if (width < 0 || height < 0) return;
  for (const Mode& mode : desktop_.displayModes) {
    if (mode.bitsPerPixel == depth && mode.width == static_cast<uint32_t>(width) &&
        mode.height == static_cast<uint32_t>(height)) {
      displayModes_.push_back(mode);
    }
  }
  std::stable_sort(displayModes_.begin(), displayModes_.end(), [](const Mode& a, const Mode& b) {
    const uint64_t pixelsA = uint64_t{a.width} * a.height;
    const uint64_t pixelsB = uint64_t{b.width} * b.height;
    if (pixelsA != pixelsB) return pixelsA < pixelsB;
    return a.bitsPerPixel < b.bitsPerPixel;
  });
}

void DisplayControl::switchResolutionTo(int32_t width, int32_t height) {
  gatherDisplayModes(width, height);
  if (displayModes_.empty()) return;
  const Mode mode = displayModes_.front();
  fullscreen_ = true;
  width_ = mode.width;
  height_ = mode.height;
  colorBits_ = mode.bitsPerPixel;
  if (!desktop_.captureAllDisplays()) return;
  if (!desktop_.switchDisplayMode(mode)) desktop_.releaseAllDisplays();
}

void DisplayControl::resetToOriginalResolution() {
  if (!originalDisplayMode_) return;
  desktop_.switchDisplayMode(*originalDisplayMode_);
  desktop_.releaseAllDisplays();
  desktop_.cursorHidden = false;
}

}  // namespace kw
