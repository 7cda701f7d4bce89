// The application controller: keeps the registries of projector windows and
// web page windows (the plug-in instances are kept by the PluginRegistry),
// creates run-time projector windows for the window commands, answers the
// application's life-cycle events by telling every window or movie,
// broadcasts application events to all movies, and runs the application
// menu's about and print commands.
#pragma once

#include <any>
#include <cstdint>
#include <functional>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "mac/commands/families/FamilyServices.h"
#include "mac/platform/Desktop.h"
#include "mac/platform/NotificationCenter.h"
#include "mac/pluginhost/HostInterfaces.h"
#include "mac/windows/FlashWindow.h"
#include "mac/windows/WindowServices.h"

namespace kw {

class MenuItem;
class PluginRegistry;
class TextEntryWindow;

class Controller : public ApplicationDelegate, public WindowCloser, public ProjectorWindows {
 public:
  // init: registers the six registry notifications and becomes the main
  // controller. `services.closer` is set to the controller.
  Controller(WindowServices services, PluginRegistry& registry);
  ~Controller() override;
  Controller(const Controller&) = delete;
  Controller& operator=(const Controller&) = delete;

  static Controller* mainController();
  // The registry of plug-in instances tells live instances (false without one).
  static bool isAValidNsPlugin(const FlashPlugin* plugin);

  // The start-up: the interface file's first window is built, then
  // awakeFromNib. Without the bundle's movie "zvdata.zve" nothing more is
  // registered and the controller does not become the application's delegate.
  void start();
  void awakeFromNib();

  // createWindow:swf:xPosition:...: the new window's instance identity, 0 on failure.
  uint32_t createWindow(const FlashWindowArgs& args) override;
  // The window commands' projector window: one the controller owns, or nullptr.
  FlashWindow* projectorWindow(const PluginWindow* window) const override { return ownedWindow(window); }
  // closeThisWindow:: cleanUpParentAndChildren, then releases the window.
  void closeThisWindow(PluginWindow* window) override;
  void enableCaching(bool enable);

  void broadcastOnScreenChange();
  void broadcastOpenFileToAllSwfs(const std::string& path);
  void broadcastQuitEventToAllSwfs();
  bool moveFileToUserTrash(const std::filesystem::path& path);
  bool isControlKeyDown() const;
  bool isOptionKeyDown() const;
  void print();
  void onPlayerAbout();
  void onAbout(const MenuItem& item);

  // Registries (registration order).
  const std::vector<FlashWindow*>& flashWindowList() const { return flashWindowList_; }
  const std::vector<void*>& webWindowList() const { return webWindowList_; }
  FlashWindow* flashWindow() const { return flashWindow_.get(); }

  // The application delegate.
  void applicationDidBecomeActive() override;
  void applicationDidResignActive() override;
  void applicationWillTerminate() override;
  bool applicationShouldTerminateAfterLastWindowClosed() override { return true; }
  void applicationDidChangeScreenParameters() override { broadcastOnScreenChange(); }
  bool openFile(const std::string& path) override;

  // enteringText: (the text entry window): called with the notification's
  // object (a DesktopEvent) once awakeFromNib has registered for it.
  std::function<void(const std::any& event)> enteringText;
  // The text entry window (textWindow, japaneseText), made by the first entry
  // that enteringText starts.
  TextEntryWindow* textWindow() const { return textWindow_.get(); }

 private:
  void addWindowToList(FlashWindow* window);
  void removeWindowFromList(FlashWindow* window);
  // The window the controller owns (first window or run-time window) whose
  // PluginWindow is `window`, or nullptr; pointers are compared, never cast.
  FlashWindow* ownedWindow(const PluginWindow* window) const;
  // The same among the registered windows.
  FlashWindow* registeredWindow(const PluginWindow* window) const;
  // The registered instances that are live ('Sane'), in registration order.
  std::vector<FlashPlugin*> livePlugins() const;

  WindowServices services_;
  PluginRegistry& registry_;
  std::unique_ptr<FlashWindow> flashWindow_;             // the interface file's window
  std::vector<std::unique_ptr<FlashWindow>> ownedWindows_;  // run-time windows until closeThisWindow:
  std::vector<FlashWindow*> flashWindowList_;
  std::vector<void*> webWindowList_;
  std::vector<NotificationCenter::ObserverId> observers_;
  bool isDelegate_ = false;
  std::unique_ptr<TextEntryWindow> textWindow_;
};

}  // namespace kw
