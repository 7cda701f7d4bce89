// The plug-in instance and its stream records against the fake plug-in: the rules and faults around what
// tests/e2e proves with the stand-in (embed arguments, merged movie, events, printing, back channel order).
#include <string>
#include <utility>
#include <vector>

#include "mac/platform/Events.h"
#include "mac/platform/SystemLog.h"
#include "mac/pluginhost/Variants.h"
#include "tests/support/SwfTestMovies.h"
#include "tests/support/TestHost.h"

namespace kw {
namespace {

using Longs = std::vector<long>;  // compares fields of mixed types at once

class FlashPluginTest : public test::TestHost {
 protected:
  // Makes, registers and starts an instance with the fake's entry points.
  Status start(bool pushWrapper = true) {
    entryPoints = fake.entryPoints();
    plugin = std::make_unique<FlashPlugin>(*host, pushWrapper);
    enlist(*plugin);
    return plugin->initialize(args);
  }
  // The routing's part of a back channel request: note it, then send the oldest queued message on it.
  void backChannelRequest(void* notifyData) {
    plugin->m_backChannelStreamReady = true;
    plugin->m_backChannelStreamNotifyData = notifyData;
    if (auto message = plugin->m_commandQueue.takeOldest()) plugin->sendMessageToSWF(*message);
  }

