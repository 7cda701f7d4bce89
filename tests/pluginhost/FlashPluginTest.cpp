// The plug-in instance object against the fake plug-in: start-up, movie
// delivery, windows, events, printing, messages, relays and tear-down.
#include <string>
#include <utility>
#include <vector>

#include "mac/platform/Events.h"
#include "mac/platform/SystemLog.h"
#include "mac/pluginhost/MovieCipher.h"
#include "mac/pluginhost/MovieMerger.h"
#include "mac/pluginhost/Variants.h"
#include "tests/support/SwfTestMovies.h"
#include "tests/support/TestHost.h"

namespace kw {
namespace {

using Longs = std::vector<long>;  // compares fields of mixed types at once
constexpr QDRect kPortRect{10, 20, 160, 220};  // top, left, bottom, right: 200 x 150

class FlashPluginTest : public test::TestHost {
 protected:
  FlashPluginTest() {
    args.port = &port;
    args.movieURL = "file:///movies/intro.swf";
    args.wrapperFile = dir.write("RidavOdarez.zve", wrapper);
    args.movieFile = dir.write("zvdata.zve", movie);
    args.portRect = kPortRect;
    args.window = &window;
    args.entryPoints = &entryPoints;
  }

  // Makes, registers and starts an instance with the fake's entry points.
  Status start(bool pushWrapper = true) {
    entryPoints = fake.entryPoints();
    plugin = std::make_unique<FlashPlugin>(*host, pushWrapper);
    enlist(*plugin);
    return plugin->initialize(args);
  }
  uint32_t identity() const { return registry.identityOf(plugin.get()); }

  // The routing's part of a back channel request: note it, then send the oldest queued message on it.
  void backChannelRequest(void* notifyData) {
    plugin->m_backChannelStreamReady = true;
    plugin->m_backChannelStreamNotifyData = notifyData;
    if (auto message = plugin->m_commandQueue.takeOldest()) plugin->sendMessageToSWF(*message);
  }

