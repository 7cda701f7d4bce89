// The built stand-in plug-in module driven through a small fake browser:
// the movie stream, frame timing, requests, the back channel, drawing,
// printing and the enciphered wrapper movie. Scripting, bundles and the
// embed arguments are covered end to end in tests/e2e.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "mac/npapi/npapi.h"
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

// The fake browser records the URL requests the plug-in makes.
struct UrlCall {
  std::string url;
  bool notify = false;
  void* notifyData = nullptr;
};
std::vector<UrlCall>* gUrlCalls = nullptr;

void fillBrowser(NPNetscapeFuncs& browser) {
  browser.size = sizeof(NPNetscapeFuncs);
  browser.version = NP_VERSION_MINOR_HOST;
  browser.geturl = [](NPP, const char* url, const char*) {
    gUrlCalls->push_back({url, false, nullptr});
    return NPError{NPERR_NO_ERROR};
  };
  browser.geturlnotify = [](NPP, const char* url, const char*, void* notifyData) {
    gUrlCalls->push_back({url, true, notifyData});
    return NPError{NPERR_NO_ERROR};
  };
}

// Closes the loaded module when the test ends.
struct Module {
  void* handle = dlopen((std::string(KW_STANDIN_PLUGIN_BUNDLE) + "/Contents/MacOS/fpb").c_str(), RTLD_NOW | RTLD_LOCAL);
  ~Module() {
    if (handle != nullptr) dlclose(handle);
  }
  void* symbol(const char* name) const { return dlsym(handle, name); }
};

constexpr const char* kMime = "application/x-shockwave-flash";
constexpr uint16_t kNull = 0, kUpdate = 6, kActivate = 8, kFocus = 31;

class StandInPlugin : public ::testing::Test {
 protected:
  void SetUp() override {
    gUrlCalls = &urlCalls_;
    ASSERT_NE(module_.handle, nullptr) << dlerror();
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

    std::vector<const char*> names{"src", "wmode", "quality", "loop", "WIDTH",
                                   "HEIGHT", "SCROLL", "allowScriptAccess", "FULLPAGE", "allowNetworking"};
    std::vector<const char*> values{"URLcString", wmode_, "best", "true", "100%", "100%", "NO", "always", "", "all"};
    ASSERT_EQ(funcs_.newp(const_cast<char*>(kMime), &npp_, NP_EMBED, 10, const_cast<char**>(names.data()),
                          const_cast<char**>(values.data()), nullptr),
              NPERR_NO_ERROR);
  }
  void TearDown() override {
    if (funcs_.destroy != nullptr && npp_.pdata != nullptr) funcs_.destroy(&npp_, nullptr);
    gUrlCalls = nullptr;
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
    for (const UrlCall& call : urlCalls_) out.push_back(call.url);
    return out;
  }

  const char* wmode_ = "normal";
  std::vector<UrlCall> urlCalls_;
  Module module_;
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
  EXPECT_FALSE(urlCalls_[0].notify);
}

TEST_F(StandInPlugin, BackChannelIsAskedAgainOnTheNextEvent) {
  const std::string backChannel = "KW://KW_Zivra.initSocket";
  sendMovie(getURLMovie({{backChannel, ""}}, /*withScriptLimits=*/true));
  EXPECT_TRUE(report().movieHasWrapper);
  event(kNull, 1);
  ASSERT_EQ(urlCalls_.size(), 1U);
  EXPECT_EQ(urlCalls_[0].url, backChannel);
  EXPECT_TRUE(urlCalls_[0].notify);

  answer("KW://KW_initSocket", urlCalls_[0].notifyData, "ARRAY_OF_STRINGS=zWindow~!onMinimized");
  EXPECT_EQ(urlCalls_.size(), 1U) << "not asked again from inside the stream's end";
  event(kNull, 2);
  ASSERT_EQ(urlCalls_.size(), 2U);
  EXPECT_EQ(urlCalls_[1].url, backChannel);
  event(kNull, 3);
  EXPECT_EQ(urlCalls_.size(), 2U) << "one request waits at a time";

  answer("KW://KW_initSocket", urlCalls_[1].notifyData, "ARRAY_OF_STRINGS=zWindow~!onRestored");
  EXPECT_EQ(report().backChannelMessages,
            (std::vector<std::string>{"ARRAY_OF_STRINGS=zWindow~!onMinimized", "ARRAY_OF_STRINGS=zWindow~!onRestored"}));
  EXPECT_TRUE(report().replies.empty());
}

TEST_F(StandInPlugin, WithoutScriptLimitsTheBackChannelUrlIsAnOrdinaryNotifiedRequest) {
  const std::string command = "KW://KW_Zivra.initSocket";
  sendMovie(getURLMovie({{command, ""}}));
  EXPECT_FALSE(report().movieHasWrapper);
  event(kNull, 1);
  ASSERT_EQ(urlCalls_.size(), 1U);
  EXPECT_TRUE(urlCalls_[0].notify);
  answer("KW://KW_initSocket", urlCalls_[0].notifyData, "&returnValue=fred");
  event(kNull, 2);
  EXPECT_EQ(urlCalls_.size(), 1U);
  ASSERT_EQ(report().replies.size(), 1U);
  EXPECT_EQ(report().replies[0].requestUrl, command);
  EXPECT_EQ(report().replies[0].variables, "&returnValue=fred");
  EXPECT_TRUE(report().backChannelMessages.empty());
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
