// Finding and loading the plug-in bundle: see PluginLocator.h.
#include "mac/pluginhost/PluginLocator.h"

#include "mac/platform/DesktopServices.h"
#include "mac/platform/SystemLog.h"

namespace kw {
namespace {

constexpr size_t kDownloadButton = 0;

void refuse(const char* title, const char* text, const PluginLocation& where, AlertPanels& alerts,
            Workspace& workspace, ApplicationLifecycle& application) {
  if (alerts.runAlert({title, text, {"Download", "Cancel"}}) == kDownloadButton) {
    workspace.openURL(where.downloadPage);
  }
  application.terminate();
}

std::optional<Bundle> openPluginBundle(const PluginLocation& where) {
  if (where.application != nullptr) {
    if (const auto resource = where.application->pathForResource("fpb", "plugin")) {
      if (auto bundle = Bundle::open(*resource)) return bundle;
    }
  }
  return Bundle::open(where.systemPlugin);
}

}  // namespace

std::optional<LocatedPlugin> locatePlugin(const PluginLocation& where, AlertPanels& alerts, Workspace& workspace,
                                          ApplicationLifecycle& application) {
  std::optional<Bundle> bundle = openPluginBundle(where);
  std::unique_ptr<LoadedCode> code;
  if (bundle) {
    std::string error;
    code = LoadedCode::load(*bundle, &error);
    if (!code) systemLog("cannot load the plug-in: " + error);
  }
  if (!code) {
    refuse("Plugin Not Found", "The Flash plugin is required and could not be found", where, alerts, workspace,
           application);
    return std::nullopt;
  }
  if (code->symbol("NP_Initialize") == nullptr) {
    refuse("Plugin version too old", "A minimum of Flash 8r27 is required", where, alerts, workspace, application);
    return std::nullopt;
  }
  const std::time_t modified = bundle->modificationTime().value_or(0);
  return LocatedPlugin{std::move(code), modified};
}

}  // namespace kw
