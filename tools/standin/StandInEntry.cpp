// The stand-in plug-in's exported entry points, its plug-in functions and its
// test hook. Compile definitions leave out an entry point for the variants
// that play an old plug-in (KW_STANDIN_NO_INITIALIZE) or one that cannot be
// bound (KW_STANDIN_NO_ENTRY_POINTS).
#include <algorithm>
#include <cstring>
#include <vector>

#include "mac/npapi/npapi.h"
#include "tools/standin/StandInInstance.h"
#include "tools/standin/StandInReport.h"

#define KW_STANDIN_EXPORT __attribute__((visibility("default")))

namespace kw::standin {
namespace {

NPNetscapeFuncs gBrowser{};
bool gHaveBrowser = false;
bool gLocalSecurityDisabled = false;
std::vector<Instance*> gInstances;  // live instances, to check every NPP handed in

constexpr NPError kNoInstance = NPERR_INVALID_INSTANCE_ERROR;

Instance* instanceOf(NPP npp) {
  if (npp == nullptr) return nullptr;
  const auto found = std::find(gInstances.begin(), gInstances.end(), npp->pdata);
  return found != gInstances.end() ? *found : nullptr;
}

NPError pluginNew(NPMIMEType type, NPP npp, uint16_t mode, int16_t argc, char* argn[], char* argv[],
                  NPSavedData*) {
  if (npp == nullptr) return NPERR_INVALID_INSTANCE_ERROR;
  auto* instance = new Instance(npp, type, mode, argc, argn, argv);
  gInstances.push_back(instance);
  npp->pdata = instance;
  return NPERR_NO_ERROR;
}

NPError pluginDestroy(NPP npp, NPSavedData** save) {
  if (save != nullptr) *save = nullptr;
  Instance* instance = instanceOf(npp);
  if (instance == nullptr) return NPERR_INVALID_INSTANCE_ERROR;
  std::erase(gInstances, instance);
  npp->pdata = nullptr;
  delete instance;
  return NPERR_NO_ERROR;
}

NPError pluginSetWindow(NPP npp, NPWindow* window) {
  Instance* instance = instanceOf(npp);
  return instance != nullptr ? instance->setWindow(window) : kNoInstance;
}

NPError pluginNewStream(NPP npp, NPMIMEType type, NPStream* stream, NPBool, uint16_t* stype) {
  Instance* instance = instanceOf(npp);
  return instance != nullptr ? instance->newStream(type, stream, stype) : kNoInstance;
}

NPError pluginDestroyStream(NPP npp, NPStream* stream, NPReason reason) {
  Instance* instance = instanceOf(npp);
  return instance != nullptr ? instance->destroyStream(stream, reason) : kNoInstance;
}

void pluginStreamAsFile(NPP, NPStream*, const char*) {}

int32_t pluginWriteReady(NPP npp, NPStream* stream) {
  Instance* instance = instanceOf(npp);
  return instance != nullptr ? instance->writeReady(stream) : 0;
}

int32_t pluginWrite(NPP npp, NPStream* stream, int32_t offset, int32_t length, void* buffer) {
  Instance* instance = instanceOf(npp);
  return instance != nullptr ? instance->write(stream, offset, length, buffer) : -1;
}

void pluginPrint(NPP npp, NPPrint* print) {
  if (Instance* instance = instanceOf(npp)) instance->print(print);
}

int16_t pluginHandleEvent(NPP npp, void* event) {
  Instance* instance = instanceOf(npp);
  return instance != nullptr ? instance->handleEvent(static_cast<const NPEvent*>(event)) : 0;
}

void pluginURLNotify(NPP npp, const char* url, NPReason reason, void* notifyData) {
  if (Instance* instance = instanceOf(npp)) instance->urlNotify(url, reason, notifyData);
}

NPError pluginGetValue(NPP npp, NPPVariable variable, void* value) {
  Instance* instance = instanceOf(npp);
  if (instance == nullptr) return NPERR_INVALID_INSTANCE_ERROR;
  if (variable == NPPVpluginScriptableNPObject) return instance->scriptableObject(value);
  return NPERR_GENERIC_ERROR;
}

NPError pluginSetValue(NPP, NPNVariable, void*) { return NPERR_GENERIC_ERROR; }

}  // namespace

// Fills the plug-in function table; kept out of the anonymous namespace so
// that a variant without NP_GetEntryPoints still builds.
NPError fillEntryPoints(NPPluginFuncs* funcs) {
  if (funcs == nullptr) return NPERR_INVALID_FUNCTABLE_ERROR;
  if (funcs->size == 0) funcs->size = sizeof(NPPluginFuncs);
  funcs->newp = pluginNew;
  funcs->destroy = pluginDestroy;
  funcs->setwindow = pluginSetWindow;
  funcs->newstream = pluginNewStream;
  funcs->destroystream = pluginDestroyStream;
  funcs->asfile = pluginStreamAsFile;
  funcs->writeready = pluginWriteReady;
  funcs->write = pluginWrite;
  funcs->print = pluginPrint;
  funcs->event = pluginHandleEvent;
  funcs->urlnotify = pluginURLNotify;
  funcs->javaClass = nullptr;
  funcs->getvalue = pluginGetValue;
  funcs->setvalue = pluginSetValue;
  return NPERR_NO_ERROR;
}

const NPNetscapeFuncs* browser() { return gHaveBrowser ? &gBrowser : nullptr; }
bool localSecurityDisabled() { return gLocalSecurityDisabled; }

}  // namespace kw::standin

extern "C" {

#ifndef KW_STANDIN_NO_INITIALIZE
KW_STANDIN_EXPORT NPError NP_Initialize(NPNetscapeFuncs* funcs) {
  using namespace kw::standin;
  if (funcs == nullptr) return NPERR_INVALID_FUNCTABLE_ERROR;
  // Entries past the size the host gives stay null.
  const size_t size = funcs->size == 0 ? sizeof(NPNetscapeFuncs) : std::min<size_t>(funcs->size, sizeof(NPNetscapeFuncs));
  gBrowser = {};
  std::memcpy(&gBrowser, funcs, size);
  gHaveBrowser = true;
  return NPERR_NO_ERROR;
}
#endif

#ifndef KW_STANDIN_NO_ENTRY_POINTS
KW_STANDIN_EXPORT NPError NP_GetEntryPoints(NPPluginFuncs* funcs) { return kw::standin::fillEntryPoints(funcs); }
#endif

KW_STANDIN_EXPORT NPError NP_Shutdown(void) {
  kw::standin::gHaveBrowser = false;
  return NPERR_NO_ERROR;
}

KW_STANDIN_EXPORT void Flash_DisableLocalSecurity(void) { kw::standin::gLocalSecurityDisabled = true; }

KW_STANDIN_EXPORT const kw::standin::StandInReport* StandIn_Report(NPP instance) {
  const kw::standin::Instance* found = kw::standin::instanceOf(instance);
  return found != nullptr ? &found->report() : nullptr;
}

}  // extern "C"
