// A plug-in host for the bridge tests: virtual run loop, sim services, the real
// registry and command runner, a recording closer, the fake plug-in, movies.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "mac/app/PluginRegistry.h"
#include "mac/commands/CommandRunner.h"
#include "mac/platform/DesktopServices.h"
#include "mac/platform/NotificationCenter.h"
#include "mac/platform/RunLoop.h"
#include "mac/pluginhost/FlashPlugin.h"
#include "mac/pluginhost/PluginHost.h"
#include "mac/pluginhost/StreamData.h"
#include "mac/pluginhost/Variants.h"
#include "tests/support/FakePlugin.h"
#include "tests/support/TestWindow.h"

namespace kw::test {

class FixedMouse : public MouseLocator {
 public:
  MousePoint currentMousePosition() override { return where; }
  MousePoint where{12, 34};
};

class RecordingCloser : public WindowCloser {
 public:
  explicit RecordingCloser(RunLoop& loop) : loop_(loop) {}
  void closeThisWindow(PluginWindow* window) override {
    closed.push_back(window);
    closedAt.push_back(loop_.now());
  }
  std::vector<PluginWindow*> closed;
  std::vector<double> closedAt;

 private:
  RunLoop& loop_;
};

class NoUrlLoader : public UrlLoader {
 public:
  NPError getURL(const std::shared_ptr<StreamData>&) override { return NPERR_GENERIC_ERROR; }
  NPError postURL(const std::shared_ptr<StreamData>&, const char*, uint32_t, bool, bool) override {
    return NPERR_GENERIC_ERROR;
  }
};

// One movie: its test window (with its command handler) and its instance.
struct Movie {
  std::unique_ptr<TestWindow> window;
  std::unique_ptr<FlashPlugin> plugin;
};

// The notify data of an asynchronous request, as the plug-in would pass it.
inline void* requestNotifyData() {
  static int tag;
  return &tag;
}

// Members go in reverse order: the movies first (their instances tell the
// registry and the plug-in), then the host and the fake, the run loop last.
struct BridgeTestHost {
  RunLoop runLoop{RunLoop::ClockKind::Virtual};
  NotificationCenter notifications;
  SimAlertPanels alerts;
  SimWorkspace workspace;
  SimApplication application;
  PluginRegistry registry{notifications};
  FixedMouse mouse;
  CommandRunner runner{mouse};
  NoUrlLoader urlLoader;
  RecordingCloser closer{runLoop};
  FakePlugin fake;
  std::unique_ptr<PluginHost> host;
  PluginEntryPoints entryPoints;
  std::vector<std::string> arguments{"/Applications/Demo.app/Contents/MacOS/zivra", "-psn_0_42"};
  std::vector<std::unique_ptr<Movie>> movies;

  BridgeTestHost() {
    HostServices services;
    services.runLoop = &runLoop;
    services.notifications = &notifications;
    services.alerts = &alerts;
    services.workspace = &workspace;
    services.application = &application;
    services.registry = &registry;
    services.commands = &runner;
    services.urlLoader = &urlLoader;
    services.closer = &closer;
    host = std::make_unique<PluginHost>(services);
    entryPoints = fake.entryPoints();
  }

  // A movie window as the hosting view makes one: the instance is registered
  // right after it is made, then started, then typed a projector instance.
  Movie& openMovie(const char* parameter, FlashPlugin* parent = nullptr) {
    auto movie = std::make_unique<Movie>();
    KW_Commands::Environment environment;
    environment.host = host.get();
    environment.caching = &registry;
    environment.arguments = arguments;
    movie->window = std::make_unique<TestWindow>(environment, parent);
    movie->window->commands.setParameter(parameter);
    movie->plugin = std::make_unique<FlashPlugin>(*host, true);
    notifications.post(notification::kAddNsPluginToList, movie->plugin.get());
    FlashPlugin::InitializeArgs args;
    args.entryPoints = &entryPoints;
    args.window = movie->window.get();
    movie->plugin->initialize(args);
    movie->plugin->fType = kPluginTypeFlash;
    movie->window->attach(movie->plugin.get());
    movies.push_back(std::move(movie));
    return *movies.back();
  }

  // Destroys a movie's instance and window, as closing its window does.
  void closeMovie(Movie& movie) {
    std::erase_if(movies, [&movie](const std::unique_ptr<Movie>& held) { return held.get() == &movie; });
  }

  uint32_t identityOf(const Movie& movie) const { return registry.identityOf(movie.plugin.get()); }

  // A request of `movie` whose stream is open, as the routing hands it over.
  std::shared_ptr<StreamData> openRequest(Movie& movie, std::string_view url, void* notifyData) {
    auto record = StreamData::create(*movie.plugin, url, true, notifyData);
    if (record) {
      host->pluginFuncs().newstream(record->instance, record->url.data(), &record->theStream, 0,
                                    &record->streamType);
    }
    return record;
  }

  // An asynchronous command request (a URL request of the movie).
  std::shared_ptr<StreamData> requestAsync(Movie& movie, std::string_view url) {
    auto record = openRequest(movie, url, requestNotifyData());
    runner.runCommand(record);
    return record;
  }

  // A synchronous call (ExternalInterface): answers the reply text, or none
  // when the result stayed void.
  std::optional<std::string> callSync(Movie& movie, std::string_view request) {
    NPVariant result{};
    result.type = NPVariantType_Void;
    auto record = openRequest(movie, request, syncNotifyData());
    if (!record) return std::nullopt;
    record->started = true;
    record->syncResult = &result;
    runner.runCommand(record);
    std::optional<std::string> reply;
    if (result.type == NPVariantType_String) {
      reply = std::string(result.value.stringValue.UTF8Characters, result.value.stringValue.UTF8Length);
    }
    releaseVariantValue(&result);
    return reply;
  }

  // Everything the plug-in was sent on a request's stream, destroyed or not.
  const FakePlugin::StreamCall* streamOf(const StreamData& record) const {
    for (auto it = fake.streams.rbegin(); it != fake.streams.rend(); ++it) {
      if (it->stream == &record.theStream) return &*it;
    }
    return nullptr;
  }
  std::string bodyOf(const StreamData& record) const {
    const FakePlugin::StreamCall* call = streamOf(record);
    return call ? std::string(call->bytes.begin(), call->bytes.end()) : std::string();
  }
};

}  // namespace kw::test
