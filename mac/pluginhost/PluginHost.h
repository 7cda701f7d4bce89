// The plug-in host's process object: the two function tables shared by all
// instances, the identifier dictionaries, the window script object slot, the
// event record of instance start-up, and the services the host calls. The C
// entry points of the browser function table reach it through current();
// tests make their own and drop it to start clean.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "mac/npapi/npapi.h"
#include "mac/pluginhost/HostInterfaces.h"
#include "mac/pluginhost/Status.h"

namespace kw {

class RunLoop;
class NotificationCenter;
class AlertPanels;
class Workspace;
class ApplicationLifecycle;
class LoadedCode;

// What the host calls outside itself. Every pointer must be set except
// `closer`, which only the close-window command needs.
struct HostServices {
  RunLoop* runLoop = nullptr;
  NotificationCenter* notifications = nullptr;
  AlertPanels* alerts = nullptr;
  Workspace* workspace = nullptr;
  ApplicationLifecycle* application = nullptr;
  InstanceRegistry* registry = nullptr;
  CommandSink* commands = nullptr;
  UrlLoader* urlLoader = nullptr;
  WindowCloser* closer = nullptr;
};

// The entry points of a plug-in: looked up in a loaded bundle, or given
// directly by tests.
struct PluginEntryPoints {
  NP_InitializeFuncPtr initialize = nullptr;
  NP_GetEntryPointsFuncPtr getEntryPoints = nullptr;
  Flash_DisableLocalSecurityFuncPtr disableLocalSecurity = nullptr;
};

class PluginHost {
 public:
  // Becomes the current process object (there is one at a time).
  explicit PluginHost(const HostServices& services);
  ~PluginHost();
  PluginHost(const PluginHost&) = delete;
  PluginHost& operator=(const PluginHost&) = delete;

  static PluginHost& current();
  static bool exists();

  HostServices& services() { return services_; }

  // Binds a plug-in: calls Flash_DisableLocalSecurity when present, refills
  // both tables, resets the start-up and null event records, then calls NP_Initialize
  // and NP_GetEntryPoints. kStatusEntryPointsMissing (666) when either entry
  // point is missing (then neither is called).
  Status bind(const PluginEntryPoints& entryPoints);
  // The entry points a loaded plug-in bundle exports.
  static PluginEntryPoints entryPointsOf(const LoadedCode& code);

  NPNetscapeFuncs& browserFuncs() { return browserFuncs_; }
  NPPluginFuncs& pluginFuncs() { return pluginFuncs_; }

  // The application-wide caching default new instances start from (enableCaching:).
  bool cachingDefault = true;

  // The event record instance start-up sends its activate and focus events from.
  EventRecord startupEvent{};
  // The null event record an instance gets when it is handed no event.
  EventRecord nullEvent{};

  // Identifier service: interned for the life of the host.
  NPIdentifier stringIdentifier(const char* name);
  NPIdentifier intIdentifier(int32_t value);

  // The most recent window script object handed out by NPN_GetValue(15).
  NPObject* windowScriptObject = nullptr;

 private:
  struct Identifier;
  HostServices services_;
  NPNetscapeFuncs browserFuncs_{};
  NPPluginFuncs pluginFuncs_{};
  std::map<std::string, std::unique_ptr<Identifier>> stringIdentifiers_;
  std::map<int32_t, std::unique_ptr<Identifier>> intIdentifiers_;
  PluginHost* previous_ = nullptr;
};

// Fills `funcs` with the host's browser functions (size and version set).
void fillBrowserFunctions(NPNetscapeFuncs& funcs);

}  // namespace kw
