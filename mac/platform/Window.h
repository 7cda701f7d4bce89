// Windows of the desktop model, with the window system's real geometry: a
// titled window's frame is its content plus a 22-point title bar; frames are
// in screen coordinates (bottom-left origin of the main screen, y upward).
// A window has a level, alpha, opacity, background colour, shadow, title,
// key and main status, miniaturising, child windows that move with it, a
// delegate, a content view with a first responder, and a picture of its
// content that display() draws.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "mac/platform/Bitmap.h"
#include "mac/platform/Geometry.h"
#include "mac/platform/Responder.h"

namespace kw {

class Desktop;
class View;
class Window;

// Style mask bits.
inline constexpr uint32_t kBorderlessWindowMask = 0;
inline constexpr uint32_t kTitledWindowMask = 1;
inline constexpr uint32_t kClosableWindowMask = 2;
inline constexpr uint32_t kMiniaturizableWindowMask = 4;
inline constexpr uint32_t kResizableWindowMask = 8;
inline constexpr uint32_t kUtilityWindowMask = 16;
inline constexpr uint32_t kTexturedBackgroundWindowMask = 256;

inline constexpr double kTitleBarHeight = 22;

class WindowDelegate {
 public:
  virtual ~WindowDelegate() = default;
  virtual void windowWillMiniaturize(Window&) {}
  virtual void windowDidMiniaturize(Window&) {}
  virtual void windowDidDeminiaturize(Window&) {}
  virtual void windowDidBecomeMain(Window&) {}
  virtual void windowDidResignMain(Window&) {}
  virtual void windowDidBecomeKey(Window&) {}
  virtual void windowDidResignKey(Window&) {}
  virtual void windowWillClose(Window&) {}
  // performClose asks this; the window closes only on true.
  virtual bool windowShouldClose(Window&) { return true; }
};

class Window : public Responder {
 public:
  // A window whose content area is `contentRect`; not yet on screen. Panels
  // (isPanel) behave the same; the flag is kept for what shows it.
  Window(Desktop& desktop, const DesktopRect& contentRect, uint32_t styleMask, bool isPanel = false);
  ~Window() override;
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  Desktop& desktop() const { return desktop_; }
  // The window number; also the window's Carbon window reference. Never 0.
  uint32_t windowNumber() const { return number_; }
  uint32_t styleMask() const { return styleMask_; }
  void setStyleMask(uint32_t mask);
  bool isPanel() const { return isPanel_; }
  bool isTitled() const { return (styleMask_ & kTitledWindowMask) != 0; }

  // Geometry.
  DesktopRect frame() const { return frame_; }
  // Moves and sizes the window; child windows move by the same amount.
  void setFrame(const DesktopRect& frame);
  void setFrameOrigin(DesktopPoint origin);
  void setFrameTopLeftPoint(DesktopPoint topLeft);
  DesktopRect contentRect() const { return contentRectForFrameRect(frame_); }
  DesktopRect contentRectForFrameRect(const DesktopRect& frame) const;
  DesktopRect frameRectForContentRect(const DesktopRect& content) const;
  // Sizes the content area keeping the window's top-left corner in place.
  void setContentSize(DesktopSize size);
  // Centres the window horizontally on the main screen and a little above
  // the middle vertically (a third of the free height above it, two thirds below).
  void center();
  DesktopPoint convertBaseToScreen(DesktopPoint pointInWindow) const;
  DesktopPoint convertScreenToBase(DesktopPoint screenPoint) const;
  // The desktop's mouse in this window's coordinates.
  DesktopPoint mouseLocationOutsideOfEventStream() const;

