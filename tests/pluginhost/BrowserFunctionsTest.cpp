// The browser functions against the fake plug-in. The stand-in plug-in uses objects, string identifiers
// and commands end to end (tests/e2e); scripts are recognised in mac/commands and tested there.
#include <string>
#include <vector>

#include "mac/pluginhost/NotFoundUrlLoader.h"
#include "mac/pluginhost/PreferenceFile.h"
#include "tests/support/TestHost.h"

namespace kw {
namespace {

int g_notifyToken = 0;
void* const kNotify = &g_notifyToken;
const std::string kBackChannel = "KW://KW_Zivra.initSocket";

class BrowserTest : public test::InstanceTest {
 protected:
  NPError getURL(const std::string& url) { return browser().geturl(instance(), url.c_str(), "_self"); }
  NPError getURLNotify(const std::string& url, void* notifyData = kNotify) {
    return browser().geturlnotify(instance(), url.c_str(), nullptr, notifyData);
  }
  NPError post(const char* url, const char* body, uint32_t length, bool isFile = false) {
    return browser().posturlnotify(instance(), url, nullptr, length, body, isFile, kNotify);
  }
  bool evaluate(const std::string& script, NPVariant* result) {
    NPString text{script.data(), static_cast<uint32_t>(script.size())};
    return browser().evaluate(instance(), nullptr, &text, result);
  }
};

// Entry points that log the binding calls and what the tables held when the plug-in got them.
std::vector<std::string> g_bindCalls;
std::vector<int> g_tableFields;
NPError logInitialize(NPNetscapeFuncs* funcs) {
  g_bindCalls.push_back("NP_Initialize");
  g_tableFields.insert(g_tableFields.end(), {funcs->size, funcs->version});
  return NPERR_NO_ERROR;
}
NPError logGetEntryPoints(NPPluginFuncs* funcs) {
  g_bindCalls.push_back("NP_GetEntryPoints");
  g_tableFields.insert(g_tableFields.end(), {funcs->size, funcs->version, funcs->newp != nullptr});
  return NPERR_NO_ERROR;
}
void logDisable() { g_bindCalls.push_back("Flash_DisableLocalSecurity"); }

TEST_F(BrowserTest, BindingDisablesLocalSecurityFirstThenHandsOverFreshTablesOfThisBuildsSize) {
  g_bindCalls.clear();
  g_tableFields.clear();
  EXPECT_EQ(host->bind({logInitialize, logGetEntryPoints, logDisable}), kStatusOK);
  EXPECT_EQ(g_bindCalls,
            (std::vector<std::string>{"Flash_DisableLocalSecurity", "NP_Initialize", "NP_GetEntryPoints"}));
  EXPECT_EQ(g_tableFields, (std::vector<int>{sizeof(NPNetscapeFuncs), 16, sizeof(NPPluginFuncs), 16, 0}));
  g_bindCalls.clear();  // a missing entry point: 666 and neither is called; the security switch still is
  EXPECT_EQ(host->bind({nullptr, logGetEntryPoints, logDisable}), kStatusEntryPointsMissing);
  EXPECT_EQ(host->bind({logInitialize, nullptr, nullptr}), kStatusEntryPointsMissing);
  EXPECT_EQ(g_bindCalls, std::vector<std::string>{"Flash_DisableLocalSecurity"});
}

TEST_F(BrowserTest, UnsupportedEntriesAnswer8AndOnlyTheTwoWindowFlagsAreTaken) {
  const NPNetscapeFuncs& funcs = *fake.browser;
  NPStream* stream = nullptr;
  const NPError errors[] = {funcs.posturl(instance(), "http://example.com/", nullptr, 3, "a=1", false),
                            funcs.requestread(nullptr, nullptr), funcs.newstream(instance(), nullptr, nullptr, &stream),
                            static_cast<NPError>(funcs.write(instance(), nullptr, 4, nullptr)),
                            funcs.destroystream(instance(), nullptr, NPRES_DONE), funcs.reloadplugins(true)};
  for (size_t i = 0; i < std::size(errors); ++i) EXPECT_EQ(errors[i], 8) << "entry " << i;
  EXPECT_TRUE(stream == nullptr && loader.posts.empty());
  EXPECT_STREQ(funcs.uagent(nullptr),
               "Mozilla/5.0 (Macintosh; U; PPC Mac OS X; en) AppleWebKit/420+ (KHTML, like Gecko) Safari/419.3");
  EXPECT_EQ(funcs.setvalue(instance(), NPPVpluginWindowBool, nullptr), 0);
  EXPECT_EQ(funcs.setvalue(instance(), NPPVpluginTransparentBool, nullptr), 0);
  EXPECT_EQ(funcs.setvalue(instance(), NPPVpluginNameString, nullptr), 1);
}

TEST_F(BrowserTest, EachWindowObjectRequestMakesANewObjectAndTheNewestSurvivesReleases) {
  NPObject* first = nullptr;
  NPObject* second = nullptr;
  EXPECT_EQ(browser().getvalue(instance(), NPNVPluginElementNPObject, &first), 1);
  EXPECT_EQ(browser().getvalue(instance(), NPNVWindowNPObject, nullptr), 1);
  EXPECT_EQ(host->windowScriptObject, nullptr) << "no object is made without a place to put it";
  ASSERT_EQ(browser().getvalue(instance(), NPNVWindowNPObject, &first), 0);
  ASSERT_EQ(browser().getvalue(instance(), NPNVWindowNPObject, &second), 0);
  ASSERT_TRUE(first && second && first != second);
  EXPECT_EQ(host->windowScriptObject, second);
  browser().releaseobject(second);
  browser().releaseobject(second);
  EXPECT_EQ(second->referenceCount, 1u) << "releasing the remembered object changes nothing";
  browser().releaseobject(first);  // an ordinary object: its release frees it (or the leak check fails)
}

TEST_F(BrowserTest, IntegerIdentifiersAreInternedAndNullsOrDeadInstancesFromThePluginAreNotFollowed) {
  const NPNetscapeFuncs& funcs = browser();
  NPIdentifier one = funcs.getintidentifier(1);
  EXPECT_TRUE(one == funcs.getintidentifier(1) && one != funcs.getintidentifier(-1));
  EXPECT_TRUE(one != funcs.getstringidentifier("1") && !funcs.identifierisstring(one));
  EXPECT_EQ(funcs.intfromidentifier(funcs.getintidentifier(-7)), -7);
  EXPECT_EQ(funcs.intfromidentifier(funcs.getstringidentifier("1")), 0);
  EXPECT_EQ(funcs.utf8fromidentifier(one), nullptr);
  const NPUTF8* names[] = {nullptr};
  NPIdentifier ids[1] = {one};
  funcs.getstringidentifiers(names, 1, ids);
  funcs.getstringidentifiers(nullptr, 1, ids);
  EXPECT_EQ(ids[0], nullptr);
  EXPECT_TRUE(!funcs.identifierisstring(nullptr) && funcs.intfromidentifier(nullptr) == 0);
  EXPECT_EQ(funcs.utf8fromidentifier(nullptr), nullptr);
  NPRect rect{1, 2, 30, 40};  // an invalid rectangle reaches the window of a live instance only
  browser().invalidaterect(instance(), &rect);
  browser().invalidaterect(instance(), nullptr);
  browser().invalidaterect(nullptr, &rect);
  plugin->m_plugInInstance.ndata = reinterpret_cast<void*>(uintptr_t{0xA1B1C1D3});  // not a host object
  browser().invalidaterect(instance(), &rect);
  plugin->m_plugInInstance.ndata = plugin.get();
  plugin->sanityCheck = kPluginNuts;
  browser().invalidaterect(instance(), &rect);
  ASSERT_EQ(window.invalidations.size(), 1u);
  EXPECT_EQ(window.invalidations[0].right, 40);
}

TEST_F(BrowserTest, RequestsWithoutALiveHostObjectOrUrlAreDropped) {
  for (void* ndata : {static_cast<void*>(nullptr), reinterpret_cast<void*>(uintptr_t{0xA1B1C1D3})}) {
    plugin->m_plugInInstance.ndata = ndata;
    EXPECT_EQ(getURLNotify("KW://KW_zWindow.close"), 0);
    EXPECT_EQ(getURL("http://example.com/"), 8);
    EXPECT_EQ(post("http://example.com/", "x=1", 3), NPERR_INVALID_INSTANCE_ERROR);
  }
  plugin->m_plugInInstance.ndata = plugin.get();
  plugin->sanityCheck = kPluginNuts;  // destroyed
  EXPECT_EQ(getURLNotify(kBackChannel), 0);
  EXPECT_EQ(getURL("TurnCachingOff"), 8);
  EXPECT_TRUE(plugin->fOkToCache && !plugin->m_backChannelStreamReady);
  plugin->sanityCheck = kPluginSane;
  EXPECT_EQ(browser().geturl(instance(), nullptr, nullptr), 8);
  EXPECT_EQ(browser().geturlnotify(instance(), nullptr, nullptr, kNotify), NPERR_INVALID_URL);
  EXPECT_EQ(post(nullptr, nullptr, 0), NPERR_INVALID_URL);
  EXPECT_EQ(post("http://example.com/", nullptr, 5), NPERR_INVALID_PARAM);
  runLoop.runFor(1);
  EXPECT_TRUE(fake.streams.empty() && fake.urlNotifyCalls.empty() && commands.records.empty());
  EXPECT_TRUE(loader.gets.empty() && loader.posts.empty() && workspace.opened.empty());
}

TEST_F(BrowserTest, JavaScriptUrlIsAnOutsideLinkOfAProjectorAndRunsInAPage) {
  EXPECT_EQ(getURLNotify("javascript:alert(1)"), 0);
  runLoop.runFor(0.1);
  EXPECT_EQ(workspace.opened, std::vector<std::string>{"javascript:alert(1)"});
  ASSERT_EQ(fake.urlNotifyCalls.size(), 1u);  // then notified done
  EXPECT_EQ(fake.urlNotifyCalls[0].url, "javascript:alert(1)");
  EXPECT_TRUE(fake.urlNotifyCalls[0].reason == NPRES_DONE && fake.urlNotifyCalls[0].notifyData == kNotify);
  EXPECT_EQ(getURLNotify("JavaScript:alert(2)"), 0);  // case-sensitive here: an ordinary URL
  EXPECT_EQ(loader.gets.size(), 1u);
  plugin->fType = kPluginTypeWeb;  // a page runs them, location queries included, in any case
  EXPECT_EQ(getURL("JAVASCRIPT:window.location+\"x\""), 8);
  EXPECT_EQ(getURLNotify("javascript:go()"), 0);
  EXPECT_EQ(window.scripts, (std::vector<std::string>{"JAVASCRIPT:window.location+\"x\"", "javascript:go()"}));
  runLoop.runFor(1);
  EXPECT_TRUE(fake.streams.empty() && workspace.opened.size() == 1);
}

TEST_F(BrowserTest, LocationQueryAnswersTheMovieUrlAndTheQueryTailInAPlainTextStream) {
  const std::string query = "javascript:window.location+\"XYZ\"";
  EXPECT_EQ(getURL(query), 0);
  const auto& stream = fake.streams.at(0);
  EXPECT_EQ((std::vector<std::string>{stream.type, stream.url, stream.text()}),
            (std::vector<std::string>{"text/plain", query, std::string(kMovieURL) + "XYZ"}));
  EXPECT_TRUE(stream.end == stream.bytes.size() && stream.reason == NPRES_DONE);
  for (const std::string& tail : {std::string(), std::string(100000, 'a')}) {
    EXPECT_EQ(getURL("javascript:top.location+\"" + tail + "\""), 0);
    EXPECT_EQ(fake.streams.back().text(), kMovieURL + tail);
  }
  EXPECT_EQ(getURL("javascript:top.location+x"), 8);  // without the quote it is no query
  EXPECT_EQ(fake.streams.size(), 3u);
  fake.writeReadyAnswer = 0;  // not ready: nothing written, the stream still closed
  EXPECT_EQ(getURL(query), 0);
  EXPECT_TRUE(fake.streams.back().bytes.empty() && fake.streams.back().destroyed);
  fake.newStreamError = NPERR_GENERIC_ERROR;  // refused: neither asked for data nor destroyed
  EXPECT_EQ(getURL(query), 0);
  EXPECT_TRUE(fake.streams.back().writeReadyCalls == 0 && !fake.streams.back().destroyed);
}

TEST_F(BrowserTest, OnlyTheExactKwSlashPrefixMakesACommandWhichRunsInAnAcceptedStream) {
  const std::string longCommand = "KW:/" + std::string(100000, 't');
  EXPECT_EQ(getURLNotify(longCommand), 0);
  ASSERT_EQ(commands.records.size(), 1u);
  EXPECT_TRUE(commands.records[0]->url == longCommand && commands.records[0]->theStream.notifyData == kNotify);
  EXPECT_EQ(fake.streams.at(0).type, longCommand) << "the request URL is the MIME type";
  EXPECT_EQ(fake.streams[0].stream, &commands.records[0]->theStream);
  for (const char* url : {"KW:x", "kw://KW_zSystem.getUserName", "Kw://KW_zSystem.getUserName", "KW:"}) {
    EXPECT_EQ(getURLNotify(url), 0) << url;
  }
  EXPECT_EQ(loader.gets.size(), 4u);
  EXPECT_EQ(fake.streams.size(), 1u) << "loading opens its own streams";
  fake.newStreamError = NPERR_OUT_OF_MEMORY_ERROR;
  EXPECT_EQ(getURLNotify("KW://KW_zWindow.close"), NPERR_OUT_OF_MEMORY_ERROR);
  EXPECT_EQ(commands.records.size(), 1u);
}

TEST_F(BrowserTest, BackChannelWaitsOnceAndCachingSwitchesWorkThroughGetURLInAnyCaseOnly) {
  int otherToken = 0;
  EXPECT_EQ(getURLNotify(kBackChannel), 0);
  EXPECT_EQ(getURLNotify(kBackChannel + "?again", &otherToken), 1);
  EXPECT_TRUE(plugin->m_backChannelStreamReady && plugin->m_backChannelStreamNotifyData == kNotify);
  EXPECT_TRUE(fake.streams.empty() && commands.records.empty() && loader.gets.empty());
  EXPECT_EQ(getURL("TURNCACHINGOFF"), 8);
  EXPECT_EQ(getURLNotify("KW://KW_zSystem.getUserName"), 0);
  EXPECT_FALSE(commands.records.at(0)->okToCache) << "requests take the instance's flag";
  EXPECT_EQ(getURL("turnCachingOn"), 8);
  EXPECT_EQ(getURLNotify("TURNCACHINGOFF"), 0);  // through GetURLNotify: a URL to load
  EXPECT_EQ(getURL("TurnCachingOffNow"), 8);     // only the whole text switches
  EXPECT_TRUE(plugin->fOkToCache);
  runLoop.runFor(0.2);
  EXPECT_EQ(workspace.opened, std::vector<std::string>{"TurnCachingOffNow"});
}

TEST_F(BrowserTest, SaveSplitsAtTheFirstBlankAndUpdatesEveryNameContainingTheGivenOne) {
  plugin->fMovieSpec = dir.path() / "zvdata.zve";
  const auto prefs = [&] { return test::readFile(dir.path() / "prefs.txt"); };
  EXPECT_EQ(getURL("savehighScore 1200 points"), 8);  // a missing file is an empty list
  EXPECT_EQ(getURL("savelevel 3"), 8);
  EXPECT_EQ(prefs(), "&highScore=1200 points&level=3");
  // Read leniently: space around pairs and after '=', text before the first '&', pieces without '='.
  const std::string text = "a=1\r\n&highScore= \t1\r\n &myhighScore2=5\n&junk&&other=x=y&score=0";
  dir.write("prefs.txt", {text.begin(), text.end()});
  EXPECT_EQ(getURL("savehighScore 9"), 8);
  EXPECT_EQ(getURL("saveScore 7"), 8);  // case-sensitive: "score" is left alone
  EXPECT_EQ(getURL("save 0"), 8);       // an empty name would match every pair
  EXPECT_EQ(prefs(), "&a=1&highScore=7&myhighScore2=7&other=x=y&score=0");
  runLoop.runFor(1);
  EXPECT_TRUE(workspace.opened.empty());
  // A write that fails (here the target is a folder) leaves no temporary file behind.
  std::filesystem::create_directories(dir.path() / "sub" / "prefs.txt" / "inner");
  EXPECT_FALSE(writePreferenceFile(dir.path() / "sub" / "prefs.txt", {{"a", "b"}}));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path() / "sub"), {}), 1);
}

