// Views: the view tree, coordinates, hit testing, redraw marks and drawing.
#include "mac/platform/View.h"

#include <algorithm>
#include <cmath>

#include "mac/platform/Menu.h"
#include "mac/platform/Window.h"

namespace kw {

namespace {

// A raster position from a view coordinate; NaN and far-off values are held
// to what a bitmap can be offset by.
int32_t rasterPosition(double value) {
  if (std::isnan(value)) return 0;
  return static_cast<int32_t>(std::clamp(std::floor(value), -1.0e9, 1.0e9));
}

}  // namespace

View::View(DesktopRect frame) : frame_(frame) {}

View::~View() {
  for (const auto& subview : subviews_) subview->superview_ = nullptr;
}

void View::setFrame(const DesktopRect& frame) {
  frame_ = frame;
  setNeedsDisplay();
}

DesktopRect View::bounds() const { return {{0, 0}, boundsSize_.value_or(frame_.size)}; }

void View::setBoundsSize(DesktopSize size) {
  boundsSize_ = size;
  setNeedsDisplay();
}

Window* View::window() const {
  const View* root = this;
  while (root->superview_ != nullptr) root = root->superview_;
  return root->window_;
}

void View::addSubview(std::shared_ptr<View> view) {
  if (!view || view.get() == this) return;
  const std::shared_ptr<View> keep = view;  // removing it from an old parent must not free it
  view->removeFromSuperview();
  view->window_ = nullptr;
  view->superview_ = this;
  subviews_.push_back(std::move(view));
  setNeedsDisplay();
}

void View::removeFromSuperview() {
  View* parent = superview_;
  if (parent == nullptr) return;
  superview_ = nullptr;
  auto& list = parent->subviews_;
  // Erase last: the parent's reference may be the one keeping this view alive.
  const auto it = std::find_if(list.begin(), list.end(), [this](const auto& v) { return v.get() == this; });
  if (it != list.end()) {
    const std::shared_ptr<View> keep = *it;
    list.erase(it);
    parent->setNeedsDisplay();
  }
}

View* View::hitTest(DesktopPoint pointInSuperview) {
  if (!frame_.contains(pointInSuperview)) return nullptr;
  const DesktopPoint local{pointInSuperview.x - frame_.origin.x, pointInSuperview.y - frame_.origin.y};
  for (auto it = subviews_.rbegin(); it != subviews_.rend(); ++it) {
    if (View* hit = (*it)->hitTest(local)) return hit;
  }
  return this;
}

DesktopPoint View::convertToWindow(DesktopPoint point) const {
  for (const View* view = this; view != nullptr; view = view->superview_) {
    point.x += view->frame_.origin.x;
    point.y += view->frame_.origin.y;
  }
  return point;
}

DesktopPoint View::convertFromWindow(DesktopPoint point) const {
  const DesktopPoint origin = convertToWindow({0, 0});
  return {point.x - origin.x, point.y - origin.y};
}

void View::setNeedsDisplay(bool needs) { needsDisplay_ = needs; }

void View::setNeedsDisplayInRect(const DesktopRect& rect) {
  (void)rect;  // the whole view is redrawn
  needsDisplay_ = true;
}

void View::display() {
  if (Window* owner = window()) owner->display();
}

Responder* View::nextResponder() const {
  if (superview_ != nullptr) return superview_;
  return window_;
}

void View::drawTree(DrawContext& context) {
  drawRect(context, bounds());
  needsDisplay_ = false;
  const double height = bounds().size.height;
  for (const auto& subview : subviews_) {
    const DesktopRect frame = subview->frame();
    const int32_t left = rasterPosition(context.left() + frame.origin.x);
    const int32_t top = rasterPosition(context.top() + (height - frame.maxY()));
    DrawContext inner(context.target(), left, top, frame.size.height, context.isDrawingToScreen());
    subview->drawTree(inner);
  }
}

}  // namespace kw
