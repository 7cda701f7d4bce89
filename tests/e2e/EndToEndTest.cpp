// End-to-end runs of the host with the real stand-in plug-in, loaded from a
// generated application bundle: loading, start-up, painting, commands of
// ActionScript 2 and 3 movies, the back channel, and commands between two windows.
#include <algorithm>
#include <any>
#include <fstream>

#include "mac/platform/SystemLog.h"
#include "mac/pluginhost/NotFoundUrlLoader.h"
#include "mac/pluginhost/PluginLocator.h"
#include "mac/windows/MovieHeaderProbe.h"
#include "tests/support/TestWindow.h"
#include "tools/standin/StandInReport.h"
#include "tools/swf/SwfWriter.h"

namespace kw::test {
namespace {

namespace fs = std::filesystem;
using Pairs = std::vector<std::pair<std::string, std::string>>;
using standin::StandInReport;
constexpr QDRect kPortRect{0, 0, 150, 200};

// A 200 x 150 movie at 12 frames per second whose frames make the given getURL requests (URL, target).
swf::Bytes makeMovie(const std::vector<Pairs>& frames, bool actionScript3) {
  swf::MovieHeader header;
  header.version = actionScript3 ? 9 : 8;
  header.frame = {0, 200 * 20, 0, 150 * 20};
  swf::SwfWriter writer(header);
  if (actionScript3) writer.fileAttributes(swf::kFileAttributesAS3).doABC(std::vector<uint8_t>{0, 0, 0x10, 0});
  writer.setBackgroundColor(0x336699);
  for (const auto& frame : frames) {
    for (const auto& [url, target] : frame) writer.doActionGetURL(url, target);
    writer.showFrame();
  }
  return writer.end().build();
}

// The loaded variables the movie received for a request, if any.
std::optional<std::string> variablesOf(const StandInReport& report, std::string_view url) {
  for (const auto& reply : report.replies) {
    if (reply.requestUrl == url) return reply.variables;
  }
  return std::nullopt;
}

class EndToEnd : public MovieHost {
 protected:
  EndToEnd() { host->services().urlLoader = &notFound; }
  ~EndToEnd() override { movies.clear(); }  // the instances go while the plug-in is loaded

  fs::path resources() const { return appPath / "Contents" / "Resources"; }

  // X.app with its Info.plist, the wrapper movie and, when given, a plug-in
  // bundle as "fpb.plugin"; then the real locator looks for the plug-in.
  bool makeApplication(const std::optional<fs::path>& pluginBundle) {
    fs::create_directories(resources());
    std::ofstream(appPath / "Contents" / "Info.plist")
        << "<plist version=\"1.0\"><dict><key>CFBundleExecutable</key><string>zivra</string></dict></plist>\n";
    fs::copy_file(KW_WRAPPER_MOVIE, resources() / "RidavOdarez.zve");
    if (pluginBundle) fs::create_directory_symlink(*pluginBundle, resources() / "fpb.plugin");
    appBundle = Bundle::open(appPath);
    PluginLocation where;
    where.application = appBundle ? &*appBundle : nullptr;
    where.systemPlugin = dir.path() / "no-system-plugin";
    plugin = locatePlugin(where, alerts, workspace, application);
    return plugin.has_value();
  }