TEST_F(BrowserTest, OutsideLinkOpensTheReescapedUrlATenthLaterOrAtOnceInAScreenSaver) {
  EXPECT_EQ(getURL("http://example.com/a%20b c?q=%zz&r=%C3%A9"), 8);
  EXPECT_EQ(application.menuBarShown, 1);
  runLoop.runFor(0.09);
  EXPECT_TRUE(workspace.opened.empty());
  runLoop.runFor(0.02);
  EXPECT_EQ(workspace.opened, std::vector<std::string>{"http://example.com/a%20b%20c?q=%25zz&r=%C3%A9"});
  SimApplication saver{"/System/Library/Frameworks/screensaver.FRAMEWORK/Versions/A/Resources/Demo.saver"};
  host->services().application = &saver;
  EXPECT_EQ(getURL("http://example.com/"), 8);
  EXPECT_EQ(saver.menuBarShown, 1);
  EXPECT_TRUE(workspace.opened.back() == "http://example.com/" && runLoop.timerCount() == 0);
  host->services().application = &application;
}

TEST_F(BrowserTest, PostOpensTheStreamAndHandsACopiedBodyToLoadingWhichMayAnswerNotFound) {
  const char body[] = {'a', '=', '1', '&', 'b', '\0', 'c'};
  EXPECT_EQ(post("KW://KW_zWindow.close", body, sizeof body), 0);
  EXPECT_EQ(fake.streams.at(0).type, "KW://KW_zWindow.close");
  EXPECT_TRUE(commands.records.empty()) << "POST requests never reach the command bridge";
  const auto& sent = loader.posts.at(0);
  EXPECT_TRUE(sent.record->method == kMethodPost && !sent.record->okToCache);
  EXPECT_EQ((std::vector<long>{sent.buffer == body, sent.length, sent.isFile, sent.allowHeaders}),
            (std::vector<long>{1, sizeof body, 0, 1}));
  EXPECT_EQ(sent.record->postData, (std::vector<uint8_t>{'a', '=', '1', '&', 'b', '\0', 'c', '\0'}));
  EXPECT_EQ(post("http://example.com/", nullptr, 0, true), 0);  // no body: just the zero
  EXPECT_TRUE(loader.posts.at(1).record->postData == std::vector<uint8_t>{0} && loader.posts[1].isFile);
  fake.newStreamError = NPERR_INVALID_URL;
  EXPECT_EQ(post("http://example.com/", "x", 1), NPERR_INVALID_URL);
  EXPECT_EQ(loader.posts.size(), 2u);
  fake.newStreamError = NPERR_NO_ERROR;  // the "not found" loader answers through the plug-in's calls
  fake.streams.clear();
  NotFoundUrlLoader notFound;
  host->services().urlLoader = &notFound;
  EXPECT_EQ(post("http://example.com/form", "x", 1), NPERR_FILE_NOT_FOUND);
  EXPECT_EQ(fake.streams.at(0).reason, NPRES_NETWORK_ERR) << "the stream opened for the POST is closed";
  EXPECT_EQ(getURLNotify("http://example.com/vars.txt"), NPERR_FILE_NOT_FOUND);
  EXPECT_EQ(getURLNotify("http://example.com/other.txt", nullptr), NPERR_FILE_NOT_FOUND);  // no notification
  ASSERT_EQ(fake.urlNotifyCalls.size(), 2u);
  for (const auto& call : fake.urlNotifyCalls) EXPECT_EQ(call.reason, NPRES_NETWORK_ERR);
  EXPECT_EQ(notFound.getURL(nullptr), NPERR_INVALID_INSTANCE_ERROR);
  host->services().urlLoader = &loader;
}

