// URL routing (GetURL, GetURLNotify, PostURLNotify), the preference file, the
// scripting entries (Evaluate, Invoke) and the "not found" loader.
#include <string>
#include <vector>

#include "mac/pluginhost/NotFoundUrlLoader.h"
#include "mac/pluginhost/PreferenceFile.h"
#include "tests/support/TestHost.h"

namespace kw {
namespace {

int g_notifyToken = 0;
void* const kNotify = &g_notifyToken;

class RoutingTest : public test::InstanceTest {
 protected:
  NPError getURL(const std::string& url) { return browser().geturl(instance(), url.c_str(), "_self"); }
  NPError getURLNotify(const std::string& url, void* notifyData = kNotify) {
    return browser().geturlnotify(instance(), url.c_str(), nullptr, notifyData);
  }
  NPError post(const char* url, const char* body, uint32_t length, bool isFile = false) {
    return browser().posturlnotify(instance(), url, nullptr, length, body, isFile, kNotify);
  }
  // Nothing reached the plug-in, the command runner, loading or the workspace.
  void expectNothingHappened() {
    EXPECT_TRUE(fake.streams.empty());
    EXPECT_TRUE(fake.urlNotifyCalls.empty());
    EXPECT_TRUE(commands.records.empty());
    EXPECT_TRUE(loader.gets.empty());
    EXPECT_TRUE(loader.posts.empty());
    runLoop.runFor(1);
    EXPECT_TRUE(workspace.opened.empty());
    EXPECT_EQ(application.menuBarShown, 0);
  }
};

// ---- Bad requests ----

TEST_F(RoutingTest, RequestsOfAnInstanceWithoutALiveHostObjectAreDropped) {
  for (void* ndata : {static_cast<void*>(nullptr), reinterpret_cast<void*>(uintptr_t{0xA1B1C1D3})}) {
    plugin->m_plugInInstance.ndata = ndata;
    EXPECT_EQ(getURLNotify("KW://KW_zWindow.close"), 0);
    EXPECT_EQ(getURL("http://example.com/"), 8);
    EXPECT_EQ(post("http://example.com/", "x=1", 3), NPERR_INVALID_INSTANCE_ERROR);
  }
  plugin->m_plugInInstance.ndata = plugin.get();
  plugin->sanityCheck = kPluginNuts;  // destroyed
  EXPECT_EQ(getURLNotify("KW://KW_Zivra.initSocket"), 0);
  EXPECT_EQ(getURL("TurnCachingOff"), 8);
  EXPECT_TRUE(plugin->fOkToCache);
  EXPECT_FALSE(plugin->m_backChannelStreamReady);
  EXPECT_EQ(browser().geturlnotify(nullptr, "KW:/", nullptr, kNotify), 0);
  plugin->sanityCheck = kPluginSane;
  expectNothingHappened();
}

TEST_F(RoutingTest, MissingUrlsAreRefusedWithoutRouting) {
  EXPECT_EQ(browser().geturl(instance(), nullptr, nullptr), 8);
  EXPECT_EQ(browser().geturlnotify(instance(), nullptr, nullptr, kNotify), NPERR_INVALID_URL);
  EXPECT_EQ(post(nullptr, nullptr, 0), NPERR_INVALID_URL);
  EXPECT_EQ(post("http://example.com/", nullptr, 5), NPERR_INVALID_PARAM);
  expectNothingHappened();
}

// ---- javascript URLs ----

TEST_F(RoutingTest, JavaScriptUrlThroughGetURLNotifyTakesTheGetURLPathThenNotifiesDone) {
  EXPECT_EQ(getURLNotify("javascript:alert(1)"), 0);
  EXPECT_EQ(application.menuBarShown, 1);  // a projector has no page: the script is an outside link
  runLoop.runFor(0.1);
  EXPECT_EQ(workspace.opened, std::vector<std::string>{"javascript:alert(1)"});
  ASSERT_EQ(fake.urlNotifyCalls.size(), 1u);
  EXPECT_EQ(fake.urlNotifyCalls[0].url, "javascript:alert(1)");
  EXPECT_EQ(fake.urlNotifyCalls[0].reason, NPRES_DONE);
  EXPECT_EQ(fake.urlNotifyCalls[0].notifyData, kNotify);
  EXPECT_TRUE(loader.gets.empty());
  EXPECT_EQ(getURLNotify("JavaScript:alert(2)"), 0);  // case-sensitive here: an ordinary URL
  EXPECT_EQ(loader.gets.size(), 1u);
}

TEST_F(RoutingTest, JavaScriptInAWebPageProxyRunsInItsPage) {
  plugin->fType = kPluginTypeWeb;
  EXPECT_EQ(getURL("JAVASCRIPT:window.location+\"x\""), 8);
  EXPECT_EQ(getURLNotify("javascript:go()"), 0);
  EXPECT_EQ(window.scripts, (std::vector<std::string>{"JAVASCRIPT:window.location+\"x\"", "javascript:go()"}));
  EXPECT_TRUE(fake.streams.empty()) << "a page answers its own location queries";
  runLoop.runFor(1);
  EXPECT_TRUE(workspace.opened.empty());
  EXPECT_EQ(fake.urlNotifyCalls.size(), 1u);
}

TEST_F(RoutingTest, LocationQueryAnswersTheMovieUrlAndTheQueryTailInAPlainTextStream) {
  const std::string query = "javascript:window.location+\"XYZ\"";
  EXPECT_EQ(getURL(query), 0);
  ASSERT_EQ(fake.streams.size(), 1u);
  const auto& stream = fake.streams[0];
  EXPECT_EQ(stream.type, "text/plain");
  EXPECT_EQ(stream.url, query);
  EXPECT_FALSE(stream.seekable);
  EXPECT_EQ(stream.text(), std::string(kMovieURL) + "XYZ");
  EXPECT_EQ(stream.end, stream.bytes.size());
  EXPECT_EQ(stream.offsets, std::vector<int32_t>{0});
  EXPECT_EQ(stream.reason, NPRES_DONE);
  EXPECT_STREQ(plugin->getURLPtr(), kMovieURL);

  const std::pair<const char*, std::string> answers[] = {{"javascript:top.location+\"?a=1\"", "?a=1"},
                                                         {"javascript:top.location+\"", ""}};
  for (const auto& [url, tail] : answers) {
    EXPECT_EQ(getURL(url), 0);
    EXPECT_EQ(fake.streams.back().text(), kMovieURL + tail) << url;
  }
  EXPECT_EQ(getURL("javascript:top.location+x"), 8);  // without the quote it is no query
  EXPECT_EQ(fake.streams.size(), 3u);
}

TEST_F(RoutingTest, LocationQueryWritesNothingWhenThePlugInIsNotReadyOrRefuses) {
  fake.writeReadyAnswer = 0;
  EXPECT_EQ(getURL("javascript:top.location+\"X\""), 0);
  ASSERT_EQ(fake.streams.size(), 1u);
  EXPECT_TRUE(fake.streams[0].bytes.empty());
  EXPECT_TRUE(fake.streams[0].destroyed);
  fake.writeReadyAnswer = 100;
  fake.newStreamError = NPERR_GENERIC_ERROR;
  EXPECT_EQ(getURL("javascript:top.location+\"X\""), 0);
  EXPECT_EQ(fake.streams.at(1).writeReadyCalls, 0);
  EXPECT_FALSE(fake.streams[1].destroyed) << "a stream the plug-in refused is not destroyed";
}

// ---- Commands and the back channel ----

TEST_F(RoutingTest, OnlyTheExactKwSlashPrefixMakesACommand) {
  EXPECT_EQ(getURLNotify("KW:/"), 0);
  ASSERT_EQ(commands.records.size(), 1u);
  const auto& record = commands.records[0];
  EXPECT_EQ(record->url, "KW:/");
  EXPECT_EQ(record->method, kMethodGet);
  EXPECT_EQ(record->theStream.notifyData, kNotify);
  ASSERT_EQ(fake.streams.size(), 1u);
  EXPECT_EQ(fake.streams[0].type, "KW:/") << "the request URL is the MIME type";
  EXPECT_EQ(fake.streams[0].stream, &record->theStream);
  EXPECT_FALSE(fake.streams[0].seekable);
  for (const char* url : {"KW:x", "kw://KW_zSystem.getUserName", "Kw://KW_zSystem.getUserName", "KW:"}) {
    EXPECT_EQ(getURLNotify(url), 0) << url;
  }
  EXPECT_EQ(loader.gets.size(), 4u);
  EXPECT_EQ(commands.records.size(), 1u);
  EXPECT_EQ(fake.streams.size(), 1u) << "loading opens its own streams";
}

TEST_F(RoutingTest, CommandAndLoadingAnswerTheirErrors) {
  fake.newStreamError = NPERR_OUT_OF_MEMORY_ERROR;
  EXPECT_EQ(getURLNotify("KW://KW_zWindow.setSize?windowID=0&width=400&height=300"), NPERR_OUT_OF_MEMORY_ERROR);
  EXPECT_TRUE(commands.records.empty()) << "runs only in an accepted stream";
  loader.answer = NPERR_FILE_NOT_FOUND;
  EXPECT_EQ(getURLNotify("http://example.com/data.txt"), NPERR_FILE_NOT_FOUND);
  ASSERT_EQ(loader.gets.size(), 1u);
  EXPECT_EQ(loader.gets[0]->url, "http://example.com/data.txt");
}

TEST_F(RoutingTest, BackChannelWaitsOnceAndASecondRequestIsRefused) {
  int otherToken = 0;
  EXPECT_EQ(getURLNotify("KW://KW_Zivra.initSocket"), 0);
  EXPECT_TRUE(plugin->m_backChannelStreamReady);
  EXPECT_EQ(getURLNotify("KW://KW_Zivra.initSocket", &otherToken), 1);
  EXPECT_TRUE(plugin->m_backChannelStreamReady);
  EXPECT_EQ(plugin->m_backChannelStreamNotifyData, kNotify);
  EXPECT_TRUE(fake.streams.empty());
  EXPECT_TRUE(commands.records.empty());
  EXPECT_TRUE(loader.gets.empty());
}

TEST_F(RoutingTest, BackChannelRequestCarriesTheOldestQueuedMessage) {
  EXPECT_EQ(plugin->sendMessageToSWF("ARRAY_OF_STRINGS=first"), kStatusBadParameter);
  EXPECT_EQ(plugin->sendMessageToSWF("ARRAY_OF_STRINGS=second"), kStatusBadParameter);
  EXPECT_EQ(getURLNotify("KW://KW_Zivra.initSocket"), 0);
  ASSERT_EQ(fake.streams.size(), 1u);
  EXPECT_EQ(fake.streams[0].text(), "ARRAY_OF_STRINGS=first");
  EXPECT_EQ(fake.streams[0].notifyData, kNotify);
  EXPECT_FALSE(plugin->m_backChannelStreamReady) << "the message used the waiting request";
  EXPECT_EQ(getURLNotify("KW://KW_Zivra.initSocket"), 0);
  EXPECT_EQ(fake.streams.at(1).text(), "ARRAY_OF_STRINGS=second");
  EXPECT_TRUE(plugin->m_commandQueue.empty());
}

// ---- Caching switches ----

TEST_F(RoutingTest, CachingSwitchesWorkThroughGetURLInAnyCaseOnly) {
  EXPECT_EQ(getURL("TURNCACHINGOFF"), 8);
  EXPECT_FALSE(plugin->fOkToCache);
  EXPECT_EQ(getURLNotify("KW://KW_zSystem.getUserName"), 0);
  EXPECT_FALSE(commands.records.at(0)->okToCache) << "later requests take the instance's flag";
  EXPECT_EQ(getURL("turnCachingOn"), 8);
  EXPECT_TRUE(plugin->fOkToCache);
  EXPECT_EQ(getURLNotify("TURNCACHINGOFF"), 0);  // through GetURLNotify: a URL to load
  EXPECT_TRUE(plugin->fOkToCache);
  EXPECT_EQ(loader.gets.at(0)->url, "TURNCACHINGOFF");
  EXPECT_EQ(getURL("TurnCachingOffNow"), 8);  // only the whole text switches
  EXPECT_TRUE(plugin->fOkToCache);
  runLoop.runFor(0.2);
  EXPECT_EQ(workspace.opened, std::vector<std::string>{"TurnCachingOffNow"});
}

// ---- Preferences ----

class PreferenceTest : public RoutingTest {
 protected:
  PreferenceTest() { plugin->fMovieSpec = dir.path() / "zvdata.zve"; }
  std::string prefs() const { return test::readFile(dir.path() / "prefs.txt"); }
  void writePrefs(std::string_view text) { dir.write("prefs.txt", {text.begin(), text.end()}); }
};

TEST_F(PreferenceTest, SaveSplitsAtTheFirstBlankAndUpdatesEveryNameContainingTheGivenOne) {
  EXPECT_EQ(getURL("savehighScore 1200 points"), 8);
  EXPECT_EQ(prefs(), "&highScore=1200 points");
  EXPECT_EQ(getURL("savelevel 3"), 8);
  EXPECT_EQ(prefs(), "&highScore=1200 points&level=3");
  writePrefs("&highScore=1\r\n&myhighScore2=5\n&other=x&score=0");
  EXPECT_EQ(getURL("savehighScore 9"), 8);
  EXPECT_EQ(prefs(), "&highScore=9&myhighScore2=9&other=x&score=0");
  EXPECT_EQ(getURL("saveScore 7"), 8);  // case-sensitive: "score" is left alone
  EXPECT_EQ(prefs(), "&highScore=7&myhighScore2=7&other=x&score=0");
  runLoop.runFor(1);
  EXPECT_TRUE(workspace.opened.empty());
}

TEST(PreferenceFileTest, ReadingSkipsSpaceAroundPairsAndAfterTheEqualsSign) {
  EXPECT_EQ(parsePreferences(" \t\r\n&a= \t1&b=two words\r\n&c=\n &d=x&"),
            (std::vector<PreferencePair>{{"a", "1"}, {"b", "two words"}, {"c", ""}, {"d", "x"}}));
  // Text before the first '&' is a pair too; pieces without '=' are not.
  EXPECT_EQ(parsePreferences("a=1&junk&&\r\nb=2&broken\n=3"),
            (std::vector<PreferencePair>{{"a", "1"}, {"b", "2"}, {"", "3"}}));
  EXPECT_TRUE(parsePreferences("&&& \r\n").empty());
  EXPECT_EQ(parsePreferences("&a=b=c"), (std::vector<PreferencePair>{{"a", "b=c"}}));
}

TEST(PreferenceFileTest, WritingRoundTripsAndAFailedWriteKeepsTheOldFile) {
  test::TempDir dir;
  const auto file = dir.path() / "prefs.txt";
  std::vector<PreferencePair> pairs;
  EXPECT_TRUE(readPreferenceFile(file, pairs)) << "a missing file is an empty list";
  EXPECT_TRUE(pairs.empty());
  storePreference(pairs, "volume", "0.5");
  storePreference(pairs, "name", "Ann");
  ASSERT_TRUE(writePreferenceFile(file, pairs));
  std::vector<PreferencePair> read;
  ASSERT_TRUE(readPreferenceFile(file, read));
  EXPECT_EQ(read, pairs);

  EXPECT_FALSE(writePreferenceFile(dir.path() / "missing" / "prefs.txt", pairs));
  // The target is a folder: the rename fails, leaving the folder and no temporary file.
  std::filesystem::create_directories(dir.path() / "sub" / "prefs.txt" / "inner");
  EXPECT_FALSE(savePreference(dir.path() / "sub", "a", "b"));
  EXPECT_TRUE(std::filesystem::is_directory(dir.path() / "sub" / "prefs.txt" / "inner"));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path() / "sub"), {}), 1);
  EXPECT_EQ(test::readFile(file), "&volume=0.5&name=Ann");
}

