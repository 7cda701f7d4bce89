// The application and system command family: paths of the application and
// the user's folders, launching, login items, screen saver and desktop
// picture, screens and windows, user, machine and network facts, mail, the
// dock icon, screen capture, the alert dialog, the pointer, screen modes and
// quitting.
#include "mac/commands/families/SystemCommands.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "mac/commands/FunctionIds.h"
#include "mac/commands/ListEncoding.h"
#include "mac/commands/PercentEscaping.h"
#include "mac/commands/RequestReaders.h"
#include "mac/commands/families/DisplayControl.h"
#include "mac/commands/families/Launching.h"
#include "mac/commands/families/LoginItems.h"
#include "mac/commands/families/ScreenCapture.h"
#include "mac/commands/families/SystemFacts.h"
#include "mac/platform/Bundle.h"
#include "mac/platform/Desktop.h"
#include "mac/platform/DesktopServices.h"
#include "mac/platform/RunLoop.h"
#include "mac/platform/Trash.h"
#include "mac/platform/Window.h"
#include "mac/pluginhost/HostInterfaces.h"
#include "mac/pluginhost/PluginHost.h"

namespace kw {
namespace {

namespace fs = std::filesystem;

// The two always-on web hosts the reachability check asks for.
constexpr const char* kReachabilityHosts[] = {"example.com", "www.iana.org"};
constexpr const char* kScreenSaverPane = "/System/Library/PreferencePanes/ScreenSaver.prefPane";
constexpr const char* kScreenSaverProcess = "ScreenSaverEngine";
constexpr double kQuitDelay = 0.1;
// Windows at or beyond this global position are parked off screen.
constexpr double kOffScreenCoordinate = 5000;

std::string stringArgument(const std::optional<std::string>& parameter) {
  return myStringWithUTF8String(parameter ? parameter->c_str() : nullptr);
}

int32_t truncated(double value) { return truncatedCoordinate(value); }

class SystemCommands final : public CommandFamily {
 public:
  explicit SystemCommands(const FamilyServices& services) : services_(services) {
    if (services_.desktop != nullptr) {
      display_.emplace(*services_.desktop);
      originalIcon_ = services_.desktop->applicationIcon;
    }
  }

  void runCommand(ZFunctionCall& call) override;

 private:
  const Bundle* bundle(const ZFunctionCall& call) const {
    return services_.application != nullptr ? services_.application : call.bundle;
  }
  Window* window(const ZFunctionCall& call) const {
    return call.window != nullptr ? call.window->nativeWindow() : nullptr;
  }
  HostServices* host() const { return services_.host != nullptr ? &services_.host->services() : nullptr; }

  bool openDocument(const std::string& document);
  std::optional<std::string> runAppleScriptFile(const std::string& path, bool synchronous) const;
  void setActiveWallpaper(const std::string& path);
  void getScreenSize(CocoaInterfaceData& record) const;
  std::string monitorList(bool synchronous) const;
  // The on-screen windows as the window server lists them, with their bounds
  // in global coordinates (top-left of the main screen, y downward).
  std::vector<std::pair<const Window*, Rect>> onScreenWindows() const;
  std::string windowList(bool synchronous) const;
  std::string windowRect(int32_t number, bool synchronous) const;
  void switchResolution(ZFunctionCall& call, int32_t width, int32_t height);
  void resetResolution(ZFunctionCall& call);
  void deleteSelf(const ZFunctionCall& call);
  void quit(ZFunctionCall& call);
  bool captureScreen(const ZFunctionCall& call, const std::string& fileName) const;
  void setDockIconBadge(const std::string& badge, const std::string& color);
  int32_t messageDialog(ZFunctionCall& call);
  static bool internetOnline();

