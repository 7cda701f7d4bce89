// The bridge between movies and commands: the command filter and runner,
// the asynchronous reply writer, the command handler and the registry of
// instances, on the test host with the fake plug-in.
#include <any>
#include <array>

#include "mac/commands/AsyncStreamHandler.h"
#include "mac/platform/SystemLog.h"
#include "tests/support/TestWindow.h"

namespace kw {
namespace {

using test::Movie;
using Outcome = AsyncStreamHandler::Outcome;

TEST(CommandFilterTest, DropsTheListedNamesInAnyCaseBehindOneObjectPrefixOnly) {
  for (const char* request : {"stopDragging?x=1", "SETDESKTOPLEVEL", "-->E", "zSystem.setTopLevel", "KW_KWF.stopDrag"}) {
    EXPECT_TRUE(isDroppedByCommandFilter(request)) << request;
  }
  for (const char* request : {"zWindow.stopDrag", "stopDra", "trace?msg=stopDrag", "zMenu.zMenu.stopDrag", ""}) {
    EXPECT_FALSE(isDroppedByCommandFilter(request)) << request;
  }
}

// A family that records what reaches it; with `later` its command ends later
// (as downloads do). `then` runs inside the command.
class TestFamily : public CommandFamily {
 public:
  void firstDispatch(KW_Commands& handler) override { firstPlugins.push_back(handler.fPlugin); }
  void runCommand(ZFunctionCall& call) override {
    ran.push_back(call.record.functionNumber);
    call.record.status = 5;  // the handler sets 0 afterwards
    if (later) call.record.completed = 0;
    pending = &call.record;
    if (then) then();
  }
  bool later = false;
  std::function<void()> then;
  CocoaInterfaceData* pending = nullptr;
  std::vector<FlashPlugin*> firstPlugins;  // the handler's plug-in, already taken at the first dispatch
  std::vector<int32_t> ran;
};

class BridgeTest : public test::MovieHost {
 protected:
  // Runs a record of `id` through a window's handler as its view does.
  std::unique_ptr<CocoaInterfaceData> run(int32_t id, const std::function<void(CocoaInterfaceData&)>& fill = {},
                                          Movie* movie = nullptr) {
    auto data = CocoaInterfaceData::create(0, main.plugin.get(), {});
    data->functionNumber = id;
    if (fill) fill(*data);
    (movie ? movie : &main)->window->processOneEvent(*data);
    return data;
  }
  KW_Commands& handler() { return main.window->commands; }
  // A record as the parser leaves getPlayMode, for reply writers made by hand.
  std::shared_ptr<StreamData> playModeRequest(void* notifyData = test::requestNotifyData()) {
    auto record = openRequest(*main.plugin, "KW://KW_getPlayMode", notifyData);
    record->cocoaInterfaceData->functionNumber = 702;
    record->cocoaInterfaceData->resultIsNumber = 1;
    return record;
  }
  std::shared_ptr<AsyncStreamHandler> start(const std::shared_ptr<StreamData>& record, const NPPluginFuncs& funcs) {
    auto writer = AsyncStreamHandler::create(record, main.plugin.get());
    writer->startZFunction(false, funcs);
    return writer;
  }

