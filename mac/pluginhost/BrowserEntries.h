// The browser functions the host hands the plug-in, as C++ functions shared by
// the files that implement them (identifiers, scriptable objects, URL routing).
#pragma once

#include <cstdint>
#include <string>

#include "mac/npapi/npapi.h"

namespace kw {

class FlashPlugin;

// What a plug-in may find in an instance's host data word instead of a host
// object; it is refused like a missing object.
inline constexpr uintptr_t kNotAPluginMarker = 0xA1B1C1D3;

// The host object of `instance` when it is present and tagged 'Sane'.
FlashPlugin* saneHostObject(NPP instance);

// An identifier record: the NPIdentifier the plug-in holds points at one.
struct IdentifierRecord {
  bool isString = false;
  std::string text;    // string identifiers
  int32_t number = 0;  // integer identifiers
};

// Scriptable objects (ScriptObjects.cpp).
NPObject* createObject(NPP npp, NPClass* aClass);
NPObject* retainObject(NPObject* object);
// Frees an object record whatever its count (the class's deallocate, or free).
void destroyObject(NPObject* object);
// NPN_GetValue(15): a new window script object, remembered as the newest.
NPObject* newWindowScriptObject(NPP npp);

// URL routing and scripting (UrlRouting.cpp).
NPError NPN_GetURL(NPP instance, const char* url, const char* target);
NPError NPN_GetURLNotify(NPP instance, const char* url, const char* target, void* notifyData);
NPError NPN_PostURLNotify(NPP instance, const char* url, const char* target, uint32_t len, const char* buf,
                          NPBool file, void* notifyData);
bool NPN_Evaluate(NPP npp, NPObject* object, NPString* script, NPVariant* result);
bool NPN_Invoke(NPP npp, NPObject* object, NPIdentifier methodName, const NPVariant* args, uint32_t argCount,
                NPVariant* result);

}  // namespace kw
