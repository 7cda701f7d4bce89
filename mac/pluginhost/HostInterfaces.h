// The narrow interfaces through which the plug-in host reaches the parts above
// it: the instance's window, the registry of instances, the command runner,
// URL loading and the controller's delayed window close.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "mac/npapi/npapi.h"

namespace kw {

class FlashPlugin;
class Window;
struct StreamData;
struct CocoaInterfaceData;

// The window object of an instance: a projector window, or a web page window
// for a web page proxy.
class PluginWindow {
 public:
  virtual ~PluginWindow() = default;
  // Runs a command addressed to this window (processOneEvent:).
  virtual void processOneEvent(CocoaInterfaceData& record) = 0;
  // The plug-in asked for part of its area to be redrawn (invalidateRect:).
  virtual void invalidateRect(const NPRect& rect) = 0;
  // Web page windows: runs a script in the page (executeJavaScript:).
  virtual void executeJavaScript(std::string_view script) = 0;
  // The desktop window that shows it, if any.
  virtual Window* nativeWindow() const { return nullptr; }
};

// The application's registry of plug-in instances. A movie names an instance
// by a 32-bit identity that the registry issues; 0 is never issued.
class InstanceRegistry {
 public:
  virtual ~InstanceRegistry() = default;
  // isAValidNsPlugin: the object is registered.
  virtual bool isAValidNsPlugin(const FlashPlugin* plugin) const = 0;
  // The registered instance with this identity, or nullptr.
  virtual FlashPlugin* pluginForIdentity(uint32_t identity) const = 0;
  // The identity of a registered instance, or 0.
  virtual uint32_t identityOf(const FlashPlugin* plugin) const = 0;
  // The object is going away: forget it whatever the registry's own rules.
  virtual void forget(const FlashPlugin* plugin) = 0;
};

// The command runner: takes a command URL whose stream has been opened (and
// a synchronous ExternalInterface request) to the parser and the dispatcher.
class CommandSink {
 public:
  virtual ~CommandSink() = default;
  virtual void runCommand(const std::shared_ptr<StreamData>& record) = 0;
};

// URL loading for the requests that are not commands. Each call answers the
// error the plug-in receives.
class UrlLoader {
 public:
  virtual ~UrlLoader() = default;
  virtual NPError getURL(const std::shared_ptr<StreamData>& record) = 0;
  virtual NPError postURL(const std::shared_ptr<StreamData>& record, const char* buffer, uint32_t length,
                          bool isFile, bool allowHeaders) = 0;
};

// The controller's closeThisWindow:.
class WindowCloser {
 public:
  virtual ~WindowCloser() = default;
  virtual void closeThisWindow(PluginWindow* window) = 0;
};

}  // namespace kw
