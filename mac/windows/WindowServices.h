// What the projector windows and their views reach outside themselves: the
// desktop, the run loop, notifications, the plug-in host, the application
// bundle and its stored defaults, the controller's delayed close, and the
// hook that equips a new command handler with the command families.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "mac/commands/ApplicationServices.h"

namespace kw {

class InstanceCaching;
class KW_Commands;
class UserDefaults;
class WindowCloser;

struct WindowServices : ApplicationServices {
  InstanceCaching* caching = nullptr;         // the controller's enableCaching:
  UserDefaults* defaults = nullptr;           // "defaultsExist", may be null
  WindowCloser* closer = nullptr;             // the controller's closeThisWindow:
  std::filesystem::path systemPlugin;         // the system-wide plug-in bundle
  // Plugs the command families into a new view's command handler (may be empty).
  std::function<void(KW_Commands&)> equipCommandHandler;
};

}  // namespace kw