  // A movie window as the view makes it: the movie is written to the
  // resources, and its header decides whether the wrapper is merged.
  Movie& open(const swf::Bytes& bytes, const char* parameter, int32_t windowType = 0,
              const std::string& name = "zvdata.zve") {
    const fs::path file = resources() / name;
    writeFile(file, bytes);
    bool actionScript3 = false;
    probeIsActionScript3(file, actionScript3);
    auto port = std::make_unique<GrafPort>(kPortRect.right, kPortRect.bottom);
    FlashPlugin::InitializeArgs args;
    args.port = port.get();
    args.movieURL = "file://" + file.string();
    args.movieFile = file;
    args.plugin = plugin ? plugin->code.get() : nullptr;
    args.wrapperFile = resources() / "RidavOdarez.zve";
    args.portRect = kPortRect;
    args.windowType = windowType;
    Movie& movie = openMovie(parameter, args, !actionScript3);
    movie.port = std::move(port);
    return movie;
  }
  // Two windows: "second" showing an empty movie, then "main" running `frames`.
  std::pair<Movie*, Movie*> openTwo(const std::function<std::vector<Pairs>(const std::string& otherId)>& frames) {
    Movie& other = open(makeMovie({{}}, false), "second", 0, "other.zve");
    return {&open(makeMovie(frames(idOf(other)), false), "main"), &other};
  }

