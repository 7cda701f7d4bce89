// An application assembled for end-to-end tests: a temporary application bundle
// with the real stand-in plug-in and wrapper movie, found by the real loader,
// and movie windows made and driven as the movie view makes and drives them.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "mac/app/PluginRegistry.h"
#include "mac/commands/CommandRunner.h"
#include "mac/platform/Bundle.h"
#include "mac/platform/DesktopServices.h"
#include "mac/platform/NotificationCenter.h"
#include "mac/platform/QuickDraw.h"
#include "mac/platform/RunLoop.h"
#include "mac/pluginhost/FlashPlugin.h"
#include "mac/pluginhost/NotFoundUrlLoader.h"
#include "mac/pluginhost/PluginHost.h"
#include "mac/pluginhost/PluginLocator.h"
#include "mac/windows/MovieHeaderProbe.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestWindow.h"
#include "tools/standin/StandInReport.h"
#include "tools/swf/SwfWriter.h"

namespace kw::test {

class FixedMouse : public MouseLocator {
 public:
  MousePoint currentMousePosition() override { return {40, 60}; }
};

// The controller's closeThisWindow:: notes the window and when, then closes it.
class RecordingCloser : public WindowCloser {
 public:
  RecordingCloser(RunLoop& loop, std::function<void(PluginWindow*)> close) : loop_(loop), close_(std::move(close)) {}
  void closeThisWindow(PluginWindow* window) override {
    closed.emplace_back(window, loop_.now());
    close_(window);
  }
  std::vector<std::pair<PluginWindow*, double>> closed;  // window and when

 private:
  RunLoop& loop_;
  std::function<void(PluginWindow*)> close_;
};

// One movie window: its port, its window with its command handler, its instance.
struct MovieWindow {
  std::unique_ptr<GrafPort> port;
  std::unique_ptr<TestWindow> window;
  std::unique_ptr<FlashPlugin> plugin;
  Status status = 0;
};

// A movie whose frames each make the given getURL requests (URL, target).
using Frames = std::vector<std::vector<std::pair<std::string, std::string>>>;

inline swf::Bytes makeMovie(const Frames& frames, bool actionScript3, uint32_t background = 0x336699) {
  swf::MovieHeader header;
  header.version = actionScript3 ? 9 : 8;
  header.frame = {0, 200 * 20, 0, 150 * 20};
  header.frameRate = swf::fixed88(12);
  swf::SwfWriter writer(header);
  if (actionScript3) writer.fileAttributes(swf::kFileAttributesAS3);
  writer.setBackgroundColor(background);
  if (actionScript3) writer.doABC(std::vector<uint8_t>{0, 0, 0, 0, 0x10, 0, 0x2E, 0});
  for (const auto& frame : frames) {
    for (const auto& [url, target] : frame) writer.doActionGetURL(url, target);
    writer.showFrame();
  }
  return writer.end().build();
}

class EndToEndHost : public ::testing::Test {
 protected:
  static constexpr QDRect kPortRect{0, 0, 150, 200};

  EndToEndHost() {
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
  }

  std::filesystem::path resources() const { return appPath / "Contents" / "Resources"; }

  // X.app with its Info.plist, the wrapper movie and, when given, a plug-in
  // bundle as "fpb.plugin"; then the loader looks for the plug-in.
  bool makeApplication(const std::optional<std::filesystem::path>& pluginBundle) {
    std::filesystem::create_directories(resources());
    std::ofstream(appPath / "Contents" / "Info.plist")
        << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
           "<key>CFBundleExecutable</key><string>zivra</string></dict></plist>\n";
    std::filesystem::copy_file(KW_WRAPPER_MOVIE, resources() / "RidavOdarez.zve");
    if (pluginBundle) std::filesystem::create_directory_symlink(*pluginBundle, resources() / "fpb.plugin");
    appBundle = Bundle::open(appPath);
    PluginLocation where;
    where.application = appBundle ? &*appBundle : nullptr;
    where.systemPlugin = dir.path() / "no-system-plugin";  // no system-wide plug-in on this machine
    plugin = locatePlugin(where, alerts, workspace, application);
    return plugin.has_value();
  }

