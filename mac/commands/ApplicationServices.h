// What every part above the command bridge reaches of the running
// application: the desktop, the run loop, the notification centre, the
// plug-in host (and through its services the registry, alerts and
// workspace), the application bundle and the command line. The windows, the
// command families and the web windows each extend it with what they need.
#pragma once

#include <string>
#include <vector>

namespace kw {

class Bundle;
class Desktop;
class NotificationCenter;
class PluginHost;
class RunLoop;

struct ApplicationServices {
  Desktop* desktop = nullptr;
  RunLoop* runLoop = nullptr;
  NotificationCenter* notifications = nullptr;
  PluginHost* host = nullptr;
  const Bundle* application = nullptr;  // the application bundle (resources), may be null
  std::vector<std::string> arguments;   // the process's command line, program first
};

}  // namespace kw
