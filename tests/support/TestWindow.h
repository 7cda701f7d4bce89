// Movie windows on the shared test host: a projector window that runs records
// through its own command handler, and a host whose commands go through the
// real command runner, as the bridge and end-to-end tests need.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "mac/commands/CocoaInterfaceData.h"
#include "mac/commands/CommandRunner.h"
#include "mac/commands/KW_Commands.h"
#include "mac/pluginhost/Variants.h"
#include "tests/support/TestHost.h"

namespace kw::test {

class TestWindow : public RecordingWindow {
 public:
  explicit TestWindow(KW_Commands::Environment environment, FlashPlugin* parent = nullptr)
      : commands(std::move(environment), parent) {}
  void attach(FlashPlugin* plugin) { plugin_ = plugin; }  // handed to the handler with every record
  void processOneEvent(CocoaInterfaceData& record) override {
    received.push_back(record.functionNumber);
    commands.doZFunction(this, nullptr, nullptr, &dragging, &quitting, plugin_, &record);
  }
  KW_Commands commands;
  uint8_t dragging = 0, quitting = 0;
  std::vector<int32_t> received;  // function IDs of the records handed to the window

 private:
  FlashPlugin* plugin_ = nullptr;
};

struct Movie {
  std::unique_ptr<GrafPort> port;
  std::unique_ptr<TestWindow> window;
  std::unique_ptr<FlashPlugin> plugin;
  Status status = 0;
};

class FixedMouse : public MouseLocator {
 public:
  MousePoint currentMousePosition() override { return where; }
  MousePoint where{12, 34};
};

// The notify data of an asynchronous request, as the plug-in would pass it.
inline void* requestNotifyData() {
  static int tag;
  return &tag;
}

class MovieHost : public TestHost {
 public:
  MovieHost() {
    host->services().commands = &runner;
    // Closing a window destroys its instance (which leaves the registry) and the window.
    closer.then = [this](PluginWindow* window) {
      std::erase_if(movies, [window](const auto& movie) { return movie->window.get() == window; });
    };
  }
  ~MovieHost() override { movies.clear(); }

  // A movie window as the view makes one: the instance is registered, then
  // started (with the fake unless `args` names a plug-in), then typed a projector.
  Movie& openMovie(const char* parameter, FlashPlugin::InitializeArgs args = {}, bool pushWrapper = true,
                   FlashPlugin* parent = nullptr) {
    auto movie = std::make_unique<Movie>();
    movie->window = std::make_unique<TestWindow>(KW_Commands::Environment{host, &registry, arguments}, parent);
    movie->window->commands.setParameter(parameter);
    movie->plugin = std::make_unique<FlashPlugin>(*host, pushWrapper);
    enlist(*movie->plugin);
    args.window = movie->window.get();
    if (args.plugin == nullptr) args.entryPoints = &fakeEntryPoints;
    movie->status = movie->plugin->initialize(args);
    movie->plugin->fType = kPluginTypeFlash;
    movie->window->attach(movie->plugin.get());
    movies.push_back(std::move(movie));
    return *movies.back();
  }
  void closeMovie(Movie& movie) {
    std::erase_if(movies, [&movie](const auto& held) { return held.get() == &movie; });
  }
  uint32_t identityOf(const Movie& movie) const { return registry.identityOf(movie.plugin.get()); }
  std::string idOf(const Movie& movie) const { return std::to_string(identityOf(movie)); }

  // An asynchronous command request (a URL request of the movie).
  std::shared_ptr<StreamData> requestAsync(Movie& movie, std::string_view url) {
    auto record = openRequest(*movie.plugin, url, requestNotifyData());
    runner.runCommand(record);
    return record;
  }
  // A synchronous (ExternalInterface) call: the reply text, or none when the result stayed void.
  std::optional<std::string> callSync(Movie& movie, std::string_view request) {
    NPVariant result{};
    auto record = openRequest(*movie.plugin, request, syncNotifyData());
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

  FixedMouse mouse;
  CommandRunner runner{mouse};
  PluginEntryPoints fakeEntryPoints = fake.entryPoints();
  std::vector<std::string> arguments{"/Applications/Demo.app/Contents/MacOS/zivra", "-psn_0_42"};
  std::vector<std::unique_ptr<Movie>> movies;
};

}  // namespace kw::test
