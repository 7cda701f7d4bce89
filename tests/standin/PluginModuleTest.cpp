// The built stand-in plug-in module driven through a small fake browser:
// start-up, the movie stream, frame timing, requests, scripts, the back
// channel, scripting, drawing, printing, the bundle variants and the wrapper.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "mac/npapi/npapi.h"
#include "mac/platform/Bundle.h"
#include "mac/platform/QuickDraw.h"
#include "mac/pluginhost/MovieCipher.h"
#include "tools/standin/MovieReader.h"
#include "tools/standin/StandInReport.h"
#include "tools/swf/MovieFiles.h"
#include "tools/swf/SwfWriter.h"

namespace kw::standin {
namespace {

using swf::Bytes;
using swf::SwfWriter;

// ---- The fake browser: records what the plug-in asks for. ----

struct UrlCall {
  std::string url;
  bool notify = false;
  void* notifyData = nullptr;
};

struct FakeBrowser {
  std::vector<UrlCall> urlCalls;
  std::vector<std::string> scripts;
  std::string evaluateAnswer = "<string>fred</string>";
  int releasedVariants = 0;
  std::map<std::string, std::unique_ptr<std::string>> identifiers;
  NPObject windowObject{nullptr, 1};
  std::string queuedMessage;  // sent from inside the next back channel request
  const NPPluginFuncs* plugin = nullptr;
};
FakeBrowser* gFake = nullptr;

NPIdentifier fakeStringIdentifier(const NPUTF8* name) {
  auto& slot = gFake->identifiers[name];
  if (!slot) slot = std::make_unique<std::string>(name);
  return slot.get();
}
void fakeReleaseObject(NPObject* object) {
  if (object != &gFake->windowObject && --object->referenceCount == 0) object->_class->deallocate(object);
}

void fillBrowser(NPNetscapeFuncs& browser) {
  browser.size = sizeof(NPNetscapeFuncs);
  browser.version = NP_VERSION_MINOR_HOST;
  browser.geturl = [](NPP, const char* url, const char*) {
    gFake->urlCalls.push_back({url, false, nullptr});
    return NPError{NPERR_NO_ERROR};
  };
  browser.geturlnotify = [](NPP npp, const char* url, const char*, void* notifyData) {
    gFake->urlCalls.push_back({url, true, notifyData});
    if (std::string_view(url) == "KW://KW_Zivra.initSocket" && !gFake->queuedMessage.empty()) {
      std::string message = std::exchange(gFake->queuedMessage, {});
      NPStream stream{};
      stream.url = "KW://KW_initSocket";
      stream.notifyData = notifyData;
      uint16_t type = 0;
      gFake->plugin->newstream(npp, const_cast<char*>(stream.url), &stream, 0, &type);
      gFake->plugin->write(npp, &stream, 0, static_cast<int32_t>(message.size()), message.data());
      gFake->plugin->destroystream(npp, &stream, NPRES_DONE);
    }
    return NPError{NPERR_NO_ERROR};
  };
  browser.evaluate = [](NPP, NPObject*, NPString* script, NPVariant* result) {
    gFake->scripts.emplace_back(script->UTF8Characters, script->UTF8Length);
    const std::string& answer = gFake->evaluateAnswer;
    auto* copy = static_cast<char*>(std::malloc(answer.size()));
    std::memcpy(copy, answer.data(), answer.size());
    result->type = NPVariantType_String;
    result->value.stringValue = {copy, static_cast<uint32_t>(answer.size())};
    return true;
  };
  browser.releasevariantvalue = [](NPVariant* variant) {
    if (variant->type == NPVariantType_String) std::free(const_cast<char*>(variant->value.stringValue.UTF8Characters));
    variant->type = NPVariantType_Void;
    ++gFake->releasedVariants;
  };
  browser.getvalue = [](NPP, NPNVariable variable, void* value) {
    if (variable != NPNVWindowNPObject) return NPError{NPERR_GENERIC_ERROR};
    *static_cast<NPObject**>(value) = &gFake->windowObject;
    return NPError{NPERR_NO_ERROR};
  };
  browser.createobject = [](NPP npp, NPClass* aClass) {
    NPObject* object = aClass->allocate != nullptr ? aClass->allocate(npp, aClass) : new NPObject{};
    object->_class = aClass;
    object->referenceCount = 1;
    return object;
  };
  browser.retainobject = [](NPObject* object) {
    ++object->referenceCount;
    return object;
  };
  browser.releaseobject = fakeReleaseObject;
  browser.getstringidentifier = fakeStringIdentifier;
  browser.utf8fromidentifier = [](NPIdentifier id) { return strdup(static_cast<std::string*>(id)->c_str()); };
  browser.memfree = [](void* block) { std::free(block); };
}

// ---- The module ----

std::string executableOf(const char* bundle) { return std::string(bundle) + "/Contents/MacOS/fpb"; }

class Module {
 public:
  explicit Module(const char* bundle) : handle_(dlopen(executableOf(bundle).c_str(), RTLD_NOW | RTLD_LOCAL)) {}
  ~Module() {
    if (handle_ != nullptr) dlclose(handle_);
  }
  Module(const Module&) = delete;
  Module& operator=(const Module&) = delete;
  void* symbol(const char* name) const { return handle_ != nullptr ? dlsym(handle_, name) : nullptr; }
  bool loaded() const { return handle_ != nullptr; }

