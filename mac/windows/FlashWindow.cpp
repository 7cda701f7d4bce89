// Projector windows: building the first window from the settings and
// run-time windows from the window commands, the alpha window of windowless
// movies, placement, the delegate relays and the closing sequence.
#include "mac/windows/FlashWindow.h"

#include <algorithm>
#include <system_error>

#include "mac/app/playerSettings.h"
#include "mac/platform/Bundle.h"
#include "mac/platform/Desktop.h"
#include "mac/platform/Menu.h"
#include "mac/platform/NotificationCenter.h"
#include "mac/platform/RunLoop.h"
#include "mac/platform/SystemLog.h"
#include "mac/platform/UserDefaults.h"
#include "mac/pluginhost/FlashPlugin.h"
#include "mac/windows/CustomWindow.h"
#include "mac/windows/FlashView.h"
#include "mac/windows/MaskView.h"
#include "mac/windows/MovieHeaderProbe.h"
#include "mac/windows/WindowKinds.h"
#include "mac/windows/windowLessFlashView.h"

namespace kw {

namespace {

constexpr const char* kRightClickMenuTitle = "Right Click Menu";
constexpr const char* kDefaultsExistKey = "defaultsExist";
constexpr const char* kAlphaWindowAutosaveName = "AlphaWindowPosition";
constexpr const char* kMovieParameterOfFirstWindow = "main";
// The real window of a windowless movie stands this far right of its alpha window.
constexpr double kAlphaWindowOffset = 1000;
// The controller releases a closed window after this delay.
constexpr double kCloseDelay = 0.1;
// The content area the interface file gives the first window before the movie sizes it.
constexpr DesktopRect kInterfaceFileContentRect{{100, 300}, {550, 400}};
// The content size of a run-time window whose movie header cannot be read.
constexpr DesktopSize kUnknownMovieSize{550, 400};

// The movie frame (0, 0, right, bottom) in points, or none when the header
// cannot be read.
std::optional<DesktopRect> movieFrame(const std::filesystem::path& moviePath) {
  const MovieHeaderInfo info = probeMovieHeader(moviePath);
  if (info.status != kStatusOK) return std::nullopt;
  return DesktopRect{{0, 0}, {static_cast<double>(info.rect.right), static_cast<double>(info.rect.bottom)}};
}

double percent(int32_t value) { return static_cast<double>(value) / 100.0; }

int16_t toInt16(double value) { return static_cast<int16_t>(std::clamp(value, -32768.0, 32767.0)); }

bool fileExists(const std::filesystem::path& path) {
  std::error_code ec;
  return std::filesystem::is_regular_file(path, ec);
}

}  // namespace

FlashWindow::FlashWindow(WindowServices services)
    : services_(std::move(services)), rightClickMenu(std::make_shared<Menu>(kRightClickMenuTitle)) {}

std::unique_ptr<FlashWindow> FlashWindow::firstWindow(WindowServices services) {
  if (services.desktop == nullptr) return nullptr;
  std::unique_ptr<CustomWindow> native = CustomWindow::fromSettings(*services.desktop, kInterfaceFileContentRect);
  if (!native) return nullptr;
  auto self = std::make_unique<FlashWindow>(std::move(services));
  self->flashWind = std::move(native);
  CustomWindow& window = *self->flashWind;
  const WindowServices& svc = self->services_;

  // The bundle's movie; without it the window stays as the interface file
  // made it (shown, without a view or a movie).
  std::optional<std::filesystem::path> moviePath;
  if (svc.application != nullptr) moviePath = svc.application->pathForResource("zvdata", "zve");
  if (!moviePath || !fileExists(*moviePath)) {
    if (!window.isVisible()) window.orderFront();
    return self;
  }

  // The movie frame; an unreadable header leaves only the alpha step.
  const int32_t windowType = playerSettings::windowType();
  if (const std::optional<DesktopRect> frame = movieFrame(*moviePath)) {
    // The mask image of the settings.
    std::optional<DesktopRect> maskRect;
    if (playerSettings::mask()) {
      const std::optional<std::string> maskName = playerSettings::maskName();
      std::optional<std::filesystem::path> maskPath;
      if (maskName && svc.application != nullptr) maskPath = svc.application->pathForResource(*maskName, "");
      if (maskPath) maskRect = self->installMask(*maskPath);
    }
    // The view, in the mask or as the content.
    window.orderOut();
    self->buildContent(*frame, maskRect, windowType);

    // The view draws into this window and carries the context menu.
    self->flashView->setTargetWindow(&window, nullptr);
    self->flashView->setMenu(self->rightClickMenu);
    if (self->flashMaskView) self->flashMaskView->setMenu(self->rightClickMenu);

    // The first launch centres the window. A full-screen window already
    // covers the screen and stays where it is. Without a defaults store
    // every launch counts as the first and nothing is stored.
    bool firstLaunch = true;
    if (svc.defaults != nullptr) {
      firstLaunch = !svc.defaults->objectForKey(kDefaultsExistKey).has_value();
      if (firstLaunch) svc.defaults->setInteger(kDefaultsExistKey, 1);
    }
    if (firstLaunch && windowType != kWindowTypeFullScreen) window.center();

    // A windowless movie shows through its alpha window.
    if (windowType == kWindowTypeWindowless) {
      window.setAlphaValue(0);
      window.setBackgroundColor(RGBAColor::clear());
      self->createAlphaWindow(*moviePath, window.frame());
      if (self->alphaWind) {
        self->alphaWind->setFrameUsingName(kAlphaWindowAutosaveName);
        self->alphaWind->setFrameAutosaveName(kAlphaWindowAutosaveName);
      }
    }

    // The movie; the alpha window's view reaches it too.
    self->flashView->loadMovie(*moviePath, nullptr, self.get(), windowType, std::string(kMovieParameterOfFirstWindow));
    if (self->alphaImageView) {
      self->alphaImageView->setPlugin(self->flashView->plugin());
      self->alphaImageView->setKW_CommandHandler(self->flashView->commandHandler());
    }

    // The interface file shows its window once loaded: it comes to the
    // front as the key and main window.
    window.makeFirstResponder(self->flashView.get());
    window.makeKeyAndOrderFront();
    window.makeMainWindow();

    window.setHasShadow(playerSettings::dropShadow() != 0);
    window.setDelegate(self.get());
  } else if (!window.isVisible()) {
    window.orderFront();
  }

  // The alpha window takes the settings' opacity.
  if (self->alphaWind) self->alphaWind->setAlphaValue(percent(playerSettings::windowAlpha()));
  return self;
}

std::unique_ptr<FlashWindow> FlashWindow::withMovie(WindowServices services, const FlashWindowArgs& args) {
  // A movie path is needed for the movie's URL.
  if (services.desktop == nullptr || !args.swf || args.swf->empty()) return nullptr;
  const std::filesystem::path moviePath(*args.swf);

  auto self = std::make_unique<FlashWindow>(std::move(services));
  self->fParent = args.parent;
  self->fOwnedByParent = args.ownedByParent && args.parent != nullptr;

  // The movie frame; an unreadable header gives a window of a default size.
  const DesktopRect frame = movieFrame(moviePath).value_or(DesktopRect{{0, 0}, kUnknownMovieSize});

  // The about box is a panel.
  const bool isPanel = args.type == "ABOUT";
  self->flashWind = CustomWindow::withKind(*self->services_.desktop, frame, args.type, args.alpha, args.resizeable,
                                           args.hasShadow, isPanel);
  CustomWindow& window = *self->flashWind;

  self->setWindowPosition(window, args.x, args.y);
  if (self->fOwnedByParent) window.setLevel(args.parent->level());

  // Only "RECTANGULAR" windows take a mask, found beside the movie.
  std::optional<DesktopRect> maskRect;
  if (args.maskName && !args.maskName->empty() && args.type == "RECTANGULAR") {
    const std::filesystem::path maskPath = moviePath.parent_path() / *args.maskName;
    if (fileExists(maskPath)) maskRect = self->installMask(maskPath);
  }

  const int32_t windowType = intWindowType(args.type);
  self->buildContent(frame, maskRect, windowType);

  self->flashView->setTargetWindow(&window, nullptr);
  self->flashView->loadMovie(moviePath, args.creator, self.get(), windowType, args.parameter);
  window.makeFirstResponder(self->flashView.get());
  // A new window comes to the front as the main window.
  window.makeKeyAndOrderFront();
  window.makeMainWindow();
  window.setHidesOnDeactivate(false);
  self->flashView->setMenu(self->rightClickMenu);
  if (self->flashMaskView) self->flashMaskView->setMenu(self->rightClickMenu);
  window.setTitle(args.title.value_or(std::string()));
  window.setHasShadow(args.hasShadow);
  window.invalidateShadow();
  window.setDelegate(self.get());

  // Only "WINDOWLESS" makes an alpha window at run time.
  if (args.type == "WINDOWLESS") {
    window.setAlphaValue(0);
    self->createAlphaWindow(moviePath, window.frame());
    if (self->alphaWind) self->alphaWind->setAlphaValue(percent(args.alpha));
    if (self->alphaImageView) {
      self->alphaImageView->setPlugin(self->flashView->plugin());
      self->alphaImageView->setKW_CommandHandler(self->flashView->commandHandler());
    }
  }
  return self;
}

std::optional<DesktopRect> FlashWindow::installMask(const std::filesystem::path& maskPath) {
  flashMaskView = std::make_shared<MaskView>(services_, maskPath);
  flashWind->setContentSize(flashMaskView->frame().size);
  flashWind->setContentView(flashMaskView);
  int32_t width = 0;
  int32_t height = 0;
  flashMaskView->getMaskSize(width, height);
  return DesktopRect{{0, 0}, {static_cast<double>(width), static_cast<double>(height)}};
}

void FlashWindow::buildContent(const DesktopRect& movie, const std::optional<DesktopRect>& maskRect,
                               int32_t windowType) {
  if (flashMaskView && maskRect) {
    // The movie is centred in the mask with QuickDraw's 16-bit arithmetic.
    const QDRect movieQD{0, 0, toInt16(movie.size.height), toInt16(movie.size.width)};
    const QDRect maskQD{toInt16(maskRect->minY()), toInt16(maskRect->minX()), toInt16(maskRect->maxY()),
                        toInt16(maskRect->maxX())};
    const QDRect placed = centreInMask(movieQD, maskQD);
    const DesktopRect viewFrame{{static_cast<double>(placed.left), static_cast<double>(placed.top)},
                                {static_cast<double>(placed.right - placed.left),
                                 static_cast<double>(placed.bottom - placed.top)}};
    flashView = std::make_shared<FlashView>(services_, viewFrame, flashMaskView.get());
    flashMaskView->addSubview(flashView);
    flashMaskView->setFlashView(flashView.get());
    return;
  }
  if (windowType == kWindowTypeFullScreen && services_.desktop != nullptr) {
    flashView = std::make_shared<FlashView>(services_, services_.desktop->mainScreenFrame());
  } else {
    flashView = std::make_shared<FlashView>(services_, movie);
    flashWind->setContentSize(flashView->frame().size);
  }
  flashWind->setContentView(flashView);
}

FlashWindow::~FlashWindow() {
  // A delayed close still pending would reach a released window's closer.
  if (closeTimer_ != 0 && services_.runLoop != nullptr) services_.runLoop->cancel(closeTimer_);

  // Child windows: the native ones are closed; the projector windows
  // owned by this one lose their parent, which is going away.
  if (flashWind) {
    const std::vector<Window*> natives = flashWind->childWindows();
    for (Window* child : natives) {
      flashWind->removeChildWindow(*child);
      child->close();
    }
    for (FlashWindow* child : flashWind->childWindowList) child->fParent = nullptr;
    flashWind->childWindowList.clear();
  }
  if (fOwnedByParent && fParent != nullptr) fParent->removeChildFromList(this);
  fParent = nullptr;

  if (services_.notifications != nullptr) {
    services_.notifications->post(notification::kRemoveWindowFromList, static_cast<PluginWindow*>(this));
  }

  // The alpha window lets go of the real window and closes.
  if (alphaWind) {
    if (flashWind) alphaWind->removeChildWindow(*flashWind);
    alphaWind->setDelegate(nullptr);
    alphaWind->close();
  }

  // The movie hears it is closing and its timer stops.
  if (flashView) {
    flashView->sendCloseMessageToFlash();
    flashView->stopTimer();
  }

  if (flashWind) {
    flashWind->setDelegate(nullptr);
    closeNativeWindowOnce();
  }

  // The views go while the windows they point at still exist: they
  // leave their windows first, so that the windows do not keep them alive.
  if (alphaWind) alphaWind->setContentView(nullptr);
  alphaImageView.reset();
  if (flashWind) flashWind->setContentView(nullptr);
  flashMaskView.reset();
  flashView.reset();
  alphaWind.reset();
  flashWind.reset();
}

void FlashWindow::closeNativeWindowOnce() {
  if (!fSentCloseMessage) {
    fSentCloseMessage = true;
    flashWind->close();
  } else {
    systemLog("*** Already Closed this window once ***");
  }
}

void FlashWindow::createAlphaWindow(const std::filesystem::path& moviePath, const DesktopRect& where) {
  if (!flashWind || !flashView || services_.desktop == nullptr) return;
  const std::optional<DesktopRect> frame = movieFrame(moviePath);
  if (!frame) return;
  alphaWind = ShapedWindow::create(*services_.desktop, *frame, flashWind.get(), std::string("FRAMELESS"), 100, true,
                                   false);
  // The view plays windowless and shows through the alpha window's image view.
  flashView->setWindowless(true);
  alphaImageView = std::make_shared<windowLessFlashView>(*frame);
  flashView->setTargetWindow(alphaWind.get(), alphaImageView.get());
  alphaWind->setContentSize(alphaImageView->frame().size);
  alphaWind->setContentView(alphaImageView);
  // The invisible real window stands to the right of the alpha window.
  alphaWind->setFrameOrigin(where.origin);
  flashWind->setFrameOrigin({where.origin.x + kAlphaWindowOffset, where.origin.y});
  // The real window moves with the alpha window, above it.
  alphaWind->addChildWindow(*flashWind);
  alphaWind->orderFront();
  alphaWind->setDelegate(this);
  alphaWind->setBackgroundColor(RGBAColor::clear());
}

void FlashWindow::setWindowPosition(Window& window, int32_t x, int32_t y) {
  // The window's top-left point goes to (x, T - y) and then the window's
  // content is moved to the global point (x, y). Together they put the
  // content's top-left corner at global (x, y), so the frame is computed from
  // that content rectangle directly: a titled window's frame then rises 22
  // points above it, a borderless window's frame is the content itself.
  const DesktopRect screen = services_.desktop != nullptr ? services_.desktop->mainScreenFrame() : DesktopRect{};
  const double top = screen.origin.y + screen.size.height;
  const DesktopSize size = window.contentRect().size;
  const DesktopRect content{{screen.origin.x + x, top - y - size.height}, size};
  window.setFrameOrigin(window.frameRectForContentRect(content).origin);
}

void FlashWindow::resyncWindow() {
  if (!alphaWind || !flashWind) return;
  const DesktopPoint origin = alphaWind->frame().origin;
  flashWind->setFrameOrigin({origin.x + kAlphaWindowOffset, origin.y});
}

void FlashWindow::close() {
  if (flashWind) closeNativeWindowOnce();
}

void FlashWindow::cleanUpParentAndChildren() {
  // Once detached the parent is not reached again: it may be released first.
  if (fOwnedByParent && fParent != nullptr) fParent->removeChildFromList(this);
  fParent = nullptr;
  if (flashWind) flashWind->closeAllChildren();
}

FlashPlugin* FlashWindow::plugin() const { return flashView ? flashView->plugin() : nullptr; }

// Forwarders to the view.

Window* FlashWindow::nativeWindow() const { return flashWind.get(); }

void FlashWindow::processOneEvent(CocoaInterfaceData& record) {
  if (flashView) flashView->processOneEvent(record);
}

void FlashWindow::invalidateRect(const NPRect& rect) {
  if (flashView) flashView->invalidateRect(rect);
}

void FlashWindow::zMinimize() {
  if (flashView) flashView->zMinimize();
}

void FlashWindow::zOrderDesktop() {
  if (flashView) flashView->zOrderDesktop();
}

void FlashWindow::zOrderNormal() {
  if (flashView) flashView->zOrderNormal();
}

void FlashWindow::zOrderOnTop() {
  if (flashView) flashView->zOrderOnTop();
}

void FlashWindow::sendFlashQuitEvent() {
  if (flashView) flashView->sendQuitEventToFlash();
}

void FlashWindow::doApplicationIsActivating() {
  if (flashView) flashView->doApplicationIsActivating();
}

void FlashWindow::doApplicationIsDeactivating() {
  if (flashView) flashView->doApplicationIsDeactivating();
}

// Window delegate.

void FlashWindow::windowWillMiniaturize(Window&) {
  if (flashView) flashView->doWindowisMiniaturizing();
}

void FlashWindow::windowDidMiniaturize(Window&) {
  if (!alphaWind) return;
  fAlpha = alphaWind->alphaValue();
  alphaWind->setAlphaValue(0);
}

void FlashWindow::windowDidDeminiaturize(Window&) {
  if (alphaWind) alphaWind->setAlphaValue(fAlpha);
  if (flashView) flashView->doWindowisDeminiaturizing();
}

void FlashWindow::windowDidBecomeMain(Window&) {
  if (services_.desktop != nullptr) services_.desktop->activateIgnoringOtherApps();
  if (flashWind && (!flashWind->isKeyWindow() || !flashWind->isVisible())) flashWind->makeKeyAndOrderFront();
  if (flashView) flashView->doWindowBecameMain();
}

void FlashWindow::windowDidResignMain(Window&) {
  if (flashView) flashView->doWindowResignedMain();
}

void FlashWindow::windowDidBecomeKey(Window&) {
  if (flashView) flashView->doWindowBecameKey();
}

void FlashWindow::windowDidResignKey(Window&) {
  if (flashView) flashView->doWindowResignedKey();
}

bool FlashWindow::windowShouldClose(Window&) {
  // The sequence runs once: a second close request (the close button pressed
  // again, or a parent closing it meanwhile) changes nothing.
  if (closing_) return false;
  closing_ = true;
  // Children first, then the movie hears it, then the registry.
  cleanUpParentAndChildren();
  if (flashView) flashView->doWindowisClosing();
  auto* self = static_cast<PluginWindow*>(this);
  if (services_.notifications != nullptr) services_.notifications->post(notification::kRemoveWindowFromList, self);
  // The controller releases this window a moment later; it checks that it
  // still owns the pointer before touching it.
  if (services_.runLoop != nullptr && services_.closer != nullptr) {
    WindowCloser* closer = services_.closer;
    closeTimer_ = services_.runLoop->performAfterDelay(kCloseDelay, [this, closer, self] {
      closeTimer_ = 0;
      closer->closeThisWindow(self);
    });
  }
  // The window system never closes the window itself.
  return false;
}

}  // namespace kw