  // A movie window as the view makes it: the movie "zvdata.zve" (or `name`)
  // is written to the resources; its header decides whether the wrapper is
  // merged; the instance is registered before it is started and typed after.
  MovieWindow& openMovie(const swf::Bytes& movie, const char* parameter, int32_t windowType = 0,
                         const std::string& name = "zvdata.zve") {
    const std::filesystem::path file = resources() / name;
    writeFile(file, movie);
    bool actionScript3 = false;
    probeIsActionScript3(file, actionScript3);

    auto made = std::make_unique<MovieWindow>();
    made->port = std::make_unique<GrafPort>(kPortRect.right, kPortRect.bottom);
    KW_Commands::Environment environment;
    environment.host = host.get();
    environment.caching = &registry;
    made->window = std::make_unique<TestWindow>(environment);
    made->window->commands.setParameter(parameter);
    made->plugin = std::make_unique<FlashPlugin>(*host, !actionScript3);
    notifications.post(notification::kAddNsPluginToList, made->plugin.get());
    FlashPlugin::InitializeArgs args;
    args.port = made->port.get();
    args.movieURL = "file://" + file.string();
    args.movieFile = file;
    args.plugin = plugin ? plugin->code.get() : nullptr;
    args.wrapperFile = resources() / "RidavOdarez.zve";
    args.portRect = kPortRect;
    args.window = made->window.get();
    args.windowType = windowType;
    made->status = made->plugin->initialize(args);
    made->plugin->fType = kPluginTypeFlash;
    made->window->attach(made->plugin.get());
    movies.push_back(std::move(made));
    return *movies.back();
  }

  // What the stand-in instance behind a window received and did (null once it is gone).
  const standin::StandInReport* reportOf(MovieWindow& movie) const {
    auto hook = reinterpret_cast<StandIn_ReportFuncPtr>(plugin->code->symbol("StandIn_Report"));
    return hook != nullptr ? hook(movie.plugin->instance()) : nullptr;
  }

  // One null event for every live movie, stamped with the run loop's tick count.
  void frameTick() {
    for (auto& movie : movies) {
      if (!movie->plugin->isSane()) continue;
      EventRecord event;
      event.when = runLoop.tickCount();
      movie->plugin->handlePluginEvent(&event);
    }
  }

  // Plays `seconds` of time: the clock moves a tick at a time, each followed by a null event.
  void play(double seconds) {
    for (double played = 0; played < seconds; played += 1.0 / 60) {
      runLoop.runFor(1.0 / 60);
      frameTick();
    }
  }

  uint32_t identityOf(const MovieWindow& movie) const { return registry.identityOf(movie.plugin.get()); }

  // Destruction runs upwards: the movies go first, while the plug-in is loaded.
  TempDir dir;
  std::filesystem::path appPath = dir.path() / "X.app";
  RunLoop runLoop{RunLoop::ClockKind::Virtual};
  NotificationCenter notifications;
  SimAlertPanels alerts;
  SimWorkspace workspace;
  SimApplication application{appPath};
  PluginRegistry registry{notifications};
  FixedMouse mouse;
  CommandRunner runner{mouse};
  NotFoundUrlLoader urlLoader;
  // Closing a window destroys its instance (which leaves the registry) and the window.
  RecordingCloser closer{runLoop, [this](PluginWindow* window) {
    std::erase_if(movies, [window](const auto& movie) { return movie->window.get() == window; });
  }};
  std::unique_ptr<PluginHost> host;
  std::optional<Bundle> appBundle;
  std::optional<LocatedPlugin> plugin;
  std::vector<std::unique_ptr<MovieWindow>> movies;
};

// The loaded variables the movie received for a request, if any.
inline std::optional<std::string> variablesOf(const standin::StandInReport& report, std::string_view url) {
  for (const auto& reply : report.replies) {
    if (reply.requestUrl == url) return reply.variables;
  }
  return std::nullopt;
}

}  // namespace kw::test
