// Tests of the command runner: the filter, synchronous XML replies, hand-over to
// targets (closing one included), parser services, requests ended unanswered.
#include <gtest/gtest.h>

#include <any>

#include "mac/commands/CommandRunner.h"
#include "mac/platform/SystemLog.h"
#include "tests/bridge/BridgeTestHost.h"

namespace kw {
namespace {

TEST(CommandFilterTest, DropsTheListedNamesInAnyCaseBehindOneObjectPrefix) {
  for (const char* request : {"stopDrag", "stopDragging?x=1", "STOPDRAG", "setDesktopLevel", "setDeskt",
                              "setNormalLevel", "SETNORMA", "setTopLevel", "settoplevel?windowID=3", "open_file",
                              "open_files", "-->eval", "-->E", "zMenu.stopDrag", "zSystem.setTopLevel",
                              "zApplication.open_file", "zFile.setNormalLevel", "zFTP.-->e", "KWF.stopDrag",
                              "KW_KWF.setDesktopLevel"}) {
    EXPECT_TRUE(isDroppedByCommandFilter(request)) << request;
  }
}

TEST(CommandFilterTest, KeepsWindowCommandsShortPrefixesAndOtherNames) {
  for (const char* request : {"zWindow.stopDrag", "zWindow.setTopLevel", "stopDra", "setDesk", "open_fi", "-->",
                              "-->x", "trace?msg=stopDrag", "ZMENU.stopDrag.x", "zMenu.zMenu.stopDrag", "",
                              "getParameter", "xstopDrag"}) {
    EXPECT_FALSE(isDroppedByCommandFilter(request)) << request;
  }
}

class CommandRunnerTest : public ::testing::Test {
 protected:
  test::BridgeTestHost env;
  test::Movie& main = env.openMovie("main");
};

// ---- What runs and what does not ----

TEST_F(CommandRunnerTest, FilteredNamesRunNothingAndWriteNothing) {
  auto async = env.requestAsync(main, "KW://KW_zSystem.stopDragging");
  EXPECT_EQ(env.callSync(main, "KW://KW_setTopLevel"), std::nullopt);
  env.runLoop.runFor(10);
  EXPECT_TRUE(main.window->received.empty());
  EXPECT_EQ(env.bodyOf(*async), "");
  // Nothing is written, but the request is ended so no stream outlives its record.
  ASSERT_EQ(env.fake.urlNotifyCalls.size(), 1u);
  EXPECT_EQ(env.fake.urlNotifyCalls[0].reason, NPRES_NETWORK_ERR);
  EXPECT_TRUE(env.streamOf(*async)->destroyed);
  EXPECT_EQ(env.runLoop.timerCount(), 0u);
  EXPECT_EQ(async->cocoaInterfaceData, nullptr);  // released by the runner
}

TEST_F(CommandRunnerTest, JavaUrlsRunNothing) {
  EXPECT_EQ(env.callSync(main, "javascript:KW://KW_getMonitorNumber"), std::nullopt);
  env.requestAsync(main, "java:[zWindow,getParameter]");
  env.runLoop.runFor(1);
  EXPECT_TRUE(main.window->received.empty());
  EXPECT_EQ(env.runLoop.timerCount(), 0u);
}

TEST_F(CommandRunnerTest, ParseFailuresEndTheRequestWithoutAReply) {
  EXPECT_EQ(env.callSync(main, "KW://KW_noSuchCommand"), std::nullopt);
  EXPECT_EQ(env.callSync(main, "KW://KW_zWindow.setSize?width=300"), std::nullopt);  // height missing
  auto async = env.requestAsync(main, "KW://KW_noSuchCommand");
  env.runLoop.runFor(1);
  EXPECT_TRUE(main.window->received.empty());
  EXPECT_EQ(env.bodyOf(*async), "");
  EXPECT_TRUE(env.streamOf(*async)->destroyed);
  EXPECT_EQ(env.streamOf(*async)->reason, NPRES_NETWORK_ERR);
}

TEST_F(CommandRunnerTest, BothUrlLeadsAndTheListFormReachTheParser) {
  EXPECT_EQ(env.callSync(main, "KW://KW_zWindow.getParameter"), "<string>main</string>");
  // The stream opened for a synchronous call is closed once it is answered.
  ASSERT_FALSE(env.fake.streams.empty());
  EXPECT_TRUE(env.fake.streams.back().destroyed);
  EXPECT_EQ(env.fake.streams.back().reason, NPRES_DONE);
  EXPECT_TRUE(env.fake.urlNotifyCalls.empty());
  EXPECT_EQ(env.callSync(main, "KW://SS_zWindow.getParameter"), "<string>main</string>");
  EXPECT_EQ(env.callSync(main, "[\"zWindow\",\"getParameter\"]"), "<string>main</string>");
  EXPECT_EQ(env.callSync(main, "KW://KW_zApplication.getMonitorNumber"), "<number>1</number>");
  // The lead is case-sensitive: anything else is taken whole as a list.
  EXPECT_EQ(env.callSync(main, "kw://KW_getMonitorNumber"), std::nullopt);
  EXPECT_EQ(main.window->received, (std::vector<int32_t>{306, 306, 306, 700}));
}

TEST_F(CommandRunnerTest, TraceThroughAUrlRequestLogsTheDecodedMessage) {
  ScopedLogCapture log;
  env.requestAsync(main, "KW://KW_trace?msg=Hello%20World");
  EXPECT_EQ(log.lines(), std::vector<std::string>{"Zivra trace -> Hello World"});
}

// ---- Synchronous runs ----

TEST_F(CommandRunnerTest, SynchronousRunsAnswerXmlAndReleaseTheRecord) {
  NPVariant result{};
  auto record = env.openRequest(main, "KW://KW_getArguments", syncNotifyData());
  record->syncResult = &result;
  env.runner.runCommand(record);
  ASSERT_EQ(result.type, NPVariantType_String);
  const std::string reply(result.value.stringValue.UTF8Characters, result.value.stringValue.UTF8Length);
  EXPECT_EQ(reply.rfind("<object><property id=\"KW_array\"><array>", 0), 0u) << reply;
  EXPECT_EQ(record->syncError, 0);
  EXPECT_EQ(record->cocoaInterfaceData, nullptr);
  EXPECT_EQ(env.runLoop.timerCount(), 0u);  // no poll for a synchronous call
  releaseVariantValue(&result);
}

TEST_F(CommandRunnerTest, SynchronousMousePositionIsFilledByTheParser) {
  env.mouse.where = {640, -5};
  EXPECT_EQ(env.callSync(main, "KW://KW_getMousePosition"),
            "<object><property id=\"x\"><number>640</number></property>"
            "<property id=\"y\"><number>-5</number></property></object>");
  EXPECT_EQ(main.window->received, std::vector<int32_t>{414});
}

TEST_F(CommandRunnerTest, WindowIdNamesTheTargetWindow) {
  test::Movie& other = env.openMovie("other");
  const std::string id = std::to_string(env.identityOf(other));
  EXPECT_EQ(env.callSync(main, "KW://KW_zWindow.getParameter?windowID=" + id), "<string>other</string>");
  EXPECT_EQ(env.callSync(main, "[zWindow,getParameter," + id + "]"), "<string>other</string>");
  EXPECT_TRUE(main.window->received.empty());
  EXPECT_EQ(other.window->received.size(), 2u);
}

TEST_F(CommandRunnerTest, TargetThatIsNotLiveIsNotRunAndTheParsersRecordAnswers) {
  test::Movie& other = env.openMovie("other");
  const std::string id = std::to_string(env.identityOf(other));
  other.plugin->sanityCheck = kPluginNuts;
  EXPECT_EQ(env.callSync(main, "KW://KW_zWindow.getParameter?windowID=" + id), "<string>undefined</string>");
  EXPECT_EQ(env.callSync(main, "KW://KW_fileExists?fileName=a&windowID=" + id), "<false/>");
  EXPECT_EQ(env.callSync(main, "KW://KW_getMonitorNumber?windowID=4000"), "<number>0</number>");
  EXPECT_TRUE(other.window->received.empty());
  EXPECT_TRUE(main.window->received.empty());
}

TEST_F(CommandRunnerTest, UnregisteredRequesterRunsNothingButIsStillAnswered) {
  env.registry.forget(main.plugin.get());
  EXPECT_EQ(env.callSync(main, "KW://KW_getMonitorNumber"), "<number>0</number>");
  EXPECT_TRUE(main.window->received.empty());
}

// A window family whose command closes the requesting movie at once.
class ClosingFamily : public CommandFamily {
 public:
  ClosingFamily(test::BridgeTestHost& env, test::Movie& victim) : env_(env), victim_(victim) {}
  void runCommand(ZFunctionCall& call) override {
    call.record.numberResult = 7;
    env_.closeMovie(victim_);
  }

