// The window command family: see WindowCommands.h.
#include "mac/windows/WindowCommands.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>
#include <system_error>
#include <utility>

#include "mac/commands/FunctionIds.h"
#include "mac/commands/RequestReaders.h"
#include "mac/platform/Bundle.h"
#include "mac/platform/Desktop.h"
#include "mac/platform/RunLoop.h"
#include "mac/platform/View.h"
#include "mac/platform/Window.h"
#include "mac/pluginhost/FlashPlugin.h"
#include "mac/windows/CustomWindow.h"
#include "mac/windows/FlashView.h"
#include "mac/windows/FlashWindow.h"
#include "mac/windows/MaskView.h"
#include "mac/windows/WindowKinds.h"

namespace kw {

namespace {

namespace fs = std::filesystem;

// The window comes to the front this long after the application does.
constexpr double kBringToFrontDelay = 0.1;
// The largest window the window server makes, in points.
constexpr int32_t kLargestWindowSide = 10000;

std::string stringArgument(const std::optional<std::string>& parameter) {
  return myStringWithUTF8String(parameter ? parameter->c_str() : nullptr);
}

// QuickDraw coordinates are 16-bit: larger values are pinned.
int32_t pinned16(double value) {
  return static_cast<int32_t>(std::clamp(std::floor(value), -32768.0, 32767.0));
}

// The low 16 bits as a signed value, as the window manager's arithmetic wraps.
int32_t wrapped16(int64_t value) { return static_cast<int16_t>(static_cast<uint16_t>(value & 0xFFFF)); }

uint32_t unsignedPoints(double value) {
  if (!(value > 0)) return 0;
  return static_cast<uint32_t>(std::min(std::trunc(value), 4294967295.0));
}

bool isFile(const fs::path& path) {
  std::error_code ec;
  return fs::is_regular_file(path, ec);
}

class WindowCommands final : public CommandFamily {
 public:
  explicit WindowCommands(FamilyServices services) : services_(std::move(services)) {}

  void runCommand(ZFunctionCall& call) override {
    CocoaInterfaceData& record = call.record;
    FlashWindow* projector = projectorWindow(call.window);
    Window* window = targetWindow(call, projector);
    switch (record.functionNumber) {
      case fid::kMinimize:
        if (window != nullptr) window->miniaturize();
        break;
      case fid::kRestore:
        if (window != nullptr) window->deminiaturize();
        break;
      case fid::kBringToForeground:
        bringToForeground(window);
        break;
      case fid::kSetPosition:
        if (window != nullptr) setWindowPosition(*window, record.intParam1, record.intParam2);
        break;
      case fid::kGetPosition:
        if (window != nullptr) getWindowPosition(*window, record.numberResult, record.numberResult2);
        break;
      case fid::kSetSize:
        if (window != nullptr) setWindowSize(*window, record.intParam1, record.intParam2);
        break;
      case fid::kGetSize:
        if (window != nullptr) {
          uint32_t width = 0;
          uint32_t height = 0;
          getWindowSize(*window, width, height);
          record.numberResult = static_cast<int32_t>(width);
          record.numberResult2 = static_cast<int32_t>(height);
        }
        break;
      case fid::kSetTitle:
        if (window != nullptr) window->setTitle(stringArgument(record.stringParam1));
        break;
      case fid::kSetZOrder:
        setWindowZOrderByCommand(window, stringArgument(record.stringParam1));
        break;
      case fid::kShow:
        showApplication(record.boolParam1 != 0);
        break;
      case fid::kStartDrag:
        if (call.dragging != nullptr) *call.dragging = 1;
        break;
      case fid::kSetShape:
        if (FlashView* view = maskedMovieView(call.plugin)) {
          view->maskView->maskDidChange(stringArgument(record.stringParam1));
        }
        break;
      case fid::kSetAlpha:
        // Percent; the window keeps alpha within 0 to 1 itself.
        if (window != nullptr) window->setAlphaValue(static_cast<double>(record.intParam1) / 100.0);
        break;
      case fid::kSetFlashSize:
        setFlashRectangleSize(call.plugin, window, record.intParam1, record.intParam2);
        break;
      case fid::kEmbedMediaWindow:
        record.numberResult = static_cast<int32_t>(embedMediaWindow(call, projector, window));
        break;
      case fid::kCreateWindow:
        record.numberResult = static_cast<int32_t>(createWindow(call, projector));
        break;
      case fid::kCreateMediaWindow:
        record.numberResult = static_cast<int32_t>(createMediaWindow(call, window));
        break;
      default:
        break;
    }
  }

