// End-to-end runs of the host with the real stand-in plug-in, loaded from a
// generated application bundle: loading, start-up, commands of ActionScript 2
// and 3 movies, the back channel, and commands between two windows.
#include <algorithm>
#include <any>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "mac/platform/Bundle.h"
#include "mac/platform/SystemLog.h"
#include "mac/pluginhost/NotFoundUrlLoader.h"
#include "mac/pluginhost/PluginLocator.h"
#include "mac/windows/MovieHeaderProbe.h"
#include "tests/support/TestWindow.h"
#include "tools/standin/StandInReport.h"
#include "tools/swf/SwfWriter.h"

namespace kw::test {
namespace {

using Arguments = std::vector<std::pair<std::string, std::string>>;
using standin::StandInReport;
constexpr uint16_t kActivate = 8, kGetFocus = 31;
constexpr QDRect kPortRect{0, 0, 150, 200};

// A movie whose frames each make the given getURL requests (URL, target).
using Frames = std::vector<std::vector<std::pair<std::string, std::string>>>;
swf::Bytes makeMovie(const Frames& frames, bool actionScript3, uint32_t background = 0x336699) {
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

  std::filesystem::path resources() const { return appPath / "Contents" / "Resources"; }

  // X.app with its Info.plist, the wrapper movie and, when given, a plug-in
  // bundle as "fpb.plugin"; then the real locator looks for the plug-in.
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
    where.systemPlugin = dir.path() / "no-system-plugin";
    plugin = locatePlugin(where, alerts, workspace, application);
    return plugin.has_value();
  }