  FamilyServices services_;
  std::optional<DisplayControl> display_;  // one main display, one switcher for all windows
  std::shared_ptr<const Image> originalIcon_;
  ChildProcesses children_;
};

void SystemCommands::runCommand(ZFunctionCall& call) {
  CocoaInterfaceData& r = call.record;
  const std::string s1 = stringArgument(r.stringParam1);
  const bool sync = r.synchronous != 0;
  const Bundle* app = bundle(call);
  Desktop* desktop = services_.desktop;
  switch (r.functionNumber) {
    case fid::kExecuteApplication: {
      const std::string parameters = stringArgument(r.stringParam2);
      r.booleanResult = parameters.empty() ? launchAnApplication(s1, services_.workspace, children_)
                                           : launchTask(s1, parameters, children_);
      break;
    }
    case fid::kOpenDocument:
      r.booleanResult = openDocument(s1);
      break;
    case fid::kRunAppleScript:
      // No script engine: the script cannot be compiled, so there is no value.
      break;
    case fid::kRunAppleScriptFile:
      r.stringResult = runAppleScriptFile(s1, sync);
      break;
    case fid::kSetStartAtLogin:
      if (app != nullptr) setStartAtLogin(app->bundlePath(), r.boolParam1 != 0);
      break;
    case fid::kGetStartAtLogin:
      r.booleanResult = app != nullptr && startsAtLogin(app->bundlePath());
      break;
    case fid::kIsApplicationRunning: {
      bool running = false;
      if (!s1.empty()) {
        for (const std::string& name : runningApplicationNames()) running = running || name == s1;
      }
      r.booleanResult = running;
      break;
    }
    case fid::kSetActiveScreenSaver:
      setActiveScreenSaver(s1);
      break;
    case fid::kSetActiveWallpaper:
      setActiveWallpaper(s1);
      break;
    case fid::kGetSpecialFolder:
      r.stringResult = specialFolder(r.intParam1, app);
      break;
    case fid::kGetDesktopFolder:
      r.stringResult = specialFolder(2, app);
      break;
    case fid::kGetScreenSize:
      getScreenSize(r);
      break;
    case fid::kListMonitors:
      r.stringResult = monitorList(sync);
      break;
    case fid::kGetHomeDirectory:
      r.stringResult = homeFolder().string();
      break;
    case fid::kGetUserName:
      r.stringResult = userName();
      break;
    case fid::kGetComputerName:
      r.stringResult = computerName();
      break;
    case fid::kGetUserGUID:
      r.stringResult = formatHardwareAddress(primaryHardwareAddress());
      break;
    case fid::kGetHostAddress:
      r.stringResult = hostAddress(s1);
      break;
    case fid::kSendMail:
      r.booleanResult = sendMail(s1, stringArgument(r.stringParam2), stringArgument(r.stringParam3));
      break;
    case fid::kIsMailAvailable:
      r.booleanResult = mailProgram().has_value();
      break;
    case fid::kGetWindows:
      r.stringResult = windowList(sync);
      break;
    case fid::kGetWindowRect:
      r.stringResult = windowRect(r.intParam1, sync);
      break;
    case fid::kSetScreenResolutionTo800x600:
      switchResolution(call, 800, 600);
      break;
    case fid::kSetScreenResolutionTo640x480:
      switchResolution(call, 640, 480);
      break;
    case fid::kResetScreenResolution:
      resetResolution(call);
      break;
    case fid::kGetMyPath:
      if (app != nullptr) r.stringResult = app->bundlePath().string();
      break;
    case fid::kDeleteSelf:
      deleteSelf(call);
      break;
    case fid::kIsScreenSaverRunning:
      r.booleanResult = desktop != nullptr && desktop->frontmostProcess == kScreenSaverProcess;
      break;
    case fid::kOpenScreenSaverControlPanel:
      if (services_.workspace != nullptr) services_.workspace->openFile(kScreenSaverPane);
      break;
    case fid::kCheckNetConnection:
      r.booleanResult = internetOnline();
      break;
    case fid::kQuit:
      quit(call);
      break;
    case fid::kCaptureScreenToJPG:
      r.booleanResult = captureScreen(call, s1);
      break;
    case fid::kGetFolder:
      if (app != nullptr) r.stringResult = app->bundlePath().parent_path().string();
      break;
    case fid::kRevealInFinder:
      if (app != nullptr && services_.workspace != nullptr) services_.workspace->selectFile(app->bundlePath().string());
      break;
    case fid::kGetPathToBundledApplication:
      // An auxiliary executable: a program of that name in Contents/MacOS.
      if (app != nullptr && !s1.empty() && s1.find('/') == std::string::npos && s1 != "." && s1 != "..") {
        const fs::path path = app->bundlePath() / "Contents" / "MacOS" / s1;
        std::error_code ec;
        if (fs::is_regular_file(path, ec)) r.stringResult = path.string();
      }
      break;
    case fid::kGetPathToBundledFile:
      if (app != nullptr) {
        // "name.type": the type is what follows the last "." of the last path piece.
        const size_t dot = s1.rfind('.');
        const bool typed = dot != std::string::npos && dot > 0 && s1.find('/', dot) == std::string::npos;
        const auto path = typed ? app->pathForResource(s1.substr(0, dot), s1.substr(dot + 1))
                                : app->pathForResource(s1, "");
        if (path) r.stringResult = path->string();
      }
      break;
    case fid::kBounceDockIcon:
      // The dock bounces only for an application in the background.
      if (desktop != nullptr && !desktop->isActive()) desktop->attentionRequests.push_back(r.boolParam1 != 0);
      break;
    case fid::kSetDockIconBadge:
      setDockIconBadge(s1, stringArgument(r.stringParam2));
      break;
    case fid::kShowMouse:
      if (desktop != nullptr) desktop->cursorHidden = r.boolParam1 == 0;
      break;
    case fid::kGetWorkingDirectory:
      if (app != nullptr) r.stringResult = app->resourcesPath().string();
      break;
    case fid::kMessageDialog:
      r.numberResult = messageDialog(call);
      break;
    case fid::kGetVersion:
      if (app != nullptr) r.stringResult = app->infoString("CFBundleVersion");
      break;
    default:
      break;
  }
}

bool SystemCommands::openDocument(const std::string& document) {
  // Mail and web addresses go to the browser; their result is false whatever happens.
  if (document.find("mailto:") != std::string::npos || document.find("http") != std::string::npos) {
    if (services_.workspace != nullptr) services_.workspace->openURL(stringByAddingPercentEscapes(document));
    return false;
  }
  return services_.workspace != nullptr && services_.workspace->openFile(document);
}

std::optional<std::string> SystemCommands::runAppleScriptFile(const std::string& path, bool synchronous) const {
  std::error_code ec;
  if (path.empty() || !fs::exists(path, ec)) return std::nullopt;
  // The script cannot be run here; the command goes on with an empty result.
  return synchronous ? arrayOfStringsToXmlStringList({}) : tildeList({});
}

void SystemCommands::setActiveWallpaper(const std::string& path) {
  // The file manager is told the picture by a file alias, which needs an existing file.
  std::error_code ec;
  if (services_.desktop == nullptr || path.empty() || !fs::exists(path, ec)) return;
  services_.desktop->desktopPicture = fs::absolute(path, ec).lexically_normal().string();
}

void SystemCommands::getScreenSize(CocoaInterfaceData& record) const {
  if (services_.desktop == nullptr) return;
  const DesktopRect frame = services_.desktop->mainScreenFrame();
  record.numberResult = static_cast<int32_t>(static_cast<uint32_t>(frame.size.width));
  record.numberResult2 = static_cast<int32_t>(static_cast<uint32_t>(frame.size.height));
}

std::string SystemCommands::monitorList(bool synchronous) const {
  std::vector<ScreenFrame> screens;
  if (services_.desktop != nullptr) screens = services_.desktop->screens();
  std::string out;
  if (synchronous) {
    out = "<object><property id=\"KW_array\"><array>";
    out += "<property id =\"length\"><number>" + std::to_string(screens.size()) + "</number></property>";
  }
  for (size_t i = 0; i < screens.size(); ++i) {
    const int32_t x = truncated(screens[i].origin.x);
    const int32_t y = truncated(screens[i].origin.y);
    const int32_t right = x + truncated(screens[i].width);
    const int32_t bottom = y + truncated(screens[i].height);
    if (synchronous) {
      auto property = [](const char* name, int32_t value) {
        return std::string("<property id=\"") + name + "\"><number>" + std::to_string(value) + "</number></property>";
      };
      out += "<property id=\"" + std::to_string(i) + "\"><object>" + property("top", y) + property("left", x) +
             property("right", right) + property("bottom", bottom) + "</object></property>";
    } else {
      if (i > 0) out += ",";
      out += std::to_string(x) + ":" + std::to_string(y) + ":" + std::to_string(right) + ":" + std::to_string(bottom);
    }
  }
  if (synchronous) out += "</array></property></object>";
  return out;
}

std::vector<std::pair<const Window*, Rect>> SystemCommands::onScreenWindows() const {
  std::vector<std::pair<const Window*, Rect>> list;
  if (services_.desktop == nullptr) return list;
  const DesktopRect main = services_.desktop->mainScreenFrame();
  // One process (this application) owns every window of the sim window server.
  for (const Window* each : services_.desktop->orderedWindows()) {
    if (each->isMiniaturized()) continue;
    const DesktopRect frame = each->frame();
    list.emplace_back(each, Rect{frame.minX() - main.minX(), main.maxY() - frame.maxY(), frame.size.width,
                                 frame.size.height});
  }
  return list;
}

std::string SystemCommands::windowList(bool synchronous) const {
  std::vector<int32_t> numbers;
  for (const auto& [each, bounds] : onScreenWindows()) {
    if (each->level() == 0 && bounds.x < kOffScreenCoordinate && bounds.y < kOffScreenCoordinate) {
      numbers.push_back(static_cast<int32_t>(each->windowNumber()));
    }
  }
  return synchronous ? arrayOfNumbersToXmlNumberList(numbers) : commaList(numbers);
}

std::string SystemCommands::windowRect(int32_t number, bool synchronous) const {
  // The walk stops at the window with that number, else ends on the last one visited.
  Rect bounds;
  for (const auto& [each, rect] : onScreenWindows()) {
    bounds = rect;
    if (static_cast<int64_t>(each->windowNumber()) == number) break;
  }
  return synchronous ? convertNSRectToXML(bounds) : convertNSRectToStringList(bounds);
}

void SystemCommands::switchResolution(ZFunctionCall& call, int32_t width, int32_t height) {
  Window* target = window(call);
  if (target != nullptr) call.handler.fOriginalWindowLevel = target->level();
  if (display_) display_->switchResolutionTo(width, height);
  // Above the captured display, whether or not the switch happened.
  if (target != nullptr) target->setLevel(shieldingWindowLevel());
}

void SystemCommands::resetResolution(ZFunctionCall& call) {
  if (display_) display_->resetToOriginalResolution();
  if (Window* target = window(call)) target->setLevel(call.handler.fOriginalWindowLevel);
}

void SystemCommands::deleteSelf(const ZFunctionCall& call) {
  const Bundle* app = bundle(call);
  if (app != nullptr) moveToUserTrash(app->bundlePath());
  if (HostServices* services = host(); services != nullptr && services->application != nullptr) {
    services->application->terminate();
  }
}

void SystemCommands::quit(ZFunctionCall& call) {
  if (call.quitting != nullptr) *call.quitting = 1;
  HostServices* services = host();
  if (services == nullptr || services->application == nullptr || services_.runLoop == nullptr) return;
  ApplicationLifecycle* application = services->application;
  services_.runLoop->performAfterDelay(kQuitDelay, [application] { application->terminate(); });
}

bool SystemCommands::captureScreen(const ZFunctionCall& call, const std::string& fileName) const {
  fs::path path = fileName;
  if (fileName.find('/') == std::string::npos) {
    const Bundle* app = bundle(call);
    if (app == nullptr) return false;
    path = app->resourcesPath() / fileName;
  }
  if (services_.desktop == nullptr) return scaleAndSaveAsJPEG(nullptr, 0, 0, 1.0, path);
  const DesktopRect frame = services_.desktop->mainScreenFrame();
  const Bitmap screen = services_.desktop->renderScreen();
  return scaleAndSaveAsJPEG(&screen, truncated(frame.size.width), truncated(frame.size.height), 1.0, path);
}

void SystemCommands::setDockIconBadge(const std::string& badge, const std::string& color) {
  Desktop* desktop = services_.desktop;
  if (desktop == nullptr) return;
  if (!originalIcon_) {
    // The icon saved at start; a blank 128-point one when the application showed none.
    originalIcon_ = desktop->applicationIcon;
    if (!originalIcon_) {
      auto blank = std::make_shared<Image>();
      blank->size = {128, 128};
      blank->representations.push_back(std::make_shared<const Bitmap>(128, 128));
      originalIcon_ = blank;
    }
  }
  desktop->applicationIcon = originalIcon_;
  if (badge.empty()) return;
  desktop->applicationIcon = badgedIcon(*originalIcon_, badge, colorFromHexRGB(color));
}

int32_t SystemCommands::messageDialog(ZFunctionCall& call) {
  CocoaInterfaceData& r = call.record;
  HostServices* services = host();
  if (services == nullptr || services->alerts == nullptr) return 0;
  // The panel must not hide behind a floating window.
  Window* target = window(call);
  const int32_t level = target != nullptr ? target->level() : 0;
  const int32_t normal = windowLevelForKey(kNormalWindowLevelKey);
  if (target != nullptr && level > normal) target->setLevel(normal);

  // Buttons shown and what each answers: default 1, alternate 0, other -1. A
  // missing default button is "OK"; missing others are not shown.
  AlertRequest alert{stringArgument(r.stringParam1), stringArgument(r.stringParam2), {}};
  std::vector<int32_t> answers;
  const std::string defaultButton = stringArgument(r.stringParam3);
  alert.buttons.push_back(defaultButton.empty() ? "OK" : defaultButton);
  answers.push_back(1);
  if (std::string alternate = stringArgument(r.stringParam4); !alternate.empty()) {
    alert.buttons.push_back(std::move(alternate));
    answers.push_back(0);
  }
  if (std::string other = stringArgument(r.stringParam5); !other.empty()) {
    alert.buttons.push_back(std::move(other));
    answers.push_back(-1);
  }
  const size_t pressed = services->alerts->runAlert(alert);
  if (target != nullptr && level > normal) target->setLevel(level);
  return pressed < answers.size() ? answers[pressed] : 1;
}

bool SystemCommands::internetOnline() {
  for (const char* host : kReachabilityHosts) {
    if (isHostReachable(host)) return true;
  }
  return false;
}

}  // namespace

std::shared_ptr<CommandFamily> makeSystemCommands(const FamilyServices& services) {
  return std::make_shared<SystemCommands>(services);
}

}  // namespace kw
