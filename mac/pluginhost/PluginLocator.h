// Finding the plug-in bundle when a movie view is made: the application's own
// "fpb.plugin" resource first, else the system-wide plug-in; without a usable
// plug-in the user is told and the application terminates.
#pragma once

#include <ctime>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "mac/platform/Bundle.h"

namespace kw {

class AlertPanels;
class Workspace;
class ApplicationLifecycle;

struct PluginLocation {
  // The application bundle whose resources may hold "fpb.plugin"; none for
  // an application without a bundle.
  const Bundle* application = nullptr;
  // Where the system-wide plug-in lives ("Flash Player.plugin" in the
  // system's internet plug-ins folder on the original platform).
  std::filesystem::path systemPlugin;
  // The page the "Download" button opens.
  std::string downloadPage = "https://plugin-download.invalid/";
};

struct LocatedPlugin {
  std::unique_ptr<LoadedCode> code;
  std::time_t modificationTime = 0;
};

// Opens and loads the plug-in. When no bundle can be opened and loaded, shows
// "Plugin Not Found"; when the bundle lacks NP_Initialize, "Plugin version too
// old" (both with "Download" and "Cancel"; "Download" opens the download page);
// then terminates the application and answers none.
std::optional<LocatedPlugin> locatePlugin(const PluginLocation& where, AlertPanels& alerts, Workspace& workspace,
                                          ApplicationLifecycle& application);

}  // namespace kw