 private:
  FlashWindow* projectorWindow(const PluginWindow* window) const {
    if (window == nullptr || services_.projectorWindows == nullptr) return nullptr;
    return services_.projectorWindows->projectorWindow(window);
  }

  // The native window the command acts on: the movie view's command target
  // (a windowless movie's alpha window; during its resize the alpha window,
  // then the real one), or for a window that is not a projector window (a web
  // page window) its own.
  static Window* targetWindow(const ZFunctionCall& call, FlashWindow* projector) {
    if (projector != nullptr) {
      if (FlashView* view = projector->view()) return view->commandTargetWindow();
      return projector->nativeWindow();
    }
    return call.window != nullptr ? call.window->nativeWindow() : nullptr;
  }

  // The movie view of a live instance's window when it sits in a mask view, or nullptr.
  FlashView* maskedMovieView(FlashPlugin* plugin) const {
    if (plugin == nullptr || !plugin->isSane()) return nullptr;
    FlashWindow* projector = projectorWindow(plugin->m_flashWindow);
    FlashView* view = projector != nullptr ? projector->view() : nullptr;
    return view != nullptr && view->maskView != nullptr ? view : nullptr;
  }

  void bringToForeground(Window* window) const {
    Desktop* desktop = services_.desktop;
    if (desktop == nullptr) return;
    desktop->activateIgnoringOtherApps();
    if (window == nullptr || services_.runLoop == nullptr) return;
    // The window is found again by its number: it may be gone by then.
    const uint32_t number = window->windowNumber();
    services_.runLoop->performAfterDelay(kBringToFrontDelay, [desktop, number] {
      Window* later = desktop->windowWithNumber(number);
      if (later != nullptr && !later->isClosed()) later->makeKeyAndOrderFront();
    });
  }

  // showWindow:Show:: the whole application is shown or hidden.
  void showApplication(bool show) const {
    Desktop* desktop = services_.desktop;
    if (desktop == nullptr) return;
    if (show) {
      desktop->unhide();
      desktop->activateIgnoringOtherApps();
    } else {
      desktop->hide();
    }
  }

  // setFlashRectangleSize:Height:Plugin:Whichwindow:: in a mask the movie's
  // area takes the size; otherwise the window does.
  void setFlashRectangleSize(FlashPlugin* plugin, Window* window, int32_t width, int32_t height) const {
    if (FlashView* view = maskedMovieView(plugin)) {
      // The size as text, in the window system's notation.
      view->setFlashSize("{" + std::to_string(width) + ", " + std::to_string(height) + "}");
    } else if (window != nullptr) {
      setWindowSize(*window, width, height);
    }
  }

  // createWindow: a movie of the bundle's resources, or a path.
  uint32_t createWindow(const ZFunctionCall& call, FlashWindow* requester) const {
    const CocoaInterfaceData& record = call.record;
    if (services_.projectorWindows == nullptr) return 0;
    const std::string swf = stringArgument(record.stringParam1);
    // The extension is compared exactly: "intro.SWF" is not a movie.
    if (fs::path(swf).extension() != ".swf") return 0;
    std::optional<fs::path> movie;
    const Bundle* bundle = call.bundle != nullptr ? call.bundle : services_.application;
    if (bundle != nullptr) movie = bundle->pathForResource(swf, "");
    if (!movie || !isFile(*movie)) movie = fs::path(swf);
    if (!isFile(*movie)) return 0;

    FlashWindowArgs args;
    // The creator's own window (the real one, also for a windowless movie)
    // keeps its children.
    args.parent = requester != nullptr ? requester->window() : nullptr;
    args.swf = movie->string();
    args.x = record.intParam1;
    args.y = record.intParam2;
    args.parameter = stringArgument(record.stringParam2);
    args.title = stringArgument(record.stringParam3);
    args.type = stringArgument(record.stringParam4);
    args.bgColor = stringArgument(record.stringParam5);
    args.ownedByParent = record.boolParam1 != 0;
    args.resizeable = record.boolParam2 != 0;
    args.hasShadow = record.boolParam3 != 0;
    args.alpha = record.intParam3;
    args.maskName = stringArgument(record.stringParam6);
    args.creator = call.plugin;
    return services_.projectorWindows->createWindow(args);
  }

