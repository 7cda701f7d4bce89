// Views of the desktop model: rectangles in their superview (bottom-left
// origin, y upward) that draw into their window's picture, take events as
// responders, carry a context menu and accept dragged files.
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

class Menu;
class Window;

// Where a view draws: the target bitmap, where the view's top-left corner
// lies in it, the view's height, and whether the drawing goes to the screen
// (false while printing). Drawing calls take view coordinates.
class DrawContext {
 public:
  DrawContext(Bitmap& target, int32_t left, int32_t top, double viewHeight, bool drawingToScreen)
      : target_(target), left_(left), top_(top), viewHeight_(viewHeight), toScreen_(drawingToScreen) {}

  bool isDrawingToScreen() const { return toScreen_; }
  Bitmap& target() { return target_; }
  int32_t left() const { return left_; }
  int32_t top() const { return top_; }
  double viewHeight() const { return viewHeight_; }
  // A view rectangle in the target's raster coordinates (rounded down).
  void toRaster(const DesktopRect& rect, int32_t& x, int32_t& y, int32_t& width, int32_t& height) const;

  void fill(const DesktopRect& rect, const RGBAColor& color);
  // Source-over with the bitmap's bottom-left corner at `at`.
  void composite(const Bitmap& bitmap, DesktopPoint at, double opacity = 1.0);
  // The port's pixels with the port's top-left at the view's top-left.
  void copyPort(const GrafPort& port);

 private:
  Bitmap& target_;
  int32_t left_, top_;
  double viewHeight_;
  bool toScreen_;
};

// What a drag over a view carries: file names (UTF-8 paths) when the
// pasteboard offers them, and where the mouse is (window coordinates).
struct DraggingInfo {
  bool offersFileNames = false;
  std::vector<std::string> fileNames;
  DesktopPoint locationInWindow;
};
using DragOperation = uint32_t;
inline constexpr DragOperation kDragOperationNone = 0;
inline constexpr DragOperation kDragOperationCopy = 1;

class View : public Responder, public std::enable_shared_from_this<View> {
 public:
  explicit View(DesktopRect frame = {});
  ~View() override;
  View(const View&) = delete;
  View& operator=(const View&) = delete;

  DesktopRect frame() const { return frame_; }
  virtual void setFrame(const DesktopRect& frame);
  void setFrameSize(DesktopSize size) { setFrame({frame_.origin, size}); }
  // The bounds: origin (0, 0) unless set, size the frame's unless set.
  DesktopRect bounds() const;
  void setBoundsSize(DesktopSize size);

  View* superview() const { return superview_; }
  Window* window() const;
  const std::vector<std::shared_ptr<View>>& subviews() const { return subviews_; }
  void addSubview(std::shared_ptr<View> view);
  void removeFromSuperview();
  // The deepest visible view under a point of the superview's coordinates (this view or a subview), or nullptr.
  View* hitTest(DesktopPoint pointInSuperview);

  // Between this view's coordinates and its window's (the content area, bottom-left origin).
  DesktopPoint convertToWindow(DesktopPoint point) const;
  DesktopPoint convertFromWindow(DesktopPoint point) const;

  Menu* menu() const { return menu_.get(); }
  void setMenu(std::shared_ptr<Menu> menu) { menu_ = std::move(menu); }

  bool needsDisplay() const { return needsDisplay_; }
  void setNeedsDisplay(bool needs = true);
  void setNeedsDisplayInRect(const DesktopRect& rect);
  // Draws this view and its subviews now (the window's display does this for all).
  void display();

  // Draws the view's own content; subviews are drawn after it, over it.
  virtual void drawRect(DrawContext& context, const DesktopRect& dirtyRect) { (void)context; (void)dirtyRect; }
  virtual bool isOpaque() const { return false; }
  virtual bool acceptsFirstMouse(const DesktopEvent* event) { (void)event; return false; }

  // Drag destination; registerForDraggedFileNames makes the view one.
  void registerForDraggedFileNames() { acceptsFileDrags_ = true; }
  bool acceptsFileDrags() const { return acceptsFileDrags_; }
  virtual DragOperation draggingEntered(const DraggingInfo& info) { (void)info; return kDragOperationNone; }
  virtual void draggingExited(const DraggingInfo& info) { (void)info; }
  virtual bool prepareForDragOperation(const DraggingInfo& info) { (void)info; return false; }
  virtual bool performDragOperation(const DraggingInfo& info) { (void)info; return false; }

  Responder* nextResponder() const override;

  // Draws the view tree into `context` (used by Window::display and printing).
  void drawTree(DrawContext& context);

 private:
  friend class Window;
  Window* window_ = nullptr;  // set on the content view by its window
  View* superview_ = nullptr;
  std::vector<std::shared_ptr<View>> subviews_;
  DesktopRect frame_;
  std::optional<DesktopSize> boundsSize_;
  std::shared_ptr<Menu> menu_;
  bool needsDisplay_ = true;
  bool acceptsFileDrags_ = false;
};

}  // namespace kw
