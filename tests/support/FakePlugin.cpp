// The fake plug-in's function table: each call is recorded into FakePlugin::current().
#include "tests/support/FakePlugin.h"

#include <cstdlib>

#include "mac/pluginhost/Variants.h"

namespace kw::test {

namespace {
FakePlugin* g_current = nullptr;
std::string textOf(const char* text) { return text ? std::string(text) : std::string(); }
}  // namespace

struct FakePluginCalls {
  static FakePlugin& fake() { return FakePlugin::current(); }
  static QDPoint originOf(const NPWindow& window) {
    if (window.type != NPWindowTypeWindow || window.window == nullptr) return {};
    const auto* port = static_cast<const NP_Port*>(window.window);
    return port->port ? port->port->origin : QDPoint{};
  }

  static NPError initialize(NPNetscapeFuncs* browser) {
    fake().browser = browser;
    return NPERR_NO_ERROR;
  }
  static NPError getEntryPoints(NPPluginFuncs* funcs) {
    if (funcs == nullptr) return NPERR_INVALID_FUNCTABLE_ERROR;
    *funcs = fake().funcs;
    return NPERR_NO_ERROR;
  }
  static NPError newp(NPMIMEType type, NPP instance, uint16_t mode, int16_t argc, char* argn[], char* argv[],
                      NPSavedData*) {
    FakePlugin::NewCall call{textOf(type), mode, {}, instance};
    for (int16_t i = 0; i < argc; ++i) call.args.emplace_back(textOf(argn[i]), textOf(argv[i]));
    fake().newCalls.push_back(std::move(call));
    return fake().newError;
  }
  static NPError destroy(NPP instance, NPSavedData** save) {
    ++fake().destroyCalls;
    if (save) *save = nullptr;
    if (fake().onDestroy) fake().onDestroy(instance);
    return NPERR_NO_ERROR;
  }
  static NPError setwindow(NPP, NPWindow* window) {
    FakePlugin::WindowCall call;
    if (window) {
      call.window = *window;
      if (window->type == NPWindowTypeWindow && window->window) call.port = *static_cast<NP_Port*>(window->window);
      call.portOrigin = originOf(*window);
      fake().lastWindow_ = *window;
    }
    fake().windowCalls.push_back(call);
    return fake().setWindowError;
  }
  static NPError newstream(NPP, NPMIMEType type, NPStream* stream, NPBool, uint16_t* stype) {
    FakePlugin::StreamCall call;
    call.type = textOf(type);
    call.stream = stream;
    if (stream) {
      call.url = textOf(stream->url);
      call.end = stream->end;
      call.notifyData = stream->notifyData;
    }
    fake().streams.push_back(std::move(call));
    if (stype) *stype = NP_NORMAL;
    return fake().newStreamError;
  }
  static NPError destroystream(NPP instance, NPStream* stream, NPReason reason) {
    if (auto* call = fake().streamFor(stream)) {
      call->destroyed = true;
      call->reason = reason;
    }
    if (fake().onDestroyStream) fake().onDestroyStream(instance, stream, reason);
    return NPERR_NO_ERROR;
  }
  static void asfile(NPP, NPStream*, const char*) {}
  static int32_t writeready(NPP, NPStream* stream) {
    if (auto* call = fake().streamFor(stream)) ++call->writeReadyCalls;
    return fake().writeReadyAnswer;
  }
  static int32_t write(NPP, NPStream* stream, int32_t offset, int32_t len, void* buffer) {
    ++fake().writeCalls;
    if (auto* call = fake().streamFor(stream)) {
      call->offsets.push_back(offset);
      const auto* bytes = static_cast<const uint8_t*>(buffer);
      if (len > 0 && bytes) call->bytes.insert(call->bytes.end(), bytes, bytes + len);
    }
    return fake().writeAnswer.value_or(len);
  }
  static void print(NPP, NPPrint* platformPrint) {
    FakePlugin::PrintCall call;
    if (platformPrint) {
      call.print = *platformPrint;
      const NPWindow& window = platformPrint->print.embedPrint.window;
      if (platformPrint->mode == NP_EMBED && window.type == NPWindowTypeDrawable && window.window) {
        call.portClip = static_cast<GrafPort*>(window.window)->clip;
      }
    }
    fake().printCalls.push_back(call);
    if (fake().onPrint) fake().onPrint(platformPrint);
  }
  static int16_t event(NPP, void* event) {
    FakePlugin::EventCall call;
    if (event) call.event = *static_cast<EventRecord*>(event);
    call.portOrigin = originOf(fake().lastWindow_);
    fake().eventCalls.push_back(call);
    return 1;
  }
  static void urlnotify(NPP, const char* url, NPReason reason, void* notifyData) {
    fake().urlNotifyCalls.push_back({textOf(url), reason, notifyData});
  }
  static NPError getvalue(NPP, NPPVariable variable, void* value) {
    fake().getValueCalls.push_back(static_cast<int>(variable));
    if (variable != NPPVpluginScriptableNPObject || value == nullptr) return NPERR_GENERIC_ERROR;
    NPObject* object = &fake().object_;
    ++object->referenceCount;  // the caller's reference
    *static_cast<NPObject**>(value) = object;
    return NPERR_NO_ERROR;
  }