  test::RecordingWindow window;
  GrafPort port{200, 150};
  swf::Bytes wrapper = test::wrapperMovie();
  swf::Bytes movie = test::userMovie().build();
  FlashPlugin::InitializeArgs args;
  PluginEntryPoints entryPoints;
  std::unique_ptr<FlashPlugin> plugin;
};

// ---- Start-up (the embed arguments are checked end to end in tests/e2e) ----

TEST_F(FlashPluginTest, OnlyWindowTypeThreePlaysTransparent) {
  for (int32_t type : {0, 2, 3, 4}) {
    fake.newCalls.clear();
    args.windowType = type;
    ASSERT_EQ(start(), kStatusOK);
    EXPECT_EQ(fake.newCalls.at(0).args.at(1).second, type == 3 ? "transparent" : "normal") << type;
  }
}

TEST_F(FlashPluginTest, A2047CharacterUrlIsStoredWholeAndLongerOnesAreCut) {
  args.movieURL = "file:///" + std::string(2047 - 8, 'u');
  ASSERT_EQ(start(), kStatusOK);
  EXPECT_EQ(std::string(plugin->getURLPtr()), args.movieURL);
  EXPECT_EQ(fake.streams.at(0).url, args.movieURL);
  const std::string longer = args.movieURL + "tail";
  args.movieURL = longer;
  ASSERT_EQ(start(), kStatusOK);
  EXPECT_EQ(std::string(plugin->getURLPtr()), longer.substr(0, 2047));
}

TEST_F(FlashPluginTest, MergedMovieArrivesInOneWriteThenActivateAndFocusWithoutTime) {
  ASSERT_EQ(start(true), kStatusOK);
  ASSERT_EQ(fake.streams.size(), 1u);
  const auto& stream = fake.streams[0];
  EXPECT_EQ(stream.bytes, *mergeMovie(wrapper, movie, true).written);
  EXPECT_EQ(stream.end, movie.size());
  EXPECT_FALSE(stream.seekable);
  EXPECT_EQ(stream.offsets, std::vector<int32_t>{0});
  ASSERT_EQ(fake.eventCalls.size(), 2u);
  for (size_t i = 0; i < 2; ++i) {
    const EventRecord& event = fake.eventCalls[i].event;  // packed record: compare copies
    EXPECT_EQ((Longs{event.what, long{event.message}, long{event.when}, event.modifiers}),
              (Longs{i == 0 ? 8 : 31, 31, 0, 0}));
  }
}

TEST_F(FlashPluginTest, MovieIsDeliveredAsItIsDecipheredOrFromMemory) {
  const swf::Bytes compressed = test::userMovie(true).build();
  args.movieFile = dir.write("zvdata.zve", compressed);
  ASSERT_EQ(start(false), kStatusOK);  // no wrapper: as it is, still compressed
  EXPECT_EQ(fake.streams.back().bytes, compressed);

  swf::Bytes enciphered(movie.size());
  ASSERT_EQ(movieCipher(movie.data(), enciphered.data(), movie.size(), 1, CipherDirection::Encipher), kStatusOK);
  args.movieFile = dir.write("zvdata.zve", enciphered);
  ASSERT_EQ(start(true), kStatusOK);
  EXPECT_EQ(fake.streams.back().bytes, *mergeMovie(wrapper, movie, true).written);

  args.movieHandle = &compressed;
  args.movieFile.clear();
  ASSERT_EQ(start(false), kStatusOK);
  EXPECT_EQ(fake.streams.back().bytes, compressed);
  EXPECT_EQ(fake.streams.back().end, compressed.size());
}

TEST_F(FlashPluginTest, WriteReadyZeroSendsNoBytesAndNoEventsAndBreaksTheStreamOff) {
  fake.writeReadyAnswer = 0;
  EXPECT_EQ(start(), kStatusOK);
  EXPECT_EQ(fake.writeCalls, 0);
  EXPECT_TRUE(fake.eventCalls.empty());
  EXPECT_TRUE(fake.streams.at(0).destroyed);
  EXPECT_EQ(fake.streams.at(0).reason, NPRES_USER_BREAK);
}

TEST_F(FlashPluginTest, MovieAndWrapperFailuresAreReturnedWithNothingWritten) {
  args.movieFile = dir.write("zvdata.zve", {0x01, 0x02, 0x03});  // enciphered, too short
  EXPECT_EQ(start(true), kStatusCipherTooShort);
  EXPECT_EQ(fake.streams.at(0).reason, NPRES_DONE);
  args.movieFile = dir.write("zvdata.zve", movie);
  args.wrapperFile = dir.path() / "missing.zve";
  EXPECT_EQ(start(true), -43);
  EXPECT_EQ(fake.writeCalls, 0);
  EXPECT_TRUE(fake.eventCalls.empty());

  fake.newCalls.clear();
  args.movieFile = dir.path() / "missing.swf";
  EXPECT_EQ(start(), -43);
  EXPECT_TRUE(fake.newCalls.empty()) << "a missing movie ends start-up before the instance";
}

TEST_F(FlashPluginTest, PluginErrorsAreReturnedAndLaterStepsSkipped) {
  fake.newError = NPERR_OUT_OF_MEMORY_ERROR;
  EXPECT_EQ(start(), NPERR_OUT_OF_MEMORY_ERROR);
  EXPECT_TRUE(fake.windowCalls.empty());
  EXPECT_TRUE(fake.streams.empty());
  EXPECT_EQ(pluginOf(plugin->instance()), nullptr);
  plugin.reset();
  EXPECT_EQ(fake.destroyCalls, 0) << "an instance that never started is not destroyed";

  fake.newError = NPERR_NO_ERROR;
  fake.newStreamError = NPERR_INVALID_URL;
  EXPECT_EQ(start(), NPERR_INVALID_URL);
  EXPECT_EQ(fake.writeCalls, 0);
  EXPECT_FALSE(fake.streams.at(0).destroyed);

  const int initialized = fake.initializeCalls;
  fake.withGetEntryPoints = false;
  EXPECT_EQ(start(), kStatusEntryPointsMissing);
  EXPECT_EQ(fake.initializeCalls, initialized);
  args.entryPoints = nullptr;  // neither bundle nor entry points
  plugin = std::make_unique<FlashPlugin>(*host, true);
  EXPECT_EQ(plugin->initialize(args), kStatusEntryPointsMissing);
}

TEST_F(FlashPluginTest, StartUpTakesTheCachingDefaultAndWithoutAPortOnlyBinds) {
  host->cachingDefault = false;
  ASSERT_EQ(start(), kStatusOK);
  EXPECT_FALSE(plugin->fOkToCache);
  EXPECT_EQ(plugin->fMovieSpec, args.movieFile);
  EXPECT_EQ(plugin->m_flashWindow, &window);
  fake.newCalls.clear();
  const int initialized = fake.initializeCalls;
  args.port = nullptr;
  EXPECT_EQ(start(), kStatusOK);
  EXPECT_EQ(fake.initializeCalls, initialized + 1);
  EXPECT_TRUE(fake.newCalls.empty());
}

// ---- Window records and the port ----

TEST_F(FlashPluginTest, WindowRecordDescribesThePortRectangleAndOffsetsTheOriginDuringStartUpOnly) {
  ASSERT_EQ(start(), kStatusOK);
  ASSERT_EQ(fake.windowCalls.size(), 1u);
  const auto& call = fake.windowCalls[0];
  EXPECT_EQ(call.window.type, NPWindowTypeWindow);
  EXPECT_EQ((Longs{call.window.x, call.window.y}), (Longs{20, 10}));
  EXPECT_EQ((Longs{call.window.width, call.window.height}), (Longs{200, 150}));
  const NPRect& clip = call.window.clipRect;
  EXPECT_EQ((Longs{clip.top, clip.left, clip.bottom, clip.right}), (Longs{10, 20, 160, 220}));
  EXPECT_EQ(call.port.port, &port);
  EXPECT_EQ((Longs{call.port.portx, call.port.porty}), (Longs{-20, -10}));
  EXPECT_EQ(call.portOrigin, (QDPoint{-10, -20}));
  EXPECT_EQ(fake.eventCalls.at(0).portOrigin, (QDPoint{-10, -20}));
  EXPECT_EQ(port.origin, (QDPoint{0, 0}));

  plugin->setupWindowInfo(QDRect{100, 100, 50, 40});  // inverted: empty, not huge
  EXPECT_EQ(plugin->m_NPWindow.width, 0u);
  EXPECT_EQ(plugin->m_NPWindow.height, 0u);
}

// ---- Events ----

TEST_F(FlashPluginTest, EventIsHandedOverWithPortOffsetsThenTheWindowIsRefreshed) {
  ASSERT_EQ(start(), kStatusOK);
  fake.eventCalls.clear();
  fake.windowCalls.clear();
  port.clip = QDRect{1, 2, 3, 4};
  EventRecord mouseDown;
  mouseDown.what = 1;
  mouseDown.where = {30, 40};
  fake.setWindowError = NPERR_GENERIC_ERROR;
  EXPECT_EQ(plugin->handlePluginEvent(&mouseDown), NPERR_GENERIC_ERROR);  // the SetWindow answer
  ASSERT_EQ(fake.eventCalls.size(), 1u);
  EXPECT_EQ(fake.eventCalls[0].event.where.v, 30);
  EXPECT_EQ(fake.eventCalls[0].portOrigin, (QDPoint{-10, -20}));
  EXPECT_EQ(port.origin, (QDPoint{0, 0}));
  EXPECT_EQ(port.clip, (QDRect{1, 2, 3, 4}));
  ASSERT_EQ(fake.windowCalls.size(), 1u);
  const NPWindow& refreshed = fake.windowCalls[0].window;  // the port's bounds
  EXPECT_EQ((Longs{refreshed.width, refreshed.height}), (Longs{200, 150}));
  EXPECT_EQ((Longs{refreshed.clipRect.bottom, refreshed.clipRect.right}), (Longs{150, 200}));

  // No record: the host's null event at the current mouse position and tick.
  SimDesktopInput desktop;
  desktop.screen = {{0, 0}, 1440, 900};
  desktop.mouse = {30.5, 800.5};
  desktop.modifiers = 0x0200;  // not passed on
  runLoop.advanceClockWithoutFiring(1.0);
  plugin->handlePluginEvent(nullptr);
  const EventRecord& nullEvent = fake.eventCalls.back().event;
  EXPECT_EQ((Longs{nullEvent.what, nullEvent.when, nullEvent.where.v, nullEvent.where.h, nullEvent.modifiers}),
            (Longs{0, 60, 99, 30, 0}));
  EXPECT_EQ(host->nullEvent.where.v, 99) << "the record is the host's";
  ASSERT_EQ(fake.windowCalls.size(), 2u) << "a null event is followed by NPP_SetWindow too";

  // A destroyed instance gets nothing.
  plugin->destroy();
  fake.eventCalls.clear();
  fake.windowCalls.clear();
  EXPECT_NE(plugin->handlePluginEvent(nullptr), NPERR_NO_ERROR);
  EXPECT_TRUE(fake.eventCalls.empty());
  EXPECT_TRUE(fake.windowCalls.empty());
}

TEST_F(FlashPluginTest, EveryEventIsFollowedBySetWindowWithThePortsCurrentSize) {
  ASSERT_EQ(start(), kStatusOK);
  fake.windowCalls.clear();
  fake.eventCalls.clear();
  EventRecord keyDown;
  keyDown.what = 3;
  keyDown.message = 0x0061;

  port = GrafPort(320, 240);  // the view grew
  EXPECT_EQ(plugin->handlePluginEvent(&keyDown), NPERR_NO_ERROR);
  port = GrafPort(100, 50);  // and shrank
  plugin->handlePluginEvent(nullptr);

  ASSERT_EQ(fake.eventCalls.size(), 2u);
  EXPECT_EQ(uint32_t{fake.eventCalls[0].event.message}, 0x0061u);
  EXPECT_EQ(fake.eventCalls[1].event.what, 0);
  ASSERT_EQ(fake.windowCalls.size(), 2u);
  for (size_t i = 0; i < 2; ++i) {
    const NPWindow& sent = fake.windowCalls[i].window;
    const NPRect& clip = sent.clipRect;
    const Longs expected = i == 0 ? Longs{320, 240, 0, 0, 240, 320} : Longs{100, 50, 0, 0, 50, 100};
    EXPECT_EQ((Longs{sent.width, sent.height, clip.top, clip.left, clip.bottom, clip.right}), expected) << i;
    EXPECT_EQ(fake.windowCalls[i].port.port, &port);
  }
  EXPECT_EQ(fake.eventCalls[1].portOrigin, (QDPoint{-10, -20})) << "the offsets of the window record";
  EXPECT_EQ(port.origin, (QDPoint{0, 0}));

  // A port scrolled to another origin: the bounds keep it, so do the clip and the record.
  port.setOrigin(5, 7);
  port.clip = QDRect{0, 0, 9, 9};
  plugin->handlePluginEvent(&keyDown);
  EXPECT_EQ(port.origin, (QDPoint{7, 5}));
  EXPECT_EQ(port.clip, (QDRect{0, 0, 9, 9}));
  const NPRect& clip = fake.windowCalls.back().window.clipRect;
  EXPECT_EQ((Longs{clip.top, clip.left, clip.bottom, clip.right}), (Longs{7, 5, 57, 105}));
}

// ---- Printing ----

TEST_F(FlashPluginTest, PrintingHandsTheMovieADrawableOfTheWindowSize) {
  ASSERT_EQ(start(), kStatusOK);
  fake.onPrint = [](NPPrint* print) {
    static_cast<GrafPort*>(print->print.embedPrint.window.window)->fillRect(QDRect{0, 0, 150, 200}, 0xFF336699);
  };
  std::unique_ptr<GrafPort> bitmap = plugin->printedPluginBitmap();
  ASSERT_TRUE(bitmap);
  EXPECT_EQ((Longs{bitmap->width, bitmap->height}), (Longs{200, 150}));
  EXPECT_EQ(*bitmap->pixelAt(199, 149), 0xFF336699u);
  ASSERT_EQ(fake.printCalls.size(), 1u);
  EXPECT_EQ(fake.printCalls[0].print.mode, NP_EMBED);
  const NPWindow& drawable = fake.printCalls[0].print.print.embedPrint.window;
  EXPECT_EQ(drawable.type, NPWindowTypeDrawable);
  EXPECT_EQ((Longs{drawable.x, drawable.y}), (Longs{0, 0}));
  EXPECT_EQ((Longs{drawable.width, drawable.height}), (Longs{200, 150}));
  EXPECT_EQ(fake.printCalls[0].portClip, (QDRect{0, 0, 150, 200}));

  fake.funcs.print = nullptr;
  ASSERT_EQ(start(), kStatusOK);
  EXPECT_EQ(plugin->printedPluginBitmap(), nullptr);
}

// ---- The back channel ----

// Order and long messages are checked end to end; here the stream each message travels on.
TEST_F(FlashPluginTest, QueuedMessageTravelsOnTheInitSocketStreamOfTheNextRequest) {
  ASSERT_EQ(start(), kStatusOK);
  const size_t before = fake.streams.size();
  EXPECT_EQ(plugin->sendMessageToSWF("ARRAY_OF_STRINGS=one"), kStatusBadParameter);
  EXPECT_EQ(fake.streams.size(), before);
  int request = 0;
  backChannelRequest(&request);
  ASSERT_EQ(fake.streams.size(), before + 1);
  const auto& stream = fake.streams.back();
  EXPECT_EQ(stream.text(), "ARRAY_OF_STRINGS=one");
  EXPECT_EQ(stream.url, "KW://KW_initSocket");
  EXPECT_EQ(stream.type, "KW://KW_initSocket");
  EXPECT_EQ(stream.notifyData, &request);
  EXPECT_EQ(stream.reason, NPRES_DONE);
  EXPECT_TRUE(plugin->m_commandQueue.empty());
  EXPECT_FALSE(plugin->m_backChannelStreamReady);
  EXPECT_EQ(plugin->m_backChannelStreamNotifyData, nullptr);
}

TEST_F(FlashPluginTest, RequestMadeWhileTheStreamClosesIsKept) {
  ASSERT_EQ(start(), kStatusOK);
  int first = 0, again = 0;
  backChannelRequest(&first);
  // The wrapper movie asks again from inside NPP_DestroyStream.
  fake.onDestroyStream = [&](NPP, NPStream*, NPReason) {
    if (!plugin->m_backChannelStreamReady) backChannelRequest(&again);
  };
  EXPECT_EQ(plugin->sendMessageToSWF("ARRAY_OF_STRINGS=a"), kStatusOK);
  EXPECT_TRUE(plugin->m_backChannelStreamReady);
  EXPECT_EQ(plugin->m_backChannelStreamNotifyData, &again);
  fake.onDestroyStream = nullptr;
  EXPECT_EQ(plugin->sendMessageToSWF("ARRAY_OF_STRINGS=b"), kStatusOK);
  EXPECT_EQ(fake.streams.back().notifyData, &again);
}

TEST_F(FlashPluginTest, RefusedStreamShutdownAndDestructionStopTheMessage) {
  ASSERT_EQ(start(), kStatusOK);
  int request = 0;
  backChannelRequest(&request);
  fake.newStreamError = NPERR_GENERIC_ERROR;
  EXPECT_EQ(plugin->sendMessageToSWF("ARRAY_OF_STRINGS=x"), NPERR_GENERIC_ERROR);
  EXPECT_FALSE(plugin->m_backChannelStreamReady);
  fake.newStreamError = NPERR_NO_ERROR;
  plugin->m_backChannelStreamReady = true;
  plugin->m_shutdownCurrentPlugin = true;
  EXPECT_EQ(plugin->sendMessageToSWF("ARRAY_OF_STRINGS=x"), kStatusOutOfMemory);
  EXPECT_EQ(fake.writeCalls, 1);  // only the movie
  plugin->m_shutdownCurrentPlugin = false;
  plugin->destroy();
  EXPECT_EQ(plugin->sendMessageToSWF("ARRAY_OF_STRINGS=x"), kStatusOutOfMemory);
  EXPECT_TRUE(plugin->m_commandQueue.empty()) << "nor queued";
}

// ---- Synchronous calls ----

TEST_F(FlashPluginTest, SyncMessageInvokesTheMethodWithOneStringArgument) {
  fake.methodNames = {"zApplication.onEventSync"};
  fake.invokeAnswer = "<true/>";
  ASSERT_EQ(start(false), kStatusOK);
  NPVariant result{};
  plugin->sendSyncMessage("zApplication.onEventSync", "<array/>", &result);
  ASSERT_EQ(fake.invokeCalls.size(), 1u);
  EXPECT_EQ(fake.invokeCalls[0].method, "zApplication.onEventSync");
  EXPECT_EQ(fake.invokeCalls[0].stringArgs, std::vector<std::string>{"<array/>"});
  EXPECT_EQ(fake.getValueCalls, std::vector<int>{15});
  ASSERT_EQ(result.type, NPVariantType_String);
  EXPECT_EQ(std::string(result.value.stringValue.UTF8Characters, result.value.stringValue.UTF8Length), "<true/>");
  releaseVariantValue(&result);

  plugin->sendSyncMessageWrap("zApplication.other", "<array/>");  // unknown method
  EXPECT_EQ(fake.hasMethodCalls, 2);
  EXPECT_EQ(fake.invokeCalls.size(), 1u);
}

TEST_F(FlashPluginTest, SyncMessageWithoutGetValueOrObjectDoesNothing) {
  fake.methodNames = {"m"};
  fake.getValueError = NPERR_GENERIC_ERROR;
  ASSERT_EQ(start(false), kStatusOK);
  plugin->sendSyncMessageWrap("m", "p");
  fake.funcs.getvalue = nullptr;
  ASSERT_EQ(start(false), kStatusOK);
  plugin->sendSyncMessageWrap("m", "p");
  EXPECT_EQ(fake.getValueCalls.size(), 1u);
  EXPECT_TRUE(fake.invokeCalls.empty());
}

// ---- The command relay ----

std::string relayScript(const std::string& arguments) {
  return "try { __flash__toXML(KW_Comm([" + arguments + "])) ; } catch (e) { \"<undefined/>\"; }";
}

TEST_F(FlashPluginTest, RelayToAMovieWindowCallsItsMethodAndToAWebWindowRunsItsScript) {
  fake.methodNames = {"zApplication.ping"};
  fake.invokeAnswer = "<string>pong</string>";
  ASSERT_EQ(start(false), kStatusOK);
  plugin->fType = kPluginTypeFlash;
  NPVariant result{};
  plugin->SendCommmand(relayScript("\"zApplication\",\"ping\"," + std::to_string(identity()) + ",\"<a x=\\\"1\\\"/>\""),
                       &result);
  ASSERT_EQ(fake.invokeCalls.size(), 1u);
  EXPECT_EQ(fake.invokeCalls[0].method, "zApplication.ping");
  EXPECT_EQ(fake.invokeCalls[0].stringArgs, std::vector<std::string>{"<a x=\"1\"/>,"});
  EXPECT_EQ(result.type, NPVariantType_String);
  releaseVariantValue(&result);

  plugin->fType = kPluginTypeWeb;  // the page's script sits between 109 and 28 characters of padding
  const std::string argument = std::string(109, 'h') + "alert(1)" + std::string(27, 't');
  plugin->SendCommmand(relayScript("\"a\",\"b\"," + std::to_string(identity()) + ",\"" + argument + "\""), nullptr);
  EXPECT_EQ(window.scripts, std::vector<std::string>{"alert(1)"});
  EXPECT_EQ(fake.invokeCalls.size(), 1u);
}

TEST_F(FlashPluginTest, RelayToOtherKindsUnknownOrDestroyedTargetsIsLoggedOrDropped) {
  fake.methodNames = {"a.b"};
  ASSERT_EQ(start(false), kStatusOK);
  const std::string toSelf = relayScript("\"a\",\"b\"," + std::to_string(identity()) + ",\"x\"");
  ScopedLogCapture log;
  plugin->fType = 0x6F746872;  // 'othr'
  plugin->SendCommmand(toSelf, nullptr);
  plugin->fType = kPluginTypeFlash;
  plugin->SendCommmand(relayScript("\"a\",\"b\",999,\"x\""), nullptr);
  plugin->SendCommmand(relayScript("\"a\",\"b\""), nullptr);  // too few pieces
  plugin->destroy();
  plugin->SendCommmand(toSelf, nullptr);
  EXPECT_TRUE(fake.invokeCalls.empty());
  EXPECT_EQ(log.lines(), (std::vector<std::string>{"js sent to non js client window", "invalid command"}));
}

// ---- Tear-down ----

TEST_F(FlashPluginTest, DestroyTagsTheObjectNutsAndDestroysTheInstanceOnceEvenFromInsideNPPDestroy) {
  ASSERT_EQ(start(), kStatusOK);
  fake.onDestroy = [&](NPP) { plugin->destroy(); };
  plugin->destroy();
  EXPECT_EQ(plugin->sanityCheck, kPluginNuts);
  EXPECT_FALSE(plugin->isSane());
  EXPECT_TRUE(plugin->m_shutdownCurrentPlugin);
  EXPECT_EQ(fake.destroyCalls, 1);
  EXPECT_EQ(fake.destroyedInstance, plugin->instance());
  fake.onDestroy = nullptr;
  plugin->destroy();
  plugin.reset();
  EXPECT_EQ(fake.destroyCalls, 1);
}

TEST_F(FlashPluginTest, DeletingTheObjectDestroysItAndTellsTheRegistry) {
  ASSERT_EQ(start(), kStatusOK);
  ASSERT_EQ(start(), kStatusOK);  // the first one goes, the second stays
  const uint32_t id = identity();
  const FlashPlugin* gone = plugin.get();
  plugin.reset();
  EXPECT_EQ(fake.destroyCalls, 2);
  EXPECT_FALSE(registry.isAValidNsPlugin(gone));
  EXPECT_EQ(registry.pluginForIdentity(id), nullptr);
  EXPECT_EQ(registry.count(), 0u) << "forgotten even as the last one";
}

}  // namespace
}  // namespace kw