 private:
  void* handle_;
};

constexpr const char* kMime = "application/x-shockwave-flash";
constexpr uint16_t kNull = 0, kUpdate = 6, kActivate = 8, kFocus = 31;

class StandInPlugin : public ::testing::Test {
 protected:
  void SetUp() override {
    gFake = &fake_;
    ASSERT_TRUE(module_.loaded()) << dlerror();
    fillBrowser(browser_);
    funcs_.size = sizeof(NPPluginFuncs);
    funcs_.version = NP_VERSION_MINOR_HOST;
    auto disable = reinterpret_cast<Flash_DisableLocalSecurityFuncPtr>(module_.symbol("Flash_DisableLocalSecurity"));
    auto initialize = reinterpret_cast<NP_InitializeFuncPtr>(module_.symbol("NP_Initialize"));
    auto entryPoints = reinterpret_cast<NP_GetEntryPointsFuncPtr>(module_.symbol("NP_GetEntryPoints"));
    report_ = reinterpret_cast<StandIn_ReportFuncPtr>(module_.symbol("StandIn_Report"));
    ASSERT_TRUE(disable && initialize && entryPoints && report_);
    disable();
    ASSERT_EQ(initialize(&browser_), NPERR_NO_ERROR);
    ASSERT_EQ(entryPoints(&funcs_), NPERR_NO_ERROR);
    fake_.plugin = &funcs_;

    std::vector<const char*> names{"src", "wmode", "quality", "loop", "WIDTH",
                                   "HEIGHT", "SCROLL", "allowScriptAccess", "FULLPAGE", "allowNetworking"};
    std::vector<const char*> values{"URLcString", wmode_, "best", "true", "100%", "100%", "NO", "always", "", "all"};
    ASSERT_EQ(funcs_.newp(const_cast<char*>(kMime), &npp_, NP_EMBED, 10, const_cast<char**>(names.data()),
                          const_cast<char**>(values.data()), nullptr),
              NPERR_NO_ERROR);
  }
  void TearDown() override {
    if (funcs_.destroy != nullptr && npp_.pdata != nullptr) funcs_.destroy(&npp_, nullptr);
    gFake = nullptr;
  }

  const StandInReport& report() { return *report_(&npp_); }

  // Writes the movie in blocks, every one at offset 0, and ends the stream.
  void sendMovie(const Bytes& movie, size_t block = 7) {
    NPStream& stream = movieStream_;
    stream = {};
    stream.url = "file:///movie.swf";
    stream.end = static_cast<uint32_t>(movie.size());
    uint16_t type = 0;
    ASSERT_EQ(funcs_.newstream(&npp_, const_cast<char*>(kMime), &stream, 0, &type), NPERR_NO_ERROR);
    ASSERT_GT(funcs_.writeready(&npp_, &stream), 0);
    for (size_t at = 0; at < movie.size(); at += block) {
      const auto length = static_cast<int32_t>(std::min(block, movie.size() - at));
      ASSERT_EQ(funcs_.write(&npp_, &stream, 0, length, const_cast<uint8_t*>(movie.data() + at)), length);
    }
    ASSERT_EQ(funcs_.destroystream(&npp_, &stream, NPRES_DONE), NPERR_NO_ERROR);
  }

