// A web page window: see webKitWindow.h.
#include "mac/net/webKitWindow.h"

#include <algorithm>
#include <cmath>
#include <system_error>
#include <utility>

#include "mac/commands/FunctionIds.h"
#include "mac/net/StringExtras.h"
#include "mac/net/URLExtras.h"
#include "mac/platform/Bundle.h"
#include "mac/platform/Desktop.h"
#include "mac/platform/DesktopServices.h"
#include "mac/platform/NotificationCenter.h"
#include "mac/platform/RunLoop.h"
#include "mac/platform/SystemLog.h"
#include "mac/platform/View.h"
#include "mac/pluginhost/FlashPlugin.h"
#include "mac/pluginhost/PluginHost.h"

namespace kw {

namespace {

namespace fs = std::filesystem;

constexpr double kCloseDelay = 0.1;
// "FRAME": titled, closable, miniaturisable and resizable; "RECT": borderless.
constexpr uint32_t kFrameStyle = kTitledWindowMask | kClosableWindowMask | kMiniaturizableWindowMask |
                                 kResizableWindowMask;
constexpr const char* kPluginName = "Flash Player.plugin";

// The window rules of the window commands (global coordinates: the main
// screen's top-left corner, y downward), for the calling window and the page's.
void globalTopLeft(const Window& window, double& x, double& y) {
  const DesktopRect screen = window.desktop().mainScreenFrame();
  x = std::floor(window.frame().minX() - screen.origin.x);
  y = std::floor(screen.maxY() - window.frame().maxY());
}

void moveTopLeftTo(Window& window, double x, double y) {
  const DesktopRect screen = window.desktop().mainScreenFrame();
  window.setFrameTopLeftPoint({screen.origin.x + x, screen.maxY() - y});
}

std::unique_ptr<Window> pageWindow(Desktop& desktop, DesktopSize size, bool frame) {
  auto window = std::make_unique<Window>(desktop, DesktopRect{{0, 0}, size}, frame ? kFrameStyle : kBorderlessWindowMask);
  window->setBackgroundColor(RGBAColor::black());
  window->setAlphaValue(1.0);  // alpha 100
  window->setOpaque(false);
  window->setHasShadow(frame);
  return window;
}

}  // namespace

webKitWindow::webKitWindow(WebWindowServices services) : services_(std::move(services)) {}

webKitWindow::~webKitWindow() {
  NotificationCenter* center = services_.notifications;
  if (closeTimer_ != 0 && services_.runLoop != nullptr) services_.runLoop->cancel(closeTimer_);
  if (theWebView_) {
    theWebView_->setDelegate(nullptr);
    theWebView_->stopLoading();
  }
  kwCommandHandler_.reset();
  if (fPlugin_) {
    if (center != nullptr) center->post(notification::kRemoveNsPluginFromList, fPlugin_.get());
    fPlugin_.reset();
  }
  // Taken down while still listed (the application ending): the list must
  // not keep a pointer to it.
  if (!closing_ && center != nullptr) center->post(notification::kRemoveWebWindowFromList, static_cast<PluginWindow*>(this));
  if (window_) {
    if (Window* parent = window_->parentWindow()) parent->removeChildWindow(*window_);
    window_->setDelegate(nullptr);
    window_->setContentView(nullptr);
    window_->close();
    window_.reset();
  } else if (theWebView_) {
    if (View* superview = theWebView_->superview()) {
      superview->setNeedsDisplayInRect(theWebView_->frame());
      theWebView_->removeFromSuperview();
    }
  }
  theWebView_.reset();
}

uint32_t webKitWindow::initWithWebWindow(const WebWindowArgs& args) {
  embedded_ = args.embed;
  isWindowless_ = args.windowless;
  copyFlashPluginToUserLibrary();

  kwCommandHandler_ = std::make_unique<KW_Commands>(
      KW_Commands::Environment{services_.host, services_.caching, services_.arguments}, args.parent);
  if (services_.equipCommandHandler) services_.equipCommandHandler(*kwCommandHandler_);
  // The calling window's content top-left: its frame's, below the title bar.
  double callerX = 0;
  double callerY = 0;
  if (args.window != nullptr) {
    globalTopLeft(*args.window, callerX, callerY);
    if (args.window->styleMask() != 0) callerY += kTitleBarHeight;
  }

  const DesktopRect frame{{static_cast<double>(args.x), static_cast<double>(args.y)},
                          {static_cast<double>(std::max(args.width, 0)), static_cast<double>(std::max(args.height, 0))}};
  if (services_.makeWebView) theWebView_ = services_.makeWebView(frame);

  if (services_.desktop != nullptr && theWebView_ && (!embedded_ || isWindowless_)) {
    window_ = pageWindow(*services_.desktop, frame.size, !embedded_);
    window_->setContentView(theWebView_);
    window_->setTitle(args.title);
    window_->setDelegate(this);
    if (embedded_ && args.window != nullptr) {
      moveTopLeftTo(*window_, callerX + args.x, callerY + args.y);
      args.window->addChildWindow(*window_);
    }
  } else if (embedded_ && theWebView_ && args.window != nullptr && args.window->contentView() != nullptr) {
    args.window->contentView()->addSubview(theWebView_);
  }
  if (theWebView_) theWebView_->setDelegate(this);
  if (!embedded_ && window_) {
    moveTopLeftTo(*window_, args.x, args.y);
    window_->makeKeyAndOrderFront();
  }

  if (services_.host != nullptr) {
    fPlugin_ = std::make_unique<FlashPlugin>(*services_.host, true);
    fPlugin_->m_flashWindow = this;
    fPlugin_->sanityCheck = kPluginSane;
    fPlugin_->fType = kPluginTypeWeb;
  }
  if (NotificationCenter* center = services_.notifications) {
    if (fPlugin_) center->post(notification::kAddNsPluginToList, fPlugin_.get());
    center->post(notification::kAddWebWindowToList, static_cast<PluginWindow*>(this));
  }

  const std::string text = stringByStrippingReturnCharacters(args.filePath);
  if (!text.empty()) {
    const std::optional<std::string> url = pageURL(text);
    if (!url) return 0;
    if (theWebView_) theWebView_->loadURL(*url);
  }
  InstanceRegistry* registry = services_.host != nullptr ? services_.host->services().registry : nullptr;
  return registry != nullptr && fPlugin_ ? registry->identityOf(fPlugin_.get()) : 0;
}

// An http, https or file URL as it is; any other text that makes a URL is a
// path (escapes decoded), absolute with a leading "/", otherwise in the
// resources folder. A relative path makes no absolute URL, so it only has to
// be a valid reference.
std::optional<std::string> webKitWindow::pageURL(const std::string& text) const {
  const std::optional<URL> url = urlWithDataAsString(text);
  if (url && (url->scheme() == "http" || url->scheme() == "https" || url->isFileURL())) return url->absoluteString();
  if (!url) {
    // (curl resolves references only against a base with a host.)
    const std::optional<URL> base = URL::parse("http://localhost/");
    if (!base || !urlWithDataAsString(text, &*base)) return std::nullopt;
  }
  const std::string decoded = stringByReplacingValidPercentEscapes(stringByTrimmingWhitespace(text));
  fs::path path = decoded;
  if (!decoded.starts_with("/")) {
    path = (services_.application != nullptr ? services_.application->resourcesPath() : fs::path()) / decoded;
  }
  const std::optional<URL> file = fileURLWithPath(path.lexically_normal().string());
  if (!file) return std::nullopt;
  return file->absoluteString();
}

void webKitWindow::processOneEvent(CocoaInterfaceData& record) {
  if (record.functionNumber == fid::kLoadMedia) {
    if (record.dispatched != 0) return;
    record.dispatched = 1;
    record.completed = 1;
    record.status = 0;
    if (theWebView_) theWebView_->loadURL(kWebWindowHomePage);
    return;
  }
  if (!kwCommandHandler_) return;
  const Bundle* bundle = services_.application;
  kwCommandHandler_->doZFunction(this, bundle, nullptr, &dragging_, &quitting_, nullptr, &record);
}

std::string webKitWindow::evaluateJavaScript(std::string_view script) {
  if (!theWebView_) return {};
  const std::optional<std::string> carried = scriptIfJavaScriptURL(script);
  return theWebView_->stringByEvaluatingJavaScript(carried ? *carried : std::string(script));
}

bool webKitWindow::copyFlashPluginToUserLibrary() const {
  if (services_.systemPlugin.empty() || services_.userPluginsFolder.empty()) return false;
  const fs::path target = services_.userPluginsFolder / kPluginName;
  std::error_code ec;
  if (fs::exists(target, ec)) return false;
  fs::create_directories(services_.userPluginsFolder, ec);
  fs::copy(services_.systemPlugin, target, fs::copy_options::recursive, ec);
  return !ec;
}

bool webKitWindow::windowShouldClose(Window& window) {
  (void)window;
  if (closing_) return false;
  closing_ = true;  // the list's observers see a page that is already going
  if (services_.notifications != nullptr) {
    services_.notifications->post(notification::kRemoveWebWindowFromList, static_cast<PluginWindow*>(this));
  }
  closeLater();
  return false;
}

void webKitWindow::closeLater() {
  closing_ = true;
  if (closeTimer_ != 0 || services_.runLoop == nullptr || services_.closer == nullptr) return;
  WindowCloser* closer = services_.closer;
  PluginWindow* self = this;
  closeTimer_ = services_.runLoop->performAfterDelay(kCloseDelay, [closer, self] { closer->closeThisWindow(self); });
}

void webKitWindow::runJavaScriptAlertPanel(WebView& view, const std::string& message) {
  (void)view;
  systemLog("JS Message " + message);
  AlertPanels* alerts = services_.host != nullptr ? services_.host->services().alerts : nullptr;
  if (alerts != nullptr) alerts->runAlert({"JavaScript", message, {"OK"}});
}

bool webKitWindow::runJavaScriptConfirmPanel(WebView& view, const std::string& message) {
  (void)view;
  AlertPanels* alerts = services_.host != nullptr ? services_.host->services().alerts : nullptr;
  return alerts != nullptr && alerts->runAlert({"JavaScript", message, {"OK", "Cancel"}}) == 0;
}

void webKitWindow::newWindowRequested(WebView& view, const std::string& url, const std::string& frameName) {
  (void)view;
  (void)frameName;
  Workspace* workspace = services_.host != nullptr ? services_.host->services().workspace : nullptr;
  if (workspace != nullptr) workspace->openURL(url);
}

}  // namespace kw
