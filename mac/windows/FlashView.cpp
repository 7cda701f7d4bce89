// The movie view's set-up and life: finding the plug-in bundle, loading the
// movie into a new instance, the frame timer that hands the instance one event
// per tick, command records, and the window and application events with the
// messages they send to the movie.
#include "mac/windows/FlashView.h"

#include <algorithm>
#include <any>
#include <array>
#include <system_error>
#include <utility>

#include "mac/commands/EventEncoding.h"
#include "mac/commands/FunctionIds.h"
#include "mac/commands/KW_Commands.h"
#include "mac/platform/Desktop.h"
#include "mac/platform/NotificationCenter.h"
#include "mac/platform/SystemLog.h"
#include "mac/platform/Window.h"
#include "mac/pluginhost/EventConverter.h"
#include "mac/pluginhost/FlashPlugin.h"
#include "mac/pluginhost/PluginHost.h"
#include "mac/pluginhost/PluginLocator.h"
#include "mac/platform/DesktopServices.h"
#include "mac/windows/MovieHeaderProbe.h"
#include "mac/windows/WindowKinds.h"
#include "mac/windows/windowLessFlashView.h"

namespace kw {
namespace {

constexpr Status kFileNotFound = -43;
constexpr double kIdleInterval = 0.005;          // until the movie reports a frame rate
constexpr double kMiniaturizedInterval = 0.06;
constexpr uint32_t kAlphaCopyTicks = 4;          // at most one alpha copy per 4 ticks
constexpr int32_t kAlphaWindowOffset = 1000;     // the real window stands this far right of the alpha window
constexpr const char* kSyncMethod = "zApplication.onEventSync";
constexpr const char* kAS3Log = "Zivra thinks this is an ActionScript 3 SWF";

// The commands that show modal panels; a windowless movie gets a click after them.
constexpr std::array<int32_t, 4> kModalPanelCommands = {fid::kMessageDialog, fid::kChooseFile, fid::kChooseFolder,
                                                          fid::kChooseFiles};

// A file URL for a path: characters outside the URL's plain set are escaped.
std::string fileURL(const std::filesystem::path& path) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string url = "file://";
  for (const char c : path.string()) {
    const auto byte = static_cast<unsigned char>(c);
    const bool plain = (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') || (byte >= '0' && byte <= '9') ||
                       std::string_view("-._~/!$&'()*+,;=:@").find(c) != std::string_view::npos;
    if (plain) {
      url += c;
    } else {
      url += '%';
      url += kHex[byte >> 4];
      url += kHex[byte & 0xF];
    }
  }
  return url;
}

int16_t clampedCoordinate(int32_t value) {
  return static_cast<int16_t>(std::clamp(value, -32768, 32767));
}

// Counts a plug-in call while it runs, so that an instance released from
// inside it is kept until the call has returned.
class DeliveryScope {
 public:
  DeliveryScope(int& depth, std::vector<std::unique_ptr<FlashPlugin>>& retired) : depth_(depth), retired_(retired) {
    ++depth_;
  }
  ~DeliveryScope() {
    if (--depth_ == 0) retired_.clear();
  }
  DeliveryScope(const DeliveryScope&) = delete;
  DeliveryScope& operator=(const DeliveryScope&) = delete;

