// The plug-in host's process object: the current-host chain, binding a plug-in
// (its entry points and both function tables) and the identifier dictionaries.
#include "mac/pluginhost/PluginHost.h"

#include <cstdlib>
#include <cstring>

#include "mac/platform/Bundle.h"
#include "mac/platform/SystemLog.h"
#include "mac/pluginhost/BrowserEntries.h"

namespace kw {

// The record behind an NPIdentifier; the browser functions read it through
// its base.
struct PluginHost::Identifier : IdentifierRecord {};

namespace {

// The most recently made host that is still alive; each host remembers the
// one it replaced.
PluginHost* g_current = nullptr;

// A function pointer from a symbol address (a plain cast between object and
// function pointers is not standard C++; copying the bits is).
template <typename FunctionPointer>
FunctionPointer functionAt(void* address) {
  static_assert(sizeof(FunctionPointer) == sizeof(void*));
  FunctionPointer function = nullptr;
  std::memcpy(&function, &address, sizeof function);
  return function;
}

}  // namespace

PluginHost::PluginHost(const HostServices& services) : services_(services), previous_(g_current) {
  g_current = this;
}

PluginHost::~PluginHost() {
  // The remembered window script object was never freed by its releases.
  if (windowScriptObject != nullptr) destroyObject(windowScriptObject);
  windowScriptObject = nullptr;

  if (g_current == this) {
    g_current = previous_;
    return;
  }
  // Hosts destroyed out of order: unlink this one from the chain.
  for (PluginHost* host = g_current; host != nullptr; host = host->previous_) {
    if (host->previous_ == this) {
      host->previous_ = previous_;
      break;
    }
  }
}

PluginHost& PluginHost::current() {
  if (g_current == nullptr) {
    systemLog("PluginHost::current() called with no host alive");
    std::abort();
  }
  return *g_current;
}

bool PluginHost::exists() { return g_current != nullptr; }

Status PluginHost::bind(const PluginEntryPoints& entryPoints) {
  if (entryPoints.disableLocalSecurity != nullptr) entryPoints.disableLocalSecurity();
  if (entryPoints.initialize == nullptr || entryPoints.getEntryPoints == nullptr) {
    return kStatusEntryPointsMissing;
  }

  pluginFuncs_ = NPPluginFuncs{};
  pluginFuncs_.size = static_cast<uint16_t>(sizeof(NPPluginFuncs));
  pluginFuncs_.version = NP_VERSION_MINOR_HOST;
  fillBrowserFunctions(browserFuncs_);
  startupEvent = EventRecord{};
  nullEvent = EventRecord{};

  // Their answers are not examined: a plug-in that fails here shows it by
  // leaving its table empty, which every caller checks entry by entry.
  entryPoints.initialize(&browserFuncs_);
  entryPoints.getEntryPoints(&pluginFuncs_);
  return kStatusOK;
}

PluginEntryPoints PluginHost::entryPointsOf(const LoadedCode& code) {
  PluginEntryPoints entryPoints;
  entryPoints.initialize = functionAt<NP_InitializeFuncPtr>(code.symbol("NP_Initialize"));
  entryPoints.getEntryPoints = functionAt<NP_GetEntryPointsFuncPtr>(code.symbol("NP_GetEntryPoints"));
  entryPoints.disableLocalSecurity =
      functionAt<Flash_DisableLocalSecurityFuncPtr>(code.symbol("Flash_DisableLocalSecurity"));
  return entryPoints;
}

NPIdentifier PluginHost::stringIdentifier(const char* name) {
  if (name == nullptr) return nullptr;
  auto [slot, inserted] = stringIdentifiers_.try_emplace(name);
  if (inserted) {
    slot->second = std::make_unique<Identifier>();
    slot->second->isString = true;
    slot->second->text = name;
  }
  return static_cast<IdentifierRecord*>(slot->second.get());
}

NPIdentifier PluginHost::intIdentifier(int32_t value) {
  auto [slot, inserted] = intIdentifiers_.try_emplace(value);
  if (inserted) {
    slot->second = std::make_unique<Identifier>();
    slot->second->isString = false;
    slot->second->number = value;
  }
  return static_cast<IdentifierRecord*>(slot->second.get());
}

}  // namespace kw
