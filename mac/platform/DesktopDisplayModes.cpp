// Display modes of the sim desktop's main display, switching between them,
// and the capture of every display for a full-screen switch.
#include <cstdint>
#include <string>
#include <vector>

#include "mac/platform/Desktop.h"

namespace kw {

std::vector<Desktop::DisplayMode> Desktop::standardDisplayModes() {
  std::vector<DisplayMode> modes;
  const uint32_t sizes[][2] = {{640, 480}, {800, 600}, {1024, 768}, {1280, 800}, {1440, 900}};
  for (const uint32_t depth : {32u, 16u}) {
    for (const auto& size : sizes) modes.push_back({size[0], size[1], depth, 60});
  }
  // A second refresh rate for a few sizes, as CRT-era displays list them.
  modes.push_back({800, 600, 32, 75});
  modes.push_back({640, 480, 32, 75});
  return modes;
}

Desktop::DisplayMode Desktop::currentDisplayMode() const {
  const DesktopRect main = mainScreenFrame();
  return {static_cast<uint32_t>(main.size.width), static_cast<uint32_t>(main.size.height), displayBitsPerPixel,
          displayRefreshRate};
}

bool Desktop::switchDisplayMode(const DisplayMode& mode) {
  if (displaySwitchFails || screens_.empty()) return false;
  bool listed = false;
  for (const DisplayMode& offered : displayModes) listed = listed || offered == mode;
  if (!listed) return false;
  displayBitsPerPixel = mode.bitsPerPixel;
  displayRefreshRate = mode.refreshRate;
  std::vector<ScreenFrame> screens = screens_;
  screens.front().width = mode.width;
  screens.front().height = mode.height;
  note("display mode " + std::to_string(mode.width) + "x" + std::to_string(mode.height) + "x" +
       std::to_string(mode.bitsPerPixel));
  setScreens(std::move(screens));
  return true;
}

bool Desktop::captureAllDisplays() { return captureMainDisplay(); }

void Desktop::releaseAllDisplays() {
  if (!displayCaptured) return;
  displayCaptured = false;
  note("displays released");
}

}  // namespace kw
