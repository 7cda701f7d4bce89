// The desktop model: screens, levels, windows and their ordering, key and main
// windows, the application's state, the input state, and the routing of
// injected input.
#include "mac/platform/Desktop.h"

#include <algorithm>
#include <climits>

#include "mac/platform/RunLoop.h"
#include "mac/platform/Trace.h"
#include "mac/platform/View.h"
#include "mac/platform/Window.h"

namespace kw {

namespace {

constexpr double kMenuBarHeight = 22;

bool isMouseDown(DesktopEventType type) {
  return type == DesktopEventType::LeftMouseDown || type == DesktopEventType::RightMouseDown ||
         type == DesktopEventType::OtherMouseDown;
}

}  // namespace

// The window server's levels for the keys the system uses.
int32_t windowLevelForKey(int32_t key) {
  switch (key) {
    case kNormalWindowLevelKey:
      return 0;
    case kMainMenuWindowLevelKey:
      return 24;
    case kStatusWindowLevelKey:
      return 25;
    case kDesktopIconWindowLevelKey:
      return INT_MIN + 20 + 25;
    default:
      return 0;
  }
}

int32_t shieldingWindowLevel() { return INT_MAX - 17; }

Desktop::Desktop(RunLoop& runLoop, std::filesystem::path applicationBundle)
    : runLoop_(runLoop), bundle_(std::move(applicationBundle)), screens_{ScreenFrame{{0, 0}, 1440, 900}} {
  previousInput_ = DesktopInput::install(this);
}

Desktop::~Desktop() {
  DesktopInput::install(previousInput_);
}

void Desktop::setScreens(std::vector<ScreenFrame> screens) {
  screens_ = std::move(screens);
  note("screens changed");
  if (delegate_ != nullptr) delegate_->applicationDidChangeScreenParameters();
}

DesktopRect Desktop::mainScreenFrame() const {
  if (screens_.empty()) return {};
  const ScreenFrame& s = screens_.front();
  return {s.origin, {s.width, s.height}};
}

DesktopRect Desktop::mainScreenVisibleFrame() const {
  DesktopRect frame = mainScreenFrame();
  frame.size.height = std::max(0.0, frame.size.height - kMenuBarHeight);
  return frame;
}

bool Desktop::captureMainDisplay() {
  if (captureFails) return false;
  displayCaptured = true;
  note("main display captured");
  return true;
}

std::vector<Window*> Desktop::orderedWindows() const {
  std::vector<Window*> ordered = order_;
  std::stable_sort(ordered.begin(), ordered.end(),
                   [](const Window* a, const Window* b) { return a->level() > b->level(); });
  return ordered;
}

Window* Desktop::windowWithNumber(uint32_t number) const {
  for (Window* window : windows_) {
    if (window->windowNumber() == number) return window;
  }
  return nullptr;
}

Window* Desktop::windowAt(DesktopPoint screenPoint) const {
  for (Window* window : orderedWindows()) {
    if (window->alphaValue() > 0 && !window->ignoresMouseEvents() && !window->isMiniaturized() &&
        window->frame().contains(screenPoint)) {
      return window;
    }
  }
  return nullptr;
}

void Desktop::activateIgnoringOtherApps() {
  if (hidden_) unhide();
  if (active_) return;
  active_ = true;
  note("application active");
  if (delegate_ != nullptr) delegate_->applicationDidBecomeActive();
}

void Desktop::deactivate() {
  if (!active_) return;
  active_ = false;
  note("application inactive");
  for (Window* window : std::vector<Window*>(order_)) {
    if (window->hidesOnDeactivate()) window->orderOut();
  }
  if (delegate_ != nullptr) delegate_->applicationDidResignActive();
}

void Desktop::hide() {
  if (hidden_) return;
  hidden_ = true;
  note("application hidden");
  deactivate();
}

void Desktop::unhide() {
  if (!hidden_) return;
  hidden_ = false;
  note("application shown");
}

bool Desktop::openFile(const std::string& path) { return delegate_ != nullptr && delegate_->openFile(path); }

void Desktop::terminate() {
  if (terminated_) return;
  terminated_ = true;
  note("application terminates");
  if (delegate_ != nullptr) delegate_->applicationWillTerminate();
}

void Desktop::windowClosed() {
  if (terminated_ || delegate_ == nullptr) return;
  const bool anyOpen = std::any_of(windows_.begin(), windows_.end(), [](const Window* w) { return !w->isClosed(); });
  if (anyOpen) return;
  // The application ends after the event that closed its last window, not
  // inside it: whoever closed the window is still running.
  runLoop_.performAfterDelay(0, [this] {
    const bool reopened =
        std::any_of(windows_.begin(), windows_.end(), [](const Window* w) { return !w->isClosed(); });
    if (!reopened && delegate_ != nullptr && delegate_->applicationShouldTerminateAfterLastWindowClosed()) {
      terminate();
    }
  });
}

uint16_t Desktop::keyModifiers() const {
  uint16_t word = 0;
  if (modifierFlags_ & kDesktopCommand) word |= 0x0100;
  if (modifierFlags_ & kDesktopShift) word |= 0x0200;
  if (modifierFlags_ & kDesktopCapsLock) word |= 0x0400;
  if (modifierFlags_ & kDesktopOption) word |= 0x0800;
  if (modifierFlags_ & kDesktopControl) word |= 0x1000;
  return word;
}

double Desktop::currentEventTime() const { return runLoop_.now(); }

ScreenFrame Desktop::menuBarScreen() const { return screens_.empty() ? ScreenFrame{} : screens_.front(); }

DesktopEvent Desktop::makeEvent(DesktopEventType type, DesktopPoint screenPoint, const Window* window) const {
  DesktopEvent event;
  event.type = type;
  event.timestamp = runLoop_.now();
  if (window != nullptr) {
    event.windowOrigin = window->frame().origin;
    event.locationInWindow = window->convertScreenToBase(screenPoint);
  } else {
    event.locationInWindow = screenPoint;
  }
  event.modifierFlags = modifierFlags_;
  return event;
}

bool Desktop::isLive(const Window* window) const {
  return window != nullptr && std::find(windows_.begin(), windows_.end(), window) != windows_.end();
}

void Desktop::routeMouse(DesktopEventType type, DesktopPoint screenPoint, int32_t button) {
  Window* window = isMouseDown(type) ? windowAt(screenPoint) : mouseWindow_;
  if (isMouseDown(type)) mouseWindow_ = window;
  if (!isLive(window)) return;
  DesktopEvent event = makeEvent(type, screenPoint, window);
  event.buttonNumber = button;
  if (isMouseDown(type) && type != DesktopEventType::OtherMouseDown) {
    // A click brings its window forward and makes it key and main. A click
    // that only activates the window reaches the view only when the view
    // accepts the first mouse.
    const bool wasKey = window->isKeyWindow() && active_;
    activateIgnoringOtherApps();
    window->orderFront();
    window->makeKeyWindow();
    window->makeMainWindow();
    if (!wasKey && type == DesktopEventType::LeftMouseDown) {
      View* view = window->contentView() ? window->contentView()->hitTest(event.locationInWindow) : nullptr;
      if (view != nullptr && !view->acceptsFirstMouse(&event)) {
        mouseWindow_ = nullptr;  // the rest of this click goes nowhere either
        return;
      }
    }
  }
  window->sendEvent(event);
}

void Desktop::moveMouse(DesktopPoint screenPoint) {
  mouse_ = screenPoint;
  updateMouseInside(screenPoint);
}

void Desktop::pressMouse(DesktopPoint screenPoint, int32_t button) {
  mouse_ = screenPoint;
  buttons_ |= 1u << std::clamp(button, 0, 31);
  const DesktopEventType type = button == 0   ? DesktopEventType::LeftMouseDown
                                : button == 1 ? DesktopEventType::RightMouseDown
                                              : DesktopEventType::OtherMouseDown;
  routeMouse(type, screenPoint, button);
}

void Desktop::dragMouse(DesktopPoint screenPoint) {
  mouse_ = screenPoint;
  if (buttons_ == 0) {
    updateMouseInside(screenPoint);
    return;
  }
  const DesktopEventType type = (buttons_ & 1u)   ? DesktopEventType::LeftMouseDragged
                                : (buttons_ & 2u) ? DesktopEventType::RightMouseDragged
                                                  : DesktopEventType::OtherMouseDragged;
  routeMouse(type, screenPoint, (buttons_ & 1u) ? 0 : (buttons_ & 2u) ? 1 : 2);
}

void Desktop::releaseMouse(DesktopPoint screenPoint) {
  mouse_ = screenPoint;
  if (buttons_ != 0) {
    const DesktopEventType type = (buttons_ & 1u)   ? DesktopEventType::LeftMouseUp
                                  : (buttons_ & 2u) ? DesktopEventType::RightMouseUp
                                                    : DesktopEventType::OtherMouseUp;
    const int32_t button = (buttons_ & 1u) ? 0 : (buttons_ & 2u) ? 1 : 2;
    buttons_ = 0;
    routeMouse(type, screenPoint, button);
  }
  mouseWindow_ = nullptr;
  updateMouseInside(screenPoint);
}

void Desktop::updateMouseInside(DesktopPoint screenPoint) {
  Window* under = windowAt(screenPoint);
  if (under != nullptr && !under->contentRect().contains(screenPoint)) under = nullptr;
  if (!isLive(insideWindow_)) insideWindow_ = nullptr;
  if (under == insideWindow_) return;
  if (insideWindow_ != nullptr) insideWindow_->sendEvent(makeEvent(DesktopEventType::MouseExited, screenPoint, insideWindow_));
  insideWindow_ = under;
  if (under != nullptr) under->sendEvent(makeEvent(DesktopEventType::MouseEntered, screenPoint, under));
}

void Desktop::pressKey(uint16_t keyCode, std::string characters, uint32_t modifierFlags) {
  modifierFlags_ = modifierFlags;
  if (keyWindow_ == nullptr) return;
  DesktopEvent event = makeEvent(DesktopEventType::KeyDown, mouse_, keyWindow_);
  event.keyCode = keyCode;
  event.charactersIgnoringModifiers = std::move(characters);
  keyWindow_->sendEvent(event);
}

void Desktop::releaseKey(uint16_t keyCode, std::string characters, uint32_t modifierFlags) {
  modifierFlags_ = modifierFlags;
  if (keyWindow_ == nullptr) return;
  DesktopEvent event = makeEvent(DesktopEventType::KeyUp, mouse_, keyWindow_);
  event.keyCode = keyCode;
  event.charactersIgnoringModifiers = std::move(characters);
  keyWindow_->sendEvent(event);
}

void Desktop::setModifierFlags(uint32_t flags) {
  modifierFlags_ = flags;
  if (keyWindow_ != nullptr) keyWindow_->sendEvent(makeEvent(DesktopEventType::FlagsChanged, mouse_, keyWindow_));
}

void Desktop::scroll(DesktopPoint screenPoint, double deltaY) {
  mouse_ = screenPoint;
  Window* window = windowAt(screenPoint);
  if (window == nullptr) return;
  DesktopEvent event = makeEvent(DesktopEventType::ScrollWheel, screenPoint, window);
  event.deltaY = deltaY;
  window->sendEvent(event);
}

bool Desktop::sendEditAction(const std::string& name) {
  if (keyWindow_ == nullptr) return false;
  Responder* responder = keyWindow_->firstResponder();
  if (name == "cut") return responder->cut();
  if (name == "copy") return responder->copy();
  if (name == "paste") return responder->paste();
  if (name == "selectAll") return responder->selectAll();
  return false;
}

std::shared_ptr<View> Desktop::dropTarget(DesktopPoint screenPoint, DraggingInfo& info) const {
  info.fileNames = draggingPasteboard.fileNames;
  info.offersFileNames = !info.fileNames.empty();
  Window* window = windowAt(screenPoint);
  if (window == nullptr || window->contentView() == nullptr) return nullptr;
  info.locationInWindow = window->convertScreenToBase(screenPoint);
  for (View* view = window->contentView()->hitTest(info.locationInWindow); view != nullptr;
       view = view->superview()) {
    if (view->acceptsFileDrags()) return view->shared_from_this();
  }
  return nullptr;
}

uint32_t Desktop::dragFilesOver(DesktopPoint screenPoint, std::vector<std::string> fileNames) {
  mouse_ = screenPoint;
  draggingPasteboard.fileNames = std::move(fileNames);
  DraggingInfo info;
  const std::shared_ptr<View> target = dropTarget(screenPoint, info);
  const std::shared_ptr<View> previous = dragView_.lock();
  if (previous && previous != target) previous->draggingExited(info);
  dragView_ = target;
  return target ? target->draggingEntered(info) : kDragOperationNone;
}

bool Desktop::dropFiles(DesktopPoint screenPoint) {
  mouse_ = screenPoint;
  DraggingInfo info;
  const std::shared_ptr<View> target = dropTarget(screenPoint, info);
  dragView_.reset();
  if (!target || !target->prepareForDragOperation(info)) return false;
  return target->performDragOperation(info);
}

void Desktop::dragExit() {
  DraggingInfo info;
  info.fileNames = draggingPasteboard.fileNames;
  info.offersFileNames = !info.fileNames.empty();
  if (const std::shared_ptr<View> previous = dragView_.lock()) previous->draggingExited(info);
  dragView_.reset();
}

void Desktop::displayWindowsIfNeeded() {
  for (Window* window : orderedWindows()) {
    if (isLive(window) && window->needsDisplay()) window->display();
  }
}

uint32_t Desktop::addWindow(Window& window) {
  windows_.push_back(&window);
  return nextWindowNumber_++;
}

void Desktop::removeWindow(Window& window) {
  std::erase(windows_, &window);
  std::erase(order_, &window);
  if (keyWindow_ == &window) keyWindow_ = nullptr;
  if (mainWindow_ == &window) mainWindow_ = nullptr;
  if (mouseWindow_ == &window) mouseWindow_ = nullptr;
  if (insideWindow_ == &window) insideWindow_ = nullptr;
}

void Desktop::orderWindowFront(Window& window) {
  std::erase(order_, &window);
  order_.insert(order_.begin(), &window);
  // Child windows stay just above their parent.
  for (Window* child : std::vector<Window*>(window.childWindows())) {
    if (child->isVisible()) orderWindowFront(*child);
  }
}

void Desktop::orderWindowOut(Window& window) {
  std::erase(order_, &window);
  const auto next = [&](bool key) -> Window* {
    for (Window* candidate : orderedWindows()) {
      if (candidate != &window && !candidate->isMiniaturized() &&
          (key ? candidate->canBecomeKeyWindow() : candidate->canBecomeMainWindow())) {
        return candidate;
      }
    }
    return nullptr;
  };
  if (keyWindow_ == &window) setKeyWindow(next(true));
  if (mainWindow_ == &window) setMainWindow(next(false));
}

void Desktop::setKeyWindow(Window* window) {
  if (window == keyWindow_) return;
  Window* old = keyWindow_;
  keyWindow_ = window;
  if (old != nullptr && old->delegate() != nullptr) old->delegate()->windowDidResignKey(*old);
  if (window != nullptr) {
    note("window " + std::to_string(window->windowNumber()) + " key");
    if (window->delegate() != nullptr && keyWindow_ == window) window->delegate()->windowDidBecomeKey(*window);
  }
}

void Desktop::setMainWindow(Window* window) {
  if (window == mainWindow_) return;
  Window* old = mainWindow_;
  mainWindow_ = window;
  if (old != nullptr && old->delegate() != nullptr) old->delegate()->windowDidResignMain(*old);
  if (window != nullptr) {
    note("window " + std::to_string(window->windowNumber()) + " main");
    if (window->delegate() != nullptr && mainWindow_ == window) window->delegate()->windowDidBecomeMain(*window);
  }
}

void Desktop::note(const std::string& line) const { trace::line("window", line); }

}  // namespace kw
