// The screen mode switcher of the resolution commands: finds the main
// display's modes of a size at the starting colour depth, captures the
// displays and switches; switches back to the starting mode on reset.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "mac/platform/Desktop.h"

namespace kw {

class DisplayControl {
 public:
  using Mode = Desktop::DisplayMode;
  explicit DisplayControl(Desktop& desktop) : desktop_(desktop) {}

  // gatherDisplayModes:Height: keeps the current mode as the starting mode
  // on the first search, then lists the display's modes of that size at the
  // starting depth (any refresh rate), by pixel count, then depth.
  void gatherDisplayModes(int32_t width, int32_t height);
  // switchResolutionTo:Height: switches to the first matching mode; nothing
  // changes when none matches. The displays stay captured after a switch
  // until the reset, and are released again when the switch fails.
  void switchResolutionTo(int32_t width, int32_t height);
  // resetToOriginalResolution: back to the starting mode, displays released
  // and the cursor shown; nothing before the first search.
  void resetToOriginalResolution();

  const std::vector<Mode>& displayModes() const { return displayModes_; }
  const std::optional<Mode>& originalDisplayMode() const { return originalDisplayMode_; }
  bool fullscreen() const { return fullscreen_; }

 private:
  Desktop& desktop_;
  std::vector<Mode> displayModes_;
  uint32_t width_ = 0;
  uint32_t height_ = 0;
  uint32_t colorBits_ = 0;
  uint32_t depthBits_ = 0;  // reserved
  bool fullscreen_ = false;
  std::optional<Mode> originalDisplayMode_;
};

}  // namespace kw
