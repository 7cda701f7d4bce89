// The asynchronous reply writer: the 0.1 s poll, reply variables, ending the
// request, a requester going away, records that never complete, stream writes.
#include "mac/commands/AsyncStreamHandler.h"
#include "tests/support/TestWindow.h"

namespace kw {
namespace {

using test::Movie;
using Outcome = AsyncStreamHandler::Outcome;

class AsyncStreamHandlerTest : public test::MovieHost {
 protected:
  // The reply a URL request gets once the poll has run.
  std::string replyTo(const std::string& url) {
    auto record = requestAsync(main, url);
    runLoop.runFor(0.1);
    return bodyOf(*record);
  }
  // A record as the parser leaves getPlayMode, for handlers made by hand.
  std::shared_ptr<StreamData> playModeRequest(Movie& movie, void* notifyData = test::requestNotifyData()) {
    auto record = openRequest(*movie.plugin, "KW://KW_getPlayMode", notifyData);
    record->cocoaInterfaceData->functionNumber = 702;
    record->cocoaInterfaceData->resultIsNumber = 1;
    return record;
  }
  std::shared_ptr<AsyncStreamHandler> start(const std::shared_ptr<StreamData>& record, Movie& movie,
                                            const NPPluginFuncs* funcs = nullptr) {
    auto handler = AsyncStreamHandler::create(record, movie.plugin.get());
    handler->startZFunction(false, funcs ? *funcs : host->pluginFuncs());
    return handler;
  }

