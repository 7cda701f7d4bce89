// The plug-in host with everything it talks to, assembled in one place: the run
// loop, the notification centre, the desktop services, the registry of
// instances, the command runner and URL loading. The program, the tests and the
// benchmarks all build their host this way; tests may plug recording stand-ins
// in for the outward services (commands, URL loading, the window closer).
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "mac/app/PluginRegistry.h"
#include "mac/commands/CommandRunner.h"
#include "mac/commands/families/FamilyServices.h"
#include "mac/net/CocoaGetUrl.h"
#include "mac/net/CurlDriver.h"
#include "mac/net/webKitWindow.h"
#include "mac/platform/DesktopServices.h"
#include "mac/platform/NotificationCenter.h"
#include "mac/platform/RunLoop.h"
#include "mac/pluginhost/PluginHost.h"
#include "mac/windows/WindowServices.h"

namespace kw {

class Bundle;
class Desktop;
class UserDefaults;

// getMousePosition's answer: the desktop's mouse in global coordinates.
class DesktopMouseLocator : public MouseLocator {
 public:
  MousePoint currentMousePosition() override;
};

class HostAssembly {
 public:
  struct Options {
    RunLoop::ClockKind clock = RunLoop::ClockKind::Virtual;
    std::filesystem::path applicationBundle;
    CommandSink* commands = nullptr;  // none: the command runner
    UrlLoader* urlLoader = nullptr;   // none: URL loading on libcurl (urlLoading)
    WindowCloser* closer = nullptr;   // none until the controller sets itself
    MouseLocator* mouse = nullptr;    // none: the desktop's mouse
  };

  explicit HostAssembly(const Options& options);
  HostAssembly() : HostAssembly(Options{}) {}
  // The host goes first, while everything it calls still exists.
  ~HostAssembly() { host_.reset(); }
  HostAssembly(const HostAssembly&) = delete;
  HostAssembly& operator=(const HostAssembly&) = delete;

  PluginHost& host() { return *host_; }
  HostServices& services() { return host_->services(); }

  RunLoop runLoop;
  NotificationCenter notifications;
  SimAlertPanels alerts;
  SimWorkspace workspace;
  SimApplication application;
  PluginRegistry registry{notifications};
  DesktopMouseLocator desktopMouse;
  CommandRunner runner;
  // URL loading: files of relative URLs in the bundle's resources, the cache
  // in the user's caches folder (UrlCache.h), the credential of the settings
  // keys "httpUser" and "httpPassword".
  CurlDriver curl{runLoop};
  CocoaUrlLoader urlLoading;

 private:
  std::unique_ptr<PluginHost> host_;
};

// The parts of one application beside its host: the desktop, the
// application bundle, the stored defaults and the command line. The windows
// and the command families are given their services from here.
struct ApplicationParts {
  HostAssembly& assembly;
  Desktop& desktop;
  const Bundle* application = nullptr;
  UserDefaults* defaults = nullptr;
  std::vector<std::string> arguments;

  ApplicationServices applicationServices() const;
  WindowServices windowServices() const;
  FamilyServices familyServices() const;
  // The web page windows' services; the command families' hook and the
  // plug-in folders are the caller's to add.
  WebWindowServices webWindowServices() const;
};

}  // namespace kw
