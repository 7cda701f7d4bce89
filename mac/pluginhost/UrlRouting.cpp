// Routes the plug-in's URL requests (commands, back channel, built-in answers, loading, the
// user's browser) and answers its scripting entries NPN_Evaluate and NPN_Invoke.
#include <climits>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "mac/commands/PercentEscaping.h"
#include "mac/commands/ScriptRecogniser.h"
#include "mac/commands/TextBytes.h"
#include "mac/net/URLExtras.h"
#include "mac/platform/DesktopServices.h"
#include "mac/platform/RunLoop.h"
#include "mac/pluginhost/BrowserEntries.h"
#include "mac/pluginhost/FlashPlugin.h"
#include "mac/pluginhost/PluginHost.h"
#include "mac/pluginhost/PreferenceFile.h"
#include "mac/pluginhost/StreamData.h"
#include "mac/pluginhost/Variants.h"

namespace kw {
namespace {

constexpr std::string_view kJavaScriptPrefix = "javascript";
constexpr std::string_view kBackChannelURL = "KW://KW_Zivra.initSocket";
constexpr std::string_view kCommandPrefix = "KW:/";
constexpr std::string_view kWindowLocationQuery = "javascript:window.location+\"";
constexpr std::string_view kTopLocationQuery = "javascript:top.location+\"";
constexpr std::string_view kSavePrefix = "save";
constexpr std::string_view kCachingOff = "TurnCachingOff";
constexpr std::string_view kCachingOn = "TurnCachingOn";
constexpr std::string_view kScreenSaverBundle = "ScreenSaver.framework";
constexpr const char* kPlainTextType = "text/plain";
constexpr double kOutsideLinkDelay = 0.1;


// Opens the record's stream with the request text as the MIME type argument.
NPError openStream(FlashPlugin& plugin, StreamData& record, std::string_view request) {
  const NPPluginFuncs& funcs = plugin.host().pluginFuncs();
  if (funcs.newstream == nullptr) return NPERR_INVALID_FUNCTABLE_ERROR;
  std::string mimeType(request);  // the plug-in takes a writable text
  return funcs.newstream(plugin.instance(), mimeType.data(), &record.theStream, false, &record.streamType);
}

// Answers a location query: the movie URL followed by what the movie put
// behind the query, in a "text/plain" stream.
void answerLocationQuery(FlashPlugin& plugin, std::string_view url, std::string_view tail) {
  if (!tail.empty()) tail.remove_suffix(1);  // the closing quote
  std::string answer = plugin.getURLPtr();
  answer.append(tail);
  // Stream lengths are 32-bit and writes take a signed length.
  if (answer.size() > static_cast<size_t>(INT32_MAX)) return;

  const NPPluginFuncs& funcs = plugin.host().pluginFuncs();
  if (funcs.newstream == nullptr) return;
  const std::string streamURL(url);
  NPStream stream{};
  stream.url = streamURL.c_str();
  stream.end = static_cast<uint32_t>(answer.size());
  uint16_t streamType = NP_NORMAL;
  std::string mimeType = kPlainTextType;
  NPP instance = plugin.instance();
  if (funcs.newstream(instance, mimeType.data(), &stream, false, &streamType) != NPERR_NO_ERROR) return;
  if (funcs.writeready != nullptr && funcs.write != nullptr && funcs.writeready(instance, &stream) != 0) {
    funcs.write(instance, &stream, 0, static_cast<int32_t>(answer.size()), answer.data());
  }
  if (funcs.destroystream != nullptr) funcs.destroystream(instance, &stream, NPRES_DONE);
}

// "save<name> <value>": one pair into the preference file beside the movie.
void savePreferenceRequest(FlashPlugin& plugin, std::string_view assignment) {
  const size_t blank = assignment.find(' ');
  if (blank == std::string_view::npos) return;
  // Without a movie file there is no folder to keep preferences in.
  if (plugin.fMovieSpec.empty()) return;
  savePreference(plugin.fMovieSpec.parent_path(), assignment.substr(0, blank), assignment.substr(blank + 1));
}

// Shows the menu bar and hands the link, escaped afresh, to the user's browser.
void openOutsideLink(PluginHost& host, std::string_view url) {
  HostServices& services = host.services();
  if (services.application != nullptr) services.application->showMenuBar();
  if (services.workspace == nullptr) return;
  std::string link = stringByAddingPercentEscapes(stringByReplacingValidPercentEscapes(url));
  Workspace* workspace = services.workspace;
  const bool inScreenSaver = services.application != nullptr &&
                             containsString(services.application->bundlePath().string(), kScreenSaverBundle, true);
  if (inScreenSaver || services.runLoop == nullptr) {
    workspace->openURL(link);
  } else {
    services.runLoop->performAfterDelay(kOutsideLinkDelay,
                                        [workspace, link = std::move(link)] { workspace->openURL(link); });
  }
}

// NPN_GetURL's tests, in order, for an instance that passed the object check.
NPError routeGetURL(FlashPlugin& plugin, std::string_view url) {
  if (startsWithIgnoringASCIICase(url, kJavaScriptPrefix) && plugin.fType == kPluginTypeWeb) {
    if (plugin.m_flashWindow != nullptr) plugin.m_flashWindow->executeJavaScript(url);
    return kStatusUnsupported;
  }
  for (std::string_view query : {kWindowLocationQuery, kTopLocationQuery}) {
    if (url.starts_with(query)) {
      answerLocationQuery(plugin, url, url.substr(query.size()));
      return NPERR_NO_ERROR;
    }
  }
  if (url.starts_with(kSavePrefix)) {
    savePreferenceRequest(plugin, url.substr(kSavePrefix.size()));
    return kStatusUnsupported;
  }
  if (equalsIgnoringASCIICase(url, kCachingOff)) {
    plugin.fOkToCache = false;
    return kStatusUnsupported;
  }
  if (equalsIgnoringASCIICase(url, kCachingOn)) {
    plugin.fOkToCache = true;
    return kStatusUnsupported;
  }
  openOutsideLink(plugin.host(), url);
  return kStatusUnsupported;
}

// The wrapper movie's back channel request: waits for the next event message.
NPError openBackChannel(FlashPlugin& plugin, void* notifyData) {
  if (plugin.m_backChannelStreamReady) return NPERR_GENERIC_ERROR;
  plugin.m_backChannelStreamNotifyData = notifyData;
  plugin.m_backChannelStreamReady = true;
  if (std::optional<std::string> message = plugin.m_commandQueue.takeOldest()) {
    plugin.deliverMessage(*message);
  }
  return NPERR_NO_ERROR;
}

std::string_view stringOf(const NPVariant& variant) {
  const NPString& text = variant.value.stringValue;
  if (text.UTF8Characters == nullptr) return {};
  return {text.UTF8Characters, text.UTF8Length};
}

// A synchronous ExternalInterface call: a "Sync" request run at once, its
// reply left in `result`.
void runSynchronousCall(FlashPlugin& plugin, const std::string& request, NPVariant* result) {
  std::shared_ptr<StreamData> record = StreamData::create(plugin, request, plugin.fOkToCache, syncNotifyData());
  if (record == nullptr) return;
  if (openStream(plugin, *record, request) != NPERR_NO_ERROR) return;
  record->started = true;
  record->syncResult = result;
  if (record->cocoaInterfaceData != nullptr) record->cocoaInterfaceData->synchronous = 1;
  if (CommandSink* commands = plugin.host().services().commands) commands->runCommand(record);
}

}  // namespace

NPError NPN_GetURL(NPP instance, const char* url, const char* /*target*/) {
  if (url == nullptr) return kStatusUnsupported;
  FlashPlugin* plugin = saneHostObject(instance);
  if (plugin == nullptr) return kStatusUnsupported;
  return routeGetURL(*plugin, url);
}

NPError NPN_GetURLNotify(NPP instance, const char* url, const char* /*target*/, void* notifyData) {
  FlashPlugin* plugin = saneHostObject(instance);
  if (plugin == nullptr) return NPERR_NO_ERROR;
  if (url == nullptr) return NPERR_INVALID_URL;
  const std::string_view request(url);

  if (request.starts_with(kJavaScriptPrefix)) {
    routeGetURL(*plugin, request);
    const NPPluginFuncs& funcs = plugin->host().pluginFuncs();
    if (funcs.urlnotify != nullptr) funcs.urlnotify(instance, url, NPRES_DONE, notifyData);
    return NPERR_NO_ERROR;
  }
  if (request.starts_with(kBackChannelURL)) return openBackChannel(*plugin, notifyData);

  std::shared_ptr<StreamData> record = StreamData::create(*plugin, request, plugin->fOkToCache, notifyData);
  if (record == nullptr) return NPERR_INVALID_FUNCTABLE_ERROR;  // the plug-in cannot take streams
  HostServices& services = plugin->host().services();
  if (request.starts_with(kCommandPrefix)) {
    const NPError error = openStream(*plugin, *record, request);
    // A command runs only in a stream the plug-in accepted: its reply is
    // written into that stream.
    if (error == NPERR_NO_ERROR && services.commands != nullptr) services.commands->runCommand(record);
    return error;
  }
  if (services.urlLoader == nullptr) return NPERR_GENERIC_ERROR;
  return services.urlLoader->getURL(record);
}

NPError NPN_PostURLNotify(NPP instance, const char* url, const char* /*target*/, uint32_t len, const char* buf,
                          NPBool file, void* notifyData) {
  FlashPlugin* plugin = saneHostObject(instance);
  if (plugin == nullptr) return NPERR_INVALID_INSTANCE_ERROR;
  if (url == nullptr) return NPERR_INVALID_URL;
  if (buf == nullptr && len != 0) return NPERR_INVALID_PARAM;
  const std::string_view request(url);

  std::shared_ptr<StreamData> record = StreamData::create(*plugin, request, false, notifyData);
  if (record == nullptr) return NPERR_INVALID_FUNCTABLE_ERROR;
  record->method = kMethodPost;
  const NPError error = openStream(*plugin, *record, request);
  if (error != NPERR_NO_ERROR) return error;

  // The record keeps its own copy of the body and a terminating zero.
  try {
    record->postData.assign(buf, buf + len);
    record->postData.push_back(0);
  } catch (const std::bad_alloc&) {
    return kStatusOutOfMemory;
  } catch (const std::length_error&) {
    return kStatusOutOfMemory;
  }
  UrlLoader* loader = plugin->host().services().urlLoader;
  if (loader == nullptr) return NPERR_GENERIC_ERROR;
  return loader->postURL(record, buf, len, file != 0, true);
}

bool NPN_Evaluate(NPP npp, NPObject* /*object*/, NPString* script, NPVariant* result) {
  if (script == nullptr || result == nullptr || script->UTF8Characters == nullptr || script->UTF8Length == 0) {
    if (result != nullptr) {
      result->type = NPVariantType_Void;
      result->value.objectValue = nullptr;
    }
    return true;
  }
  FlashPlugin* plugin = saneHostObject(npp);
  if (plugin == nullptr) return true;

  const std::string text(script->UTF8Characters, script->UTF8Length);
  const ScriptRecognition recognition = recogniseScript(text.c_str());
  switch (recognition.kind) {
    case ScriptKind::Void:
      result->type = NPVariantType_Void;
      result->value.objectValue = nullptr;
      break;
    case ScriptKind::Relay:
      if (recognition.request) plugin->SendCommmand(*recognition.request, result);
      break;
    case ScriptKind::FlashTemp:
      if (recognition.result) setStringVariant(result, *recognition.result);
      break;
    case ScriptKind::ListCall:
    case ScriptKind::UrlCall:
      if (recognition.request) runSynchronousCall(*plugin, *recognition.request, result);
      break;
    case ScriptKind::Other:
      break;
  }
  return true;
}

bool NPN_Invoke(NPP /*npp*/, NPObject* /*object*/, NPIdentifier /*methodName*/, const NPVariant* args,
                uint32_t argCount, NPVariant* result) {
  std::vector<std::optional<std::string_view>> arguments;
  if (args != nullptr) {
    arguments.reserve(argCount);
    for (uint32_t i = 0; i < argCount; ++i) {
      if (args[i].type == NPVariantType_String) {
        arguments.emplace_back(stringOf(args[i]));
      } else {
        arguments.emplace_back(std::nullopt);
      }
    }
  }
  setStringVariant(result, invokeDocument(arguments));
  return true;
}

}  // namespace kw
