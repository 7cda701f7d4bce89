// The display switch: DirectDraw 7 creation, exclusive mode, the mode itself
// with its depth and 640 x 480 fall-backs, window placement and the task bar.
#include "win/projector/DisplaySwitcher.h"

#include <ddraw.h>

#include <cstdio>

#include "win/projector/OwnPackage.h"
#include "win/projector/package/Placement.h"
#include "win/projector/package/StartupRules.h"

namespace kw::orbalo {

namespace {

constexpr DWORD kDepths[] = {32, 24, 16};

HWND FindTaskBar() { return FindWindowA(kTaskBarClass, ""); }

}  // namespace

DisplaySwitcher::~DisplaySwitcher() {
  if (directDraw_ != nullptr) directDraw_->Release();
  directDraw_ = nullptr;
}

// Tries 32, 24 and 16 bits per pixel; the result of the last try.
HRESULT DisplaySwitcher::SetAnyDepth(DWORD width, DWORD height) {
  HRESULT result = E_FAIL;
  for (const DWORD depth : kDepths) {
    result = directDraw_->SetDisplayMode(width, height, depth, 0, 0);
    if (SUCCEEDED(result)) return result;
  }
  return result;
}

HRESULT DisplaySwitcher::SetMode(HWND window, uint32_t resolutionCode) {
  const std::optional<Size> requested = ResolutionForCode(resolutionCode);
  if (!requested) return kUnknownResolution;

  RECT client{};
  GetClientRect(window, &client);
  const Size windowSize{client.right - client.left, client.bottom - client.top};

  const std::optional<ProjectorConfig> config = ReadOwnConfig();
  if (!config) return kNoConfiguration;

  window_ = window;
  HRESULT result = DirectDrawCreateEx(nullptr, reinterpret_cast<void**>(&directDraw_), IID_IDirectDraw7, nullptr);
  if (FAILED(result)) {
    directDraw_ = nullptr;
    return result;
  }
  result = directDraw_->SetCooperativeLevel(window, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN);
  if (FAILED(result)) return result;

  char trace[64];
  std::snprintf(trace, sizeof trace, kTextModeTrace,
                static_cast<unsigned>(reinterpret_cast<uintptr_t>(window)), requested->width, requested->height);
  OutputDebugStringA(trace);

  result = SetAnyDepth(static_cast<DWORD>(requested->width), static_cast<DWORD>(requested->height));
  if (FAILED(result)) {
    fellBack_ = true;
    result = SetAnyDepth(static_cast<DWORD>(kFallbackResolution.width), static_cast<DWORD>(kFallbackResolution.height));
    if (FAILED(result)) return result;
  }

  // Placed on the requested screen size even after a fall-back; the caller
  // then moves everything by the difference.
  const Point position = PlayerWindowPosition(*config, *requested, windowSize);
  SetWindowPos(window, HWND_TOPMOST, position.x, position.y, windowSize.width, windowSize.height,
               SWP_HIDEWINDOW | SWP_NOREDRAW);

  if (HWND taskBar = FindTaskBar()) ShowWindow(taskBar, SW_HIDE);
  return 0;
}

void DisplaySwitcher::Restore() {
  if (HWND taskBar = FindTaskBar()) ShowWindow(taskBar, SW_SHOW);
  if (directDraw_ != nullptr) {
    directDraw_->RestoreDisplayMode();
    directDraw_->SetCooperativeLevel(window_, DDSCL_NORMAL);
  }
}

}  // namespace kw::orbalo
