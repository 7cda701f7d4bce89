// Windows: geometry, appearance, ordering, key and main status, miniaturising,
// closing, content and first responder, child windows, autosaved frames,
// drawing and event routing.
#include "mac/platform/Window.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "mac/platform/Desktop.h"
#include "mac/platform/View.h"

namespace kw {

namespace {

std::string describe(const DesktopRect& r) {
  char text[96];
  std::snprintf(text, sizeof text, "%g %g %g %g", r.origin.x, r.origin.y, r.size.width, r.size.height);
  return text;
}

bool treeNeedsDisplay(const View& view) {
  if (view.needsDisplay()) return true;
  return std::any_of(view.subviews().begin(), view.subviews().end(),
                     [](const auto& subview) { return treeNeedsDisplay(*subview); });
}

// A picture dimension: NaN and negative sizes are empty, huge ones held to 32767.
int32_t pixels(double points) { return points > 0 ? static_cast<int32_t>(std::ceil(std::min(points, 32767.0))) : 0; }

}  // namespace

Window::Window(Desktop& desktop, const DesktopRect& contentRect, uint32_t styleMask, bool isPanel)
    : desktop_(desktop), number_(0), styleMask_(styleMask), isPanel_(isPanel) {
  frame_ = frameRectForContentRect(contentRect);
  number_ = desktop_.addWindow(*this);
  desktop_.note("window " + std::to_string(number_) + " created " + describe(frame_));
}

Window::~Window() {
  for (Window* child : children_) child->parent_ = nullptr;
  if (parent_ != nullptr) parent_->removeChildWindow(*this);
  if (contentView_) contentView_->window_ = nullptr;
  desktop_.removeWindow(*this);
}

void Window::setStyleMask(uint32_t mask) {
  const DesktopRect content = contentRect();
  styleMask_ = mask;
  setFrame(frameRectForContentRect(content));
}

DesktopRect Window::contentRectForFrameRect(const DesktopRect& frame) const {
  DesktopRect content = frame;
  if (isTitled()) content.size.height = std::max(0.0, frame.size.height - kTitleBarHeight);
  return content;
}

DesktopRect Window::frameRectForContentRect(const DesktopRect& content) const {
  DesktopRect frame = content;
  if (isTitled()) frame.size.height = content.size.height + kTitleBarHeight;
  return frame;
}

void Window::setFrame(const DesktopRect& frame) {
  if (frame == frame_) return;
  const double dx = frame.origin.x - frame_.origin.x;
  const double dy = frame.origin.y - frame_.origin.y;
  const bool resized = frame.size != frame_.size;
  frame_ = frame;
  if (contentView_ && resized) contentView_->setFrame({{0, 0}, contentRect().size});
  if (!autosaveName_.empty()) desktop_.savedFrames[autosaveName_] = frame_;
  desktop_.note("window " + std::to_string(number_) + " frame " + describe(frame_));
  if (dx != 0 || dy != 0) moveChildren(dx, dy);
}

void Window::setFrameOrigin(DesktopPoint origin) { setFrame({origin, frame_.size}); }

void Window::setFrameTopLeftPoint(DesktopPoint topLeft) {
  setFrame({{topLeft.x, topLeft.y - frame_.size.height}, frame_.size});
}

void Window::setContentSize(DesktopSize size) {
  const DesktopRect newFrame = frameRectForContentRect({{0, 0}, size});
  setFrame({{frame_.origin.x, frame_.maxY() - newFrame.size.height}, newFrame.size});
}

void Window::center() {
  const DesktopRect screen = desktop_.mainScreenVisibleFrame();
  const double x = std::floor(screen.origin.x + (screen.size.width - frame_.size.width) / 2);
  const double freeHeight = screen.size.height - frame_.size.height;
  const double y = std::floor(screen.origin.y + freeHeight * 2 / 3);
  setFrameOrigin({x, y});
}

DesktopPoint Window::convertBaseToScreen(DesktopPoint point) const {
  return {frame_.origin.x + point.x, frame_.origin.y + point.y};
}

DesktopPoint Window::convertScreenToBase(DesktopPoint point) const {
  return {point.x - frame_.origin.x, point.y - frame_.origin.y};
}

DesktopPoint Window::mouseLocationOutsideOfEventStream() const {
  return convertScreenToBase(desktop_.mouseLocation());
}

void Window::setLevel(int32_t level) {
  if (level == level_) return;
  level_ = level;
  desktop_.note("window " + std::to_string(number_) + " level " + std::to_string(level));
}

void Window::setAlphaValue(double alpha) {
  alpha = std::isnan(alpha) ? 0 : std::clamp(alpha, 0.0, 1.0);
  if (alpha == alpha_) return;
  alpha_ = alpha;
  desktop_.note("window " + std::to_string(number_) + " alpha " + std::to_string(alpha));
}

void Window::setBackgroundColor(const RGBAColor& color) {
  background_ = color;
  if (contentView_) contentView_->setNeedsDisplay();
}

void Window::setTitle(std::string title) {
  title_ = std::move(title);
  desktop_.note("window " + std::to_string(number_) + " title \"" + title_ + "\"");
}

void Window::orderFront() {
  if (closed_) return;
  const bool wasVisible = visible_;
  visible_ = true;
  desktop_.orderWindowFront(*this);
  if (!wasVisible) desktop_.note("window " + std::to_string(number_) + " ordered in");
}

void Window::orderOut() {
  if (!visible_) return;
  visible_ = false;
  desktop_.orderWindowOut(*this);
  for (Window* child : std::vector<Window*>(children_)) child->orderOut();
  desktop_.note("window " + std::to_string(number_) + " ordered out");
}

void Window::makeKeyAndOrderFront() {
  orderFront();
  makeKeyWindow();
}

void Window::makeKeyWindow() {
  if (!closed_ && canBecomeKeyWindow()) desktop_.setKeyWindow(this);
}

void Window::makeMainWindow() {
  if (!closed_ && canBecomeMainWindow()) desktop_.setMainWindow(this);
}

bool Window::isKeyWindow() const { return desktop_.keyWindow() == this; }

bool Window::isMainWindow() const { return desktop_.mainWindow() == this; }

void Window::miniaturize() {
  if (miniaturized_ || closed_) return;
  if (delegate_ != nullptr) delegate_->windowWillMiniaturize(*this);
  miniaturized_ = true;
  desktop_.note("window " + std::to_string(number_) + " miniaturized");
  if (isKeyWindow()) desktop_.setKeyWindow(nullptr);
  if (delegate_ != nullptr) delegate_->windowDidMiniaturize(*this);
}

void Window::deminiaturize() {
  if (!miniaturized_) return;
  miniaturized_ = false;
  desktop_.note("window " + std::to_string(number_) + " deminiaturized");
  orderFront();
  if (delegate_ != nullptr) delegate_->windowDidDeminiaturize(*this);
}

void Window::performClose() {
  if (closed_) return;
  if (delegate_ != nullptr && !delegate_->windowShouldClose(*this)) return;
  close();
}

void Window::close() {
  if (closed_) return;
  if (delegate_ != nullptr) delegate_->windowWillClose(*this);
  orderOut();
  closed_ = true;
  desktop_.note("window " + std::to_string(number_) + " closed");
  desktop_.windowClosed();
}

void Window::setContentView(std::shared_ptr<View> view) {
  if (contentView_ == view) return;
  if (contentView_) contentView_->window_ = nullptr;
  firstResponder_.reset();
  contentView_ = std::move(view);
  if (!contentView_) return;
  contentView_->removeFromSuperview();
  contentView_->window_ = this;
  contentView_->setFrame({{0, 0}, contentRect().size});
}

Responder* Window::firstResponder() const {
  if (const std::shared_ptr<View> view = firstResponder_.lock()) {
    if (view->window() == this) return view.get();
  }
  return const_cast<Window*>(this);
}

bool Window::makeFirstResponder(View* view) {
  Responder* current = firstResponder();
  if (current == view) return true;
  if (current != this && !current->resignFirstResponder()) return false;
  firstResponder_.reset();
  if (view == nullptr || view->window() != this) return view == nullptr;
  if (!view->acceptsFirstResponder() || !view->becomeFirstResponder()) return false;
  firstResponder_ = view->weak_from_this();
  return true;
}

void Window::addChildWindow(Window& child) {
  if (&child == this) return;
  if (child.parent_ != nullptr) child.parent_->removeChildWindow(child);
  child.parent_ = this;
  children_.push_back(&child);
  if (visible_) child.orderFront();
}

void Window::removeChildWindow(Window& child) {
  const auto it = std::find(children_.begin(), children_.end(), &child);
  if (it == children_.end()) return;
  children_.erase(it);
  child.parent_ = nullptr;
}

void Window::moveChildren(double dx, double dy) {
  for (Window* child : std::vector<Window*>(children_)) {
    const DesktopRect f = child->frame();
    child->setFrame({{f.origin.x + dx, f.origin.y + dy}, f.size});
  }
}

void Window::setFrameAutosaveName(std::string name) {
  autosaveName_ = std::move(name);
  if (!autosaveName_.empty()) desktop_.savedFrames[autosaveName_] = frame_;
}

bool Window::setFrameUsingName(const std::string& name) {
  const auto it = desktop_.savedFrames.find(name);
  if (it == desktop_.savedFrames.end()) return false;
  setFrame(it->second);
  return true;
}

bool Window::needsDisplay() const { return contentView_ && treeNeedsDisplay(*contentView_); }

void Window::display() {
  const DesktopSize size = contentRect().size;
  picture_ = Bitmap(pixels(size.width), pixels(size.height));
  picture_.fill(0, 0, picture_.width(), picture_.height(), background_);
  ++displayCount_;
  if (!contentView_) return;
  DrawContext context(picture_, 0, 0, size.height, true);
  contentView_->drawTree(context);
}

void Window::sendEvent(const DesktopEvent& event) {
  const auto hit = [&]() -> View* {
    return contentView_ ? contentView_->hitTest(event.locationInWindow) : nullptr;
  };
  const auto pressed = [&]() -> Responder* {
    if (const std::shared_ptr<View> view = mouseDownView_.lock()) {
      if (view->window() == this) return view.get();
    }
    return this;
  };
  switch (event.type) {
    case DesktopEventType::LeftMouseDown:
    case DesktopEventType::RightMouseDown:
    case DesktopEventType::OtherMouseDown: {
      View* view = hit();
      mouseDownView_ = view != nullptr ? view->weak_from_this() : std::weak_ptr<View>();
      Responder* target = view != nullptr ? static_cast<Responder*>(view) : this;
      if (event.type == DesktopEventType::RightMouseDown) {
        target->rightMouseDown(event);
      } else {
        target->mouseDown(event);
      }
      break;
    }
    case DesktopEventType::LeftMouseDragged:
    case DesktopEventType::OtherMouseDragged:
      pressed()->mouseDragged(event);
      break;
    case DesktopEventType::RightMouseDragged:
      pressed()->rightMouseDragged(event);
      break;
    case DesktopEventType::LeftMouseUp:
    case DesktopEventType::OtherMouseUp:
      pressed()->mouseUp(event);
      mouseDownView_.reset();
      break;
    case DesktopEventType::RightMouseUp:
      pressed()->rightMouseUp(event);
      mouseDownView_.reset();
      break;
    case DesktopEventType::MouseMoved:
      if (View* view = hit()) view->mouseMoved(event);
      break;
    case DesktopEventType::MouseEntered:
      if (contentView_) contentView_->mouseEntered(event);
      break;
    case DesktopEventType::MouseExited:
      if (contentView_) contentView_->mouseExited(event);
      break;
    case DesktopEventType::KeyDown:
      firstResponder()->keyDown(event);
      break;
    case DesktopEventType::KeyUp:
      firstResponder()->keyUp(event);
      break;
    case DesktopEventType::FlagsChanged:
      firstResponder()->flagsChanged(event);
      break;
    case DesktopEventType::ScrollWheel:
      if (View* view = hit()) view->scrollWheel(event);
      break;
    case DesktopEventType::Other:
      break;
  }
}

}  // namespace kw
