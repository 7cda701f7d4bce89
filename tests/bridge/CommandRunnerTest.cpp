// The command runner: the filter, synchronous XML replies, hand-over to target
// windows (closing one included), parser services, requests ended unanswered.
#include <any>

#include "mac/commands/CommandRunner.h"
#include "mac/platform/SystemLog.h"
#include "tests/support/TestWindow.h"

namespace kw {
namespace {

using test::Movie;

TEST(CommandFilterTest, DropsTheListedNamesInAnyCaseBehindOneObjectPrefixOnly) {
  for (const char* request : {"stopDrag", "stopDragging?x=1", "STOPDRAG", "setDesktopLevel", "setDeskt",
                              "setNormalLevel", "SETNORMA", "settoplevel?windowID=3", "open_file", "open_files",
                              "-->eval", "-->E", "zMenu.stopDrag", "zSystem.setTopLevel", "zApplication.open_file",
                              "zFile.setNormalLevel", "zFTP.-->e", "KWF.stopDrag", "KW_KWF.setDesktopLevel"}) {
    EXPECT_TRUE(isDroppedByCommandFilter(request)) << request;
  }
  for (const char* request : {"zWindow.stopDrag", "zWindow.setTopLevel", "stopDra", "setDesk", "open_fi", "-->",
                              "-->x", "trace?msg=stopDrag", "ZMENU.stopDrag.x", "zMenu.zMenu.stopDrag", "",
                              "getParameter", "xstopDrag"}) {
    EXPECT_FALSE(isDroppedByCommandFilter(request)) << request;
  }
}

class CommandRunnerTest : public test::MovieHost {
 protected:
  Movie& main = openMovie("main");
};

TEST_F(CommandRunnerTest, FilteredNamesAndJavaUrlsRunNothingButTheRequestIsEnded) {
  auto async = requestAsync(main, "KW://KW_zSystem.stopDragging");
  EXPECT_EQ(callSync(main, "KW://KW_setTopLevel"), std::nullopt);
  EXPECT_EQ(callSync(main, "javascript:KW://KW_getMonitorNumber"), std::nullopt);
  requestAsync(main, "java:[zWindow,getParameter]");
  runLoop.runFor(10);
  EXPECT_TRUE(main.window->received.empty());
  EXPECT_EQ(bodyOf(*async), "");
  // Nothing is written, but the request is ended so no stream outlives its record.
  EXPECT_EQ(fake.urlNotifyCalls.at(0).reason, NPRES_NETWORK_ERR);
  EXPECT_TRUE(streamOf(*async)->destroyed);
  EXPECT_EQ(runLoop.timerCount(), 0u);
  EXPECT_EQ(async->cocoaInterfaceData, nullptr);  // released by the runner
}

TEST_F(CommandRunnerTest, ParseFailuresEndTheRequestWithoutAReply) {
  EXPECT_EQ(callSync(main, "KW://KW_noSuchCommand"), std::nullopt);
  EXPECT_EQ(callSync(main, "KW://KW_zWindow.setSize?width=300"), std::nullopt);  // height missing
  auto async = requestAsync(main, "KW://KW_noSuchCommand");
  runLoop.runFor(1);
  EXPECT_TRUE(main.window->received.empty());
  EXPECT_EQ(bodyOf(*async), "");
  EXPECT_EQ(streamOf(*async)->reason, NPRES_NETWORK_ERR);
}

TEST_F(CommandRunnerTest, BothUrlLeadsAndTheListFormReachTheParser) {
  EXPECT_EQ(callSync(main, "KW://KW_zWindow.getParameter"), "<string>main</string>");
  // The stream opened for a synchronous call is closed once it is answered, without a notification.
  EXPECT_EQ(fake.streams.back().reason, NPRES_DONE);
  EXPECT_TRUE(fake.urlNotifyCalls.empty());
  EXPECT_EQ(callSync(main, "KW://SS_zWindow.getParameter"), "<string>main</string>");
  EXPECT_EQ(callSync(main, "[\"zWindow\",\"getParameter\"]"), "<string>main</string>");
  EXPECT_EQ(callSync(main, "KW://KW_zApplication.getMonitorNumber"), "<number>1</number>");
  EXPECT_EQ(callSync(main, "kw://KW_getMonitorNumber"), std::nullopt);  // case-sensitive: taken as a list
  EXPECT_EQ(main.window->received, (std::vector<int32_t>{306, 306, 306, 700}));
}

TEST_F(CommandRunnerTest, SynchronousRunsAnswerXmlFilledByTheParserAndReleaseTheRecord) {
  NPVariant result{};
  auto record = openRequest(*main.plugin, "KW://KW_getArguments", syncNotifyData());
  record->syncResult = &result;
  runner.runCommand(record);
  ASSERT_EQ(result.type, NPVariantType_String);
  const std::string reply(result.value.stringValue.UTF8Characters, result.value.stringValue.UTF8Length);
  EXPECT_EQ(reply.rfind("<object><property id=\"KW_array\"><array>", 0), 0u) << reply;
  EXPECT_EQ(record->syncError, 0);
  EXPECT_EQ(record->cocoaInterfaceData, nullptr);
  EXPECT_EQ(runLoop.timerCount(), 0u);  // no poll for a synchronous call
  releaseVariantValue(&result);

  mouse.where = {640, -5};
  EXPECT_EQ(callSync(main, "KW://KW_getMousePosition"),
            "<object><property id=\"x\"><number>640</number></property>"
            "<property id=\"y\"><number>-5</number></property></object>");
  EXPECT_EQ(main.window->received, (std::vector<int32_t>{421, 414}));
}

TEST_F(CommandRunnerTest, TraceThroughAUrlRequestLogsTheDecodedMessage) {
  ScopedLogCapture log;
  requestAsync(main, "KW://KW_trace?msg=Hello%20World");
  EXPECT_EQ(log.lines(), std::vector<std::string>{"Zivra trace -> Hello World"});
}

TEST_F(CommandRunnerTest, WindowIdNamesTheTargetWindow) {
  Movie& other = openMovie("other");
  EXPECT_EQ(callSync(main, "KW://KW_zWindow.getParameter?windowID=" + idOf(other)), "<string>other</string>");
  EXPECT_EQ(callSync(main, "[zWindow,getParameter," + idOf(other) + "]"), "<string>other</string>");
  EXPECT_TRUE(main.window->received.empty());
  EXPECT_EQ(other.window->received.size(), 2u);
}

TEST_F(CommandRunnerTest, TargetOrRequesterThatIsNotLiveRunsNothingAndTheParsersRecordAnswers) {
  Movie& other = openMovie("other");
  const std::string id = idOf(other);
  other.plugin->sanityCheck = kPluginNuts;
  EXPECT_EQ(callSync(main, "KW://KW_zWindow.getParameter?windowID=" + id), "<string>undefined</string>");
  EXPECT_EQ(callSync(main, "KW://KW_fileExists?fileName=a&windowID=" + id), "<false/>");
  EXPECT_EQ(callSync(main, "KW://KW_getMonitorNumber?windowID=4000"), "<number>0</number>");
  registry.forget(main.plugin.get());
  EXPECT_EQ(callSync(main, "KW://KW_getMonitorNumber"), "<number>0</number>");
  EXPECT_TRUE(other.window->received.empty());
  EXPECT_TRUE(main.window->received.empty());
}

// A window family whose command closes the requesting movie at once.
class ClosingFamily : public CommandFamily {
 public:
  ClosingFamily(test::MovieHost& host, Movie& victim) : host_(host), victim_(victim) {}
  void runCommand(ZFunctionCall& call) override {
    call.record.numberResult = 7;
    host_.closeMovie(victim_);
  }