TEST_F(BrowserTest, EvaluateAnswersVoidOrTheTempStringAndRunsCallsSynchronouslyWithTheCallersResult) {
  NPVariant result{};
  result.type = NPVariantType_Int32;
  EXPECT_TRUE(browser().evaluate(instance(), nullptr, nullptr, &result));
  EXPECT_EQ(result.type, NPVariantType_Void);
  EXPECT_TRUE(evaluate("var __flash_temp = \"say \\\"hi\\\"\"; __flash_temp;\n", &result));
  ASSERT_EQ(result.type, NPVariantType_String);
  EXPECT_EQ(std::string(result.value.stringValue.UTF8Characters, result.value.stringValue.UTF8Length), "say \"hi\"");
  browser().releasevariantvalue(&result);
  const std::string call =
      "try { __flash__toXML(KW_call(\"KW://KW_zSystem.getUserName\")) ; } catch (e) { \"<undefined/>\"; }";
  fake.newStreamError = NPERR_GENERIC_ERROR;  // refused: not run
  EXPECT_TRUE(evaluate(call, &result));
  fake.newStreamError = NPERR_NO_ERROR;
  plugin->sanityCheck = kPluginNuts;  // dead: not even opened
  EXPECT_TRUE(evaluate(call, &result));
  plugin->sanityCheck = kPluginSane;
  EXPECT_TRUE(fake.streams.size() == 1 && commands.records.empty());
  EXPECT_TRUE(evaluate(call, &result));  // run at once with the caller's result; the reply is proven end to end
  ASSERT_EQ(commands.records.size(), 1u);
  EXPECT_TRUE(commands.records[0]->started && commands.records[0]->syncResult == &result);
}

}  // namespace
}  // namespace kw
