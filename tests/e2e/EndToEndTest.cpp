// End-to-end runs of the host with the real stand-in plug-in: loading it from an
// application bundle, starting movies, commands of ActionScript 2 and 3 movies,
// the back channel, and commands between two windows.
#include <gtest/gtest.h>

#include <algorithm>
#include <any>
#include <string>
#include <vector>

#include "mac/platform/SystemLog.h"
#include "tests/e2e/EndToEndHost.h"

namespace kw::test {
namespace {

using Arguments = std::vector<std::pair<std::string, std::string>>;

constexpr uint16_t kActivate = 8;
constexpr uint16_t kGetFocus = 31;

// ---- Loading ----

using PluginLoading = EndToEndHost;

TEST_F(PluginLoading, TooOldPluginIsRefusedWithAnAlertAndTheApplicationEnds) {
  alerts.answers = {1};  // "Cancel"
  EXPECT_FALSE(makeApplication(KW_STANDIN_TOOOLD_BUNDLE));
  ASSERT_EQ(alerts.shown.size(), 1u);
  EXPECT_EQ(alerts.shown[0].title, "Plugin version too old");
  EXPECT_EQ(alerts.shown[0].text, "A minimum of Flash 8r27 is required");
  EXPECT_EQ(alerts.shown[0].buttons, (std::vector<std::string>{"Download", "Cancel"}));
  EXPECT_TRUE(workspace.opened.empty());
  EXPECT_EQ(application.terminations, 1);
}

TEST_F(PluginLoading, MissingPluginIsReportedAndDownloadOpensTheDownloadPage) {
  EXPECT_FALSE(makeApplication(std::nullopt));
  ASSERT_EQ(alerts.shown.size(), 1u);
  EXPECT_EQ(alerts.shown[0].title, "Plugin Not Found");
  EXPECT_EQ(alerts.shown[0].text, "The Flash plugin is required and could not be found");
  EXPECT_EQ(alerts.shown[0].buttons, (std::vector<std::string>{"Download", "Cancel"}));
  EXPECT_EQ(workspace.opened, std::vector<std::string>{PluginLocation{}.downloadPage});
  EXPECT_EQ(application.terminations, 1);
}

TEST_F(PluginLoading, PluginWithoutEntryPointsFailsBindingAndMakesNoInstance) {
  ASSERT_TRUE(makeApplication(KW_STANDIN_NOENTRY_BUNDLE));
  MovieWindow& movie = openMovie(makeMovie({{}}, false), "main");
  EXPECT_EQ(movie.status, 666);
  EXPECT_EQ(movie.plugin->instance()->ndata, nullptr);
  EXPECT_EQ(movie.plugin->instance()->pdata, nullptr);
  EXPECT_EQ(reportOf(movie), nullptr);
}

// ---- Start-up ----

using StartUp = EndToEndHost;

TEST_F(StartUp, ActionScript2MovieGetsTheEmbedArgumentsAndTheMergedMovieInOneWrite) {
  ASSERT_TRUE(makeApplication(KW_STANDIN_PLUGIN_BUNDLE));
  const swf::Bytes bytes = makeMovie({{}, {}}, false);
  MovieWindow& movie = openMovie(bytes, "main", 3);
  ASSERT_EQ(movie.status, 0);
  EXPECT_TRUE(alerts.shown.empty());
  EXPECT_EQ(pluginOf(movie.plugin->instance()), movie.plugin.get());
  const standin::StandInReport& report = *reportOf(movie);
  EXPECT_EQ(report.mimeType, "application/x-shockwave-flash");
  EXPECT_EQ(report.mode, NP_EMBED);
  EXPECT_EQ(report.arguments, (Arguments{{"src", "URLcString"},
                                         {"wmode", "transparent"},
                                         {"quality", "best"},
                                         {"loop", "true"},
                                         {"WIDTH", "100%"},
                                         {"HEIGHT", "100%"},
                                         {"SCROLL", "NO"},
                                         {"allowScriptAccess", "always"},
                                         {"FULLPAGE", ""},
                                         {"allowNetworking", "all"}}));
  ASSERT_EQ(report.streams.size(), 1u);
  const standin::ReportedStream& stream = report.streams[0];
  EXPECT_EQ(stream.url, "file://" + (resources() / "zvdata.zve").string());
  EXPECT_EQ(stream.mimeType, "application/x-shockwave-flash");
  EXPECT_EQ(stream.end, bytes.size());
  EXPECT_EQ(stream.writes, 1u);
  EXPECT_TRUE(stream.destroyed);
  EXPECT_EQ(stream.reason, NPRES_DONE);
  EXPECT_TRUE(report.movieReadable);
  EXPECT_TRUE(report.movieHasWrapper);
  EXPECT_FALSE(report.movieActionScript3);
  EXPECT_EQ(report.movieFrames, 2u);
  ASSERT_EQ(report.events.size(), 2u);
  EXPECT_EQ(report.events[0].what, kActivate);
  EXPECT_EQ(report.events[1].what, kGetFocus);
  EXPECT_EQ(report.events[0].message, 31u);
  EXPECT_EQ(report.events[1].message, 31u);

  // The wrapper's first frame asks for the back channel, and the host keeps it waiting.
  EXPECT_EQ(report.backChannelAsks, 0u);
  frameTick();
  EXPECT_EQ(report.backChannelAsks, 1u);
  EXPECT_TRUE(movie.plugin->m_backChannelStreamReady);
}

TEST_F(StartUp, ActionScript3MovieArrivesUnmergedAndAsksForNoBackChannel) {
  ASSERT_TRUE(makeApplication(KW_STANDIN_PLUGIN_BUNDLE));
  const swf::Bytes bytes = makeMovie({{}}, true);
  MovieWindow& movie = openMovie(bytes, "main");
  ASSERT_EQ(movie.status, 0);
  const standin::StandInReport& report = *reportOf(movie);
  EXPECT_EQ(report.arguments[1], (std::pair<std::string, std::string>{"wmode", "normal"}));
  ASSERT_EQ(report.streams.size(), 1u);
  EXPECT_EQ(report.streams[0].bytes, std::string(bytes.begin(), bytes.end()));
  EXPECT_TRUE(report.movieActionScript3);
  EXPECT_FALSE(report.movieHasWrapper);
  play(0.5);
  EXPECT_EQ(report.backChannelAsks, 0u);
  EXPECT_FALSE(movie.plugin->m_backChannelStreamReady);
}

TEST_F(StartUp, OpaqueMoviePaintsItsBackgroundColourIntoThePort) {
  ASSERT_TRUE(makeApplication(KW_STANDIN_PLUGIN_BUNDLE));
  MovieWindow& movie = openMovie(makeMovie({{}}, false, 0x336699), "main");
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

  // Printing draws the same picture into a bitmap of the window's size.
  const std::unique_ptr<GrafPort> printed = movie.plugin->printedPluginBitmap();
  ASSERT_NE(printed, nullptr);
  EXPECT_EQ(printed->width, 200);
  EXPECT_EQ(printed->pixels[0], 0xFF336699u);
}

// ---- Commands of an ActionScript 2 movie: URL requests answered as loaded variables ----

using ActionScript2Commands = EndToEndHost;

TEST_F(ActionScript2Commands, RequestsAreAnsweredAsLoadedVariablesAfterThePoll) {
  ASSERT_TRUE(makeApplication(KW_STANDIN_PLUGIN_BUNDLE));
  const std::string getParameter = "KW://KW_zWindow.getParameter?windowID=0";
  const std::string trace = "KW://KW_trace?msg=Hello%20World";
  const std::string monitor = "KW://KW_getMonitorNumber?returnVarName1=n";
  MovieWindow& movie = openMovie(makeMovie({{{getParameter, ""}}, {{trace, ""}}, {{monitor, ""}}}, false), "main");
  const standin::StandInReport& report = *reportOf(movie);

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
  // Every request was ended by its reply, with the movie's own notify data.
  ASSERT_EQ(report.notifications.size(), 3u);
  for (const auto& notification : report.notifications) EXPECT_EQ(notification.reason, NPRES_DONE);
  for (const auto& stream : report.streams) EXPECT_TRUE(stream.destroyed);
}

// ---- ActionScript 3 movie: ExternalInterface calls answered at once ----

using ActionScript3Calls = EndToEndHost;

TEST_F(ActionScript3Calls, ExternalInterfaceCallsGetXmlAtOnceAndEventsReachOnEventSync) {
  ASSERT_TRUE(makeApplication(KW_STANDIN_PLUGIN_BUNDLE));
  const Frames frames = {{{"KW://KW_zWindow.getParameter?windowID=0", "_ExternalInterface"}},
                         {{"[\"zWindow\",\"getParameter\"]", "_ExternalInterface"}},
                         {{"KW://KW_getMonitorNumber", "_ExternalInterface"}}};
  MovieWindow& movie = openMovie(makeMovie(frames, true), "main");
  const standin::StandInReport& report = *reportOf(movie);

  frameTick();
  ASSERT_EQ(report.externalCalls.size(), 1u);  // answered inside the frame, no poll
  EXPECT_EQ(report.externalCalls[0].xml, "<string>main</string>");
  play(0.3);
  ASSERT_EQ(report.externalCalls.size(), 3u);
  EXPECT_EQ(report.externalCalls[1].script,
            "try { __flash__toXML(KW_call2([\\\"zWindow\\\",\\\"getParameter\\\"])) ; } catch (e) { \"<undefined/>\"; }");
  EXPECT_EQ(report.externalCalls[1].xml, "<string>main</string>");
  EXPECT_EQ(report.externalCalls[2].xml, "<number>1</number>");
  for (const auto& call : report.externalCalls) EXPECT_TRUE(call.evaluated);
  EXPECT_TRUE(report.replies.empty());

  const std::string event = "<array><property id=\"0\"><string>onActivate</string></property></array>";
  NPVariant result{};
  movie.plugin->sendSyncMessage("zApplication.onEventSync", event, &result);
  EXPECT_EQ(result.type, NPVariantType_Void);
  movie.plugin->sendSyncMessageWrap("zApplication.onEventSync", "<array/>");
  EXPECT_EQ(report.syncEvents, (std::vector<std::string>{event, "<array/>"}));
}

// ---- Back channel of an ActionScript 2 movie ----

using BackChannel = EndToEndHost;

TEST_F(BackChannel, MessagesSentBeforeTheChannelWaitsArriveOnePerRequestOldestFirst) {
  ASSERT_TRUE(makeApplication(KW_STANDIN_PLUGIN_BUNDLE));
  MovieWindow& movie = openMovie(makeMovie({{}}, false), "main");
  const standin::StandInReport& report = *reportOf(movie);

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
  EXPECT_EQ(report.backChannelMessages.back().size(), 3000u);

  // Once the queue is empty the request waits, and a message goes out at once.
  frameTick();
  EXPECT_TRUE(movie.plugin->m_backChannelStreamReady);
  EXPECT_EQ(movie.plugin->sendMessageToSWF("ARRAY_OF_STRINGS=onQuit"), 0);
  EXPECT_EQ(report.backChannelMessages.back(), "ARRAY_OF_STRINGS=onQuit");
  EXPECT_EQ(report.backChannelMessages.size(), 4u);
  // Until the movie asks again, the next one waits (and is freed with the instance).
  EXPECT_EQ(movie.plugin->sendMessageToSWF("ARRAY_OF_STRINGS=onClose"), -202);
}

// ---- Two windows: commands that name another window ----

using TwoWindows = EndToEndHost;

TEST_F(TwoWindows, CommandNamingTheOtherWindowRunsThereAndItsCloseComesLater) {
  ASSERT_TRUE(makeApplication(KW_STANDIN_PLUGIN_BUNDLE));
  MovieWindow& other = openMovie(makeMovie({{}}, false), "second", 0, "other.zve");
  PluginWindow* otherWindow = other.window.get();
  const std::string id = std::to_string(identityOf(other));
  ASSERT_NE(id, "0");
  const std::string getParameter = "KW://KW_zWindow.getParameter?windowID=" + id;
  const std::string close = "KW://KW_zWindow.close?windowID=" + id;
  MovieWindow& main = openMovie(makeMovie({{{getParameter, ""}, {close, ""}}}, false), "main");
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
  const standin::StandInReport& report = *reportOf(main);
  EXPECT_EQ(variablesOf(report, getParameter), "&returnValue=second");
  EXPECT_EQ(variablesOf(report, close), "");
}

TEST_F(TwoWindows, MovieClosingItsOwnWindowGoesWithoutAReply) {
  ASSERT_TRUE(makeApplication(KW_STANDIN_PLUGIN_BUNDLE));
  MovieWindow& other = openMovie(makeMovie({{}}, false), "second", 0, "other.zve");
  MovieWindow& main = openMovie(makeMovie({{{"KW://KW_zWindow.close?windowID=0", ""}}}, false), "main");
  PluginWindow* mainWindow = main.window.get();

  frameTick();
  play(0.5);  // closed after 0.01 s; the reply's poll at 0.1 s finds its movie gone
  ASSERT_EQ(closer.closed.size(), 1u);
  EXPECT_EQ(closer.closed[0].first, mainWindow);
  ASSERT_EQ(movies.size(), 1u);
  EXPECT_EQ(registry.plugins(), std::vector<FlashPlugin*>{other.plugin.get()});
  const size_t events = reportOf(other)->events.size();
  frameTick();  // the remaining movie plays on
  EXPECT_EQ(reportOf(other)->events.size(), events + 1);
}

TEST_F(TwoWindows, DestroyedInstanceIsTaggedNutsAndCommandsNamingItDoNothing) {
  ASSERT_TRUE(makeApplication(KW_STANDIN_PLUGIN_BUNDLE));
  MovieWindow& other = openMovie(makeMovie({{}}, false), "second", 0, "other.zve");
  const std::string id = std::to_string(identityOf(other));
  const std::string getParameter = "KW://KW_zWindow.getParameter?windowID=" + id;
  const std::string close = "KW://KW_zWindow.close?windowID=" + id;
  MovieWindow& main = openMovie(makeMovie({{{getParameter, ""}, {close, ""}}}, false), "main");

  other.plugin->destroy();
  EXPECT_EQ(other.plugin->sanityCheck, kPluginNuts);
  EXPECT_EQ(reportOf(other), nullptr);  // the plug-in let its instance go

  frameTick();
  play(6);  // past the requests' deadline
  EXPECT_TRUE(other.window->received.empty());
  EXPECT_TRUE(closer.closed.empty());
  // The requests were not left hanging: each ended with a network error and no data.
  const standin::StandInReport& report = *reportOf(main);
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
  EXPECT_EQ(report.notifications[0].reason, NPRES_NETWORK_ERR);
  EXPECT_EQ(report.notifications[1].reason, NPRES_NETWORK_ERR);
}

}  // namespace
}  // namespace kw::test
