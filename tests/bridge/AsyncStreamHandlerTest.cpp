// Tests of the asynchronous reply writer: the poll, reply variables, ending the
// request, a requester going away, records that never complete, stream writes.
#include <gtest/gtest.h>

#include "mac/commands/AsyncStreamHandler.h"
#include "tests/bridge/BridgeTestHost.h"

namespace kw {
namespace {

class AsyncStreamHandlerTest : public ::testing::Test {
 protected:
  // The reply a URL request gets once the poll has run.
  std::string replyTo(const std::string& url) {
    auto record = env.requestAsync(main, url);
    env.runLoop.runFor(0.1);
    return env.bodyOf(*record);
  }

  // A handler made and started by hand for a request of the main movie.
  std::shared_ptr<AsyncStreamHandler> start(const std::shared_ptr<StreamData>& record) {
    auto handler = AsyncStreamHandler::create(record, main.plugin.get());
    handler->startZFunction(false, env.host->pluginFuncs());
    return handler;
  }

  test::BridgeTestHost env;
  test::Movie& main = env.openMovie("main");
};

// ---- Replies ----

TEST_F(AsyncStreamHandlerTest, RepliesAtTheFirstPollAfterATenthOfASecond) {
  auto record = env.requestAsync(main, "KW://KW_getMonitorNumber");
  EXPECT_EQ(main.window->received, std::vector<int32_t>{700});  // run at once
  env.runLoop.runFor(0.099);
  EXPECT_EQ(env.bodyOf(*record), "");
  EXPECT_TRUE(env.fake.urlNotifyCalls.empty());
  env.runLoop.runFor(0.001);
  EXPECT_EQ(env.bodyOf(*record), "&returnValue=1");
  EXPECT_EQ(env.streamOf(*record)->offsets, std::vector<int32_t>{0});
  EXPECT_EQ(env.runLoop.timerCount(), 0u);  // the poll stopped
}

TEST_F(AsyncStreamHandlerTest, ReplyVariablesFollowTheResultKindAndTheRequestedNames) {
  EXPECT_EQ(replyTo("KW://KW_zWindow.getParameter"), "&returnValue=main");
  EXPECT_EQ(replyTo("KW://KW_getMonitorNumber?returnVarName1=screen"), "&screen=1");
  env.mouse.where = {300, 200};
  EXPECT_EQ(replyTo("KW://KW_getMousePosition"), "&returnValue1=300&returnValue2=200");
  EXPECT_EQ(replyTo("KW://KW_getMousePosition?returnVarName1=h&returnVarName2=v"), "&h=300&v=200");
  EXPECT_EQ(replyTo("KW://KW_getArguments"), "&returnValue=/Applications/Demo.app/Contents/MacOS/zivra~!-psn_0_42~!");
  EXPECT_EQ(replyTo("KW://KW_fileExists?fileName=a"), "&returnValue=0");  // no file family: the parser's false
  EXPECT_EQ(replyTo("KW://KW_zWindow.setSize?width=1&height=2"), "");    // no result kind
}

TEST_F(AsyncStreamHandlerTest, EndsTheRequestWithUrlNotifyBeforeDestroyStream) {
  size_t notifiesWhenDestroyed = 0;
  env.fake.onDestroyStream = [&](NPP, NPStream*, NPReason) { notifiesWhenDestroyed = env.fake.urlNotifyCalls.size(); };
  auto record = env.requestAsync(main, "KW://KW_getPlayMode");
  env.runLoop.runFor(0.1);
  ASSERT_EQ(env.fake.urlNotifyCalls.size(), 1u);
  EXPECT_EQ(env.fake.urlNotifyCalls[0].url, "KW://KW_getPlayMode");
  EXPECT_EQ(env.fake.urlNotifyCalls[0].reason, NPRES_DONE);
  EXPECT_EQ(env.fake.urlNotifyCalls[0].notifyData, test::requestNotifyData());
  EXPECT_EQ(notifiesWhenDestroyed, 1u);
  EXPECT_TRUE(env.streamOf(*record)->destroyed);
  EXPECT_EQ(env.streamOf(*record)->reason, NPRES_DONE);
  EXPECT_EQ(record->cocoaInterfaceData, nullptr);  // released after the reply
}

// A record as the parser leaves getPlayMode, for handlers made by hand.
std::shared_ptr<StreamData> playModeRequest(test::BridgeTestHost& env, test::Movie& movie, void* notifyData) {
  auto record = env.openRequest(movie, "KW://KW_getPlayMode", notifyData);
  record->cocoaInterfaceData->functionNumber = 702;
  record->cocoaInterfaceData->resultIsNumber = 1;
  return record;
}

TEST_F(AsyncStreamHandlerTest, KeepsItselfAliveUntilItHasRepliedAndThenGoes) {
  auto record = playModeRequest(env, main, test::requestNotifyData());
  auto handler = start(record);
  std::weak_ptr<AsyncStreamHandler> watch = handler;
  handler.reset();
  ASSERT_FALSE(watch.expired());
  EXPECT_TRUE(watch.lock()->isPolling());
  env.runLoop.runFor(0.1);
  EXPECT_TRUE(watch.expired());
  EXPECT_EQ(env.bodyOf(*record), "&returnValue=0");
}

TEST_F(AsyncStreamHandlerTest, ReportsItsOutcomeAndCompletedFlag) {
  auto handler = start(playModeRequest(env, main, test::requestNotifyData()));
  EXPECT_EQ(handler->outcome(), AsyncStreamHandler::Outcome::Pending);
  EXPECT_EQ(handler->completed(), 0);
  env.runLoop.runFor(0.1);
  EXPECT_EQ(handler->outcome(), AsyncStreamHandler::Outcome::Replied);
  EXPECT_EQ(handler->completed(), 1);
  EXPECT_FALSE(handler->isPolling());
  handler->checkForCompletion();  // a late call changes nothing
  EXPECT_EQ(env.fake.urlNotifyCalls.size(), 1u);
}

TEST_F(AsyncStreamHandlerTest, WritesNoVariablesOnASyncMarkedStreamButStillEndsIt) {
  auto record = playModeRequest(env, main, syncNotifyData());
  start(record);
  env.runLoop.runFor(0.1);
  EXPECT_EQ(env.bodyOf(*record), "");
  EXPECT_EQ(env.fake.writeCalls, 0);
  EXPECT_EQ(env.fake.urlNotifyCalls.size(), 1u);
  EXPECT_TRUE(env.streamOf(*record)->destroyed);
}

// ---- Requester gone ----

TEST_F(AsyncStreamHandlerTest, RequesterGoneBeforeThePollMeansNoWriteAndNoPluginCall) {
  test::Movie& other = env.openMovie("other");
  auto record = env.requestAsync(other, "KW://KW_getMonitorNumber");
  const int writesBefore = env.fake.writeCalls;
  env.closeMovie(other);
  env.runLoop.runFor(0.1);
  EXPECT_EQ(env.fake.writeCalls, writesBefore);
  EXPECT_TRUE(env.fake.urlNotifyCalls.empty());
  EXPECT_FALSE(env.streamOf(*record)->destroyed);
  EXPECT_EQ(env.runLoop.timerCount(), 0u);
}

TEST_F(AsyncStreamHandlerTest, ARequesterThatIsNoLongerSaneIsGoneToo) {
  auto record = env.requestAsync(main, "KW://KW_getMonitorNumber");
  main.plugin->sanityCheck = kPluginNuts;
  env.runLoop.runFor(0.1);
  EXPECT_EQ(env.bodyOf(*record), "");
  EXPECT_TRUE(env.fake.urlNotifyCalls.empty());
  EXPECT_EQ(env.runLoop.timerCount(), 0u);
}

// ---- Records that are not completed ----

TEST_F(AsyncStreamHandlerTest, UndispatchedRecordIsGivenUpAtItsDeadlineWithANetworkError) {
  auto record = env.requestAsync(main, "KW://KW_getMonitorNumber?windowID=4000");  // no such window
  env.runLoop.runFor(4.9);
  EXPECT_TRUE(env.fake.urlNotifyCalls.empty());
  EXPECT_EQ(env.runLoop.timerCount(), 1u);
  env.runLoop.runFor(0.1);  // 300 ticks: the record's deadline
  ASSERT_EQ(env.fake.urlNotifyCalls.size(), 1u);
  EXPECT_EQ(env.fake.urlNotifyCalls[0].reason, NPRES_NETWORK_ERR);
  EXPECT_EQ(env.fake.urlNotifyCalls[0].url, "KW://KW_getMonitorNumber?windowID=4000");
  EXPECT_TRUE(env.streamOf(*record)->destroyed);
  EXPECT_EQ(env.streamOf(*record)->reason, NPRES_NETWORK_ERR);
  EXPECT_EQ(env.bodyOf(*record), "");
  EXPECT_EQ(env.runLoop.timerCount(), 0u);
}

TEST_F(AsyncStreamHandlerTest, UndispatchedRecordWithoutADeadlinePollsUntilTheRequesterGoes) {
  test::Movie& other = env.openMovie("other");
  auto record = playModeRequest(env, other, test::requestNotifyData());
  record->cocoaInterfaceData->windowID = 4000;
  record->cocoaInterfaceData->deadlineTicks = 0;
  auto handler = AsyncStreamHandler::create(record, other.plugin.get());
  handler->startZFunction(false, env.host->pluginFuncs());
  env.runLoop.runFor(600);
  EXPECT_TRUE(handler->isPolling());
  EXPECT_TRUE(env.fake.urlNotifyCalls.empty());
  env.closeMovie(other);
  env.runLoop.runFor(0.1);
  EXPECT_EQ(handler->outcome(), AsyncStreamHandler::Outcome::Abandoned);
  EXPECT_TRUE(env.fake.urlNotifyCalls.empty());
}

// A family whose command finishes later, as downloads and transfers do.
class LaterFamily : public CommandFamily {
 public:
  void runCommand(ZFunctionCall& call) override {
    call.record.completed = 0;
    pending = &call.record;
  }
  CocoaInterfaceData* pending = nullptr;
};

TEST_F(AsyncStreamHandlerTest, DispatchedRecordsAreWaitedForPastTheirDeadline) {
  auto family = std::make_shared<LaterFamily>();
  main.window->commands.setFamily(CommandFamilyKind::Window, family);
  auto record = env.requestAsync(main, "KW://KW_zWindow.getSize");
  env.runLoop.runFor(30);
  EXPECT_TRUE(env.fake.urlNotifyCalls.empty());
  ASSERT_NE(family->pending, nullptr);
  family->pending->numberResult = 640;
  family->pending->numberResult2 = 480;
  family->pending->completed = 1;
  env.runLoop.runFor(0.1);
  EXPECT_EQ(env.bodyOf(*record), "&returnValue1=640&returnValue2=480");
  ASSERT_EQ(env.fake.urlNotifyCalls.size(), 1u);
  EXPECT_EQ(env.fake.urlNotifyCalls[0].reason, NPRES_DONE);
}

// ---- Writing ----

TEST_F(AsyncStreamHandlerTest, WritesTheWholeBufferOnceWhenThePluginAcceptsAnything) {
  auto record = playModeRequest(env, main, test::requestNotifyData());
  auto handler = AsyncStreamHandler::create(record, main.plugin.get());
  handler->startZFunction(false, env.host->pluginFuncs());
  env.fake.writeReadyAnswer = 3;
  EXPECT_EQ(handler->sendStringToStream("&a=12345"), 0);
  env.fake.writeReadyAnswer = 0;
  EXPECT_EQ(handler->sendStringToStream("&b=dropped"), 0);
  EXPECT_EQ(handler->sendStringToStream(""), 0);
  EXPECT_EQ(env.bodyOf(*record), "&a=12345");
  EXPECT_EQ(env.fake.writeCalls, 1);
}

TEST_F(AsyncStreamHandlerTest, MissingPluginEntriesAreSkipped) {
  NPPluginFuncs funcs = env.host->pluginFuncs();
  funcs.urlnotify = nullptr;
  funcs.write = nullptr;
  auto record = playModeRequest(env, main, test::requestNotifyData());
  auto handler = AsyncStreamHandler::create(record, main.plugin.get());
  handler->startZFunction(false, funcs);
  env.runLoop.runFor(0.1);
  EXPECT_EQ(handler->outcome(), AsyncStreamHandler::Outcome::Replied);
  EXPECT_TRUE(env.fake.urlNotifyCalls.empty());
  EXPECT_EQ(env.bodyOf(*record), "");
  EXPECT_TRUE(env.streamOf(*record)->destroyed);
}

TEST_F(AsyncStreamHandlerTest, ARecordWithoutItsRequestRecordIsAbandoned) {
  auto record = playModeRequest(env, main, test::requestNotifyData());
  record->release();
  auto handler = start(record);
  env.runLoop.runFor(0.1);
  EXPECT_EQ(handler->outcome(), AsyncStreamHandler::Outcome::Abandoned);
  EXPECT_TRUE(env.fake.urlNotifyCalls.empty());
}

}  // namespace
}  // namespace kw