  test::RecordingWindow window;
  GrafPort port{200, 150};
  swf::Bytes movie = test::userMovie().build();
  PluginEntryPoints entryPoints;
  FlashPlugin::InitializeArgs args{.port = &port, .movieURL = "file:///movies/intro.swf",
                                   .movieFile = dir.write("zvdata.zve", movie), .entryPoints = &entryPoints,
                                   .wrapperFile = dir.write("RidavOdarez.zve", test::wrapperMovie()),
                                   .portRect = {10, 20, 160, 220},  // top, left, bottom, right: 200 x 150
                                   .window = &window};
  std::unique_ptr<FlashPlugin> plugin;
};

TEST_F(FlashPluginTest, StartUpDescribesThePortInTheWindowRecordKeeps2047UrlCharactersAndTypeThreeIsTransparent) {
  ASSERT_EQ(start(), kStatusOK);
  const auto& call = fake.windowCalls.at(0);
  const NPRect& clip = call.window.clipRect;
  EXPECT_EQ(call.window.type, NPWindowTypeWindow);
  EXPECT_EQ((Longs{call.window.x, call.window.y, call.window.width, call.window.height}), (Longs{20, 10, 200, 150}));
  EXPECT_EQ((Longs{clip.top, clip.left, clip.bottom, clip.right, call.port.portx, call.port.porty}),
            (Longs{10, 20, 160, 220, -20, -10}));
  EXPECT_EQ(call.portOrigin, (QDPoint{-10, -20}));
  EXPECT_EQ(fake.eventCalls.at(0).portOrigin, (QDPoint{-10, -20}));
  EXPECT_EQ(port.origin, (QDPoint{0, 0}));
  plugin->setupWindowInfo(QDRect{100, 100, 50, 40});  // inverted: empty, not huge, and nothing to print
  EXPECT_EQ((Longs{plugin->m_NPWindow.width, plugin->m_NPWindow.height}), (Longs{0, 0}));
  EXPECT_EQ(plugin->printedPluginBitmap(), nullptr);
  EXPECT_TRUE(fake.printCalls.empty());
  args.movieURL = "file:///" + std::string(2047 - 8, 'u');  // 2047 URL characters are kept
  ASSERT_EQ(start(), kStatusOK);
  EXPECT_EQ(fake.streams.back().url, args.movieURL);
  const std::string longer = args.movieURL + "tail";
  host->cachingDefault = false;
  for (int32_t type : {2, 3, 4}) {
    args.movieURL = longer;
    args.windowType = type;
    ASSERT_EQ(start(), kStatusOK);
    EXPECT_EQ(std::string(plugin->getURLPtr()), longer.substr(0, 2047));
    EXPECT_EQ(fake.newCalls.back().args.at(1).second, type == 3 ? "transparent" : "normal") << type;
    EXPECT_FALSE(plugin->fOkToCache) << "instances start from the caching default";
  }
  const size_t instances = fake.newCalls.size();
  args.port = nullptr;  // without a port the plug-in is only bound
  EXPECT_EQ(start(), kStatusOK);
  EXPECT_EQ(fake.newCalls.size(), instances);
}

TEST_F(FlashPluginTest, MovieIsDeliveredFromMemoryAndNotToAPluginThatIsNotReady) {
  const swf::Bytes compressed = test::userMovie(true).build();
  args.movieHandle = &compressed;
  args.movieFile.clear();
  ASSERT_EQ(start(false), kStatusOK);  // no wrapper: as it is, still compressed
  EXPECT_EQ(fake.streams.back().bytes, compressed);
  EXPECT_EQ(fake.streams.back().end, compressed.size());
  fake.eventCalls.clear();  // not ready: no bytes, no events, and the stream is still closed
  fake.writeReadyAnswer = 0;
  const int writes = fake.writeCalls;
  EXPECT_EQ(start(), kStatusOK);
  EXPECT_EQ(fake.writeCalls, writes);
  EXPECT_TRUE(fake.eventCalls.empty());
  EXPECT_EQ(fake.streams.back().reason, NPRES_USER_BREAK);
}

TEST_F(FlashPluginTest, FailuresAreReturnedAndTheStepsAfterThemSkipped) {
  args.movieFile = dir.write("zvdata.zve", {0x01, 0x02, 0x03});  // enciphered, too short
  EXPECT_EQ(start(true), kStatusCipherTooShort);
  EXPECT_EQ(fake.streams.at(0).reason, NPRES_DONE);
  args.movieFile = dir.write("zvdata.zve", movie);
  args.wrapperFile = dir.path() / "missing.zve";
  EXPECT_EQ(start(true), -43);
  EXPECT_TRUE(fake.writeCalls == 0 && fake.eventCalls.empty());
  args.movieFile = dir.path() / "missing.swf";
  EXPECT_EQ(start(), -43);
  EXPECT_EQ(fake.newCalls.size(), 2u) << "a missing movie ends start-up before the instance";
  args.movieFile = dir.write("zvdata.zve", movie);
  fake.streams.clear();
  fake.windowCalls.clear();
  fake.newError = NPERR_OUT_OF_MEMORY_ERROR;
  EXPECT_EQ(start(), NPERR_OUT_OF_MEMORY_ERROR);
  EXPECT_TRUE(fake.windowCalls.empty() && fake.streams.empty());
  EXPECT_EQ(pluginOf(plugin->instance()), nullptr);
  const int destroyed = fake.destroyCalls;
  plugin.reset();
  EXPECT_EQ(fake.destroyCalls, destroyed) << "an instance that never started is not destroyed";
  fake.newError = NPERR_NO_ERROR;
  fake.newStreamError = NPERR_INVALID_URL;
  EXPECT_EQ(start(), NPERR_INVALID_URL);
  EXPECT_FALSE(fake.streams.at(0).destroyed) << "a refused stream is not closed";
}

TEST_F(FlashPluginTest, EveryEventIsFollowedBySetWindowWithThePortsCurrentBounds) {
  ASSERT_EQ(start(), kStatusOK);
  fake.eventCalls.clear();
  fake.windowCalls.clear();
  EventRecord keyDown;
  keyDown.what = 3;
  port = GrafPort(320, 240);  // the view grew
  port.setOrigin(5, 7);       // and scrolled: the bounds keep the origin
  port.clip = QDRect{0, 0, 9, 9};
  fake.setWindowError = NPERR_GENERIC_ERROR;
  EXPECT_EQ(plugin->handlePluginEvent(&keyDown), NPERR_GENERIC_ERROR);  // the SetWindow answer
  EXPECT_EQ(fake.eventCalls.at(0).event.what, 3);
  EXPECT_EQ(fake.eventCalls[0].portOrigin, (QDPoint{-10, -20})) << "the offsets of the window record";
  EXPECT_EQ(port.origin, (QDPoint{7, 5}));
  EXPECT_EQ(port.clip, (QDRect{0, 0, 9, 9}));
  const NPWindow& sent = fake.windowCalls.at(0).window;
  const NPRect& clip = sent.clipRect;
  EXPECT_EQ((Longs{sent.width, sent.height, clip.top, clip.left, clip.bottom, clip.right}),
            (Longs{320, 240, 7, 5, 247, 325}));
  SimDesktopInput desktop;  // no record: the host's null event at the mouse and the tick
  desktop.mouse = {30.5, 800.5};
  desktop.modifiers = 0x0200;  // not passed on
  runLoop.advanceClockWithoutFiring(1.0);
  plugin->handlePluginEvent(nullptr);
  const EventRecord& nullEvent = fake.eventCalls.back().event;
  EXPECT_EQ((Longs{nullEvent.what, nullEvent.when, nullEvent.where.v, nullEvent.where.h, nullEvent.modifiers}),
            (Longs{0, 60, 99, 30, 0}));
  EXPECT_EQ(fake.windowCalls.size(), 2u);
  plugin->destroy();  // a destroyed instance gets nothing
  EXPECT_NE(plugin->handlePluginEvent(nullptr), NPERR_NO_ERROR);
  EXPECT_EQ(fake.eventCalls.size(), 2u);
}

TEST_F(FlashPluginTest, QueuedMessageTravelsOnTheInitSocketStreamOfTheNextRequestUnlessTheInstanceCannotTakeIt) {
  ASSERT_EQ(start(), kStatusOK);
  EXPECT_EQ(plugin->sendMessageToSWF("ARRAY_OF_STRINGS=one"), kStatusBadParameter);
  int request = 0, again = 0;
  backChannelRequest(&request);
  const auto& stream = fake.streams.back();
  EXPECT_EQ((std::vector<std::string>{stream.text(), stream.url, stream.type}),
            (std::vector<std::string>{"ARRAY_OF_STRINGS=one", "KW://KW_initSocket", "KW://KW_initSocket"}));
  EXPECT_EQ(stream.notifyData, &request);
  EXPECT_EQ(stream.reason, NPRES_DONE);
  backChannelRequest(&request);
  fake.onDestroyStream = [&](NPP, NPStream*, NPReason) {  // the wrapper movie asks again at once
    if (!plugin->m_backChannelStreamReady) backChannelRequest(&again);
  };
  EXPECT_EQ(plugin->sendMessageToSWF("ARRAY_OF_STRINGS=a"), kStatusOK);
  EXPECT_TRUE(plugin->m_backChannelStreamReady);
  EXPECT_EQ(plugin->m_backChannelStreamNotifyData, &again);
  fake.onDestroyStream = nullptr;  // a refused stream, shutting down and destruction stop the message
  fake.newStreamError = NPERR_GENERIC_ERROR;
  EXPECT_EQ(plugin->sendMessageToSWF("ARRAY_OF_STRINGS=x"), NPERR_GENERIC_ERROR);
  EXPECT_FALSE(plugin->m_backChannelStreamReady);
  fake.newStreamError = NPERR_NO_ERROR;
  plugin->m_backChannelStreamReady = true;
  plugin->m_shutdownCurrentPlugin = true;
  EXPECT_EQ(plugin->sendMessageToSWF("ARRAY_OF_STRINGS=x"), kStatusOutOfMemory);
  EXPECT_EQ(fake.writeCalls, 3);  // the movie and the two messages
  plugin->m_shutdownCurrentPlugin = false;
  plugin->destroy();
  EXPECT_EQ(plugin->sendMessageToSWF("ARRAY_OF_STRINGS=x"), kStatusOutOfMemory);
  EXPECT_TRUE(plugin->m_commandQueue.empty()) << "nor queued";
}

// The relay's text is parsed in mac/commands; here where the call goes.
TEST_F(FlashPluginTest, RelayCallsAMovieMethodRunsAPageScriptAndDropsTheRest) {
  const auto relay = [&](const char* method, const std::string& target, const std::string& argument) {
    return "try { __flash__toXML(KW_Comm([\"zApplication\",\"" + std::string(method) + "\"," + target + ",\"" +
           argument + "\"])) ; } catch (e) { \"<undefined/>\"; }";
  };
  fake.methodNames = {"zApplication.ping"};
  ASSERT_EQ(start(false), kStatusOK);
  plugin->fType = kPluginTypeFlash;
  const std::string self = std::to_string(registry.identityOf(plugin.get()));
  NPVariant result{};
  plugin->SendCommmand(relay("ping", self, "<a/>"), &result);
  ASSERT_EQ(fake.invokeCalls.size(), 1u);
  EXPECT_EQ(fake.invokeCalls[0].method, "zApplication.ping");
  EXPECT_EQ(fake.invokeCalls[0].stringArgs, std::vector<std::string>{"<a/>,"});
  EXPECT_EQ(result.type, NPVariantType_String) << "the caller's result";
  releaseVariantValue(&result);
  plugin->SendCommmand(relay("pong", self, "x"), nullptr);  // a method the movie lacks
  EXPECT_EQ(fake.getValueCalls, (std::vector<int>{15, 15}));
  plugin->fType = kPluginTypeWeb;  // the page's script sits between 109 and 28 characters of padding
  plugin->SendCommmand(relay("ping", self, std::string(109, 'h') + "alert(1)" + std::string(27, 't')), nullptr);
  EXPECT_EQ(window.scripts, std::vector<std::string>{"alert(1)"});
  ScopedLogCapture log;
  plugin->fType = 0x6F746872;  // 'othr'
  plugin->SendCommmand(relay("ping", self, "x"), nullptr);
  plugin->fType = kPluginTypeFlash;
  plugin->SendCommmand(relay("ping", "999", "x"), nullptr);
  plugin->destroy();
  plugin->SendCommmand(relay("ping", self, "x"), nullptr);
  EXPECT_EQ(fake.invokeCalls.size(), 1u);
  EXPECT_EQ(log.lines(), std::vector<std::string>{"js sent to non js client window"});
}

TEST_F(FlashPluginTest, InstanceIsDestroyedOnceEvenFromInsideNPPDestroy) {
  ASSERT_EQ(start(), kStatusOK);
  ASSERT_EQ(start(), kStatusOK);  // deleting the first one destroyed it
  EXPECT_EQ(fake.destroyCalls, 1);
  fake.onDestroy = [&](NPP) { plugin->destroy(); };
  plugin->destroy();
  EXPECT_TRUE(plugin->m_shutdownCurrentPlugin);
  EXPECT_EQ(fake.destroyCalls, 2);
  plugin.reset();
  EXPECT_EQ(fake.destroyCalls, 2);
}

using StreamDataTest = test::InstanceTest;

TEST_F(StreamDataTest, NewRecordCarriesItsOwnUrlWithoutOnePairOfQuotesAndARequestOfItsPlugin) {
  plugin->fMovieSpec = "/movies/intro.swf";
  auto record = StreamData::create(*plugin, "'KW://KW_zSystem.getUserName'", false, syncNotifyData());
  ASSERT_TRUE(record && record->cocoaInterfaceData);
  EXPECT_EQ(record->url, "KW://KW_zSystem.getUserName");
  EXPECT_EQ(record->theStream.url, record->url.c_str());
  EXPECT_EQ(record->cocoaInterfaceData->requester, plugin.get());
  EXPECT_EQ(record->cocoaInterfaceData->movieSpec, "/movies/intro.swf");
  record->postData = {'a', 0};
  record->release();  // frees the request and the POST copy; the tag and the URL stay
  EXPECT_EQ(record->cocoaInterfaceData, nullptr);
  EXPECT_TRUE(record->postData.empty());
  EXPECT_TRUE(record->isLive());
  EXPECT_STREQ(record->theStream.url, "KW://KW_zSystem.getUserName");
  const std::pair<const char*, const char*> cases[] = {
      {"\"KW://KW_a\"", "KW://KW_a"}, {"\"\"x\"\"", "\"x\""}, {"\"\"", ""},
      {"\"KW://KW_a", "\"KW://KW_a"}, {"'KW://KW_a\"", "'KW://KW_a\""}, {"\"", "\""}};
  for (const auto& [given, stored] : cases) {
    EXPECT_EQ(StreamData::create(*plugin, given, true, nullptr)->url, stored) << given;
  }
  fake.funcs.newstream = nullptr;  // a plug-in that cannot take streams gets no records
  host->bind(fake.entryPoints());
  EXPECT_EQ(StreamData::create(*plugin, "http://example.com/", true, nullptr), nullptr);
}

// The rules the URL loader relies on when it delivers through it.
TEST_F(StreamDataTest, WriteProcedureWritesBlocksAtOffsetZeroUntilThePluginOrItsInstanceFails) {
  const uint8_t bytes[] = {1, 2, 3};
  auto record = openRequest(*plugin, "http://example.com/a.txt", nullptr);
  EXPECT_EQ(writeProcedure(bytes, 2, record.get()), kStatusOK);
  EXPECT_EQ(writeProcedure(bytes + 2, 1, record.get()), kStatusOK);
  EXPECT_EQ(streamOf(*record)->bytes, (std::vector<uint8_t>{1, 2, 3}));
  EXPECT_EQ(streamOf(*record)->offsets, (std::vector<int32_t>{0, 0}));
  fake.writeAnswer = -5;  // a refused write
  EXPECT_EQ(writeProcedure(bytes, 2, record.get()), kStatusWriteFailed);
  fake.writeReadyAnswer = 0;  // not ready: the block is dropped, the record goes on
  EXPECT_EQ(writeProcedure(bytes, 2, record.get()), kStatusOK);
  EXPECT_FALSE(record->finished);
  record->sanityCheck = 0;  // a dead record
  EXPECT_EQ(writeProcedure(bytes, 1, record.get()), kStatusWriteFailed);
  record->sanityCheck = kStreamDataMarker;
  plugin->m_shutdownCurrentPlugin = true;
  EXPECT_EQ(writeProcedure(bytes, 1, record.get()), kStatusWriteFailed);
  EXPECT_TRUE(record->finished);
  plugin->destroy();  // an owner that is gone, shutting down or not
  plugin->m_shutdownCurrentPlugin = false;
  EXPECT_EQ(writeProcedure(bytes, 1, record.get()), kStatusWriteFailed);
  EXPECT_EQ(fake.writeCalls, 3);
}

}  // namespace
}  // namespace kw