// ---- Outside links ----

TEST_F(RoutingTest, OutsideLinkShowsTheMenuBarAndOpensTheReescapedUrlATenthLater) {
  EXPECT_EQ(getURL("http://example.com/a%20b c?q=%zz&r=%C3%A9"), 8);
  EXPECT_EQ(application.menuBarShown, 1);
  runLoop.runFor(0.09);
  EXPECT_TRUE(workspace.opened.empty());
  runLoop.runFor(0.02);
  EXPECT_EQ(workspace.opened, std::vector<std::string>{"http://example.com/a%20b%20c?q=%25zz&r=%C3%A9"});
}

TEST_F(RoutingTest, OutsideLinkOpensAtOnceInsideAScreenSaver) {
  SimApplication saver{"/System/Library/Frameworks/screensaver.FRAMEWORK/Versions/A/Resources/Demo.saver"};
  host->services().application = &saver;
  EXPECT_EQ(getURL("http://example.com/"), 8);
  EXPECT_EQ(saver.menuBarShown, 1);
  EXPECT_EQ(workspace.opened, std::vector<std::string>{"http://example.com/"});
  EXPECT_EQ(runLoop.timerCount(), 0u);
  host->services().application = &application;
}

TEST_F(RoutingTest, VeryLongUrlsTravelWhole) {
  const std::string tail(100000, 'a');
  EXPECT_EQ(getURLNotify("KW://KW_zWindow.setTitle?title=" + tail), 0);
  ASSERT_EQ(commands.records.size(), 1u);
  EXPECT_EQ(commands.records[0]->url, "KW://KW_zWindow.setTitle?title=" + tail);
  EXPECT_EQ(std::string(commands.records[0]->theStream.url), commands.records[0]->url);
  EXPECT_EQ(getURL("javascript:top.location+\"" + tail + "\""), 0);
  EXPECT_EQ(fake.streams.back().text(), kMovieURL + tail);
  EXPECT_EQ(getURL("http://example.com/" + tail), 8);
  runLoop.runFor(0.1);
  EXPECT_EQ(workspace.opened, std::vector<std::string>{"http://example.com/" + tail});
}

