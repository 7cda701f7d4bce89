// What the projector windows and their views reach outside themselves: the
// desktop, the run loop, notifications, the plug-in host, the application
// bundle and its stored defaults, the controller's delayed close, and the
// hook that equips a new command handler with the command families.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace kw {

class Bundle;
class Desktop;
class InstanceCaching;
class KW_Commands;
class NotificationCenter;
class PluginHost;
class RunLoop;
class UserDefaults;
class WindowCloser;

struct WindowServices {
  Desktop* desktop = nullptr;
  RunLoop* runLoop = nullptr;
  NotificationCenter* notifications = nullptr;
  PluginHost* host = nullptr;
  InstanceCaching* caching = nullptr;         // the controller's enableCaching:
  const Bundle* application = nullptr;        // the application bundle (resources), may be null
  UserDefaults* defaults = nullptr;           // "defaultsExist", may be null
  WindowCloser* closer = nullptr;             // the controller's closeThisWindow:
  std::filesystem::path systemPlugin;         // the system-wide plug-in bundle
  std::vector<std::string> arguments;         // the process's command line, program first
  // Plugs the command families into a new view's command handler (may be empty).
  std::function<void(KW_Commands&)> equipCommandHandler;
};

}  // namespace kw
