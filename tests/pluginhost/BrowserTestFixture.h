// A plug-in host on a virtual run loop with sim desktop services, a bound fake plug-in, one
// instance, and recording stand-ins for commands, URL loading, the registry and the window.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "mac/platform/DesktopServices.h"
#include "mac/platform/NotificationCenter.h"
#include "mac/platform/RunLoop.h"
#include "mac/pluginhost/FlashPlugin.h"
#include "mac/pluginhost/PluginHost.h"
#include "mac/pluginhost/StreamData.h"
#include "tests/support/FakePlugin.h"

namespace kw::test::browser {

class RecordingCommandSink : public CommandSink {
 public:
  void runCommand(const std::shared_ptr<StreamData>& record) override { records.push_back(record); }
  std::vector<std::shared_ptr<StreamData>> records;
};

class RecordingUrlLoader : public UrlLoader {
 public:
  NPError getURL(const std::shared_ptr<StreamData>& record) override {
    gets.push_back(record);
    return answer;
  }
  NPError postURL(const std::shared_ptr<StreamData>& record, const char* buffer, uint32_t length, bool isFile,
                  bool allowHeaders) override {
    posts.push_back({record, buffer, length, isFile, allowHeaders});
    return answer;
  }
  struct Post {
    std::shared_ptr<StreamData> record;
    const char* buffer;
    uint32_t length;
    bool isFile;
    bool allowHeaders;
  };
  NPError answer = NPERR_NO_ERROR;
  std::vector<std::shared_ptr<StreamData>> gets;
  std::vector<Post> posts;
};

class ListRegistry : public InstanceRegistry {
 public:
  bool isAValidNsPlugin(const FlashPlugin* plugin) const override { return identityOf(plugin) != 0; }
  FlashPlugin* pluginForIdentity(uint32_t identity) const override {
    return identity >= 1 && identity <= plugins.size() ? plugins[identity - 1] : nullptr;
  }
  uint32_t identityOf(const FlashPlugin* plugin) const override {
    for (size_t i = 0; i < plugins.size(); ++i) {
      if (plugins[i] == plugin) return static_cast<uint32_t>(i + 1);
    }
    return 0;
  }
  void forget(const FlashPlugin* plugin) override {
    for (auto& entry : plugins) {
      if (entry == plugin) entry = nullptr;
    }
  }
  std::vector<FlashPlugin*> plugins;
};

class RecordingWindow : public PluginWindow {
 public:
  void processOneEvent(CocoaInterfaceData&) override { ++events; }
  void invalidateRect(const NPRect& rect) override { rects.push_back(rect); }
  void executeJavaScript(std::string_view script) override { scripts.emplace_back(script); }
  int events = 0;
  std::vector<NPRect> rects;
  std::vector<std::string> scripts;
};

class BrowserTest : public ::testing::Test {
 protected:
  static constexpr const char* kMovieURL = "file:///Applications/Demo.app/Contents/Resources/zvdata.zve";

  BrowserTest() {
    EXPECT_EQ(host.bind(fake.entryPoints()), kStatusOK);
    plugin = std::make_unique<FlashPlugin>(host, false);
    plugin->m_plugInInstance.ndata = plugin.get();
    plugin->fType = kPluginTypeFlash;
    plugin->m_urlData = kMovieURL;
    plugin->m_flashWindow = &window;
    registry.plugins.push_back(plugin.get());
  }

  HostServices makeServices() {
    HostServices services;
    services.runLoop = &loop;
    services.notifications = &notifications;
    services.alerts = &alerts;
    services.workspace = &workspace;
    services.application = &application;
    services.registry = &registry;
    services.commands = &commands;
    services.urlLoader = &loader;
    return services;
  }

  NPP instance() { return plugin->instance(); }
  const NPNetscapeFuncs& browser() { return host.browserFuncs(); }

  // The bytes written into a recorded stream, as text.
  static std::string textOf(const FakePlugin::StreamCall& call) { return {call.bytes.begin(), call.bytes.end()}; }

  RunLoop loop{RunLoop::ClockKind::Virtual};
  NotificationCenter notifications;
  SimAlertPanels alerts;
  SimWorkspace workspace;
  SimApplication application{"/Applications/Demo.app"};
  ListRegistry registry;
  RecordingCommandSink commands;
  RecordingUrlLoader loader;
  RecordingWindow window;
  PluginHost host{makeServices()};
  FakePlugin fake;
  std::unique_ptr<FlashPlugin> plugin;
};

}  // namespace kw::test::browser