// ---- POST ----

TEST_F(RoutingTest, PostOpensTheStreamAndHandsACopiedBodyToLoading) {
  const char body[] = {'a', '=', '1', '&', 'b', '\0', 'c'};
  EXPECT_EQ(post("KW://KW_zWindow.close", body, sizeof body), 0);
  EXPECT_EQ(fake.streams.at(0).type, "KW://KW_zWindow.close");
  EXPECT_TRUE(commands.records.empty()) << "POST requests never reach the command bridge";
  ASSERT_EQ(loader.posts.size(), 1u);
  const auto& sent = loader.posts[0];
  EXPECT_EQ(sent.record->method, kMethodPost);
  EXPECT_FALSE(sent.record->okToCache);
  EXPECT_EQ(sent.record->theStream.notifyData, kNotify);
  EXPECT_EQ(sent.buffer, body);
  EXPECT_EQ(sent.length, sizeof body);
  EXPECT_FALSE(sent.isFile);
  EXPECT_TRUE(sent.allowHeaders);
  std::vector<uint8_t> expected(body, body + sizeof body);
  expected.push_back(0);
  EXPECT_EQ(sent.record->postData, expected);

  EXPECT_EQ(post("http://example.com/", nullptr, 0, true), 0);
  EXPECT_EQ(loader.posts.at(1).record->postData, std::vector<uint8_t>{0});
  EXPECT_TRUE(loader.posts[1].isFile);
}

