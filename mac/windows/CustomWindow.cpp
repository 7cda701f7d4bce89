// The native projector window and the alpha window of windowless movies.
#include "mac/windows/CustomWindow.h"

#include <algorithm>

#include "mac/app/playerSettings.h"
#include "mac/platform/Desktop.h"
#include "mac/platform/SystemLog.h"
#include "mac/windows/FlashWindow.h"
#include "mac/windows/WindowKinds.h"

namespace kw {

namespace {

constexpr uint32_t kStandardStyle = kTitledWindowMask | kClosableWindowMask | kMiniaturizableWindowMask;  // 7
constexpr uint32_t kAboutStyle = kTitledWindowMask | kClosableWindowMask | kUtilityWindowMask;           // 19

double percent(int32_t value) { return static_cast<double>(value) / 100.0; }

// The style a kind name gives (exact names): standard windows are titled,
// closable and miniaturisable, the about box is a titled utility panel, every
// other kind is borderless.
uint32_t styleForKind(const std::optional<std::string>& kind, bool resizeable) {
  if (kind == "FRAME" || kind == "STANDARD") return kStandardStyle | (resizeable ? kResizableWindowMask : 0);
  if (kind == "ABOUT") return kAboutStyle;
  return kBorderlessWindowMask;
}

}  // namespace

CustomWindow::CustomWindow(Desktop& desktop, const DesktopRect& contentRect, uint32_t styleMask, bool isPanel)
    : Window(desktop, contentRect, styleMask, isPanel) {
  childWindowList.reserve(1);
}

std::unique_ptr<CustomWindow> CustomWindow::fromSettings(Desktop& desktop, const DesktopRect& contentRect) {
  const int32_t type = playerSettings::windowType();
  const std::optional<std::string> order = playerSettings::zOrder();
  const int32_t dragging = playerSettings::dragging();
  const int32_t resizeable = playerSettings::resizeable() != 0 ? static_cast<int32_t>(kResizableWindowMask) : 0;
  const int32_t alpha = playerSettings::windowAlpha();
  const int32_t shield = playerSettings::shieldWindow();
  const int32_t chrome = playerSettings::chrome();

  std::unique_ptr<CustomWindow> window;
  switch (type) {
    case kWindowTypeStandard: {
      uint32_t style = kStandardStyle | static_cast<uint32_t>(resizeable);
      if (chrome != 0) style |= kTexturedBackgroundWindowMask;
      window = std::make_unique<CustomWindow>(desktop, contentRect, style, false);
      window->setOpaque(true);
      break;
    }
    case kWindowTypeRectangular:
    case kWindowTypeMasked:
      window = std::make_unique<CustomWindow>(desktop, contentRect, kBorderlessWindowMask, false);
      window->setBackgroundColor(RGBAColor::clear());
      window->setOpaque(true);
      break;
    case kWindowTypeWindowless:
      window = std::make_unique<CustomWindow>(desktop, contentRect, kBorderlessWindowMask, false);
      window->setBackgroundColor(RGBAColor::black());
      window->setOpaque(false);
      break;
    case kWindowTypeFullScreen: {
      // Without shielding the window sits just above the status level. With
      // shielding the display is captured and the window takes the shielding
      // level; when the capture fails the display is not ours, so the window
      // keeps the unshielded level rather than claim the shielding one.
      int32_t level = windowLevelForKey(kStatusWindowLevelKey) + 1;
      if (shield != 0) {
        if (desktop.captureMainDisplay()) {
          level = shieldingWindowLevel();
        } else {
          systemLog("Couldn't capture the main display!");
        }
      }
      window = std::make_unique<CustomWindow>(desktop, DesktopRect{}, kBorderlessWindowMask, false);
      window->setLevel(level);
      window->setBackgroundColor(RGBAColor::clear());
      window->setFrame(desktop.mainScreenFrame());
      break;
    }
    default:
      systemLog("CustomWindow: the settings' window type " + std::to_string(type) +
                " is not one of 0-4; no window is made");
      return nullptr;
  }

  window->windowType = type;
  window->zOrder = order;
  window->dragging = dragging;
  window->resizeable = resizeable;
  window->alphaValuePercent = alpha;
  window->shieldWindow = shield;
  window->chrome = chrome;
  if (type == kWindowTypeFullScreen) {
    // The level is set; the z-order step below must leave it alone.
    window->zOrder = "done";
    window->makeKeyAndOrderFront();
  }

  window->setWindowZOrder(window->zOrder);
  window->setAlphaValue(percent(alpha));
  window->setHasShadow(true);
  return window;
}

std::unique_ptr<CustomWindow> CustomWindow::withKind(Desktop& desktop, const DesktopRect& contentRect,
                                                     const std::optional<std::string>& kind, int32_t alphaPercent,
                                                     bool resizeable, bool hasShadow, bool isPanel) {
  auto window = std::make_unique<CustomWindow>(desktop, contentRect, styleForKind(kind, resizeable), isPanel);
  window->windowType = intWindowType(kind);
  window->resizeable = resizeable ? static_cast<int32_t>(kResizableWindowMask) : 0;
  window->alphaValuePercent = alphaPercent;
  window->setBackgroundColor(RGBAColor::black());
  window->setAlphaValue(percent(alphaPercent));
  window->setOpaque(false);
  window->setHasShadow(hasShadow);
  return window;
}

void CustomWindow::setWindowZOrder(std::optional<std::string_view> order) { setWindowZOrderAtCreation(*this, order); }

void CustomWindow::addChildToList(FlashWindow* child) {
  if (child != nullptr) childWindowList.push_back(child);
}

void CustomWindow::removeChildFromList(FlashWindow* child) {
  const auto it = std::find(childWindowList.begin(), childWindowList.end(), child);
  if (it != childWindowList.end()) childWindowList.erase(it);
}

void CustomWindow::closeAllChildren() {
  // A snapshot: each child's closing sequence may touch this list.
  const std::vector<FlashWindow*> children = childWindowList;
  for (FlashWindow* child : children) {
    removeChildFromList(child);
    // The child no longer belongs to this window, so it must not reach back
    // to it: this window may be released before the child's delayed close.
    child->fParent = nullptr;
    Window* native = child->window();
    child->windowShouldClose(native != nullptr ? *native : *this);
  }
}

void CustomWindow::rightMouseDown(const DesktopEvent& event) {
  const DesktopPoint onScreen = event.locationOnScreen();
  initialLocation = {onScreen.x - frame().origin.x, onScreen.y - frame().origin.y};
}

void CustomWindow::rightMouseDragged(const DesktopEvent& event) {
  (void)event;
  const DesktopPoint mouse = desktop().mouseLocation();
  const DesktopRect screen = desktop().mainScreenFrame();
  DesktopPoint origin{mouse.x - initialLocation.x, mouse.y - initialLocation.y};
  // The window's top may not rise above the main screen's top.
  const double height = frame().size.height;
  if (origin.y + height > screen.maxY()) origin.y = screen.maxY() - height;
  setFrameOrigin(origin);
}

// ShapedWindow.

ShapedWindow::ShapedWindow(Desktop& desktop, const DesktopRect& contentRect, uint32_t styleMask, Window* target)
    : CustomWindow(desktop, contentRect, styleMask, false), fTargetWindow(target) {}

std::unique_ptr<ShapedWindow> ShapedWindow::create(Desktop& desktop, const DesktopRect& contentRect, Window* target,
                                                   const std::optional<std::string>& kind, int32_t alphaPercent,
                                                   bool resizeable, bool hasShadow) {
  // What the kind-name initialiser does, then the alpha window's own settings.
  auto window = std::make_unique<ShapedWindow>(desktop, contentRect, styleForKind(kind, resizeable), target);
  window->windowType = intWindowType(kind);
  window->resizeable = resizeable ? static_cast<int32_t>(kResizableWindowMask) : 0;
  window->alphaValuePercent = alphaPercent;
  window->setHasShadow(hasShadow);
  window->setBackgroundColor(RGBAColor::clear());
  window->setAlphaValue(percent(alphaPercent));
  window->setOpaque(false);
  window->zOrder = playerSettings::zOrder();
  window->setWindowZOrder(window->zOrder);
  return window;
}

void ShapedWindow::sendEvent(const DesktopEvent& event) {
  if (fTargetWindow == nullptr) {
    CustomWindow::sendEvent(event);
    return;
  }
  // Both windows have the same size, so the location within the window holds
  // for the target; only the window's place on the screen differs.
  DesktopEvent forwarded = event;
  forwarded.windowOrigin = fTargetWindow->frame().origin;
  fTargetWindow->sendEvent(forwarded);
}

bool ShapedWindow::canBecomeKeyWindow() const {
  if (fTargetWindow != nullptr && !fTargetWindow->isKeyWindow()) fTargetWindow->makeKeyWindow();
  return true;
}

bool ShapedWindow::canBecomeMainWindow() const {
  if (fTargetWindow != nullptr && !fTargetWindow->isMainWindow()) fTargetWindow->makeMainWindow();
  return true;
}

}  // namespace kw