  // Appearance.
  int32_t level() const { return level_; }
  void setLevel(int32_t level);
  double alphaValue() const { return alpha_; }
  void setAlphaValue(double alpha);
  bool isOpaque() const { return opaque_; }
  void setOpaque(bool opaque) { opaque_ = opaque; }
  RGBAColor backgroundColor() const { return background_; }
  void setBackgroundColor(const RGBAColor& color);
  bool hasShadow() const { return hasShadow_; }
  void setHasShadow(bool shadow) { hasShadow_ = shadow; }
  void invalidateShadow() { ++shadowInvalidations_; }
  int shadowInvalidations() const { return shadowInvalidations_; }
  const std::string& title() const { return title_; }
  void setTitle(std::string title);
  bool hidesOnDeactivate() const { return hidesOnDeactivate_; }
  void setHidesOnDeactivate(bool hides) { hidesOnDeactivate_ = hides; }
  bool ignoresMouseEvents() const { return ignoresMouseEvents_; }
  void setIgnoresMouseEvents(bool ignores) { ignoresMouseEvents_ = ignores; }

  // Ordering, key and main status.
  bool isVisible() const { return visible_; }
  void orderFront();
  void orderOut();
  void makeKeyAndOrderFront();
  void makeKeyWindow();
  void makeMainWindow();
  bool isKeyWindow() const;
  bool isMainWindow() const;
  // Borderless windows cannot become key or main unless a subclass says so.
  virtual bool canBecomeKeyWindow() const { return isTitled(); }
  virtual bool canBecomeMainWindow() const { return isTitled(); }

  bool isMiniaturized() const { return miniaturized_; }
  void miniaturize();
  void deminiaturize();

  // The close button: asks the delegate, closes when it agrees.
  void performClose();
  // Closes at once: windowWillClose, then the window leaves the screen for good.
  void close();
  bool isClosed() const { return closed_; }

  // Content.
  View* contentView() const { return contentView_.get(); }
  void setContentView(std::shared_ptr<View> view);
  Responder* firstResponder() const;
  // Asks the current first responder to resign and the new one to accept;
  // nullptr makes the window itself the first responder.
  bool makeFirstResponder(View* view);

  WindowDelegate* delegate() const { return delegate_; }
  void setDelegate(WindowDelegate* delegate) { delegate_ = delegate; }

  // Child windows move with their parent and are ordered above it.
  Window* parentWindow() const { return parent_; }
  const std::vector<Window*>& childWindows() const { return children_; }
  void addChildWindow(Window& child);
  void removeChildWindow(Window& child);

  // Frame autosave: the frame is stored under the name in the desktop's
  // frame store now and whenever it changes; setFrameUsingName restores a
  // stored frame and answers whether there was one.
  void setFrameAutosaveName(std::string name);
  const std::string& frameAutosaveName() const { return autosaveName_; }
  bool setFrameUsingName(const std::string& name);

  // Drawing: display() draws the background and the view tree into the
  // window's picture (the content area's size, raster coordinates).
  void display();
  // Some view of the window's tree is marked for display.
  bool needsDisplay() const;
  const Bitmap& picture() const { return picture_; }
  int displayCount() const { return displayCount_; }

  // Events from the desktop: mouse events go to the view under the mouse
  // (drags and ups to the view that took the down), keys to the first responder.
  virtual void sendEvent(const DesktopEvent& event);

 private:
  void moveChildren(double dx, double dy);
  void framesChanged();

  Desktop& desktop_;
  uint32_t number_;
  uint32_t styleMask_;
  bool isPanel_;
  DesktopRect frame_;
  int32_t level_ = 0;
  double alpha_ = 1;
  bool opaque_ = true;
  RGBAColor background_{0.93, 0.93, 0.93, 1};
  bool hasShadow_ = true;
  int shadowInvalidations_ = 0;
  std::string title_;
  bool hidesOnDeactivate_ = false;
  bool ignoresMouseEvents_ = false;
  bool visible_ = false;
  bool miniaturized_ = false;
  bool closed_ = false;
  std::shared_ptr<View> contentView_;
  std::weak_ptr<View> firstResponder_;  // expired: the window itself
  std::weak_ptr<View> mouseDownView_;
  WindowDelegate* delegate_ = nullptr;
  Window* parent_ = nullptr;
  std::vector<Window*> children_;
  std::string autosaveName_;
  Bitmap picture_{0, 0};
  int displayCount_ = 0;
};

}  // namespace kw
