// A plug-in host for instance and stream tests: virtual run loop, sim desktop
// services, a small registry of instances and the fake plug-in, bound.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "mac/platform/DesktopServices.h"
#include "mac/platform/NotificationCenter.h"
#include "mac/platform/RunLoop.h"
#include "mac/pluginhost/FlashPlugin.h"
#include "mac/pluginhost/HostInterfaces.h"
#include "mac/pluginhost/PluginHost.h"
#include "mac/pluginhost/StreamData.h"
#include "tests/support/FakePlugin.h"

namespace kw::test::instance {

class TestRegistry : public InstanceRegistry {
 public:
  uint32_t add(FlashPlugin* plugin) {
    byIdentity_[next_] = plugin;
    return next_++;
  }
  bool isAValidNsPlugin(const FlashPlugin* plugin) const override { return identityOf(plugin) != 0; }
  FlashPlugin* pluginForIdentity(uint32_t identity) const override {
    auto it = byIdentity_.find(identity);
    return it == byIdentity_.end() ? nullptr : it->second;
  }
  uint32_t identityOf(const FlashPlugin* plugin) const override {
    for (const auto& [identity, known] : byIdentity_) {
      if (known == plugin) return identity;
    }
    return 0;
  }
  void forget(const FlashPlugin* plugin) override {
    forgotten.push_back(plugin);
    std::erase_if(byIdentity_, [plugin](const auto& entry) { return entry.second == plugin; });
  }
  std::vector<const FlashPlugin*> forgotten;

 private:
  std::map<uint32_t, FlashPlugin*> byIdentity_;
  uint32_t next_ = 1;
};

class NoCommands : public CommandSink {
 public:
  void runCommand(const std::shared_ptr<StreamData>&) override {}
};

class NoUrlLoading : public UrlLoader {
 public:
  NPError getURL(const std::shared_ptr<StreamData>&) override { return NPERR_GENERIC_ERROR; }
  NPError postURL(const std::shared_ptr<StreamData>&, const char*, uint32_t, bool, bool) override {
    return NPERR_GENERIC_ERROR;
  }
};

class RecordingWindow : public PluginWindow {
 public:
  void processOneEvent(CocoaInterfaceData&) override {}
  void invalidateRect(const NPRect&) override {}
  void executeJavaScript(std::string_view script) override { scripts.emplace_back(script); }
  std::vector<std::string> scripts;
};

// Members are destroyed in reverse order: instances made by a test (declared
// after this object) go first, then the host, then the fake plug-in.
struct InstanceTestHost {
  RunLoop runLoop{RunLoop::ClockKind::Virtual};
  NotificationCenter notifications;
  SimAlertPanels alerts;
  SimWorkspace workspace;
  SimApplication application;
  TestRegistry registry;
  NoCommands commands;
  NoUrlLoading urlLoader;
  FakePlugin fake;
  std::unique_ptr<PluginHost> host;

  InstanceTestHost() {
    HostServices services;
    services.runLoop = &runLoop;
    services.notifications = &notifications;
    services.alerts = &alerts;
    services.workspace = &workspace;
    services.application = &application;
    services.registry = &registry;
    services.commands = &commands;
    services.urlLoader = &urlLoader;
    host = std::make_unique<PluginHost>(services);
  }

  // Binds the fake (after the test configured its table).
  void bind() { host->bind(fake.entryPoints()); }

  // Opens the plug-in stream of a record, as the command runner and the
  // back channel do.
  NPError open(StreamData& record) {
    return host->pluginFuncs().newstream(record.instance, record.url.data(), &record.theStream, 0,
                                         &record.streamType);
  }
};

}  // namespace kw::test::instance
