// Scriptable objects the plug-in creates through the host (reference counted)
// and the host's window script object, handed out by NPN_GetValue(15).
#include <cstdlib>

#include "mac/pluginhost/BrowserEntries.h"
#include "mac/pluginhost/PluginHost.h"
#include "mac/pluginhost/Variants.h"

namespace kw {
namespace {

// The window script object is a bare 20-byte record: an object header and
// room the plug-in never looks at.
constexpr size_t kWindowObjectSize = 20;
static_assert(sizeof(NPObject) <= kWindowObjectSize);

NPObject* allocateWindowObject(NPP, NPClass*) { return static_cast<NPObject*>(std::calloc(1, kWindowObjectSize)); }

void deallocateWindowObject(NPObject* object) { std::free(object); }

NPClass g_windowObjectClass = {
    1,                       // structVersion
    allocateWindowObject,    // allocate
    deallocateWindowObject,  // deallocate
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
};

}  // namespace

NPObject* createObject(NPP npp, NPClass* aClass) {
  NPObject* object = nullptr;
  if (aClass != nullptr && aClass->allocate != nullptr) {
    object = aClass->allocate(npp, aClass);
  } else {
    object = static_cast<NPObject*>(std::calloc(1, sizeof(NPObject)));
  }
  if (object == nullptr) return nullptr;
  object->_class = aClass;
  object->referenceCount = 1;
  return object;
}

NPObject* retainObject(NPObject* object) {
  if (object != nullptr) ++object->referenceCount;
  return object;
}

void destroyObject(NPObject* object) {
  if (object == nullptr) return;
  if (object->_class != nullptr && object->_class->deallocate != nullptr) {
    object->_class->deallocate(object);
  } else {
    std::free(object);
  }
}

void releaseObject(NPObject* object) {
  if (object == nullptr) return;
  // The remembered window object outlives every release.
  if (PluginHost::exists() && object == PluginHost::current().windowScriptObject) return;
  // Only the release that takes the count from one to zero frees the record:
  // a further release of a count already at zero would free it twice.
  if (object->referenceCount == 0) return;
  if (--object->referenceCount == 0) destroyObject(object);
}

NPObject* newWindowScriptObject(NPP npp) {
  NPObject* object = createObject(npp, &g_windowObjectClass);
  if (object != nullptr && PluginHost::exists()) PluginHost::current().windowScriptObject = object;
  return object;
}

}  // namespace kw
