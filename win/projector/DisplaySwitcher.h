// The display switch: DirectDraw 7 exclusive full-screen mode at the configured
// resolution, the player window placed, the task bar hidden; and all undone.
#pragma once

#include <windows.h>

#include <cstdint>

struct IDirectDraw7;

namespace kw::orbalo {

class DisplaySwitcher {
 public:
  // Returned for a configuration that cannot be read (E_UNEXPECTED).
  static constexpr HRESULT kNoConfiguration = static_cast<HRESULT>(0x8000FFFFu);
  // Returned for a resolution code outside 0-5.
  static constexpr HRESULT kUnknownResolution = -1;

  DisplaySwitcher() = default;
  DisplaySwitcher(const DisplaySwitcher&) = delete;
  DisplaySwitcher& operator=(const DisplaySwitcher&) = delete;
  virtual ~DisplaySwitcher();

  // 0, or a negative failure code. Falls back to 640 x 480 when the mode is
  // not available at 32, 24 or 16 bits per pixel.
  HRESULT SetMode(HWND window, uint32_t resolutionCode);
  bool FellBack() const { return fellBack_; }
  // Shows the task bar, restores the display mode, gives up exclusive mode.
  void Restore();

 private:
  HRESULT SetAnyDepth(DWORD width, DWORD height);

  bool fellBack_ = false;
  HWND window_ = nullptr;
  IDirectDraw7* directDraw_ = nullptr;
};

}  // namespace kw::orbalo
