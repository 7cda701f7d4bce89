// The application controller: registries of projector and web page windows,
// run-time window creation and delayed release, broadcasts to every movie,
// the Trash, the application menu's commands and the application delegate.
#include "mac/app/Controller.h"


#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <system_error>

#include "mac/app/PluginRegistry.h"
#include "mac/commands/EventEncoding.h"
#include "mac/platform/Bundle.h"
#include "mac/platform/Menu.h"
#include "mac/platform/UserDefaults.h"
#include "mac/platform/Trash.h"
#include "mac/platform/View.h"
#include "mac/platform/Window.h"
#include "mac/pluginhost/FlashPlugin.h"
#include "mac/pluginhost/PluginHost.h"
#include "mac/windows/CustomWindow.h"
#include "mac/windows/TextEntryWindow.h"

namespace kw {

namespace fs = std::filesystem;

namespace {

Controller* gMainController = nullptr;

constexpr const char* kEventSyncMethod = "zApplication.onEventSync";
constexpr uint16_t kOptionKeyBit = 0x0800;   // bit 11
constexpr uint16_t kControlKeyBit = 0x1000;  // bit 12

template <typename T>
bool contains(const std::vector<T>& list, const T& item) {
  return std::find(list.begin(), list.end(), item) != list.end();
}

template <typename T>
bool erase(std::vector<T>& list, const T& item) {
  const auto it = std::find(list.begin(), list.end(), item);
  if (it == list.end()) return false;
  list.erase(it);
  return true;
}

PluginWindow* pluginWindowOf(const std::any& object) {
  const auto* window = std::any_cast<PluginWindow*>(&object);
  return window != nullptr ? *window : nullptr;
}

// Sends an event to one movie in the encodings it has.
void sendEvent(FlashPlugin& plugin, const EventMessage& message) {
  if (message.text) plugin.sendMessageToSWF(*message.text);
  if (message.xml) plugin.sendSyncMessageWrap(kEventSyncMethod, *message.xml);
}

}  // namespace

// --- Life ----------------------------------------------------------------------

Controller::Controller(WindowServices services, PluginRegistry& registry)
    : services_(std::move(services)), registry_(registry) {
  services_.closer = this;
  // The close-window command reaches the controller through the host.
  if (services_.host != nullptr) services_.host->services().closer = this;
  if (services_.notifications != nullptr) {
    NotificationCenter& center = *services_.notifications;
    observers_.push_back(center.addObserver(notification::kAddWindowToList, [this](const std::any& object) {
      if (FlashWindow* window = ownedWindow(pluginWindowOf(object))) addWindowToList(window);
    }));
    observers_.push_back(center.addObserver(notification::kRemoveWindowFromList, [this](const std::any& object) {
      if (FlashWindow* window = registeredWindow(pluginWindowOf(object))) removeWindowFromList(window);
    }));
    observers_.push_back(center.addObserver(notification::kAddWebWindowToList, [this](const std::any& object) {
      void* window = pluginWindowOf(object);
      if (window != nullptr && !contains(webWindowList_, window)) webWindowList_.push_back(window);
    }));
    observers_.push_back(center.addObserver(notification::kRemoveWebWindowFromList, [this](const std::any& object) {
      erase(webWindowList_, static_cast<void*>(pluginWindowOf(object)));
    }));
  }
  // The text entry window is made at its first entry, so that it takes no
  // window number and stays out of the window lists until it is needed.
  enteringText = [this](const std::any& event) {
    if (!textWindow_ && services_.desktop != nullptr) textWindow_ = std::make_unique<TextEntryWindow>(*services_.desktop);
    if (textWindow_) textWindow_->enteringText(event);
  };
  gMainController = this;
}

Controller::~Controller() {
  if (services_.notifications != nullptr) {
    for (const NotificationCenter::ObserverId id : observers_) services_.notifications->removeObserver(id);
  }
  observers_.clear();
  if (services_.desktop != nullptr && services_.desktop->delegate() == this) services_.desktop->setDelegate(nullptr);
  if (services_.host != nullptr && services_.host->services().closer == this) services_.host->services().closer = nullptr;
  if (gMainController == this) gMainController = nullptr;
  // The windows go last-made first, so children go before their parents.
  flashWindowList_.clear();
  while (!ownedWindows_.empty()) ownedWindows_.pop_back();
  flashWindow_.reset();
}

Controller* Controller::mainController() { return gMainController; }

bool Controller::isAValidNsPlugin(const FlashPlugin* plugin) {
  return gMainController != nullptr && plugin != nullptr && gMainController->registry_.isAValidNsPlugin(plugin);
}

void Controller::start() {
  flashWindow_ = FlashWindow::firstWindow(services_);
  awakeFromNib();
}

void Controller::awakeFromNib() {
  const Bundle* application = services_.application;
  if (application == nullptr || !application->pathForResource("zvdata", "zve")) return;
  if (services_.desktop != nullptr) {
    services_.desktop->setDelegate(this);
    isDelegate_ = true;
  }
  if (services_.notifications != nullptr) {
    observers_.push_back(services_.notifications->addObserver(notification::kEnteringText, [this](const std::any& o) {
      if (enteringText) enteringText(o);
    }));
    if (flashWindow_) {
      services_.notifications->post(notification::kAddWindowToList, static_cast<PluginWindow*>(flashWindow_.get()));
    }
  }
  // Relative paths resolve against the folder that holds the application.
  std::error_code ec;
  fs::current_path(application->bundlePath().parent_path(), ec);
}

// --- Registries ----------------------------------------------------------------

FlashWindow* Controller::ownedWindow(const PluginWindow* window) const {
  if (window == nullptr) return nullptr;
  if (flashWindow_ && static_cast<const PluginWindow*>(flashWindow_.get()) == window) return flashWindow_.get();
  for (const auto& owned : ownedWindows_) {
    if (static_cast<const PluginWindow*>(owned.get()) == window) return owned.get();
  }
  return nullptr;
}

FlashWindow* Controller::registeredWindow(const PluginWindow* window) const {
  if (window == nullptr) return nullptr;
  for (FlashWindow* registered : flashWindowList_) {
    if (static_cast<const PluginWindow*>(registered) == window) return registered;
  }
  return nullptr;
}

void Controller::addWindowToList(FlashWindow* window) {
  if (!contains(flashWindowList_, window)) flashWindowList_.push_back(window);
}

void Controller::removeWindowFromList(FlashWindow* window) {
  if (!contains(flashWindowList_, window)) return;
  // The last window's movie hears that the application quits before it goes.
  if (flashWindowList_.size() == 1) window->sendFlashQuitEvent();
  erase(flashWindowList_, window);
}

uint32_t Controller::createWindow(const FlashWindowArgs& args) {
  std::unique_ptr<FlashWindow> made = FlashWindow::withMovie(services_, args);
  if (!made) return 0;
  FlashWindow* window = made.get();
  ownedWindows_.push_back(std::move(made));
  if (args.ownedByParent && args.parent != nullptr) args.parent->addChildToList(window);
  if (services_.notifications != nullptr) {
    services_.notifications->post(notification::kAddWindowToList, static_cast<PluginWindow*>(window));
  }
  return registry_.identityOf(window->plugin());
}

void Controller::closeThisWindow(PluginWindow* pluginWindow) {
  // The pointer may have been held across a delay: only a window the
  // controller still owns is touched.
  FlashWindow* window = ownedWindow(pluginWindow);
  if (window == nullptr) return;
  window->cleanUpParentAndChildren();
  // A released window never stays in the registry.
  erase(flashWindowList_, window);
  if (flashWindow_.get() == window) {
    flashWindow_.reset();
    return;
  }
  const auto it = std::find_if(ownedWindows_.begin(), ownedWindows_.end(),
                               [window](const auto& owned) { return owned.get() == window; });
  // Taken out of the list before it is destroyed: its disposal posts
  // notifications that look the list up.
  std::unique_ptr<FlashWindow> released = std::move(*it);
  ownedWindows_.erase(it);
  released.reset();
}

void Controller::enableCaching(bool enable) {
  for (FlashWindow* window : flashWindowList_) {
    FlashPlugin* plugin = window->plugin();
    if (plugin != nullptr && plugin->isSane()) plugin->fOkToCache = enable;
  }
}

// --- Broadcasts ----------------------------------------------------------------

std::vector<FlashPlugin*> Controller::livePlugins() const {
  std::vector<FlashPlugin*> live;
  for (FlashPlugin* plugin : registry_.plugins()) {
    if (plugin != nullptr && plugin->isSane()) live.push_back(plugin);
  }
  return live;
}

void Controller::broadcastOnScreenChange() {
  const EventMessage message = events::screenChange();
  for (FlashPlugin* plugin : livePlugins()) {
    // A movie may close windows while it is told; each is checked again.
    if (!registry_.isAValidNsPlugin(plugin) || !plugin->isSane()) continue;
    sendEvent(*plugin, message);
    if (plugin->fType != kPluginTypeFlash) continue;
    if (FlashWindow* window = registeredWindow(plugin->m_flashWindow)) window->resyncWindow();
  }
}

void Controller::broadcastOpenFileToAllSwfs(const std::string& path) {
  fs::path bundle;
  if (services_.application != nullptr) {
    bundle = services_.application->bundlePath();
  } else if (services_.desktop != nullptr) {
    bundle = services_.desktop->bundlePath();
  }
  const EventMessage message = events::restart(bundle.string(), path);
  for (FlashPlugin* plugin : livePlugins()) {
    if (registry_.isAValidNsPlugin(plugin) && plugin->isSane() && message.text) plugin->sendMessageToSWF(*message.text);
  }
}

void Controller::broadcastQuitEventToAllSwfs() {
  const std::vector<FlashWindow*> windows = flashWindowList_;
  for (FlashWindow* window : windows) {
    if (contains(flashWindowList_, window)) window->sendFlashQuitEvent();
  }
}

// --- The Trash ------------------------------------------------------------------

bool Controller::moveFileToUserTrash(const fs::path& path) { return moveToUserTrash(path); }

// --- Input, menu commands --------------------------------------------------------

bool Controller::isControlKeyDown() const { return (DesktopInput::current().keyModifiers() & kControlKeyBit) != 0; }

bool Controller::isOptionKeyDown() const { return (DesktopInput::current().keyModifiers() & kOptionKeyBit) != 0; }

void Controller::print() {
  if (services_.desktop == nullptr) return;
  Window* key = services_.desktop->keyWindow();
  if (key == nullptr || key->contentView() == nullptr) return;
  services_.desktop->runPrintOperation(*key->contentView());
}

void Controller::onPlayerAbout() {
  if (services_.application == nullptr) return;
  const std::optional<fs::path> about = services_.application->pathForResource("about", "swf");
  if (!about) return;
  FlashWindowArgs args;
  args.swf = about->string();
  args.x = 100;
  args.y = 100;
  args.title = "About This Application";
  args.type = "ABOUT";
  args.ownedByParent = false;
  args.resizeable = false;
  args.hasShadow = true;
  args.alpha = 100;
  createWindow(args);
}

void Controller::onAbout(const MenuItem& item) {
  const EventMessage message = events::applicationMenuCommand(item.title);
  for (FlashPlugin* plugin : livePlugins()) {
    if (registry_.isAValidNsPlugin(plugin) && plugin->isSane()) sendEvent(*plugin, message);
  }
}

// --- The application delegate -----------------------------------------------------

void Controller::applicationDidBecomeActive() {
  const std::vector<FlashWindow*> windows = flashWindowList_;
  for (FlashWindow* window : windows) {
    if (contains(flashWindowList_, window)) window->doApplicationIsActivating();
  }
}

void Controller::applicationDidResignActive() {
  const std::vector<FlashWindow*> windows = flashWindowList_;
  for (FlashWindow* window : windows) {
    if (contains(flashWindowList_, window)) window->doApplicationIsDeactivating();
  }
}

void Controller::applicationWillTerminate() {
  if (services_.defaults != nullptr) services_.defaults->synchronize();
  broadcastQuitEventToAllSwfs();
}

bool Controller::openFile(const std::string& path) {
  broadcastOpenFileToAllSwfs(path);
  return true;
}

}  // namespace kw