  uint32_t createMediaWindow(const ZFunctionCall& call, Window* window) const {
    if (services_.webWindows == nullptr) return 0;
    const CocoaInterfaceData& record = call.record;
    WebWindowArgs args = webWindowArgs(call, window);
    args.parameter = stringArgument(record.stringParam2);
    args.title = stringArgument(record.stringParam3);
    return services_.webWindows->createWebWindow(args);
  }

  uint32_t embedMediaWindow(const ZFunctionCall& call, FlashWindow* projector, Window* window) const {
    if (services_.webWindows == nullptr) return 0;
    WebWindowArgs args = webWindowArgs(call, window);
    args.embed = true;
    // Only an alpha window is a shaped window.
    args.windowless = projector != nullptr && window != nullptr && window == projector->alphaWindow();
    return services_.webWindows->createWebWindow(args);
  }

  static WebWindowArgs webWindowArgs(const ZFunctionCall& call, Window* window) {
    const CocoaInterfaceData& record = call.record;
    WebWindowArgs args;
    args.window = window;
    args.filePath = stringArgument(record.stringParam1);
    args.x = record.intParam1;
    args.y = record.intParam2;
    args.width = record.intParam3;
    args.height = record.intParam4;
    args.parent = call.plugin;
    return args;
  }

  FamilyServices services_;
};

}  // namespace

std::shared_ptr<CommandFamily> makeWindowCommands(const FamilyServices& services) {
  return std::make_shared<WindowCommands>(services);
}

void setWindowPosition(Window& window, int32_t x, int32_t y) {
  const DesktopRect screen = window.desktop().mainScreenFrame();
  window.setFrameTopLeftPoint({screen.origin.x + x, screen.maxY() - y});
}

void getWindowPosition(const Window& window, int32_t& x, int32_t& y) {
  const DesktopRect screen = window.desktop().mainScreenFrame();
  const DesktopRect frame = window.frame();
  x = pinned16(frame.minX() - screen.origin.x);
  y = pinned16(screen.maxY() - frame.maxY());
}

void setWindowSize(Window& window, int32_t width, int32_t height) {
  int32_t left = 0;
  int32_t top = 0;
  getWindowPosition(window, left, top);
  const int32_t bottom = wrapped16(int64_t{top} + height);
  const int32_t right = wrapped16(int64_t{left} + width);
  // A size the window manager's arithmetic turned negative is no size.
  const int32_t contentHeight = std::clamp(bottom - top, 0, kLargestWindowSide);
  const int32_t contentWidth = std::clamp(right - left, 0, kLargestWindowSide);
  const DesktopRect frame = window.frame();
  const double topEdge = std::trunc(frame.origin.y + frame.size.height);
  // Any style means a title bar.
  const double frameHeight = contentHeight + (window.styleMask() != 0 ? kTitleBarHeight : 0);
  const DesktopRect screen = window.desktop().mainScreenFrame();
  window.setFrame({{screen.origin.x + left, topEdge - frameHeight}, {static_cast<double>(contentWidth), frameHeight}});
  if (View* content = window.contentView()) content->setNeedsDisplay();
}

void getWindowSize(const Window& window, uint32_t& width, uint32_t& height) {
  const DesktopSize size = window.contentRect().size;
  width = unsignedPoints(size.width);
  height = unsignedPoints(size.height);
}

}  // namespace kw