  // A movie window as the view makes it: the movie is written to the
  // resources, and its header decides whether the wrapper is merged.
  Movie& open(const swf::Bytes& bytes, const char* parameter, int32_t windowType = 0,
              const std::string& name = "zvdata.zve") {
    const std::filesystem::path file = resources() / name;
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

// ---- Loading ----

TEST_F(EndToEnd, MissingOrTooOldPluginIsReportedAndTheApplicationEnds) {
  struct Case {
    std::optional<std::filesystem::path> bundle;
    size_t answer;
    const char *title, *text;
    std::vector<std::string> opened;
  };
  const Case cases[] = {
      {std::nullopt, 0, "Plugin Not Found", "The Flash plugin is required and could not be found",
       {PluginLocation{}.downloadPage}},
      {KW_STANDIN_TOOOLD_BUNDLE, 1, "Plugin version too old", "A minimum of Flash 8r27 is required", {}}};
  for (const Case& c : cases) {
    std::filesystem::remove_all(appPath);
    alerts.answers = {c.answer};  // "Download" or "Cancel"
    alerts.shown.clear();
    workspace.opened.clear();
    application.terminations = 0;
    EXPECT_FALSE(makeApplication(c.bundle)) << c.title;
    ASSERT_EQ(alerts.shown.size(), 1u);
    EXPECT_EQ(alerts.shown[0].title, c.title);
    EXPECT_EQ(alerts.shown[0].text, c.text);
    EXPECT_EQ(alerts.shown[0].buttons, (std::vector<std::string>{"Download", "Cancel"}));
    EXPECT_EQ(workspace.opened, c.opened);
    EXPECT_EQ(application.terminations, 1);
  }
}

TEST_F(EndToEnd, PluginWithoutEntryPointsFailsBindingWith666AndMakesNoInstance) {
  ASSERT_TRUE(makeApplication(KW_STANDIN_NOENTRY_BUNDLE));
  Movie& movie = open(makeMovie({{}}, false), "main");
  EXPECT_EQ(movie.status, 666);
  EXPECT_EQ(movie.plugin->instance()->ndata, nullptr);
  EXPECT_EQ(movie.plugin->instance()->pdata, nullptr);
  EXPECT_EQ(reportOf(movie), nullptr);
}

// ---- Start-up ----

TEST_F(EndToEnd, ActionScript2MovieGetsTheEmbedArgumentsAndTheMergedMovieInOneWrite) {
  ASSERT_TRUE(makeApplication(KW_STANDIN_PLUGIN_BUNDLE));
  const swf::Bytes bytes = makeMovie({{}, {}}, false);
  Movie& movie = open(bytes, "main", 3);
  ASSERT_EQ(movie.status, 0);
  EXPECT_TRUE(alerts.shown.empty());
  EXPECT_EQ(pluginOf(movie.plugin->instance()), movie.plugin.get());
  const StandInReport& report = *reportOf(movie);
  EXPECT_EQ(report.mimeType, "application/x-shockwave-flash");
  EXPECT_EQ(report.mode, NP_EMBED);
  EXPECT_EQ(report.arguments, (Arguments{{"src", "URLcString"}, {"wmode", "transparent"}, {"quality", "best"},
                                         {"loop", "true"}, {"WIDTH", "100%"}, {"HEIGHT", "100%"},
                                         {"SCROLL", "NO"}, {"allowScriptAccess", "always"}, {"FULLPAGE", ""},
                                         {"allowNetworking", "all"}}));
  ASSERT_EQ(report.streams.size(), 1u);
  const standin::ReportedStream& stream = report.streams[0];
  EXPECT_EQ(stream.url, "file://" + (resources() / "zvdata.zve").string());
  EXPECT_EQ(stream.mimeType, "application/x-shockwave-flash");
  EXPECT_EQ(stream.end, bytes.size());
  EXPECT_EQ(stream.writes, 1u);
  EXPECT_EQ(stream.reason, NPRES_DONE);
  EXPECT_TRUE(report.movieReadable);
  EXPECT_TRUE(report.movieHasWrapper);
  EXPECT_EQ(report.movieFrames, 2u);
  ASSERT_EQ(report.events.size(), 2u);
  EXPECT_EQ(report.events[0].what, kActivate);
  EXPECT_EQ(report.events[1].what, kGetFocus);
  EXPECT_EQ(report.events[0].message, 31u);

  // The wrapper's first frame asks for the back channel, and the host keeps it waiting.
  EXPECT_EQ(report.backChannelAsks, 0u);
  frameTick();
  EXPECT_EQ(report.backChannelAsks, 1u);
  EXPECT_TRUE(movie.plugin->m_backChannelStreamReady);
}

TEST_F(EndToEnd, ActionScript3MovieArrivesUnmergedAndAsksForNoBackChannel) {
  ASSERT_TRUE(makeApplication(KW_STANDIN_PLUGIN_BUNDLE));
  const swf::Bytes bytes = makeMovie({{}}, true);
  Movie& movie = open(bytes, "main");
  ASSERT_EQ(movie.status, 0);
  const StandInReport& report = *reportOf(movie);
  EXPECT_EQ(report.arguments[1], (std::pair<std::string, std::string>{"wmode", "normal"}));
  EXPECT_EQ(report.streams.at(0).bytes, std::string(bytes.begin(), bytes.end()));
  EXPECT_TRUE(report.movieActionScript3);
  EXPECT_FALSE(report.movieHasWrapper);
  play(0.5);
  EXPECT_EQ(report.backChannelAsks, 0u);
  EXPECT_FALSE(movie.plugin->m_backChannelStreamReady);
}

TEST_F(EndToEnd, OpaqueMoviePaintsItsBackgroundColourIntoThePortAndThePrint) {
  ASSERT_TRUE(makeApplication(KW_STANDIN_PLUGIN_BUNDLE));
  Movie& movie = open(makeMovie({{}}, false, 0x336699), "main");
  const GrafPort& port = *movie.port;
  EXPECT_EQ(port.pixels[0], 0xFF000000u);  // nothing drawn before the first frame
  frameTick();
  EXPECT_EQ(reportOf(movie)->paints, 1u);
  EXPECT_EQ(port.pixels[0], 0xFF336699u);
  EXPECT_EQ(port.pixels.back(), 0xFF336699u);
  // The moving mark, blended towards the inverse colour, crosses the middle row.
  const auto middle = port.pixels.begin() + 75 * port.width;
  EXPECT_NE(std::count(middle, middle + port.width, 0xFF336699u), port.width);
  EXPECT_EQ(port.origin, (QDPoint{0, 0}));
  const std::unique_ptr<GrafPort> printed = movie.plugin->printedPluginBitmap();
  ASSERT_NE(printed, nullptr);
  EXPECT_EQ(printed->width, 200);
  EXPECT_EQ(printed->pixels[0], 0xFF336699u);
}

// ---- Commands: URL requests answered as loaded variables, ExternalInterface calls at once ----

TEST_F(EndToEnd, ActionScript2RequestsAreAnsweredAsLoadedVariablesAfterThePoll) {
  ASSERT_TRUE(makeApplication(KW_STANDIN_PLUGIN_BUNDLE));
  const std::string getParameter = "KW://KW_zWindow.getParameter?windowID=0";
  const std::string trace = "KW://KW_trace?msg=Hello%20World";
  const std::string monitor = "KW://KW_getMonitorNumber?returnVarName1=n";
  Movie& movie = open(makeMovie({{{getParameter, ""}}, {{trace, ""}}, {{monitor, ""}}}, false), "main");
  const StandInReport& report = *reportOf(movie);

  ScopedLogCapture log;
  frameTick();  // frame 1 asks for the parameter
  ASSERT_EQ(report.framesPlayed, 1u);
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
  for (const auto& stream : report.streams) EXPECT_TRUE(stream.destroyed);
}

TEST_F(EndToEnd, ActionScript3CallsGetXmlAtOnceAndEventsReachOnEventSync) {
  ASSERT_TRUE(makeApplication(KW_STANDIN_PLUGIN_BUNDLE));
  const Frames frames = {{{"KW://KW_zWindow.getParameter?windowID=0", "_ExternalInterface"}},
                         {{"[\"zWindow\",\"getParameter\"]", "_ExternalInterface"}},
                         {{"KW://KW_getMonitorNumber", "_ExternalInterface"}}};
  Movie& movie = open(makeMovie(frames, true), "main");
  const StandInReport& report = *reportOf(movie);

  frameTick();
  ASSERT_EQ(report.externalCalls.size(), 1u);  // answered inside the frame, no poll
  EXPECT_EQ(report.externalCalls[0].xml, "<string>main</string>");
  play(0.3);
  ASSERT_EQ(report.externalCalls.size(), 3u);
  EXPECT_EQ(report.externalCalls[1].script,
            "try { __flash__toXML(KW_call2([\\\"zWindow\\\",\\\"getParameter\\\"])) ; } catch (e) { \"<undefined/>\"; }");
  EXPECT_EQ(report.externalCalls[1].xml, "<string>main</string>");
  EXPECT_EQ(report.externalCalls[2].xml, "<number>1</number>");
  EXPECT_TRUE(report.replies.empty());

  const std::string event = "<array><property id=\"0\"><string>onActivate</string></property></array>";
  NPVariant result{};
  movie.plugin->sendSyncMessage("zApplication.onEventSync", event, &result);
  EXPECT_EQ(result.type, NPVariantType_Void);
  movie.plugin->sendSyncMessageWrap("zApplication.onEventSync", "<array/>");
  EXPECT_EQ(report.syncEvents, (std::vector<std::string>{event, "<array/>"}));
}

// ---- The back channel ----

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
    ASSERT_EQ(report.backChannelMessages.size(), delivered);
    EXPECT_EQ(report.backChannelMessages.back(), sent[delivered - 1]);
    EXPECT_EQ(report.backChannelAsks, delivered);
  }
  // Once the queue is empty the request waits, and a message goes out at once.
  frameTick();
  EXPECT_TRUE(movie.plugin->m_backChannelStreamReady);
  EXPECT_EQ(movie.plugin->sendMessageToSWF("ARRAY_OF_STRINGS=onQuit"), 0);
  EXPECT_EQ(report.backChannelMessages.back(), "ARRAY_OF_STRINGS=onQuit");
  // Until the movie asks again, the next one waits (and is freed with the instance).
  EXPECT_EQ(movie.plugin->sendMessageToSWF("ARRAY_OF_STRINGS=onClose"), -202);
}

// ---- Two windows ----

TEST_F(EndToEnd, CommandNamingTheOtherWindowRunsThereAndItsCloseComesAHundredthLater) {
  ASSERT_TRUE(makeApplication(KW_STANDIN_PLUGIN_BUNDLE));
  Movie& other = open(makeMovie({{}}, false), "second", 0, "other.zve");
  PluginWindow* otherWindow = other.window.get();
  const std::string getParameter = "KW://KW_zWindow.getParameter?windowID=" + idOf(other);
  const std::string close = "KW://KW_zWindow.close?windowID=" + idOf(other);
  Movie& main = open(makeMovie({{{getParameter, ""}, {close, ""}}}, false), "main");
  std::vector<PluginWindow*> removed;
  notifications.addObserver(notification::kRemoveWindowFromList,
                            [&](const std::any& object) { removed.push_back(std::any_cast<PluginWindow*>(object)); });

  const double started = runLoop.now();
  frameTick();
  EXPECT_EQ(other.window->received, std::vector<int32_t>{306});
  EXPECT_TRUE(main.window->received.empty());
  EXPECT_EQ(removed, std::vector<PluginWindow*>{otherWindow});
  runLoop.runFor(0.009);
  EXPECT_TRUE(closer.closed.empty());
  runLoop.runFor(0.001);
  ASSERT_EQ(closer.closed.size(), 1u);
  EXPECT_EQ(closer.closed[0].first, otherWindow);
  EXPECT_DOUBLE_EQ(closer.closed[0].second, started + 0.01);
  EXPECT_EQ(registry.plugins(), std::vector<FlashPlugin*>{main.plugin.get()});

  play(0.2);
  EXPECT_EQ(variablesOf(*reportOf(main), getParameter), "&returnValue=second");
  EXPECT_EQ(variablesOf(*reportOf(main), close), "");
}

TEST_F(EndToEnd, MovieClosingItsOwnWindowGoesWithoutAReply) {
  ASSERT_TRUE(makeApplication(KW_STANDIN_PLUGIN_BUNDLE));
  Movie& other = open(makeMovie({{}}, false), "second", 0, "other.zve");
  Movie& main = open(makeMovie({{{"KW://KW_zWindow.close?windowID=0", ""}}}, false), "main");
  PluginWindow* mainWindow = main.window.get();
  frameTick();
  play(0.5);  // closed after 0.01 s; the reply's poll at 0.1 s finds its movie gone
  ASSERT_EQ(closer.closed.size(), 1u);
  EXPECT_EQ(closer.closed[0].first, mainWindow);
  EXPECT_EQ(registry.plugins(), std::vector<FlashPlugin*>{other.plugin.get()});
  const size_t events = reportOf(other)->events.size();
  frameTick();  // the remaining movie plays on
  EXPECT_EQ(reportOf(other)->events.size(), events + 1);
}

TEST_F(EndToEnd, DestroyedInstanceIsTaggedNutsAndRequestsNamingItEndWithANetworkError) {
  ASSERT_TRUE(makeApplication(KW_STANDIN_PLUGIN_BUNDLE));
  Movie& other = open(makeMovie({{}}, false), "second", 0, "other.zve");
  const std::string getParameter = "KW://KW_zWindow.getParameter?windowID=" + idOf(other);
  const std::string close = "KW://KW_zWindow.close?windowID=" + idOf(other);
  Movie& main = open(makeMovie({{{getParameter, ""}, {close, ""}}}, false), "main");

  other.plugin->destroy();
  EXPECT_EQ(other.plugin->sanityCheck, kPluginNuts);
  EXPECT_EQ(reportOf(other), nullptr);  // the plug-in let its instance go
  frameTick();
  play(6);  // past the requests' deadline
  EXPECT_TRUE(other.window->received.empty());
  EXPECT_TRUE(closer.closed.empty());
  const StandInReport& report = *reportOf(main);
  size_t requestStreams = 0;
  for (const auto& stream : report.streams) {
    if (stream.mimeType != getParameter && stream.mimeType != close) continue;
    ++requestStreams;
    EXPECT_TRUE(stream.bytes.empty());
    EXPECT_EQ(stream.reason, NPRES_NETWORK_ERR);
  }
  EXPECT_EQ(requestStreams, 2u);
  ASSERT_EQ(report.notifications.size(), 2u);
  EXPECT_EQ(report.notifications[0].url, getParameter);
  for (const auto& notification : report.notifications) EXPECT_EQ(notification.reason, NPRES_NETWORK_ERR);
}

}  // namespace
}  // namespace kw::test