  Movie& main = openMovie("main");
  std::shared_ptr<TestFamily> family = std::make_shared<TestFamily>();
  ScopedLogCapture log;
};

TEST_F(BridgeTest, FilteredUnparsableJavaAndUnstartableRequestsRunNothingButAreEnded) {
  auto filtered = requestAsync(main, "KW://KW_zSystem.stopDragging");
  auto unknown = requestAsync(main, "KW://KW_noSuchCommand");
  for (const char* request : {"javascript:KW://KW_getMonitorNumber", "KW://KW_zWindow.setSize?width=300",
                              "kw://KW_getMonitorNumber", "KW://KW_simpleGet?serverNameOrIP=h"}) {  // no FTP starter yet
    EXPECT_EQ(callSync(main, request), std::nullopt) << request;
  }
  runLoop.runFor(10);
  EXPECT_TRUE(main.window->received.empty());
  for (const auto& record : {filtered, unknown}) {
    EXPECT_EQ(streamOf(*record)->reason, NPRES_NETWORK_ERR);
    EXPECT_EQ(record->cocoaInterfaceData, nullptr);  // released by the runner
  }
  EXPECT_EQ(fake.urlNotifyCalls.size(), 2u);
}

TEST_F(BridgeTest, SynchronousCallsWithoutAResultAreReleasedAndTheirStreamClosedWithoutNotification) {
  auto record = openRequest(*main.plugin, "KW://SS_getMonitorNumber", syncNotifyData());
  runner.runCommand(record);  // no result variant: the reply goes nowhere, the record is released all the same
  EXPECT_EQ(record->cocoaInterfaceData, nullptr);
  EXPECT_EQ(fake.streams.back().reason, NPRES_DONE);
  EXPECT_TRUE(fake.urlNotifyCalls.empty());
}

TEST_F(BridgeTest, TargetOrRequesterThatIsNotLiveRunsNothingAndTheParsersRecordAnswers) {
  Movie& other = openMovie("other");
  other.plugin->sanityCheck = kPluginNuts;
  EXPECT_EQ(callSync(main, "KW://KW_zWindow.getParameter?windowID=" + idOf(other)), "<string>undefined</string>");
  EXPECT_EQ(callSync(main, "KW://KW_getMonitorNumber?windowID=4000"), "<number>0</number>");
  registry.forget(main.plugin.get());
  EXPECT_EQ(callSync(main, "KW://KW_fileExists?fileName=a"), "<false/>");
  EXPECT_TRUE(other.window->received.empty());
  EXPECT_TRUE(main.window->received.empty());
}

TEST_F(BridgeTest, RequesterGoneDuringASynchronousCommandGetsNoReply) {
  Movie& other = openMovie("other");
  family->then = [this] { closeMovie(main); };
  other.window->commands.setFamily(CommandFamilyKind::Window, family);
  EXPECT_EQ(callSync(main, "KW://KW_zWindow.getSize?windowID=" + idOf(other)), std::nullopt);
  EXPECT_EQ(other.window->received, std::vector<int32_t>{310});
}

TEST_F(BridgeTest, ClosingAWebPageProxyPostsTheWebWindowRemovalWithoutClosingAndRepliesEmpty) {
  Movie& page = openMovie("page");
  page.plugin->fType = kPluginTypeWeb;
  std::vector<std::any> web;
  notifications.addObserver(notification::kRemoveWebWindowFromList, [&](const std::any& w) { web.push_back(w); });
  EXPECT_EQ(callSync(main, "KW://KW_zWindow.close?windowID=" + idOf(page)), "");
  runLoop.runFor(1);
  ASSERT_EQ(web.size(), 1u);
  EXPECT_EQ(std::any_cast<PluginWindow*>(web[0]), page.window.get());
  EXPECT_TRUE(closer.closed.empty());
}

// ---- The asynchronous reply writer ----

TEST_F(BridgeTest, RequesterNotSaneBeforeThePollMeansNoWriteAndNoPluginCall) {
  auto insane = requestAsync(main, "KW://KW_getMonitorNumber");
  main.plugin->sanityCheck = kPluginNuts;
  runLoop.runFor(0.1);
  main.plugin->sanityCheck = kPluginSane;
  EXPECT_EQ(fake.writeCalls, 0);
  EXPECT_TRUE(fake.urlNotifyCalls.empty());
  EXPECT_FALSE(streamOf(*insane)->destroyed);
}

TEST_F(BridgeTest, OnlyAnUndispatchedRecordIsGivenUpAtItsDeadlineWithANetworkError) {
  family->later = true;
  handler().setFamily(CommandFamilyKind::Window, family);
  auto waited = requestAsync(main, "KW://KW_zWindow.getSize");  // dispatched: waited for however long it takes
  auto record = requestAsync(main, "KW://KW_getMonitorNumber?windowID=4000");  // no such window
  runLoop.runFor(4.9);
  EXPECT_TRUE(fake.urlNotifyCalls.empty());
  runLoop.runFor(0.1);  // 300 ticks: the record's deadline
  ASSERT_EQ(fake.urlNotifyCalls.size(), 1u);
  EXPECT_EQ(streamOf(*record)->reason, NPRES_NETWORK_ERR);
  runLoop.runFor(600);
  ASSERT_NE(family->pending, nullptr);
  family->pending->numberResult = 640;
  family->pending->completed = 1;
  runLoop.runFor(0.1);
  EXPECT_EQ(bodyOf(*waited), "&returnValue1=640&returnValue2=0");
  EXPECT_EQ(fake.urlNotifyCalls.size(), 2u);
}

TEST_F(BridgeTest, ReplyWriterWritesWholeOrNoneNotifiesThenDestroysOnceAndSkipsWhatIsMissing) {
  size_t notifiesWhenDestroyed = 0;
  fake.onDestroyStream = [&](NPP, NPStream*, NPReason) { notifiesWhenDestroyed = fake.urlNotifyCalls.size(); };
  auto record = playModeRequest(syncNotifyData());  // a stream marked 'Sync' gets no variables
  auto writer = start(record, host->pluginFuncs());
  fake.writeReadyAnswer = 3;
  writer->sendStringToStream("&a=12345");
  fake.writeReadyAnswer = 0;
  writer->sendStringToStream("&b=dropped");
  fake.writeReadyAnswer = 100;
  runLoop.runFor(0.1);
  EXPECT_EQ(bodyOf(*record), "&a=12345");
  ASSERT_EQ(fake.urlNotifyCalls.size(), 1u);
  EXPECT_EQ(notifiesWhenDestroyed, 1u);
  writer->checkForCompletion();  // a late call changes nothing
  EXPECT_EQ(writer->outcome(), Outcome::Replied);

  // Missing plug-in entries are skipped; a writer nobody holds but its poll still
  // finishes; a record whose request data is gone is abandoned without a call.
  NPPluginFuncs funcs = host->pluginFuncs();
  funcs.urlnotify = nullptr;
  funcs.write = nullptr;
  record = playModeRequest();
  start(record, funcs);
  auto released = playModeRequest();
  released->release();
  writer = start(released, host->pluginFuncs());
  runLoop.runFor(0.1);
  EXPECT_TRUE(streamOf(*record)->destroyed);
  EXPECT_EQ(writer->outcome(), Outcome::Abandoned);
  EXPECT_EQ((std::pair{fake.urlNotifyCalls.size(), fake.writeCalls}), (std::pair{size_t{1}, 1}));
  EXPECT_EQ(runLoop.timerCount(), 0u);
}

// ---- The command handler ----

TEST_F(BridgeTest, FirstCallIsTakenOnceOnlyUndispatchedMarkedRecordsRunAndHandlerCommandsAnswer) {
  handler().setFamily(CommandFamilyKind::Menu, family);
  handler().doZFunction(main.window.get(), nullptr, nullptr, nullptr, nullptr, main.plugin.get(), nullptr);
  auto data = run(100, [](CocoaInterfaceData& d) { d.sanityCheck = 0x49436F43; });  // marker reversed
  EXPECT_EQ(data->dispatched + data->completed, 0);
  data = run(408, [](CocoaInterfaceData& d) { d.stringParam1 = "once"; });
  EXPECT_EQ((std::array<int, 3>{data->dispatched, data->completed, data->status}), (std::array<int, 3>{1, 1, 0}));
  data->status = 3;
  main.window->processOneEvent(*data);
  EXPECT_EQ(log.lines(), (std::vector<std::string>{"Zivra trace -> once", "BAD ZFunction"}));
  EXPECT_EQ(family->firstPlugins, std::vector<FlashPlugin*>{main.plugin.get()});
  EXPECT_TRUE(family->ran.empty());
  run(408, [](CocoaInterfaceData& d) { d.stringParam1 = "undefined"; });
  EXPECT_EQ(log.lines().back(), "Zivra trace -> ");

  handler().setParameter(nullptr);  // a null text keeps the old one
  EXPECT_EQ(run(306)->stringResult, "main");

  Movie& child = openMovie("child", {}, true, main.plugin.get());
  registry.forget(main.plugin.get());  // the creator's identity now names nothing
  EXPECT_EQ(run(417, {}, &child)->numberResult, 0);

  run(418, [](CocoaInterfaceData& d) { d.boolParam1 = 0; });
  EXPECT_FALSE(child.plugin->fOkToCache);
  EXPECT_FALSE(FlashPlugin(*host, true).fOkToCache);  // instances made later start from the default
  EXPECT_EQ(run(421)->stringResult, "/Applications/Demo.app/Contents/MacOS/zivra~!-psn_0_42~!");
}

TEST_F(BridgeTest, FamilyIdsReachTheirFamilyAndTheRestKeepWhatTheParserStored) {
  using K = CommandFamilyKind;
  const std::pair<int32_t, std::optional<K>> rows[] = {  // the ends of each range and its exceptions
      {100, K::Menu}, {110, {}}, {111, K::Menu}, {200, K::System}, {204, {}}, {232, K::System}, {300, K::Window},
      {304, {}}, {320, {}}, {321, K::Window}, {401, K::Network}, {408, {}}, {415, K::System}, {416, K::Window},
      {419, K::Window}, {500, K::File}, {507, {}}, {520, K::File}, {601, K::Network}, {602, {}}, {0, {}}};
  for (const auto& [id, kind] : rows) EXPECT_EQ(commandFamilyOf(id), kind) << id;

  EXPECT_EQ(run(314)->completed, 1);  // no family yet: nothing runs, the record is answered
  for (K kind : {K::Menu, K::System, K::Window, K::File, K::Network}) handler().setFamily(kind, family);
  EXPECT_EQ(run(314)->status, 0);
  for (int32_t id : {414, 110, 204, 302, 315, 507, 999}) {
    auto data = run(id, [](CocoaInterfaceData& d) { d.stringResult = "parser"; });
    EXPECT_EQ(data->stringResult, "parser") << id;
  }
  handler().setFamily(K::Window, nullptr);
  run(309);
  EXPECT_EQ(family->ran, std::vector<int32_t>{314});
}

// ---- The registry of instances ----

class PluginRegistryTest : public test::TestHost {
 protected:
  FlashPlugin& make() { return *plugins.emplace_back(std::make_unique<FlashPlugin>(*host, true)); }
  FlashPlugin& added() {
    enlist(make());
    return *plugins.back();
  }
  void remove(FlashPlugin& plugin) { notifications.post(notification::kRemoveNsPluginFromList, &plugin); }
  std::vector<std::unique_ptr<FlashPlugin>> plugins;
};

TEST_F(PluginRegistryTest, StrangersDuplicatesAndWebProxiesAreLeftAloneAndADestroyedRegistryStopsObserving) {
  notifications.post(notification::kAddNsPluginToList);
  notifications.post(notification::kAddNsPluginToList, std::string("not a plug-in"));
  notifications.post(notification::kAddNsPluginToList, static_cast<FlashPlugin*>(nullptr));
  FlashPlugin& first = added();
  enlist(first);  // a duplicate keeps its entry and identity
  EXPECT_EQ(registry.plugins(), std::vector<FlashPlugin*>{&first});
  EXPECT_EQ(registry.pluginForIdentity(0), nullptr);  // 0 names the requester, never an entry
  make();
  FlashPlugin& web = added();
  web.fType = kPluginTypeWeb;
  notifications.post(notification::kRemoveNsPluginFromList, 42);
  remove(*plugins[1]);  // not registered
  EXPECT_EQ(registry.count(), 2u);
  registry.enableCaching(false);  // web page proxies keep theirs
  EXPECT_TRUE(web.fOkToCache);
  {
    PluginRegistry other(notifications);
    EXPECT_TRUE(other.isAValidNsPlugin(&added()));
  }
  added();  // must not reach the destroyed registry
  EXPECT_EQ(registry.count(), 4u);
}

TEST_F(PluginRegistryTest, RemovalKeepsTheLastInstanceAndIdentitiesAreNeverReused) {
  FlashPlugin& keeper = added();
  remove(keeper);
  EXPECT_TRUE(registry.isAValidNsPlugin(&keeper));
  remove(added());
  EXPECT_EQ(registry.identityOf(&added()), 3u);  // identity 2 is not issued again
  remove(keeper);
  EXPECT_FALSE(registry.isAValidNsPlugin(&keeper));
  enlist(keeper);  // back again: a new registration with a new identity
  EXPECT_EQ(registry.identityOf(&keeper), 4u);
}

}  // namespace
}  // namespace kw