 private:
  int& depth_;
  std::vector<std::unique_ptr<FlashPlugin>>& retired_;
};

}  // namespace

FlashViewFlags& flashViewFlags() {
  static FlashViewFlags flags;
  return flags;
}

FlashView::FlashView(WindowServices services, const DesktopRect& frame, MaskView* mask)
    : View(frame), services_(std::move(services)) {
  maskView = mask;
  current_time = last_time = services_.runLoop != nullptr ? services_.runLoop->tickCount() : 0;
  currentSize = frame.size;
  setFrame(frame);  // sizes the port

  if (services_.host != nullptr) {
    HostServices& host = services_.host->services();
    if (host.alerts != nullptr && host.workspace != nullptr && host.application != nullptr) {
      PluginLocation where;
      where.application = services_.application;
      where.systemPlugin = services_.systemPlugin;
      if (auto located = locatePlugin(where, *host.alerts, *host.workspace, *host.application)) {
        pluginCode_ = std::move(located->code);
        lastModifiedDate = located->modificationTime;
        path = pluginCode_->bundle().bundlePath();
      }
    }
  }
  registerForDraggedFileNames();
}

FlashView::~FlashView() {
  cancelTimer();
  releasePlugin(false);  // the instance leaves the registry as it goes
  retired_.clear();
}

void FlashView::setTargetWindow(Window* target, windowLessFlashView* imageView) {
  targetWindow_ = target;
  alphaImageView = imageView;
  imageViewRef_ = imageView != nullptr ? imageView->weak_from_this() : std::weak_ptr<View>();
  imageViewShared_ = !imageViewRef_.expired();
}

windowLessFlashView* FlashView::imageView() const {
  // An image view owned by shared pointers is reached only while it lives.
  if (imageViewShared_) return static_cast<windowLessFlashView*>(imageViewRef_.lock().get());
  return alphaImageView;
}

void FlashView::setParent(FlashPlugin* parent) {
  if (kwCommandHandler) kwCommandHandler->setParent(parent);
}

void FlashView::showPluginMissing(WindowServices& services) {
  if (services.host == nullptr) return;
  HostServices& host = services.host->services();
  if (host.alerts != nullptr) {
    host.alerts->runAlert({"Plugin Not Found", "The Flash plugin is required and could not be found", {"OK"}});
  }
  if (host.application != nullptr) host.application->terminate();
}

void FlashView::getFlashBackgroundColor(const std::filesystem::path& movie) {
  const MovieHeaderInfo info = probeMovieHeader(movie);
  if (info.status != kStatusOK || !info.backgroundColor) return;
  fBackgroundColor = *info.backgroundColor & 0xFFFFFF;
  redByte = static_cast<uint8_t>(fBackgroundColor >> 16);
  greenByte = static_cast<uint8_t>(fBackgroundColor >> 8);
  blueByte = static_cast<uint8_t>(fBackgroundColor);
}

Status FlashView::loadMovie(const std::optional<std::filesystem::path>& moviePath, FlashPlugin* parent,
                            PluginWindow* flashWindow, int32_t windowType,
                            const std::optional<std::string>& parameter) {
  if (services_.host == nullptr) return kStatusOutOfMemory;
  if (!kwCommandHandler) {
    kwCommandHandler = std::make_unique<KW_Commands>(
        KW_Commands::Environment{services_.host, services_.caching, services_.arguments}, parent);
    if (services_.equipCommandHandler) services_.equipCommandHandler(*kwCommandHandler);
  }
  kwCommandHandler->setParameter(parameter ? parameter->c_str() : nullptr);

  // The plug-in: the one found at creation, else the bundle opened again.
  if (!pluginCode_) {
    std::optional<Bundle> bundle;
    if (services_.application != nullptr) {
      if (const auto resource = services_.application->pathForResource("fpb", "plugin")) bundle = Bundle::open(*resource);
    }
    if (!bundle) bundle = Bundle::open(services_.systemPlugin);
    if (bundle) pluginCode_ = LoadedCode::load(*bundle);
    if (!pluginCode_) {
      showPluginMissing(services_);
      return kFileNotFound;
    }
    path = pluginCode_->bundle().bundlePath();
  }

  const std::optional<std::filesystem::path> wrapper =
      services_.application != nullptr ? services_.application->pathForResource("RidavOdarez", "zve") : std::nullopt;
  if (!wrapper) return kFileNotFound;

  std::filesystem::path movie;
  std::error_code error;
  if (moviePath && !moviePath->empty() && std::filesystem::is_regular_file(*moviePath, error)) {
    movie = std::filesystem::absolute(*moviePath, error);
    getFlashBackgroundColor(movie);
  } else if (const auto own = services_.application->pathForResource("zvdata", "zve")) {
    movie = *own;
  } else {
    return kFileNotFound;
  }

  releasePlugin(false);
  myEventQueue.reset();
  bool actionScript3 = false;
  probeIsActionScript3(movie, actionScript3);
  if (actionScript3) systemLog(kAS3Log);

  myPlugin = std::make_unique<FlashPlugin>(*services_.host, !actionScript3);
  if (services_.notifications != nullptr) {
    services_.notifications->post(notification::kAddNsPluginToList, std::any(myPlugin.get()));
  }
  flashWindow_ = flashWindow;
  FlashPlugin::InitializeArgs args;
  args.port = &port_;
  args.movieURL = fileURL(movie);
  args.movieFile = movie;
  args.plugin = pluginCode_.get();
  args.wrapperFile = *wrapper;
  args.portRect = QDRect{0, 0, static_cast<int16_t>(port_.height), static_cast<int16_t>(port_.width)};
  args.window = flashWindow;
  args.windowType = windowType;
  started_ = true;  // commands the movie makes while it starts are taken
  Status status = kStatusOK;
  {
    FlashPlugin* plugin = myPlugin.get();
    DeliveryScope scope(delivering_, retired_);
    status = plugin->initialize(args);
  }
  started_ = status == kStatusOK && myPlugin != nullptr;
  changeTimer();
  if (myPlugin) myPlugin->fType = kPluginTypeFlash;
  if (started_) {
    myEventQueue = std::make_unique<Queue>();
    globalEvent = EventRecord{};
  }
  return status;
}

// ---- Timer and delivery ----

void FlashView::cancelTimer() {
  if (myTimer != 0 && services_.runLoop != nullptr) services_.runLoop->cancel(myTimer);
  myTimer = 0;
  timerInterval_ = 0;
}

void FlashView::changeTimer() {
  cancelTimer();
  if (services_.runLoop == nullptr) return;
  double interval = fFrameRate > 0 ? 1.0 / fFrameRate : kIdleInterval;
  if (fIsMiniaturized) interval = kMiniaturizedInterval;
  timerInterval_ = interval;
  myTimer = services_.runLoop->scheduleTimer(interval, true, [this] { processEvent(); });
}

double FlashView::timerInterval() const {
  if (myTimer == 0 || services_.runLoop == nullptr || !services_.runLoop->isScheduled(myTimer)) return 0;
  return timerInterval_;
}

void FlashView::releasePlugin(bool unregister) {
  if (!myPlugin) return;
  std::unique_ptr<FlashPlugin> plugin = std::move(myPlugin);
  started_ = false;
  // The alpha window's image view must not keep an instance that is going.
  if (windowLessFlashView* image = imageView(); image != nullptr && image->myPlugin == plugin.get()) {
    image->setPlugin(nullptr);
  }
  if (unregister && services_.notifications != nullptr) {
    services_.notifications->post(notification::kRemoveNsPluginFromList, std::any(plugin.get()));
  }
  // Inside a plug-in call the instance is destroyed (tagged 'Nuts', then
  // NPP_Destroy) once that call has returned, not under the plug-in's feet.
  if (delivering_ > 0) {
    retired_.push_back(std::move(plugin));
  } else {
    plugin->destroy();
  }
}

void FlashView::stopTimer() {
  cancelTimer();
  releasePlugin(true);
  myEventQueue.reset();
}

bool FlashView::pluginIsLive() const { return started_ && myPlugin && myPlugin->isSane(); }

void FlashView::deliver(EventRecord& event) {
  FlashPlugin* plugin = myPlugin.get();
  DeliveryScope scope(delivering_, retired_);
  plugin->handlePluginEvent(&event);
}

void FlashView::queueEvent(const EventRecord& event) {
  if (!myEventQueue) return;
  myEventQueue->add(event);
  processEvent();
}

void FlashView::processEvent() {
  current_time = services_.runLoop != nullptr ? services_.runLoop->tickCount() : 0;
  FlashViewFlags& flags = flashViewFlags();
  flags.frameObserverPending = false;

  // The copy to the alpha window, at most once every 4 ticks.
  if (fWindowless && !fIsMiniaturized && pluginIsLive() && current_time - last_time >= kAlphaCopyTicks) {
    last_time = current_time;
    if (blitFlash()) {
      if (flags.skipNextAlphaImage) {
        flags.skipNextAlphaImage = false;
      } else if (windowLessFlashView* image = imageView()) {
        image->setViewImage(flashImageWasSet ? flashImage : flashImage1);
        image->setNeedsDisplay();
      }
    }
  }

  // One event: the oldest queued one, else a null event at the mouse. While
  // the movie drags the window no null events go.
  bool haveEvent = false;
  const auto alphaShifted = [this](int16_t h) {
    return fWindowless ? clampedCoordinate(int32_t{h} + kAlphaWindowOffset) : h;
  };
  if (myEventQueue) {
    if (!myEventQueue->empty()) {
      globalEvent = myEventQueue->take();
      if (fWindowless) globalEvent.where.h = alphaShifted(lastMouse_.h);
      haveEvent = true;
    } else if (!fStopSendingNullEvents) {
      lastMouse_ = globalMouse();
      if (globalEvent.what == kNullEventKind) {
        globalEvent.where.v = lastMouse_.v;
        globalEvent.where.h = alphaShifted(lastMouse_.h);
        globalEvent.when = current_time;
      }
      haveEvent = true;
    }
  }
  if (haveEvent && pluginIsLive()) {
    eventToSend = globalEvent;
    globalEvent.what = kNullEventKind;
    deliver(eventToSend);
    // The plug-in may have drawn into the port: the window's picture of it
    // is redrawn at the next display.
    setNeedsDisplay();
  }
  if (fgQuitting) cancelTimer();
}

void FlashView::runCommand(CocoaInterfaceData& record, Window* target) {
  if (!kwCommandHandler) return;
  uint8_t dragging = gDragging ? 1 : 0;
  Window* previous = commandWindow_;
  commandWindow_ = target;
  {
    DeliveryScope scope(delivering_, retired_);
    kwCommandHandler->doZFunction(flashWindow_, services_.application, menu(), &dragging, &quitByte_, myPlugin.get(),
                                  &record);
  }
  commandWindow_ = previous;
  gDragging = dragging != 0;
}

void FlashView::processOneEvent(CocoaInterfaceData& record) {
  if (!pluginIsLive() || record.sanityCheck != kCocoaInterfaceMarker) return;
  const int32_t id = record.functionNumber;

  if (id == fid::kSetFrameRate) {
    fFrameRate = record.intParam1;
    changeTimer();
    // Handled here, not by the dispatcher: mark it done so the movie gets its reply.
    record.dispatched = 1;
    record.completed = 1;
    record.status = kStatusOK;
    return;
  }

  if (id == fid::kSetSize && fWindowless) {
    // Both windows take the size: the alpha window, then the real one.
    fChangeFrame = true;
    runCommand(record, targetWindow_);
    record.completed = 0;
    record.dispatched = 0;
    runCommand(record, window());
    dropAlphaBuffers();
    // The second run's flags stay: clearing them would leave the request unanswered.
    return;
  }

  runCommand(record, targetWindow_);
  if (fWindowless && std::find(kModalPanelCommands.begin(), kModalPanelCommands.end(), id) != kModalPanelCommands.end()) {
    // After a modal panel the movie gets a click, so it does not wait for a mouse-up.
    const QDPoint where = localToGlobal(QDPoint{1, 1});
    for (const uint16_t what : {kMouseDownEventKind, kMouseUpEventKind}) {
      getCarbonEvent(globalEvent);
      globalEvent.what = what;
      globalEvent.where.v = where.v;
      globalEvent.where.h = where.h;
      if (what == kMouseDownEventKind) globalEvent.modifiers = static_cast<uint16_t>(globalEvent.modifiers & ~kEventButtonState);
      queueEvent(globalEvent);
    }
  }
}

// ---- Events built from the current state ----

uint16_t FlashView::currentModifiers() const { return DesktopInput::current().keyModifiers(); }

QDPoint FlashView::globalMouse() const { return EventConverter::convertToPoint(DesktopInput::current().mouseLocation()); }

QDPoint FlashView::localToGlobal(QDPoint local) const {
  // Port coordinates run down from the view's top-left corner.
  const DesktopPoint inView{static_cast<double>(local.h), bounds().size.height - local.v};
  const DesktopPoint inWindow = convertToWindow(inView);
  const Window* owner = window();
  return EventConverter::convertToPoint(owner != nullptr ? owner->convertBaseToScreen(inWindow) : inWindow);
}

QDPoint FlashView::localMouse() const {
  const DesktopPoint screen = DesktopInput::current().mouseLocation();
  const Window* owner = window();
  const DesktopPoint inView = convertFromWindow(owner != nullptr ? owner->convertScreenToBase(screen) : screen);
  const auto truncated = [](double value) {
    return clampedCoordinate(static_cast<int32_t>(std::clamp(value, -32768.0, 32767.0)));
  };
  return QDPoint{truncated(bounds().size.height - inView.y), truncated(inView.x)};
}

void FlashView::getCarbonEvent(EventRecord& event) const {
  event.what = kNullEventKind;
  event.message = 0;
  event.when = services_.runLoop != nullptr ? services_.runLoop->tickCount() : 0;
  const QDPoint mouse = globalMouse();
  event.where.v = mouse.v;
  event.where.h = mouse.h;
  const bool buttonDown = services_.desktop != nullptr && services_.desktop->mouseButtonDown();
  event.modifiers = static_cast<uint16_t>(currentModifiers() | (buttonDown ? 0 : kEventButtonState));
}

void FlashView::sendUpdateEvent() {
  if (!pluginIsLive()) return;
  EventRecord update;
  getCarbonEvent(update);
  update.what = kUpdateEventKind;
  update.message = window() != nullptr ? window()->windowNumber() : 0;
  deliver(update);
}

void FlashView::sendActivateEvent(bool activate) {
  if (!pluginIsLive()) return;
  getCarbonEvent(globalEvent);
  globalEvent.what = kActivateEventKind;
  globalEvent.message = window() != nullptr ? window()->windowNumber() : 0;
  if (activate) globalEvent.modifiers = static_cast<uint16_t>(globalEvent.modifiers | 0x0001);
  queueEvent(globalEvent);
  // A fresh current-state event follows, delivered by the next tick.
  getCarbonEvent(globalEvent);
  if (myEventQueue) myEventQueue->add(globalEvent);
}

void FlashView::setHasFocus(bool focus) {
  if (focus == hasFocus) return;
  hasFocus = focus;
  if (!pluginIsLive()) return;
  getCarbonEvent(globalEvent);
  globalEvent.what = focus ? kGetFocusEventKind : uint16_t{32};  // 32: lose focus
  queueEvent(globalEvent);
}

// ---- Messages to the movie ----

void FlashView::sendEventToFlash(const std::string& message) {
  if (!pluginIsLive()) return;
  FlashPlugin* plugin = myPlugin.get();
  DeliveryScope scope(delivering_, retired_);
  plugin->sendMessageToSWF(message);
}

void FlashView::sendBoth(const std::optional<std::string>& list, const std::optional<std::string>& xml,
                         bool listFirst) {
  const auto sendList = [&] {
    if (list) sendEventToFlash(*list);
  };
  const auto sendSync = [&] {
    if (!xml || !pluginIsLive()) return;
    FlashPlugin* plugin = myPlugin.get();
    DeliveryScope scope(delivering_, retired_);
    plugin->sendSyncMessageWrap(kSyncMethod, *xml);
  };
  if (listFirst) {
    sendList();
    sendSync();
  } else {
    sendSync();
    sendList();
  }
}

void FlashView::doWindowBecameMain() {
  const EventMessage message = events::windowActivation(true);
  sendBoth(message.text, message.xml, true);
}

void FlashView::doWindowResignedMain() {
  const EventMessage message = events::windowActivation(false);
  sendBoth(message.text, message.xml, true);
}

void FlashView::doWindowBecameKey() { sendActivateEvent(true); }

void FlashView::doWindowResignedKey() { sendActivateEvent(false); }

void FlashView::doApplicationIsActivating() {
  changeTimer();
  const EventMessage message = events::applicationActivation(true);
  sendBoth(message.text, message.xml, true);
}

void FlashView::doApplicationIsDeactivating() {
  changeTimer();
  const EventMessage message = events::applicationActivation(false);
  sendBoth(message.text, message.xml, false);
}

void FlashView::doWindowisMiniaturizing() {
  fIsMiniaturized = true;
  changeTimer();
  const EventMessage message = events::windowMinimized();
  sendBoth(message.text, message.xml, true);
}

void FlashView::doWindowisDeminiaturizing() {
  fIsMiniaturized = false;
  changeTimer();
  if (fWindowless && window() != nullptr) window()->setAlphaValue(0);
  const EventMessage message = events::windowRestored();
  sendBoth(message.text, message.xml, true);
  if (window() != nullptr) window()->makeKeyWindow();
}

void FlashView::doWindowisClosing() {
  fgQuitting = true;
  cancelTimer();
  if (myPlugin) sendCloseMessageToFlash();
}

void FlashView::sendCloseMessageToFlash() {
  const EventMessage message = events::windowClose();
  sendBoth(message.text, message.xml, true);
}

void FlashView::sendQuitEventToFlash() {
  if (!myPlugin || fSentQuitEvent) return;
  const EventMessage message = events::applicationQuit();
  sendBoth(message.text, message.xml, true);
  fSentQuitEvent = true;
}

void FlashView::doApplicationIsTerminating() {
  sendQuitEventToFlash();
  releasePlugin(false);
  myEventQueue.reset();
}

// ---- Window actions ----

void FlashView::zMinimize() {
  if (targetWindow_ != nullptr) targetWindow_->miniaturize();
}

void FlashView::zOrderDesktop() { setWindowZOrderByCommand(targetWindow_, "BOTTOM"); }
void FlashView::zOrderNormal() { setWindowZOrderByCommand(targetWindow_, "STANDARD"); }
void FlashView::zOrderOnTop() { setWindowZOrderByCommand(targetWindow_, "TOP"); }

void FlashView::chooseAFile() {
  if (services_.desktop == nullptr) return;
  const auto chosen = services_.desktop->runOpenPanel({"swf"}, false);
  if (chosen && !chosen->empty()) fgFilePath = chosen->front();
}

}  // namespace kw