TEST_F(RoutingTest, PostAnswersTheStreamErrorWithoutLoadingAndOtherwiseTheLoadersAnswer) {
  fake.newStreamError = NPERR_INVALID_URL;
  EXPECT_EQ(post("http://example.com/", "x", 1), NPERR_INVALID_URL);
  EXPECT_TRUE(loader.posts.empty());
  fake.newStreamError = NPERR_NO_ERROR;
  loader.answer = NPERR_NO_DATA;
  EXPECT_EQ(post("http://example.com/", "x", 1), NPERR_NO_DATA);
}

// ---- Evaluate and Invoke ----

class ScriptingTest : public RoutingTest {
 protected:
  bool evaluate(const std::string& script, NPVariant* result) {
    NPString text{script.data(), static_cast<uint32_t>(script.size())};
    return browser().evaluate(instance(), nullptr, &text, result);
  }
  static std::string stringOf(const NPVariant& variant) {
    if (variant.type != NPVariantType_String) return "<not a string>";
    return {variant.value.stringValue.UTF8Characters, variant.value.stringValue.UTF8Length};
  }
  const std::string kCall = "try { __flash__toXML(KW_call(\"KW://KW_zSystem.getUserName\"";
  const std::string kTail = ")) ; } catch (e) { \"<undefined/>\"; }";  // 36 characters
};

