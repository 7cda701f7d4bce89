// The native window of a projector window (CustomWindow; CustomPanel for the
// about box, the same with the panel flag) and the alpha window of a
// windowless movie (ShapedWindow), with their two initialisers: one driven by
// the player settings (the first window), one by a kind name (run-time windows).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "mac/platform/Window.h"

namespace kw {

class FlashWindow;

class CustomWindow : public Window {
 public:
  // initWithContentRect:styleMask:backing:defer: (the style mask given is
  // ignored; the settings decide). Answers none for a window type code outside 0-4.
  static std::unique_ptr<CustomWindow> fromSettings(Desktop& desktop, const DesktopRect& contentRect);
  // initWithContentRect:windowType:windowAlpha:resizeable:hasShadow:backing:defer:
  static std::unique_ptr<CustomWindow> withKind(Desktop& desktop, const DesktopRect& contentRect,
                                                const std::optional<std::string>& kind, int32_t alphaPercent,
                                                bool resizeable, bool hasShadow, bool isPanel = false);

  CustomWindow(Desktop& desktop, const DesktopRect& contentRect, uint32_t styleMask, bool isPanel);

  // setWindowZOrder:order: with the creation table.
  void setWindowZOrder(std::optional<std::string_view> order);
  void addChildToList(FlashWindow* child);
  void removeChildFromList(FlashWindow* child);
  void closeAllChildren();

  bool canBecomeKeyWindow() const override { return true; }
  bool canBecomeMainWindow() const override { return true; }
  bool isMovableByWindowBackground() const { return false; }
  void rightMouseDown(const DesktopEvent& event) override;
  void rightMouseDragged(const DesktopEvent& event) override;

  DesktopPoint initialLocation;
  std::optional<std::string> zOrder;
  std::vector<FlashWindow*> childWindowList;
  int32_t windowType = 0;
  int32_t dragging = 0;
  int32_t resizeable = 0;
  int32_t alphaValuePercent = 0;
  int32_t shieldWindow = 0;
  int32_t chrome = 0;
};

// The alpha window: every event it gets goes to the real (target) window.
class ShapedWindow : public CustomWindow {
 public:
  // initWithContentRect:targetWindow:windowType:windowAlpha:resizeable:hasShadow:backing:defer:
  static std::unique_ptr<ShapedWindow> create(Desktop& desktop, const DesktopRect& contentRect, Window* target,
                                              const std::optional<std::string>& kind, int32_t alphaPercent,
                                              bool resizeable, bool hasShadow);
  ShapedWindow(Desktop& desktop, const DesktopRect& contentRect, uint32_t styleMask, Window* target);

  void sendEvent(const DesktopEvent& event) override;
  bool canBecomeKeyWindow() const override;
  bool canBecomeMainWindow() const override;

  Window* fTargetWindow = nullptr;
};

}  // namespace kw