  Movie& main = openMovie("main");
};

TEST_F(AsyncStreamHandlerTest, RepliesAtTheFirstPollAfterATenthOfASecondWithUrlNotifyBeforeDestroyStream) {
  size_t notifiesWhenDestroyed = 0;
  fake.onDestroyStream = [&](NPP, NPStream*, NPReason) { notifiesWhenDestroyed = fake.urlNotifyCalls.size(); };
  auto record = requestAsync(main, "KW://KW_getMonitorNumber");
  EXPECT_EQ(main.window->received, std::vector<int32_t>{700});  // run at once
  runLoop.runFor(0.099);
  EXPECT_EQ(bodyOf(*record), "");
  EXPECT_TRUE(fake.urlNotifyCalls.empty());
  runLoop.runFor(0.001);
  EXPECT_EQ(bodyOf(*record), "&returnValue=1");
  EXPECT_EQ(streamOf(*record)->offsets, std::vector<int32_t>{0});
  ASSERT_EQ(fake.urlNotifyCalls.size(), 1u);
  EXPECT_EQ(fake.urlNotifyCalls[0].url, "KW://KW_getMonitorNumber");
  EXPECT_EQ(fake.urlNotifyCalls[0].reason, NPRES_DONE);
  EXPECT_EQ(fake.urlNotifyCalls[0].notifyData, test::requestNotifyData());
  EXPECT_EQ(notifiesWhenDestroyed, 1u);
  EXPECT_EQ(streamOf(*record)->reason, NPRES_DONE);
  EXPECT_EQ(record->cocoaInterfaceData, nullptr);  // released after the reply
  EXPECT_EQ(runLoop.timerCount(), 0u);             // the poll stopped
}

TEST_F(AsyncStreamHandlerTest, ReplyVariablesFollowTheResultKindAndTheRequestedNames) {
  EXPECT_EQ(replyTo("KW://KW_zWindow.getParameter"), "&returnValue=main");
  EXPECT_EQ(replyTo("KW://KW_getMonitorNumber?returnVarName1=screen"), "&screen=1");
  mouse.where = {300, 200};
  EXPECT_EQ(replyTo("KW://KW_getMousePosition"), "&returnValue1=300&returnValue2=200");
  EXPECT_EQ(replyTo("KW://KW_getMousePosition?returnVarName1=h&returnVarName2=v"), "&h=300&v=200");
  EXPECT_EQ(replyTo("KW://KW_getArguments"), "&returnValue=/Applications/Demo.app/Contents/MacOS/zivra~!-psn_0_42~!");
  EXPECT_EQ(replyTo("KW://KW_fileExists?fileName=a"), "&returnValue=0");  // no file family: the parser's false
  EXPECT_EQ(replyTo("KW://KW_zWindow.setSize?width=1&height=2"), "");    // no result kind
}

TEST_F(AsyncStreamHandlerTest, KeepsItselfAliveUntilItHasRepliedThenReportsTheOutcome) {
  auto record = playModeRequest(main);
  auto handler = start(record, main);
  std::weak_ptr<AsyncStreamHandler> watch = handler;
  EXPECT_EQ(handler->outcome(), Outcome::Pending);
  EXPECT_EQ(handler->completed(), 0);
  handler.reset();
  ASSERT_FALSE(watch.expired());
  EXPECT_TRUE(watch.lock()->isPolling());
  runLoop.runFor(0.1);
  EXPECT_TRUE(watch.expired());
  EXPECT_EQ(bodyOf(*record), "&returnValue=0");

  handler = start(playModeRequest(main), main);
  runLoop.runFor(0.1);
  EXPECT_EQ(handler->outcome(), Outcome::Replied);
  EXPECT_EQ(handler->completed(), 1);
  EXPECT_FALSE(handler->isPolling());
  handler->checkForCompletion();  // a late call changes nothing
  EXPECT_EQ(fake.urlNotifyCalls.size(), 2u);
}

TEST_F(AsyncStreamHandlerTest, WritesNoVariablesOnASyncMarkedStreamButStillEndsIt) {
  auto record = playModeRequest(main, syncNotifyData());
  start(record, main);
  runLoop.runFor(0.1);
  EXPECT_EQ(fake.writeCalls, 0);
  EXPECT_EQ(fake.urlNotifyCalls.size(), 1u);
  EXPECT_TRUE(streamOf(*record)->destroyed);
}

TEST_F(AsyncStreamHandlerTest, RequesterGoneOrNotSaneBeforeThePollMeansNoWriteAndNoPluginCall) {
  Movie& other = openMovie("other");
  auto gone = requestAsync(other, "KW://KW_getMonitorNumber");
  auto insane = requestAsync(main, "KW://KW_getMonitorNumber");
  closeMovie(other);
  main.plugin->sanityCheck = kPluginNuts;
  runLoop.runFor(0.1);
  EXPECT_EQ(fake.writeCalls, 0);
  EXPECT_TRUE(fake.urlNotifyCalls.empty());
  EXPECT_FALSE(streamOf(*gone)->destroyed);
  EXPECT_EQ(runLoop.timerCount(), 0u);
  main.plugin->sanityCheck = kPluginSane;
}

TEST_F(AsyncStreamHandlerTest, UndispatchedRecordIsGivenUpAtItsDeadlineWithANetworkError) {
  auto record = requestAsync(main, "KW://KW_getMonitorNumber?windowID=4000");  // no such window
  runLoop.runFor(4.9);
  EXPECT_TRUE(fake.urlNotifyCalls.empty());
  EXPECT_EQ(runLoop.timerCount(), 1u);
  runLoop.runFor(0.1);  // 300 ticks: the record's deadline
  ASSERT_EQ(fake.urlNotifyCalls.size(), 1u);
  EXPECT_EQ(fake.urlNotifyCalls[0].reason, NPRES_NETWORK_ERR);
  EXPECT_EQ(streamOf(*record)->reason, NPRES_NETWORK_ERR);
  EXPECT_EQ(bodyOf(*record), "");
  EXPECT_EQ(runLoop.timerCount(), 0u);
}

TEST_F(AsyncStreamHandlerTest, UndispatchedRecordWithoutADeadlinePollsUntilTheRequesterGoes) {
  Movie& other = openMovie("other");
  auto record = playModeRequest(other);
  record->cocoaInterfaceData->windowID = 4000;
  record->cocoaInterfaceData->deadlineTicks = 0;
  auto handler = start(record, other);
  runLoop.runFor(600);
  EXPECT_TRUE(handler->isPolling());
  closeMovie(other);
  runLoop.runFor(0.1);
  EXPECT_EQ(handler->outcome(), Outcome::Abandoned);
  EXPECT_TRUE(fake.urlNotifyCalls.empty());
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
  auto record = requestAsync(main, "KW://KW_zWindow.getSize");
  runLoop.runFor(30);
  EXPECT_TRUE(fake.urlNotifyCalls.empty());
  ASSERT_NE(family->pending, nullptr);
  family->pending->numberResult = 640;
  family->pending->numberResult2 = 480;
  family->pending->completed = 1;
  runLoop.runFor(0.1);
  EXPECT_EQ(bodyOf(*record), "&returnValue1=640&returnValue2=480");
  EXPECT_EQ(fake.urlNotifyCalls.at(0).reason, NPRES_DONE);
}

TEST_F(AsyncStreamHandlerTest, WritesTheWholeBufferOnceWhenThePluginAcceptsAnything) {
  auto record = playModeRequest(main);
  auto handler = start(record, main);
  fake.writeReadyAnswer = 3;
  EXPECT_EQ(handler->sendStringToStream("&a=12345"), 0);
  fake.writeReadyAnswer = 0;
  EXPECT_EQ(handler->sendStringToStream("&b=dropped"), 0);
  EXPECT_EQ(handler->sendStringToStream(""), 0);
  EXPECT_EQ(bodyOf(*record), "&a=12345");
  EXPECT_EQ(fake.writeCalls, 1);
}

TEST_F(AsyncStreamHandlerTest, MissingPluginEntriesAreSkippedAndARecordWithoutRequestDataIsAbandoned) {
  NPPluginFuncs funcs = host->pluginFuncs();
  funcs.urlnotify = nullptr;
  funcs.write = nullptr;
  auto record = playModeRequest(main);
  auto handler = start(record, main, &funcs);
  runLoop.runFor(0.1);
  EXPECT_EQ(handler->outcome(), Outcome::Replied);
  EXPECT_EQ(bodyOf(*record), "");
  EXPECT_TRUE(streamOf(*record)->destroyed);

  auto released = playModeRequest(main);
  released->release();
  handler = start(released, main);
  runLoop.runFor(0.1);
  EXPECT_EQ(handler->outcome(), Outcome::Abandoned);
  EXPECT_TRUE(fake.urlNotifyCalls.empty());
}

}  // namespace
}  // namespace kw
