// A projector window: owns the native window, builds its content (the movie
// view, optionally inside a mask view, optionally mirrored by an alpha window),
// starts the movie, relays window notifications to the view and runs the
// closing sequence. The first window is configured by the player settings;
// run-time windows by the window commands' arguments.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "mac/platform/Window.h"
#include "mac/pluginhost/HostInterfaces.h"
#include "mac/windows/WindowServices.h"

namespace kw {

class CustomWindow;
class FlashPlugin;
class FlashView;
class MaskView;
class Menu;
class ShapedWindow;
class windowLessFlashView;

// The arguments of a run-time window (initWithSWF:...).
struct FlashWindowArgs {
  CustomWindow* parent = nullptr;
  std::optional<std::string> swf;        // movie path
  int32_t x = 0, y = 0;                  // top-left of the content, global (y downward)
  std::optional<std::string> parameter;
  std::optional<std::string> title;
  std::optional<std::string> type;       // kind name
  std::optional<std::string> bgColor;    // not applied
  bool ownedByParent = false;
  bool resizeable = false;
  bool hasShadow = false;
  int32_t alpha = 100;                   // percent
  std::optional<std::string> maskName;
  FlashPlugin* creator = nullptr;        // the creating instance
};

class FlashWindow : public PluginWindow, public WindowDelegate {
 public:
  // awakeFromNib of the first window: builds it from the settings and the
  // bundle's movie. Answers none when the settings' window type is outside
  // 0-4; a window without a movie stays as loaded, without a view.
  static std::unique_ptr<FlashWindow> firstWindow(WindowServices services);
  // initWithSWF:...: none without a movie path.
  static std::unique_ptr<FlashWindow> withMovie(WindowServices services, const FlashWindowArgs& args);

  explicit FlashWindow(WindowServices services);
  // dealloc.
  ~FlashWindow() override;
  FlashWindow(const FlashWindow&) = delete;
  FlashWindow& operator=(const FlashWindow&) = delete;

  void createAlphaWindow(const std::filesystem::path& moviePath, const DesktopRect& where);
  void setWindowPosition(Window& window, int32_t x, int32_t y);
  void resyncWindow();
  void close();
  void cleanUpParentAndChildren();

  // PluginWindow: forwarded to the view.
  void processOneEvent(CocoaInterfaceData& record) override;
  void invalidateRect(const NPRect& rect) override;
  void executeJavaScript(std::string_view script) override { (void)script; }
  Window* nativeWindow() const override;

  void zMinimize();
  void zOrderDesktop();
  void zOrderNormal();
  void zOrderOnTop();
  void sendFlashQuitEvent();
  void doApplicationIsActivating();
  void doApplicationIsDeactivating();
  void doApplicationIsTerminating() {}

  // WindowDelegate.
  void windowWillMiniaturize(Window& window) override;
  void windowDidMiniaturize(Window& window) override;
  void windowDidDeminiaturize(Window& window) override;
  void windowDidBecomeMain(Window& window) override;
  void windowDidResignMain(Window& window) override;
  void windowDidBecomeKey(Window& window) override;
  void windowDidResignKey(Window& window) override;
  void windowWillClose(Window& window) override { (void)window; }
  bool windowShouldClose(Window& window) override;

  CustomWindow* window() const { return flashWind.get(); }
  FlashView* view() const { return flashView.get(); }
  FlashPlugin* plugin() const;
  ShapedWindow* alphaWindow() const { return alphaWind.get(); }
  MaskView* maskView() const { return flashMaskView.get(); }
  Menu* contextMenu() const { return rightClickMenu.get(); }

  CustomWindow* fParent = nullptr;
  bool fOwnedByParent = false;
  int32_t identifier = 0;
  bool fClosingFromWidget = false;
  bool fSentCloseMessage = false;
  double fAlpha = 0;

 private:
  // Makes the mask view from an image file and makes it the content; answers
  // the mask rectangle (0, 0, width, height).
  std::optional<DesktopRect> installMask(const std::filesystem::path& maskPath);
  // Makes the view (centred in the mask view when there is one) and the content.
  void buildContent(const DesktopRect& movieFrame, const std::optional<DesktopRect>& maskRect, int32_t windowType);
  // Closes the native window the first time; later calls only log.
  void closeNativeWindowOnce();

  WindowServices services_;
  std::unique_ptr<CustomWindow> flashWind;
  std::shared_ptr<FlashView> flashView;
  std::shared_ptr<MaskView> flashMaskView;
  std::shared_ptr<Menu> rightClickMenu;
  std::unique_ptr<ShapedWindow> alphaWind;
  std::shared_ptr<windowLessFlashView> alphaImageView;
  bool closing_ = false;        // the closing sequence has run
  uint64_t closeTimer_ = 0;     // the pending delayed close, 0 without one
};

}  // namespace kw
