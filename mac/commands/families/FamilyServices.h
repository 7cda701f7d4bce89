// What the command families reach outside the command handler: the desktop
// (windows, screens, panels, menus, pasteboards), the run loop, notifications,
// the plug-in host (registry of instances, desktop services), the application
// bundle, the stored defaults, and the workspace that opens documents and URLs.
#pragma once

#include <string>
#include <vector>

namespace kw {

class Bundle;
class Desktop;
class NotificationCenter;
class PluginHost;
class RunLoop;
class UserDefaults;
class Workspace;

struct FamilyServices {
  Desktop* desktop = nullptr;
  RunLoop* runLoop = nullptr;
  NotificationCenter* notifications = nullptr;
  PluginHost* host = nullptr;
  const Bundle* application = nullptr;  // may be null
  UserDefaults* defaults = nullptr;     // may be null
  Workspace* workspace = nullptr;       // may be null
  std::vector<std::string> arguments;   // the process's command line, program first
};

}  // namespace kw
