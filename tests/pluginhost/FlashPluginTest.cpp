// Tests of the plug-in instance object against the fake plug-in: start-up,
// movie delivery, windows, events, printing, messages, relays and tear-down.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "mac/platform/SystemLog.h"
#include "mac/pluginhost/MovieCipher.h"
#include "mac/pluginhost/MovieMerger.h"
#include "mac/pluginhost/Variants.h"
#include "tests/pluginhost/InstanceTestHost.h"
#include "tests/support/SwfTestMovies.h"
#include "tests/support/TempDir.h"

namespace kw {
namespace {

using test::FakePlugin;

constexpr QDRect kPortRect{10, 20, 160, 220};  // top, left, bottom, right: 200 x 150

std::string textOf(const std::vector<uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

class FlashPluginTest : public ::testing::Test {
 protected:
  FlashPluginTest() {
    wrapper = test::wrapperMovie();
    movie = test::userMovie().build();
    args.port = &port;
    args.movieURL = "file:///movies/intro.swf";
    args.wrapperFile = dir.write("RidavOdarez.zve", wrapper);
    args.movieFile = dir.write("zvdata.zve", movie);
    args.portRect = kPortRect;
    args.window = &window;
  }

  // Makes an instance and starts it with the fake plug-in's entry points.
  Status start(bool pushWrapper = true) {
    entryPoints = env.fake.entryPoints();
    args.entryPoints = &entryPoints;
    plugin = std::make_unique<FlashPlugin>(*env.host, pushWrapper);
    identity = env.registry.add(plugin.get());
    return plugin->initialize(args);
  }

  // The routing's part of a back channel request: record it, then send the
  // oldest queued message on it.
  void backChannelRequest(void* notifyData) {
    plugin->m_backChannelStreamReady = true;
    plugin->m_backChannelStreamNotifyData = notifyData;
    if (auto message = plugin->m_commandQueue.takeOldest()) plugin->sendMessageToSWF(*message);
  }

  std::vector<std::string> argumentValues() const {
    std::vector<std::string> values;
    for (const auto& [name, value] : env.fake.newCalls.at(0).args) values.push_back(value);
    return values;
  }

  test::TempDir dir;
  test::instance::InstanceTestHost env;
  test::instance::RecordingWindow window;
  GrafPort port{200, 150};
  swf::Bytes wrapper;
  swf::Bytes movie;
  FlashPlugin::InitializeArgs args;
  PluginEntryPoints entryPoints;
  std::unique_ptr<FlashPlugin> plugin;
  uint32_t identity = 0;
};

// ---- Start-up ----

TEST_F(FlashPluginTest, StartsTheInstanceEmbeddedWithTheTenArgumentsInOrder) {
  ASSERT_EQ(start(), kStatusOK);
  ASSERT_EQ(env.fake.newCalls.size(), 1u);
  const auto& call = env.fake.newCalls[0];
  EXPECT_EQ(call.mimeType, "application/x-shockwave-flash");
  EXPECT_EQ(call.mode, NP_EMBED);
  EXPECT_EQ(call.instance, plugin->instance());
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"src", "URLcString"}, {"wmode", "normal"}, {"quality", "best"},         {"loop", "true"},
      {"WIDTH", "100%"},     {"HEIGHT", "100%"},  {"SCROLL", "NO"},           {"allowScriptAccess", "always"},
      {"FULLPAGE", ""},      {"allowNetworking", "all"}};
  EXPECT_EQ(call.args, expected);
  EXPECT_EQ(pluginOf(plugin->instance()), plugin.get());  // the host data word
  EXPECT_EQ(pluginOf(nullptr), nullptr);
}

TEST_F(FlashPluginTest, OnlyWindowTypeThreePlaysTransparent) {
  for (int32_t type : {0, 2, 3, 4}) {
    env.fake.newCalls.clear();
    args.windowType = type;
    ASSERT_EQ(start(), kStatusOK);
    EXPECT_EQ(argumentValues().at(1), type == 3 ? "transparent" : "normal") << "window type " << type;
  }
}

TEST_F(FlashPluginTest, A2047CharacterUrlIsStoredWholeAndLongerOnesAreCut) {
  args.movieURL = "file:///" + std::string(2047 - 8, 'u');
  ASSERT_EQ(start(), kStatusOK);
  EXPECT_EQ(std::string(plugin->getURLPtr()), args.movieURL);
  EXPECT_EQ(env.fake.streams.at(0).url, args.movieURL);

  const std::string longer = args.movieURL + "tail";
  args.movieURL = longer;
  ASSERT_EQ(start(), kStatusOK);
  EXPECT_EQ(std::string(plugin->getURLPtr()), longer.substr(0, 2047));
}

TEST_F(FlashPluginTest, MergedMovieArrivesInOneWriteAndTheStreamCloses) {
  ASSERT_EQ(start(true), kStatusOK);
  ASSERT_EQ(env.fake.streams.size(), 1u);
  const auto& stream = env.fake.streams[0];
  EXPECT_EQ(stream.type, "application/x-shockwave-flash");
  EXPECT_EQ(stream.end, movie.size());
  EXPECT_FALSE(stream.seekable);
  EXPECT_EQ(env.fake.writeCalls, 1);
  EXPECT_EQ(stream.offsets, std::vector<int32_t>{0});
  const MergeResult merged = mergeMovie(wrapper, movie, true);
  ASSERT_TRUE(merged.written);
  EXPECT_EQ(stream.bytes, *merged.written);
  EXPECT_EQ(textOf(stream.bytes).substr(0, 3), "FWS");
  EXPECT_EQ(stream.bytes.at(3), 9);
  EXPECT_TRUE(stream.destroyed);
  EXPECT_EQ(stream.reason, NPRES_DONE);
}

TEST_F(FlashPluginTest, WithoutTheWrapperFlagTheMovieArrivesAsItIs) {
  movie = test::userMovie(true).build();  // compressed: stays compressed
  args.movieFile = dir.write("zvdata.zve", movie);
  ASSERT_EQ(start(false), kStatusOK);
  EXPECT_EQ(env.fake.streams.at(0).bytes, movie);
}

TEST_F(FlashPluginTest, EncipheredMovieIsDecipheredBeforeTheMerge) {
  swf::Bytes enciphered(movie.size());
  ASSERT_EQ(movieCipher(movie.data(), enciphered.data(), movie.size(), 1, CipherDirection::Encipher), kStatusOK);
  ASSERT_NE(enciphered, movie);
  args.movieFile = dir.write("zvdata.zve", enciphered);
  ASSERT_EQ(start(true), kStatusOK);
  EXPECT_EQ(env.fake.streams.at(0).bytes, *mergeMovie(wrapper, movie, true).written);
}

TEST_F(FlashPluginTest, MovieBytesInMemoryAreUsedInsteadOfTheFile) {
  const swf::Bytes inMemory = test::userMovie(true).build();
  args.movieHandle = &inMemory;
  args.movieFile.clear();
  ASSERT_EQ(start(false), kStatusOK);
  EXPECT_EQ(env.fake.streams.at(0).bytes, inMemory);
  EXPECT_EQ(env.fake.streams.at(0).end, inMemory.size());
}

TEST_F(FlashPluginTest, ActivateThenFocusEventsFollowASuccessfulDelivery) {
  ASSERT_EQ(start(), kStatusOK);
  ASSERT_EQ(env.fake.eventCalls.size(), 2u);
  for (size_t i = 0; i < 2; ++i) {
    const EventRecord& event = env.fake.eventCalls[i].event;
    EXPECT_EQ(event.what, i == 0 ? 8 : 31);
    EXPECT_EQ(uint32_t{event.message}, 31u);  // packed record: compare copies
    EXPECT_EQ(uint32_t{event.when}, 0u);
    EXPECT_EQ(event.where.h, 0);
    EXPECT_EQ(event.where.v, 0);
    EXPECT_EQ(event.modifiers, 0);
  }
}

TEST_F(FlashPluginTest, WriteReadyZeroSendsNoBytesAndNoEvents) {
  env.fake.writeReadyAnswer = 0;
  EXPECT_EQ(start(), kStatusOK);
  EXPECT_EQ(env.fake.writeCalls, 0);
  EXPECT_TRUE(env.fake.eventCalls.empty());
  // The stream that got nothing is still ended, as broken off.
  EXPECT_TRUE(env.fake.streams.at(0).destroyed);
  EXPECT_EQ(env.fake.streams.at(0).reason, NPRES_USER_BREAK);
}

TEST_F(FlashPluginTest, MergerFailureIsReturnedWithoutEvents) {
  args.movieFile = dir.write("zvdata.zve", {0x01, 0x02, 0x03});  // enciphered, too short
  EXPECT_EQ(start(true), kStatusCipherTooShort);
  EXPECT_EQ(env.fake.writeCalls, 0);
  EXPECT_TRUE(env.fake.eventCalls.empty());
  EXPECT_EQ(env.fake.streams.at(0).reason, NPRES_DONE);
}

TEST_F(FlashPluginTest, WrapperReadErrorPassesThrough) {
  args.wrapperFile = dir.path() / "missing.zve";
  EXPECT_EQ(start(true), -43);
  EXPECT_EQ(env.fake.writeCalls, 0);
  EXPECT_TRUE(env.fake.eventCalls.empty());
}

TEST_F(FlashPluginTest, MissingMovieFileEndsStartUpBeforeTheInstance) {
  args.movieFile = dir.path() / "missing.swf";
  EXPECT_EQ(start(), -43);
  EXPECT_TRUE(env.fake.newCalls.empty());
}

TEST_F(FlashPluginTest, MissingEntryPointsFailWith666AndCreateNoInstance) {
  env.fake.withGetEntryPoints = false;
  EXPECT_EQ(start(), kStatusEntryPointsMissing);
  EXPECT_TRUE(env.fake.newCalls.empty());
  EXPECT_EQ(env.fake.initializeCalls, 0);
  EXPECT_EQ(pluginOf(plugin->instance()), nullptr);

  // No bundle and no entry points given is the same failure.
  plugin = std::make_unique<FlashPlugin>(*env.host, true);
  args.entryPoints = nullptr;
  EXPECT_EQ(plugin->initialize(args), kStatusEntryPointsMissing);
}

TEST_F(FlashPluginTest, NPPNewErrorIsReturnedAndLaterStepsAreSkipped) {
  env.fake.newError = NPERR_OUT_OF_MEMORY_ERROR;
  EXPECT_EQ(start(), NPERR_OUT_OF_MEMORY_ERROR);
  EXPECT_TRUE(env.fake.windowCalls.empty());
  EXPECT_TRUE(env.fake.streams.empty());
  EXPECT_EQ(pluginOf(plugin->instance()), nullptr);
}

TEST_F(FlashPluginTest, NewStreamErrorIsReturnedWithNothingWritten) {
  env.fake.newStreamError = NPERR_INVALID_URL;
  EXPECT_EQ(start(), NPERR_INVALID_URL);
  EXPECT_EQ(env.fake.writeCalls, 0);
  EXPECT_FALSE(env.fake.streams.at(0).destroyed);
}

TEST_F(FlashPluginTest, WithoutAPortNothingIsStarted) {
  args.port = nullptr;
  EXPECT_EQ(start(), kStatusOK);
  EXPECT_EQ(env.fake.initializeCalls, 1);
  EXPECT_TRUE(env.fake.newCalls.empty());
}

TEST_F(FlashPluginTest, CachingFlagStartsFromTheApplicationDefault) {
  env.host->cachingDefault = false;
  EXPECT_FALSE(FlashPlugin(*env.host, true).fOkToCache);
  ASSERT_EQ(start(), kStatusOK);
  EXPECT_FALSE(plugin->fOkToCache);
  EXPECT_EQ(plugin->fMovieSpec, args.movieFile);
  EXPECT_EQ(plugin->m_flashWindow, &window);
}

// ---- Window records and the port ----

TEST_F(FlashPluginTest, WindowRecordDescribesThePortRectangle) {
  ASSERT_EQ(start(), kStatusOK);
  ASSERT_EQ(env.fake.windowCalls.size(), 1u);
  const auto& call = env.fake.windowCalls[0];
  EXPECT_EQ(call.window.type, NPWindowTypeWindow);
  EXPECT_EQ(call.window.x, 20);
  EXPECT_EQ(call.window.y, 10);
  EXPECT_EQ(call.window.width, 200u);
  EXPECT_EQ(call.window.height, 150u);
  EXPECT_EQ(call.window.clipRect.top, 10);
  EXPECT_EQ(call.window.clipRect.left, 20);
  EXPECT_EQ(call.window.clipRect.bottom, 160);
  EXPECT_EQ(call.window.clipRect.right, 220);
  EXPECT_EQ(call.port.port, &port);
  EXPECT_EQ(call.port.portx, -20);
  EXPECT_EQ(call.port.porty, -10);
}

TEST_F(FlashPluginTest, PortOriginFollowsThePortOffsetsDuringStartUpOnly) {
  ASSERT_EQ(start(), kStatusOK);
  EXPECT_EQ(env.fake.windowCalls.at(0).portOrigin, (QDPoint{-10, -20}));
  EXPECT_EQ(env.fake.eventCalls.at(0).portOrigin, (QDPoint{-10, -20}));
  EXPECT_EQ(port.origin, (QDPoint{0, 0}));
}

TEST_F(FlashPluginTest, InvertedRectangleGivesAnEmptyWindowNotAHugeOne) {
  plugin = std::make_unique<FlashPlugin>(*env.host, true);
  plugin->setupWindowInfo(QDRect{100, 100, 50, 40});
  EXPECT_EQ(plugin->m_NPWindow.width, 0u);
  EXPECT_EQ(plugin->m_NPWindow.height, 0u);
}

// ---- Events ----

TEST_F(FlashPluginTest, EventIsHandedOverWithPortOffsetsThenTheWindowIsRefreshed) {
  ASSERT_EQ(start(), kStatusOK);
  env.fake.eventCalls.clear();
  env.fake.windowCalls.clear();
  port.clip = QDRect{1, 2, 3, 4};
  EventRecord mouseDown;
  mouseDown.what = 1;
  mouseDown.where = {30, 40};
  env.fake.setWindowError = NPERR_GENERIC_ERROR;
  EXPECT_EQ(plugin->handlePluginEvent(&mouseDown), NPERR_GENERIC_ERROR);  // the SetWindow answer
  ASSERT_EQ(env.fake.eventCalls.size(), 1u);
  EXPECT_EQ(env.fake.eventCalls[0].event.what, 1);
  EXPECT_EQ(env.fake.eventCalls[0].event.where.v, 30);
  EXPECT_EQ(env.fake.eventCalls[0].portOrigin, (QDPoint{-10, -20}));
  EXPECT_EQ(port.origin, (QDPoint{0, 0}));
  EXPECT_EQ(port.clip, (QDRect{1, 2, 3, 4}));
  ASSERT_EQ(env.fake.windowCalls.size(), 1u);
  const NPWindow& refreshed = env.fake.windowCalls[0].window;
  EXPECT_EQ(refreshed.width, 200u);  // the port's bounds
  EXPECT_EQ(refreshed.height, 150u);
  EXPECT_EQ(refreshed.clipRect.bottom, 150);
  EXPECT_EQ(refreshed.clipRect.right, 200);
}

TEST_F(FlashPluginTest, NoEventRecordMeansANullEventAtTheCurrentTick) {
  ASSERT_EQ(start(), kStatusOK);
  env.runLoop.advanceClockWithoutFiring(1.0);
  env.fake.eventCalls.clear();
  plugin->handlePluginEvent(nullptr);
  ASSERT_EQ(env.fake.eventCalls.size(), 1u);
  EXPECT_EQ(env.fake.eventCalls[0].event.what, 0);
  EXPECT_EQ(uint32_t{env.fake.eventCalls[0].event.when}, 60u);
  EXPECT_EQ(env.fake.eventCalls[0].event.modifiers, 0);
}

TEST_F(FlashPluginTest, DestroyedInstanceGetsNoEvents) {
  ASSERT_EQ(start(), kStatusOK);
  plugin->destroy();
  env.fake.eventCalls.clear();
  env.fake.windowCalls.clear();
  EXPECT_NE(plugin->handlePluginEvent(nullptr), NPERR_NO_ERROR);
  EXPECT_TRUE(env.fake.eventCalls.empty());
  EXPECT_TRUE(env.fake.windowCalls.empty());
}

// ---- Printing ----

TEST_F(FlashPluginTest, PrintingHandsTheMovieADrawableOfTheWindowSize) {
  ASSERT_EQ(start(), kStatusOK);
  env.fake.onPrint = [](NPPrint* print) {
    auto* drawable = static_cast<GrafPort*>(print->print.embedPrint.window.window);
    drawable->fillRect(QDRect{0, 0, 150, 200}, 0xFF336699);
  };
  std::unique_ptr<GrafPort> bitmap = plugin->printedPluginBitmap();
  ASSERT_TRUE(bitmap);
  EXPECT_EQ(bitmap->width, 200);
  EXPECT_EQ(bitmap->height, 150);
  EXPECT_EQ(*bitmap->pixelAt(199, 149), 0xFF336699u);
  ASSERT_EQ(env.fake.printCalls.size(), 1u);
  const NPPrint& print = env.fake.printCalls[0].print;
  EXPECT_EQ(print.mode, NP_EMBED);
  const NPWindow& drawable = print.print.embedPrint.window;
  EXPECT_EQ(drawable.type, NPWindowTypeDrawable);
  EXPECT_EQ(drawable.x, 0);
  EXPECT_EQ(drawable.y, 0);
  EXPECT_EQ(drawable.width, 200u);
  EXPECT_EQ(drawable.height, 150u);
  EXPECT_EQ(drawable.clipRect.bottom, 150);
  EXPECT_EQ(drawable.clipRect.right, 200);
  EXPECT_EQ(env.fake.printCalls[0].portClip, (QDRect{0, 0, 150, 200}));
}

TEST_F(FlashPluginTest, NoBitmapWithoutNPPPrint) {
  env.fake.funcs.print = nullptr;
  ASSERT_EQ(start(), kStatusOK);
  EXPECT_EQ(plugin->printedPluginBitmap(), nullptr);
}

// ---- The back channel ----

TEST_F(FlashPluginTest, MessagesWaitForTheBackChannelAndArriveOldestFirst) {
  ASSERT_EQ(start(), kStatusOK);
  const size_t before = env.fake.streams.size();
  EXPECT_EQ(plugin->sendMessageToSWF("ARRAY_OF_STRINGS=one"), kStatusBadParameter);
  EXPECT_EQ(plugin->sendMessageToSWF("ARRAY_OF_STRINGS=two"), kStatusBadParameter);
  EXPECT_EQ(plugin->sendMessageToSWF("ARRAY_OF_STRINGS=three"), kStatusBadParameter);
  EXPECT_EQ(env.fake.streams.size(), before);

  int requests[3];
  for (int& request : requests) backChannelRequest(&request);
  ASSERT_EQ(env.fake.streams.size(), before + 3);
  const char* expected[] = {"ARRAY_OF_STRINGS=one", "ARRAY_OF_STRINGS=two", "ARRAY_OF_STRINGS=three"};
  for (size_t i = 0; i < 3; ++i) {
    const auto& stream = env.fake.streams[before + i];
    EXPECT_EQ(textOf(stream.bytes), expected[i]);
    EXPECT_EQ(stream.url, "KW://KW_initSocket");
    EXPECT_EQ(stream.type, "KW://KW_initSocket");
    EXPECT_EQ(stream.notifyData, &requests[i]);
    EXPECT_TRUE(stream.destroyed);
    EXPECT_EQ(stream.reason, NPRES_DONE);
  }
  EXPECT_TRUE(plugin->m_commandQueue.empty());
  EXPECT_FALSE(plugin->m_backChannelStreamReady);
  EXPECT_EQ(plugin->m_backChannelStreamNotifyData, nullptr);
}

TEST_F(FlashPluginTest, LongMessageSurvivesTheQueueIntact) {
  ASSERT_EQ(start(), kStatusOK);
  std::string message = "ARRAY_OF_STRINGS=";
  for (size_t i = 0; message.size() < 3000; ++i) message += static_cast<char>('a' + i % 26);
  ASSERT_EQ(plugin->sendMessageToSWF(message), kStatusBadParameter);
  int request = 0;
  backChannelRequest(&request);
  EXPECT_EQ(textOf(env.fake.streams.back().bytes), message);
}

TEST_F(FlashPluginTest, WaitingRequestTakesTheMessageAtOnce) {
  ASSERT_EQ(start(), kStatusOK);
  int request = 0;
  backChannelRequest(&request);
  EXPECT_EQ(plugin->sendMessageToSWF("ARRAY_OF_STRINGS=now"), kStatusOK);
  EXPECT_EQ(textOf(env.fake.streams.back().bytes), "ARRAY_OF_STRINGS=now");
  EXPECT_TRUE(plugin->m_commandQueue.empty());
}

TEST_F(FlashPluginTest, RequestMadeWhileTheStreamClosesIsKept) {
  ASSERT_EQ(start(), kStatusOK);
  int first = 0;
  int again = 0;
  backChannelRequest(&first);
  // The wrapper movie asks again from inside NPP_DestroyStream.
  env.fake.onDestroyStream = [&](NPP, NPStream*, NPReason) {
    if (!plugin->m_backChannelStreamReady) {
      plugin->m_backChannelStreamReady = true;
      plugin->m_backChannelStreamNotifyData = &again;
    }
  };
  EXPECT_EQ(plugin->sendMessageToSWF("ARRAY_OF_STRINGS=a"), kStatusOK);
  EXPECT_TRUE(plugin->m_backChannelStreamReady);
  EXPECT_EQ(plugin->m_backChannelStreamNotifyData, &again);
  env.fake.onDestroyStream = nullptr;
  EXPECT_EQ(plugin->sendMessageToSWF("ARRAY_OF_STRINGS=b"), kStatusOK);
  EXPECT_EQ(env.fake.streams.back().notifyData, &again);
}

TEST_F(FlashPluginTest, RefusedBackChannelStreamReportsTheError) {
  ASSERT_EQ(start(), kStatusOK);
  int request = 0;
  backChannelRequest(&request);
  env.fake.newStreamError = NPERR_GENERIC_ERROR;
  EXPECT_EQ(plugin->sendMessageToSWF("ARRAY_OF_STRINGS=x"), NPERR_GENERIC_ERROR);
  EXPECT_FALSE(plugin->m_backChannelStreamReady);
  EXPECT_EQ(env.fake.writeCalls, 1);  // only the movie
}

TEST_F(FlashPluginTest, ShuttingDownInstanceRefusesTheMessageWrite) {
  ASSERT_EQ(start(), kStatusOK);
  int request = 0;
  backChannelRequest(&request);
  plugin->m_shutdownCurrentPlugin = true;
  EXPECT_EQ(plugin->sendMessageToSWF("ARRAY_OF_STRINGS=x"), kStatusOutOfMemory);
  EXPECT_EQ(env.fake.writeCalls, 1);
}

TEST_F(FlashPluginTest, DestroyedInstanceNeitherSendsNorQueuesMessages) {
  ASSERT_EQ(start(), kStatusOK);
  plugin->destroy();
  EXPECT_EQ(plugin->sendMessageToSWF("ARRAY_OF_STRINGS=x"), kStatusOutOfMemory);
  EXPECT_TRUE(plugin->m_commandQueue.empty());
}

// ---- Synchronous calls ----

TEST_F(FlashPluginTest, SyncMessageInvokesTheMethodWithOneStringArgument) {
  env.fake.methodNames = {"zApplication.onEventSync"};
  env.fake.invokeAnswer = "<true/>";
  ASSERT_EQ(start(false), kStatusOK);
  NPVariant result{};
  plugin->sendSyncMessage("zApplication.onEventSync", "<array/>", &result);
  ASSERT_EQ(env.fake.invokeCalls.size(), 1u);
  EXPECT_EQ(env.fake.invokeCalls[0].method, "zApplication.onEventSync");
  EXPECT_EQ(env.fake.invokeCalls[0].stringArgs, std::vector<std::string>{"<array/>"});
  EXPECT_EQ(env.fake.getValueCalls, std::vector<int>{15});
  ASSERT_EQ(result.type, NPVariantType_String);
  EXPECT_EQ(std::string(result.value.stringValue.UTF8Characters, result.value.stringValue.UTF8Length), "<true/>");
  releaseVariantValue(&result);
}

TEST_F(FlashPluginTest, SyncMessageToAnUnknownMethodInvokesNothing) {
  env.fake.methodNames = {"other"};
  ASSERT_EQ(start(false), kStatusOK);
  plugin->sendSyncMessageWrap("zApplication.onEventSync", "<array/>");
  EXPECT_EQ(env.fake.hasMethodCalls, 1);
  EXPECT_TRUE(env.fake.invokeCalls.empty());
}

TEST_F(FlashPluginTest, SyncMessageWithoutGetValueOrObjectDoesNothing) {
  env.fake.methodNames = {"m"};
  env.fake.getValueError = NPERR_GENERIC_ERROR;
  ASSERT_EQ(start(false), kStatusOK);
  plugin->sendSyncMessageWrap("m", "p");
  env.fake.funcs.getvalue = nullptr;
  ASSERT_EQ(start(false), kStatusOK);
  plugin->sendSyncMessageWrap("m", "p");
  EXPECT_EQ(env.fake.getValueCalls.size(), 1u);
  EXPECT_TRUE(env.fake.invokeCalls.empty());
}

// ---- The command relay ----

std::string relayScript(const std::string& arguments) {
  return "try { __flash__toXML(KW_Comm([" + arguments + "])) ; } catch (e) { \"<undefined/>\"; }";
}

TEST_F(FlashPluginTest, RelayToAMovieWindowCallsItsMethod) {
  env.fake.methodNames = {"zApplication.ping"};
  env.fake.invokeAnswer = "<string>pong</string>";
  ASSERT_EQ(start(false), kStatusOK);
  plugin->fType = kPluginTypeFlash;
  NPVariant result{};
  plugin->SendCommmand(
      relayScript("\"zApplication\",\"ping\"," + std::to_string(identity) + ",\"<a x=\\\"1\\\"/>\""), &result);
  ASSERT_EQ(env.fake.invokeCalls.size(), 1u);
  EXPECT_EQ(env.fake.invokeCalls[0].method, "zApplication.ping");
  EXPECT_EQ(env.fake.invokeCalls[0].stringArgs, std::vector<std::string>{"<a x=\"1\"/>,"});
  ASSERT_EQ(result.type, NPVariantType_String);
  releaseVariantValue(&result);
}

TEST_F(FlashPluginTest, RelayToAWebWindowRunsItsScript) {
  ASSERT_EQ(start(false), kStatusOK);
  plugin->fType = kPluginTypeWeb;
  const std::string argument = std::string(109, 'h') + "alert(1)" + std::string(27, 't');  // + ","
  plugin->SendCommmand(relayScript("\"a\",\"b\"," + std::to_string(identity) + ",\"" + argument + "\""), nullptr);
  EXPECT_EQ(window.scripts, std::vector<std::string>{"alert(1)"});
  EXPECT_TRUE(env.fake.invokeCalls.empty());
}

TEST_F(FlashPluginTest, RelayToAnyOtherKindIsLogged) {
  env.fake.methodNames = {"a.b"};
  ASSERT_EQ(start(false), kStatusOK);
  plugin->fType = 0x6F746872;  // 'othr'
  ScopedLogCapture log;
  plugin->SendCommmand(relayScript("\"a\",\"b\"," + std::to_string(identity) + ",\"x\""), nullptr);
  EXPECT_EQ(log.lines(), std::vector<std::string>{"js sent to non js client window"});
  EXPECT_TRUE(env.fake.invokeCalls.empty());
}

TEST_F(FlashPluginTest, RelayToUnknownOrDestroyedTargetsDoesNothing) {
  env.fake.methodNames = {"a.b"};
  ASSERT_EQ(start(false), kStatusOK);
  plugin->fType = kPluginTypeFlash;
  ScopedLogCapture log;
  plugin->SendCommmand(relayScript("\"a\",\"b\",999,\"x\""), nullptr);
  plugin->destroy();
  plugin->SendCommmand(relayScript("\"a\",\"b\"," + std::to_string(identity) + ",\"x\""), nullptr);
  plugin->SendCommmand(relayScript("\"a\",\"b\""), nullptr);  // too few pieces
  EXPECT_TRUE(env.fake.invokeCalls.empty());
  EXPECT_EQ(log.lines(), std::vector<std::string>{"invalid command"});
}

// ---- Tear-down ----

TEST_F(FlashPluginTest, DestroyTagsTheObjectAndDestroysTheInstanceOnce) {
  ASSERT_EQ(start(), kStatusOK);
  plugin->destroy();
  EXPECT_EQ(plugin->sanityCheck, kPluginNuts);
  EXPECT_FALSE(plugin->isSane());
  EXPECT_TRUE(plugin->m_shutdownCurrentPlugin);
  EXPECT_EQ(env.fake.destroyCalls, 1);
  EXPECT_EQ(env.fake.destroyedInstance, plugin->instance());
  plugin->destroy();
  plugin.reset();
  EXPECT_EQ(env.fake.destroyCalls, 1);
}

TEST_F(FlashPluginTest, DestroyFromInsideNPPDestroyDoesNotRecurse) {
  ASSERT_EQ(start(), kStatusOK);
  env.fake.onDestroy = [&](NPP) { plugin->destroy(); };
  plugin->destroy();
  EXPECT_EQ(env.fake.destroyCalls, 1);
}

TEST_F(FlashPluginTest, DeletingTheObjectDestroysItAndTellsTheRegistry) {
  ASSERT_EQ(start(), kStatusOK);
  const FlashPlugin* gone = plugin.get();
  plugin.reset();
  EXPECT_EQ(env.fake.destroyCalls, 1);
  EXPECT_EQ(env.registry.forgotten, std::vector<const FlashPlugin*>{gone});
  EXPECT_EQ(env.registry.pluginForIdentity(identity), nullptr);
}

TEST_F(FlashPluginTest, InstanceThatNeverStartedIsNotDestroyedInThePlugin) {
  env.fake.newError = NPERR_GENERIC_ERROR;
  EXPECT_EQ(start(), NPERR_GENERIC_ERROR);
  plugin.reset();
  EXPECT_EQ(env.fake.destroyCalls, 0);
}

}  // namespace
}  // namespace kw
