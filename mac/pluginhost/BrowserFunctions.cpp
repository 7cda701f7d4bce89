// The browser function table handed to the plug-in: every NPN_* entry that is
// not URL routing or scripting, and fillBrowserFunctions that puts them in place.
#include <cstdlib>
#include <cstring>

#include "mac/pluginhost/BrowserEntries.h"
#include "mac/pluginhost/FlashPlugin.h"
#include "mac/pluginhost/PluginHost.h"
#include "mac/pluginhost/Variants.h"

namespace kw {

FlashPlugin* saneHostObject(NPP instance) {
  if (instance == nullptr || instance->ndata == nullptr) return nullptr;
  if (reinterpret_cast<uintptr_t>(instance->ndata) == kNotAPluginMarker) return nullptr;
  auto* plugin = static_cast<FlashPlugin*>(instance->ndata);
  return plugin->isSane() ? plugin : nullptr;
}

namespace {

constexpr const char* kUserAgent =
    "Mozilla/5.0 (Macintosh; U; PPC Mac OS X; en) AppleWebKit/420+ (KHTML, like Gecko) Safari/419.3";

// --- Unsupported streams and requests -------------------------------------

// Nothing is posted, with or without a buffer: the plug-in hears the same
// "not supported" answer in both cases.
NPError NPN_PostURL(NPP, const char*, const char*, uint32_t, const char*, NPBool) { return kStatusUnsupported; }

NPError NPN_RequestRead(NPStream*, NPByteRange*) { return kStatusUnsupported; }

NPError NPN_NewStream(NPP, NPMIMEType, const char*, NPStream**) { return kStatusUnsupported; }

int32_t NPN_Write(NPP, NPStream*, int32_t, void*) { return kStatusUnsupported; }

NPError NPN_DestroyStream(NPP, NPStream*, NPReason) { return kStatusUnsupported; }

void NPN_Status(NPP, const char*) {}

const char* NPN_UserAgent(NPP) { return kUserAgent; }

// --- Memory ---------------------------------------------------------------

void* NPN_MemAlloc(uint32_t size) { return hostMemAlloc(size); }

void NPN_MemFree(void* block) { hostMemFree(block); }

uint32_t NPN_MemFlush(uint32_t) { return 0; }

NPError NPN_ReloadPlugins(NPBool) { return kStatusUnsupported; }

void* NPN_GetJavaEnv() { return nullptr; }

void* NPN_GetJavaPeer(NPP) { return nullptr; }

// --- Values and drawing ---------------------------------------------------

NPError NPN_GetValue(NPP instance, NPNVariable variable, void* value) {
  if (variable != NPNVWindowNPObject) return NPERR_GENERIC_ERROR;
  // Without a place to put it, no object is made (it could never be released).
  if (value == nullptr || !PluginHost::exists()) return NPERR_GENERIC_ERROR;
  NPObject* object = newWindowScriptObject(instance);
  if (object == nullptr) return NPERR_OUT_OF_MEMORY_ERROR;
  *static_cast<NPObject**>(value) = object;
  return NPERR_NO_ERROR;
}

NPError NPN_SetValue(NPP, NPPVariable variable, void*) {
  // The windowed and transparent flags are accepted; the host decides both itself.
  if (variable == NPPVpluginWindowBool || variable == NPPVpluginTransparentBool) return NPERR_NO_ERROR;
  return NPERR_GENERIC_ERROR;
}

void NPN_InvalidateRect(NPP instance, NPRect* rect) {
  FlashPlugin* plugin = saneHostObject(instance);
  if (plugin == nullptr || rect == nullptr || plugin->m_flashWindow == nullptr) return;
  plugin->m_flashWindow->invalidateRect(*rect);
}

void NPN_InvalidateRegion(NPP, NPRegion) {}

void NPN_ForceRedraw(NPP) {}

// --- Identifiers ----------------------------------------------------------

const IdentifierRecord* identifierRecord(NPIdentifier identifier) {
  return static_cast<const IdentifierRecord*>(identifier);
}

NPIdentifier NPN_GetStringIdentifier(const NPUTF8* name) {
  if (name == nullptr || !PluginHost::exists()) return nullptr;
  return PluginHost::current().stringIdentifier(name);
}

void NPN_GetStringIdentifiers(const NPUTF8** names, int32_t nameCount, NPIdentifier* identifiers) {
  if (names == nullptr || identifiers == nullptr) return;
  for (int32_t i = 0; i < nameCount; ++i) {
    const auto index = static_cast<size_t>(i);
    identifiers[index] = NPN_GetStringIdentifier(names[index]);
  }
}

NPIdentifier NPN_GetIntIdentifier(int32_t value) {
  if (!PluginHost::exists()) return nullptr;
  return PluginHost::current().intIdentifier(value);
}

bool NPN_IdentifierIsString(NPIdentifier identifier) {
  return identifier != nullptr && identifierRecord(identifier)->isString;
}

NPUTF8* NPN_UTF8FromIdentifier(NPIdentifier identifier) {
  if (identifier == nullptr || !identifierRecord(identifier)->isString) return nullptr;
  const std::string& text = identifierRecord(identifier)->text;
  // A fresh copy the caller frees with NPN_MemFree.
  auto* copy = static_cast<NPUTF8*>(hostMemAlloc(static_cast<uint32_t>(text.size() + 1)));
  if (copy != nullptr) std::memcpy(copy, text.c_str(), text.size() + 1);
  return copy;
}

int32_t NPN_IntFromIdentifier(NPIdentifier identifier) {
  if (identifier == nullptr || identifierRecord(identifier)->isString) return 0;
  return identifierRecord(identifier)->number;
}

// --- Scriptable objects ---------------------------------------------------

NPObject* NPN_CreateObject(NPP npp, NPClass* aClass) { return createObject(npp, aClass); }

NPObject* NPN_RetainObject(NPObject* object) { return retainObject(object); }

void NPN_ReleaseObject(NPObject* object) { releaseObject(object); }

bool NPN_InvokeDefault(NPP, NPObject*, const NPVariant*, uint32_t, NPVariant*) { return false; }

bool NPN_GetProperty(NPP, NPObject*, NPIdentifier, NPVariant*) { return false; }

bool NPN_SetProperty(NPP, NPObject*, NPIdentifier, const NPVariant*) { return false; }

bool NPN_RemoveProperty(NPP, NPObject*, NPIdentifier) { return false; }

bool NPN_HasProperty(NPP, NPObject*, NPIdentifier) { return false; }

bool NPN_HasMethod(NPP, NPObject*, NPIdentifier) { return false; }

void NPN_ReleaseVariantValue(NPVariant* variant) { releaseVariantValue(variant); }

void NPN_SetException(NPObject*, const NPUTF8*) {}

}  // namespace

void fillBrowserFunctions(NPNetscapeFuncs& funcs) {
  funcs = NPNetscapeFuncs{};
  funcs.size = static_cast<uint16_t>(sizeof(NPNetscapeFuncs));
  funcs.version = NP_VERSION_MINOR_HOST;
  funcs.geturl = NPN_GetURL;
  funcs.posturl = NPN_PostURL;
  funcs.requestread = NPN_RequestRead;
  funcs.newstream = NPN_NewStream;
  funcs.write = NPN_Write;
  funcs.destroystream = NPN_DestroyStream;
  funcs.status = NPN_Status;
  funcs.uagent = NPN_UserAgent;
  funcs.memalloc = NPN_MemAlloc;
  funcs.memfree = NPN_MemFree;
  funcs.memflush = NPN_MemFlush;
  funcs.reloadplugins = NPN_ReloadPlugins;
  funcs.getJavaEnv = NPN_GetJavaEnv;
  funcs.getJavaPeer = NPN_GetJavaPeer;
  funcs.geturlnotify = NPN_GetURLNotify;
  funcs.posturlnotify = NPN_PostURLNotify;
  funcs.getvalue = NPN_GetValue;
  funcs.setvalue = NPN_SetValue;
  funcs.invalidaterect = NPN_InvalidateRect;
  funcs.invalidateregion = NPN_InvalidateRegion;
  funcs.forceredraw = NPN_ForceRedraw;
  funcs.getstringidentifier = NPN_GetStringIdentifier;
  funcs.getstringidentifiers = NPN_GetStringIdentifiers;
  funcs.getintidentifier = NPN_GetIntIdentifier;
  funcs.identifierisstring = NPN_IdentifierIsString;
  funcs.utf8fromidentifier = NPN_UTF8FromIdentifier;
  funcs.intfromidentifier = NPN_IntFromIdentifier;
  funcs.createobject = NPN_CreateObject;
  funcs.retainobject = NPN_RetainObject;
  funcs.releaseobject = NPN_ReleaseObject;
  funcs.invoke = NPN_Invoke;
  funcs.invokeDefault = NPN_InvokeDefault;
  funcs.evaluate = NPN_Evaluate;
  funcs.getproperty = NPN_GetProperty;
  funcs.setproperty = NPN_SetProperty;
  funcs.removeproperty = NPN_RemoveProperty;
  funcs.hasproperty = NPN_HasProperty;
  funcs.hasmethod = NPN_HasMethod;
  funcs.releasevariantvalue = NPN_ReleaseVariantValue;
  funcs.setexception = NPN_SetException;
  funcs.pushpopupsenabledstate = nullptr;
  funcs.poppopupsenabledstate = nullptr;
}

}  // namespace kw