TEST_F(ScriptingTest, EmptyScriptsGiveVoidAndFlashTempGivesItsString) {
  NPVariant result{};
  result.type = NPVariantType_Int32;
  EXPECT_TRUE(evaluate("", &result));
  EXPECT_EQ(result.type, NPVariantType_Void);
  result.type = NPVariantType_Int32;
  EXPECT_TRUE(browser().evaluate(instance(), nullptr, nullptr, &result));
  EXPECT_EQ(result.type, NPVariantType_Void);
  EXPECT_TRUE(evaluate("x", nullptr));

  EXPECT_TRUE(evaluate("var __flash_temp = \"say \\\"hi\\\"\"; __flash_temp;\n", &result));
  EXPECT_EQ(stringOf(result), "say \"hi\"");
  browser().releasevariantvalue(&result);
  result.type = NPVariantType_Bool;
  EXPECT_TRUE(evaluate("document.title", &result));
  EXPECT_EQ(result.type, NPVariantType_Bool) << "other scripts leave the result alone";
  expectNothingHappened();
}

TEST_F(ScriptingTest, CallsRunSynchronouslyWithTheCallersResult) {
  NPVariant result{};
  EXPECT_TRUE(evaluate(kCall + kTail, &result));
  EXPECT_TRUE(evaluate("try { __flash__toXML(KW_call2([\\\"zSystem.getUserName\\\",0]" + kTail, &result));
  ASSERT_EQ(commands.records.size(), 2u);
  EXPECT_EQ(commands.records[0]->url, "KW://KW_zSystem.getUserName");
  EXPECT_EQ(fake.streams.at(0).type, "KW://KW_zSystem.getUserName");
  EXPECT_EQ(commands.records[1]->url, "[\"zSystem.getUserName\",0]");
  for (const auto& record : commands.records) {
    EXPECT_TRUE(record->isSynchronous());
    EXPECT_TRUE(record->started);
    EXPECT_EQ(record->syncResult, &result);
    ASSERT_NE(record->cocoaInterfaceData, nullptr);
    EXPECT_EQ(record->cocoaInterfaceData->synchronous, 1);
  }
}