 private:
  test::MovieHost& host_;
  Movie& victim_;
};

TEST_F(CommandRunnerTest, RequesterGoneDuringASynchronousCommandGetsNoReply) {
  Movie& other = openMovie("other");
  other.window->commands.setFamily(CommandFamilyKind::Window, std::make_shared<ClosingFamily>(*this, main));
  EXPECT_EQ(callSync(main, "KW://KW_zWindow.getSize?windowID=" + idOf(other)), std::nullopt);
  EXPECT_EQ(other.window->received, std::vector<int32_t>{310});
}

// ---- Closing a window ----

TEST_F(CommandRunnerTest, CloseOnAnotherWindowPostsRemovalAndClosesItAHundredthLater) {
  Movie& other = openMovie("other");
  PluginWindow* otherWindow = other.window.get();
  std::vector<PluginWindow*> removed;
  notifications.addObserver(notification::kRemoveWindowFromList,
                            [&](const std::any& object) { removed.push_back(std::any_cast<PluginWindow*>(object)); });
  EXPECT_EQ(callSync(main, "KW://KW_zWindow.close?windowID=" + idOf(other)), "");
  EXPECT_EQ(removed, std::vector<PluginWindow*>{otherWindow});
  EXPECT_TRUE(other.window->received.empty());  // the window is not asked
  runLoop.runFor(0.005);
  EXPECT_TRUE(closer.closed.empty());
  runLoop.runFor(0.01);
  ASSERT_EQ(closer.closed.size(), 1u);
  EXPECT_EQ(closer.closed[0].first, otherWindow);
  EXPECT_DOUBLE_EQ(closer.closed[0].second, 0.01);
}

TEST_F(CommandRunnerTest, AsynchronousCloseRepliesEmptyAndEndsTheRequest) {
  Movie& other = openMovie("other");
  PluginWindow* otherWindow = other.window.get();
  auto record = requestAsync(main, "KW://KW_zWindow.close?windowID=" + idOf(other));
  runLoop.runFor(0.1);
  EXPECT_EQ(closer.closed.at(0).first, otherWindow);
  EXPECT_EQ(bodyOf(*record), "");
  ASSERT_EQ(fake.urlNotifyCalls.size(), 1u);
  EXPECT_EQ(fake.urlNotifyCalls[0].reason, NPRES_DONE);
  EXPECT_TRUE(streamOf(*record)->destroyed);
}

TEST_F(CommandRunnerTest, CloseOnAWebPageProxyPostsTheWebWindowRemovalOnly) {
  Movie& page = openMovie("page");
  page.plugin->fType = kPluginTypeWeb;
  int windowRemovals = 0;
  std::vector<PluginWindow*> webRemovals;
  notifications.addObserver(notification::kRemoveWindowFromList, [&](const std::any&) { ++windowRemovals; });
  notifications.addObserver(notification::kRemoveWebWindowFromList, [&](const std::any& object) {
    webRemovals.push_back(std::any_cast<PluginWindow*>(object));
  });
  EXPECT_EQ(callSync(main, "KW://KW_zWindow.close?windowID=" + idOf(page)), "");
  runLoop.runFor(1);
  EXPECT_EQ(webRemovals, std::vector<PluginWindow*>{page.window.get()});
  EXPECT_EQ(windowRemovals, 0);
  EXPECT_TRUE(closer.closed.empty());
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
  EXPECT_EQ(callSync(main, request), std::nullopt);
  RecordingFTP ftp;
  runner.setFTPStarter(&ftp);
  EXPECT_EQ(callSync(main, request), "<number>0</number>");
  ftp.answer = -36;
  EXPECT_EQ(callSync(main, request), std::nullopt);
  EXPECT_EQ(ftp.servers, (std::vector<std::string>{"ftp.example.org", "ftp.example.org"}));
  EXPECT_EQ(main.window->received, std::vector<int32_t>{600});
}

}  // namespace
}  // namespace kw