  // The host's side of answering a request: a stream carrying its notify data.
  void answer(const std::string& url, void* notifyData, const std::string& text) {
    NPStream stream{};
    stream.url = url.c_str();
    stream.notifyData = notifyData;
    uint16_t type = 0;
    ASSERT_EQ(funcs_.newstream(&npp_, const_cast<char*>(url.c_str()), &stream, 0, &type), NPERR_NO_ERROR);
    ASSERT_GT(funcs_.writeready(&npp_, &stream), 0);
    funcs_.write(&npp_, &stream, 0, static_cast<int32_t>(text.size()), const_cast<char*>(text.data()));
    ASSERT_EQ(funcs_.destroystream(&npp_, &stream, NPRES_DONE), NPERR_NO_ERROR);
  }

  void event(uint16_t what, uint32_t when, uint32_t message = 0) {
    NPEvent record{};
    record.what = what;
    record.when = when;
    record.message = message;
    funcs_.event(&npp_, &record);
  }

  std::vector<std::string> urls() const {
    std::vector<std::string> out;
    for (const UrlCall& call : fake_.urlCalls) out.push_back(call.url);
    return out;
  }

  const char* wmode_ = "normal";
  FakeBrowser fake_;
  Module module_{KW_STANDIN_PLUGIN_BUNDLE};
  NPNetscapeFuncs browser_{};
  NPPluginFuncs funcs_{};
  StandIn_ReportFuncPtr report_ = nullptr;
  NPP_t npp_{};
  NPStream movieStream_{};
};

Bytes getURLMovie(std::vector<std::pair<std::string, std::string>> frames, bool withScriptLimits = false) {
  SwfWriter writer;
  writer.header().frameRate = 12 << 8;
  writer.setBackgroundColor(0x112233);
  if (withScriptLimits) writer.tag(65, Bytes{0x00, 0x01, 0x78, 0x00});
  for (const auto& [url, target] : frames) writer.doActionGetURL(url, target).showFrame();
  return writer.end().build();
}

TEST_F(StandInPlugin, ReportsWhatNPPNewGave) {
  const StandInReport& seen = report();
  EXPECT_EQ(seen.mimeType, kMime);
  EXPECT_EQ(seen.mode, NP_EMBED);
  ASSERT_EQ(seen.arguments.size(), 10U);
  EXPECT_EQ(seen.arguments[0], (std::pair<std::string, std::string>{"src", "URLcString"}));
  EXPECT_EQ(seen.arguments[8], (std::pair<std::string, std::string>{"FULLPAGE", ""}));
  EXPECT_EQ(seen.arguments[9], (std::pair<std::string, std::string>{"allowNetworking", "all"}));
  EXPECT_TRUE(seen.localSecurityDisabled);
  NPP_t stranger{};  // the report hook knows only live instances
  EXPECT_EQ(report_(&stranger), nullptr);
  EXPECT_EQ(report_(nullptr), nullptr);
}

TEST_F(StandInPlugin, MovieWrittenInBlocksAtOffsetZeroIsReadWhole) {
  const Bytes movie = getURLMovie({{"http://a", ""}, {"http://b", ""}});
  sendMovie(movie, 5);
  const StandInReport& seen = report();
  ASSERT_EQ(seen.streams.size(), 1U);
  EXPECT_EQ(seen.streams[0].bytes, std::string(movie.begin(), movie.end()));
  EXPECT_EQ(seen.streams[0].mimeType, kMime);
  EXPECT_TRUE(seen.streams[0].destroyed);
  EXPECT_TRUE(seen.movieReadable);
  EXPECT_EQ(seen.movieFrames, 2U);
}

TEST_F(StandInPlugin, FramesAdvanceByEventTimeAndPlayOnce) {
  sendMovie(getURLMovie({{"http://a", ""}, {"http://b", ""}, {"http://c", ""}}));
  // The host's made-up activate and focus events carry no time and start nothing.
  event(kActivate, 0, 31);
  event(kFocus, 0, 31);
  EXPECT_TRUE(urls().empty());
  event(kNull, 1000);
  EXPECT_EQ(urls(), (std::vector<std::string>{"http://a"}));
  event(kNull, 1004);  // 12 frames a second: a frame every 5 ticks
  EXPECT_EQ(urls().size(), 1U);
  event(kNull, 1005);
  EXPECT_EQ(urls().size(), 2U);
  event(kNull, 5000);  // skipped frames still run their actions, once
  event(kNull, 9000);
  EXPECT_EQ(urls(), (std::vector<std::string>{"http://a", "http://b", "http://c"}));
  EXPECT_EQ(report().framesPlayed, 3U);
  EXPECT_FALSE(fake_.urlCalls[0].notify);
}

TEST_F(StandInPlugin, CommandRequestsAskForNotificationAndKeepTheReply) {
  const std::string command = "KW://KW_zSystem.getUserName";
  sendMovie(getURLMovie({{command, ""}}));
  event(kNull, 1);
  ASSERT_EQ(fake_.urlCalls.size(), 1U);
  EXPECT_TRUE(fake_.urlCalls[0].notify);
  answer(command, fake_.urlCalls[0].notifyData, "&returnValue=fred");
  ASSERT_EQ(report().replies.size(), 1U);
  EXPECT_EQ(report().replies[0].requestUrl, command);
  EXPECT_EQ(report().replies[0].variables, "&returnValue=fred");
}

TEST_F(StandInPlugin, ExternalInterfaceCallsEvaluateTheExactScripts) {
  sendMovie(getURLMovie({{"KW://KW_zSystem.getUserName", "_ExternalInterface"},
                         {"[\"zWindow\",\"getSize\",0]", "_ExternalInterface"}}));
  event(kNull, 1);
  event(kNull, 6);
  ASSERT_EQ(fake_.scripts.size(), 2U);
  EXPECT_EQ(fake_.scripts[0],
            "try { __flash__toXML(KW_call(\"KW://KW_zSystem.getUserName\")) ; } catch (e) { \"<undefined/>\"; }");
  EXPECT_EQ(fake_.scripts[1],
            "try { __flash__toXML(KW_call2([\\\"zWindow\\\",\\\"getSize\\\",0])) ; } catch (e) { \"<undefined/>\"; }");
  EXPECT_TRUE(fake_.urlCalls.empty());
  EXPECT_EQ(fake_.releasedVariants, 2);
  ASSERT_EQ(report().externalCalls.size(), 2U);
  EXPECT_EQ(report().externalCalls[0].xml, "<string>fred</string>");
}

TEST_F(StandInPlugin, BackChannelIsAskedAgainOnTheNextEvent) {
  const std::string backChannel = "KW://KW_Zivra.initSocket";
  sendMovie(getURLMovie({{backChannel, ""}}, /*withScriptLimits=*/true));
  EXPECT_TRUE(report().movieHasWrapper);
  event(kNull, 1);
  ASSERT_EQ(fake_.urlCalls.size(), 1U);
  EXPECT_EQ(fake_.urlCalls[0].url, backChannel);
  EXPECT_TRUE(fake_.urlCalls[0].notify);

  answer("KW://KW_initSocket", fake_.urlCalls[0].notifyData, "ARRAY_OF_STRINGS=zWindow~!onMinimized");
  EXPECT_EQ(fake_.urlCalls.size(), 1U) << "not asked again from inside the stream's end";
  event(kNull, 2);
  ASSERT_EQ(fake_.urlCalls.size(), 2U);
  EXPECT_EQ(fake_.urlCalls[1].url, backChannel);
  event(kNull, 3);
  EXPECT_EQ(fake_.urlCalls.size(), 2U) << "one request waits at a time";

  answer("KW://KW_initSocket", fake_.urlCalls[1].notifyData, "ARRAY_OF_STRINGS=zWindow~!onRestored");
  EXPECT_EQ(report().backChannelMessages,
            (std::vector<std::string>{"ARRAY_OF_STRINGS=zWindow~!onMinimized", "ARRAY_OF_STRINGS=zWindow~!onRestored"}));
  EXPECT_TRUE(report().replies.empty());
}

TEST_F(StandInPlugin, MessageSentFromInsideTheRequestIsKeptAndTheRequestRepeated) {
  sendMovie(getURLMovie({{"KW://KW_Zivra.initSocket", ""}}, /*withScriptLimits=*/true));
  fake_.queuedMessage = "ARRAY_OF_STRINGS=zApplication~!onScreenChange";
  event(kNull, 1);
  EXPECT_EQ(report().backChannelMessages, std::vector<std::string>{"ARRAY_OF_STRINGS=zApplication~!onScreenChange"});
  EXPECT_EQ(fake_.urlCalls.size(), 1U);
  event(kNull, 2);
  EXPECT_EQ(urls(), (std::vector<std::string>{"KW://KW_Zivra.initSocket", "KW://KW_Zivra.initSocket"}));
}

TEST_F(StandInPlugin, WithoutScriptLimitsTheBackChannelUrlIsAnOrdinaryRequest) {
  sendMovie(getURLMovie({{"KW://KW_Zivra.initSocket", ""}}));
  EXPECT_FALSE(report().movieHasWrapper);
  event(kNull, 1);
  ASSERT_EQ(fake_.urlCalls.size(), 1U);
  answer("KW://KW_initSocket", fake_.urlCalls[0].notifyData, "x=1");
  event(kNull, 2);
  EXPECT_EQ(fake_.urlCalls.size(), 1U);
  EXPECT_EQ(report().replies.size(), 1U);
  EXPECT_TRUE(report().backChannelMessages.empty());
}

TEST_F(StandInPlugin, ScriptableObjectTakesEventsForActionScript3Movies) {
  SwfWriter writer;
  writer.fileAttributes(0x08).showFrame().end();
  sendMovie(writer.build());
  NPObject* object = nullptr;
  ASSERT_EQ(funcs_.getvalue(&npp_, NPPVpluginScriptableNPObject, &object), NPERR_NO_ERROR);
  ASSERT_NE(object, nullptr);
  const NPIdentifier method = fakeStringIdentifier("zApplication.onEventSync");
  EXPECT_TRUE(object->_class->hasMethod(object, method));
  EXPECT_FALSE(object->_class->hasMethod(object, fakeStringIdentifier("zApplication.other")));
  const std::string xml = "<array length=\"2\"></array>";
  NPVariant argument{};
  argument.type = NPVariantType_String;
  argument.value.stringValue = {xml.c_str(), static_cast<uint32_t>(xml.size())};
  NPVariant result{};
  EXPECT_TRUE(object->_class->invoke(object, method, &argument, 1, &result));
  EXPECT_EQ(report().syncEvents, std::vector<std::string>{xml});
  fakeReleaseObject(object);
}

TEST_F(StandInPlugin, UpdateEventDrawsIntoThePortAtItsOffsetsAndPrintIntoTheDrawable) {
  sendMovie(getURLMovie({{"http://a", ""}}));
  GrafPort port(60, 50, 0xFF000000);
  NP_Port npPort{&port, -10, -5};
  NPWindow window{&npPort, 10, 5, 40, 30, NPRect{5, 10, 35, 50}, NPWindowTypeWindow};
  ASSERT_EQ(funcs_.setwindow(&npp_, &window), NPERR_NO_ERROR);
  event(kUpdate, 0);
  EXPECT_EQ(port.pixels[5 * 60 + 10], 0xFF112233U);
  EXPECT_EQ(port.pixels[5 * 60 + 9], 0xFF000000U);
  EXPECT_EQ(port.pixels[4 * 60 + 10], 0xFF000000U);
  EXPECT_EQ(report().paints, 1U);
  ASSERT_EQ(report().windows.size(), 1U);
  EXPECT_EQ(report().windows[0].portx, -10);
  EXPECT_EQ(port.origin, (QDPoint{0, 0}));

  GrafPort printed(40, 30, 0xFF000000);  // printing draws into the drawable
  NPPrint print{};
  print.mode = NP_EMBED;
  print.print.embedPrint.window = {&printed, 0, 0, 40, 30, NPRect{0, 0, 30, 40}, NPWindowTypeDrawable};
  funcs_.print(&npp_, &print);
  EXPECT_EQ(printed.pixels[0], 0xFF112233U);
  ASSERT_EQ(report().prints.size(), 1U);
  EXPECT_TRUE(report().prints[0].drew);
}

TEST_F(StandInPlugin, MalformedMovieIsHarmless) {
  Bytes garbage = getURLMovie({{"http://a", ""}});
  garbage.resize(garbage.size() / 2);
  garbage[8] = 0xFF;
  sendMovie(garbage, 3);
  event(kNull, 1);
  event(kUpdate, 2);
  EXPECT_TRUE(report().movieLoaded);
}

class TransparentStandIn : public StandInPlugin {
 protected:
  TransparentStandIn() { wmode_ = "transparent"; }
};

TEST_F(TransparentStandIn, DrawsOnlyABlendedMarkOverThePort) {
  sendMovie(getURLMovie({{"http://a", ""}}));
  GrafPort overBlack(40, 30, 0xFF000000);
  GrafPort overWhite(40, 30, 0xFFFFFFFF);
  for (GrafPort* port : {&overBlack, &overWhite}) {
    NP_Port npPort{port, 0, 0};
    NPWindow window{&npPort, 0, 0, 40, 30, NPRect{0, 0, 30, 40}, NPWindowTypeWindow};
    funcs_.setwindow(&npp_, &window);
    event(kUpdate, 0);
  }
  EXPECT_EQ(overBlack.pixels[0], 0xFF000000U);
  EXPECT_EQ(overWhite.pixels[0], 0xFFFFFFFFU);
  EXPECT_NE(overBlack.pixels, overWhite.pixels);
  EXPECT_NE(overBlack.pixels, GrafPort(40, 30, 0xFF000000).pixels);
}

// ---- Bundles and the wrapper movie ----

TEST(StandInBundles, VariantsLackExactlyOneEntryPointAndNameTheirExecutable) {
  const Module full(KW_STANDIN_PLUGIN_BUNDLE);
  const Module tooOld(KW_STANDIN_TOOOLD_BUNDLE);
  const Module noEntry(KW_STANDIN_NOENTRY_BUNDLE);
  ASSERT_TRUE(full.loaded() && tooOld.loaded() && noEntry.loaded());
  EXPECT_NE(full.symbol("NP_Initialize"), nullptr);
  EXPECT_NE(full.symbol("NP_GetEntryPoints"), nullptr);
  EXPECT_EQ(tooOld.symbol("NP_Initialize"), nullptr);
  EXPECT_NE(tooOld.symbol("NP_GetEntryPoints"), nullptr);
  EXPECT_NE(noEntry.symbol("NP_Initialize"), nullptr);
  EXPECT_EQ(noEntry.symbol("NP_GetEntryPoints"), nullptr);
  for (const Module* module : {&full, &tooOld, &noEntry}) {
    EXPECT_NE(module->symbol("Flash_DisableLocalSecurity"), nullptr);
  }
  for (const char* path : {KW_STANDIN_PLUGIN_BUNDLE, KW_STANDIN_TOOOLD_BUNDLE, KW_STANDIN_NOENTRY_BUNDLE}) {
    const auto bundle = Bundle::open(path);
    ASSERT_TRUE(bundle) << path;
    EXPECT_EQ(bundle->infoString("CFBundleExecutable"), "fpb") << path;
    EXPECT_EQ(bundle->executablePath(), std::filesystem::path(executableOf(path))) << path;
  }
}

TEST(WrapperMovie, EnciphersAMovieWhoseTagsTheMergerExpects) {
  std::string error;
  auto bytes = tools::readFileBytes(KW_WRAPPER_MOVIE, error);
  ASSERT_TRUE(bytes) << error;
  EXPECT_FALSE(isPlainMovie(*bytes));
  ASSERT_EQ(movieCipher(bytes->data(), bytes->data(), bytes->size(), 1, CipherDirection::Decipher), kStatusOK);
  const MovieResult read = readMovie(*bytes);
  ASSERT_TRUE(read.movie);
  EXPECT_FALSE(read.movie->truncated);
  EXPECT_EQ(read.movie->tagCodes, (std::vector<uint16_t>{69, 9, 12, 1, 0}));
  EXPECT_EQ(read.movie->frames, (std::vector<FrameActions>{{{"KW://KW_Zivra.initSocket", ""}}}));
  // The first two tags take 11 bytes after the header; the last 4 bytes are ShowFrame and End.
  const Bytes& movie = *bytes;
  const size_t header = 12 + (4 * size_t{static_cast<uint8_t>(movie[8] >> 3)} + 12) / 8;
  const auto tagWord = [&](size_t at) { return static_cast<unsigned>(movie[at] | (movie[at + 1] << 8)); };
  EXPECT_EQ(tagWord(header), (69U << 6) | 4U);
  EXPECT_EQ(tagWord(header + 6), (9U << 6) | 3U);
  EXPECT_EQ(tagWord(header + 11) >> 6, 12U);
  EXPECT_EQ(Bytes(bytes->end() - 4, bytes->end()), (Bytes{0x40, 0x00, 0x00, 0x00}));
}

}  // namespace
}  // namespace kw::standin