TEST_F(ScriptingTest, MalformedRefusedOrDeadCallsRunNothing) {
  NPVariant result{};
  EXPECT_TRUE(evaluate("try { __flash__toXML(KW_call(\"KW://KW_zSystem.getUserName", &result));  // no closing quote
  EXPECT_TRUE(evaluate("try { __flash__toXML(KW_call", &result));
  EXPECT_TRUE(fake.streams.empty());
  fake.newStreamError = NPERR_GENERIC_ERROR;
  EXPECT_TRUE(evaluate(kCall + kTail, &result));
  EXPECT_EQ(fake.streams.size(), 1u);
  fake.newStreamError = NPERR_NO_ERROR;
  plugin->sanityCheck = kPluginNuts;
  EXPECT_TRUE(evaluate(kCall + kTail, &result));
  plugin->sanityCheck = kPluginSane;
  EXPECT_EQ(fake.streams.size(), 1u);
  EXPECT_TRUE(commands.records.empty());
}

TEST_F(ScriptingTest, InvokeAnswersTheInvokeDocumentOfItsStringArguments) {
  NPVariant args[4] = {};
  args[0].type = NPVariantType_String;
  args[0].value.stringValue = {"onEvent", 7};
  args[1].type = NPVariantType_Int32;
  args[1].value.intValue = 5;
  args[2].type = NPVariantType_String;
  args[2].value.stringValue = {"<string>a</string>", 18};
  args[3].type = NPVariantType_String;
  args[3].value.stringValue = {"<true/>", 7};
  const auto invoke = [&](uint32_t count) {
    NPVariant result{};
    EXPECT_TRUE(browser().invoke(instance(), nullptr, nullptr, count ? args : nullptr, count, &result));
    const std::string text = stringOf(result);
    browser().releasevariantvalue(&result);
    return text;
  };
  const std::string empty = "<arguments></arguments></invoke>";
  EXPECT_EQ(invoke(0), "<invoke name=\"undefined\" returntype=\"javascript\">" + empty);
  EXPECT_EQ(invoke(1), "<invoke name=\"onEvent\" returntype=\"javascript\">" + empty);
  EXPECT_EQ(invoke(4), "<invoke name=\"onEvent\" returntype=\"javascript\"><arguments><string>a</string><true/>"
                       "</arguments></invoke>");
  args[0].type = NPVariantType_Null;
  EXPECT_EQ(invoke(2), "<invoke name=\"undefined\" returntype=\"javascript\">" + empty);
  EXPECT_TRUE(browser().invoke(instance(), nullptr, nullptr, nullptr, 3, nullptr));
}