  // The scriptable object's class.
  static std::string methodName(NPIdentifier name) {
    for (const auto& method : fake().methodNames) {
      if (PluginHost::current().stringIdentifier(method.c_str()) == name) return method;
    }
    return {};
  }
  static void deallocate(NPObject*) {}  // owned by the fake
  static bool hasMethod(NPObject*, NPIdentifier name) {
    return !methodName(name).empty();
  }
  static bool invoke(NPObject*, NPIdentifier name, const NPVariant* args, uint32_t argCount, NPVariant* result) {
    FakePlugin::InvokeCall call{methodName(name), {}};
    for (uint32_t i = 0; args && i < argCount; ++i) {
      const NPString& text = args[i].value.stringValue;
      call.stringArgs.emplace_back(args[i].type == NPVariantType_String && text.UTF8Characters
                                       ? std::string(text.UTF8Characters, text.UTF8Length)
                                       : std::string());
    }
    fake().invokeCalls.push_back(std::move(call));
    if (result) setStringVariant(result, "");
    return true;
  }
};

namespace {
NPClass g_objectClass = {3,       nullptr, &FakePluginCalls::deallocate, nullptr, &FakePluginCalls::hasMethod,
                         &FakePluginCalls::invoke, nullptr, nullptr, nullptr, nullptr, nullptr};
}  // namespace

FakePlugin::FakePlugin() : previous_(g_current) {
  g_current = this;
  funcs.size = sizeof(NPPluginFuncs);
  funcs.version = NP_VERSION_MINOR_HOST;
  funcs.newp = &FakePluginCalls::newp;
  funcs.destroy = &FakePluginCalls::destroy;
  funcs.setwindow = &FakePluginCalls::setwindow;
  funcs.newstream = &FakePluginCalls::newstream;
  funcs.destroystream = &FakePluginCalls::destroystream;
  funcs.asfile = &FakePluginCalls::asfile;
  funcs.writeready = &FakePluginCalls::writeready;
  funcs.write = &FakePluginCalls::write;
  funcs.print = &FakePluginCalls::print;
  funcs.event = &FakePluginCalls::event;
  funcs.urlnotify = &FakePluginCalls::urlnotify;
  funcs.getvalue = &FakePluginCalls::getvalue;
  object_._class = &g_objectClass;
  object_.referenceCount = 1;  // the fake's own reference: never deallocated by the host
}

FakePlugin::~FakePlugin() { g_current = previous_; }

FakePlugin& FakePlugin::current() {
  if (g_current == nullptr) std::abort();  // a test forgot to make its fake
  return *g_current;
}

PluginEntryPoints FakePlugin::entryPoints() const {
  PluginEntryPoints points;
  points.initialize = &FakePluginCalls::initialize;
  points.getEntryPoints = &FakePluginCalls::getEntryPoints;
  return points;
}

FakePlugin::StreamCall* FakePlugin::streamFor(const NPStream* stream) {
  for (auto it = streams.rbegin(); it != streams.rend(); ++it) {
    if (it->stream == stream && !it->destroyed) return &*it;
  }
  return nullptr;
}

}  // namespace kw::test
