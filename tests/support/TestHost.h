// The plug-in host every host, bridge and end-to-end test runs on: the
// product's assembly on a virtual run loop, the fake plug-in and recording
// stand-ins for commands, URL loading, closing and windows.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "mac/app/HostAssembly.h"
#include "mac/pluginhost/FlashPlugin.h"
#include "mac/pluginhost/HostInterfaces.h"
#include "mac/pluginhost/PluginHost.h"
#include "mac/pluginhost/StreamData.h"
#include "tests/support/FakePlugin.h"
#include "tests/support/TempDir.h"

namespace kw::test {

class RecordingWindow : public PluginWindow {
 public:
  void processOneEvent(CocoaInterfaceData&) override {}
  void invalidateRect(const NPRect& rect) override { invalidations.push_back(rect); }
  void executeJavaScript(std::string_view script) override { scripts.emplace_back(script); }
  std::vector<NPRect> invalidations;
  std::vector<std::string> scripts;
};

class RecordingCommands : public CommandSink {
 public:
  void runCommand(const std::shared_ptr<StreamData>& record) override { records.push_back(record); }
  std::vector<std::shared_ptr<StreamData>> records;
};

class RecordingUrlLoader : public UrlLoader {
 public:
  struct Post {
    std::shared_ptr<StreamData> record;
    const char* buffer;
    uint32_t length;
    bool isFile, allowHeaders;
  };
  NPError getURL(const std::shared_ptr<StreamData>& record) override {
    gets.push_back(record);
    return answer;
  }
  NPError postURL(const std::shared_ptr<StreamData>& record, const char* buffer, uint32_t length, bool isFile,
                  bool allowHeaders) override {
    posts.push_back({record, buffer, length, isFile, allowHeaders});
    return answer;
  }
  NPError answer = NPERR_NO_ERROR;
  std::vector<std::shared_ptr<StreamData>> gets;
  std::vector<Post> posts;
};

// closeThisWindow:: notes the window and the time on the current host's run
// loop, then runs `then` (if set).
class RecordingCloser : public WindowCloser {
 public:
  void closeThisWindow(PluginWindow* window) override {
    closed.emplace_back(window, PluginHost::current().services().runLoop->now());
    if (then) then(window);
  }
  std::vector<std::pair<PluginWindow*, double>> closed;
  std::function<void(PluginWindow*)> then;
};

// The product's host assembly with the fake plug-in and recording stand-ins
// for commands, URL loading and closing. The fake and the recorders outlive
// the host; instances made by tests go first.
class TestHost : public ::testing::Test {
 public:
  // Registers an instance, as the movie view does before starting it.
  void enlist(FlashPlugin& plugin) { notifications.post(notification::kAddNsPluginToList, &plugin); }

  // A request record of `plugin` whose plug-in stream is open, as the routing hands it over.
  std::shared_ptr<StreamData> openRequest(FlashPlugin& plugin, std::string_view url, void* notifyData) {
    auto record = StreamData::create(plugin, url, true, notifyData);
    if (record) {
      host->pluginFuncs().newstream(record->instance, record->url.data(), &record->theStream, 0,
                                    &record->streamType);
    }
    return record;
  }
  // Everything the plug-in was sent on a record's stream, destroyed or not.
  const FakePlugin::StreamCall* streamOf(const StreamData& record) const {
    for (auto it = fake.streams.rbegin(); it != fake.streams.rend(); ++it) {
      if (it->stream == &record.theStream) return &*it;
    }
    return nullptr;
  }
  std::string bodyOf(const StreamData& record) const {
    const FakePlugin::StreamCall* call = streamOf(record);
    return call ? call->text() : std::string();
  }

  TempDir dir;
  std::filesystem::path appPath = dir.path() / "X.app";
  FakePlugin fake;
  RecordingCommands commands;
  RecordingUrlLoader loader;
  RecordingCloser closer;
  HostAssembly assembly{{RunLoop::ClockKind::Virtual, appPath, &commands, &loader, &closer, nullptr}};
  RunLoop& runLoop = assembly.runLoop;
  NotificationCenter& notifications = assembly.notifications;
  SimAlertPanels& alerts = assembly.alerts;
  SimWorkspace& workspace = assembly.workspace;
  SimApplication& application = assembly.application;
  PluginRegistry& registry = assembly.registry;
  PluginHost* host = &assembly.host();
};

// A host bound to the fake with one registered projector instance of
// kMovieURL, shown in a recording window and not started.
class InstanceTest : public TestHost {
 public:
  static constexpr const char* kMovieURL = "file:///Applications/Demo.app/Contents/Resources/zvdata.zve";
  InstanceTest() {
    EXPECT_EQ(host->bind(fake.entryPoints()), kStatusOK);
    plugin->m_plugInInstance.ndata = plugin.get();
    plugin->fType = kPluginTypeFlash;
    plugin->m_urlData = kMovieURL;
    plugin->m_flashWindow = &window;
    enlist(*plugin);
  }
  NPP instance() { return plugin->instance(); }
  const NPNetscapeFuncs& browser() { return host->browserFuncs(); }

  RecordingWindow window;
  std::unique_ptr<FlashPlugin> plugin = std::make_unique<FlashPlugin>(*host, false);
};

}  // namespace kw::test
