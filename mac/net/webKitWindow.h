// A web page opened by a movie: the page in a framed window of its own, in a
// borderless window attached above a windowless movie's window, or as a web
// view inside the calling movie window. The page stands in the registry of
// instances through a web page proxy (a FlashPlugin of type 'webX'), so that
// movies address it by identity like a projector window; it answers the web
// view's JavaScript panels, sends new-window requests to the user's browser,
// runs scripts for the plug-in host, and is taken down 0.1 s after its close
// button is pressed (or after the close command took it off the list).
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "mac/commands/ApplicationServices.h"
#include "mac/commands/KW_Commands.h"
#include "mac/commands/families/FamilyServices.h"
#include "mac/platform/WebView.h"
#include "mac/platform/Window.h"
#include "mac/pluginhost/HostInterfaces.h"

namespace kw {

class Workspace;

// What a web page window reaches outside itself.
// The host gives the page proxy its alerts, workspace and registry; relative
// page paths start in the application bundle's resources folder.
struct WebWindowServices : ApplicationServices {
  InstanceCaching* caching = nullptr;     // for the page's command handler
  std::function<void(KW_Commands&)> equipCommandHandler;  // plugs the command families in
  WebViewFactory makeWebView;             // the platform's web views
  WindowCloser* closer = nullptr;         // closeThisWindow: (the web window manager)
  // copyFlashPluginToUserLibrary: the plug-in copied from `systemPlugin` into
  // `userPluginsFolder`; nothing is copied when either is empty.
  std::filesystem::path systemPlugin;
  std::filesystem::path userPluginsFolder;
};

// The address zWindow.loadMedia loads in a web window (its parameters are not used).
inline constexpr const char* kWebWindowHomePage = "about:blank";

class webKitWindow final : public PluginWindow, public WindowDelegate, public WebViewDelegate {
 public:
  explicit webKitWindow(WebWindowServices services);
  // The teardown: stops loading, lets the handler and the proxy go
  // ("removeNsPluginFromList"), and closes the window or takes the embedded
  // view out of the calling window (its area redrawn).
  ~webKitWindow() override;
  webKitWindow(const webKitWindow&) = delete;
  webKitWindow& operator=(const webKitWindow&) = delete;

  // initWithWebWindow:filePath:xPosition:yPosition:width:height:parameter:title:embed:windowless:parent::
  // the page's identity, 0 when the page text makes no URL (the window and
  // the registrations are made all the same).
  uint32_t initWithWebWindow(const WebWindowArgs& args);

  // PluginWindow.
  void processOneEvent(CocoaInterfaceData& record) override;
  void invalidateRect(const NPRect& rect) override { (void)rect; }
  void executeJavaScript(std::string_view script) override { (void)evaluateJavaScript(script); }
  // The page's own window; none for a page embedded in a movie window.
  Window* nativeWindow() const override { return window_.get(); }

  // executeJavaScript: with its result. A "javascript:" URL is run as the
  // script it carries (escapes decoded).
  std::string evaluateJavaScript(std::string_view script);
  bool embedded() const { return embedded_; }
  bool isWindowless() const { return isWindowless_; }
  // isAURL:: the text contains "://".
  static bool isAURL(std::string_view text) { return text.find("://") != std::string_view::npos; }
  // Copies the plug-in into the user's plug-ins folder when it is not there;
  // answers whether a copy was made.
  bool copyFlashPluginToUserLibrary() const;
  void sendFlashQuitEvent() {}

  // The page has left the web window list and goes 0.1 s later:
  // closeThisWindow: of the closer (the close button and the close command).
  bool isClosing() const { return closing_; }
  void closeLater();

  // WindowDelegate: the window is never closed directly.
  bool windowShouldClose(Window& window) override;
  void windowWillClose(Window& window) override { (void)window; }

  // WebViewDelegate.
  void runJavaScriptAlertPanel(WebView& view, const std::string& message) override;
  bool runJavaScriptConfirmPanel(WebView& view, const std::string& message) override;
  void newWindowRequested(WebView& view, const std::string& url, const std::string& frameName) override;
  void progressFinished(WebView& view) override { (void)view; }

  WebView* webView() const { return theWebView_.get(); }
  FlashPlugin* plugin() const { return fPlugin_.get(); }
  KW_Commands* commandHandler() const { return kwCommandHandler_.get(); }

 private:
  // The URL a page text names, or none (step 9 of the creation).
  std::optional<std::string> pageURL(const std::string& filePath) const;

  WebWindowServices services_;
  std::unique_ptr<Window> window_;        // the two window placements
  std::shared_ptr<WebView> theWebView_;
  std::unique_ptr<FlashPlugin> fPlugin_;
  std::unique_ptr<KW_Commands> kwCommandHandler_;
  bool embedded_ = false;
  bool isWindowless_ = false;
  bool closing_ = false;
  uint64_t closeTimer_ = 0;  // the run loop's timer of closeLater
  uint8_t dragging_ = 0;
  uint8_t quitting_ = 0;
};

}  // namespace kw