// ---- The "not found" loader ----

TEST_F(RoutingTest, NotFoundLoaderReportsANetworkErrorThroughThePlugInsCalls) {
  NotFoundUrlLoader notFound;
  host->services().urlLoader = &notFound;
  EXPECT_EQ(getURLNotify("http://example.com/vars.txt"), NPERR_FILE_NOT_FOUND);
  ASSERT_EQ(fake.urlNotifyCalls.size(), 1u);
  EXPECT_EQ(fake.urlNotifyCalls[0].url, "http://example.com/vars.txt");
  EXPECT_EQ(fake.urlNotifyCalls[0].reason, NPRES_NETWORK_ERR);
  EXPECT_EQ(fake.urlNotifyCalls[0].notifyData, kNotify);
  EXPECT_EQ(getURLNotify("http://example.com/other.txt", nullptr), NPERR_FILE_NOT_FOUND);
  EXPECT_EQ(fake.urlNotifyCalls.size(), 1u) << "no notify data, no notification";

  EXPECT_EQ(post("http://example.com/form", "x", 1), NPERR_FILE_NOT_FOUND);
  ASSERT_EQ(fake.streams.size(), 1u);
  EXPECT_TRUE(fake.streams[0].destroyed) << "the stream opened for the POST is closed";
  EXPECT_EQ(fake.streams[0].reason, NPRES_NETWORK_ERR);
  EXPECT_EQ(fake.urlNotifyCalls.size(), 2u);
  EXPECT_EQ(notFound.answered, 3);
  EXPECT_EQ(notFound.getURL(nullptr), NPERR_INVALID_INSTANCE_ERROR);
  host->services().urlLoader = &loader;
}

}  // namespace
}  // namespace kw
