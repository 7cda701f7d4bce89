// One plug-in instance: start-up and movie delivery, window records, events,
// printing, the back channel, synchronous calls, the command relay, tear-down.
#include "mac/pluginhost/FlashPlugin.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <limits>
#include <optional>
#include <span>
#include <system_error>

#include "mac/commands/ScriptRecogniser.h"
#include "mac/platform/Events.h"
#include "mac/platform/RunLoop.h"
#include "mac/platform/SystemLog.h"
#include "mac/platform/Trace.h"
#include "mac/pluginhost/EventConverter.h"
#include "mac/pluginhost/MovieMerger.h"
#include "mac/pluginhost/PluginHost.h"
#include "mac/pluginhost/StreamData.h"
#include "mac/pluginhost/Variants.h"

namespace kw {

namespace {

// File Manager codes for a movie or wrapper file that cannot be read.
constexpr Status kFileNotFound = -43;
constexpr Status kFileIOError = -36;

constexpr size_t kLargestWrite = static_cast<size_t>(std::numeric_limits<int32_t>::max());
constexpr int32_t kLargestPortSide = std::numeric_limits<int16_t>::max();
constexpr const char* kBackChannelURL = "KW://KW_initSocket";

// The whole file, or the File Manager code of the failure.
Status readWholeFile(const std::filesystem::path& path, std::vector<uint8_t>& bytes) {
  std::error_code error;
  if (path.empty() || !std::filesystem::is_regular_file(path, error)) return kFileNotFound;
  std::ifstream in(path, std::ios::binary);
  if (!in) return kFileIOError;
  // Read in blocks: GCC's optimiser reports a false null dereference inside
  // istreambuf_iterator, which breaks the release build.
  bytes.clear();
  std::array<char, 65536> block;
  while (in.read(block.data(), block.size()) || in.gcount() > 0) {
    const auto* first = reinterpret_cast<const uint8_t*>(block.data());
    bytes.insert(bytes.end(), first, first + in.gcount());
  }
  return in.bad() ? kFileIOError : kStatusOK;
}

int16_t clampToInt16(int32_t value) {
  return static_cast<int16_t>(std::clamp<int32_t>(value, std::numeric_limits<int16_t>::min(),
                                                  std::numeric_limits<int16_t>::max()));
}

// Writes the bytes at offset 0, in pieces only if they exceed a 32-bit length.
void writeWhole(const NPPluginFuncs& funcs, NPP instance, NPStream* stream, std::vector<uint8_t>& bytes) {
  size_t done = 0;
  do {
    const size_t piece = std::min(bytes.size() - done, kLargestWrite);
    if (funcs.write(instance, stream, 0, static_cast<int32_t>(piece), bytes.data() + done) < 0) return;
    done += piece;
  } while (done < bytes.size());
}

}  // namespace

FlashPlugin::FlashPlugin(PluginHost& host, bool pushWrapper) : m_pushWrapper(pushWrapper), host_(host) {
  fOkToCache = host.cachingDefault;
}

FlashPlugin::~FlashPlugin() {
  destroy();
  if (InstanceRegistry* registry = host_.services().registry) registry->forget(this);
}

Status FlashPlugin::initialize(const InitializeArgs& args) {
  // The movie URL, cut to the storage's 2047 characters.
  m_urlData.assign(args.movieURL, 0, std::min(args.movieURL.size(), kMovieURLCapacity));

  // The embed arguments.
  std::array<std::string, 10> names = {"src",     "wmode",  "quality",           "loop",     "WIDTH",
                                       "HEIGHT",  "SCROLL", "allowScriptAccess", "FULLPAGE", "allowNetworking"};
  std::array<std::string, 10> values = {"URLcString", args.windowType == 3 ? "transparent" : "normal",
                                        "best",       "true",
                                        "100%",       "100%",
                                        "NO",         "always",
                                        "",           "all"};
  std::array<char*, 10> argn{};
  std::array<char*, 10> argv{};
  for (size_t i = 0; i < names.size(); ++i) {
    argn[i] = names[i].data();
    argv[i] = values[i].data();
  }

  // The object's state.
  sanityCheck = kPluginSane;
  fOkToCache = host_.cachingDefault;
  fMovieSpec = args.movieFile;
  m_flashWindow = args.window;
  m_shutdownCurrentPlugin = false;
  m_backChannelStreamReady = false;
  m_backChannelStreamNotifyData = nullptr;
  m_windowPort = args.port;
  m_windowPortRect = args.portRect;
  m_plugInInstance = NPP_t{};

  PluginEntryPoints entryPoints;
  if (args.entryPoints != nullptr) {
    entryPoints = *args.entryPoints;
  } else if (args.plugin != nullptr) {
    entryPoints = PluginHost::entryPointsOf(*args.plugin);
  }
  Status status = host_.bind(entryPoints);
  if (status != kStatusOK) return status;

  if (m_windowPort == nullptr || (args.movieFile.empty() && args.movieHandle == nullptr)) return kStatusOK;

  setupWindowInfo(args.portRect);
  m_windowPort->setOrigin(static_cast<int16_t>(m_NPPort.portx), static_cast<int16_t>(m_NPPort.porty));

  std::vector<uint8_t> movieFileBytes;
  std::span<const uint8_t> movie;
  if (args.movieHandle != nullptr) {
    movie = *args.movieHandle;
  } else {
    status = readWholeFile(args.movieFile, movieFileBytes);
    movie = movieFileBytes;
  }

  const NPPluginFuncs& funcs = host_.pluginFuncs();
  NPStream stream{};
  bool streamOpen = false;
  bool delivered = false;
  if (status == kStatusOK && funcs.newp != nullptr) {
    std::string mimeType = kFlashMIMEType;
    status = funcs.newp(mimeType.data(), instance(), NP_EMBED, static_cast<int16_t>(names.size()), argn.data(),
                        argv.data(), nullptr);
    if (status == kStatusOK) m_plugInInstance.ndata = this;
  }
  if (status == kStatusOK && funcs.setwindow != nullptr) status = funcs.setwindow(instance(), &m_NPWindow);
  if (status == kStatusOK && funcs.newstream != nullptr) {
    std::string mimeType = kFlashMIMEType;
    stream.pdata = m_plugInInstance.pdata;
    stream.ndata = m_plugInInstance.ndata;
    stream.url = m_urlData.c_str();
    stream.end = static_cast<uint32_t>(std::min<size_t>(movie.size(), std::numeric_limits<uint32_t>::max()));
    uint16_t streamType = NP_NORMAL;
    status = funcs.newstream(instance(), mimeType.data(), &stream, 0, &streamType);
    streamOpen = status == kStatusOK;
  }
  if (streamOpen && funcs.writeready != nullptr && funcs.writeready(instance(), &stream) != 0) {
    std::vector<uint8_t> wrapper;
    Status wrapperStatus = m_pushWrapper ? readWholeFile(args.wrapperFile, wrapper) : kStatusOK;
    if (wrapperStatus != kStatusOK) {
      status = wrapperStatus;
    } else {
      PluginWriteConditions conditions;
      conditions.hasWrite = funcs.write != nullptr;
      MergeResult merged = mergeMovie(wrapper, movie, m_pushWrapper, conditions);
      if (merged.written && funcs.write != nullptr) writeWhole(funcs, instance(), &stream, *merged.written);
      status = merged.status;
    }
    if (funcs.destroystream != nullptr) funcs.destroystream(instance(), &stream, NPRES_DONE);
    delivered = true;
    if (status == kStatusOK && funcs.event != nullptr) {
      EventRecord& event = host_.startupEvent;
      event = EventRecord{};
      event.message = kGetFocusEventKind;
      event.what = kActivateEventKind;
      funcs.event(instance(), &event);
      event.what = kGetFocusEventKind;
      funcs.event(instance(), &event);
    }
  }
  // A movie stream that got no data is still closed: the plug-in must not keep
  // a stream whose record ends here.
  if (streamOpen && !delivered && funcs.destroystream != nullptr) {
    funcs.destroystream(instance(), &stream, NPRES_USER_BREAK);
  }

  m_windowPort->setOrigin(0, 0);
  return status;
}

void FlashPlugin::setupWindowInfo(const QDRect& portRect) {
  m_NPPort.port = m_windowPort;
  m_NPPort.portx = -int32_t{portRect.left};
  m_NPPort.porty = -int32_t{portRect.top};
  m_NPWindow.window = &m_NPPort;
  m_NPWindow.x = portRect.left;
  m_NPWindow.y = portRect.top;
  m_NPWindow.width = static_cast<uint32_t>(std::max(0, int32_t{portRect.right} - int32_t{portRect.left}));
  m_NPWindow.height = static_cast<uint32_t>(std::max(0, int32_t{portRect.bottom} - int32_t{portRect.top}));
  m_NPWindow.clipRect.top = static_cast<uint16_t>(portRect.top);
  m_NPWindow.clipRect.left = static_cast<uint16_t>(portRect.left);
  m_NPWindow.clipRect.bottom = static_cast<uint16_t>(portRect.bottom);
  m_NPWindow.clipRect.right = static_cast<uint16_t>(portRect.right);
  m_NPWindow.type = NPWindowTypeWindow;
}

int16_t FlashPlugin::handlePluginEvent(EventRecord* event) {
  if (!isSane()) return NPERR_INVALID_INSTANCE_ERROR;
  const NPPluginFuncs& funcs = host_.pluginFuncs();

  // The port's bounds (local coordinates) and clip, then the origin the
  // plug-in draws with: the window record's port offsets.
  GrafPort* port = m_windowPort;
  QDRect bounds;
  QDRect savedClip;
  if (port != nullptr) {
    const int32_t width = std::clamp(port->width, 0, kLargestPortSide);
    const int32_t height = std::clamp(port->height, 0, kLargestPortSide);
    bounds = QDRect{port->origin.v, port->origin.h, clampToInt16(port->origin.v + height),
                    clampToInt16(port->origin.h + width)};
    savedClip = port->clip;
    port->setOrigin(static_cast<int16_t>(m_NPPort.portx), static_cast<int16_t>(m_NPPort.porty));
  }

  if (event == nullptr) {
    // The process-wide null event: the mouse where it is now, the tick count.
    EventRecord& nullEvent = host_.nullEvent;
    const QDPoint mouse = EventConverter::convertToPoint(DesktopInput::current().mouseLocation());
    RunLoop* runLoop = host_.services().runLoop;
    nullEvent.what = kNullEventKind;
    nullEvent.where = {mouse.v, mouse.h};
    nullEvent.when = runLoop != nullptr ? runLoop->tickCount() : 0;
    nullEvent.modifiers = 0;
    event = &nullEvent;
  }
  if (funcs.event != nullptr) funcs.event(instance(), event);

  if (port != nullptr) {
    port->setOrigin(bounds.left, bounds.top);
    port->clip = savedClip;
    // The window record follows the port's bounds, so size changes reach the plug-in.
    m_NPWindow.width = static_cast<uint32_t>(bounds.right - bounds.left);
    m_NPWindow.height = static_cast<uint32_t>(bounds.bottom - bounds.top);
    m_NPWindow.clipRect.top = static_cast<uint16_t>(bounds.top);
    m_NPWindow.clipRect.left = static_cast<uint16_t>(bounds.left);
    m_NPWindow.clipRect.bottom = static_cast<uint16_t>(bounds.bottom);
    m_NPWindow.clipRect.right = static_cast<uint16_t>(bounds.right);
  }

  // The plug-in may have destroyed the instance from inside the event.
  if (!isSane() || funcs.setwindow == nullptr) return NPERR_NO_ERROR;
  return funcs.setwindow(instance(), &m_NPWindow);
}

std::unique_ptr<GrafPort> FlashPlugin::printedPluginBitmap() {
  const NPPluginFuncs& funcs = host_.pluginFuncs();
  if (!isSane() || funcs.print == nullptr) return nullptr;
  const uint32_t width = m_NPWindow.width;
  const uint32_t height = m_NPWindow.height;
  if (width == 0 || height == 0 || width > kLargestPortSide || height > kLargestPortSide) return nullptr;

  auto bitmap = std::make_unique<GrafPort>(static_cast<int32_t>(width), static_cast<int32_t>(height));
  bitmap->clip = QDRect{0, 0, static_cast<int16_t>(height), static_cast<int16_t>(width)};

  NPPrint print{};
  print.mode = NP_EMBED;
  NPWindow& window = print.print.embedPrint.window;
  window.window = bitmap.get();
  window.x = 0;
  window.y = 0;
  window.width = width;
  window.height = height;
  window.clipRect = NPRect{0, 0, static_cast<uint16_t>(height), static_cast<uint16_t>(width)};
  window.type = NPWindowTypeDrawable;
  print.print.embedPrint.platformPrint = nullptr;
  funcs.print(instance(), &print);
  return bitmap;
}

Status FlashPlugin::sendMessageToSWF(std::string_view message) {
  if (!isSane()) return kStatusOutOfMemory;  // a destroyed instance takes no messages
  trace::line("event", message);
  return deliverMessage(message);
}

Status FlashPlugin::deliverMessage(std::string_view message) {
  if (!isSane()) return kStatusOutOfMemory;
  if (!m_backChannelStreamReady) {
    m_commandQueue.append(message);
    return kStatusBadParameter;
  }

  // The waiting request is used up here, before any plug-in call: a request
  // the plug-in makes from inside those calls is the next one.
  m_backChannelStreamReady = false;
  void* notifyData = m_backChannelStreamNotifyData;
  m_backChannelStreamNotifyData = nullptr;

  const NPPluginFuncs& funcs = host_.pluginFuncs();
  std::shared_ptr<StreamData> record = StreamData::create(*this, kBackChannelURL, false, notifyData);
  if (!record) return NPERR_INVALID_FUNCTABLE_ERROR;

  Status status = funcs.newstream(instance(), record->url.data(), &record->theStream, 0, &record->streamType);
  if (status != kStatusOK) return status;
  status = messageWrite(record.get(), message);
  if (funcs.destroystream != nullptr) funcs.destroystream(instance(), &record->theStream, NPRES_DONE);
  record->release();
  return status;
}

void FlashPlugin::sendSyncMessage(std::string_view method, std::string_view parameter, NPVariant* result) {
  const NPPluginFuncs& funcs = host_.pluginFuncs();
  if (!isSane() || funcs.getvalue == nullptr) return;
  NPObject* object = nullptr;
  if (funcs.getvalue(instance(), NPPVpluginScriptableNPObject, &object) != NPERR_NO_ERROR || object == nullptr) {
    return;
  }
  // The plug-in hands the object out retained; the caller releases it.
  const std::unique_ptr<NPObject, void (*)(NPObject*)> reference(object, &releaseObject);
  NPClass* objectClass = object->_class;
  if (objectClass == nullptr || objectClass->hasMethod == nullptr || objectClass->invoke == nullptr) return;

  const std::string name(method);
  NPIdentifier identifier = host_.stringIdentifier(name.c_str());
  if (!objectClass->hasMethod(object, identifier)) return;

  NPVariant argument{};
  argument.type = NPVariantType_String;
  argument.value.stringValue.UTF8Characters = parameter.data();
  argument.value.stringValue.UTF8Length =
      static_cast<uint32_t>(std::min<size_t>(parameter.size(), std::numeric_limits<uint32_t>::max()));
  NPVariant ignored{};
  objectClass->invoke(object, identifier, &argument, 1, result != nullptr ? result : &ignored);
  if (result == nullptr) releaseVariantValue(&ignored);
}

void FlashPlugin::sendSyncMessageWrap(std::string_view method, std::string_view parameter) {
  if (trace::enabled()) trace::line("event", std::string(method) + " " + std::string(parameter));
  NPVariant result{};
  result.type = NPVariantType_Void;
  sendSyncMessage(method, parameter, &result);
  releaseVariantValue(&result);
}

void FlashPlugin::SendCommmand(std::string_view script, NPVariant* result) {
  std::optional<RelayCall> call = parseRelay(script);
  if (!call) return;
  InstanceRegistry* registry = host_.services().registry;
  if (registry == nullptr) return;
  FlashPlugin* target = registry->pluginForIdentity(static_cast<uint32_t>(call->target));
  if (target == nullptr || !registry->isAValidNsPlugin(target) || !target->isSane()) return;

  if (target->fType == kPluginTypeFlash) {
    target->sendSyncMessage(call->method, call->argumentText, result);
  } else if (target->fType == kPluginTypeWeb) {
    std::optional<std::string_view> javaScript = relayJavaScript(call->argumentText);
    if (javaScript && target->m_flashWindow != nullptr) target->m_flashWindow->executeJavaScript(*javaScript);
  } else {
    systemLog("js sent to non js client window");
  }
}

void FlashPlugin::destroy() {
  if (sanityCheck == kPluginNuts) return;
  // Tagged first, so that whatever the plug-in does from inside NPP_Destroy
  // finds a destroyed object and cannot destroy it a second time.
  sanityCheck = kPluginNuts;
  m_shutdownCurrentPlugin = true;  // URL loading stops feeding the instance
  const NPPluginFuncs& funcs = host_.pluginFuncs();
  if ((m_plugInInstance.pdata != nullptr || m_plugInInstance.ndata != nullptr) && funcs.destroy != nullptr) {
    funcs.destroy(instance(), nullptr);
  }
}

FlashPlugin* pluginOf(NPP instance) {
  if (instance == nullptr) return nullptr;
  return static_cast<FlashPlugin*>(instance->ndata);
}

}  // namespace kw