  // What the stand-in instance behind a window received and did (null once it is gone).
  const StandInReport* reportOf(Movie& movie) const {
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
  // Plays `seconds` of time a tick at a time, each followed by a null event.
  void play(double seconds) {
    for (double played = 0; played < seconds; played += 1.0 / 60) {
      runLoop.runFor(1.0 / 60);
      frameTick();
    }
  }

  NotFoundUrlLoader notFound;
  std::optional<Bundle> appBundle;
  std::optional<LocatedPlugin> plugin;
};

TEST_F(EndToEnd, MissingOrTooOldPluginIsReportedAndTheApplicationEnds) {
  const std::tuple<std::optional<fs::path>, size_t, const char*, const char*, std::vector<std::string>> cases[] = {
      {std::nullopt, 0, "Plugin Not Found", "The Flash plugin is required and could not be found",
       {PluginLocation{}.downloadPage}},  // "Download"
      {KW_STANDIN_TOOOLD_BUNDLE, 1, "Plugin version too old", "A minimum of Flash 8r27 is required", {}}};
  for (const auto& [bundle, answer, title, text, opened] : cases) {
    fs::remove_all(appPath);
    alerts.answers = {answer};
    alerts.shown.clear();
    workspace.opened.clear();
    application.terminations = 0;
    EXPECT_FALSE(makeApplication(bundle)) << title;
    ASSERT_EQ(alerts.shown.size(), 1u);
    EXPECT_EQ(std::tie(alerts.shown[0].title, alerts.shown[0].text, alerts.shown[0].buttons, workspace.opened),
              std::make_tuple(title, text, std::vector<std::string>{"Download", "Cancel"}, opened));
    EXPECT_EQ(application.terminations, 1);
  }
}

TEST_F(EndToEnd, ActionScript2MovieGetsTheEmbedArgumentsAndTheMergedMovieInOneWrite) {
  ASSERT_TRUE(makeApplication(KW_STANDIN_PLUGIN_BUNDLE));
  const swf::Bytes bytes = makeMovie({{}, {}}, false);
  Movie& movie = open(bytes, "main", 3);
  ASSERT_EQ(movie.status, 0);
  const StandInReport& report = *reportOf(movie);
  EXPECT_EQ(std::tie(report.mimeType, report.mode), std::make_tuple("application/x-shockwave-flash", NP_EMBED));
  EXPECT_EQ(report.arguments, (Pairs{{"src", "URLcString"}, {"wmode", "transparent"}, {"quality", "best"},
                                     {"loop", "true"}, {"WIDTH", "100%"}, {"HEIGHT", "100%"}, {"SCROLL", "NO"},
                                     {"allowScriptAccess", "always"}, {"FULLPAGE", ""}, {"allowNetworking", "all"}}));
  ASSERT_EQ(report.streams.size(), 1u);
  const standin::ReportedStream& stream = report.streams[0];
  EXPECT_EQ(std::tie(stream.url, stream.mimeType, stream.end, stream.writes, stream.reason),
            std::make_tuple("file://" + (resources() / "zvdata.zve").string(), "application/x-shockwave-flash",
                            bytes.size(), 1u, NPRES_DONE));
  EXPECT_TRUE(report.movieReadable && report.movieHasWrapper && report.movieFrames == 2);
  // Activate with the get-focus code as its message, then get-focus.
  ASSERT_EQ(report.events.size(), 2u);
  EXPECT_EQ(std::tie(report.events[0].what, report.events[0].message, report.events[1].what),
            std::make_tuple(8, 31u, 31));

  // The first frame asks for the back channel, and the host keeps it waiting. The movie is
  // transparent: only the moving mark is drawn over the port.
  EXPECT_EQ(report.backChannelAsks, 0u);
  frameTick();
  EXPECT_EQ(std::tie(report.backChannelAsks, report.paints), std::make_tuple(1u, 1u));
  EXPECT_TRUE(movie.plugin->m_backChannelStreamReady);
  const GrafPort& port = *movie.port;
  const auto middle = port.pixels.begin() + 75 * port.width;
  EXPECT_EQ(std::make_tuple(port.pixels[0], port.pixels.back()), std::make_tuple(0xFF000000u, 0xFF000000u));
  EXPECT_NE(std::count(middle, middle + port.width, 0xFF000000u), port.width);
}

TEST_F(EndToEnd, ActionScript2MoviePaintsAndItsRequestsAreAnsweredAsLoadedVariablesAfterThePoll) {
  ASSERT_TRUE(makeApplication(KW_STANDIN_PLUGIN_BUNDLE));
  const std::string getParameter = "KW://KW_zWindow.getParameter?windowID=0";
  const std::string trace = "KW://KW_trace?msg=Hello%20World";
  const std::string monitor = "KW://KW_getMonitorNumber?returnVarName1=n";
  Movie& movie = open(makeMovie({{{getParameter, ""}}, {{trace, ""}}, {{monitor, ""}}}, false), "main");
  const StandInReport& report = *reportOf(movie);

  // Nothing is drawn before the first frame; then the movie's background colour (not the wrapper's),
  // with the moving mark blended towards the inverse colour across the middle row, in the port and the print.
  const GrafPort& port = *movie.port;
  EXPECT_EQ(port.pixels[0], 0xFF000000u);
  ScopedLogCapture log;
  frameTick();  // frame 1 asks for the parameter
  ASSERT_EQ(report.framesPlayed, 1u);
  EXPECT_EQ(std::make_tuple(port.pixels[0], port.pixels.back()), std::make_tuple(0xFF336699u, 0xFF336699u));
  const auto middle = port.pixels.begin() + 75 * port.width;
  EXPECT_NE(std::count(middle, middle + port.width, 0xFF336699u), port.width);
  EXPECT_EQ(port.origin, (QDPoint{0, 0}));
  const std::unique_ptr<GrafPort> printed = movie.plugin->printedPluginBitmap();
  ASSERT_NE(printed, nullptr);
  EXPECT_EQ(std::make_tuple(printed->width, printed->pixels[0]), std::make_tuple(200, 0xFF336699u));
  EXPECT_EQ(movie.window->received, std::vector<int32_t>{306});
  runLoop.runFor(0.09);
  EXPECT_FALSE(variablesOf(report, getParameter));
  runLoop.runFor(0.01);  // the poll writes the reply
  EXPECT_EQ(variablesOf(report, getParameter), "&returnValue=main");

  play(0.5);
  EXPECT_EQ(report.framesPlayed, 3u);
  EXPECT_EQ(log.lines(), std::vector<std::string>{"Zivra trace -> Hello World"});
  EXPECT_EQ(variablesOf(report, monitor), "&n=1");
  EXPECT_EQ(movie.window->received, (std::vector<int32_t>{306, 408, 700}));
  // Every request was ended by its reply.
  ASSERT_EQ(report.notifications.size(), 3u);
  for (const auto& notification : report.notifications) EXPECT_EQ(notification.reason, NPRES_DONE);
}

TEST_F(EndToEnd, ActionScript3MovieArrivesUnmergedItsCallsGetXmlAtOnceAndEventsReachOnEventSync) {
  ASSERT_TRUE(makeApplication(KW_STANDIN_PLUGIN_BUNDLE));
  const swf::Bytes bytes = makeMovie({{{"KW://KW_zWindow.getParameter?windowID=0", "_ExternalInterface"}},
                                      {{"[\"zWindow\",\"getParameter\"]", "_ExternalInterface"}},
                                      {{"KW://KW_getMonitorNumber", "_ExternalInterface"}}},
                                     true);
  Movie& movie = open(bytes, "main");
  ASSERT_EQ(movie.status, 0);
  const StandInReport& report = *reportOf(movie);
  EXPECT_EQ(report.arguments[1], (std::pair<std::string, std::string>{"wmode", "normal"}));
  EXPECT_EQ(report.streams.at(0).bytes, std::string(bytes.begin(), bytes.end()));
  EXPECT_TRUE(report.movieActionScript3 && !report.movieHasWrapper);

  frameTick();
  ASSERT_EQ(report.externalCalls.size(), 1u);  // answered inside the frame, no poll
  const std::string kCatch = " ; } catch (e) { \"<undefined/>\"; }";
  EXPECT_EQ(report.externalCalls[0].script,
            "try { __flash__toXML(KW_call(\"KW://KW_zWindow.getParameter?windowID=0\"))" + kCatch);
  EXPECT_EQ(report.externalCalls[0].xml, "<string>main</string>");
  play(0.3);
  ASSERT_EQ(report.externalCalls.size(), 3u);
  // The list form: the host takes the list back out of the script, quotes unescaped.
  EXPECT_EQ(report.externalCalls[1].script,
            "try { __flash__toXML(KW_call2([\\\"zWindow\\\",\\\"getParameter\\\"]))" + kCatch);
  EXPECT_EQ(std::tie(report.externalCalls[1].xml, report.externalCalls[2].xml),
            std::make_tuple("<string>main</string>", "<number>1</number>"));
  // No replies, and without the wrapper no back channel.
  EXPECT_TRUE(report.replies.empty() && report.backChannelAsks == 0 && !movie.plugin->m_backChannelStreamReady);

  const std::string event = "<array><property id=\"0\"><string>onActivate</string></property></array>";
  NPVariant result{};
  movie.plugin->sendSyncMessage("zApplication.onEventSync", event, &result);
  EXPECT_EQ(result.type, NPVariantType_Void);
  movie.plugin->sendSyncMessageWrap("zApplication.onEventSync", "<array/>");
  EXPECT_EQ(report.syncEvents, (std::vector<std::string>{event, "<array/>"}));
}

TEST_F(EndToEnd, BackChannelMessagesArriveOnePerRequestOldestFirst) {
  ASSERT_TRUE(makeApplication(KW_STANDIN_PLUGIN_BUNDLE));
  Movie& movie = open(makeMovie({{}}, false), "main");
  const StandInReport& report = *reportOf(movie);
  std::string longMessage = "ARRAY_OF_STRINGS=onDrop~!";
  while (longMessage.size() < 3000) longMessage += static_cast<char>('a' + longMessage.size() % 26);
  const std::vector<std::string> sent = {"ARRAY_OF_STRINGS=onActivate", "ARRAY_OF_STRINGS=onMinimize", longMessage};
  for (const auto& message : sent) EXPECT_EQ(movie.plugin->sendMessageToSWF(message), -202);

  for (size_t delivered = 1; delivered <= sent.size(); ++delivered) {
    frameTick();  // the movie asks for the channel again, and the oldest message answers
    EXPECT_EQ(report.backChannelMessages, std::vector<std::string>(sent.begin(), sent.begin() + static_cast<ptrdiff_t>(delivered)));
  }
  // Once the queue is empty the request waits, and a message goes out at once.
  frameTick();
  EXPECT_EQ(movie.plugin->sendMessageToSWF("ARRAY_OF_STRINGS=onQuit"), 0);
  EXPECT_EQ(report.backChannelMessages.back(), "ARRAY_OF_STRINGS=onQuit");
  EXPECT_EQ(movie.plugin->sendMessageToSWF("ARRAY_OF_STRINGS=onClose"), -202);  // waits for the next ask
}

TEST_F(EndToEnd, CommandNamingTheOtherWindowRunsThereAndItsCloseComesAHundredthLater) {
  ASSERT_TRUE(makeApplication(KW_STANDIN_PLUGIN_BUNDLE));
  std::string getParameter, close;
  auto [main, other] = openTwo([&](const std::string& id) {
    getParameter = "KW://KW_zWindow.getParameter?windowID=" + id;
    close = "KW://KW_zWindow.close?windowID=" + id;
    return std::vector<Pairs>{{{getParameter, ""}, {close, ""}}};
  });
  PluginWindow* otherWindow = other->window.get();
  std::vector<PluginWindow*> removed;
  notifications.addObserver(notification::kRemoveWindowFromList,
                            [&](const std::any& object) { removed.push_back(std::any_cast<PluginWindow*>(object)); });

  const double started = runLoop.now();
  frameTick();
  EXPECT_TRUE(main->window->received.empty());
  EXPECT_EQ(std::tie(other->window->received, removed), std::make_tuple(std::vector<int32_t>{306},
                                                                       std::vector<PluginWindow*>{otherWindow}));
  runLoop.runFor(0.009);
  EXPECT_TRUE(closer.closed.empty());
  runLoop.runFor(0.001);
  ASSERT_EQ(closer.closed.size(), 1u);
  EXPECT_EQ(closer.closed[0].first, otherWindow);
  EXPECT_DOUBLE_EQ(closer.closed[0].second, started + 0.01);
  EXPECT_EQ(registry.plugins(), std::vector<FlashPlugin*>{main->plugin.get()});
  play(0.2);
  EXPECT_EQ(std::make_tuple(variablesOf(*reportOf(*main), getParameter), variablesOf(*reportOf(*main), close)),
            std::make_tuple("&returnValue=second", ""));
}

TEST_F(EndToEnd, DestroyedInstanceIsTaggedNutsAndRequestsNamingItEndWithANetworkError) {
  ASSERT_TRUE(makeApplication(KW_STANDIN_PLUGIN_BUNDLE));
  std::vector<std::string> requests;
  auto [main, other] = openTwo([&](const std::string& id) {
    requests = {"KW://KW_zWindow.getParameter?windowID=" + id, "KW://KW_zWindow.close?windowID=" + id};
    return std::vector<Pairs>{{{requests[0], ""}, {requests[1], ""}}};
  });
  other->plugin->destroy();
  EXPECT_EQ(other->plugin->sanityCheck, kPluginNuts);
  EXPECT_EQ(reportOf(*other), nullptr);  // the plug-in let its instance go
  play(6);  // past the requests' deadline
  EXPECT_TRUE(other->window->received.empty());
  EXPECT_TRUE(closer.closed.empty());
  const StandInReport& report = *reportOf(*main);
  for (const auto& stream : report.streams) {  // the requests' streams carry nothing
    if (stream.mimeType != requests[0] && stream.mimeType != requests[1]) continue;
    EXPECT_TRUE(stream.bytes.empty());
    EXPECT_EQ(stream.reason, NPRES_NETWORK_ERR);
  }
  ASSERT_EQ(report.notifications.size(), 2u);
  EXPECT_EQ(report.notifications[0].url, requests[0]);
  for (const auto& notification : report.notifications) EXPECT_EQ(notification.reason, NPRES_NETWORK_ERR);
}

}  // namespace
}  // namespace kw::test