 private:
  test::BridgeTestHost& env_;
  test::Movie& victim_;
};

TEST_F(CommandRunnerTest, RequesterGoneDuringASynchronousCommandGetsNoReply) {
  test::Movie& other = env.openMovie("other");
  other.window->commands.setFamily(CommandFamilyKind::Window, std::make_shared<ClosingFamily>(env, main));
  test::Movie* requester = &main;
  NPVariant result{};
  auto record = env.openRequest(*requester, "KW://KW_zWindow.getSize?windowID=" +
                                                 std::to_string(env.identityOf(other)), syncNotifyData());
  record->syncResult = &result;
  env.runner.runCommand(record);
  EXPECT_EQ(result.type, NPVariantType_Void);
  EXPECT_EQ(other.window->received, std::vector<int32_t>{310});
}

// ---- Closing a window ----

TEST_F(CommandRunnerTest, CloseOnAnotherWindowPostsRemovalAndClosesItAHundredthLater) {
  test::Movie& other = env.openMovie("other");
  std::vector<PluginWindow*> removed;
  env.notifications.addObserver(notification::kRemoveWindowFromList, [&removed](const std::any& object) {
    removed.push_back(std::any_cast<PluginWindow*>(object));
  });
  const double start = env.runLoop.now();
  EXPECT_EQ(env.callSync(main, "KW://KW_zWindow.close?windowID=" + std::to_string(env.identityOf(other))), "");
  EXPECT_EQ(removed, std::vector<PluginWindow*>{other.window.get()});
  EXPECT_TRUE(other.window->received.empty());  // the window is not asked
  EXPECT_TRUE(env.closer.closed.empty());
  env.runLoop.runFor(0.005);
  EXPECT_TRUE(env.closer.closed.empty());
  env.runLoop.runFor(0.01);
  ASSERT_EQ(env.closer.closed, std::vector<PluginWindow*>{other.window.get()});
  EXPECT_DOUBLE_EQ(env.closer.closedAt[0] - start, 0.01);
}

TEST_F(CommandRunnerTest, AsynchronousCloseRepliesEmptyAndEndsTheRequest) {
  test::Movie& other = env.openMovie("other");
  auto record = env.requestAsync(main, "KW://KW_zWindow.close?windowID=" + std::to_string(env.identityOf(other)));
  env.runLoop.runFor(0.1);
  EXPECT_EQ(env.closer.closed, std::vector<PluginWindow*>{other.window.get()});
  EXPECT_EQ(env.bodyOf(*record), "");
  ASSERT_EQ(env.fake.urlNotifyCalls.size(), 1u);
  EXPECT_EQ(env.fake.urlNotifyCalls[0].reason, NPRES_DONE);
  EXPECT_TRUE(env.streamOf(*record)->destroyed);
}

TEST_F(CommandRunnerTest, CloseOnAWebPageProxyPostsTheWebWindowRemovalOnly) {
  test::Movie& page = env.openMovie("page");
  page.plugin->fType = kPluginTypeWeb;
  int windowRemovals = 0;
  std::vector<PluginWindow*> webRemovals;
  env.notifications.addObserver(notification::kRemoveWindowFromList, [&](const std::any&) { ++windowRemovals; });
  env.notifications.addObserver(notification::kRemoveWebWindowFromList, [&](const std::any& object) {
    webRemovals.push_back(std::any_cast<PluginWindow*>(object));
  });
  EXPECT_EQ(env.callSync(main, "KW://KW_zWindow.close?windowID=" + std::to_string(env.identityOf(page))), "");
  env.runLoop.runFor(1);
  EXPECT_EQ(webRemovals, std::vector<PluginWindow*>{page.window.get()});
  EXPECT_EQ(windowRemovals, 0);
  EXPECT_TRUE(env.closer.closed.empty());
}

// ---- Parser services ----

class RecordingFTP : public FTPStarter {
 public:
  Status startFTPTransfer(CocoaInterfaceData& record) override {
    servers.push_back(record.stringParam2.value_or(""));
    return answer;
  }
  Status answer = 0;
  std::vector<std::string> servers;
};

TEST_F(CommandRunnerTest, FtpRequestsEndUnansweredUntilAnFtpStarterIsPluggedIn) {
  const std::string request =
      "KW://KW_zFTP.simpleGet?userAgent=a&serverNameOrIP=ftp.example.org&userName=u&password=p"
      "&serverPath=/f&hardDrivePath=/tmp/f&replaceFileIfItExists=true";
  EXPECT_EQ(env.callSync(main, request), std::nullopt);

  RecordingFTP ftp;
  env.runner.setFTPStarter(&ftp);
  EXPECT_EQ(env.callSync(main, request), "<number>0</number>");
  ftp.answer = -36;
  EXPECT_EQ(env.callSync(main, request), std::nullopt);
  EXPECT_EQ(ftp.servers, (std::vector<std::string>{"ftp.example.org", "ftp.example.org"}));
  EXPECT_EQ(main.window->received, std::vector<int32_t>{600});
}

}  // namespace
}  // namespace kw
